// Characters, backgrounds, effect layers and movies.
#include "scenario/interp/adv_interp_internal.h"

#include <optional>
#include <string>
#include "core/game_file.h"
#include "scenario/adv_presenter.h"

using namespace v4fmt;

namespace adv_interp {

std::optional<Flow> Interp::Scene(unsigned op) {
  switch (op) {
    case kOpCharIn: {
      int32_t slot = Val(), x0 = Val(), y0 = Val(), x1 = Val(), y1 = Val(), t = Val();
      if (!r_.ok) break;
      if (AdvPresenter* p = EnsureAdvPresenter()) p->ShowChar(slot, x0, y0, x1, y1, static_cast<float>(t));
      return Yield();
    }
    case kOpCharOut:
    case kOpCharMove: {
      int32_t slot = Val(), x = Val(), y = Val(), t = Val();
      if (!r_.ok) break;
      if (AdvPresenter* p = GetAdvPresenter()) {
        if (op == kOpCharOut)
          p->HideChar(slot, x, y, static_cast<float>(t));
        else
          p->MoveChar(slot, x, y, static_cast<float>(t));
      }
      return Yield();
    }
    case kOpPlayMovie: {
      const char* file = r_.Str();
      if (!r_.ok) break;
      std::string path = std::string(GetModuleDir()) + file;
      if (AdvPresenter* p = EnsureAdvPresenter()) {
        p->SetAuto(false);
        p->SetSkip(false);
        p->SetFastForward(false);
        p->PlayMovie(path.c_str());
      }
      break;
    }
    case kOpCharLoad: {
      int32_t slot = Val();
      const char* name = r_.Str();
      int32_t pos = Val();
      if (!r_.ok) break;
      if (AdvPresenter* p = EnsureAdvPresenter()) p->LoadChar(slot, name, pos);
      break;
    }
    case kOpBGLoad: {
      const char* file = r_.Str();
      int32_t layer = Val(), flag = Val();
      if (!r_.ok) break;
      if (AdvPresenter* p = EnsureAdvPresenter()) p->LoadLayerImage(layer, file, flag == 1);
      return Yield();
    }
    case kOpFlip: {
      int32_t a = Val();
      const char* file = r_.Str();
      if (!r_.ok) break;
      if (AdvPresenter* p = EnsureAdvPresenter()) p->SwapBgPage(a, file);
      return Yield();
    }
    case kOpFlipRot: {
      int32_t a = Val(), b = Val(), c = Val();
      if (!r_.ok) break;
      if (AdvPresenter* p = GetAdvPresenter()) p->SwapBgPageRot(a, b, c);
      break;
    }
    case kOpEffectLoad: {
      const char* file = r_.Str();
      int32_t layer = Val(), flag = Val();
      if (!r_.ok) break;
      if (AdvPresenter* p = GetAdvPresenter()) p->LoadEffectLayer(layer, file, flag == 1);
      break;
    }
    case kOpEffectIn:
    case kOpEffectOut: {
      int32_t layer = Val(), a = Val();
      const char* pattern = r_.Str();
      if (!r_.ok) break;
      if (AdvPresenter* p = GetAdvPresenter()) {
        if (op == kOpEffectIn)
          p->EffectIn(layer, a, pattern);
        else
          p->EffectOut(layer, a, pattern);
      }
      break;
    }
    case kOpLensFlare: {
      int32_t x = Val(), y = Val(), a = Val(), b = Val(), c = Val();
      if (!r_.ok) break;
      if (AdvPresenter* p = GetAdvPresenter()) p->LensFlare(x, y, a, b, c);
      break;
    }
    case kOpZoom: {
      int32_t a = Val(), b = Val(), c = Val(), d = Val(), e = Val();
      if (!r_.ok) break;
      if (AdvPresenter* p = EnsureAdvPresenter()) p->Zoom(a, b, c, d, e);
      return Yield();
    }
    default:
      return std::nullopt;
  }
  return Flow::kNext;
}

}  // namespace adv_interp
