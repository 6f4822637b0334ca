#include "world/slg_util.h"

#include "core/error_box.h"
#include "core/game_rand.h"
#include "world/world_ports.h"
#include "world/world_tables.h"

uint16_t GameSpeedParams[6] = {15, 5, 30, 25, 150, 1};
uint8_t GameSpeedFastFlag = 0;

int SlgRandom(uint8_t n) { return GameRandBelow(n); }

bool IsDaimyoAllied(uint32_t a, uint32_t b) {
  if (a >= kNoDaimyo || b >= kNoDaimyo) return false;
  for (uint8_t ally : DaimyoTable[a].allies)
    if (ally == b) return true;
  return false;
}

void SetGameSpeedParams(bool fast) {
  static const uint16_t kNormal[6] = {15, 5, 30, 25, 150, 1};
  static const uint16_t kFast[6] = {1, 1, 1, 1, 3, 5};
  for (int i = 0; i < 6; ++i) GameSpeedParams[i] = fast ? kFast[i] : kNormal[i];
  GameSpeedFastFlag = fast ? 1 : 0;
}

void ShowSlgDataError(const char* message) { ShowErrorMessageBox(message, "SLGデータエラー"); }

int KuniEventAnimeNumber(int kind, int sub) {
  switch (kind * 10 + sub) {
    case 22:
      return 4;
    case 27:
      return 5;
    case 33:
    case 37:
      return 12;
    case 44:
      return 6;
    case 47:
    case 66:
      return 7;
    case 55:
      return 2;
    case 57:
      return 3;
    case 87:
    case 88:
      return 9;
    case 97:
    case 99:
      return 10;
    default:
      return 8;
  }
}

void ShowKuniEventEffect(int kuni, int kind, int sub) {
  if (kuni < 0 || kuni >= kKuniCount) return;
  SlgScene().PlayCastleIconAnime(kuni, KuniEventAnimeNumber(kind, sub), 0);
}
