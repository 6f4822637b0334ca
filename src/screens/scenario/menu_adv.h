// CVMenuADV (menu type 20): the message window of the scenario scene and the picture layers
// beneath it. It shows the speaker's name plate and the page text, revealed character by character
// at the settings' speed; the ten window buttons; the choice panel; the backlog panel; and the
// layers for standing pictures, the two background pages, picture and effect layers, sprites, the
// zoom and the lens flare. Every running effect sets a bit of windowState that the interpreter's
// waits read.
//
// Widget contract (docs/layouts.md, "Scenario"): children of the menu in layout order:
//   Group#0 layer root (layers are made under it at run time)
//   Group#1 message window: Window#0 frame, Window#1 name plate (its Text#0 the name),
//           Btn#0..9 ids 10000..10009, Text#0..3 the page's lines
//   Group#2 choice panel: Btn#0..3 ids 10100..10103 (each with Text#0); animations 2, 3, 4 of
//           the panel's tree place the buttons for 2, 3 and 4 choices
//   Group#3 backlog panel: Btn#0 close (10200), Btn#1..4 rows 10210..10213 (Text#0 speaker,
//           Text#1 text), SBar#0 the scroll bar
//   Group#4 lens flare: Window#0 the flare picture
// A missing part disables what it is for (logged once); the window never stops the story.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "scenario/adv_presenter.h"
#include "screens/scenario/adv_rules.h"
#include "screens/scenario/adv_window_state.h"
#include "screens/scenario/char_def.h"
#include "ui/menus/menu_root.h"

class CVMenuWindow;
class CVMenuText;
class CVMenuBtn;
class CVMenuSBar;
class CVSceneADV;

// One text record of a message as #TalkStart reads it.
using AdvTextRecord = v4fmt::ScriptTextRecord;

// What the scene hands the window each step.
struct AdvStepInput {
  bool click = false;  // left click outside every widget
  bool rightClick = false;
  bool enter = false;
  bool space = false;
  int32_t wheel = 0;        // > 0 away from the player
  bool skipActive = false;  // the scene skips this frame
  bool fastForward = false;
  bool moviePlaying = false;
  float dt = 0.0f;  // scaled milliseconds of this step
};

class CVMenuADV : public CVMenuSceneRoot {
 public:
  enum : int {
    kWsRevealing = 0,
    kWsPageSwap = 1,
    kWsPageSwap2 = 2,
    kWsCharMove = 3,
    kWsTransition = 4,
    kWsChoice = 5,
    kWsZoom = 6,
    kWsBacklog = 7,
    kWsHidden = 8,
    kWsFlare = 9,
    kWsOnlyNext = 10,
  };
  static constexpr int32_t kBtnSkip = 10000, kBtnAuto = 10001, kBtnSkipAhead = 10002, kBtnBacklog = 10003,
                           kBtnSave = 10004, kBtnLoad = 10005, kBtnQuickSave = 10006, kBtnQuickLoad = 10007,
                           kBtnSettings = 10008, kBtnTitle = 10009;
  static constexpr int32_t kBtnChoice0 = 10100;
  static constexpr int32_t kBtnBacklogClose = 10200, kBtnBacklogRow0 = 10210;
  static constexpr int kPageLines = 4;
  static constexpr int kBacklogRows = 4;
  static constexpr int kMaxChoices = 4;

  CVMenuADV();
  ~CVMenuADV() override;

  bool Load(FixedPath name) override;
  void Update(int32_t x, int32_t y, uint32_t click) override;
  // Finds the contract's widgets (after the layout was built; tests call it on hand-built trees).
  void FindWidgets();

  void SetScene(CVSceneADV* s) { advScene = s; }
  void SetStepInput(const AdvStepInput& in) { input_ = in; }

  // --- message ---
  bool SetMessage(int32_t readId, const char* speaker, const std::vector<AdvTextRecord>& records, bool newPage);
  void TalkClear();
  bool IsMessageRead() const;
  bool IsMessageBusy() const { return Bit(kWsRevealing); }
  // The shown page completes on the next update, as a click makes it.
  void RevealAll() { showAll_ = 1; }
  float CalcAutoWait() const;
  void ApplyWindowAlpha();
  void ShowWindow(bool on);
  // The shown message's speaker, cut to 20 bytes at a character boundary.
  void GetSpeakerName(char out[21]) const;
  const char* PageText() const { return reveal_.Text(); }
  const adv::PageReveal& Reveal() const { return reveal_; }
  int32_t ReadId() const { return readId_; }
  void RefreshModeButtons();
  void SetOnlyNextCommand(bool on) { SetBit(kWsOnlyNext, on); }

  // --- choices ---
  bool SetChoices(const std::vector<AdvChoice>& choices);
  int32_t GetChosenLabel() const { return chosenLabel_; }
  int32_t ChoiceCount() const { return choiceCount_; }

  // --- pictures ---
  bool LoadChar(int32_t slot, const char* name, int32_t position);
  bool ShowChar(int32_t slot, float x0, float y0, float x1, float y1, float timeMs);
  bool HideChar(int32_t slot, float x, float y, float timeMs);
  bool MoveChar(int32_t slot, float x, float y, float timeMs);
  bool LoadLayerImage(int32_t layer, const char* file, int32_t flag);
  bool SwapBgPage(float timeMs, const char* file);
  // The card turn of the shown page about x (a), y (b) and z (c), each over its time x 0.5.
  bool SwapBgPageRot(float a, float b, float c);
  bool LoadEffectLayer(int32_t layer, const char* file);
  // in: the layer comes in (alpha 0 -> 255), else it goes out. Pattern and movie transitions are
  // drawn as plain fades until their shaders exist.
  bool SetLayerTransition(int32_t layer, float timeMs, const char* pattern, bool in);
  // A sprite slot made (or kept) and made the current element; its picture comes with
  // SetSpriteImage.
  bool SetSprite(int32_t id);
  bool SetSpriteImage(const char* file);
  // Adds one key to a sprite (kind: an AnimeKeyKind); flag 1 starts it with the previous key,
  // 0 after it.
  bool TweenSprite(int32_t id, uint16_t kind, const float v[4], float timeMs, int32_t flag);
  // Shows cells first..last of the sprite's sheet over the time (a pattern key).
  bool SpriteParts(int32_t id, int32_t first, float timeMs, int32_t last, int32_t flag);
  // Cuts the sprite's sheet into cells of w x h and shows cell `cell`.
  bool SpriteCut(int32_t id, int32_t cell, float w, float h);
  bool StartSpriteAnime(int32_t id);
  bool ClearSpriteAnime(int32_t id);
  bool RemoveSprite(int32_t id);
  bool SetSpriteWaitCheck(bool on);
  bool SetSpriteAddBlend(bool on);
  bool HasCurrentSprite() const;
  bool LensFlare(float x, float y, float inMs, float turnMs, float outMs);
  // The picture layers scaled to `scale` about (cx, cy) over the time.
  bool Zoom(float scale, float cx, float cy, float timeMs);
  bool IsSpriteAnimating() const;
  void ReloadLayerImages();
  // Every picture layer removed, effects ended.
  void ResetPictures();
  void HideSubScreens();
  void OnMovieStart();
  void StopWindow();

  // --- backlog ---
  void OpenBacklog();
  void CloseBacklog();
  int32_t BacklogTop() const { return backlogTop_; }

  // --- saved state ---
  std::vector<uint8_t> SaveState() const;
  // Rebuilds the layers from a buffer; false (nothing changed) for a malformed one.
  bool LoadState(const uint8_t* data, size_t size);

  // --- read-outs ---
  bool Bit(int b) const { return (windowState >> b) & 1u; }
  void SetBit(int b, bool on) {
    windowState = on ? static_cast<uint16_t>(windowState | (1u << b)) : static_cast<uint16_t>(windowState & ~(1u << b));
  }
  CVMenuBase* LayerRoot() const { return layerRoot_; }
  CVMenuBase* MessageWindow() const { return window_; }
  CVMenuBase* ChoicePanel() const { return choicePanel_; }
  CVMenuBase* BacklogPanel() const { return backlogPanel_; }
  CVMenuText* NameText() const { return nameText_; }
  CVMenuText* LineText(int i) const { return i >= 0 && i < kPageLines ? lines_[i] : nullptr; }
  // The layer widget of a kind and number (null when none).
  CVMenuWindow* Layer(adv::LayerKind kind, int32_t number) const;
  size_t LayerCount() const { return layers_.size(); }
  int32_t ShownPage() const { return shownPage_; }
  adv::CharDefCache& CharDefs() { return charDefs_; }

  uint16_t windowState = 0;
  int32_t pendingQuestion = -1;
  CVSceneADV* advScene = nullptr;

 private:
  struct LayerSlot {
    adv::LayerKind kind;
    int32_t number;
    CVMenuWindow* widget = nullptr;
    CVMenuWindow* faceWidget = nullptr;
    std::string image, face;
    float faceRect[4] = {0, 0, 0, 0};
    uint8_t hiding = 0;
    uint8_t waitCheck = 0;
    uint8_t addBlend = 0;
    uint32_t nextKey = 0;  // sprites: the last key number added
    int32_t page = -1;     // picture layers: the background page they belong to
  };
  static uint32_t Key(adv::LayerKind k, int32_t n) {
    return static_cast<uint32_t>(k) << 16 | static_cast<uint32_t>(n & 0xFFFF);
  }
  LayerSlot* FindLayer(adv::LayerKind k, int32_t n);
  const LayerSlot* FindLayer(adv::LayerKind k, int32_t n) const;
  LayerSlot* MakeLayer(adv::LayerKind k, int32_t n);
  void RemoveLayer(adv::LayerKind k, int32_t n);
  // The shown background page, made (without a picture) when there is none.
  LayerSlot* ShownPageSlot();
  void SetLayerImage(LayerSlot& l, const char* file);
  float LayerDepth(adv::LayerKind k, int32_t n) const;
  bool EffectsImmediate() const;
  int32_t Setting(int index) const;
  void UpdateLines();
  void StepPictures();
  void StepChoice(int32_t hit);
  void StepBacklog(int32_t hit);
  void FillBacklogRows();
  void ActOnButton(int32_t id);
  void StepQuestion();
  bool PointerOverButton(CVMenuBase* w) const;

  CVMenuBase* layerRoot_ = nullptr;
  CVMenuBase* window_ = nullptr;
  CVMenuWindow* frame_ = nullptr;
  CVMenuBase* namePlate_ = nullptr;
  CVMenuText* nameText_ = nullptr;
  CVMenuText* lines_[kPageLines] = {};
  CVMenuBase* choicePanel_ = nullptr;
  CVMenuBtn* choiceButtons_[kMaxChoices] = {};
  int32_t choiceLabels_[kMaxChoices] = {};
  CVMenuBase* backlogPanel_ = nullptr;
  CVMenuBtn* backlogRows_[kBacklogRows] = {};
  CVMenuSBar* backlogBar_ = nullptr;
  CVMenuBase* flare_ = nullptr;

  AdvStepInput input_;
  adv::PageReveal reveal_;
  // The page split into lines for the text widgets (fixed buffers, reused page after page).
  std::vector<char> lineBuf_[kPageLines];
  size_t lineStart_[kPageLines + 1] = {};
  int lineCount_ = 0;
  size_t lineShown_[kPageLines] = {};
  std::string speaker_;
  int32_t readId_ = -1;
  uint8_t showAll_ = 0;
  int32_t chosenLabel_ = 0;
  int32_t choiceCount_ = 0;
  int32_t backlogTop_ = 0;
  int32_t savedDepthBound_ = 0;
  int32_t lastHit_ = -1;

  std::map<uint32_t, LayerSlot> layers_;
  int32_t shownPage_ = 0;
  adv::LayerKind currentKind_ = adv::LayerKind::kPicture;
  int32_t currentNumber_ = -1;
  float zoomScale_ = 1.0f;
  float flipRot_[3] = {0, 0, 0};
  uint8_t flipHalf_ = 0;
  adv::CharDefCache charDefs_;
  bool warned_ = false;
};

// The menu factory's creator of type 20.
CVMenuSceneRoot* CreateAdvMenu(int32_t type);
