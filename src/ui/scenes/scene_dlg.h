// CVSceneDlg (scene 10): asks the player a question without blocking. OpenDialogScene pushes it
// over the current scene with a kind 0..14; the kind picks one of three panels of its menu 0 and
// the question picture (the kind window's state). The caller polls GetDialogResult: -1 until the
// dialog has closed, then the chosen button id (readable after the pop while scene 10 is resident).
#pragma once
#include <cstdint>

#include "ui/scenes/cv_scene.h"

class CVSceneDlg : public CVScene {
 public:
  static constexpr int32_t kPhaseClosing = 15;
  static constexpr int32_t kPhaseClosed = 16;
  static constexpr uint32_t kCloseDelayMs = 100;

  explicit CVSceneDlg(int32_t sceneId = -1) : CVScene(-1, sceneId) {}

  bool OnStart() override;
  bool OnEnter() override;
  bool OnLeave() override;
  int32_t Update(float dt) override;
  int32_t UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) override;
  bool OnPhaseChange(int32_t oldPhase) override;
  // The question stands over the scene beneath, which the frame would not draw (only the current
  // scene is drawn): without it the panel showed on an empty screen.
  bool Draw() override;

  void SetFreezeBelow(uint32_t value) { freezeBelow_ = value; }
  uint32_t GetFreezeBelow() const { return freezeBelow_; }
  int32_t GetAnswer() const { return answer_; }
  // Between OnEnter and OnLeave; the game mode that the close hands back.
  bool IsOpen() const { return open_ != 0; }
  int32_t GetModeOnClose() const { return savedGameMode_; }
  void SetModeOnClose(int32_t mode) { savedGameMode_ = mode; }
  int32_t GetKind() const { return kind_; }
  CVMenuBase* GetPanel(int i) const { return i >= 0 && i < 3 ? panels_[i] : nullptr; }
  CVMenuBase* GetKindWindow() const { return kindWindow_; }

  // Panel index (0..2) and cancel id (-1 none) of a kind.
  static int PanelOfKind(int32_t kind);
  static int32_t CancelIdOfKind(int32_t kind);

 private:
  void SelectWidgets(int32_t kind);

  CVMenuBase* kindWindow_ = nullptr;
  CVMenuBase* extra_ = nullptr;
  CVMenuBase* extra2_ = nullptr;
  CVMenuBase* panels_[3] = {};
  CVMenuBase* panel_ = nullptr;  // the panel of the current kind
  int32_t kind_ = 3;
  uint8_t entered_ = 0;
  uint8_t open_ = 0;
  // Frozen until the first OnEnter: the update that Start runs on creation happens before the
  // dialog is pushed, when the stack top is not the scene beneath the question.
  uint32_t freezeBelow_ = 1;
  int32_t answer_ = -1;
  int32_t savedDepthBound_ = 0;
  int32_t savedGameMode_ = 0;
};

// Pushes scene 10 at once with the kind (outside 0..14: 3). Bit 0 of keepBelowRunning lets the
// scene beneath keep updating. False (logged) when the dialog scene cannot be made or is already
// the current scene (one question at a time).
bool OpenDialogScene(int32_t kind, int32_t keepBelowRunning);
// -1 while no answer is readable (no scene 10, or not closed yet), else the chosen button id.
int32_t GetDialogResult();
// The game mode of the game beneath an open question (the current mode when none is open).
int32_t GameModeBeneathDialog();
// Sets the game mode for the game beneath: an open question hands it over when it closes (set at
// once, it would be replaced by the mode the question saved); with no question open, at once.
void SetGameModeBeneathDialog(int32_t mode);
