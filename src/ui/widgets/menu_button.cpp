#include "ui/widgets/menu_button.h"

#include "render/sprite.h"

CVMenuBtn::~CVMenuBtn() { CVMenuBtn::Release(); }

void CVMenuBtn::CancelPress() {
  if (!IsPressed()) return;
  buttonFlags &= static_cast<uint16_t>(~kPressed);
  ButtonClickLatch |= 2;
}

void CVMenuBtn::Release() {
  CancelPress();
  CVMenuWindow::Release();
}

void CVMenuBtn::Open(int32_t a, int32_t b, int32_t c) {
  SetState(kBtnIdle, 1);
  CVMenuWindow::Open(a, b, c);
}

void CVMenuBtn::Close() {
  CancelPress();
  CVMenuWindow::Close();
}

int32_t CVMenuBtn::CellForState(int32_t s) const { return s >= 0 && s < 5 ? statePatterns[s] : s; }

int32_t CVMenuBtn::SetState(int32_t s, int32_t force) {
  const int32_t old = GetState();
  const bool valid = s >= 0 && s < 5;
  if (!force && sprite && valid && sprite->cell != statePatterns[s]) force = 1;
  // The window shows the look's pattern (CellForState), also when the state is set again unchanged.
  if (!CVMenuWindow::SetState(s, force)) return 0;
  ChangeStateAnime(old, s);
  if (valid && old != s && stateSounds[s] != -1) {
    int32_t number = stateSounds[s];
    if (soundRefMask & (1u << s)) number = RoundNudged(GetRefParam(number));
    // A negative number (from a reference parameter) means no sound, not file 0.
    if (number >= 0) GetWidgetSoundSink().PlayEffect(kSoundChannel, number);
  }
  return 1;
}

void CVMenuBtn::SetStatePatterns(int32_t p0, int32_t p1, int32_t p2, int32_t p3, int32_t p4) {
  statePatterns[0] = p0;
  statePatterns[1] = p1;
  statePatterns[2] = p2;
  statePatterns[3] = p3;
  statePatterns[4] = p4;
}

void CVMenuBtn::SetStateSound(int32_t s, int32_t number, bool fromReference) {
  if (s < 0 || s > 4) return;
  stateSounds[s] = number;
  if (fromReference)
    soundRefMask |= static_cast<uint16_t>(1u << s);
  else
    soundRefMask &= static_cast<uint16_t>(~(1u << s));
}

void CVMenuBtn::SetStateSounds(int32_t s0, int32_t s1, int32_t s2, int32_t s3, int32_t s4, uint16_t mask) {
  stateSounds[0] = s0;
  stateSounds[1] = s1;
  stateSounds[2] = s2;
  stateSounds[3] = s3;
  stateSounds[4] = s4;
  soundRefMask = mask;
}

int32_t CVMenuBtn::SetCaption(const char* text) {
  if (!text) {
    caption.Clear();
    return 1;
  }
  if (caption.CStr() && caption.NotEquals(text) == 0) return 0;
  caption.Assign(text);
  return 1;
}

void CVMenuBtn::Press(int32_t id) {
  buttonFlags |= kPressed;
  ButtonClickLatch |= 1;
  pressedId = id;
  SetState(kBtnPressed, 0);
}

void CVMenuBtn::SetPressedBit(bool on) {
  if (on)
    buttonFlags |= kPressed;
  else
    buttonFlags &= static_cast<uint16_t>(~kPressed);
}

void CVMenuBtn::SetNeverDecide(bool on) {
  if (on)
    buttonFlags |= kNeverDecide;
  else
    buttonFlags &= static_cast<uint16_t>(~kNeverDecide);
}

void CVMenuBtn::Update(int32_t x, int32_t y, uint32_t click) {
  const int32_t id = clickState == 2 ? secondId : firstId;
  const bool live = flags.Test(kWfShown) && flags.Test(kWfActive);
  if (IsPressed()) {
    if (!live) {
      CancelPress();
    } else if (!IsStateAnimePlayingTree(kBtnPressed)) {
      buttonFlags &= static_cast<uint16_t>(~kPressed);
      SetSelect(pressedId, true);
      ButtonClickLatch |= 2;
    }
  } else if (live) {
    const bool decide = clickState != 0 && id != -1 && !(ButtonClickLatch & 1) && !(buttonFlags & kNeverDecide);
    if (!flags.Test(kWfEnabled)) {
      SetState(kBtnDisabled, 0);
      if (HitTest(x, y)) SetDisabledClick(id, decide);
    } else if (HitTest(x, y)) {
      SetFlagAll(kWfPointerOver, true);
      SetPressedBit(decide);
      if (decide) {
        Press(id);
        SetSelect(id, false);
      } else {
        SetSelect(id, false);
        SetState(flags.Test(kWfRest4) ? kBtnRest : kBtnOver, 0);
      }
    } else {
      SetFlagAll(kWfPointerOver, false);
      SetState(flags.Test(kWfRest4) ? kBtnRest : (flags.Test(kWfRest1) ? kBtnOver : kBtnIdle), 0);
    }
  }
  CVMenuWindow::Update(x, y, click);
}
