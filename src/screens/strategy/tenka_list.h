// Sortable, filterable lists of generals and items for the strategy screens. A list keeps the
// elements shown and, while a filter narrows them, the full list from before the first filter.
// Columns and filters are numbered; the derived lists supply them as plain functions over the
// world tables. (The world's own id lists are plain vectors of the same name in the global
// namespace; these screen lists live in `slgui`.)
#pragma once
#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "world/record_lists.h"

namespace slgui {

template <typename T>
class CTenkaList {
 public:
  using SortFunc = bool (*)(const T& a, const T& b);
  using FilterFunc = bool (*)(const T& e);  // true: the element is removed

  virtual ~CTenkaList() = default;
  virtual void Add(const T& e) { items_.push_back(e); }
  virtual void InsertAt(int32_t index, const T& e) {
    if (index < 0 || index > Count()) throw std::out_of_range("CTenkaList::InsertAt");
    items_.insert(items_.begin() + index, e);
  }
  virtual void EraseAt(int32_t index) {
    if (index < 0 || index >= Count()) throw std::out_of_range("CTenkaList::EraseAt");
    items_.erase(items_.begin() + index);
  }
  // Throws std::out_of_range past the end: callers check Count() first.
  virtual T At(int32_t index) const {
    if (index < 0) throw std::out_of_range("CTenkaList::At");
    return items_.at(static_cast<size_t>(index));
  }
  virtual int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  virtual void Clear() {
    items_.clear();
    saved_.clear();
  }
  // Position of the first element with the key; Count() when none.
  virtual int32_t IndexOf(int32_t key) const {
    for (size_t i = 0; i < items_.size(); ++i)
      if (KeyOf(items_[i]) == key) return static_cast<int32_t>(i);
    return Count();
  }
  virtual void StableSort(int32_t column, bool descending) { SortWith(column, descending, true); }
  virtual void Sort(int32_t column, bool descending) { SortWith(column, descending, false); }
  // 0 (nothing changed) when the filter has no test.
  virtual int32_t Filter(int32_t filter, bool fromFull) {
    FilterFunc p = GetFilterFunc(filter);
    if (!p) return 0;
    if (saved_.empty()) saved_ = items_;
    const std::vector<T> source = fromFull ? saved_ : items_;
    items_.clear();
    for (const T& e : source)
      if (!p(e)) items_.push_back(e);
    return 1;
  }
  virtual void ResetView() {
    if (saved_.empty()) return;
    items_ = saved_;
    saved_.clear();
  }
  virtual SortFunc GetSortFunc(int32_t) const { return nullptr; }
  virtual FilterFunc GetFilterFunc(int32_t) const { return nullptr; }

  const std::vector<T>& Items() const { return items_; }
  const std::vector<T>& Saved() const { return saved_; }

 protected:
  virtual int32_t KeyOf(const T& e) const = 0;
  virtual bool NaturalLess(const T& a, const T& b) const = 0;

  std::vector<T> items_;
  std::vector<T> saved_;

 private:
  void SortWith(int32_t column, bool descending, bool stable) {
    SortFunc f = GetSortFunc(column);
    auto less = [this, f](const T& a, const T& b) { return f ? f(a, b) : NaturalLess(a, b); };
    // Descending sorts the reversed list from the far end, so that read from the last element to
    // the first it is ascending; equal elements therefore end in the reverse of their order.
    if (descending) {
      std::reverse(items_.begin(), items_.end());
      auto greater = [&less](const T& a, const T& b) { return less(b, a); };
      if (stable)
        std::stable_sort(items_.begin(), items_.end(), greater);
      else
        std::sort(items_.begin(), items_.end(), greater);
    } else {
      if (stable)
        std::stable_sort(items_.begin(), items_.end(), less);
      else
        std::sort(items_.begin(), items_.end(), less);
    }
  }
};

class CTenkaList_Busyo : public CTenkaList<int32_t> {
 public:
  SortFunc GetSortFunc(int32_t column) const override;
  FilterFunc GetFilterFunc(int32_t filter) const override;
  // Writes the list mark of every listed general (ids outside the table are skipped).
  void SetListMark(uint16_t value);
  // Plain id vectors of the world's list builders.
  void Assign(const ::CTenkaList_Busyo& ids) {
    items_.assign(ids.begin(), ids.end());
    saved_.clear();
  }
  // Both arrays of another list (copies by value).
  void CopyFrom(const CTenkaList_Busyo& other) {
    items_ = other.items_;
    saved_ = other.saved_;
  }

 protected:
  int32_t KeyOf(const int32_t& e) const override { return e; }
  bool NaturalLess(const int32_t& a, const int32_t& b) const override { return a < b; }
};

class CTenkaList_Item : public CTenkaList<ItemListRecord> {
 public:
  SortFunc GetSortFunc(int32_t column) const override;
  FilterFunc GetFilterFunc(int32_t filter) const override;

 protected:
  int32_t KeyOf(const ItemListRecord& e) const override { return e.item; }
  // The item list's own order: by item id.
  bool NaturalLess(const ItemListRecord& a, const ItemListRecord& b) const override { return a.item < b.item; }
};

}  // namespace slgui
