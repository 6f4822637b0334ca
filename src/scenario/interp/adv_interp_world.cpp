// The strategy world's tables.
#include "scenario/interp/adv_interp_internal.h"

#include <cstring>
#include <optional>
#include "scenario/interp/adv_services.h"
#include "world/placement.h"
#include "world/record_lists.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

using namespace v4fmt;

namespace adv_interp {

namespace {

bool ValidBusyo(int32_t g) { return g >= 0 && g < static_cast<int32_t>(kBusyoCount); }

// The two 2-bit pass fields of a country: field `which` sits at bit (1 - which) * 2.
void SetShuuLimitField(int32_t kuni, int32_t which, int32_t a, int32_t b) {
  KuniRecord* k = kuni >= 0 ? KuniPtr(static_cast<uint32_t>(kuni)) : nullptr;
  if (!k || (which != 0 && which != 1)) return;
  int shift = (1 - which) * 2;
  uint8_t field = static_cast<uint8_t>(((a & 1) + 2 * (b & 1)) << shift);
  k->passFlags = static_cast<uint8_t>((k->passFlags & ~(3 << shift)) | field);
}

}  // namespace

std::optional<Flow> Interp::World(unsigned op) {
  switch (op) {
    case kOpSetMeetSw: {
      uint32_t number = r_.U32();
      int32_t key = Val();
      const char* name = r_.Str();
      int32_t f0 = Val();
      int32_t f1 = Val();
      r_.Str();  // read and not used
      if (!r_.ok) break;
      RegisterSlgEvent(static_cast<uint32_t>(key), name, f0 != 0, f1 != 0);
      SlgEventMap[static_cast<uint32_t>(key)].key = static_cast<uint16_t>(number);
      break;
    }
    case kOpSetToshu: {
      int32_t g = Val();
      if (r_.ok && ValidBusyo(g)) SetDaimyoLeader(static_cast<uint32_t>(g));
      break;
    }
    case kOpAddBusho: {
      int32_t g = Val(), castle = Val(), flag = Val();
      if (r_.ok && ValidBusyo(g)) AddBusyoToCastle(g, castle, flag != 0);
      break;
    }
    case kOpSetShuuLimit: {
      int32_t a = Val(), b = Val(), c = Val(), d = Val();
      if (r_.ok) SetShuuLimitField(a, b, c, d);
      break;
    }
    case kOpSetHoryoFlg: {
      int32_t g = Val(), set = Val(), readd = Val();
      if (r_.ok && ValidBusyo(g)) SetBusyoFlag(static_cast<uint32_t>(g), set != 0, readd != 0);
      break;
    }
    case kOpSetTjYear: {
      int32_t g = Val(), v = Val();
      if (r_.ok && ValidBusyo(g)) BusyoTable[g].appearYear = static_cast<uint8_t>(v);
      break;
    }
    case kOpSerifFlagOn: {
      int32_t g = Val();
      uint32_t category = r_.U32();
      if (r_.ok) AdvSvc().UnlockGalleryCategory(g, static_cast<int32_t>(category));
      break;
    }
    case kOpSetKizuna: {
      int32_t g = Val(), on = Val();
      if (r_.ok && ValidBusyo(g)) SetBusyoKizuna(static_cast<uint32_t>(g), on == 1);
      break;
    }
    case kOpSetKuniLimit: {
      int32_t kuni = Val(), which = Val(), on = Val();
      KuniRecord* k = (r_.ok && kuni >= 0) ? KuniPtr(static_cast<uint32_t>(kuni)) : nullptr;
      if (k) {
        uint8_t bit = which != 0 ? 1 : 2;
        k->passFlags = static_cast<uint8_t>(on == 1 ? (k->passFlags | bit) : (k->passFlags & ~bit));
      }
      break;
    }
    case kOpSetNegaeri: {
      int32_t g = Val(), state = Val();
      if (r_.ok && ValidBusyo(g)) SetBusyoKizunaState(static_cast<uint32_t>(g), state);
      break;
    }
    case kOpSetDoumeiReject: {
      int32_t clan = Val(), other = Val();
      if (r_.ok && clan >= 0 && clan < static_cast<int32_t>(kDaimyoSlots) && other >= 0 &&
          other < static_cast<int32_t>(kDaimyoSlots))
        AddDaimyoRelation(static_cast<uint32_t>(clan), static_cast<uint32_t>(other));
      break;
    }
    case kOpSetSiroRoot: {
      int32_t a = Val(), b = Val(), on = Val();
      if (r_.ok && a >= 0 && b >= 0) SetSiroLink(static_cast<uint32_t>(a), static_cast<uint32_t>(b), on != 0);
      break;
    }
    case kOpHideDaimyoInfo: {
      int32_t clan = Val(), on = Val();
      if (r_.ok && clan >= 0 && clan < static_cast<int32_t>(kDaimyoSlots))
        SetDaimyoFlag3(static_cast<uint32_t>(clan), on != 0);
      break;
    }
    case kOpSetBusyoParam: {
      int32_t g = Val();
      const char* param = r_.Str();
      int32_t v = Val();
      if (!r_.ok || !ValidBusyo(g)) break;
      if (std::strcmp(param, "兵数") == 0)
        SetBusyoSoldiers(static_cast<uint32_t>(g), v);
      else if (std::strcmp(param, "鉄砲") == 0)
        SetBusyoGuns(static_cast<uint32_t>(g), v);
      else if (std::strcmp(param, "Lv") == 0)
        SetBusyoStage(static_cast<uint32_t>(g), v);
      break;
    }
    default:
      return std::nullopt;
  }
  return Flow::kNext;
}

}  // namespace adv_interp
