// v4data model build <description.json> <out.x> [--animation <name>] [--tint r,g,b]: writes a
//   text ".x" model from a readable description: materials, a tree of frames holding simple shapes
//   (box, quad, pyramid), and animation sets of keyed frames (only the named one with --animation;
//   the program plays the first set of a file). --tint multiplies the colour of every shape marked
//   "tint": true, so one description gives the figures of both sides and every unit kind.
// v4data model boarddef <texture name> <model file> <w%> <h%> <offset x%> <offset y%> <out>:
//   writes the board definition that names the 3-D board model.
// v4data model info <file.x>: frames, meshes, materials and animation sets (with their lengths)
//   as the program's loader reads them.
//
// Description: {"ticksPerSecond": 4800,
//   "materials": [{"name", "diffuse": [r,g,b,a], "power", "specular": [r,g,b], "emissive": [r,g,b],
//                  "texture": "file.png"}],
//   "frames": [{"name", "translate": [x,y,z], "rotate": [x,y,z] (degrees, x then y then z),
//               "scale": [x,y,z], "shapes": [{"type": "box"|"quad"|"pyramid", "size": [w,h,d],
//               "center": [x,y,z], "material": i, "color": [r,g,b,a]}], "children": [...]}],
//   "animations": [{"name", "length": ticks, "keys": [{"frame", "time", "translate", "rotate",
//                   "scale"}]}]}
// Animated frames get rotation, scale and position keys; a frame's values between keys are the
// loader's to interpolate. Missing values of a key are those of the frame itself.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "command.h"
#include "tool_io.h"
#include "platform/model/x_model.h"

namespace {

using nlohmann::json;

struct V3 {
  float x = 0, y = 0, z = 0;
};

V3 Vec(const json& j, const char* key, V3 def) {
  if (!j.contains(key) || !j[key].is_array() || j[key].size() != 3) return def;
  return V3{j[key][0].get<float>(), j[key][1].get<float>(), j[key][2].get<float>()};
}

std::string F(float v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.6f", static_cast<double>(v));
  return b;
}

// Row-vector matrix of scale, then rotation x, y, z (degrees), then translation.
void Compose(V3 s, V3 rDeg, V3 t, float* m) {
  const float k = 3.14159265358979f / 180.0f;
  const float cx = std::cos(rDeg.x * k), sx = std::sin(rDeg.x * k);
  const float cy = std::cos(rDeg.y * k), sy = std::sin(rDeg.y * k);
  const float cz = std::cos(rDeg.z * k), sz = std::sin(rDeg.z * k);
  const float rx[9] = {1, 0, 0, 0, cx, sx, 0, -sx, cx};
  const float ry[9] = {cy, 0, -sy, 0, 1, 0, sy, 0, cy};
  const float rz[9] = {cz, sz, 0, -sz, cz, 0, 0, 0, 1};
  float a[9], r[9];
  auto mul = [](const float* p, const float* q, float* o) {
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) o[i * 3 + j] = p[i * 3] * q[j] + p[i * 3 + 1] * q[3 + j] + p[i * 3 + 2] * q[6 + j];
  };
  mul(rx, ry, a);
  mul(a, rz, r);
  const float sc[3] = {s.x, s.y, s.z};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) m[i * 4 + j] = sc[i] * r[i * 3 + j];
    m[i * 4 + 3] = 0;
  }
  m[12] = t.x, m[13] = t.y, m[14] = t.z, m[15] = 1;
}

// Quaternion (w, x, y, z) of the rotation x, then y, then z (degrees) as the loader reads keys.
void Quaternion(V3 rDeg, float* q) {
  float m[16];
  Compose(V3{1, 1, 1}, rDeg, V3{}, m);
  // The row-vector matrix of q is the transpose of the usual column-vector one.
  const float r00 = m[0], r11 = m[5], r22 = m[10];
  const float c01 = m[4], c10 = m[1], c02 = m[8], c20 = m[2], c12 = m[9], c21 = m[6];
  const float tr = r00 + r11 + r22;
  if (tr > 0) {
    const float s = std::sqrt(tr + 1.0f) * 2;
    q[0] = 0.25f * s, q[1] = (c21 - c12) / s, q[2] = (c02 - c20) / s, q[3] = (c10 - c01) / s;
  } else if (r00 > r11 && r00 > r22) {
    const float s = std::sqrt(1.0f + r00 - r11 - r22) * 2;
    q[0] = (c21 - c12) / s, q[1] = 0.25f * s, q[2] = (c01 + c10) / s, q[3] = (c02 + c20) / s;
  } else if (r11 > r22) {
    const float s = std::sqrt(1.0f + r11 - r00 - r22) * 2;
    q[0] = (c02 - c20) / s, q[1] = (c01 + c10) / s, q[2] = 0.25f * s, q[3] = (c12 + c21) / s;
  } else {
    const float s = std::sqrt(1.0f + r22 - r00 - r11) * 2;
    q[0] = (c10 - c01) / s, q[1] = (c02 + c20) / s, q[2] = (c12 + c21) / s, q[3] = 0.25f * s;
  }
}

struct Vertex {
  V3 p, n;
  float u, v;
};
struct Shape {
  std::vector<Vertex> v;
  std::vector<std::vector<int>> faces;  // quads or triangles
};

void AddFace(Shape& s, const std::vector<V3>& corners, V3 n, const std::vector<std::pair<float, float>>& uv) {
  std::vector<int> f;
  for (size_t i = 0; i < corners.size(); ++i) {
    f.push_back(static_cast<int>(s.v.size()));
    s.v.push_back(Vertex{corners[i], n, uv[i].first, uv[i].second});
  }
  s.faces.push_back(f);
}

// Faces are wound clockwise seen from outside (the file's convention).
bool MakeShape(const json& j, Shape* s, std::string* error) {
  const std::string type = j.value("type", "");
  const V3 size = Vec(j, "size", V3{1, 1, 1}), c = Vec(j, "center", V3{});
  const float hx = size.x / 2, hy = size.y / 2, hz = size.z / 2;
  auto P = [&](float x, float y, float z) { return V3{c.x + x, c.y + y, c.z + z}; };
  const std::vector<std::pair<float, float>> quv = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  if (type == "quad") {
    // In the xy plane facing -z (towards a viewer at negative z), texture top at +y.
    AddFace(*s, {P(-hx, hy, 0), P(hx, hy, 0), P(hx, -hy, 0), P(-hx, -hy, 0)}, V3{0, 0, -1}, quv);
  } else if (type == "box") {
    AddFace(*s, {P(-hx, hy, -hz), P(hx, hy, -hz), P(hx, -hy, -hz), P(-hx, -hy, -hz)}, V3{0, 0, -1}, quv);
    AddFace(*s, {P(hx, hy, hz), P(-hx, hy, hz), P(-hx, -hy, hz), P(hx, -hy, hz)}, V3{0, 0, 1}, quv);
    AddFace(*s, {P(-hx, hy, hz), P(-hx, hy, -hz), P(-hx, -hy, -hz), P(-hx, -hy, hz)}, V3{-1, 0, 0}, quv);
    AddFace(*s, {P(hx, hy, -hz), P(hx, hy, hz), P(hx, -hy, hz), P(hx, -hy, -hz)}, V3{1, 0, 0}, quv);
    AddFace(*s, {P(-hx, hy, hz), P(hx, hy, hz), P(hx, hy, -hz), P(-hx, hy, -hz)}, V3{0, 1, 0}, quv);
    AddFace(*s, {P(-hx, -hy, -hz), P(hx, -hy, -hz), P(hx, -hy, hz), P(-hx, -hy, hz)}, V3{0, -1, 0}, quv);
  } else if (type == "pyramid") {
    // Base of size x by z at -hy, apex at +hy.
    const V3 apex = P(0, hy, 0);
    const std::vector<std::pair<float, float>> tuv = {{0.5f, 0}, {1, 1}, {0, 1}};
    AddFace(*s, {apex, P(hx, -hy, -hz), P(-hx, -hy, -hz)}, V3{0, 0.5f, -1}, tuv);
    AddFace(*s, {apex, P(hx, -hy, hz), P(hx, -hy, -hz)}, V3{1, 0.5f, 0}, tuv);
    AddFace(*s, {apex, P(-hx, -hy, hz), P(hx, -hy, hz)}, V3{0, 0.5f, 1}, tuv);
    AddFace(*s, {apex, P(-hx, -hy, -hz), P(-hx, -hy, hz)}, V3{-1, 0.5f, 0}, tuv);
    AddFace(*s, {P(-hx, -hy, -hz), P(hx, -hy, -hz), P(hx, -hy, hz), P(-hx, -hy, hz)}, V3{0, -1, 0}, quv);
  } else {
    *error = "unknown shape type \"" + type + "\"";
    return false;
  }
  return true;
}

struct Writer {
  std::ostringstream o;
  float tint[3] = {1, 1, 1};
  std::string error;
  size_t materialCount = 0;
  int meshes = 0;

  void Indent(int d) { o << std::string(static_cast<size_t>(d) * 2, ' '); }

  bool Mesh(const json& frame, int d) {
    const json& shapes = frame["shapes"];
    Shape all;
    std::vector<int> faceMaterial;
    std::vector<std::array<float, 4>> colors;
    for (const json& sj : shapes) {
      Shape s;
      if (!MakeShape(sj, &s, &error)) return false;
      const int mat = sj.value("material", 0);
      if (mat < 0 || static_cast<size_t>(mat) >= materialCount) {
        error = "shape material out of range";
        return false;
      }
      std::array<float, 4> col{1, 1, 1, 1};
      if (sj.contains("color") && sj["color"].is_array() && sj["color"].size() == 4)
        for (int k = 0; k < 4; ++k) col[k] = sj["color"][k].get<float>();
      if (sj.value("tint", false))
        for (int k = 0; k < 3; ++k) col[k] = std::clamp(col[k] * tint[k], 0.0f, 1.0f);
      const int base = static_cast<int>(all.v.size());
      for (const Vertex& v : s.v) {
        all.v.push_back(v);
        colors.push_back(col);
      }
      for (auto f : s.faces) {
        for (int& i : f) i += base;
        all.faces.push_back(f);
        faceMaterial.push_back(mat);
      }
    }
    const std::string name = frame.value("name", "Frame") + "Mesh";
    Indent(d), o << "Mesh " << name << " {\n";
    Indent(d + 1), o << all.v.size() << ";\n";
    for (size_t i = 0; i < all.v.size(); ++i) {
      const V3& p = all.v[i].p;
      Indent(d + 1), o << F(p.x) << ";" << F(p.y) << ";" << F(p.z) << ";" << (i + 1 < all.v.size() ? "," : ";") << "\n";
    }
    Indent(d + 1), o << all.faces.size() << ";\n";
    for (size_t i = 0; i < all.faces.size(); ++i) {
      Indent(d + 1), o << all.faces[i].size() << ";";
      for (size_t k = 0; k < all.faces[i].size(); ++k) o << all.faces[i][k] << (k + 1 < all.faces[i].size() ? "," : "");
      o << ";" << (i + 1 < all.faces.size() ? "," : ";") << "\n";
    }
    Indent(d + 1), o << "MeshNormals {\n";
    Indent(d + 2), o << all.v.size() << ";\n";
    for (size_t i = 0; i < all.v.size(); ++i) {
      V3 n = all.v[i].n;
      const float len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
      if (len > 0) n = V3{n.x / len, n.y / len, n.z / len};
      Indent(d + 2), o << F(n.x) << ";" << F(n.y) << ";" << F(n.z) << ";" << (i + 1 < all.v.size() ? "," : ";") << "\n";
    }
    Indent(d + 2), o << all.faces.size() << ";\n";
    for (size_t i = 0; i < all.faces.size(); ++i) {
      Indent(d + 2), o << all.faces[i].size() << ";";
      for (size_t k = 0; k < all.faces[i].size(); ++k) o << all.faces[i][k] << (k + 1 < all.faces[i].size() ? "," : "");
      o << ";" << (i + 1 < all.faces.size() ? "," : ";") << "\n";
    }
    Indent(d + 1), o << "}\n";
    Indent(d + 1), o << "MeshTextureCoords {\n";
    Indent(d + 2), o << all.v.size() << ";\n";
    for (size_t i = 0; i < all.v.size(); ++i)
      Indent(d + 2), o << F(all.v[i].u) << ";" << F(all.v[i].v) << ";" << (i + 1 < all.v.size() ? "," : ";") << "\n";
    Indent(d + 1), o << "}\n";
    Indent(d + 1), o << "MeshVertexColors {\n";
    Indent(d + 2), o << all.v.size() << ";\n";
    for (size_t i = 0; i < all.v.size(); ++i)
      Indent(d + 2), o << i << ";" << F(colors[i][0]) << ";" << F(colors[i][1]) << ";" << F(colors[i][2]) << ";"
                       << F(colors[i][3]) << ";;" << (i + 1 < all.v.size() ? "," : ";") << "\n";
    Indent(d + 1), o << "}\n";
    Indent(d + 1), o << "MeshMaterialList {\n";
    Indent(d + 2), o << materialCount << ";\n";
    Indent(d + 2), o << faceMaterial.size() << ";\n";
    for (size_t i = 0; i < faceMaterial.size(); ++i)
      Indent(d + 2), o << faceMaterial[i] << (i + 1 < faceMaterial.size() ? "," : ";") << "\n";
    for (size_t i = 0; i < materialCount; ++i) Indent(d + 2), o << "{Material" << i << "}\n";
    Indent(d + 1), o << "}\n";
    Indent(d), o << "}\n";
    ++meshes;
    return true;
  }

  bool Frame(const json& f, int d) {
    if (!f.is_object() || !f.contains("name") || !f["name"].is_string()) {
      error = "every frame needs a name";
      return false;
    }
    float m[16];
    Compose(Vec(f, "scale", V3{1, 1, 1}), Vec(f, "rotate", V3{}), Vec(f, "translate", V3{}), m);
    Indent(d), o << "Frame " << f["name"].get<std::string>() << " {\n";
    Indent(d + 1), o << "FrameTransformMatrix {\n";
    Indent(d + 2);
    for (int i = 0; i < 16; ++i) o << F(m[i]) << (i < 15 ? "," : ";;\n");
    Indent(d + 1), o << "}\n";
    if (f.contains("shapes") && f["shapes"].is_array() && !f["shapes"].empty() && !Mesh(f, d + 1)) return false;
    if (f.contains("children"))
      for (const json& c : f["children"])
        if (!Frame(c, d + 1)) return false;
    Indent(d), o << "}\n";
    return true;
  }
};

void CollectFrames(const json& f, std::map<std::string, const json*>* out) {
  if (!f.is_object()) return;
  if (f.contains("name") && f["name"].is_string()) (*out)[f["name"].get<std::string>()] = &f;
  if (f.contains("children"))
    for (const json& c : f["children"]) CollectFrames(c, out);
}

int Build(const std::string& src, const std::string& dst, const std::string& only, const float* tint) {
  std::string text;
  if (!ReadToolText("model", src, text)) return 1;
  const json d = json::parse(text, nullptr, false);
  if (d.is_discarded() || !d.is_object() || !d.contains("frames") || !d["frames"].is_array()) {
    std::fprintf(stderr, "model: %s is not a model description\n", src.c_str());
    return 1;
  }
  Writer w;
  for (int k = 0; k < 3; ++k) w.tint[k] = tint[k];
  w.o << "xof 0303txt 0032\n\n";
  const json mats = d.value("materials", json::array());
  w.materialCount = mats.size();
  if (w.materialCount == 0) {
    std::fprintf(stderr, "model: %s has no materials\n", src.c_str());
    return 1;
  }
  for (size_t i = 0; i < mats.size(); ++i) {
    const json& m = mats[i];
    auto arr = [&](const char* k, size_t n, float def) {
      std::vector<float> v(n, def);
      if (m.contains(k) && m[k].is_array() && m[k].size() == n)
        for (size_t a = 0; a < n; ++a) v[a] = m[k][a].get<float>();
      return v;
    };
    const auto diffuse = arr("diffuse", 4, 1.0f), specular = arr("specular", 3, 0.0f), emis = arr("emissive", 3, 0.0f);
    w.o << "Material Material" << i << " {\n  " << F(diffuse[0]) << ";" << F(diffuse[1]) << ";" << F(diffuse[2]) << ";"
        << F(diffuse[3]) << ";;\n  " << F(m.value("power", 0.0f)) << ";\n  " << F(specular[0]) << ";" << F(specular[1])
        << ";" << F(specular[2]) << ";;\n  " << F(emis[0]) << ";" << F(emis[1]) << ";" << F(emis[2]) << ";;\n";
    if (m.contains("texture") && m["texture"].is_string())
      w.o << "  TextureFilename {\n    \"" << m["texture"].get<std::string>() << "\";\n  }\n";
    w.o << "}\n\n";
  }
  std::map<std::string, const json*> frames;
  for (const json& f : d["frames"]) {
    if (!w.Frame(f, 0)) {
      std::fprintf(stderr, "model: %s: %s\n", src.c_str(), w.error.c_str());
      return 1;
    }
    CollectFrames(f, &frames);
  }
  if (!only.empty()) {
    bool found = false;
    for (const json& a : d.value("animations", json::array())) found = found || a.value("name", "") == only;
    if (!found) {
      std::fprintf(stderr, "model: %s has no animation \"%s\"\n", src.c_str(), only.c_str());
      return 1;
    }
  }
  if (d.contains("animations") && !d["animations"].empty()) {
    w.o << "\nAnimTicksPerSecond {\n  " << d.value("ticksPerSecond", 4800) << ";\n}\n";
    for (const json& a : d["animations"]) {
      if (!only.empty() && a.value("name", "") != only) continue;
      std::map<std::string, std::vector<const json*>> byFrame;
      if (!a.is_object() || !a.contains("keys") || !a["keys"].is_array()) {
        std::fprintf(stderr, "model: %s: an animation needs its keys\n", src.c_str());
        return 1;
      }
      for (const json& k : a["keys"]) byFrame[k.value("frame", "")].push_back(&k);
      w.o << "\nAnimationSet " << a.value("name", "Anim") << " {\n";
      for (auto& [name, keys] : byFrame) {
        auto it = frames.find(name);
        if (it == frames.end()) {
          std::fprintf(stderr, "model: %s: key for unknown frame \"%s\"\n", src.c_str(), name.c_str());
          return 1;
        }
        const json& f = *it->second;
        std::stable_sort(keys.begin(), keys.end(),
                         [](const json* x, const json* y) { return x->value("time", 0) < y->value("time", 0); });
        w.o << "  Animation {\n    {" << name << "}\n";
        for (int type : {0, 1, 2}) {
          w.o << "    AnimationKey {\n      " << type << ";\n      " << keys.size() << ";\n";
          for (size_t i = 0; i < keys.size(); ++i) {
            const json& k = *keys[i];
            w.o << "      " << k.value("time", 0) << ";";
            if (type == 0) {
              float q[4];
              Quaternion(Vec(k, "rotate", Vec(f, "rotate", V3{})), q);
              w.o << "4;" << F(q[0]) << "," << F(q[1]) << "," << F(q[2]) << "," << F(q[3]);
            } else {
              const V3 v = type == 1 ? Vec(k, "scale", Vec(f, "scale", V3{1, 1, 1}))
                                     : Vec(k, "translate", Vec(f, "translate", V3{}));
              w.o << "3;" << F(v.x) << "," << F(v.y) << "," << F(v.z);
            }
            w.o << ";;" << (i + 1 < keys.size() ? "," : ";") << "\n";
          }
          w.o << "    }\n";
        }
        w.o << "  }\n";
      }
      w.o << "}\n";
    }
  }
  std::ofstream out(dst, std::ios::binary);
  out << w.o.str();
  if (!out) {
    std::fprintf(stderr, "model: cannot write %s\n", dst.c_str());
    return 1;
  }
  return 0;
}

void PrintFrame(const plat::XModel& m, int i, int depth) {
  const plat::XFrame& f = m.frames[i];
  std::printf("%*sframe %s\n", depth * 2 + 2, "", f.name.c_str());
  for (const plat::XMeshPart& p : f.parts)
    std::printf("%*smesh: %zu vertices, %zu triangles, material %u\n", depth * 2 + 4, "", p.vertices.size(),
                p.indices.size() / 3, p.material);
  for (int c : f.children) PrintFrame(m, c, depth + 1);
}

int Info(const std::string& path) {
  // The one whole-file reader: folders, pipes, devices and oversized files are refused.
  std::vector<uint8_t> bytes;
  if (!ReadToolInput("model", path, bytes)) return 1;
  plat::XModel m;
  std::string error;
  if (!plat::LoadXModel(bytes.data(), bytes.size(), &m, &error)) {
    std::fprintf(stderr, "model: %s: %s\n", path.c_str(), error.c_str());
    return 1;
  }
  size_t meshes = 0;
  for (const plat::XFrame& f : m.frames) meshes += f.parts.size();
  std::printf("%s: %zu frames%s, %zu meshes, %zu materials, %zu animation sets\n", path.c_str(),
              m.hasFrames ? m.frames.size() : 0, m.hasFrames ? "" : " (static mesh)", meshes, m.materials.size(),
              m.animations.size());
  PrintFrame(m, 0, 0);
  for (size_t i = 0; i < m.materials.size(); ++i) {
    const plat::XMaterial& x = m.materials[i];
    std::printf("  material %zu %s: diffuse %.3f %.3f %.3f %.3f, texture \"%s\"\n", i, x.name.c_str(), x.diffuse[0],
                x.diffuse[1], x.diffuse[2], x.diffuse[3], x.textureFile.c_str());
  }
  for (const plat::XAnimationSet& a : m.animations)
    std::printf("  animation %s: %.0f ticks at %.0f per second = %.3f s, %zu animated frames\n", a.name.c_str(),
                a.durationTicks, a.ticksPerSecond, a.ticksPerSecond > 0 ? a.durationTicks / a.ticksPerSecond : 0.0,
                a.channels.size());
  return 0;
}

// The 64-byte board definition: texture name (16), model file (32), then width, height and the
// two offsets in percent (u32, little-endian).
int BoardDef(const std::vector<std::string>& a) {
  if (a[1].size() > 15 || a[2].size() > 31) {
    std::fprintf(stderr, "model: boarddef names are at most 15 and 31 bytes\n");
    return 1;
  }
  uint8_t b[64] = {};
  std::memcpy(b, a[1].data(), a[1].size());
  std::memcpy(b + 16, a[2].data(), a[2].size());
  for (int i = 0; i < 4; ++i) {
    const uint32_t v = static_cast<uint32_t>(std::stoul(a[3 + i]));
    for (int k = 0; k < 4; ++k) b[48 + 4 * i + k] = static_cast<uint8_t>(v >> (8 * k));
  }
  std::ofstream out(a[7], std::ios::binary);
  out.write(reinterpret_cast<const char*>(b), sizeof b);
  return out ? 0 : 1;
}

int RunModel(const std::vector<std::string>& args) {
  if (args.size() == 8 && args[0] == "boarddef") return BoardDef(args);
  if (args.size() >= 3 && args[0] == "build") {
    std::string only;
    float tint[3] = {1, 1, 1};
    bool ok = true;
    for (size_t i = 3; ok && i < args.size(); i += 2) {
      if (i + 1 >= args.size()) {
        ok = false;
      } else if (args[i] == "--animation") {
        only = args[i + 1];
      } else if (args[i] == "--tint") {
        ok = std::sscanf(args[i + 1].c_str(), "%f,%f,%f", &tint[0], &tint[1], &tint[2]) == 3;
      } else {
        ok = false;
      }
    }
    if (ok) return Build(args[1], args[2], only, tint);
  }
  if (args.size() == 2 && args[0] == "info") return Info(args[1]);
  std::fprintf(
      stderr,
      "usage: v4data model build <description.json> <out.x> [--animation <name>] [--tint r,g,b] |\n"
      "       model info <file.x> |\n"
      "       model boarddef <texture name> <model file> <width%%> <height%%> <offset x%%> <offset y%%> <out>\n");
  return 2;
}

const V4Command kCmd{"model", "build <description.json> <out.x> | info <file.x>   .x models", &RunModel};

}  // namespace
