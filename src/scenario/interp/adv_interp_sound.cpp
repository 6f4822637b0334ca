// Music, voices and sound effects.
#include "scenario/interp/adv_interp_internal.h"

#include <cstring>
#include <optional>
#include "scenario/adv_presenter.h"
#include "scenario/interp/adv_services.h"

using namespace v4fmt;

namespace adv_interp {

namespace {

// Stop fades: speed -(t + 1), kept within the fade speeds that end in silence.
int32_t StopSpeed(uint32_t t) { return -static_cast<int32_t>(t >= 3 ? 4 : t + 1); }

}  // namespace

std::optional<Flow> Interp::Sound(unsigned op) {
  AdvServices& svc = AdvSvc();
  switch (op) {
    case kOpBgmStart:
    case kOpBgmStartLoop: {
      int32_t fade = Val();
      const char* file = r_.Str();
      const char* file2 = r_.Str();
      int32_t loop = Val();
      if (!r_.ok) break;
      AdvPresenter* p = EnsureAdvPresenter();
      if (p && !p->IsFastForward()) svc.PlayMusic(file, *file2 ? file2 : nullptr, loop, fade);
      break;
    }
    case kOpBgmStop: {
      uint32_t t = r_.U32();
      if (!r_.ok) break;
      svc.FadeOutChannel(0, StopSpeed(t));
      svc.ClearChannelFileName(0);
      break;
    }
    case kOpVoiceStart:
    case kOpVS_SL: {
      uint32_t sw = r_.U32();
      const char* file = r_.Str();
      int32_t param = Val();
      if (!r_.ok) break;
      AdvVoiceRecord v;
      size_t n = SjisCut(file, sizeof v.fileName - 1);
      std::memcpy(v.fileName, file, n);
      v.number = GetSw(sw);
      v.param = param;
      s_.pendingVoice = v;
      s_.voicePending = 1;
      break;
    }
    case kOpVoiceStop: {
      uint32_t t = r_.U32();
      if (r_.ok) svc.FadeOutChannel(2, StopSpeed(t));
      break;
    }
    case kOpSeStart:
    case kOpSeStartLoop: {
      int32_t slot = Val();
      const char* file = r_.Str();
      int32_t volume = Val();
      uint32_t a = r_.U32();
      uint32_t loop = r_.U32();
      if (!r_.ok) break;
      AdvPresenter* p = EnsureAdvPresenter();
      if (!p || p->IsFastForward()) break;
      if (slot < 0 || slot > 3) {
        char text[64];
        std::snprintf(text, sizeof text, "効果音スロット(%d)が範囲(0～3)外です", slot);
        Report(text);
        break;
      }
      int64_t level = static_cast<int64_t>(volume) * 10000 / 3840;
      if (level > 10000) level = 10000;
      if (level < -10000) level = -10000;
      svc.PlayEffect(slot + 3, file, static_cast<int32_t>(loop), static_cast<int32_t>(a + 1 > 4 ? 4 : a + 1),
                     static_cast<int32_t>(level));
      break;
    }
    case kOpSeStop: {
      int32_t slot = Val();
      uint32_t t = r_.U32();
      if (r_.ok && slot >= 0 && slot <= 3) svc.FadeOutChannel(slot + 3, StopSpeed(t));
      break;
    }
    default:
      return std::nullopt;
  }
  return Flow::kNext;
}

}  // namespace adv_interp
