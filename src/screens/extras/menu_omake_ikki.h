// CVMenuOmake_Ikki (menu type 83): the generals' lines gallery. State 0 is a grid of generals,
// seven pages (12000..12006) of up to 60, fifteen at a time (11000..11014) under a scroll bar that
// moves by rows of five; a general shows name and face once any of his lines was met. Choosing one
// opens state 1, the lines panel: six categories (15000..15005; 0 from sf.bin, 1..5 from
// sf_scr.dat), ten rows at a time (16000..16009) under a scroll bar; a met line shows its
// beginning and plays its voice when chosen. 20000 or a right click closes the panel. While it is
// up the menu manager's depth bound is raised to the panel's depth, so the grid takes no input.
//
// A line is met when the play record's gallery item (general, seen category, ordinal) is set: the
// seen category is word 292 of an sf.bin record and the line category of an sf_scr.dat one; the
// ordinal counts the general's earlier lines of that seen category, from 0.
//
// Widget contract: grid panel = the menu's first window-with-sprite child, lines panel = the
// second. In the grid panel: grid buttons = the first plain window's buttons (name in the first
// text child, face in the first window-with-sprite child), page buttons the second's, the grid
// scroll bar the third's first scroll bar, the counter the first window group. In the lines panel:
// the first plain window holds the name (first text) and a small face (second window-with-sprite
// child), the second the category buttons, the third the row buttons (text in the first text
// child), the fourth the lines scroll bar; the panel's second window-with-sprite child shows the
// large face.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "ui/menus/menu_root.h"

class CVMenuSBar;

class CVMenuOmake_Ikki : public CVMenuSceneRoot {
 public:
  static constexpr int32_t kPages = 7, kPerPage = 60, kGridButtons = 15, kGridColumns = 5;
  static constexpr int32_t kCategories = 6, kMaxLines = 200, kRows = 10;
  static constexpr int32_t kLineBytes = 26;  // the beginning of a line a row shows
  static constexpr int32_t kLinesDepth = 2000;
  static constexpr int32_t kPageFirst = 12000, kGridFirst = 11000, kCategoryFirst = 15000, kRowFirst = 16000;
  static constexpr int32_t kCloseLines = 20000;
  enum : int32_t { kGrid = 0, kLines = 1 };

  // One line of a general: its record (sf.bin for category 0, sf_scr.dat otherwise) and its item
  // in the play record's gallery table.
  struct Line {
    int32_t record;
    int32_t seenCategory;
    int32_t item;
  };
  struct LineIndex {
    std::vector<Line> lines[kCategories];
  };

  // A menu deleted with the lines panel up (the scene torn down) gives the depth bound back too.
  ~CVMenuOmake_Ikki() override { RestoreDepthBound(); }

  void Update(int32_t x, int32_t y, uint32_t click) override;
  void Open(int32_t a, int32_t b, int32_t c) override;
  void Close() override;
  int32_t SetState(int32_t state, int32_t force) override;

  // The tables (sf.bin, sf_scr.dat) the menu reads; Open takes them from the extras scene.
  void TakeTables(const uint8_t* lines, const uint8_t* scriptLines);
  // Generals by grid page in runs of sf.bin records (hidden ones only with the unlock flag);
  // records outside the pages or beyond a full page are skipped.
  void BuildPageLists(bool allUnlocked);
  int32_t PageCount(int32_t page) const;
  int32_t GetPageGeneral(int32_t page, int32_t i) const;
  LineIndex BuildLineIndex(int32_t general) const;
  // The lines scroll bar's maximum for a category of n lines.
  static int32_t LineMaximum(int32_t count) { return count < kRows ? 0 : count - kRows; }
  // The grid scroll bar's maximum for a page of n generals: the rows past the first three.
  static int32_t GridMaximum(int32_t count);
  // The beginning of a line: at most `limit` bytes of the field, never half a double-byte
  // character.
  static std::string CutLine(const uint8_t* text, size_t field, size_t limit);
  bool IsSeen(int32_t general, const Line& line) const;
  bool HasLineSeen(int32_t general) const;
  // Row `row` of the shown general's category under the current lines scroll.
  bool IsLineSeen(int32_t category, int32_t row) const;
  int32_t GetCompletion() const;
  void SelectPage(int32_t n);
  void ShowGrid();
  bool ShowGridButton(CVMenuBase* button, int32_t general);
  void ShowGeneral(int32_t general);
  void SelectLineCategory(int32_t category);
  void ShowLines();
  void PlayLine(int32_t category, int32_t row);
  void ShowCompletion();
  void Decide(int32_t id, uint32_t click);

  int32_t Page() const { return page_; }
  int32_t General() const { return general_; }
  int32_t LineCategory() const { return category_; }
  int32_t SavedDepthBound() const { return savedDepth_; }
  CVMenuBase* GridButton(int32_t k) const { return Nth(grid_, k); }
  CVMenuBase* PageButton(int32_t k) const { return Nth(pages_, k); }
  CVMenuBase* CategoryButton(int32_t k) const { return Nth(categoryButtons_, k); }
  CVMenuBase* RowButton(int32_t k) const { return Nth(rows_, k); }
  CVMenuSBar* GridBar() const { return gridBar_; }
  CVMenuSBar* LinesBar() const { return linesBar_; }
  CVMenuBase* GridPanel() const { return gridPanel_; }
  CVMenuBase* LinesPanel() const { return linesPanel_; }
  void FindWidgets();

 private:
  static CVMenuBase* Nth(CVMenuBase* first, int32_t k);
  const uint8_t* LineRecord(int32_t category, int32_t record) const;
  void RestoreDepthBound();

  CVMenuBase* gridPanel_ = nullptr;
  CVMenuBase* linesPanel_ = nullptr;
  CVMenuBase* counter_ = nullptr;
  CVMenuBase* pages_ = nullptr;
  CVMenuBase* grid_ = nullptr;
  CVMenuSBar* gridBar_ = nullptr;
  CVMenuBase* categoryButtons_ = nullptr;
  CVMenuBase* rows_ = nullptr;
  CVMenuSBar* linesBar_ = nullptr;
  CVMenuBase* header_ = nullptr;
  const uint8_t* table_ = nullptr;
  const uint8_t* scriptTable_ = nullptr;
  bool allUnlocked_ = false;
  int32_t page_ = 0;
  int32_t gridScroll_ = 0;
  int32_t linesScroll_ = 0;
  int32_t general_ = -1;
  int32_t category_ = 0;
  int32_t savedDepth_ = 0;
  bool raised_ = false;
  std::vector<int32_t> pageLists_[kPages];
  LineIndex shown_;
};
