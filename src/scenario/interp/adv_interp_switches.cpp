// Switch arithmetic and the switches set from the program's state.
#include "scenario/interp/adv_interp_internal.h"

#include <climits>
#include <optional>
#include <vector>
#include "core/app_state.h"
#include "core/game_rand.h"
#include "scenario/adv_presenter.h"
#include "scenario/interp/adv_services.h"

using namespace v4fmt;

namespace adv_interp {

namespace {
bool g_firstRun = true;
}  // namespace

Flow Interp::SwCalcu(uint32_t sw, uint32_t op, int32_t v) {
  int32_t cur = GetSw(sw);
  int32_t out = cur;
  switch (op) {
    case 0:
      out = Wrap(static_cast<int64_t>(cur) * v);
      break;
    case 1:
      if (v == 0) v = 1;
      out = (cur == INT32_MIN && v == -1) ? INT32_MIN : cur / v;
      break;
    case 2:
      out = Wrap(static_cast<int64_t>(cur) + v);
      break;
    case 3:
      out = Wrap(static_cast<int64_t>(cur) - v);
      break;
    case 4:
      out = v;
      break;
    default:
      return Flow::kNext;
  }
  SetSw(sw, out, true);
  return Flow::kNext;
}

Flow Interp::MinMax(bool max, bool random) {
  uint32_t dest = r_.U32();
  uint32_t n = r_.U32();
  std::vector<uint32_t> list;
  if (!List32(n, list)) return Flow::kNext;
  int32_t pos = 0;
  if (n >= 1) {
    int32_t best = GetSw(list[0]);
    for (uint32_t i = 1; i < n; ++i) {
      int32_t v = GetSw(list[i]);
      if (max ? v > best : v < best) {
        best = v;
        pos = static_cast<int32_t>(i);
      }
    }
    if (random) {
      std::vector<int32_t> ties;
      for (uint32_t i = 0; i < n; ++i)
        if (GetSw(list[i]) == best) ties.push_back(static_cast<int32_t>(i));
      pos = ties[static_cast<size_t>(GameRandBelow(static_cast<int>(ties.size())))];
    }
  }
  SetSw(dest, pos, !random);
  return Flow::kNext;
}

std::optional<Flow> Interp::Switches(unsigned op) {
  AdvServices& svc = AdvSvc();
  switch (op) {
    case kOpSwVar:
    case kOpSwAdd:
    case kOpSwDec: {
      uint32_t sw = r_.U32();
      int32_t v = Val();
      if (!r_.ok) break;
      int32_t cur = op == kOpSwVar ? 0 : GetSw(sw);
      int32_t out = op == kOpSwVar   ? v
                    : op == kOpSwAdd ? Wrap(static_cast<int64_t>(cur) + v)
                                     : Wrap(static_cast<int64_t>(cur) - v);
      SetSw(sw, out, true);
      break;
    }
    case kOpSwRand: {
      uint32_t sw = r_.U32();
      int32_t n = Val();
      if (r_.ok) SetSw(sw, n < 1 ? 0 : GameRandBelow(n), true);
      break;
    }
    case kOpSwCalcu: {
      uint32_t sw = r_.U32();
      uint32_t o = r_.U32();
      int32_t v = Val();
      if (r_.ok) SwCalcu(sw, o, v);
      break;
    }
    case kOpSwMini:
      MinMax(false, false);
      break;
    case kOpSwMax:
      MinMax(true, false);
      break;
    case kOpSwMiniRnd:
      MinMax(false, true);
      break;
    case kOpSwMaxRnd:
      MinMax(true, true);
      break;
    case kOpAtFirst: {
      uint32_t sw = r_.U32();
      if (!r_.ok) break;
      SetSw(sw, g_firstRun ? 1 : 0, true);
      g_firstRun = false;
      break;
    }
    case kOpGetSkipFlag: {
      uint32_t sw = r_.U32();
      if (!r_.ok) break;
      if (AdvPresenter* p = EnsureAdvPresenter()) SetSw(sw, p->IsSkip() ? 1 : 0, true);
      break;
    }
    case kOpBreakSw:
    case kOpWatchSw: {
      uint8_t n = r_.U8();
      std::vector<uint32_t> list;
      if (!List32(n, list)) break;
      for (uint32_t sw : list) {
        if (!SwOk(sw)) continue;
        if (op == kOpWatchSw) {
          s_.AddWatchSwitch(static_cast<int32_t>(sw));
        } else if (svc.DebugMode()) {
          char text[200];
          std::snprintf(text, sizeof text, "%s\nSW[%s]=%d", "", s_.SwitchName(sw).c_str(), s_.switches[sw]);
          svc.ShowDebugBox(text, "BreakSw スイッチリスト");
        }
      }
      break;
    }
    case kOpGetPlayMode: {
      uint32_t sw = r_.U32();
      if (r_.ok) SetSw(sw, GameMode == game_mode::kMainScript ? 1 : 0, true);
      break;
    }
    default:
      return std::nullopt;
  }
  return Flow::kNext;
}

}  // namespace adv_interp

void ResetScriptFirstRunFlag() { adv_interp::g_firstRun = true; }
