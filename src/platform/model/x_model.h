// ".x" models (text and binary) read through Assimp into plain structures: frames with their
// local matrices (row-major, row vectors, as the file writes them), mesh parts of one material
// each, materials, and animation sets of keyed frames. Positions, winding and texture coordinates
// are kept as the file has them (a left-handed, v-down convention).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gl/gfx_device.h"

namespace plat {

struct XMaterial {
  std::string name;
  float diffuse[4] = {1, 1, 1, 1};  // r, g, b, a
  float power = 0;
  float specular[3] = {0, 0, 0};
  float emissive[3] = {0, 0, 0};
  std::string textureFile;  // as the file gives it, empty when none
};

// Triangles of one material; 16-bit indices into its own vertices.
struct XMeshPart {
  uint32_t material = 0;
  bool hasColors = false;  // vertex colours from the file (else the vertices are white)
  std::vector<MeshVertex> vertices;
  std::vector<uint16_t> indices;
};

struct XFrame {
  std::string name;
  float transform[16];  // local, row-major, row vectors
  int parent = -1;
  std::vector<int> children;
  std::vector<XMeshPart> parts;
};

struct XVectorKey {
  double time;  // ticks
  float v[3];
};
struct XQuatKey {
  double time;
  float q[4];  // w, x, y, z
};
struct XChannel {
  std::string frame;
  std::vector<XVectorKey> position, scale;
  std::vector<XQuatKey> rotation;
};
struct XAnimationSet {
  std::string name;
  double ticksPerSecond = 4800;
  double durationTicks = 0;
  std::vector<XChannel> channels;
};

struct XModel {
  // frames[0] is the root. Without any Frame in the file the root is a made-up frame that only
  // carries the meshes, and hasFrames is false.
  std::vector<XFrame> frames;
  bool hasFrames = false;
  std::vector<XMaterial> materials;
  std::vector<XAnimationSet> animations;
};

// False with a message for anything that is not a readable .x model (or has a mesh part too big
// for 16-bit indices).
bool LoadXModel(const uint8_t* data, size_t size, XModel* out, std::string* error);

}  // namespace plat
