#include "screens/scenario/menu_adv.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/app_state.h"
#include "platform/text/log.h"
#include "scenario/script/adv_script.h"
#include "screens/scenario/adv_ports.h"
#include "screens/scenario/scene_adv.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_dlg.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_list.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"
#include "render/effect/shader.h"
#include "render/sprite.h"
#include "ui/widgets/widget_shader.h"

using adv::LayerKind;

namespace {

// Animation numbers the window gives its layers (the layout's own animations stay below 100).
constexpr uint32_t kAnimIn = 0xF001;     // move of a picture coming in or moving
constexpr uint32_t kAnimFade = 0xF002;   // its colour (fade in or out)
constexpr uint32_t kAnimFlare = 0xF010;  // lens flare: in, turn, out
constexpr uint32_t kAnimFlare2 = 0xF011;
constexpr uint32_t kAnimFlare3 = 0xF012;
constexpr uint32_t kAnimZoom = 0xF020;
constexpr uint32_t kAnimFlip = 0xF030;    // card turn: up to six chained keys
constexpr uint32_t kAnimSpriteFirst = 1;  // sprite keys are numbered 1, 2, ... as they are added
// A wipe whose shader has not finished this long after its time (its clock stalled) ends anyway.
constexpr float kTransitionSlackMs = 500.0f;

constexpr int kSettingTextSpeed = 0, kSettingAutoSpeed = 1, kSettingOpacity = 2, kSettingEffects = 3,
              kSettingSkipUnread = 21;

// Lines of the page longer than this many characters wrap to the next line widget.
constexpr size_t kLineChars = 34;
constexpr size_t kLineBytesMax = 518;

void Show(CVMenuBase* w, bool on) {
  if (w) w->SetFlagAll(kWfShown, on);
}

CVMenuText* TextChild(CVMenuBase* w, int i) {
  return w ? dynamic_cast<CVMenuText*>(w->FindChild(kWidgetText, i)) : nullptr;
}

// Animations run only on widgets with the running bit.
void Animate(CVMenuBase* w, uint32_t n) {
  w->SetFlag(kWfAnimRunning, true);
  w->PlayAnime(static_cast<int32_t>(n));
}

// The extension of a file name, lower case ("" when it has none).
std::string LowerExt(const char* file) {
  if (!file) return {};
  const char* dot = std::strrchr(file, '.');
  if (!dot || std::strpbrk(dot, "\\/")) return {};
  std::string e(dot + 1);
  for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return e;
}

bool AnyAnime(const CVMenuBase* w, uint32_t a, uint32_t b) {
  return w && (w->IsAnimePlaying(static_cast<int32_t>(a)) || w->IsAnimePlaying(static_cast<int32_t>(b)));
}

}  // namespace

CVMenuSceneRoot* CreateAdvMenu(int32_t) { return new CVMenuADV(); }

CVMenuADV::CVMenuADV()
    : charDefs_([](const std::string& path, std::vector<uint8_t>& out) {
        return GetAdvPorts().readFile && GetAdvPorts().readFile(path, out);
      }) {
  for (auto& b : lineBuf_) b.reserve(256);
}

CVMenuADV::~CVMenuADV() = default;

bool CVMenuADV::Load(FixedPath name) {
  const bool ok = CVMenuSceneRoot::Load(name);
  FindWidgets();
  return ok;
}

void CVMenuADV::FindWidgets() {
  layerRoot_ = FindChild(kWidgetWindow, 0);
  window_ = FindChild(kWidgetWindow, 1);
  choicePanel_ = FindChild(kWidgetWindow, 2);
  backlogPanel_ = FindChild(kWidgetWindow, 3);
  CVMenuBase* flareGroup = FindChild(kWidgetWindow, 4);
  frame_ = window_ ? dynamic_cast<CVMenuWindow*>(window_->FindChild(kWidgetSprite, 0)) : nullptr;
  namePlate_ = window_ ? window_->FindChild(kWidgetSprite, 1) : nullptr;
  nameText_ = TextChild(namePlate_, 0);
  for (int i = 0; i < kPageLines; ++i) lines_[i] = TextChild(window_, i);
  for (int i = 0; i < kMaxChoices; ++i)
    choiceButtons_[i] = choicePanel_ ? choicePanel_->FindButtonById(kBtnChoice0 + i) : nullptr;
  for (int i = 0; i < kBacklogRows; ++i)
    backlogRows_[i] = backlogPanel_ ? backlogPanel_->FindButtonById(kBtnBacklogRow0 + i) : nullptr;
  backlogBar_ = backlogPanel_ ? dynamic_cast<CVMenuSBar*>(backlogPanel_->FindChild(kWidgetSBar, 0)) : nullptr;
  flare_ = flareGroup ? flareGroup->FindChild(kWidgetSprite, 0) : nullptr;
  struct Need {
    const void* w;
    const char* what;
  };
  const Need needs[] = {{layerRoot_, "layer root"},
                        {window_, "message window"},
                        {frame_, "window frame"},
                        {nameText_, "name text"},
                        {lines_[0], "page text"},
                        {choicePanel_, "choice panel"},
                        {choiceButtons_[0], "choice buttons"},
                        {backlogPanel_, "backlog panel"},
                        {backlogRows_[0], "backlog rows"},
                        {backlogBar_, "backlog scroll bar"},
                        {flare_, "lens flare"}};
  for (const Need& n : needs)
    if (!n.w && !warned_) plat::Log("adv", "message window layout has no %s; that part is left out", n.what);
  warned_ = true;
  Show(choicePanel_, false);
  Show(backlogPanel_, false);
  Show(flare_, false);
  for (CVMenuText* t : lines_)
    if (t) t->SetText("", false);
}

int32_t CVMenuADV::Setting(int index) const {
  const AdvPorts& p = GetAdvPorts();
  return p.setting ? p.setting(index) : 0;
}

bool CVMenuADV::EffectsImmediate() const { return input_.fastForward || Setting(kSettingEffects) == 0; }

// --- message ----------------------------------------------------------------------------------

bool CVMenuADV::SetMessage(int32_t readId, const char* speaker, const std::vector<AdvTextRecord>& records,
                           bool newPage) {
  if (!speaker) return false;
  if (newPage) {
    readId_ = readId;
    reveal_.Clear();
    lineCount_ = 0;
    for (size_t& s : lineShown_) s = 0;
    for (CVMenuText* t : lines_)
      if (t) t->SetText("", false);
    ShowWindow(true);
    speaker_.assign(speaker);
    if (nameText_) nameText_->SetText(speaker, false);
    Show(namePlate_, *speaker != '\0');
    RefreshModeButtons();
    showAll_ = 0;
  }
  for (const AdvTextRecord& r : records) reveal_.Append(r.text);
  if (input_.fastForward) showAll_ = 1;
  SetBit(kWsRevealing, true);
  // Line starts of the whole page: at '\n' and every kLineChars characters, kept off closing
  // punctuation and after opening brackets; the last line widget holds the rest.
  const std::string_view page(reveal_.Text(), reveal_.Bytes());
  const std::vector<size_t> starts = adv::BreakLines(page, kLineChars, kPageLines);
  lineCount_ = static_cast<int>(starts.size());
  for (int l = 0; l < lineCount_; ++l) lineStart_[l] = starts[static_cast<size_t>(l)];
  lineStart_[lineCount_] = page.size();
  UpdateLines();
  return true;
}

void CVMenuADV::UpdateLines() {
  // Each line widget shows the part of its line that the reveal has reached; only the lines whose
  // shown part changed are touched.
  const size_t shown = reveal_.ShownBytes();
  for (int l = 0; l < lineCount_ && l < kPageLines; ++l) {
    size_t from = lineStart_[l];
    size_t to = std::min(lineStart_[l + 1], shown);
    if (to <= from) to = from;
    // A line ends before its '\n'.
    size_t end = to;
    while (end > from && reveal_.Text()[end - 1] == '\n') --end;
    // A text widget holds at most 519 bytes: the last line keeps what fits.
    if (end - from > kLineBytesMax)
      end = from + adv::SjisPrefixBytes(std::string_view(reveal_.Text() + from, end - from),
                                        adv::SjisCharCount(std::string_view(reveal_.Text() + from, kLineBytesMax)) - 1);
    if (end - from == lineShown_[l] && !(end == from && lineShown_[l] == 0)) continue;
    lineShown_[l] = end - from;
    std::vector<char>& b = lineBuf_[l];
    b.assign(reveal_.Text() + from, reveal_.Text() + end);
    b.push_back('\0');
    if (lines_[l]) lines_[l]->SetText(b.data(), false);
  }
}

void CVMenuADV::TalkClear() {
  readId_ = -1;
  showAll_ = 0;
  ShowWindow(true);
  speaker_.clear();
  if (nameText_) nameText_->SetText("", false);
  Show(namePlate_, false);
  reveal_.Clear();
  lineCount_ = 0;
  for (size_t& s : lineShown_) s = 0;
  for (CVMenuText* t : lines_)
    if (t) t->SetText("", false);
  RefreshModeButtons();
  SetBit(kWsRevealing, false);
}

bool CVMenuADV::IsMessageRead() const {
  if (Setting(kSettingSkipUnread) == 1) return true;
  const AdvPorts& p = GetAdvPorts();
  return readId_ >= 0 && p.messageRead && p.messageRead(readId_);
}

float CVMenuADV::CalcAutoWait() const { return adv::AutoWaitMs(Setting(kSettingAutoSpeed), reveal_.Bytes()); }

void CVMenuADV::ApplyWindowAlpha() {
  if (frame_) frame_->SetAlpha(adv::WindowAlpha(Setting(kSettingOpacity)));
}

void CVMenuADV::ShowWindow(bool on) {
  Show(window_, on && !Bit(kWsHidden));
  if (on && advScene) advScene->SetWindowOnFlag(true);
}

void CVMenuADV::GetSpeakerName(char out[21]) const { adv::SjisCopy(out, 21, speaker_); }

void CVMenuADV::RefreshModeButtons() {
  if (!window_ || !advScene) return;
  // Skip and auto show their state: the pressed look while the mode is on.
  struct M {
    int32_t id;
    bool on;
  };
  const M modes[] = {{kBtnSkip, advScene->IsSkip()}, {kBtnAuto, advScene->IsAuto()}};
  for (const M& m : modes)
    if (CVMenuBtn* b = window_->FindButtonById(m.id)) b->SetState(m.on ? kBtnRest : kBtnIdle, 0);
}

// --- choices ----------------------------------------------------------------------------------

bool CVMenuADV::SetChoices(const std::vector<AdvChoice>& choices) {
  if (choices.empty()) return false;
  Show(choicePanel_, true);
  choiceCount_ = static_cast<int32_t>(std::min<size_t>(choices.size(), kMaxChoices));
  for (int i = 0; i < kMaxChoices; ++i) {
    CVMenuBtn* b = choiceButtons_[i];
    if (i < choiceCount_) {
      choiceLabels_[i] = choices[static_cast<size_t>(i)].label;
      Show(b, true);
      if (CVMenuText* t = TextChild(b, 0)) t->SetText(choices[static_cast<size_t>(i)].text.c_str(), false);
    } else {
      choiceLabels_[i] = 0;
      Show(b, false);
    }
  }
  if (choicePanel_) {
    choicePanel_->ClearAnimeQueueTree();
    choicePanel_->SetFlagAll(kWfAnimRunning, true);
    choicePanel_->PlayAnimeTree(1);
    choicePanel_->PlayAnimeTree(adv::ChoiceLayout(choices.size()));
  }
  SetBit(kWsChoice, true);
  chosenLabel_ = 0;
  RefreshModeButtons();
  return true;
}

void CVMenuADV::StepChoice(int32_t hit) {
  if (!Bit(kWsChoice)) return;
  const int32_t i = hit - kBtnChoice0;
  if (i < 0 || i >= choiceCount_) return;
  chosenLabel_ = choiceLabels_[i];
  Show(choicePanel_, false);
  SetBit(kWsChoice, false);
}

// --- per-frame step ---------------------------------------------------------------------------

bool CVMenuADV::PointerOverButton(CVMenuBase* w) const {
  if (!w || !w->TestFlag(kWfShown)) return false;
  if (w->widgetType == kWidgetBtn && w->TestFlag(kWfPointerOver)) return true;
  bool over = false;
  ForEachChild(w, [&](CVMenuBase* c) { over = over || PointerOverButton(c); });
  return over;
}

void CVMenuADV::Update(int32_t x, int32_t y, uint32_t click) {
  const int32_t hit = lastHit_;
  lastHit_ = -1;
  if (input_.moviePlaying) return;
  const bool onlyNext = Bit(kWsOnlyNext);
  if (Bit(kWsBacklog)) {
    StepBacklog(hit);
  } else {
    if (!onlyNext) ActOnButton(hit);
    // Hide toggle: right click or Space, never while skipping.
    if (!onlyNext && (input_.rightClick || input_.space) && !(advScene && advScene->IsSkip()) &&
        (!advScene || advScene->IsWindowOn())) {
      SetBit(kWsHidden, !Bit(kWsHidden));
      Show(window_, !Bit(kWsHidden));
    }
    if (!onlyNext && input_.wheel > 0) {
      OpenBacklog();
    } else {
      StepQuestion();
      StepChoice(hit);
      if (Bit(kWsRevealing)) {
        const bool advance = input_.click || input_.wheel < 0;
        if (input_.skipActive || (advance && (!PointerOverButton(window_) || input_.enter)) || input_.enter)
          showAll_ = 1;
        if (reveal_.Step(input_.dt, Setting(kSettingTextSpeed), showAll_ != 0)) UpdateLines();
        if (reveal_.Complete()) SetBit(kWsRevealing, false);
      }
      StepPictures();
    }
  }
  CVMenuSceneRoot::Update(x, y, click);
  lastHit_ = decidedId;
}

void CVMenuADV::ActOnButton(int32_t id) {
  AdvPorts& p = GetAdvPorts();
  auto ask = [&](int32_t kind, int32_t question) {
    if (p.openDialog && p.openDialog(kind)) pendingQuestion = question;
  };
  switch (id) {
    case kBtnSkip:
      if (advScene) advScene->SetSkip(!advScene->IsSkip());
      break;
    case kBtnAuto:
      if (advScene) advScene->SetAuto(!advScene->IsAuto());
      break;
    case kBtnSkipAhead:
      ask(3, 1);
      break;
    case kBtnBacklog:
      OpenBacklog();
      break;
    case kBtnSave:
    case kBtnLoad:
    case kBtnSettings: {
      const int32_t scene = id == kBtnSave ? 4 : (id == kBtnLoad ? 5 : 6);
      if (!p.pushScreen || !p.pushScreen(scene)) plat::Log("adv", "screen %d is not available", scene);
      break;
    }
    case kBtnQuickSave:
      ask(3, 2);
      break;
    case kBtnQuickLoad:
      ask(3, 3);
      break;
    case kBtnTitle:
      ask(GameMode == game_mode::kEventScript ? 2 : 8, 0);
      break;
    default:
      break;
  }
}

void CVMenuADV::StepQuestion() {
  if (pendingQuestion < 0) return;
  AdvPorts& p = GetAdvPorts();
  const int32_t answer = p.dialogResult ? p.dialogResult() : -1;
  if (answer == -1) return;
  const int32_t q = pendingQuestion;
  pendingQuestion = -1;
  if (answer != 1) return;
  switch (q) {
    case 0: {
      // The question is still closing over the window, so the game mode now is the dialog's:
      // the mode beneath it decides, and the new one is handed over when it closes.
      const int32_t beneath = GameModeBeneathDialog();
      SetGameModeBeneathDialog(beneath == game_mode::kOtherScript ? game_mode::kBackToTitle : game_mode::kIdle);
      break;
    }
    case 1:
      if (advScene) advScene->SetFastForward(true);
      break;
    case 2:
      // As for the title: the game mode now is the question's; the slot keeps the story's.
      if (!p.quickSave || !p.quickSave(GameModeBeneathDialog())) plat::Log("adv", "quick save failed");
      break;
    case 3:
      // The load hands the window state to the scene, which applies it on its next step. A game
      // saved on the strategy map goes back to the strategy scene.
      if (!p.quickLoad || !p.quickLoad()) {
        plat::Log("adv", "quick load failed");
      } else if (GameMode == game_mode::kSlg && p.requestScene) {
        p.requestScene(3, 0);
      }
      break;
    default:
      break;
  }
}

// --- layers -----------------------------------------------------------------------------------

CVMenuADV::LayerSlot* CVMenuADV::FindLayer(LayerKind k, int32_t n) {
  auto it = layers_.find(Key(k, n));
  return it == layers_.end() ? nullptr : &it->second;
}

const CVMenuADV::LayerSlot* CVMenuADV::FindLayer(LayerKind k, int32_t n) const {
  auto it = layers_.find(Key(k, n));
  return it == layers_.end() ? nullptr : &it->second;
}

CVMenuWindow* CVMenuADV::Layer(LayerKind k, int32_t n) const {
  const LayerSlot* l = FindLayer(k, n);
  return l ? l->widget : nullptr;
}

float CVMenuADV::LayerDepth(LayerKind k, int32_t n) const {
  // Larger z draws on top. Pages at the back (the shown one above the hidden one), then picture
  // layers, characters, effect layers and sprites; the message window's own widgets stand at 60
  // and above.
  const float f = static_cast<float>(std::clamp(n, 0, adv::kMaxLayerNumber)) * 0.001f;
  switch (k) {
    case LayerKind::kPage:
      return n == shownPage_ ? 2.0f : 1.0f;
    case LayerKind::kPicture:
      return 0.1f + f;  // within its page
    case LayerKind::kChar:
      return 20.0f + f;
    case LayerKind::kEffect:
      return 40.0f + f;
    case LayerKind::kSprite:
      return 50.0f + f;
  }
  return 10.0f;
}

CVMenuADV::LayerSlot* CVMenuADV::MakeLayer(LayerKind k, int32_t n) {
  if (n < 0 || n > adv::kMaxLayerNumber || !layerRoot_) return nullptr;
  if (k == LayerKind::kPage && n > 1) return nullptr;
  if (LayerSlot* l = FindLayer(k, n)) return l;
  // Picture layers belong to the shown background page: they fade with it and go with it.
  CVMenuBase* parent = layerRoot_;
  int32_t page = -1;
  if (k == LayerKind::kPicture) {
    LayerSlot* shown = ShownPageSlot();
    if (!shown) return nullptr;
    parent = shown->widget;
    page = shown->number;
  }
  SpriteWindowParams p;
  p.pictureName = "";
  p.position = Vector3(0, 0, LayerDepth(k, n));
  p.colour = Color(255, 255, 255, 255);
  CVMenuWindow* w = GetMenuMgr().CreateMenuSpriteWindow(parent, p);
  if (!w) return nullptr;
  if (parent->TestFlag(kWfActive)) w->Open(0, 0, 0);
  LayerSlot l{k, n};
  l.widget = w;
  l.page = page;
  return &layers_.emplace(Key(k, n), l).first->second;
}

CVMenuADV::LayerSlot* CVMenuADV::ShownPageSlot() {
  if (LayerSlot* l = FindLayer(LayerKind::kPage, shownPage_)) return l;
  return MakeLayer(LayerKind::kPage, shownPage_);
}

void CVMenuADV::RemoveLayer(LayerKind k, int32_t n) {
  auto it = layers_.find(Key(k, n));
  if (it == layers_.end()) return;
  if (k == LayerKind::kPage) {
    // The page's picture layers go with it.
    std::vector<int32_t> pictures;
    for (const auto& [key, l] : layers_)
      if (l.kind == LayerKind::kPicture && l.page == n) pictures.push_back(l.number);
    for (int32_t p : pictures) RemoveLayer(LayerKind::kPicture, p);
    it = layers_.find(Key(k, n));
  }
  CVMenuWindow* w = it->second.widget;
  layers_.erase(it);
  if (w) {
    if (w->owner) w->owner->Remove(w);
    w->Close();
    delete w;
  }
}

void CVMenuADV::SetLayerImage(LayerSlot& l, const char* file) {
  l.image = file ? file : "";
  l.widget->LoadImageFile(l.image.c_str(), true);
  l.widget->FitSpriteToTexture();
}

bool CVMenuADV::LoadChar(int32_t slot, const char* name, int32_t position) {
  if (!name || slot < 0 || slot > adv::kMaxLayerNumber) return false;
  std::string why;
  const adv::CharDef* def = charDefs_.Get(name, &why);
  if (!def) {
    char text[256];
    std::snprintf(text, sizeof text, "立ち絵定義ファイルが見つかりません。\n%s", name);
    if (why != "missing") std::snprintf(text, sizeof text, "立ち絵定義ファイルが読めません。\n%s", name);
    AdvPorts& p = GetAdvPorts();
    if (p.errorBox) p.errorBox(text, "CVMenuADV::LoadChar");
    plat::Log("adv", "character definition %s: %s", name, why.c_str());
    return false;
  }
  LayerSlot* l = MakeLayer(LayerKind::kChar, slot);
  if (!l) return false;
  const std::string body = "Data\\char\\" + def->body;
  SetLayerImage(*l, body.c_str());
  l->widget->SetSize(static_cast<float>(def->width), static_cast<float>(def->height));
  if (l->faceWidget) {
    if (l->faceWidget->owner) l->faceWidget->owner->Remove(l->faceWidget);
    delete l->faceWidget;
    l->faceWidget = nullptr;
  }
  l->face.clear();
  if (!def->face.empty()) {
    SpriteWindowParams p;
    l->face = "Data\\char\\" + def->face;
    p.pictureName = l->face.c_str();
    p.position = Vector3(static_cast<float>(def->faceX), static_cast<float>(def->faceY), 0.0005f);
    p.width = static_cast<float>(def->faceW);
    p.height = static_cast<float>(def->faceH);
    p.source = FRect(0, 0, p.width, p.height);
    l->faceWidget = GetMenuMgr().CreateMenuSpriteWindow(l->widget, p);
    if (l->faceWidget && l->widget->TestFlag(kWfActive)) l->faceWidget->Open(0, 0, 0);
    l->faceRect[0] = p.position.x;
    l->faceRect[1] = p.position.y;
    l->faceRect[2] = p.width;
    l->faceRect[3] = p.height;
  }
  float x = 0, y = 0;
  adv::CharPlacement(*def, position, x, y);
  l->widget->SetPosXY(x, y);
  l->hiding = 0;
  // Loaded, not yet shown: #CharIn brings it in.
  Show(l->widget, false);
  currentKind_ = LayerKind::kChar;
  currentNumber_ = slot;
  return true;
}

bool CVMenuADV::ShowChar(int32_t slot, float x0, float y0, float x1, float y1, float timeMs) {
  LayerSlot* l = FindLayer(LayerKind::kChar, slot);
  if (!l) return false;
  CVMenuWindow* w = l->widget;
  Show(w, true);
  l->hiding = 0;
  w->StopAnime(static_cast<int32_t>(kAnimIn));
  w->StopAnime(static_cast<int32_t>(kAnimFade));
  w->ClearAnimeQueue();
  if (EffectsImmediate() || timeMs <= 0.0f) {
    w->SetPosXY(x1, y1);
    w->SetAlpha(255);
    return true;
  }
  w->SetPosXY(x0, y0);
  w->SetAlpha(0);
  w->AddAnimeMove(kAnimIn, x1, y1, w->position.z, timeMs, static_cast<uint16_t>(kAnimFade), 0, 0);
  w->AddAnimeColor(kAnimFade, 255, 255, 255, 255, timeMs, 0, 0, 0);
  Animate(w, kAnimIn);
  SetBit(kWsCharMove, true);
  return true;
}

bool CVMenuADV::HideChar(int32_t slot, float x, float y, float timeMs) {
  LayerSlot* l = FindLayer(LayerKind::kChar, slot);
  if (!l) return false;
  CVMenuWindow* w = l->widget;
  w->ClearAnimeQueue();
  if (EffectsImmediate() || timeMs <= 0.0f) {
    RemoveLayer(LayerKind::kChar, slot);
    return true;
  }
  l->hiding = 1;
  w->AddAnimeMove(kAnimIn, x, y, w->position.z, timeMs, static_cast<uint16_t>(kAnimFade), 0, 0);
  w->AddAnimeColor(kAnimFade, 255, 255, 255, 0, timeMs, 0, 0, 0);
  Animate(w, kAnimIn);
  SetBit(kWsCharMove, true);
  return true;
}

bool CVMenuADV::MoveChar(int32_t slot, float x, float y, float timeMs) {
  LayerSlot* l = FindLayer(LayerKind::kChar, slot);
  if (!l) return false;
  CVMenuWindow* w = l->widget;
  w->ClearAnimeQueue();
  if (EffectsImmediate() || timeMs <= 0.0f) {
    w->SetPosXY(x, y);
    return true;
  }
  w->AddAnimeMove(kAnimIn, x, y, w->position.z, timeMs, 0, 0, 0);
  Animate(w, kAnimIn);
  SetBit(kWsCharMove, true);
  return true;
}

bool CVMenuADV::LoadLayerImage(int32_t layer, const char* file, int32_t) {
  if (!file) return false;
  LayerSlot* l = MakeLayer(LayerKind::kPicture, layer);
  if (!l) return false;
  SetLayerImage(*l, file);
  Show(l->widget, true);
  currentKind_ = LayerKind::kPicture;
  currentNumber_ = layer;
  return true;
}

bool CVMenuADV::SwapBgPage(float timeMs, const char* file) {
  if (!file) return false;
  const int32_t hidden = 1 - shownPage_;
  // A swap or turn still running ends first.
  FinishPageTurn();
  if (Bit(kWsPageSwap) || Bit(kWsPageSwap2)) {
    if (CVMenuWindow* h = Layer(LayerKind::kPage, hidden)) {
      h->FinishAnime();
    }
    StepPictures();
  }
  LayerSlot* l = MakeLayer(LayerKind::kPage, 1 - shownPage_);
  if (!l) return false;
  SetLayerImage(*l, file);
  CVMenuWindow* w = l->widget;
  Show(w, true);
  w->ClearAnimeQueue();
  // The incoming page draws above the shown one while it fades in.
  w->SetPosXYZ(0, 0, 3.0f);
  if (EffectsImmediate() || timeMs <= 0.0f) {
    w->SetAlpha(255);
    SetBit(kWsPageSwap, true);
    SetBit(kWsPageSwap2, true);
    StepPictures();
    return true;
  }
  w->SetAlpha(0);
  w->AddAnimeColor(kAnimFade, 255, 255, 255, 255, timeMs, 0, 0, 0);
  Animate(w, kAnimFade);
  SetBit(kWsPageSwap, true);
  SetBit(kWsPageSwap2, true);
  return true;
}

void CVMenuADV::ChainPageTurn(CVMenuWindow* page, const float from[3], bool in) {
  // A quarter turn about each axis whose time is not 0, x, then y, then z, each over its time x
  // 0.5: turning away adds 90 degrees about the axis, turning in takes it back.
  float at[3] = {from[0], from[1], from[2]};
  page->SetRotX(at[0]);
  page->SetRotY(at[1]);
  page->SetRotZ(at[2]);
  page->ClearAnimeQueue();
  uint32_t n = kAnimFlip, first = 0, last = 0;
  for (int axis = 0; axis < 3; ++axis) {
    const float t = flipRot_[axis] * 0.5f;
    if (!(t > 0.0f)) continue;
    at[axis] = in ? 0.0f : 90.0f;
    page->AddAnimeRot(n, at[0], at[1], at[2], t, 0, 0, 0);
    if (last) page->animeKeys[last].next = static_cast<uint16_t>(n);
    if (!first) first = n;
    last = n++;
  }
  if (first) Animate(page, first);
}

void CVMenuADV::FinishPageTurn() {
  if (!flipHalf_) return;
  flipHalf_ = 0;
  const int32_t incoming = 1 - shownPage_;
  RemoveLayer(LayerKind::kPage, shownPage_);
  shownPage_ = incoming;
  if (LayerSlot* l = ShownPageSlot()) {
    CVMenuWindow* w = l->widget;
    w->ClearAnimeQueue();
    w->SetRotX(0);
    w->SetRotY(0);
    w->SetRotZ(0);
    w->SetAlpha(255);
    Show(w, true);
    w->SetPosXYZ(0, 0, LayerDepth(LayerKind::kPage, shownPage_));
  }
  SetBit(kWsPageSwap, false);
  SetBit(kWsPageSwap2, false);
}

bool CVMenuADV::SwapBgPageRot(float a, float b, float c) {
  // A swap or turn still running ends first.
  if (flipHalf_) {
    FinishPageTurn();
  } else if (Bit(kWsPageSwap) || Bit(kWsPageSwap2)) {
    if (CVMenuWindow* h = Layer(LayerKind::kPage, 1 - shownPage_)) h->FinishAnime();
    StepPictures();
  }
  LayerSlot* shown = ShownPageSlot();
  if (!shown) return false;
  flipRot_[0] = std::isfinite(a) ? a : 0.0f;
  flipRot_[1] = std::isfinite(b) ? b : 0.0f;
  flipRot_[2] = std::isfinite(c) ? c : 0.0f;
  flipHalf_ = 1;
  SetBit(kWsPageSwap, true);
  if (EffectsImmediate() || !(flipRot_[0] > 0.0f || flipRot_[1] > 0.0f || flipRot_[2] > 0.0f)) {
    // At once: the shown page and its pictures go, the other page is the shown one.
    FinishPageTurn();
    return true;
  }
  // The shown page turns away as a card; the step turns the other page in when it has.
  const float flat[3] = {0, 0, 0};
  ChainPageTurn(shown->widget, flat, false);
  return true;
}

bool CVMenuADV::LoadEffectLayer(int32_t layer, const char* file) {
  if (!file) return false;
  LayerSlot* l = MakeLayer(LayerKind::kEffect, layer);
  if (!l) return false;
  // A new picture ends the layer's running transition: it is loaded hidden, for the next one.
  if (l->transition != TransitionKind::kNone) EndTransition(*l);
  SetLayerImage(*l, file);
  Show(l->widget, false);
  currentKind_ = LayerKind::kEffect;
  currentNumber_ = layer;
  return true;
}

CVMenuADV::TransitionKind CVMenuADV::LayerTransition(int32_t layer) const {
  const LayerSlot* l = FindLayer(LayerKind::kEffect, layer);
  return l ? l->transition : TransitionKind::kNone;
}

void CVMenuADV::EndTransition(LayerSlot& l) {
  CVMenuWindow* w = l.widget;
  if (l.shaderKey >= 0) w->RemoveShader(l.shaderKey);
  l.shaderKey = -1;
  w->StopAnime(static_cast<int32_t>(kAnimFade));
  w->ClearAnimeQueue();
  const bool out = l.hiding == 2;
  w->SetAlpha(out ? 0.0f : 255.0f);
  Show(w, !out);
  l.hiding = 0;
  l.transition = TransitionKind::kNone;
  l.transitionLeft = 0.0f;
}

bool CVMenuADV::SetLayerTransition(int32_t layer, float timeMs, const char* pattern, bool in) {
  LayerSlot* l = FindLayer(LayerKind::kEffect, layer);
  if (!l) return false;
  CVMenuWindow* w = l->widget;
  // A transition still running on the layer is replaced by the new one.
  if (l->transition != TransitionKind::kNone) EndTransition(*l);
  Show(w, true);
  l->hiding = in ? 0 : 2;
  if (EffectsImmediate() || timeMs <= 0.0f) {
    EndTransition(*l);
    return true;
  }
  const std::string ext = LowerExt(pattern);
  WidgetShader* shader = nullptr;
  TransitionKind kind = TransitionKind::kFade;
  if (ext == "tig" || ext == "tds" || ext == "png") {
    // "in" runs the wipe forwards (nothing to everything), "out" backwards.
    auto* wipe = new CVShaderTransition(pattern, timeMs, !in);
    if (wipe->HasPattern()) {
      shader = new RenderWidgetShader(-1, wipe);
      kind = TransitionKind::kPattern;
    } else {
      plat::Log("adv", "transition pattern %s could not be loaded; the layer fades", pattern);
      delete wipe;
    }
  } else if (ext == "mpg" || ext == "mdm") {
    auto* movie = new CVShaderMovieTransition(pattern);
    if (movie->HasMovie()) {
      shader = new RenderWidgetShader(-1, movie);
      kind = TransitionKind::kMovie;
    } else {
      plat::Log("adv", "transition movie %s could not be played; the layer fades", pattern);
      delete movie;
    }
  }
  w->ClearAnimeQueue();
  l->transition = kind;
  l->transitionLeft = timeMs;
  if (shader) {
    w->SetAlpha(255.0f);
    l->shaderKey = w->AddShader(shader, false, 0);
  } else {
    w->SetAlpha(in ? 0.0f : 255.0f);
    w->AddAnimeColor(kAnimFade, 255, 255, 255, in ? 255.0f : 0.0f, timeMs, 0, 0, 0);
    Animate(w, kAnimFade);
  }
  SetBit(kWsTransition, true);
  return true;
}

bool CVMenuADV::SetSprite(int32_t id) {
  LayerSlot* l = MakeLayer(LayerKind::kSprite, id);
  if (!l) return false;
  Show(l->widget, true);
  currentKind_ = LayerKind::kSprite;
  currentNumber_ = id;
  return true;
}

bool CVMenuADV::HasCurrentSprite() const {
  return currentKind_ == LayerKind::kSprite && FindLayer(LayerKind::kSprite, currentNumber_) != nullptr;
}

bool CVMenuADV::SetSpriteImage(const char* file) {
  if (!file || !HasCurrentSprite()) return false;
  LayerSlot* l = FindLayer(LayerKind::kSprite, currentNumber_);
  SetLayerImage(*l, file);
  return true;
}

bool CVMenuADV::SetSpriteWaitCheck(bool on) {
  if (!HasCurrentSprite()) return false;
  FindLayer(LayerKind::kSprite, currentNumber_)->waitCheck = on ? 1 : 0;
  return true;
}

bool CVMenuADV::SetSpriteAddBlend(bool on) {
  if (!HasCurrentSprite()) return false;
  LayerSlot* l = FindLayer(LayerKind::kSprite, currentNumber_);
  l->addBlend = on ? 1 : 0;
  l->widget->SetFlag(kWfAdditive, on);  // the sprite's additive blending
  return true;
}

bool CVMenuADV::TweenSprite(int32_t id, uint16_t kind, const float v[4], float timeMs, int32_t flag) {
  if (kind > kAnimeWait || !v) return false;
  LayerSlot* l = FindLayer(LayerKind::kSprite, id);
  if (!l) return false;
  CVMenuWindow* w = l->widget;
  const uint32_t n = l->nextKey + 1;
  if (n >= kAnimIn) return false;
  AnimeKey key;
  key.kind = kind;
  for (int i = 0; i < 4; ++i) key.p[i] = v[i];
  if (kind == kAnimeMove) key.p[2] = w->position.z;
  key.duration = timeMs;
  w->AddAnimeKey(n, key);
  // Chained to the previous key: started with it (flag 1) or after it (otherwise).
  if (l->nextKey >= kAnimSpriteFirst && w->animeKeys.count(l->nextKey)) {
    if (flag == 1) {
      uint32_t at = l->nextKey;
      while (w->animeKeys.count(at) && w->animeKeys[at].with != 0) at = w->animeKeys[at].with;
      w->animeKeys[at].with = static_cast<uint16_t>(n);
    } else {
      // After the previous key and everything started with it: the end of its "next" chain.
      uint32_t at = l->nextKey;
      w->animeKeys[at].next = static_cast<uint16_t>(n);
    }
  }
  l->nextKey = n;
  return true;
}

bool CVMenuADV::SpriteParts(int32_t id, int32_t first, float timeMs, int32_t last, int32_t flag) {
  LayerSlot* l = FindLayer(LayerKind::kSprite, id);
  if (!l || first < 0 || last < 0) return false;
  const float v[4] = {static_cast<float>(first), static_cast<float>(last), 0, 0};
  if (!TweenSprite(id, kAnimePattern, v, timeMs, flag)) return false;
  // A pattern key runs from the widget's state to its last cell.
  l->widget->animeKeys[l->nextKey].p[0] = static_cast<float>(last);
  l->widget->SetState(first, 0);
  return true;
}

bool CVMenuADV::SpriteCut(int32_t id, int32_t cell, float w, float h) {
  LayerSlot* l = FindLayer(LayerKind::kSprite, id);
  if (!l || !(w > 0.0f) || !(h > 0.0f) || cell < 0) return false;
  CVSprite* sp = l->widget->GetSprite();
  if (!sp) return false;
  l->widget->SetSize(w, h);
  sp->SetWidth(w);
  sp->SetHeight(h);
  sp->SetCellWidth(w);
  sp->SetCellHeight(h);
  l->widget->SetState(cell, 1);
  return true;
}

bool CVMenuADV::StartSpriteAnime(int32_t id) {
  LayerSlot* l = FindLayer(LayerKind::kSprite, id);
  if (!l || l->nextKey == 0) return false;
  Animate(l->widget, kAnimSpriteFirst);
  if (EffectsImmediate()) l->widget->FinishAnime();
  return true;
}

bool CVMenuADV::RemoveSprite(int32_t id) {
  if (!FindLayer(LayerKind::kSprite, id)) return false;
  RemoveLayer(LayerKind::kSprite, id);
  if (currentKind_ == LayerKind::kSprite && currentNumber_ == id) currentNumber_ = -1;
  return true;
}

bool CVMenuADV::ClearSpriteAnime(int32_t id) {
  LayerSlot* l = FindLayer(LayerKind::kSprite, id);
  if (!l) return false;
  l->widget->ClearAnimeQueue();
  l->widget->animeKeys.clear();
  l->nextKey = 0;
  return true;
}

bool CVMenuADV::IsSpriteAnimating() const {
  for (const auto& [k, l] : layers_)
    if (l.kind == LayerKind::kSprite && l.waitCheck && l.widget->IsAnimeQueued()) return true;
  return false;
}

bool CVMenuADV::LensFlare(float x, float y, float inMs, float turnMs, float outMs) {
  if (!flare_) return false;
  if (EffectsImmediate()) return true;
  flare_->SetPosXY(x - 496.0f, y - 342.0f);
  flare_->SetScale(2.0f, 2.0f, 1.0f);
  flare_->SetAlpha(0);
  flare_->SetRotZ(0.0f);
  flare_->ClearAnimeQueue();
  flare_->AddAnimeColor(kAnimFlare, 255, 255, 255, 255, std::max(inMs, 0.0f), static_cast<uint16_t>(kAnimFlare2),
                        static_cast<uint16_t>(kAnimFlare3), 0);
  flare_->AddAnimeRot(kAnimFlare2, 0, 0, 30, std::max(inMs + turnMs + outMs, 0.0f), 0, 0, 0);
  flare_->AddAnimeColor(kAnimFlare3, 255, 255, 255, 0, std::max(outMs, 0.0f), 0, 0, 0);
  // The turn runs through the whole flare; the fade-out starts once the fade-in and the hold end.
  flare_->animeKeys[kAnimFlare].next = 0;
  flare_->AddAnimeWait(kAnimFlare + 0x100, std::max(inMs + turnMs, 0.0f), 0, static_cast<uint16_t>(kAnimFlare3), 0);
  flare_->animeKeys[kAnimFlare].with = static_cast<uint16_t>(kAnimFlare2);
  flare_->animeKeys[kAnimFlare2].with = static_cast<uint16_t>(kAnimFlare + 0x100);
  Show(flare_, true);
  Animate(flare_, kAnimFlare);
  SetBit(kWsFlare, true);
  return true;
}

bool CVMenuADV::Zoom(float scale, float cx, float cy, float timeMs) {
  if (!layerRoot_ || !(scale > 0.0f) || !std::isfinite(scale)) return false;
  zoomScale_ = scale;
  layerRoot_->SetScaleBase(cx, cy);
  layerRoot_->ClearAnimeQueue();
  if (EffectsImmediate() || timeMs <= 0.0f) {
    layerRoot_->SetScale(scale, scale, 1.0f);
    return true;
  }
  layerRoot_->AddAnimeScale(kAnimZoom, scale, scale, 1.0f, timeMs, 0, 0, 0);
  Animate(layerRoot_, kAnimZoom);
  SetBit(kWsZoom, true);
  return true;
}

void CVMenuADV::StepPictures() {
  // Characters: a move or fade ends the wait bit; a hidden picture goes when its fade has ended.
  bool charMoving = false, transition = false;
  std::vector<std::pair<LayerKind, int32_t>> gone;
  for (auto& [key, l] : layers_) {
    const bool running = AnyAnime(l.widget, kAnimIn, kAnimFade);
    if (l.kind == LayerKind::kChar) {
      if (running)
        charMoving = true;
      else if (l.hiding)
        gone.emplace_back(l.kind, l.number);
    } else if (l.kind == LayerKind::kEffect && l.transition != TransitionKind::kNone) {
      l.transitionLeft -= input_.dt;
      bool done = !running;
      if (l.shaderKey >= 0) {
        // The shader says when it has run; one that cannot draw (no effect, no picture) and a
        // wipe whose clock does not advance end on the window's own clock.
        const auto it = l.widget->Shaders().find(l.shaderKey);
        const auto* rs =
            it != l.widget->Shaders().end() ? dynamic_cast<RenderWidgetShader*>(it->second.get()) : nullptr;
        const CVShader* sh = rs ? rs->Shader() : nullptr;
        done = !sh || !sh->IsActive() || !sh->GetEffect() || !l.widget->GetTextureHandle() ||
               (l.transition == TransitionKind::kPattern && l.transitionLeft <= -kTransitionSlackMs);
      }
      if (done)
        EndTransition(l);
      else
        transition = true;
    }
  }
  for (const auto& g : gone) RemoveLayer(g.first, g.second);
  SetBit(kWsCharMove, charMoving);
  SetBit(kWsTransition, transition);
  // Page turn: when the shown page has turned away the other page turns in above it; when it has
  // turned in it becomes the shown one and the old page goes with its pictures.
  if (flipHalf_ == 1) {
    CVMenuWindow* card = Layer(LayerKind::kPage, shownPage_);
    if (!card || !card->IsAnimeQueued()) {
      const int32_t incoming = 1 - shownPage_;
      LayerSlot* in = MakeLayer(LayerKind::kPage, incoming);
      if (!in) {
        FinishPageTurn();
      } else {
        if (card) Show(card, false);
        CVMenuWindow* w = in->widget;
        Show(w, true);
        w->SetAlpha(255);
        w->SetPosXYZ(0, 0, 3.0f);
        const float turned[3] = {flipRot_[0] > 0.0f ? 90.0f : 0.0f, flipRot_[1] > 0.0f ? 90.0f : 0.0f,
                                 flipRot_[2] > 0.0f ? 90.0f : 0.0f};
        ChainPageTurn(w, turned, true);
        flipHalf_ = 2;
        SetBit(kWsPageSwap2, true);
      }
    }
  } else if (flipHalf_ == 2) {
    CVMenuWindow* in = Layer(LayerKind::kPage, 1 - shownPage_);
    if (!in || !in->IsAnimeQueued()) FinishPageTurn();
  }
  if ((Bit(kWsPageSwap) || Bit(kWsPageSwap2)) && !flipHalf_) {
    const int32_t incoming = 1 - shownPage_;
    CVMenuWindow* in = Layer(LayerKind::kPage, incoming);
    if (!in || !AnyAnime(in, kAnimFade, kAnimFade)) {
      RemoveLayer(LayerKind::kPage, shownPage_);
      shownPage_ = incoming;
      if (CVMenuWindow* w = Layer(LayerKind::kPage, shownPage_)) w->SetPosZ(LayerDepth(LayerKind::kPage, shownPage_));
      SetBit(kWsPageSwap, false);
      SetBit(kWsPageSwap2, false);
    }
  }
  if (Bit(kWsZoom) && layerRoot_ && !layerRoot_->IsAnimePlaying(static_cast<int32_t>(kAnimZoom)))
    SetBit(kWsZoom, false);
  if (Bit(kWsFlare) && flare_ && !flare_->IsAnimeQueued()) {
    Show(flare_, false);
    SetBit(kWsFlare, false);
  }
}

void CVMenuADV::ReloadLayerImages() {
  for (auto& [key, l] : layers_) {
    const Vector3 pos = l.widget->position;
    const Color c = l.widget->colour;
    const float alpha = l.widget->alpha;
    const Vector3 size = l.widget->size;
    l.widget->LoadImageFile(l.image.c_str(), true);
    l.widget->SetPosXYZ(pos.x, pos.y, pos.z);
    l.widget->SetColour(c);
    l.widget->SetAlpha(alpha);
    l.widget->SetSize(size.x, size.y);
    if (l.faceWidget) l.faceWidget->LoadImageFile(l.face.c_str(), true);
  }
}

void CVMenuADV::ResetPictures() {
  while (!layers_.empty()) {
    const auto& l = layers_.begin()->second;
    RemoveLayer(l.kind, l.number);
  }
  shownPage_ = 0;
  flipHalf_ = 0;
  currentKind_ = LayerKind::kPicture;
  currentNumber_ = -1;
  if (layerRoot_) {
    layerRoot_->ClearAnimeQueue();
    layerRoot_->SetScale(1, 1, 1);
  }
  zoomScale_ = 1.0f;
  if (flare_) {
    flare_->ClearAnimeQueue();
    Show(flare_, false);
  }
  for (int b : {kWsPageSwap, kWsPageSwap2, kWsCharMove, kWsTransition, kWsZoom, kWsFlare}) SetBit(b, false);
}

void CVMenuADV::HideSubScreens() {
  Show(choicePanel_, false);
  SetBit(kWsChoice, false);
  if (Bit(kWsBacklog)) CloseBacklog();
}

void CVMenuADV::OnMovieStart() {
  TalkClear();
  ResetPictures();
  HideSubScreens();
  Show(window_, false);
}

void CVMenuADV::StopWindow() {
  if (Bit(kWsBacklog)) CloseBacklog();
  pendingQuestion = -1;
}

// --- backlog ----------------------------------------------------------------------------------

void CVMenuADV::OpenBacklog() {
  if (!backlogPanel_ || Bit(kWsBacklog)) return;
  AdvScript& s = advScene ? advScene->Script() : GetAdvScript();
  const int32_t count = static_cast<int32_t>(s.GetBacklogCount());
  // The newest four rows in view; with fewer than four entries the range is 0.
  const int32_t range = std::max(count - kBacklogRows, 0);
  backlogTop_ = range;
  if (backlogBar_) {
    backlogBar_->SetMax(range);
    backlogBar_->SetValue(range);
  }
  savedDepthBound_ = GetMenuMgr().GetDepthBound();
  Show(backlogPanel_, true);
  backlogPanel_->SetFlagAll(kWfAnimRunning, true);
  backlogPanel_->PlayAnimeTree(1);
  // The panel takes the pointer: widgets below its depth ignore it while it is open.
  GetMenuMgr().SetDepthBound(static_cast<int32_t>(backlogPanel_->position.z));
  SetBit(kWsBacklog, true);
  Show(window_, false);
  FillBacklogRows();
}

void CVMenuADV::CloseBacklog() {
  if (!Bit(kWsBacklog)) return;
  if (backlogPanel_) {
    backlogPanel_->ClearAnimeQueueTree();
    Show(backlogPanel_, false);
  }
  ShowWindow(true);
  GetMenuMgr().SetDepthBound(savedDepthBound_);
  SetBit(kWsBacklog, false);
}

void CVMenuADV::FillBacklogRows() {
  AdvScript& s = advScene ? advScene->Script() : GetAdvScript();
  const int32_t count = static_cast<int32_t>(s.GetBacklogCount());
  // The bar's value v counts from the oldest entry: row r (top first) shows entry count-1-(v+r),
  // so at the bar's end the bottom row is the newest entry (0).
  for (int r = 0; r < kBacklogRows; ++r) {
    CVMenuBtn* b = backlogRows_[r];
    if (!b) continue;
    const int32_t index = count - 1 - (backlogTop_ + r);  // entry 0 is the newest
    const AdvBacklogEntry* e = index >= 0 && index < count ? s.GetBacklogEntry(index) : nullptr;
    Show(b, e != nullptr);
    if (!e) continue;
    if (CVMenuText* t = TextChild(b, 0)) t->SetText(e->speaker, false);
    if (CVMenuText* t = TextChild(b, 1)) {
      // The page wrapped to the row's text area: full-width characters of the text's size, one
      // kept free for closing punctuation; as many lines as its height holds.
      const float font = static_cast<float>(std::max(t->fontSize, 1));
      const size_t chars = static_cast<size_t>(std::max(t->size.x / font - 1.0f, 1.0f));
      const size_t lines = static_cast<size_t>(std::max(t->size.y / font, 1.0f));
      t->SetText(adv::WrapText(e->text, chars, lines).c_str(), false);
    }
  }
}

void CVMenuADV::StepBacklog(int32_t hit) {
  AdvScript& s = advScene ? advScene->Script() : GetAdvScript();
  const int32_t count = static_cast<int32_t>(s.GetBacklogCount());
  const int32_t range = std::max(count - kBacklogRows, 0);
  int32_t top = backlogBar_ ? std::clamp(backlogBar_->value, 0, range) : backlogTop_;
  // The wheel scrolls when the bar does not take it itself.
  if (!backlogBar_ && input_.wheel != 0) top = std::clamp(top + (input_.wheel > 0 ? -1 : 1), 0, range);
  if (top != backlogTop_) {
    backlogTop_ = top;
    FillBacklogRows();
  }
  if (hit == kBtnBacklogClose || input_.rightClick) {
    CloseBacklog();
    return;
  }
  // Turning the wheel towards the player at the newest rows closes the backlog.
  if (input_.wheel < 0 && backlogTop_ == range && !backlogBar_) {
    CloseBacklog();
    return;
  }
  const int32_t row = hit - kBtnBacklogRow0;
  if (row >= 0 && row < kBacklogRows) {
    const int32_t index = count - 1 - (backlogTop_ + row);
    if (const AdvBacklogEntry* e = s.GetBacklogEntry(index)) {
      AdvPorts& p = GetAdvPorts();
      if (p.replayVoice && e->voiceName[0]) p.replayVoice(e->voiceName, e->voiceNumber, e->voiceParam);
    }
  }
}

// --- saved state ------------------------------------------------------------------------------

std::vector<uint8_t> CVMenuADV::SaveState() const {
  adv::WindowStateData s;
  s.shownPage = static_cast<uint8_t>(shownPage_);
  s.currentKind = currentKind_;
  s.currentNumber = currentNumber_;
  for (const auto& [key, l] : layers_) {
    // A picture on its way out is not part of what the player sees next.
    if (l.kind == LayerKind::kChar && l.hiding) continue;
    adv::LayerRecord r;
    r.kind = l.kind;
    r.number = l.number;
    r.image = l.image;
    r.face = l.face;
    std::copy(std::begin(l.faceRect), std::end(l.faceRect), r.faceRect);
    const CVMenuWindow* w = l.widget;
    r.position[0] = w->position.x;
    r.position[1] = w->position.y;
    r.position[2] = w->position.z;
    r.scale[0] = w->scale.x;
    r.scale[1] = w->scale.y;
    r.scale[2] = w->scale.z;
    r.rotation[0] = w->rotation.x;
    r.rotation[1] = w->rotation.y;
    r.rotation[2] = w->rotation.z;
    r.colour[0] = std::clamp(w->colour.r, 0.0f, 255.0f);
    r.colour[1] = std::clamp(w->colour.g, 0.0f, 255.0f);
    r.colour[2] = std::clamp(w->colour.b, 0.0f, 255.0f);
    r.colour[3] = std::clamp(w->colour.a, 0.0f, 255.0f);
    r.alpha = std::clamp(w->alpha, 0.0f, 255.0f);
    r.size[0] = std::clamp(w->size.x, 0.0f, 65536.0f);
    r.size[1] = std::clamp(w->size.y, 0.0f, 65536.0f);
    // An effect layer on its way out is saved as gone: a load does not run its transition again.
    r.visible = w->TestFlag(kWfShown) && !(l.kind == LayerKind::kEffect && l.hiding == 2) ? 1 : 0;
    r.addBlend = l.addBlend;
    r.waitCheck = l.waitCheck;
    for (const auto& [n, k] : w->animeKeys) {
      if (r.keys.size() >= adv::kMaxKeys) break;
      r.keys.emplace_back(n, k);
    }
    for (const AnimeRequest& q : w->animeQueue) {
      if (r.queue.size() >= adv::kMaxQueue) break;
      r.queue.push_back(q);
    }
    s.layers.push_back(std::move(r));
  }
  return adv::EncodeWindowState(s);
}

bool CVMenuADV::LoadState(const uint8_t* data, size_t size) {
  adv::WindowStateData s;
  std::string why;
  if (!adv::DecodeWindowState(data, size, s, &why)) {
    plat::Log("adv", "saved window state refused: %s", why.c_str());
    return false;
  }
  ResetPictures();
  TalkClear();
  HideSubScreens();
  shownPage_ = s.shownPage;
  for (const adv::LayerRecord& r : s.layers) {
    LayerSlot* l = MakeLayer(r.kind, r.number);
    if (!l) continue;
    SetLayerImage(*l, r.image.c_str());
    CVMenuWindow* w = l->widget;
    if (!r.face.empty()) {
      SpriteWindowParams p;
      l->face = r.face;
      p.pictureName = l->face.c_str();
      p.position = Vector3(r.faceRect[0], r.faceRect[1], 0.0005f);
      p.width = r.faceRect[2];
      p.height = r.faceRect[3];
      p.source = FRect(0, 0, p.width, p.height);
      l->faceWidget = GetMenuMgr().CreateMenuSpriteWindow(w, p);
      if (l->faceWidget && w->TestFlag(kWfActive)) l->faceWidget->Open(0, 0, 0);
      std::copy(std::begin(r.faceRect), std::end(r.faceRect), l->faceRect);
    }
    w->SetPosXYZ(r.position[0], r.position[1], r.position[2]);
    w->SetScale(r.scale[0], r.scale[1], r.scale[2]);
    w->SetRotX(r.rotation[0]);
    w->SetRotY(r.rotation[1]);
    w->SetRotZ(r.rotation[2]);
    w->SetColour(Color(r.colour[0], r.colour[1], r.colour[2], r.colour[3]));
    w->SetAlpha(r.alpha);
    w->SetSize(r.size[0], r.size[1]);
    Show(w, r.visible != 0);
    l->addBlend = r.addBlend;
    l->waitCheck = r.waitCheck;
    w->SetFlag(kWfAdditive, r.addBlend != 0);
    std::map<uint32_t, AnimeKey> keys(r.keys.begin(), r.keys.end());
    w->CopyAnimeData(keys, r.queue);
    l->nextKey = keys.empty() ? 0 : keys.rbegin()->first;
    if (l->nextKey >= kAnimIn) l->nextKey = 0;
  }
  currentKind_ = s.currentKind;
  currentNumber_ = FindLayer(s.currentKind, s.currentNumber) ? s.currentNumber : -1;
  return true;
}
