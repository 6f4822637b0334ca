// Sprites.
#include "scenario/interp/adv_interp_internal.h"

#include <cstring>
#include <optional>
#include "scenario/adv_presenter.h"

using namespace v4fmt;

namespace adv_interp {

std::optional<Flow> Interp::Sprite(unsigned op) {
  AdvPresenter* p = GetAdvPresenter();
  AdvPresenter none;
  AdvPresenter& w = p ? *p : none;
  auto variant = [](unsigned o, unsigned plain, unsigned d) {
    return o == plain ? AdvTweenVariant::kPlain : o == d ? AdvTweenVariant::kD : AdvTweenVariant::kDA;
  };
  switch (op) {
    case kOpSetSprite: {
      int32_t id = Val(), v = Val();
      if (r_.ok) w.SetSprite(id, v);
      break;
    }
    case kOpSetSpriteFlg: {
      const char* flag = r_.Str();
      int32_t v = Val();
      if (!r_.ok) break;
      if (std::strcmp(flag, "AddBlend") == 0)
        w.SetAddBlend(v != 0);
      else if (std::strcmp(flag, "WaitCheck") == 0)
        w.SetWaitCheck(v != 0);
      break;
    }
    case kOpSpriteAnimeClear: {
      int32_t id = Val(), v = Val();
      if (r_.ok) w.SpriteAnimeClear(id, v);
      break;
    }
    case kOpSpriteAnimeMove:
    case kOpSpriteAnimeMoveD:
    case kOpSpriteAnimeMoveDA: {
      int32_t id = Val();
      float x = ValF(), y = ValF(), z = ValF();
      int32_t time = Val(), flag = Val();
      if (r_.ok) w.SpriteAnimeMove(variant(op, kOpSpriteAnimeMove, kOpSpriteAnimeMoveD), id, x, y, z, time, flag);
      break;
    }
    case kOpSpriteAnimeRot:
    case kOpSpriteAnimeRotD:
    case kOpSpriteAnimeRotDA: {
      int32_t id = Val();
      float a = ValF(), b = ValF(), c = ValF(), d = ValF();
      int32_t time = Val(), flag = Val();
      if (r_.ok) w.SpriteAnimeRot(variant(op, kOpSpriteAnimeRot, kOpSpriteAnimeRotD), id, a, b, c, d, time, flag);
      break;
    }
    case kOpSpriteAnimeScale:
    case kOpSpriteAnimeScaleD:
    case kOpSpriteAnimeScaleDA: {
      int32_t id = Val();
      float x = ValF() / 100.0f, y = ValF() / 100.0f, z = ValF();
      int32_t time = Val(), flag = Val();
      if (r_.ok) w.SpriteAnimeScale(variant(op, kOpSpriteAnimeScale, kOpSpriteAnimeScaleD), id, x, y, z, time, flag);
      break;
    }
    case kOpSpriteAnimeColor:
    case kOpSpriteAnimeColorD:
    case kOpSpriteAnimeColorDA: {
      int32_t id = Val();
      float c1 = ValF(), c2 = ValF(), c3 = ValF(), c4 = ValF(), c5 = ValF();
      int32_t time = Val(), flag = Val();
      if (r_.ok)
        w.SpriteAnimeColor(variant(op, kOpSpriteAnimeColor, kOpSpriteAnimeColorD), id, c2, c3, c4, c1, c5, time, flag);
      break;
    }
    case kOpSpriteAnimeWait: {
      int32_t id = Val();
      float t = ValF();
      int32_t a = Val(), b = Val();
      if (r_.ok) w.SpriteAnimeWait(id, t, a, b);
      break;
    }
    case kOpSpriteAnimeParts: {
      int32_t id = Val(), a = Val();
      float t = ValF();
      int32_t b = Val(), c = Val();
      if (r_.ok) w.SpriteAnimeParts(id, a, t, b, c);
      break;
    }
    case kOpSpriteCut: {
      int32_t id = Val(), a = Val();
      float wd = ValF(), h = ValF();
      if (r_.ok) w.SpriteCut(id, a, wd, h);
      break;
    }
    case kOpSetSpriteImg: {
      const char* file = r_.Str();
      if (r_.ok) w.SetSpriteImg(file);
      break;
    }
    case kOpSpriteAnimeStart: {
      int32_t id = Val();
      if (r_.ok) w.SpriteAnimeStart(id);
      break;
    }
    case kOpStartSpriteMovie: {
      int32_t on = Val();
      if (r_.ok) w.StartSpriteMovie(on != 0);
      break;
    }
    default:
      return std::nullopt;
  }
  return Flow::kNext;
}

}  // namespace adv_interp
