#include "ui/widgets/menu_window_group.h"

#include <cstdlib>
#include <string>

#include "ui/widgets/menu_window.h"

namespace {
// Decimal digits of |v|, least significant first (at least one). 64 bits: |INT_MIN| fits.
std::string DigitsOf(int32_t v) {
  long long a = std::llabs(static_cast<long long>(v));
  std::string d;
  do {
    d.push_back(static_cast<char>('0' + a % 10));
    a /= 10;
  } while (a);
  return d;
}
}  // namespace

CVMenuWindowGroup::CVMenuWindowGroup() {
  for (int32_t& p : patterns) p = -1;
}

std::vector<CVMenuWindow*> CVMenuWindowGroup::DigitWindows() const {
  std::vector<CVMenuWindow*> out;
  for (CVListBase* n = children.first; n && out.size() < digitCount; n = n->next) {
    auto* w = static_cast<CVMenuBase*>(n);
    if (w->widgetType == kWidgetSprite) out.push_back(static_cast<CVMenuWindow*>(w));
  }
  return out;
}

void CVMenuWindowGroup::Update(int32_t x, int32_t y, uint32_t click) {
  GlideStep();
  CVMenuBase::Update(x, y, click);
}

void CVMenuWindowGroup::Open(int32_t a, int32_t b, int32_t c) {
  // References are read on every Open: a reopened group shows the parameters as they are now.
  if (sourceFlags & 1) {
    const int32_t n = RoundNudged(GetRefParam(digitCountRef));
    digitCount = static_cast<uint16_t>(n < 0 ? 0 : (n > 0xFFFF ? 0xFFFF : n));
  }
  if (sourceFlags & 2) value = RoundNudged(GetRefParam(valueRef));
  Display(value);
  CVMenuBase::Open(a, b, c);
}

void CVMenuWindowGroup::SetFlagAll(int bit, bool on) {
  if (bit == kWfShown) {
    flags.Set(bit, on);
    return;
  }
  CVMenuBase::SetFlagAll(bit, on);
}

void CVMenuWindowGroup::SetFlagAllEx(int bit, bool on, bool ownOnly) {
  if (bit == kWfShown && !ownOnly) {
    flags.Set(bit, on);
    return;
  }
  CVMenuBase::SetFlagAll(bit, on);
}

bool CVMenuWindowGroup::SetDigitState(int32_t s, int32_t force) {
  bool any = false;
  for (CVMenuWindow* w : DigitWindows()) any |= w->SetState(s, force) != 0;
  return any;
}

void CVMenuWindowGroup::SetDigitAlpha(float a) {
  for (CVMenuWindow* w : DigitWindows()) w->SetAlpha(a);
}

void CVMenuWindowGroup::SetTarget(int32_t t, float timeMs) {
  glideFlags |= 1;
  timeLeft = timeMs;
  target = t;
}

void CVMenuWindowGroup::SetPatternEntry(int32_t i, int32_t pattern) {
  if (i >= 0 && i < 12) patterns[i] = pattern;
}

int32_t CVMenuWindowGroup::GetPatternEntry(int32_t i) const { return i >= 0 && i < 12 ? patterns[i] : -1; }

void CVMenuWindowGroup::SetDigitCount(int32_t n, bool fromReference) {
  digitCount = static_cast<uint16_t>(n < 0 ? 0 : (n > 0xFFFF ? 0xFFFF : n));
  if (fromReference) digitCountRef = n;
  sourceFlags = static_cast<uint8_t>(fromReference ? (sourceFlags | 1) : (sourceFlags & ~1));
}

void CVMenuWindowGroup::SetValue(int32_t v, bool fromReference) {
  value = v;
  if (fromReference) valueRef = v;
  sourceFlags = static_cast<uint8_t>(fromReference ? (sourceFlags | 2) : (sourceFlags & ~2));
}

void CVMenuWindowGroup::CopySettingsTo(CVMenuWindowGroup* other) const {
  if (!other) return;
  other->mode = mode;
  other->digitCount = digitCount;
  other->value = value;
  other->sourceFlags = 0;
  for (int i = 0; i < 12; ++i) other->patterns[i] = patterns[i];
}

void CVMenuWindowGroup::ShowPattern(CVMenuWindow* w, int32_t entry) {
  w->SetState(GetPatternEntry(entry), 0);
  w->SetFlag(kWfShown, true);
}

void CVMenuWindowGroup::Display(int32_t v) {
  switch (mode) {
    case kGroupRight:
      DisplayRight(v, false);
      break;
    case kGroupLeft:
      DisplayLeft(v);
      break;
    case kGroupCentre:
      DisplayCentre(v);
      break;
    case kGroupZeroFill:
      DisplayRight(v, true);
      break;
    case kGroupFixed:
      DisplayFixed(v);
      break;
    case kGroupNonZero:
      DisplayNonZero(v);
      break;
    case kGroupIcons:
      DisplayIcons(v);
      break;
    default:
      break;
  }
  shownValue = v;
}

void CVMenuWindowGroup::DisplayRight(int32_t v, bool zeroFill) {
  const std::vector<CVMenuWindow*> w = DigitWindows();
  const std::string d = DigitsOf(v);
  int i = static_cast<int>(w.size()) - 1;
  for (size_t k = 0; k < d.size() && i >= 0; ++k, --i) ShowPattern(w[static_cast<size_t>(i)], d[k] - '0');
  if (v < 0 && GetPatternEntry(kMinusEntry) != -1 && i >= 0 && !zeroFill) {
    ShowPattern(w[static_cast<size_t>(i)], kMinusEntry);
    --i;
  }
  // With leading zeros the sign takes the first window.
  if (zeroFill && v < 0 && GetPatternEntry(kMinusEntry) != -1 && !w.empty()) {
    for (int j = i; j >= 1; --j) ShowPattern(w[static_cast<size_t>(j)], 0);
    if (i >= 0) ShowPattern(w[0], kMinusEntry);
    return;
  }
  for (; i >= 0; --i) {
    if (zeroFill)
      ShowPattern(w[static_cast<size_t>(i)], 0);
    else
      w[static_cast<size_t>(i)]->SetFlag(kWfShown, false);
  }
}

int32_t CVMenuWindowGroup::DisplayLeft(int32_t v) {
  const std::vector<CVMenuWindow*> w = DigitWindows();
  const std::string d = DigitsOf(v);
  size_t used = 0;
  if (v < 0 && GetPatternEntry(kMinusEntry) != -1 && used < w.size()) ShowPattern(w[used++], kMinusEntry);
  for (size_t k = d.size(); k-- > 0 && used < w.size();) ShowPattern(w[used++], d[k] - '0');
  if (GetPatternEntry(kMarkEntry) != -1 && used < w.size()) ShowPattern(w[used++], kMarkEntry);
  for (size_t j = used; j < w.size(); ++j) w[j]->SetFlag(kWfShown, false);
  return static_cast<int32_t>(used);
}

float CVMenuWindowGroup::GetDigitWidth() {
  const std::vector<CVMenuWindow*> w = DigitWindows();
  return w.empty() ? 2.0f : w[0]->size.x;
}

void CVMenuWindowGroup::DisplayCentre(int32_t v) {
  const std::vector<CVMenuWindow*> w = DigitWindows();
  const std::string d = DigitsOf(v);
  // Lay out as mode 1, then move the run right by half the unused windows.
  std::vector<int32_t> entries;
  if (v < 0 && GetPatternEntry(kMinusEntry) != -1) entries.push_back(kMinusEntry);
  for (size_t k = d.size(); k-- > 0;) entries.push_back(d[k] - '0');
  if (GetPatternEntry(kMarkEntry) != -1) entries.push_back(kMarkEntry);
  if (entries.size() > w.size()) entries.resize(w.size());
  const size_t shift = (w.size() - entries.size()) / 2;
  for (size_t j = 0; j < w.size(); ++j) {
    if (j >= shift && j - shift < entries.size())
      ShowPattern(w[j], entries[j - shift]);
    else
      w[j]->SetFlag(kWfShown, false);
  }
}

void CVMenuWindowGroup::DisplayFixed(int32_t v) {
  const std::vector<CVMenuWindow*> w = DigitWindows();
  long long a = std::llabs(static_cast<long long>(v));
  for (size_t i = w.size(); i-- > 0;) {
    // Fixed digits show the digit itself as the state.
    w[i]->SetState(static_cast<int32_t>(a % 10), 0);
    w[i]->SetFlag(kWfShown, true);
    a /= 10;
  }
}

void CVMenuWindowGroup::DisplayNonZero(int32_t v) {
  const std::vector<CVMenuWindow*> w = DigitWindows();
  long long a = std::llabs(static_cast<long long>(v));
  for (size_t i = w.size(); i-- > 0;) {
    const int32_t digit = static_cast<int32_t>(a % 10);
    w[i]->SetState(digit, 0);
    w[i]->SetFlag(kWfShown, digit != 0);
    a /= 10;
  }
}

void CVMenuWindowGroup::DisplayIcons(int32_t v) {
  const std::vector<CVMenuWindow*> w = DigitWindows();
  for (size_t i = 0; i < w.size(); ++i) w[i]->SetFlag(kWfShown, static_cast<long long>(i) < v);
}

void CVMenuWindowGroup::GlideStep() {
  if (!IsGliding()) return;
  const float g = RoundNudged(timeLeft) == 0 ? 1.0f : timeStep / timeLeft;
  if (timeLeft - timeStep >= 0.0f && target != shownValue) {
    timeLeft -= timeStep;
    Display(shownValue + RoundNudged(static_cast<float>(target - shownValue) * g));
  } else {
    Display(target);
    timeLeft = 0.0f;
    glideFlags &= static_cast<uint16_t>(~1u);
    target = 0;
  }
}
