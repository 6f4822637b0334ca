// The model renderer: one ".x" model with its materials, textures, frame hierarchy and keyed
// animation. With frames the hierarchy is drawn frame by frame in depth order; a file without
// frames is drawn as one static mesh, material by material, farthest-reaching first.
#pragma once
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "core/vmath.h"
#include "platform/gl/gfx_device.h"
#include "render/dg_base.h"

namespace plat {
struct XModel;
struct XAnimationSet;
}  // namespace plat
class CDGFileLoad;

struct ModelMaterial {
  float diffuse[4] = {1, 1, 1, 1};
  float ambient[4] = {1, 1, 1, 1};  // made equal to the diffuse colour
  float specular[3] = {0, 0, 0};
  float emissive[3] = {0, 0, 0};
  float power = 0;
  std::string textureFile;
};

// One material's triangles on the device; the vertices are kept for the depth extents.
struct ModelSubset {
  plat::MeshId mesh = 0;
  int indexCount = 0;
  std::vector<plat::MeshVertex> vertices;
  std::vector<uint16_t> indices;
};

struct ModelMeshContainer {
  std::string name;
  std::vector<ModelMaterial> materials;  // material j of the container
  std::vector<ModelSubset> subsets;      // its triangles
};

struct ModelFrame {
  std::string name;
  Matrix44 transformation;  // local
  Matrix44 bindPose;        // local as loaded (before any animation)
  Matrix44 combined;
  std::unique_ptr<ModelMeshContainer> meshContainer;
  ModelFrame* sibling = nullptr;     // owned by the parent (or the renderer for the root)
  ModelFrame* firstChild = nullptr;  // owned
  float minZ = 0, maxZ = 0;
  std::vector<CDGTexture*> textures;  // one reference each
  std::vector<CDGEffect*> effects;    // one reference each, null unless assigned
};

struct MaterialOrderEntry {
  float key = 0;
  uint32_t index = 0;
  std::string textureName;
};

// Frames, mesh containers and their release.
class CDGAllocateHierarchy {
 public:
  ModelFrame* CreateFrame(const char* name);
  ModelMeshContainer* CreateMeshContainer(const char* name);
  void DestroyFrame(ModelFrame* frame);
};

// Combined matrices under a base world matrix, and the frames with meshes in draw order.
class CDGWorldMatrixStack {
 public:
  virtual ~CDGWorldMatrixStack() = default;
  void SetWorldMatrix(const Matrix44& m) { base_ = m; }
  void Build(ModelFrame* root);
  // Mode 0 by minimum z, 1 by maximum z; ascending unless `descending`; stable.
  void Sort(int mode, bool descending);
  const std::list<ModelFrame*>& DrawList() const { return drawList_; }

 private:
  void Walk(ModelFrame* frame);
  Matrix44 base_;
  std::vector<const Matrix44*> stack_;
  std::list<ModelFrame*> drawList_;
};

// Keyed animation sets driving the frames' local matrices. Track 0 plays set 0.
class ModelAnimController {
 public:
  ModelAnimController(std::vector<plat::XAnimationSet> sets, ModelFrame* root);
  ~ModelAnimController();
  int NumAnimationSets() const;
  // Length of set i in seconds (0 when it has no keys).
  double Period(int set) const;
  void SetTrackSpeed(float speed) { speed_ = speed; }
  float TrackSpeed() const { return speed_; }
  void ResetTime();
  double Time() const { return time_; }
  // Advances by dt (scaled by the track speed) and poses the frames; sets loop.
  void AdvanceTime(double dt);

 private:
  void Pose();
  std::vector<plat::XAnimationSet> sets_;
  std::vector<std::pair<int, ModelFrame*>> bindings_;  // channel of set 0 -> frame
  double time_ = 0;
  float speed_ = 1;
};

class CDGModelRenderer : public CDGRendererBase {
 public:
  explicit CDGModelRenderer(CDGManager* manager);

  // Reads the loader's bytes; afterwards a model exists or not (HasModel). A parse failure is
  // logged with the file name.
  void LoadModel(CDGFileLoad* loader);
  bool HasModel() const { return root_ != nullptr || staticCount_ > 0; }
  void RestartAnimation(bool loop);
  virtual void UpdateWorldMatrix();
  void SetTextureAll(CDGTexture* texture);
  Matrix44* GetWorldMatrix() { return &world_; }
  // Gives the materials whose texture name is `name` the effects round-robin; the texture of the
  // last such material, or null.
  CDGTexture* ReplaceTexture(const char* name, const std::vector<CDGEffect*>& effects);
  void ReleaseModel();
  // Material i (and every frame subset drawn with its old texture) shows the texture instead.
  void SetMaterialTexture(uint32_t i, CDGTexture* texture);

  void Update(float elapsedMs) override;
  void Draw(bool first, bool notFirst, bool notLast) override;
  void Render() override;
  float GetSortKey() override { return sortKey_; }
  void ReleaseResources() override;
  void OnManagerGone() override;

  void SetPosition(const Vector3& p) { position_ = p; }
  void SetScale(const Vector3& s) { scale_ = s; }
  void SetRotation(const Vector3& r) { rotation_ = r; }

  bool IsPlaying() const { return (flags_ & 1) != 0; }
  bool IsLooping() const { return (flags_ & 2) != 0; }
  float AnimationTime() const { return time_; }
  ModelFrame* RootFrame() const { return root_; }
  ModelAnimController* Controller() const { return controller_.get(); }
  const CDGWorldMatrixStack& Stack() const { return stack_; }
  uint32_t MaterialCount() const { return materialCount_; }
  const std::vector<ModelMaterial>& StaticMaterials() const { return staticMaterials_; }
  const std::vector<std::string>& TextureNames() const { return textureNames_; }
  const std::vector<CDGTexture*>& MaterialTextures() const { return materialTextures_; }
  const std::vector<CDGEffect*>& MaterialEffects() const { return materialEffects_; }
  const std::list<MaterialOrderEntry>& MaterialOrder() const { return materialOrder_; }

 protected:
  ~CDGModelRenderer() override;

 private:
  void BuildStatic(const plat::XModel& x);
  ModelFrame* BuildFrames(const plat::XModel& x, int index, const std::string& dir, CDGFileLoad* loader);
  void DrawSubset(const ModelSubset& s, CDGTexture* texture, CDGEffect* effect);
  void DestroyDeviceMeshes();

  uint16_t flags_ = 0;  // bit 0 playing, bit 1 loop
  float time_ = 0;
  float delta_ = 0;
  std::vector<ModelMaterial> staticMaterials_;
  std::vector<ModelSubset> staticSubsets_;  // by material index
  uint32_t staticCount_ = 0;
  std::vector<CDGTexture*> materialTextures_;
  std::vector<std::string> textureNames_;
  std::vector<CDGEffect*> materialEffects_;
  uint32_t materialCount_ = 0;
  ModelFrame* root_ = nullptr;
  std::unique_ptr<ModelAnimController> controller_;
  CDGAllocateHierarchy allocator_;
  int animationSet_ = -1;
  std::list<MaterialOrderEntry> materialOrder_;
  Matrix44 world_;
  CDGWorldMatrixStack stack_;
  Vector3 position_{0, 0, 0};
  Vector3 scale_{1, 1, 1};
  Vector3 rotation_{0, 0, 0};
  float sortKey_ = 0;
  plat::GfxDevice* meshDevice_ = nullptr;  // the device the meshes were made on
};
