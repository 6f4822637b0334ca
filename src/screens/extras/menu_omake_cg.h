// CVMenuOmake_CG (menu type 81): the picture gallery. In picture mode (state 0) it lists cg.bin as
// thumbnails, 12 to a page, by category; locked pictures show the lock cover, unlocked ones are
// drawn in sepia except under the pointer. A click shows the picture (state 1; further clicks step
// through the seen variants, a held button drags a large picture) or plays a movie (state 4). In
// event mode (state 2, the event gallery) the thumbnails list ev.bin scenes and replay them.
//
// Widget contract: panel = the menu's first window-with-sprite child, view = the widget after it,
// movie name holder = the menu's third window-with-sprite child. In the panel: plain windows 1..5
// hold thumbnails (11000..11011), page buttons (10000..10022), category buttons (12000..12006),
// lock covers and movie marks; its first window group shows the percentage.
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "ui/menus/menu_root.h"

class CVMenuWindow;

class CVMenuOmake_CG : public CVMenuSceneRoot {
 public:
  static constexpr int32_t kPerPage = 12;
  static constexpr int32_t kCategories = 8;
  static constexpr int32_t kPages = 24;
  static constexpr int32_t kPlaces = 13;
  static constexpr int32_t kScreenW = 1280, kScreenH = 720;
  enum : int32_t { kThumbs = 0, kPicture = 1, kEvents = 2, kMovie = 4 };

  void Update(int32_t x, int32_t y, uint32_t click) override;
  void Open(int32_t a, int32_t b, int32_t c) override;
  int32_t SetState(int32_t state, int32_t force) override;

  // A key per (category, page, place); distinct positions never share one. -1 out of range.
  static int32_t MakePositionKey(int32_t category, int32_t page, int32_t place);
  // The pattern with the variant letter ('a' for 1, 'b' for 2, ...) before its extension.
  static std::string MakeVariantName(const std::string& pattern, int32_t variant);
  bool IsCgSeen(int32_t number, int32_t variant) const;
  int32_t GetCgNumber(int32_t key) const;
  bool IsMovie(int32_t key) const;
  int32_t NextSeenVariant(int32_t key, int32_t current) const;
  int32_t CountInCategory(int32_t category) const;
  int32_t GetCompletionPercent() const;
  void BuildCgList(const uint8_t* table, bool allUnlocked);
  void BuildEventList(const uint8_t* table, bool allUnlocked);
  const uint8_t* GetEventRecordAt(int32_t page, int32_t place) const;
  // Replays a seen event's label through the scenario scene (pushed over the extras); false when
  // it started nothing.
  bool StartReplay(const uint8_t* record);
  void SelectCategory(int32_t n);
  void ShowPageButtons();
  void SetPage(int32_t n);
  void ShowPage();
  void ShowPicture(int32_t key, int32_t variant);
  void BeginDrag(int32_t x, int32_t y);
  void DragTo(int32_t x, int32_t y);
  void EndDrag() { dragging_ = false; }
  // One click or button-hold step of the full-size view / movie (the per-frame rules).
  void HandleClick(uint32_t click, bool held, int32_t x, int32_t y);
  void Decide(int32_t id);
  void Hover(int32_t selected);

  int32_t Category() const { return category_; }
  int32_t Page() const { return page_; }
  int32_t ShownVariant() const { return shownVariant_; }
  CVMenuBase* View() const { return view_; }
  CVMenuBase* Thumb(int32_t k) const { return Nth(thumbs_, k); }
  CVMenuBase* Cover(int32_t k) const { return Nth(covers_, k); }
  CVMenuBase* PageButton(int32_t k) const { return Nth(pageButtons_, k); }
  size_t ListedCount() const { return list_.size(); }
  // The widgets of the contract are found again (the menu's tree is fixed after loading).
  void FindWidgets();

 private:
  static CVMenuBase* Nth(CVMenuBase* first, int32_t k);
  void ShowThumbnail(CVMenuBase* button, CVMenuBase* cover, CVMenuBase* mark, int32_t number, bool isMovie);
  const uint8_t* Record(int32_t key) const;

  bool dragging_ = false;
  bool dragMoved_ = false;
  CVMenuBase* panel_ = nullptr;
  CVMenuBase* view_ = nullptr;
  CVMenuBase* percent_ = nullptr;
  CVMenuBase* categoryButtons_ = nullptr;
  CVMenuBase* pageButtons_ = nullptr;
  CVMenuBase* thumbs_ = nullptr;
  CVMenuBase* covers_ = nullptr;
  CVMenuBase* marks_ = nullptr;
  CVMenuBase* holder_ = nullptr;
  CVMenuBase* modeWidgets_[5] = {};
  int32_t category_ = 0;
  int32_t page_ = 0;
  int32_t shownKey_ = -1;
  int32_t shownVariant_ = 0;
  CVMenuBase* hovered_ = nullptr;
  int32_t hoveredPlace_ = -1;
  int32_t dragX_ = -1, dragY_ = -1;
  int32_t pressX_ = 0, pressY_ = 0;
  int32_t eventCount_ = 0;
  int16_t eventPlaces_[1000];
  const uint8_t* eventTable_ = nullptr;
  std::map<int32_t, const uint8_t*> list_;
};
