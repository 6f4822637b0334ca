// CVMenuOmake_Scene (menu type 82): the scene replay. It lists the story scenes of ev.bin by
// category (buttons 12000..12008) and tab (10000..10012), twenty titles a tab (11000..11019). A
// seen scene (or one marked always open) shows its title and replays when chosen; an unseen one
// keeps an empty row that cannot be clicked. Pointing at a title moves the preview frame beside
// it; a counter glides to the percentage of listed scenes seen.
//
// Widget contract: panel = the menu's first window-with-sprite child; in it the item buttons are
// the first plain window's buttons (title in the first text child), the tab buttons the second's,
// the category buttons the third's; the counter is the panel's first window group; the preview
// frame is the panel's sixth window-with-sprite child, its first window-with-sprite child shows
// the picture, and its animation 1 moves it to its reference parameters (x, y).
#pragma once
#include <cstdint>
#include <map>
#include <vector>

#include "ui/menus/menu_root.h"

class CVMenuOmake_Scene : public CVMenuSceneRoot {
 public:
  static constexpr int32_t kItemsPerTab = 20;
  static constexpr int32_t kMaxCategory = 9;
  static constexpr int32_t kMaxTab = 13;
  static constexpr int32_t kCategoryFirst = 12000, kCategoryLast = 12008;
  static constexpr int32_t kTabFirst = 10000, kTabLast = 10012;
  static constexpr int32_t kItemFirst = 11000, kItemLast = 11019;

  void Update(int32_t x, int32_t y, uint32_t click) override;
  void Open(int32_t a, int32_t b, int32_t c) override;

  void SelectCategory(int32_t n);
  void SelectTab(int32_t n);
  // tab × 20 + item; -1 outside tabs 0..13 and items 0..19.
  static int32_t EntryIndex(int32_t tab, int32_t item);
  int32_t GetCategorySize(int32_t category) const;
  const uint8_t* GetEntry(int32_t category, int32_t tab, int32_t item) const;
  const uint8_t* GetEntryAt(int32_t category, int32_t index) const;
  // Seen (or always-open) listed scenes × 100 / listed, 0 for an empty list.
  int32_t GetCompletion() const;
  bool IsSceneSeen(int32_t n) const;
  void ShowTabs();
  void ShowItems();
  void ShowItem(CVMenuBase* button, const uint8_t* record);
  void ShowCompletion();
  void ShowPreview(CVMenuBase* button, const uint8_t* record);
  // Replays the record's scene through the scenario scene (pushed over the extras); false when it
  // started nothing.
  bool StartReplay(const uint8_t* record);
  // Records with a label, hidden ones only with the all-unlocked flag, by category (ascending) in
  // table order.
  void BuildCategoryLists(const uint8_t* table, bool allUnlocked);
  // The decided and selected ids' actions (the per-frame rules, apart from the widget update).
  void Decide(int32_t id);
  void Hover(int32_t selected);

  int32_t Category() const { return category_; }
  int32_t Tab() const { return tab_; }
  int32_t HoveredItem() const { return hovered_; }
  CVMenuBase* ItemButton(int32_t k) const { return Nth(items_, k); }
  CVMenuBase* TabButton(int32_t k) const { return Nth(tabs_, k); }
  CVMenuBase* CategoryButton(int32_t k) const { return Nth(categories_, k); }
  CVMenuBase* PreviewFrame() const { return preview_; }
  CVMenuBase* Counter() const { return counter_; }
  void FindWidgets();

 private:
  static CVMenuBase* Nth(CVMenuBase* first, int32_t k);

  CVMenuBase* panel_ = nullptr;
  CVMenuBase* counter_ = nullptr;
  CVMenuBase* preview_ = nullptr;
  CVMenuBase* categories_ = nullptr;
  CVMenuBase* tabs_ = nullptr;
  CVMenuBase* items_ = nullptr;
  int32_t category_ = 0;
  int32_t tab_ = 0;
  int32_t hovered_ = -1;
  bool allUnlocked_ = false;
  std::map<int32_t, std::vector<const uint8_t*>> lists_;
};
