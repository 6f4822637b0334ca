// Leaving the script (main menu, event end, exit, strategy mode, paired ending), the play record's
// flags and the story settings.
#include "scenario/interp/adv_interp_internal.h"

#include <atomic>
#include <cstring>
#include <optional>
#include "core/app_state.h"
#include "platform/text/cp932.h"
#include "platform/text/log.h"
#include "scenario/adv_presenter.h"
#include "scenario/interp/adv_services.h"
#include "scenario/interp/adv_step.h"
#include "world/turn/unification.h"

using namespace v4fmt;

namespace adv_interp {

namespace {

bool IsWebUrl(const char* url) { return std::strncmp(url, "http://", 7) == 0 || std::strncmp(url, "https://", 8) == 0; }

}  // namespace

std::optional<Flow> Interp::Session(unsigned op) {
  AdvServices& svc = AdvSvc();
  switch (op) {
    case kOpMainMenu: {
      if (AdvPresenter* p = EnsureAdvPresenter()) p->SetFastForward(false);
      svc.StopAllSound();
      GameMode = game_mode::kIdle;
      s_.MarkSavePoint(0);
      return Yield();
    }
    case kOpEventEnd: {
      if (GameMode != game_mode::kEventScript) break;
      if (AdvPresenter* p = GetAdvPresenter()) p->SetFastForward(false);
      s_.SaveSystemSwitches();
      svc.StopAllSound();
      s_.ClearBacklog();
      if (s_.eventArgument == 0) EndAdvEvent();
      return Yield();
    }
    case kOpEventFlagOn: {
      uint32_t label = r_.U32();
      if (!r_.ok) break;
      if (label >= kLabelCount) {
        JumpLabel(label);  // reports the range
        break;
      }
      svc.UnlockOmakeSceneByLabel(static_cast<int32_t>(label));
      break;
    }
    case kOpCgFlagOn: {
      uint32_t w = r_.U32(), b = r_.U32();
      if (r_.ok) svc.SetCgFlag(w, b);
      break;
    }
    case kOpExit: {
      int32_t ask = Val();
      if (!r_.ok) break;
      g_QuitRequested.store(ask == 0 ? true : svc.ConfirmExit());
      return Yield();
    }
    case kOpSLGmode: {
      if (AdvPresenter* p = GetAdvPresenter()) p->SetFastForward(false);
      EnterSlgMode();
      s_.MarkSavePoint(0);
      return Yield();
    }
    case kOpSetShareFlg: {
      uint32_t i = r_.U32(), v = r_.U32();
      if (r_.ok) svc.SetShareFlag(i, v);
      break;
    }
    case kOpGetShareFlg: {
      uint32_t i = r_.U32(), sw = r_.U32();
      if (r_.ok) SetSw(sw, static_cast<int32_t>(svc.GetShareFlag(i)), true);
      break;
    }
    case kOpSetEnding:
      // Story flag A of the unification rules: positive lets a unified realm end with the story's
      // ending event.
      StoryFlagA = 1;
      break;
    case kOpBlockLabel: {
      const char* name = r_.Str();
      if (!r_.ok) break;
      size_t n = SjisCut(name, sizeof s_.blockLabel - 1);
      std::memset(s_.blockLabel, 0, sizeof s_.blockLabel);
      std::memcpy(s_.blockLabel, name, n);
      break;
    }
    case kOpSetScenarioRoute: {
      int32_t v = Val();
      if (r_.ok) svc.SetScenarioRoute(v);
      break;
    }
    case kOpSetScenarioHero: {
      Val();  // read and ignored
      int32_t v = Val();
      if (r_.ok) svc.SetScenarioHero(static_cast<uint16_t>(v));
      break;
    }
    case kOpPairEnding: {
      if (AdvPresenter* p = GetAdvPresenter()) p->SetFastForward(false);
      GameMode = game_mode::kPairedEnding;
      return Yield();
    }
    case kOpURLOpen: {
      const char* url = r_.Str();
      if (!r_.ok) break;
      if (AdvPresenter* p = GetAdvPresenter()) {
        p->SetFastForward(false);
        // Only web addresses are handed to the desktop; a script never opens local files.
        if (IsWebUrl(url))
          svc.OpenUrl(url);
        else
          plat::Log("script", "#URLOpen: not a web address: %s", plat::Cp932ToUtf8(url).c_str());
      }
      break;
    }
    default:
      return std::nullopt;
  }
  return Flow::kNext;
}

}  // namespace adv_interp
