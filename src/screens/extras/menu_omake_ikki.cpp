#include "screens/extras/menu_omake_ikki.h"

#include <cstring>

#include "platform/byte_order.h"
#include "platform/text/cp932.h"
#include "platform/text/log.h"
#include "save/omake_tables.h"
#include "save/system_files.h"
#include "screens/extras/omake_ports.h"
#include "screens/extras/omake_widgets.h"
#include "screens/extras/scene_omake.h"
#include "ui/menus/menu_mgr.h"
#include "ui/widgets/menu_list.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/menu_window_group.h"
#include "world/world_tables.h"

namespace {

// sf.bin: general 0, line 2 (256 bytes), voice 258 (32), grid page 290, seen category 292,
// hidden 294. sf_scr.dat: general 0, line 2 (160 bytes), voice 162 (64), line category 228.
constexpr size_t kLineText = 2, kLineTextBytes = 256, kLineVoice = 258, kLineVoiceBytes = 32;
constexpr size_t kLinePage = 290, kLineSeen = 292, kLineHidden = 294;
constexpr size_t kScrText = 2, kScrTextBytes = 160, kScrVoice = 162, kScrVoiceBytes = 64, kScrCategory = 228;
// The sample faces are numbered f00..f15, as on the strategy map.
constexpr const char* kFacePattern = "Data\\Image\\face\\f%02d.png";
constexpr int32_t kFaceCount = 16;

uint16_t U16(const uint8_t* r, size_t off) { return le::Get16(r + off); }

void Show(CVMenuBase* w, bool on) {
  if (w) w->SetFlagAll(kWfShown, on);
}
void Enable(CVMenuBase* w, bool on) {
  if (w) w->SetFlagAll(kWfEnabled, on);
}
CVMenuText* TextOf(CVMenuBase* w) { return w ? dynamic_cast<CVMenuText*>(w->FindChild(kWidgetText, 0)) : nullptr; }
bool ValidGeneral(int32_t g) { return g >= 0 && g < kBusyoCount; }

std::string GeneralName(int32_t g) {
  if (!ValidGeneral(g)) return {};
  const char* n = BusyoTable[g].name;
  return std::string(n, strnlen(n, sizeof BusyoTable[g].name));
}

void ShowFace(CVMenuBase* w, int32_t general) {
  auto* win = dynamic_cast<CVMenuWindow*>(w);
  if (!win || !ValidGeneral(general)) return;
  if (win->namePattern.Length() == 0) win->SetNamePattern(kFacePattern);
  win->SetTextureF(BusyoTable[general].picture % kFaceCount, false);
}

}  // namespace

CVMenuBase* CVMenuOmake_Ikki::Nth(CVMenuBase* first, int32_t k) { return NthSibling(first, k); }

void CVMenuOmake_Ikki::FindWidgets() {
  gridPanel_ = FindChild(kWidgetSprite, 0);
  linesPanel_ = FindChild(kWidgetSprite, 1);
  counter_ = gridPanel_ ? gridPanel_->FindChild(kWidgetGroup, 0) : nullptr;
  grid_ = FirstInWindow(gridPanel_, 0, kWidgetBtn);
  pages_ = FirstInWindow(gridPanel_, 1, kWidgetBtn);
  gridBar_ = dynamic_cast<CVMenuSBar*>(FirstInWindow(gridPanel_, 2, kWidgetSBar));
  header_ = linesPanel_ ? linesPanel_->FindChild(kWidgetWindow, 0) : nullptr;
  categoryButtons_ = FirstInWindow(linesPanel_, 1, kWidgetBtn);
  rows_ = FirstInWindow(linesPanel_, 2, kWidgetBtn);
  linesBar_ = dynamic_cast<CVMenuSBar*>(FirstInWindow(linesPanel_, 3, kWidgetSBar));
}

void CVMenuOmake_Ikki::TakeTables(const uint8_t* lines, const uint8_t* scriptLines) {
  table_ = lines;
  scriptTable_ = scriptLines;
}

void CVMenuOmake_Ikki::BuildPageLists(bool allUnlocked) {
  allUnlocked_ = allUnlocked;
  for (auto& list : pageLists_) list.clear();
  if (!table_) return;
  int32_t last = -1;
  bool logged = false;
  for (size_t i = 0; i < kOmakeSoundRecords; ++i) {
    const uint8_t* r = table_ + i * kOmakeSoundRecordBytes;
    const int32_t g = U16(r, 0);
    if ((!allUnlocked && U16(r, kLineHidden) != 0) || g == 0 || g == last) continue;
    last = g;
    const int32_t page = U16(r, kLinePage);
    // Data past the grid's seven pages of sixty is left out rather than written past them.
    if (page >= kPages || pageLists_[page].size() >= kPerPage) {
      if (!logged) plat::Log("omake", "sf.bin record %zu is outside the general grid", i);
      logged = true;
      continue;
    }
    pageLists_[page].push_back(g);
  }
}

int32_t CVMenuOmake_Ikki::PageCount(int32_t page) const {
  return page < 0 || page >= kPages ? 0 : static_cast<int32_t>(pageLists_[page].size());
}

int32_t CVMenuOmake_Ikki::GetPageGeneral(int32_t page, int32_t i) const {
  if (i < 0 || i >= PageCount(page)) return -1;
  return pageLists_[page][static_cast<size_t>(i)];
}

int32_t CVMenuOmake_Ikki::GridMaximum(int32_t count) {
  return count <= kGridButtons ? 0 : (count - kGridButtons + kGridColumns - 1) / kGridColumns;
}

CVMenuOmake_Ikki::LineIndex CVMenuOmake_Ikki::BuildLineIndex(int32_t general) const {
  LineIndex index;
  if (general < 0) return index;
  // Items count each seen category's lines of the general from 0.
  int32_t nextItem[kGalleryCategories] = {};
  auto add = [&](int32_t category, int32_t record, int32_t seen) {
    if (category < 0 || category >= kCategories || seen < 0 || seen >= kGalleryCategories) return;
    if (index.lines[category].size() >= kMaxLines) return;
    index.lines[category].push_back(Line{record, seen, nextItem[seen]++});
  };
  if (table_) {
    for (size_t i = 0; i < kOmakeSoundRecords; ++i) {
      const uint8_t* r = table_ + i * kOmakeSoundRecordBytes;
      if (U16(r, 0) == general && r[kLineText] != 0) add(0, static_cast<int32_t>(i), U16(r, kLineSeen));
    }
  }
  if (scriptTable_) {
    for (size_t i = 0; i < kOmakeSoundScriptRecords; ++i) {
      const uint8_t* r = scriptTable_ + i * kOmakeSoundScriptRecordBytes;
      if (U16(r, 0) != general || r[kScrText] == 0) continue;
      // Line categories are 1..5: category 0 holds sf.bin record numbers.
      const int32_t c = U16(r, kScrCategory);
      if (c >= 1 && c < kCategories) add(c, static_cast<int32_t>(i), c);
    }
  }
  return index;
}

std::string CVMenuOmake_Ikki::CutLine(const uint8_t* text, size_t field, size_t limit) {
  size_t n = 0;
  while (n < field && n < limit && text[n] != 0) {
    if (plat::IsSjisLead(text[n])) {
      if (n + 2 > limit || n + 1 >= field || text[n + 1] == 0) break;
      n += 2;
    } else {
      n += 1;
    }
  }
  return std::string(reinterpret_cast<const char*>(text), n);
}

bool CVMenuOmake_Ikki::IsSeen(int32_t general, const Line& line) const {
  return GetOmakePorts().galleryItemSeen(general, line.seenCategory, line.item);
}

bool CVMenuOmake_Ikki::HasLineSeen(int32_t general) const {
  if (general < 0) return false;
  const LineIndex index = BuildLineIndex(general);
  for (const auto& lines : index.lines)
    for (const Line& l : lines)
      if (IsSeen(general, l)) return true;
  return false;
}

bool CVMenuOmake_Ikki::IsLineSeen(int32_t category, int32_t row) const {
  if (category < 0 || category >= kCategories || row < 0) return false;
  const size_t i = static_cast<size_t>(linesScroll_ + row);
  if (linesScroll_ < 0 || i >= shown_.lines[category].size()) return false;
  return IsSeen(general_, shown_.lines[category][i]);
}

int32_t CVMenuOmake_Ikki::GetCompletion() const {
  int32_t total = 0, met = 0;
  for (const auto& list : pageLists_) {
    for (int32_t g : list) {
      const LineIndex index = BuildLineIndex(g);
      for (const auto& lines : index.lines) {
        for (const Line& l : lines) {
          ++total;
          if (IsSeen(g, l)) ++met;
        }
      }
    }
  }
  return total == 0 ? 0 : met * 100 / total;
}

void CVMenuOmake_Ikki::ShowCompletion() {
  if (auto* g = dynamic_cast<CVMenuWindowGroup*>(counter_)) g->SetTarget(GetCompletion(), 1000.0f);
}

void CVMenuOmake_Ikki::SelectPage(int32_t n) {
  if (n < 0 || n >= kPages) return;
  int32_t k = 0;
  for (CVMenuBase* w = pages_; w; w = w->NextSibling(), ++k) w->SetFlag(kWfRest4, k == n);
  page_ = n;
  gridScroll_ = 0;
  if (gridBar_) gridBar_->SetValue(0);
  ShowGrid();
}

void CVMenuOmake_Ikki::ShowGrid() {
  const int32_t scroll = gridBar_ ? gridBar_->value : 0;
  int32_t k = 0;
  for (CVMenuBase* b = grid_; b; b = b->NextSibling(), ++k) {
    CVMenuBase* face = b->FindChild(kWidgetSprite, 0);
    Show(face, false);
    const int32_t g = GetPageGeneral(page_, scroll * kGridColumns + k);
    if (ValidGeneral(g)) {
      Show(b, true);
      const bool seen = ShowGridButton(b, g);
      Enable(face, seen);
      Show(face, seen);
    } else {
      Show(b, false);
      Enable(b, false);
    }
  }
  if (gridBar_) gridBar_->SetMax(GridMaximum(PageCount(page_)));
}

bool CVMenuOmake_Ikki::ShowGridButton(CVMenuBase* button, int32_t general) {
  CVMenuText* text = TextOf(button);
  CVMenuBase* face = button ? button->FindChild(kWidgetSprite, 0) : nullptr;
  if (general >= 0 && HasLineSeen(general)) {
    if (text) text->SetText(GeneralName(general).c_str(), false);
    ShowFace(face, general);
    button->SetFlag(kWfEnabled, true);
    return true;
  }
  if (text) text->SetText("", false);
  Enable(face, false);
  Show(face, false);
  if (button) button->SetFlag(kWfEnabled, false);
  return false;
}

void CVMenuOmake_Ikki::ShowGeneral(int32_t general) {
  general_ = general;
  ShowFace(linesPanel_ ? linesPanel_->FindChild(kWidgetSprite, 1) : nullptr, general);
  ShowFace(header_ ? header_->FindChild(kWidgetSprite, 1) : nullptr, general);
  if (CVMenuText* name = header_ ? dynamic_cast<CVMenuText*>(header_->FindChild(kWidgetText, 0)) : nullptr)
    name->SetText(GeneralName(general).c_str(), false);
  shown_ = BuildLineIndex(general);
  // A category with lines can be chosen; one without cannot.
  int32_t c = 0;
  for (CVMenuBase* b = categoryButtons_; b && c < kCategories; b = b->NextSibling(), ++c) {
    const bool has = !shown_.lines[c].empty();
    b->SetFlag(kWfNoHit, !has);
    b->SetFlag(kWfEnabled, has);
  }
  SelectLineCategory(0);
}

void CVMenuOmake_Ikki::SelectLineCategory(int32_t category) {
  if (category < 0 || category >= kCategories) return;
  category_ = category;
  int32_t c = 0;
  for (CVMenuBase* b = categoryButtons_; b; b = b->NextSibling(), ++c) b->SetFlag(kWfRest4, c == category);
  linesScroll_ = 0;
  if (linesBar_) linesBar_->SetValue(0);
  ShowLines();
  if (linesBar_) linesBar_->SetMax(LineMaximum(static_cast<int32_t>(shown_.lines[category].size())));
}

const uint8_t* CVMenuOmake_Ikki::LineRecord(int32_t category, int32_t record) const {
  if (category == 0)
    return table_ && record >= 0 && record < static_cast<int32_t>(kOmakeSoundRecords)
               ? table_ + record * kOmakeSoundRecordBytes
               : nullptr;
  return scriptTable_ && record >= 0 && record < static_cast<int32_t>(kOmakeSoundScriptRecords)
             ? scriptTable_ + record * kOmakeSoundScriptRecordBytes
             : nullptr;
}

void CVMenuOmake_Ikki::ShowLines() {
  const std::vector<Line>& lines = shown_.lines[category_];
  int32_t k = 0;
  for (CVMenuBase* b = rows_; b; b = b->NextSibling(), ++k) {
    CVMenuText* text = TextOf(b);
    if (text) text->SetText("", false);
    const size_t i = static_cast<size_t>(linesScroll_ + k);
    const uint8_t* r = i < lines.size() && IsLineSeen(category_, k) ? LineRecord(category_, lines[i].record) : nullptr;
    Show(b, true);
    b->SetFlag(kWfEnabled, r != nullptr);
    if (r && text) {
      const std::string begin = category_ == 0 ? CutLine(r + kLineText, kLineTextBytes, kLineBytes)
                                               : CutLine(r + kScrText, kScrTextBytes, kLineBytes);
      text->SetText(begin.c_str(), false);
    }
  }
}

void CVMenuOmake_Ikki::PlayLine(int32_t category, int32_t row) {
  if (category < 0 || category >= kCategories || row < 0) return;
  const size_t i = static_cast<size_t>(linesScroll_ + row);
  if (i >= shown_.lines[category].size() || !IsLineSeen(category, row)) return;
  const uint8_t* r = LineRecord(category, shown_.lines[category][i].record);
  if (!r) return;
  const size_t at = category == 0 ? kLineVoice : kScrVoice;
  const size_t bytes = category == 0 ? kLineVoiceBytes : kScrVoiceBytes;
  const std::string file(reinterpret_cast<const char*>(r + at), strnlen(reinterpret_cast<const char*>(r + at), bytes));
  if (!file.empty()) GetOmakePorts().playVoice(file.c_str());
}

void CVMenuOmake_Ikki::RestoreDepthBound() {
  if (!raised_) return;
  GetMenuMgr().SetDepthBound(savedDepth_);
  raised_ = false;
}

int32_t CVMenuOmake_Ikki::SetState(int32_t s, int32_t force) {
  if (!CVMenuSceneRoot::SetState(s, force)) return 0;
  if (s == kLines) {
    if (!raised_) savedDepth_ = GetMenuMgr().GetDepthBound();
    raised_ = true;
    GetMenuMgr().SetDepthBound(kLinesDepth);
    if (gridPanel_) gridPanel_->SetFlagAll(kWfNoHit, true);
    if (linesPanel_) linesPanel_->SetFlag(kWfNoHit, false);
    Show(linesPanel_, true);
  } else if (s == kGrid) {
    RestoreDepthBound();
    Show(gridPanel_, true);
    if (gridPanel_) gridPanel_->SetFlagAll(kWfNoHit, false);
    Show(linesPanel_, false);
    ShowGrid();
  }
  return 1;
}

void CVMenuOmake_Ikki::Open(int32_t a, int32_t b, int32_t c) {
  CVMenuSceneRoot::Open(a, b, c);
  FindWidgets();
  if (gridBar_) {
    gridBar_->SetMax(0);
    gridBar_->SetValue(0);
  }
  gridScroll_ = linesScroll_ = page_ = 0;
  general_ = -1;
  category_ = 0;
  shown_ = LineIndex{};
  savedDepth_ = GetMenuMgr().GetDepthBound();
  raised_ = false;
  Show(linesPanel_, true);
  auto* owner = dynamic_cast<CVSceneOmake*>(scene);
  TakeTables(owner ? owner->GetBattleTable() : OmakeSoundTable,
             owner ? owner->GetBattleScriptTable() : OmakeSoundScriptTable);
  BuildPageLists(GetOmakePorts().allUnlocked());
  SelectPage(0);
  SetState(kGrid, 1);
  ShowCompletion();
}

void CVMenuOmake_Ikki::Close() {
  // Leaving with the lines panel up must not leave every other screen deaf.
  RestoreDepthBound();
  CVMenuSceneRoot::Close();
}

void CVMenuOmake_Ikki::Decide(int32_t d, uint32_t click) {
  if (GetState() == kGrid) {
    if (d >= kPageFirst && d < kPageFirst + kPages) {
      SelectPage(d - kPageFirst);
    } else if (d >= kGridFirst && d < kGridFirst + kGridButtons) {
      const int32_t g = GetPageGeneral(page_, d - kGridFirst + kGridColumns * gridScroll_);
      if (g >= 0) {
        ShowGeneral(g);
        SetState(kLines, 0);
      }
    }
    if (gridBar_ && gridBar_->value != gridScroll_) {
      ShowGrid();
      gridScroll_ = gridBar_->value;
    }
  } else {
    if (click == 2) {
      SetState(kGrid, 0);
      return;
    }
    if (d >= kCategoryFirst && d < kCategoryFirst + kCategories) {
      SelectLineCategory(d - kCategoryFirst);
    } else if (d >= kRowFirst && d < kRowFirst + kRows) {
      PlayLine(category_, d - kRowFirst);
    } else if (d == kCloseLines) {
      SetState(kGrid, 0);
      return;
    }
    if (linesBar_ && linesBar_->value != linesScroll_) {
      linesScroll_ = linesBar_->value;
      ShowLines();
    }
  }
}

void CVMenuOmake_Ikki::Update(int32_t x, int32_t y, uint32_t click) {
  // In the lines panel a right click only closes the panel, not the extras.
  const int32_t savedCancel = cancelId;
  if (GetState() == kLines) cancelId = -1;
  CVMenuSceneRoot::Update(x, y, click);
  cancelId = savedCancel;
  if (!IsShown()) return;
  Decide(decidedId, clickState);
}
