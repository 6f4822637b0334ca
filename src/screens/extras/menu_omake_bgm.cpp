#include "screens/extras/menu_omake_bgm.h"

#include <cstring>

#include "save/omake_tables.h"
#include "screens/extras/omake_ports.h"
#include "screens/extras/scene_omake.h"
#include "ui/widgets/menu_list.h"
#include "ui/widgets/menu_text.h"

namespace {

constexpr size_t kFieldBytes = 32;

void Show(CVMenuBase* w, bool on) {
  if (w) w->SetFlagAll(kWfShown, on);
}
void Selected(CVMenuBase* w, bool on) {
  if (w) w->SetFlag(kWfRest4, on);
}
void Enabled(CVMenuBase* w, bool on) {
  if (w) w->SetFlag(kWfEnabled, on);
}
bool IsSelected(const CVMenuBase* w) { return w && w->TestFlag(kWfRest4); }

CVMenuBase* FirstButton(CVMenuBase* w) { return w ? w->FindChild(kWidgetBtn, 0) : nullptr; }

}  // namespace

void CVMenuOmake_BGM::FindWidgets() {
  panel_ = FindChild(kWidgetSprite, 0);
  firstTrack_ = panel_ ? FirstButton(panel_->FindChild(kWidgetWindow, 0)) : nullptr;
  play_ = panel_ ? panel_->FindChild(kWidgetBtn, 1) : nullptr;
  stop_ = play_ ? play_->NextSibling() : nullptr;
  slider_ = panel_ ? static_cast<CVMenuSBar*>(panel_->FindChild(kWidgetSBar, 0)) : nullptr;
  CVMenuBase* pages = panel_ ? panel_->FindChild(kWidgetWindow, 1) : nullptr;
  pageButtons_[0] = FirstButton(pages);
  pageButtons_[1] = pages ? pages->FindChild(kWidgetBtn, 1) : nullptr;
}

CVMenuBase* CVMenuOmake_BGM::TrackButton(int32_t k) const {
  CVMenuBase* b = firstTrack_;
  for (int32_t i = 0; b && i < k; ++i) b = b->NextSibling();
  return b;
}

void CVMenuOmake_BGM::Open(int32_t a, int32_t b, int32_t c) {
  FindWidgets();
  for (CVMenuBase* t = firstTrack_; t; t = t->NextSibling()) Selected(t, false);
  CVMenuSceneRoot::Open(a, b, c);
  OmakePorts& ports = GetOmakePorts();
  volume_ = ports.configuredMusicLevel();
  if (slider_) {
    slider_->SetMax(9);
    slider_->SetValue(volume_);
  }
  auto* owner = dynamic_cast<CVSceneOmake*>(scene);
  TakeTable(owner ? owner->GetBgmTable() : OmakeBgmTable);
  selected_ = -1;
  SetPage(0);
  SetState(kIdle, 1);
}

void CVMenuOmake_BGM::Close() {
  GetOmakePorts().fadeOutMusic();
  // The player's volume lasts only while it is open.
  if (IsShown()) GetOmakePorts().applySoundConfig();
  CVMenuSceneRoot::Close();
}

const char* CVMenuOmake_BGM::GetTrackFile(int32_t i) {
  if (!table_ || i < 0 || i >= static_cast<int32_t>(kOmakeBgmRecords)) return nullptr;
  std::memcpy(field_, table_ + i * kOmakeBgmRecordBytes, kFieldBytes);
  field_[kFieldBytes] = 0;
  return field_[0] ? field_ : nullptr;
}

const char* CVMenuOmake_BGM::GetTrackTitle(int32_t i) {
  if (!table_ || i < 0 || i >= static_cast<int32_t>(kOmakeBgmRecords)) return nullptr;
  std::memcpy(field_, table_ + i * kOmakeBgmRecordBytes + kFieldBytes, kFieldBytes);
  field_[kFieldBytes] = 0;
  return field_[0] ? field_ : nullptr;
}

void CVMenuOmake_BGM::SetButtonTitle(CVMenuBase* button, const char* title) {
  if (!button) return;
  if (auto* text = static_cast<CVMenuText*>(button->FindChild(kWidgetText, 0))) text->SetText(title, true);
}

void CVMenuOmake_BGM::ShowTitles() {
  for (int32_t k = 0; k < kTracksPerPage; ++k) {
    CVMenuBase* b = TrackButton(k);
    if (!b) break;
    const int32_t i = page_ * kTracksPerPage + k;
    // A record without a file cannot play: its button stays hidden like an empty one.
    const bool playable = GetTrackFile(i) != nullptr;
    const char* title = GetTrackTitle(i);
    const bool shown = playable && title;
    if (shown) SetButtonTitle(b, title);
    Show(b, shown);
    // Only the selected record's own button looks selected, not the same place on the other page.
    Selected(b, shown && i == selected_);
  }
}

void CVMenuOmake_BGM::SetPage(int32_t page) {
  if (page < 0 || page > 1) return;
  page_ = page;
  ShowTitles();
  Selected(pageButtons_[0], page == 0);
  Selected(pageButtons_[1], page == 1);
}

int32_t CVMenuOmake_BGM::SetState(int32_t s, int32_t force) {
  if (!CVMenuSceneRoot::SetState(s, force)) return 0;
  OmakePorts& ports = GetOmakePorts();
  switch (s) {
    case kIdle:
      Enabled(play_, false), Selected(play_, false);
      Enabled(stop_, false), Selected(stop_, false);
      break;
    case kPlaying:
      Enabled(play_, true), Selected(play_, true);
      Enabled(stop_, true), Selected(stop_, false);
      if (const char* file = GetTrackFile(selected_)) ports.playMusicUnrecorded(file, 1, 0);
      break;
    case kStopped:
      Enabled(play_, true), Selected(play_, false);
      Enabled(stop_, true), Selected(stop_, true);
      ports.fadeOutMusic();
      break;
    default:
      break;
  }
  return 1;
}

void CVMenuOmake_BGM::Decide(int32_t id) {
  bool changed = false;
  if (id >= kTrackFirst && id < kTrackFirst + kTracksPerPage) {
    const int32_t track = page_ * kTracksPerPage + (id - kTrackFirst);
    if (track != selected_ && GetTrackFile(track)) {
      if (selected_ >= 0 && selected_ / kTracksPerPage == page_)
        Selected(TrackButton(selected_ % kTracksPerPage), false);
      Selected(TrackButton(id - kTrackFirst), true);
      selected_ = track;
      SetState(kPlaying, 1);
      changed = true;
    }
  } else if (id == kPageFirst || id == kPageFirst + 1) {
    SetPage(id - kPageFirst);
  } else if (id == kPlay) {
    if (!IsSelected(play_) && selected_ >= 0) {
      SetState(kPlaying, 1);
      changed = true;
    }
  } else if (id == kStop) {
    if (!IsSelected(stop_)) SetState(kStopped, 1);
  }
  ApplyVolume(changed);
}

void CVMenuOmake_BGM::ApplyVolume(bool changed) {
  if (GetState() == kStopped) return;
  const int32_t value = slider_ ? slider_->value : volume_;
  if (!changed && value == volume_) return;
  GetOmakePorts().setMusicLevel(value);
  volume_ = value;
}

void CVMenuOmake_BGM::Update(int32_t x, int32_t y, uint32_t click) {
  CVMenuSceneRoot::Update(x, y, click);
  if (IsShown()) Decide(decidedId);
}
