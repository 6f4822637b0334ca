#include "ui/layout/layout_builder.h"

#include <cstring>

#include "formats/layout/layout_grammar.h"
#include "platform/text/cp932.h"
#include "platform/text/log.h"
#include "render/sprite.h"
#include "ui/layout/cv_script.h"
#include "ui/menus/menu_mgr.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_list.h"
#include "ui/widgets/menu_model.h"
#include "ui/widgets/menu_pbar.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/menu_window_group.h"
#include "ui/widgets/safe_format.h"

using v4fmt::LayoutInt;
using v4fmt::LayoutNear;

namespace {

constexpr size_t kMaxLayoutText = 255;  // names and texts taken from a layout
constexpr float kDegToRad = 0.0174532924f;

enum NodeKind { kGroup, kRoot, kWindow, kBtn, kText, kList, kSBar, kPBar, kWinGroup, kModel, kCopy, kCopyS, kKinds };
const char* const kKindWords[kKinds] = {"Group", "Root", "Window",   "Btn",   "Text", "List",
                                        "SBar",  "PBar", "WinGroup", "Model", "Copy", "CopyS"};

// Cuts text to at most max bytes without splitting a two-byte character; logs when it cuts.
std::string Bounded(const char* text, const std::string& where) {
  if (!text) return std::string();
  const size_t len = std::strlen(text);
  if (len <= kMaxLayoutText) return std::string(text, len);
  size_t end = 0;
  while (end < len) {
    const size_t step = plat::IsSjisLead(static_cast<unsigned char>(text[end])) && end + 1 < len ? 2 : 1;
    if (end + step > kMaxLayoutText) break;
    end += step;
  }
  plat::Log("layout", "%s: text longer than %zu bytes was cut", where.c_str(), kMaxLayoutText);
  return std::string(text, end);
}

struct SpriteDef {
  bool exists = false;
  std::string name;     // formatted with the pattern number when one is given
  std::string pattern;  // the unformatted name when a pattern number is given
  float width = 0.0f, height = 0.0f;
  int32_t columns = 1, rows = 1;
  FRect source{0, 0, 0, 0};
  bool flag = false;
};

class Builder {
 public:
  Builder(CVMenuMgr& mgr, const CVScript& script) : mgr_(mgr), s_(script) {}

  void Level(const std::string& prefix, CVMenuBase* parent) {
    for (int kind = 0; kind < kKinds; ++kind) {
      for (int32_t n = 0;; ++n) {
        const std::string name =
            (prefix.empty() ? std::string() : prefix + "/") + kKindWords[kind] + "#" + std::to_string(n);
        const std::string marker = kind < kCopy ? name + "/pos" : name;
        if (!s_.Find(marker.c_str())) break;
        CVMenuBase* made = Build(kind, n, name, parent);
        if (kind == kRoot) {
          Level(name, parent);
        } else if (kind < kCopy && made) {
          Level(name, made);
        }
      }
    }
  }

 private:
  float P(const std::string& node, const char* prop, int i, float def, uint8_t* type = nullptr,
          uint8_t* found = nullptr) const {
    return GetScriptParam(s_, (node + prop).c_str(), i, def, type, found);
  }
  int32_t I(const std::string& node, const char* prop, int i, int32_t def, uint8_t* type = nullptr) const {
    return LayoutInt(P(node, prop, i, static_cast<float>(def), type));
  }
  Vector3 V3(const std::string& node, const char* prop, float def) const {
    return Vector3(P(node, prop, 0, def), P(node, prop, 1, def), P(node, prop, 2, def));
  }

  SpriteDef ReadSpriteDef(float selector, int32_t number, int32_t pattern, const std::string& where) const {
    SpriteDef d;
    const std::string elem =
        std::string(LayoutNear(selector, 0.0f) ? "SpriteLocal" : "SpriteGlobal") + "/#" + std::to_string(number);
    const CVScriptElement* e = s_.Find(elem.c_str());
    if (!e) return d;
    d.exists = true;
    const std::string file = Bounded(e->GetString(0), where);
    d.width = e->GetParam(0, -1.0f);
    d.height = e->GetParam(1, -1.0f);
    d.columns = LayoutInt(e->GetParam(2, 1.0f));
    d.rows = LayoutInt(e->GetParam(3, 1.0f));
    float left = e->GetParam(4, -1.0f), top = e->GetParam(5, -1.0f);
    if (LayoutNear(left, -1.0f) && LayoutNear(top, -1.0f)) left = top = 0.0f;
    d.source = FRect(left, top, e->GetParam(6, d.width), e->GetParam(7, d.height));
    d.flag = !LayoutNear(e->GetParam(8, 0.0f), 0.0f);
    if (pattern != -1) {
      char buf[kMaxLayoutText + 1];
      SafeFormatInt(buf, sizeof buf, file.c_str(), pattern);
      d.name = buf;
      d.pattern = file;
    } else {
      d.name = file;
    }
    return d;
  }

  Color ColourOf(const std::string& node, float defaultAlpha, float* widgetAlpha) const {
    uint8_t found = 0;
    const float a = P(node, "/col", 3, 0.0f, nullptr, &found);
    if (widgetAlpha) *widgetAlpha = found ? a : 255.0f;
    return Color(P(node, "/col", 0, 255), P(node, "/col", 1, 255), P(node, "/col", 2, 255), found ? a : defaultAlpha);
  }

  CVMenuBase* Build(int kind, int32_t n, const std::string& name, CVMenuBase* parent) {
    switch (kind) {
      case kGroup: {
        CVMenuWindow* w = mgr_.CreateMenuWindow(parent, V3(name, "/pos", 0));
        w->SetOffset(P(name, "/offset", 0, 0), P(name, "/offset", 1, 0), P(name, "/offset", 2, 0));
        w->SetScale(P(name, "/scale", 0, 1), P(name, "/scale", 1, 1), 1.0f);
        LoadWidgetAnimation(w, name, s_);
        return w;
      }
      case kRoot:
        return nullptr;
      case kWindow:
      case kBtn:
        return BuildWindow(kind == kBtn, name, parent);
      case kText:
        return BuildText(name, parent);
      case kList:
        return mgr_.CreateMenuList(parent, V3(name, "/pos", 0), I(name, "/data_max", 0, 0), I(name, "/size_y", 0, 0));
      case kSBar: {
        const float l = P(name, "/rect", 0, -1), t = P(name, "/rect", 1, -1);
        const float r = P(name, "/rect", 2, -1), b = P(name, "/rect", 3, -1);
        return mgr_.CreateMenuSBar(parent, V3(name, "/pos", 0), I(name, "/type", 0, 0), FRect(l, t, r - l, b - t),
                                   I(name, "/num", 0, 10), LayoutNear(P(name, "/wheel", 0, 0), 0.0f) ? 0 : 1);
      }
      case kPBar:
        return mgr_.CreateMenuPBar(parent, V3(name, "/pos", 0), I(name, "/type", 0, 0),
                                   LayoutNear(P(name, "/wheel", 0, 0), 0.0f) ? 0 : 1, I(name, "/wheel", 1, 1));
      case kWinGroup: {
        CVMenuWindowGroup* g = mgr_.CreateMenuWindowGroup(parent, V3(name, "/pos", 0));
        for (int i = 0; i < 10; ++i) g->SetPatternEntry(i, I(name, "/table", i, i));
        g->SetPatternEntry(CVMenuWindowGroup::kMarkEntry, I(name, "/unit", 0, -1));
        g->SetPatternEntry(CVMenuWindowGroup::kMinusEntry, I(name, "/unit", 1, -1));
        g->SetMode(static_cast<uint16_t>(I(name, "/type", 0, 0)));
        uint8_t t0 = 0, t1 = 0;
        const int32_t count = I(name, "/num", 0, 0, &t0);
        const int32_t value = I(name, "/num", 1, 0, &t1);
        g->SetDigitCount(count, t0 == 1);
        g->SetValue(value, t1 == 1);
        LoadWidgetAnimation(g, name, s_);
        return g;
      }
      case kModel:
        return BuildModel(name, parent);
      case kCopy:
      case kCopyS:
        return BuildCopy(kind == kCopyS, n, name, parent);
      default:
        return nullptr;
    }
  }

  CVMenuBase* BuildWindow(bool button, const std::string& name, CVMenuBase* parent) {
    const Vector3 pos = V3(name, "/pos", 0);
    const int32_t firstId = button ? I(name, "/id", 0, 0) : 0;
    const int32_t secondId = button ? I(name, "/id", 1, -1) : -1;
    const float selector = P(name, "/sprite", 0, 0);
    const int32_t defNo = I(name, "/sprite", 1, -1);
    const int32_t initialState = I(name, "/sprite", 2, 0);
    const int32_t patternNo = I(name, "/sprite", 3, -1);
    SpriteDef def = ReadSpriteDef(selector, defNo, patternNo, name);
    float alpha = 255.0f;
    const Color colour = ColourOf(name, def.exists ? 255.0f : 0.0f, &alpha);
    int32_t states[5] = {0, 0, 0, 0, 0};
    if (button) {
      for (int i = 0; i < 5; ++i) states[i] = I(name, "/state", i, 0);
    }
    const float sizeW = P(name, "/size", 0, -1), sizeH = P(name, "/size", 1, -1);
    if (!LayoutNear(sizeW, -1.0f)) {
      def.width = sizeW;
      def.columns = 1;
    }
    if (!LayoutNear(sizeH, -1.0f)) {
      def.height = sizeH;
      def.rows = 1;
    }
    SpriteWindowParams p;
    const std::string loadName = LayoutNear(selector, 1.0f) ? def.name : std::string();
    p.pictureName = loadName.c_str();
    p.position = pos;
    p.colour = colour;
    p.alpha = alpha;
    p.width = def.width;
    p.height = def.height;
    p.columns = def.columns;
    p.rows = def.rows;
    p.rotation = V3(name, "/rot", 0);
    p.source = def.source;
    p.altLoader = def.flag;
    p.loadOnOpen = LayoutNear(selector, 0.0f);
    CVMenuWindow* w =
        button ? mgr_.CreateMenuButton(parent, firstId, secondId, p) : mgr_.CreateMenuSpriteWindow(parent, p);
    w->pictureName.Assign(def.name.c_str());
    w->SetNamePattern(def.pattern.c_str());
    auto* btn = button ? static_cast<CVMenuBtn*>(w) : nullptr;
    if (btn) btn->SetStatePatterns(states[0], states[1], states[2], states[3], states[4]);
    w->SetState(initialState, 0);
    w->SetScale(P(name, "/scale", 0, 1), P(name, "/scale", 1, 1), 1.0f);
    if (!button) w->SetOffset(P(name, "/offset", 0, 0), P(name, "/offset", 1, 0), P(name, "/offset", 2, 0));
    if (btn) {
      static const int32_t kSoundDefaults[5] = {-1, 0, -1, -1, -1};
      int32_t sounds[5];
      uint16_t mask = 0;
      for (int i = 0; i < 5; ++i) {
        uint8_t type = 0;
        sounds[i] = I(name, "/SE", i, kSoundDefaults[i], &type);
        if (type == 1) mask |= static_cast<uint16_t>(1u << i);
      }
      btn->SetStateSounds(sounds[0], sounds[1], sounds[2], sounds[3], sounds[4], mask);
    }
    LoadWidgetAnimation(w, name, s_);
    const int32_t effect = I(name, "/Effect", 0, -1);
    if (effect != -1) {
      if (w->TestFlag(kWfLoadOnOpen)) {
        w->effectId = effect;
      } else if (WidgetShader* shader = CreateWidgetShader(effect)) {
        w->AddShader(shader, false, 0);
      }
    }
    return w;
  }

  CVMenuBase* BuildText(const std::string& name, CVMenuBase* parent) {
    const std::string text = Bounded(GetScriptString(s_, (name + "/text").c_str(), 0), name);
    const std::string font = Bounded(GetScriptString(s_, (name + "/font").c_str(), 0), name);
    TextParams p;
    p.position = V3(name, "/pos", 0);
    p.width = P(name, "/area", 0, 0);
    p.height = P(name, "/area", 1, 0);
    float alpha = 255.0f;
    p.colour = ColourOf(name, 255.0f, &alpha);
    p.alpha = alpha;
    p.fontSize = I(name, "/size", 0, 24);
    p.lineSpacing = I(name, "/size", 1, 0);
    p.charSpacing = I(name, "/size", 2, 0);
    // A fourth "/size" number selects per-glyph drawing (glyph sheet, fades of appended text).
    p.perGlyph = I(name, "/size", 3, 0);
    p.text = text.c_str();
    p.shownChars = I(name, "/text", 0, 0);
    p.vertical = I(name, "/vert", 0, 0) != 0;
    p.alignH = I(name, "/align", 0, 0);
    p.alignV = I(name, "/align", 1, 0);
    p.fontName = font.c_str();
    p.frameValue = I(name, "/frame", 0, 0);
    p.frameColour = Color(P(name, "/frame", 1, 255), P(name, "/frame", 2, 255), P(name, "/frame", 3, 255),
                          P(name, "/frame", 4, 255));
    p.flag14 = false;
    CVMenuText* t = mgr_.CreateMenuText(parent, p);
    LoadWidgetAnimation(t, name, s_);
    return t;
  }

  CVMenuBase* BuildModel(const std::string& name, CVMenuBase* parent) {
    const float selector = P(name, "/sprite", 0, 0);
    const int32_t defNo = I(name, "/sprite", 1, -1);
    const int32_t patternNo = I(name, "/sprite", 3, -1);
    const Vector3 pos = V3(name, "/pos", 0);
    const Vector3 scale = V3(name, "/scale", 1);
    Vector3 rot = V3(name, "/rot", 0);
    rot = Vector3(rot.x * kDegToRad, rot.y * kDegToRad, rot.z * kDegToRad);
    float alpha = 255.0f;
    const Color colour = ColourOf(name, 255.0f, &alpha);
    const SpriteDef def = ReadSpriteDef(selector, defNo, patternNo, name);
    CVMenuModel* m = mgr_.CreateMenuModel(parent, def.name.c_str(), pos, scale, rot, colour, alpha);
    if (!m) return nullptr;
    m->modelName.Assign(def.name.c_str());
    m->namePattern.Assign(def.pattern.c_str());
    LoadWidgetAnimation(m, name, s_);
    return m;
  }

  CVMenuBase* BuildCopy(bool withSprite, int32_t n, const std::string& name, CVMenuBase* parent) {
    const CVScriptElement* e = s_.Find(name.c_str());
    const int32_t index = LayoutInt(e->GetParam(0, 0));
    CVMenuBase* source = nullptr;
    if (index >= 0) {
      CVListBase* node = parent ? parent->children.GetAt(index) : mgr_.Roots().GetAt(index);
      source = static_cast<CVMenuBase*>(node);
    }
    if (!source || source->widgetType == kWidgetRoot) {
      plat::Log("layout", "%s: no widget %d to copy; node skipped", name.c_str(), index);
      return nullptr;
    }
    CVMenuBase* copy = CopyWidgetTree(mgr_, source, parent);
    if (!copy) return nullptr;
    copy->SetPosXYZ(copy->position.x + e->GetParam(1, 0), copy->position.y + e->GetParam(2, 0),
                    copy->position.z + e->GetParam(3, 0));
    const int refBase = withSprite ? 7 : 4;
    if (withSprite) ApplySpriteSwap(copy, *e, name);
    for (int i = 0; i < 3; ++i) {
      uint8_t found = 0;
      const float v = e->GetParam(refBase + i, 0.0f, nullptr, &found);
      if (found) copy->SetRefParamTree(i, v);
    }
    const float idOffset = e->GetParam(refBase + 3, -1.0f);
    copy->OffsetButtonIds(LayoutNear(idOffset, -1.0f) ? n + 1 : LayoutInt(idOffset));
    copy->OffsetPatterns(LayoutInt(e->GetParam(refBase + 4, 0.0f)));
    return copy;
  }

  void ApplySpriteSwap(CVMenuBase* copy, const CVScriptElement& e, const std::string& name) {
    const float selector = e.GetParam(4, -1.0f);
    if ((copy->widgetType != kWidgetSprite && copy->widgetType != kWidgetBtn) || LayoutNear(selector, -1.0f)) return;
    auto* w = static_cast<CVMenuWindow*>(copy);
    const SpriteDef def =
        ReadSpriteDef(selector, LayoutInt(e.GetParam(5, 0.0f)), LayoutInt(e.GetParam(6, -1.0f)), name);
    if (!def.exists) {
      w->pictureName.Assign("");
      return;
    }
    const int32_t cols = def.columns < 1 ? 1 : def.columns, rows = def.rows < 1 ? 1 : def.rows;
    w->pictureName.Assign(def.name.c_str());
    w->SetNamePattern(def.pattern.c_str());
    w->SetColour(Color(255, 255, 255, 255));
    const float cw = def.width / static_cast<float>(cols), ch = def.height / static_cast<float>(rows);
    w->SetSize(cw, ch);
    w->size.z = 0.0f;
    w->vectorA = Vector3(cw, ch, 0.0f);
    w->flags.Set(kWfAltLoader, def.flag);
    const bool local = LayoutNear(selector, 0.0f);
    w->flags.Set(kWfLoadOnOpen, local);
    if (w->sprite) {
      w->sprite->Setup(w->pictureName.CStr(), w->position, Color(255, 255, 255, 255), def.width, def.height, cols, rows,
                       w->rotation.x, w->rotation.y, w->rotation.z, def.source.x, def.source.y, def.source.width,
                       def.source.height, def.flag, false, !local);
    }
  }

  CVMenuMgr& mgr_;
  const CVScript& s_;
};

void CopyCommon(CVMenuBase* copy, CVMenuBase* source) {
  copy->SetScale(source->scale.x, source->scale.y, source->scale.z);
  copy->offset = source->offset;
  copy->CopyShadersFrom(source);
  copy->CopyAnimeFrom(source);
  for (int i = 0; i < 5; ++i) copy->stateAnimes[i] = source->stateAnimes[i];
  copy->CopyRefParamsFrom(source);
}

SpriteWindowParams WindowParamsOf(const CVMenuWindow* src) {
  SpriteWindowParams p;
  p.pictureName = src->pictureName.CStr();
  p.position = src->position;
  p.colour = src->colour;
  p.alpha = src->alpha;
  if (const CVSprite* s = src->sprite) {
    p.width = s->width * static_cast<float>(s->columns);
    p.height = s->height * static_cast<float>(s->rows);
    p.columns = s->columns;
    p.rows = s->rows;
    p.source = FRect(s->uvLeft, s->uvTop, s->cellWidth * static_cast<float>(s->columns),
                     s->cellHeight * static_cast<float>(s->rows));
  } else {
    p.width = src->size.x;
    p.height = src->size.y;
  }
  p.rotation = src->rotation;
  p.altLoader = src->TestFlag(kWfAltLoader);
  p.loadOnOpen = src->TestFlag(kWfLoadOnOpen);
  return p;
}

}  // namespace

CVMenuBase* CopyWidgetTree(CVMenuMgr& mgr, CVMenuBase* source, CVMenuBase* parent) {
  if (!source) return nullptr;
  CVMenuBase* copy = nullptr;
  switch (source->widgetType) {
    case kWidgetWindow:
      copy = mgr.CreateMenuWindow(parent, source->position);
      break;
    case kWidgetSprite: {
      auto* src = static_cast<CVMenuWindow*>(source);
      CVMenuWindow* w = mgr.CreateMenuSpriteWindow(parent, WindowParamsOf(src));
      w->SetState(src->GetState(), 0);
      w->SetNamePattern(src->namePattern.CStr());
      copy = w;
      break;
    }
    case kWidgetBtn: {
      auto* src = static_cast<CVMenuBtn*>(source);
      CVMenuBtn* b = mgr.CreateMenuButton(parent, src->firstId, src->secondId, WindowParamsOf(src));
      b->SetState(src->GetState(), 0);
      b->SetNamePattern(src->namePattern.CStr());
      b->SetStatePatterns(src->statePatterns[0], src->statePatterns[1], src->statePatterns[2], src->statePatterns[3],
                          src->statePatterns[4]);
      b->SetStateSounds(src->stateSounds[0], src->stateSounds[1], src->stateSounds[2], src->stateSounds[3],
                        src->stateSounds[4], src->soundRefMask);
      copy = b;
      break;
    }
    case kWidgetText: {
      auto* src = static_cast<CVMenuText*>(source);
      TextParams p;
      p.fontName = src->fontName.CStr();
      p.fontSize = src->fontSize;
      p.lineSpacing = src->layoutValues[0];
      p.charSpacing = src->layoutValues[1];
      p.perGlyph = src->layoutValues[2];
      p.text = src->Text() ? src->Text() : "";
      p.position = src->position;
      p.width = src->size.x;
      p.height = src->size.y;
      p.colour = src->colour;
      p.alpha = src->alpha;
      p.shownChars = src->shownChars;
      p.alignH = src->alignH;
      p.alignV = src->alignV;
      p.vertical = src->TestFlag(kWfAltLoader);
      p.frameValue = src->frameValue;
      p.frameColour = src->frameColour;
      p.flag14 = src->TestFlag(kWfMirrorX);
      copy = mgr.CreateMenuText(parent, p);
      break;
    }
    case kWidgetList: {
      auto* src = static_cast<CVMenuList*>(source);
      copy = mgr.CreateMenuList(parent, src->position, src->itemCount, src->visibleRows);
      break;
    }
    case kWidgetSBar: {
      auto* src = static_cast<CVMenuSBar*>(source);
      float t[4] = {-1.0f, 0, 0, 0};
      if (src->areaGiven) src->GetTrackRect(t);
      copy = mgr.CreateMenuSBar(parent, src->position, src->orientation, FRect(t[0], t[1], t[2], t[3]), src->maximum,
                                src->wheelNeedsPointer ? 0 : 1);
      break;
    }
    case kWidgetPBar: {
      auto* src = static_cast<CVMenuPBar*>(source);
      copy = mgr.CreateMenuPBar(parent, src->position, src->settings[0], src->settings[1], src->settings[2]);
      break;
    }
    case kWidgetGroup: {
      auto* src = static_cast<CVMenuWindowGroup*>(source);
      CVMenuWindowGroup* g = mgr.CreateMenuWindowGroup(parent, src->position);
      src->CopySettingsTo(g);
      copy = g;
      break;
    }
    case kWidgetModel: {
      auto* src = static_cast<CVMenuModel*>(source);
      copy = mgr.CreateMenuModel(parent, src->modelName.CStr(), src->position, src->scale, src->rotation, src->colour,
                                 src->alpha);
      if (copy) static_cast<CVMenuModel*>(copy)->namePattern.Assign(src->namePattern.CStr());
      break;
    }
    default:
      return nullptr;  // a root is never copied
  }
  if (!copy) return nullptr;
  CopyCommon(copy, source);
  ForEachChild(source, [&](CVMenuBase* child) { CopyWidgetTree(mgr, child, copy); });
  return copy;
}

void LoadWidgetAnimation(CVMenuBase* w, const std::string& node, const CVScript& s) {
  if (!w) return;
  auto P = [&](const char* prop, int i, float def, uint8_t* type = nullptr, uint8_t* found = nullptr) {
    return GetScriptParam(s, (node + prop).c_str(), i, def, type, found);
  };
  w->ResetAnime(0.0f, 0.0f);
  const Vector3 half(w->size.x * 0.5f, w->size.y * 0.5f, w->size.z * 0.5f);
  w->SetScaleBase(P("/AnimeSBase", 0, half.x), P("/AnimeSBase", 1, half.y));
  w->scalePivot.z = P("/AnimeSBase", 2, half.z);
  w->SetRotBase(P("/AnimeRBase", 0, half.x), P("/AnimeRBase", 1, half.y));
  w->rotPivot.z = P("/AnimeRBase", 2, half.z);

  static const char* const kWords[16] = {"Move",    "MoveD",  "MoveDA",  "Rot",   "RotD",   "RotDA",
                                         "Scale",   "ScaleD", "ScaleDA", "Color", "ColorD", "ColorDA",
                                         "Pattern", "Wait",   "Shader",  "Close"};
  for (int kind = 0; kind < 16; ++kind) {
    for (int k = 0;; ++k) {
      const std::string elem = node + "/Anime" + kWords[kind] + "#" + std::to_string(k);
      const CVScriptElement* e = s.Find(elem.c_str());
      const int32_t number = e ? LayoutInt(e->GetParam(0, 0.0f)) : 0;
      if (number == 0) break;
      const uint32_t n = static_cast<uint32_t>(number);
      // Values 1.. with their reference flags: bit i for value i, bit 4 for the duration.
      float v[8];
      uint8_t types[8];
      auto read = [&](int count, const float* defs) {
        for (int i = 0; i < count; ++i) {
          types[i] = 0;
          v[i] = e->GetParam(i + 1, defs[i], &types[i]);
        }
      };
      auto mask = [&](int values, int durIndex) {
        uint8_t m = 0;
        for (int i = 0; i < values; ++i) m |= static_cast<uint8_t>((types[i] == 1) << i);
        if (types[durIndex] == 1) m |= 1u << 4;
        return m;
      };
      auto u16 = [](float f) { return static_cast<uint16_t>(LayoutInt(f)); };
      static const float kZero[8] = {0, 0, 0, 0, 0, 0, 0, 0};
      static const float kScale[8] = {100, 100, 100, 0, 0, 0, 0, 0};
      if (kind <= 5) {  // Move, Rot: x y z dur with next
        read(6, kZero);
        const uint8_t m = mask(3, 3);
        const uint16_t with = u16(v[4]), next = u16(v[5]);
        switch (kind) {
          case 0:
            w->AddAnimeMove(n, v[0], v[1], v[2], v[3], with, next, m);
            break;
          case 1:
            w->AddAnimeMoveD(n, v[0], v[1], v[2], v[3], with, next, m);
            break;
          case 2:
            w->AddAnimeMoveDA(n, v[0], v[1], v[2], v[3], with, next, m);
            break;
          case 3:
            w->AddAnimeRot(n, v[0], v[1], v[2], v[3], with, next, m);
            break;
          case 4:
            w->AddAnimeRotD(n, v[0], v[1], v[2], v[3], with, next, m);
            break;
          default:
            w->AddAnimeRotDA(n, v[0], v[1], v[2], v[3], with, next, m);
            break;
        }
      } else if (kind <= 8) {  // Scale in percent, references included
        read(6, kScale);
        const uint8_t m = mask(3, 3);
        const float x = v[0] / 100.0f, y = v[1] / 100.0f, z = v[2] / 100.0f;
        const uint16_t with = u16(v[4]), next = u16(v[5]);
        switch (kind) {
          case 6:
            w->AddAnimeScale(n, x, y, z, v[3], with, next, m);
            break;
          case 7:
            w->AddAnimeScaleD(n, x, y, z, v[3], with, next, m);
            break;
          default:
            w->AddAnimeScaleDA(n, x, y, z, v[3], with, next, m);
            break;
        }
      } else if (kind <= 11) {  // Color: r g b a dur with next
        read(7, kZero);
        const uint8_t m = mask(4, 4);
        const uint16_t with = u16(v[5]), next = u16(v[6]);
        switch (kind) {
          case 9:
            w->AddAnimeColor(n, v[0], v[1], v[2], v[3], v[4], with, next, m);
            break;
          case 10:
            w->AddAnimeColorD(n, v[0], v[1], v[2], v[3], v[4], with, next, m);
            break;
          default:
            w->AddAnimeColorDA(n, v[0], v[1], v[2], v[3], v[4], with, next, m);
            break;
        }
      } else if (kind == 12) {  // Pattern: last dur with next
        read(4, kZero);
        w->AddAnimePattern(n, LayoutInt(v[0]), v[1], u16(v[2]), u16(v[3]), mask(1, 1));
      } else if (kind == 13) {  // Wait: dur with next
        read(3, kZero);
        w->AddAnimeWait(n, v[0], u16(v[1]), u16(v[2]), types[0] == 1 ? (1u << 4) : 0);
      } else if (kind == 14) {  // Shader: p0 p1 p2 dur with next
        read(6, kZero);
        w->AddAnimeShader(n, v[0], v[1], v[2], v[3], u16(v[4]), u16(v[5]), mask(3, 3));
      } else {
        w->AddAnimeClose(n);
      }
    }
  }
  w->SetRefParams(P("/RefParam", 0, 0), P("/RefParam", 1, 0), P("/RefParam", 2, 0));
  for (int i = 0; i < 5; ++i) w->stateAnimes[i] = LayoutInt(P("/AnimeState", i, -1));
  w->ClearAnimeQueue();
  const int32_t start = LayoutInt(P("/AnimeStart", 0, 0));
  if (start != 0) {
    w->PlayAnime(start);
    w->SetFlagAll(kWfAnimRunning, true);
  }
}

void BuildLayoutTree(CVMenuMgr& mgr, const CVScript& script, CVMenuBase* parent) {
  Builder(mgr, script).Level(std::string(), parent);
}

bool LoadLayoutDefinition(CVMenuMgr& mgr, const FixedPath& file, CVMenuBase* parent) {
  CVScript script;
  if (!script.Load(file.CStr())) return false;
  BuildLayoutTree(mgr, script, parent);
  return true;
}

void InstallLayoutBuilder() { GetMenuMgr().SetDefinitionLoader(&LoadLayoutDefinition); }
