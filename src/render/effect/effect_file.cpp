#include "render/effect/effect_file.h"

#include <cstdlib>
#include <sstream>

int EffectParam::Components() const {
  switch (type) {
    case EffectParamType::Float2:
      return 2;
    case EffectParamType::Float4:
      return 4;
    case EffectParamType::Matrix:
      return 16;
    default:
      return 1;
  }
}

const EffectParam* EffectDesc::FindParam(const std::string& name) const {
  for (const EffectParam& p : params)
    if (p.name == name) return &p;
  return nullptr;
}

const EffectTechnique* EffectDesc::FindTechnique(const std::string& name) const {
  for (const EffectTechnique& t : techniques)
    if (t.name == name) return &t;
  return nullptr;
}

namespace {

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> w;
  std::istringstream in(line);
  std::string s;
  while (in >> s) {
    if (s.rfind("//", 0) == 0) break;
    w.push_back(s);
  }
  return w;
}

bool IsIdentifier(const std::string& s) {
  if (s.empty() || s.size() > 63 || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

bool ParseType(const std::string& s, EffectParamType* t) {
  static const struct {
    const char* name;
    EffectParamType type;
  } kTypes[] = {{"float", EffectParamType::Float},   {"float2", EffectParamType::Float2},
                {"float4", EffectParamType::Float4}, {"int", EffectParamType::Int},
                {"matrix", EffectParamType::Matrix}, {"texture", EffectParamType::Texture}};
  for (const auto& k : kTypes)
    if (s == k.name) {
      *t = k.type;
      return true;
    }
  return false;
}

bool ParseBlend(const std::string& s, uint8_t* f) {
  // Order of plat::BlendFactor.
  static const char* kNames[] = {"zero", "one", "srcalpha", "invsrcalpha"};
  for (uint8_t i = 0; i < 4; ++i)
    if (s == kNames[i]) {
      *f = i;
      return true;
    }
  return false;
}

const char* GlslType(EffectParamType t) {
  switch (t) {
    case EffectParamType::Float:
      return "float";
    case EffectParamType::Float2:
      return "vec2";
    case EffectParamType::Float4:
      return "vec4";
    case EffectParamType::Int:
      return "int";
    case EffectParamType::Matrix:
      return "mat4";
    case EffectParamType::Texture:
      return "sampler2D";
  }
  return "float";
}

std::string Declarations(const EffectDesc& d) {
  std::string s;
  for (const EffectParam& p : d.params) {
    s += "uniform ";
    s += GlslType(p.type);
    s += " " + p.name;
    if (p.count > 1) s += "[" + std::to_string(p.count) + "]";
    s += ";\n";
  }
  return s;
}

}  // namespace

bool ParseEffectFile(const char* text, size_t size, EffectDesc* out, std::string* error) {
  *out = EffectDesc{};
  if (!text) {
    *error = "no text";
    return false;
  }
  std::istringstream in(std::string(text, size));
  std::string line;
  int lineNo = 0;
  auto fail = [&](const std::string& what) {
    *error = "line " + std::to_string(lineNo) + ": " + what;
    return false;
  };
  bool header = false;
  EffectTechnique* tech = nullptr;
  EffectPass* pass = nullptr;
  // Reads a block "<<<" ... ">>>" that follows a keyword.
  auto block = [&](std::string* dst) -> bool {
    while (std::getline(in, line)) {
      ++lineNo;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.find_first_not_of(" \t") != std::string::npos && Words(line) == std::vector<std::string>{">>>"})
        return true;
      *dst += line + "\n";
    }
    return false;
  };
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> w = Words(line);
    if (w.empty()) continue;
    const std::string& k = w[0];
    if (!header) {
      if (w.size() != 2 || k != "cfx" || w[1] != "1") return fail("the file must start with \"cfx 1\"");
      header = true;
      continue;
    }
    if (k == "param") {
      if (tech) return fail("parameters come before the techniques");
      if (w.size() != 3) return fail("param <type> <name>[<count>]");
      EffectParam p;
      if (!ParseType(w[1], &p.type)) return fail("unknown type " + w[1]);
      std::string name = w[2];
      const size_t br = name.find('[');
      if (br != std::string::npos) {
        if (name.back() != ']') return fail("bad array size");
        const int n = std::atoi(name.substr(br + 1, name.size() - br - 2).c_str());
        if (n < 1 || n > 64 || p.type == EffectParamType::Texture || p.type == EffectParamType::Matrix)
          return fail("bad array size");
        p.count = n;
        name = name.substr(0, br);
      }
      if (!IsIdentifier(name) || name == "Tex0" || name == "uM") return fail("bad parameter name " + name);
      if (out->FindParam(name)) return fail("parameter " + name + " declared twice");
      p.name = name;
      out->params.push_back(p);
    } else if (k == "common") {
      if (w.size() != 2 || w[1] != "<<<") return fail("common <<<");
      if (!block(&out->common)) return fail("unterminated block");
    } else if (k == "technique") {
      if (w.size() != 2 || !IsIdentifier(w[1])) return fail("technique <name>");
      if (out->FindTechnique(w[1])) return fail("technique " + w[1] + " declared twice");
      out->techniques.push_back(EffectTechnique{w[1], {}});
      tech = &out->techniques.back();
      pass = nullptr;
    } else if (k == "pass") {
      if (!tech) return fail("pass outside a technique");
      if (w.size() != 2 || !IsIdentifier(w[1])) return fail("pass <name>");
      if (tech->passes.size() >= 8) return fail("too many passes");
      tech->passes.push_back(EffectPass{});
      pass = &tech->passes.back();
      pass->name = w[1];
    } else if (!pass) {
      return fail("unexpected " + k);
    } else if (k == "vertex" || k == "fragment") {
      if (w.size() != 2 || w[1] != "<<<") return fail(k + " <<<");
      std::string* dst = k == "vertex" ? &pass->vertex : &pass->fragment;
      if (!dst->empty()) return fail(k + " given twice");
      if (!block(dst)) return fail("unterminated block");
    } else if (k == "blend") {
      if (w.size() != 3 || !ParseBlend(w[1], &pass->blendSrc) || !ParseBlend(w[2], &pass->blendDst))
        return fail("blend <zero|one|srcalpha|invsrcalpha> <...>");
      pass->setsBlend = true;
    } else if (k == "zenable") {
      if (w.size() != 2 || (w[1] != "on" && w[1] != "off")) return fail("zenable on|off");
      pass->zEnable = w[1] == "on" ? 1 : 0;
    } else if (k == "sampler") {
      if (w.size() != 4) return fail("sampler <texture> point|linear clamp|wrap");
      EffectSampler s;
      s.texture = w[1];
      const EffectParam* p = out->FindParam(s.texture);
      if (s.texture != "Tex0" && (!p || p->type != EffectParamType::Texture))
        return fail(s.texture + " is not a texture parameter");
      if (w[2] != "point" && w[2] != "linear") return fail("filter point|linear");
      if (w[3] != "clamp" && w[3] != "wrap") return fail("address clamp|wrap");
      s.linear = w[2] == "linear";
      s.wrap = w[3] == "wrap";
      pass->samplers.push_back(s);
    } else {
      return fail("unknown keyword " + k);
    }
  }
  if (!header) return fail("empty file");
  if (out->techniques.empty()) return fail("no technique");
  for (const EffectTechnique& t : out->techniques) {
    if (t.passes.empty()) return fail("technique " + t.name + " has no pass");
    for (const EffectPass& p : t.passes)
      if (p.fragment.empty()) return fail("pass " + p.name + " has no fragment stage");
  }
  int textures = 0;
  for (const EffectParam& p : out->params)
    if (p.type == EffectParamType::Texture) ++textures;
  if (textures > 7) return fail("more than 7 texture parameters");
  return true;
}

std::string BuildFragmentSource(const EffectDesc& desc, const EffectPass& pass) {
  return "#version 330 core\nin vec4 vColor;\nin vec2 vUv;\nout vec4 oColor;\nuniform sampler2D Tex0;\n" +
         Declarations(desc) + desc.common + "#line 1\n" + pass.fragment;
}

std::string BuildVertexSource(const EffectDesc& desc, const EffectPass& pass) {
  if (pass.vertex.empty()) return std::string();
  return "#version 330 core\nlayout(location = 0) in vec3 aPos;\nlayout(location = 1) in vec4 aColor;\n"
         "layout(location = 2) in vec2 aUv;\nuniform mat4 uM;\nout vec4 vColor;\nout vec2 vUv;\n" +
         Declarations(desc) + desc.common + "#line 1\n" + pass.vertex;
}
