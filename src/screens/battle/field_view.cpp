#include "screens/battle/field_view.h"

FieldPoint KassenFieldPosition(int sizeClass, int shownLane, int column, FieldPoint current) {
  // Two- and three-lane fields are centred on the five-lane field.
  const float offset = sizeClass == 0 ? 410.1f : sizeClass == 1 ? kLaneSpacing : 0.0f;
  FieldPoint p = current;
  if (shownLane >= 1 && shownLane < 5) p.across = static_cast<float>(shownLane - 1) * kLaneSpacing + offset;
  if (column >= 0 && column < 8) p.along = -static_cast<float>(column) * kColumnSpacing;
  return p;
}

int KassenBackgroundId(int r, bool roadLinked, bool siroFlag, int weather) {
  if (r < 0) r = -r;
  const bool wet = weather == 1 || weather == 2;
  if (roadLinked) return 200 + r % 2 + (wet ? 2 : 0);
  if (siroFlag) return 100 + r % 2 + (wet ? 2 : 0);
  return r % 4 + (wet ? 4 : 0);
}

int KassenUnitModelId(int kind, bool gunVolley, bool roadLinked, bool playerSide) {
  int n;
  if (gunVolley)
    n = 406;
  else if (kind == 2 || roadLinked)
    n = 404;
  else if (kind == 1)
    n = 400;
  else if (kind == 3)
    n = 402;
  else
    n = 404;
  return playerSide ? n : n + 1;
}

int KassenUnitMotionId(int kind, bool gunVolley, bool roadLinked, bool charge) {
  if (gunVolley) return 6;
  if (kind == 2 || roadLinked) return charge ? 1 : 0;
  if (kind == 1) return charge ? 3 : 2;
  if (kind == 3) return charge ? 5 : 4;
  return charge ? 1 : 0;
}

int KassenCastleNumber(int castleLevel, bool sideFlag, bool burning) {
  int n = castleLevel < 10 ? 0 : castleLevel < 20 ? 1 : 2;
  if (!sideFlag) n += 3;
  return burning ? n + 100 : n;
}

const char* KassenCastleTexture(int n) {
  static const char* const kNames[3] = {"shiro_s.dds", "shiro_m.dds", "shiro_b.dds"};
  if (n < 0) return kNames[0];
  return kNames[(n >= 100 ? n - 100 : n) % 3];
}

bool KassenCellPreset(int preset, int& shownLane, int& column) {
  if (preset < 13 || preset > 54) return false;
  shownLane = (preset - 13) / 8 + 1;
  column = (preset - 13) % 8;
  if (preset == 53) column = 0;
  if (preset == 54) column = 7;
  return true;
}

void KassenFieldScreen(FieldPoint p, float& x, float& y) {
  x = 300.0f - p.along / kColumnSpacing * 75.0f;
  y = 140.0f + p.across / kLaneSpacing * 70.0f;
}
