#include "screens/extras/menu_omake_cg.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/app_state.h"
#include "core/game_file.h"
#include "platform/byte_order.h"
#include "render/effect/shader.h"
#include "save/omake_tables.h"
#include "screens/extras/omake_ports.h"
#include "screens/extras/omake_replay.h"
#include "screens/extras/omake_widgets.h"
#include "screens/extras/scene_omake.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/menu_window_group.h"
#include "ui/widgets/safe_format.h"
#include "ui/widgets/widget_shader.h"

namespace {

// Name patterns of the thumbnails, the full-size pictures and the movies (numbered by CG number);
// a pattern the layout gives takes precedence.
constexpr const char* kThumbPattern = "Data\\Image\\omake\\th%03d.png";
constexpr const char* kPicturePattern = "Data\\Image\\omake\\cg%03d.png";
constexpr const char* kMoviePattern = "Data\\media\\cg%03d.mdm";
constexpr int32_t kSepiaKey = 7001;  // one sepia shader per thumbnail, under a fixed key
constexpr int32_t kCategoryFirst = 12000;
constexpr int32_t kPageFirst = 10000;
constexpr int32_t kThumbFirst = 11000;
constexpr int32_t kMaxCgNumber = 511;
// A release after the pointer moved this far while held ends a drag, not a click.
constexpr int32_t kDragSlop = 4;

void Show(CVMenuBase* w, bool on) {
  if (w) w->SetFlagAll(kWfShown, on);
}
uint16_t U16(const uint8_t* r, size_t off) { return le::Get16(r + off); }

// Sepia on an unlocked thumbnail: one shader under a fixed key, removed while the pointer is on it
// (the button then draws plain, in colour).
void SetSepia(CVMenuBase* button, bool on) {
  if (!button) return;
  const bool has = button->Shaders().find(kSepiaKey) != button->Shaders().end();
  if (on && !has) button->AddShader(new RenderWidgetShader(kSepiaKey, new CVShaderSepia(0)), false, kSepiaKey);
  if (!on && has) button->RemoveShader(kSepiaKey);
}

}  // namespace

CVMenuBase* CVMenuOmake_CG::Nth(CVMenuBase* first, int32_t k) { return NthSibling(first, k); }

int32_t CVMenuOmake_CG::MakePositionKey(int32_t category, int32_t page, int32_t place) {
  if (category < 0 || category >= kCategories || page < 0 || page >= kPages || place < 0 || place >= kPlaces) return -1;
  return (category * kPages + page) * kPlaces + place;
}

std::string CVMenuOmake_CG::MakeVariantName(const std::string& pattern, int32_t variant) {
  if (variant <= 0) return pattern;
  const size_t slash = pattern.find_last_of("\\/");
  const size_t dot = pattern.find_last_of('.');
  const size_t at = (dot == std::string::npos || (slash != std::string::npos && dot < slash)) ? pattern.size() : dot;
  std::string out = pattern;
  out.insert(at, 1, static_cast<char>(96 + variant));
  return out;
}

bool CVMenuOmake_CG::IsCgSeen(int32_t number, int32_t variant) const {
  if (number < 1 || number > kMaxCgNumber) return false;
  const uint32_t word = GetOmakePorts().cgSeenWord(number);
  if (variant >= 0 && variant <= 31) return (word >> variant) & 1u;
  return word != 0;
}

const uint8_t* CVMenuOmake_CG::Record(int32_t key) const {
  auto it = list_.find(key);
  return it == list_.end() ? nullptr : it->second;
}

int32_t CVMenuOmake_CG::GetCgNumber(int32_t key) const {
  const uint8_t* r = Record(key);
  return r ? U16(r, 0) : -1;
}

bool CVMenuOmake_CG::IsMovie(int32_t key) const {
  const uint8_t* r = Record(key);
  return r && U16(r, 10) != 0;
}

int32_t CVMenuOmake_CG::NextSeenVariant(int32_t key, int32_t current) const {
  const uint8_t* r = Record(key);
  if (!r) return current;
  const int32_t n = U16(r, 0), v = U16(r, 2);
  int32_t i = current;
  // At most v + 1 steps visit every variant and -1 once.
  for (int32_t step = 0; step <= v + 1; ++step) {
    i = i + 1;
    if (i >= v) i = -1;
    if (IsCgSeen(n, i) || i == current) return i;
  }
  return current;
}

int32_t CVMenuOmake_CG::CountInCategory(int32_t c) const {
  int32_t n = 0;
  for (const auto& [key, r] : list_)
    if (U16(r, 4) == c) ++n;
  return n;
}

int32_t CVMenuOmake_CG::GetCompletionPercent() const {
  int32_t total = 0, seen = 0;
  if (RoundNudged(state) == kEvents) {
    total = eventCount_;
    // Seen by the scene number of each listed record, the number the replay itself tests.
    for (int16_t p : eventPlaces_)
      if (p >= 0 && eventTable_ && GetOmakePorts().sceneSeen(U16(eventTable_ + p * kOmakeEventRecordBytes, 0))) ++seen;
  } else {
    for (const auto& [key, r] : list_) {
      const int32_t n = U16(r, 0), v = U16(r, 2);
      total += v;
      for (int32_t i = 0; i < v; ++i)
        if (IsCgSeen(n, i)) ++seen;
    }
  }
  return total <= 0 ? 0 : seen * 100 / total;
}

void CVMenuOmake_CG::BuildCgList(const uint8_t* table, bool allUnlocked) {
  list_.clear();
  if (!table) return;
  for (size_t i = 0; i < kOmakeCgRecords; ++i) {
    const uint8_t* r = table + i * kOmakeCgRecordBytes;
    if (U16(r, 0) == 0 && U16(r, 2) == 0) continue;  // an empty record
    if (!allUnlocked && U16(r, 12) != 0) continue;
    const int32_t key = MakePositionKey(U16(r, 4), U16(r, 6), U16(r, 8));
    if (key != -1) list_.emplace(key, r);  // the first record keeps its place
  }
}

void CVMenuOmake_CG::BuildEventList(const uint8_t* table, bool allUnlocked) {
  for (int16_t& p : eventPlaces_) p = -1;
  eventCount_ = 0;
  eventTable_ = table;
  if (!table) return;
  for (size_t i = 0; i < kOmakeEventRecords; ++i) {
    const uint8_t* r = table + i * kOmakeEventRecordBytes;
    const int32_t place = U16(r, 70);
    if (place == 0 || place > 1000) continue;
    if (!allUnlocked && U16(r, 74) != 0) continue;
    ++eventCount_;
    eventPlaces_[place - 1] = static_cast<int16_t>(i);
  }
}

const uint8_t* CVMenuOmake_CG::GetEventRecordAt(int32_t page, int32_t place) const {
  const int32_t i = page * kPerPage + place;
  if (!eventTable_ || i < 0 || i >= 1000 || eventPlaces_[i] < 0) return nullptr;
  return eventTable_ + eventPlaces_[i] * kOmakeEventRecordBytes;
}

bool CVMenuOmake_CG::StartReplay(const uint8_t* record) {
  return record && GetOmakePorts().sceneSeen(U16(record, 0)) && StartEventReplay(record);
}

void CVMenuOmake_CG::FindWidgets() {
  panel_ = FindChild(kWidgetSprite, 0);
  view_ = panel_ ? panel_->NextSibling() : nullptr;
  holder_ = FindChild(kWidgetSprite, 2);
  auto firstIn = [&](int32_t window, uint32_t type) -> CVMenuBase* {
    CVMenuBase* w = panel_ ? panel_->FindChild(kWidgetWindow, window) : nullptr;
    return w ? w->FindChild(type, 0) : nullptr;
  };
  thumbs_ = firstIn(0, kWidgetBtn);
  pageButtons_ = firstIn(1, kWidgetBtn);
  categoryButtons_ = firstIn(2, kWidgetBtn);
  covers_ = firstIn(3, kWidgetBtn);
  marks_ = firstIn(4, kWidgetSprite);
  percent_ = panel_ ? panel_->FindChild(kWidgetGroup, 0) : nullptr;
  auto pattern = [](CVMenuBase* w, const char* p) {
    if (auto* win = dynamic_cast<CVMenuWindow*>(w); win && win->namePattern.Length() == 0) win->SetNamePattern(p);
  };
  for (CVMenuBase* b = thumbs_; b; b = b->NextSibling()) pattern(b, kThumbPattern);
  pattern(view_, kPicturePattern);
  pattern(holder_, kMoviePattern);
  const int32_t modeIndex[5] = {0, 2, 4, 5, 6};
  for (int32_t i = 0; i < 5; ++i) modeWidgets_[i] = panel_ ? panel_->FindChild(kWidgetSprite, modeIndex[i]) : nullptr;
}

void CVMenuOmake_CG::Open(int32_t a, int32_t b, int32_t c) {
  CVMenuSceneRoot::Open(a, b, c);
  hovered_ = nullptr;
  hoveredPlace_ = -1;
  dragging_ = false;
  FindWidgets();
  OmakePorts& ports = GetOmakePorts();
  const bool events = OmakeSelection == CVSceneOmake::kPhaseEvents;
  auto* owner = dynamic_cast<CVSceneOmake*>(scene);
  const bool all = ports.allUnlocked();
  if (events)
    BuildEventList(owner ? owner->GetEventTable() : OmakeEventTable, all);
  else
    BuildCgList(owner ? owner->GetCgTable() : OmakeCgTable, all);
  category_ = page_ = 0;
  SetState(events ? kEvents : kThumbs, 1);
  for (int32_t i = 0; i < 3; ++i) Show(modeWidgets_[i], !events);
  for (int32_t i = 3; i < 5; ++i) Show(modeWidgets_[i], events);
  for (CVMenuBase* w = categoryButtons_; w; w = w->NextSibling()) Show(w, !events);
  SelectCategory(0);
  if (events) SetPage(0);
  if (auto* g = dynamic_cast<CVMenuWindowGroup*>(percent_)) g->SetTarget(GetCompletionPercent(), 1000.0f);
}

int32_t CVMenuOmake_CG::SetState(int32_t s, int32_t force) {
  if (!CVMenuSceneRoot::SetState(s, force)) return 0;
  switch (s) {
    case kThumbs:
    case kEvents:
      Show(panel_, true), Show(view_, false), Show(holder_, false);
      Show(modeWidgets_[0], s == kThumbs), Show(modeWidgets_[3], s == kEvents);
      if (s == kThumbs)
        for (CVMenuBase* w = categoryButtons_; w; w = w->NextSibling()) Show(w, true);
      SelectCategory(category_);
      ShowPage();
      break;
    case kPicture:
      Show(panel_, false), Show(view_, true), Show(holder_, false);
      break;
    case kMovie:
      Show(panel_, false), Show(view_, false), Show(holder_, false);
      break;
    default:
      break;
  }
  return 1;
}

void CVMenuOmake_CG::SelectCategory(int32_t n) {
  if (GetState() != kThumbs) return;
  if (n >= 0 && n < kCategories) {
    int32_t k = 0;
    for (CVMenuBase* w = categoryButtons_; w; w = w->NextSibling(), ++k) w->SetFlag(kWfRest4, k == n);
  }
  category_ = n;
  ShowPageButtons();
  SetPage(page_);
}

void CVMenuOmake_CG::ShowPageButtons() {
  const int32_t count = GetState() == kEvents ? eventCount_ : CountInCategory(category_);
  const int32_t pages = (count + kPerPage - 1) / kPerPage;
  if (page_ >= pages) page_ = 0;
  int32_t k = 0;
  for (CVMenuBase* w = pageButtons_; w; w = w->NextSibling(), ++k) Show(w, k < pages && pages > 1);
}

void CVMenuOmake_CG::SetPage(int32_t n) {
  if (n < 0 || n >= kPages) return;
  int32_t k = 0;
  for (CVMenuBase* w = pageButtons_; w; w = w->NextSibling(), ++k) w->SetFlag(kWfRest4, k == n);
  page_ = n;
  ShowPage();
}

void CVMenuOmake_CG::ShowPage() {
  const int32_t s = GetState();
  if (s != kThumbs && s != kEvents) return;
  CVMenuBase* cover = covers_;
  CVMenuBase* mark = marks_;
  int32_t k = 0;
  for (CVMenuBase* b = thumbs_; b; b = b->NextSibling(), ++k) {
    int32_t number = -1;
    bool movie = false;
    if (s == kThumbs) {
      const int32_t key = MakePositionKey(category_, page_, k);
      number = GetCgNumber(key);
      movie = IsMovie(key);
    } else if (const uint8_t* r = GetEventRecordAt(page_, k)) {
      number = U16(r, 68);
    }
    ShowThumbnail(b, cover, mark, number, movie);
    if (cover) cover = cover->NextSibling();
    if (mark) mark = mark->NextSibling();
  }
}

void CVMenuOmake_CG::ShowThumbnail(CVMenuBase* button, CVMenuBase* cover, CVMenuBase* mark, int32_t number,
                                   bool isMovie) {
  if (number < 0) {
    Show(button, false), Show(cover, false), Show(mark, false);
    return;
  }
  if (!IsCgSeen(number, -1)) {
    Show(cover, true);
    if (cover) cover->SetFlagAll(kWfNoHit, true);
    Show(button, false), Show(mark, false);
    return;
  }
  Show(mark, isMovie);
  if (auto* w = dynamic_cast<CVMenuWindow*>(button)) w->SetTextureF(number, false);
  Show(cover, false);
  if (cover) cover->SetFlagAll(kWfNoHit, false);
  Show(button, true);
  SetSepia(button, button != hovered_);
}

void CVMenuOmake_CG::ShowPicture(int32_t key, int32_t variant) {
  const int32_t n = GetCgNumber(key);
  if (n < 0) return;
  auto* view = dynamic_cast<CVMenuWindow*>(view_);
  if (!IsMovie(key)) {
    bool loaded = false;
    if (view) {
      if (variant <= 0) {
        loaded = view->SetTextureF(n, false);
      } else {
        char name[FixedPath::kCapacity];
        SafeFormatInt(name, sizeof name, MakeVariantName(view->namePattern.CStr(), variant).c_str(), n);
        loaded = view->SetTexture(name, false);
      }
      // A picture the view already holds keeps its size and place.
      if (loaded) {
        view->FitSpriteToTexture();
        view->SetPosXY(0, 0);
      }
    }
    SetState(kPicture, 0);
  } else {
    auto* holder = dynamic_cast<CVMenuWindow*>(holder_);
    char file[FixedPath::kCapacity] = {};
    if (holder) SafeFormatInt(file, sizeof file, holder->namePattern.CStr(), n);
    const std::string path = std::string(GetModuleDir()) + file;
    // A movie that cannot open leaves the gallery where it was.
    if (!holder || !GetOmakePorts().playMovie(path.c_str())) return;
    SetState(kMovie, 0);
  }
  shownVariant_ = variant;
  shownKey_ = key;
}

void CVMenuOmake_CG::BeginDrag(int32_t x, int32_t y) {
  if (!view_) return;
  dragX_ = RoundNudged(view_->position.x - static_cast<float>(x));
  dragY_ = RoundNudged(view_->position.y - static_cast<float>(y));
  pressX_ = x, pressY_ = y;
  dragging_ = true;
  dragMoved_ = false;
}

void CVMenuOmake_CG::DragTo(int32_t x, int32_t y) {
  if (!view_) return;
  if (std::abs(x - pressX_) > kDragSlop || std::abs(y - pressY_) > kDragSlop) dragMoved_ = true;
  float px = static_cast<float>(dragX_ + x), py = static_cast<float>(dragY_ + y);
  const float w = view_->size.x, h = view_->size.y;
  // Lower bound first: a picture no larger than the screen stays at 0.
  if (px < kScreenW - w) px = kScreenW - w;
  if (px > 0) px = 0;
  if (py < kScreenH - h) py = kScreenH - h;
  if (py > 0) py = 0;
  view_->SetPosXY(px, py);
}

void CVMenuOmake_CG::HandleClick(uint32_t click, bool held, int32_t x, int32_t y) {
  const int32_t s = GetState();
  if (s == kPicture) {
    if (click == 1) {
      // A release that ends a drag moved the picture; it does not also step to the next variant.
      const bool wasDrag = dragMoved_;
      dragging_ = dragMoved_ = false;
      if (!wasDrag) {
        const int32_t next = NextSeenVariant(shownKey_, shownVariant_);
        if (next != -1)
          ShowPicture(shownKey_, next);
        else
          SetState(kThumbs, 0);
      }
    } else if (click == 2) {
      dragging_ = dragMoved_ = false;
      SetState(kThumbs, 0);
    }
    if (GetState() != kPicture) return;
    if (held) {
      if (dragging_)
        DragTo(x, y);
      else
        BeginDrag(x, y);
    } else {
      dragging_ = false;
    }
  } else if (s == kMovie) {
    OmakePorts& ports = GetOmakePorts();
    if (click == 1 && ports.movieFinished())
      ports.restartMovie();
    else if (click == 2) {
      ports.closeMovies();
      SetState(kThumbs, 1);
    }
  }
}

void CVMenuOmake_CG::Decide(int32_t d) {
  const int32_t s = GetState();
  if (s == kThumbs) {
    if (d >= kCategoryFirst && d < kCategoryFirst + 7) {
      page_ = 0;
      SelectCategory(d - kCategoryFirst);
    } else if (d >= kPageFirst && d <= kPageFirst + 22) {
      SetPage(d - kPageFirst);
    } else if (d >= kThumbFirst && d < kThumbFirst + kPerPage) {
      const int32_t key = MakePositionKey(category_, page_, d - kThumbFirst);
      ShowPicture(key, NextSeenVariant(key, -1));
    }
  } else if (s == kEvents) {
    if (d >= kPageFirst && d <= kPageFirst + 22)
      SetPage(d - kPageFirst);
    else if (d >= kThumbFirst && d < kThumbFirst + kPerPage)
      StartReplay(GetEventRecordAt(page_, d - kThumbFirst));
  }
}

void CVMenuOmake_CG::Hover(int32_t selected) {
  const int32_t s = GetState();
  if (s != kThumbs && s != kEvents) return;
  if (selected >= kThumbFirst && selected < kThumbFirst + kPerPage) {
    const int32_t place = selected - kThumbFirst;
    if (place == hoveredPlace_) return;
    SetSepia(hovered_, true);
    hovered_ = Thumb(place);
    hoveredPlace_ = place;
    SetSepia(hovered_, false);  // in colour under the pointer
  } else if (hoveredPlace_ != -1) {
    SetSepia(hovered_, true);
    hovered_ = nullptr;
    hoveredPlace_ = -1;
  }
}

void CVMenuOmake_CG::Update(int32_t x, int32_t y, uint32_t click) {
  const int32_t before = GetState();
  // In the picture and movie views a right click only leaves the view, not the extras.
  const int32_t savedCancel = cancelId;
  if (before == kPicture || before == kMovie) cancelId = -1;
  CVMenuSceneRoot::Update(x, y, click);
  cancelId = savedCancel;
  if (!IsShown()) return;
  if (before == kThumbs || before == kEvents)
    Decide(decidedId);
  else
    HandleClick(clickState, GetSceneMgr().GetMouseButton() == 1, x, y);
  Hover(selectedId);
}
