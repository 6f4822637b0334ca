#include "platform/model/x_model.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#include <cstring>

namespace plat {
namespace {

// Assimp's matrices are row-major for column vectors; ours are for row vectors.
void ToRowVector(const aiMatrix4x4& m, float* out) {
  const float* a = &m.a1;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out[r * 4 + c] = a[c * 4 + r];
}

uint32_t PackArgb(const aiColor4D& c) {
  auto ch = [](float v) -> uint32_t {
    v = v < 0 ? 0 : (v > 1 ? 1 : v);
    return static_cast<uint32_t>(v * 255.0f + 0.5f);
  };
  return ch(c.a) << 24 | ch(c.r) << 16 | ch(c.g) << 8 | ch(c.b);
}

bool ConvertMesh(const aiMesh* m, XMeshPart* part, std::string* error) {
  if (m->mNumVertices > 65535) {
    *error = "a mesh has more than 65535 vertices";
    return false;
  }
  part->material = m->mMaterialIndex;
  part->hasColors = m->HasVertexColors(0);
  part->vertices.resize(m->mNumVertices);
  for (unsigned i = 0; i < m->mNumVertices; ++i) {
    MeshVertex& v = part->vertices[i];
    v.x = m->mVertices[i].x, v.y = m->mVertices[i].y, v.z = m->mVertices[i].z;
    v.nx = v.ny = v.nz = 0;
    if (m->HasNormals()) v.nx = m->mNormals[i].x, v.ny = m->mNormals[i].y, v.nz = m->mNormals[i].z;
    v.argb = part->hasColors ? PackArgb(m->mColors[0][i]) : 0xFFFFFFFFu;
    v.u = v.v = 0;
    if (m->HasTextureCoords(0)) v.u = m->mTextureCoords[0][i].x, v.v = m->mTextureCoords[0][i].y;
  }
  for (unsigned f = 0; f < m->mNumFaces; ++f) {
    const aiFace& face = m->mFaces[f];
    if (face.mNumIndices != 3) continue;  // points and lines are not drawn
    for (int k = 0; k < 3; ++k) part->indices.push_back(static_cast<uint16_t>(face.mIndices[k]));
  }
  return true;
}

bool AddFrame(const aiScene* s, const aiNode* n, int parent, XModel* out, std::string* error) {
  const int index = static_cast<int>(out->frames.size());
  if (index > 4096) {
    *error = "too many frames";
    return false;
  }
  out->frames.emplace_back();
  {
    XFrame& f = out->frames.back();
    f.name = n->mName.C_Str();
    f.parent = parent;
    ToRowVector(n->mTransformation, f.transform);
    for (unsigned i = 0; i < n->mNumMeshes; ++i) {
      if (n->mMeshes[i] >= s->mNumMeshes) continue;
      XMeshPart part;
      if (!ConvertMesh(s->mMeshes[n->mMeshes[i]], &part, error)) return false;
      if (!part.indices.empty()) f.parts.push_back(std::move(part));
    }
  }
  if (parent >= 0) out->frames[parent].children.push_back(index);
  for (unsigned i = 0; i < n->mNumChildren; ++i)
    if (!AddFrame(s, n->mChildren[i], index, out, error)) return false;
  return true;
}

}  // namespace

bool LoadXModel(const uint8_t* data, size_t size, XModel* out, std::string* error) {
  *out = XModel{};
  if (!data || size < 16 || std::memcmp(data, "xof ", 4) != 0) {
    *error = "not an .x file";
    return false;
  }
  Assimp::Importer importer;
  // Fan triangulation, and the file's own handedness, winding and v-down texture coordinates.
  const aiScene* s =
      importer.ReadFileFromMemory(data, size, aiProcess_Triangulate | aiProcess_ConvertToLeftHanded, "x");
  if (!s || !s->mRootNode || (s->mFlags & AI_SCENE_FLAGS_INCOMPLETE)) {
    *error = importer.GetErrorString();
    if (error->empty()) *error = "the model could not be read";
    return false;
  }
  for (unsigned i = 0; i < s->mNumMaterials; ++i) {
    const aiMaterial* m = s->mMaterials[i];
    XMaterial x;
    aiString name, tex;
    if (m->Get(AI_MATKEY_NAME, name) == AI_SUCCESS) x.name = name.C_Str();
    aiColor4D c;
    if (m->Get(AI_MATKEY_COLOR_DIFFUSE, c) == AI_SUCCESS)
      x.diffuse[0] = c.r, x.diffuse[1] = c.g, x.diffuse[2] = c.b, x.diffuse[3] = c.a;
    m->Get(AI_MATKEY_SHININESS, x.power);
    aiColor3D c3;
    if (m->Get(AI_MATKEY_COLOR_SPECULAR, c3) == AI_SUCCESS)
      x.specular[0] = c3.r, x.specular[1] = c3.g, x.specular[2] = c3.b;
    if (m->Get(AI_MATKEY_COLOR_EMISSIVE, c3) == AI_SUCCESS)
      x.emissive[0] = c3.r, x.emissive[1] = c3.g, x.emissive[2] = c3.b;
    if (m->GetTexture(aiTextureType_DIFFUSE, 0, &tex) == AI_SUCCESS) x.textureFile = tex.C_Str();
    out->materials.push_back(x);
  }
  if (!AddFrame(s, s->mRootNode, -1, out, error)) return false;
  // A file without frames gets a made-up root holding its meshes.
  const std::string root = out->frames[0].name;
  out->hasFrames = !(root.rfind("$dummy", 0) == 0 && out->frames[0].children.empty());
  for (unsigned i = 0; i < s->mNumAnimations; ++i) {
    const aiAnimation* a = s->mAnimations[i];
    XAnimationSet set;
    set.name = a->mName.C_Str();
    set.ticksPerSecond = a->mTicksPerSecond > 0 ? a->mTicksPerSecond : 4800.0;
    set.durationTicks = a->mDuration;
    for (unsigned c = 0; c < a->mNumChannels; ++c) {
      const aiNodeAnim* ch = a->mChannels[c];
      XChannel x;
      x.frame = ch->mNodeName.C_Str();
      for (unsigned k = 0; k < ch->mNumPositionKeys; ++k) {
        const aiVectorKey& key = ch->mPositionKeys[k];
        x.position.push_back({key.mTime, {key.mValue.x, key.mValue.y, key.mValue.z}});
      }
      for (unsigned k = 0; k < ch->mNumScalingKeys; ++k) {
        const aiVectorKey& key = ch->mScalingKeys[k];
        x.scale.push_back({key.mTime, {key.mValue.x, key.mValue.y, key.mValue.z}});
      }
      for (unsigned k = 0; k < ch->mNumRotationKeys; ++k) {
        const aiQuatKey& key = ch->mRotationKeys[k];
        x.rotation.push_back({key.mTime, {key.mValue.w, key.mValue.x, key.mValue.y, key.mValue.z}});
      }
      set.channels.push_back(std::move(x));
    }
    out->animations.push_back(std::move(set));
  }
  return true;
}

}  // namespace plat
