// Jumps, conditions, calls, timed waits and #End.
#include "scenario/interp/adv_interp_internal.h"

#include <optional>
#include <vector>
#include "core/app_state.h"
#include "core/error_box.h"
#include "platform/text/log.h"

using namespace v4fmt;

namespace adv_interp {

std::optional<Flow> Interp::Control(unsigned op) {
  switch (op) {
    case kOpGosub: {
      uint32_t offset = r_.U32();
      if (!r_.ok) break;
      if (offset > kMaxJumpOffset || offset >= s_.bytecodeSize) {
        JumpOffset(offset);  // reports
        break;
      }
      if (s_.ScriptGosub(r_.pos)) r_.pos = offset;
      break;
    }
    case kOpGoto: {
      uint32_t label = r_.U32();
      if (r_.ok) JumpLabel(label);
      break;
    }
    case kOpIf: {
      bool c = Cond();
      if (r_.ok && c) SkipNext();
      break;
    }
    case kOpWait: {
      int32_t ms = Val();
      if (!r_.ok) break;
      s_.waitRemaining = ms > 0 ? static_cast<uint32_t>(ms) : 0;
      s_.waitJumpLabel = -1;
      return Yield();
    }
    case kOpSwGoto: {
      uint32_t sw = r_.U32();
      uint32_t n = r_.U32();
      std::vector<uint32_t> labels;
      if (!List32(n, labels)) break;
      int32_t v = GetSw(sw);
      if (v >= 0 && static_cast<uint32_t>(v) < n) {
        JumpLabel(labels[static_cast<size_t>(v)]);
      } else {
        char text[128];
        std::snprintf(text, sizeof text, "値(%d)が、分岐先範囲(0～%d)外です", v, static_cast<int>(n) - 1);
        ShowErrorMessageBox(text, "SwGoto:パラメーターエラー");
      }
      break;
    }
    case kOpSubEnd: {
      int64_t ret = s_.ScriptReturn();
      if (ret < 0) {
        plat::Log("script", "return without a call at line %u", s_.lineNumber);
        g_QuitRequested.store(true);
        return Yield();
      }
      r_.pos = static_cast<uint32_t>(ret);
      break;
    }
    case kOpComJump: {
      uint32_t offset = r_.U32();
      if (r_.ok) JumpOffset(offset);
      break;
    }
    case kOpEnd:
      s_.pc = start_;  // stays on #End
      return Flow::kEnd;
    case kOpIfGoto: {
      bool c = Cond();
      if (r_.ok && !c) SkipNext();
      break;
    }
    case kOpIfGotoOnce: {
      uint32_t sw = r_.U32();
      bool c = Cond();
      if (!r_.ok) break;
      if (!c || GetSw(sw) == 1) {
        SkipNext();
      } else {
        SetSw(sw, 1, false);
      }
      break;
    }
    case kOpWaitDraw:
      return Yield();
    case kOpWaitInputJump: {
      int32_t ms = Val();
      uint32_t label = r_.U32();
      if (!r_.ok) break;
      s_.waitRemaining = ms > 0 ? static_cast<uint32_t>(ms) : 0;
      if (label < kLabelCount) {
        s_.waitJumpLabel = static_cast<int32_t>(label);
      } else {
        JumpLabel(label);  // reports; the wait then runs without its jump
        s_.waitJumpLabel = -1;
      }
      return Yield();
    }
    default:
      return std::nullopt;
  }
  return Flow::kNext;
}

}  // namespace adv_interp
