#include "screens/extras/menu_omake_scene.h"

#include <cstring>

#include "core/app_state.h"
#include "platform/byte_order.h"
#include "save/omake_tables.h"
#include "save/system_files.h"
#include "screens/extras/omake_ports.h"
#include "screens/extras/omake_replay.h"
#include "screens/extras/omake_widgets.h"
#include "screens/extras/scene_omake.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/menu_window_group.h"

namespace {

constexpr size_t kLabelOffset = 2, kTitleOffset = 34, kFieldBytes = 32;
constexpr size_t kCategoryOffset = 66, kPreviewOffset = 68, kHighlightOffset = 72;
constexpr size_t kHiddenOffset = 74, kOpenOffset = 76;
// The replay highlight is word 72: word 70 places the record in the event gallery.
const Color kHighlightColour{255, 130, 150, 255};
const Color kTitleColour{190, 190, 190, 255};
constexpr int32_t kPreviewAnime = 1;

uint16_t U16(const uint8_t* r, size_t off) { return le::Get16(r + off); }

// A text field of the record, never read past its 32 bytes.
void Field(const uint8_t* r, size_t off, char (&out)[kFieldBytes + 1]) {
  std::memcpy(out, r + off, kFieldBytes);
  out[kFieldBytes] = 0;
}

CVMenuText* TextOf(CVMenuBase* button) {
  return button ? dynamic_cast<CVMenuText*>(button->FindChild(kWidgetText, 0)) : nullptr;
}

CVMenuBase* FirstButtonOf(CVMenuBase* panel, int32_t window) { return FirstInWindow(panel, window, kWidgetBtn); }

}  // namespace

CVMenuBase* CVMenuOmake_Scene::Nth(CVMenuBase* first, int32_t k) { return NthSibling(first, k); }

void CVMenuOmake_Scene::FindWidgets() {
  panel_ = FindChild(kWidgetSprite, 0);
  counter_ = panel_ ? panel_->FindChild(kWidgetGroup, 0) : nullptr;
  preview_ = panel_ ? panel_->FindChild(kWidgetSprite, 5) : nullptr;
  items_ = FirstButtonOf(panel_, 0);
  tabs_ = FirstButtonOf(panel_, 1);
  categories_ = FirstButtonOf(panel_, 2);
}

void CVMenuOmake_Scene::Open(int32_t a, int32_t b, int32_t c) {
  FindWidgets();
  CVMenuSceneRoot::Open(a, b, c);
  if (preview_) {
    preview_->SetFlagAll(kWfShown, false);
    preview_->SetFlagAll(kWfAnimRunning, true);
  }
  hovered_ = -1;
  OmakePorts& ports = GetOmakePorts();
  auto* owner = dynamic_cast<CVSceneOmake*>(scene);
  BuildCategoryLists(owner ? owner->GetEventTable() : OmakeEventTable, ports.allUnlocked());
  ports.prepareReplayScript();
  SelectCategory(0);
  ShowCompletion();
}

void CVMenuOmake_Scene::BuildCategoryLists(const uint8_t* table, bool allUnlocked) {
  lists_.clear();
  allUnlocked_ = allUnlocked;
  if (!table) return;
  for (size_t i = 0; i < kOmakeEventRecords; ++i) {
    const uint8_t* r = table + i * kOmakeEventRecordBytes;
    if (r[kLabelOffset] == 0) continue;
    if (!allUnlocked && U16(r, kHiddenOffset) != 0) continue;
    lists_[U16(r, kCategoryOffset)].push_back(r);
  }
}

void CVMenuOmake_Scene::SelectCategory(int32_t n) {
  if (n < 0 || n > kMaxCategory) return;
  int32_t k = 0;
  for (CVMenuBase* w = categories_; w; w = w->NextSibling(), ++k) w->SetFlagAll(kWfRest4, k == n);
  category_ = n;
  ShowTabs();
  SelectTab(0);
}

void CVMenuOmake_Scene::SelectTab(int32_t n) {
  if (n < 0 || n > kMaxTab) return;
  int32_t k = 0;
  for (CVMenuBase* w = tabs_; w; w = w->NextSibling(), ++k) w->SetFlagAll(kWfRest4, k == n);
  tab_ = n;
  ShowItems();
}

int32_t CVMenuOmake_Scene::EntryIndex(int32_t tab, int32_t item) {
  if (tab < 0 || tab > kMaxTab || item < 0 || item >= kItemsPerTab) return -1;
  return tab * kItemsPerTab + item;
}

int32_t CVMenuOmake_Scene::GetCategorySize(int32_t category) const {
  auto it = lists_.find(category);
  return it == lists_.end() ? 0 : static_cast<int32_t>(it->second.size());
}

const uint8_t* CVMenuOmake_Scene::GetEntry(int32_t category, int32_t tab, int32_t item) const {
  return GetEntryAt(category, EntryIndex(tab, item));
}

const uint8_t* CVMenuOmake_Scene::GetEntryAt(int32_t category, int32_t index) const {
  auto it = lists_.find(category);
  if (it == lists_.end() || index < 0 || static_cast<size_t>(index) >= it->second.size()) return nullptr;
  return it->second[static_cast<size_t>(index)];
}

bool CVMenuOmake_Scene::IsSceneSeen(int32_t n) const {
  return n >= 0 && n < kOmakeSceneCount && GetOmakePorts().sceneSeen(n);
}

int32_t CVMenuOmake_Scene::GetCompletion() const {
  int32_t listed = 0, seen = 0;
  for (const auto& [category, list] : lists_) {
    for (const uint8_t* r : list) {
      if (allUnlocked_ || U16(r, kHiddenOffset) == 0) ++listed;
      if (U16(r, kOpenOffset) != 0 || IsSceneSeen(U16(r, 0))) ++seen;
    }
  }
  return listed < 1 ? 0 : seen * 100 / listed;
}

void CVMenuOmake_Scene::ShowTabs() {
  const int32_t pages = (GetCategorySize(category_) + kItemsPerTab - 1) / kItemsPerTab;
  int32_t k = 0;
  for (CVMenuBase* w = tabs_; w; w = w->NextSibling(), ++k) w->SetFlagAll(kWfShown, k < pages);
}

void CVMenuOmake_Scene::ShowItems() {
  int32_t k = 0;
  for (CVMenuBase* w = items_; w; w = w->NextSibling(), ++k) ShowItem(w, GetEntry(category_, tab_, k));
}

void CVMenuOmake_Scene::ShowItem(CVMenuBase* button, const uint8_t* record) {
  if (!button) return;
  CVMenuText* text = TextOf(button);
  if (!record) {
    button->SetFlagAll(kWfShown, false);
    button->SetFlagAll(kWfNoHit, true);
    return;
  }
  if (U16(record, kOpenOffset) == 0 && !IsSceneSeen(U16(record, 0))) {
    if (text) text->SetText("", false);
    button->SetFlagAll(kWfShown, true);
    button->SetFlagAll(kWfNoHit, true);
    return;
  }
  char title[kFieldBytes + 1];
  Field(record, kTitleOffset, title);
  if (text) {
    text->SetColour(U16(record, kHighlightOffset) != 0 ? kHighlightColour : kTitleColour);
    text->SetText(title, false);
  }
  button->SetFlagAll(kWfShown, true);
  button->SetFlagAll(kWfNoHit, false);
}

void CVMenuOmake_Scene::ShowCompletion() {
  if (auto* g = dynamic_cast<CVMenuWindowGroup*>(counter_)) g->SetTarget(GetCompletion(), 1000.0f);
}

void CVMenuOmake_Scene::ShowPreview(CVMenuBase* button, const uint8_t* record) {
  if (!preview_) return;
  const int32_t picture = record ? U16(record, kPreviewOffset) : 0;
  if (!button || picture == 0) {
    preview_->SetFlagAll(kWfShown, false);
    return;
  }
  if (auto* p = dynamic_cast<CVMenuWindow*>(preview_->FindChild(kWidgetSprite, 0))) p->SetTextureF(picture, false);
  // The button's place on the screen, in the frame's parent's space (the world-position query
  // counts a widget's own position twice).
  Vector3 parentAt, frameParentAt;
  button->GetParentWorldPos(parentAt);
  preview_->GetParentWorldPos(frameParentAt);
  const float x = parentAt.x + button->position.x - frameParentAt.x;
  const float y = parentAt.y + button->position.y - frameParentAt.y;
  preview_->ClearAnimeQueue();
  preview_->SetRefParams(x + button->size.x, y, 0);
  preview_->PlayAnime(kPreviewAnime);
  preview_->SetFlagAll(kWfShown, true);
}

bool CVMenuOmake_Scene::StartReplay(const uint8_t* record) { return StartEventReplay(record); }

void CVMenuOmake_Scene::Decide(int32_t id) {
  if (id >= kCategoryFirst && id <= kCategoryLast) {
    SelectCategory(id - kCategoryFirst);
  } else if (id >= kTabFirst && id <= kTabLast) {
    SelectTab(id - kTabFirst);
  } else if (id >= kItemFirst && id <= kItemLast) {
    const uint8_t* r = GetEntry(category_, tab_, id - kItemFirst);
    // Rows of unseen scenes cannot be hit; the test here keeps a stray id from replaying one.
    if (r && (U16(r, kOpenOffset) != 0 || IsSceneSeen(U16(r, 0)))) StartReplay(r);
  }
}

void CVMenuOmake_Scene::Hover(int32_t selected) {
  if (selected >= kItemFirst && selected <= kItemLast) {
    const int32_t i = selected - kItemFirst;
    if (i == hovered_) return;
    ShowPreview(FindButtonById(selected), GetEntry(category_, tab_, i));
    hovered_ = i;
  } else if (hovered_ != -1) {
    ShowPreview(nullptr, nullptr);
    hovered_ = -1;
  }
}

void CVMenuOmake_Scene::Update(int32_t x, int32_t y, uint32_t click) {
  CVMenuSceneRoot::Update(x, y, click);
  if (!IsShown()) return;
  Decide(decidedId);
  Hover(selectedId);
}
