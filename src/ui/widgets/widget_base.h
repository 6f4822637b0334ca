// The widget base: every element of a screen is a CVMenuBase in a tree. It holds the transform
// (position, offset, size, scale, rotation in degrees, two pivots; world = local x parent world),
// colour with alpha inherited down the tree, a float state, the flag word, the per-frame answer
// fields that travel up to the root, a cancel id, a shader table, reference parameters and the
// animation tracks (widget_anime.cpp).
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/cv_flag.h"
#include "core/cv_list.h"
#include "core/vmath.h"
#include "ui/widgets/anime_types.h"
#include "ui/widgets/widget_services.h"

class CDGRendererBase;
class CDGTexture;
class CVMenuBtn;

enum MenuWidgetType : uint32_t {
  kWidgetWindow = 0,
  kWidgetRoot = 1,
  kWidgetSprite = 2,  // window with a sprite
  kWidgetBtn = 3,
  kWidgetText = 4,
  kWidgetList = 5,
  kWidgetSBar = 6,
  kWidgetPBar = 7,
  kWidgetGroup = 8,
  kWidgetModel = 9,
};

// Bits of the widget flag word.
enum WidgetFlag : int {
  kWfActive = 0,      // open
  kWfOpened = 1,      // opened this frame
  kWfLoadOnOpen = 2,  // picture / model loaded on Open, released on Close
  kWfEnabled = 3,
  kWfShown = 5,
  kWfPointerOver = 7,
  kWfRest4 = 8,  // a button rests in state 4
  kWfRest1 = 9,  // a button rests in state 1
  kWfAnimRunning = 10,
  kWfScreen = 11,  // windows: sprite flag 4; texts: placed in the scene
  kWfNoHit = 12,
  kWfAltLoader = 13,  // windows: second loader; texts: vertical; lists: overflow
  kWfMirrorX = 14,
  kWfMirrorY = 15,
  kWfHalfExtent = 16,
  kWfPixelHit = 17,
  kWfAdditive = 18,  // windows: the sprite blends additively
  kWfNoDepth = 19,   // windows: the sprite ignores the depth test
  kWfHold = 20,
  kWfMipmapped = 21,  // windows: the sprite's texture is loaded with mipmaps
};

// Bit 0: a press is pending; bit 1: a pressed button was released or decided; bit 2: that release
// has been seen for one frame. One byte shared by every button so that one decides at a time.
extern uint8_t ButtonClickLatch;
// Start of each scene's menu update: releases the latch one frame after a decision.
void ClearOneShotInput();

// The integer a layout number or a widget state stands for: truncation after moving the value
// 1.1920929e-07 away from zero, computed in float.
int32_t RoundNudged(float v);

class CVMenuBase : public CVListBase {
 public:
  CVMenuBase();
  ~CVMenuBase() override;

  // --- virtual operations (slot order) ---
  void Release() override;
  virtual void Update(int32_t x, int32_t y, uint32_t click);
  virtual void Draw(int32_t arg);
  virtual bool IsDrawable(int32_t arg);
  virtual bool IsShown();
  virtual void Open(int32_t a, int32_t b, int32_t c);
  virtual void Close();
  virtual int32_t SetState(int32_t state, int32_t force);
  virtual int32_t GetState();
  virtual void Tick();
  virtual bool SetColour(const Color& colour);
  virtual void GetColour(Color& out);
  virtual void SetFlagAll(int bit, bool on);
  virtual void SetFlag(int bit, bool on);
  virtual void SetFlagByType(uint32_t type, int bit, bool on);
  virtual bool TestFlag(int bit) const { return flags.Test(bit); }
  virtual uint32_t GetClickState() const { return clickState; }
  virtual int32_t GetMouseButton() const;
  virtual void SetSelect(int32_t id, bool decided);
  virtual void SetDisabledClick(int32_t id, bool on);
  virtual void DumpTree();
  virtual void GetPathName(std::string& out) const;
  virtual void ChangeStateAnime(int32_t oldState, int32_t newState);
  virtual void SetStateAnimes(int32_t a0, int32_t a1, int32_t a2, int32_t a3, int32_t a4);
  virtual void ApplyShaderParams();
  virtual CDGRendererBase* GetRenderer() { return nullptr; }
  virtual CDGTexture* GetTextureHandle() { return nullptr; }
  virtual void UpdateAnime();

  // --- transform setters: store only when a compared value differs; the next Update rebuilds ---
  void SetPosXY(float x, float y);
  void SetPosXYZ(float x, float y, float z);
  void SetPosZ(float z);
  void SetSize(float w, float h);
  void SetScale(float x, float y, float z);
  void SetRotX(float deg);
  void SetRotY(float deg);
  void SetRotZ(float deg);
  void SetAlpha(float a);
  void SetScaleBase(float x, float y) { scalePivot = Vector3(x, y, 0); }
  void SetRotBase(float x, float y) { rotPivot = Vector3(x, y, 0); }
  void SetOffset(float x, float y, float z) { offset = Vector3(x, y, z); }
  void UpdateTransform(bool recurse);

  void GetWorldPos(Vector3& out) const;
  void GetParentWorldPos(Vector3& out) const;
  // The z against which the depth bound is compared (the position through the world matrix).
  float GetWorldZ() const;

  // --- tree ---
  // Appends the child as the last child (unlinking it from any list first).
  void AddChild(CVMenuBase* child);
  CVMenuBase* GetParent() const { return parent; }
  CVMenuBase* FirstChild() const;
  CVMenuBase* NextSibling() const;
  CVMenuBase* FindChild(int32_t type, int32_t index) const;
  CVMenuBtn* FindButtonById(int32_t id);
  void CollectShownByType(int32_t type, std::vector<CVMenuBase*>& out);
  void OffsetButtonIds(int32_t delta);
  void OffsetPatterns(int32_t delta);
  void LatchButtonsTree();
  // Presses the first eligible button with the id, depth first; true when one was pressed.
  bool PressCancel(int32_t id);

  // --- reference parameters ---
  void SetRefParam(int32_t i, float v);
  void SetRefParams(float a, float b, float c);
  float GetRefParam(int32_t i) const;
  void CopyRefParamsFrom(const CVMenuBase* other);
  void SetRefParamTree(int32_t i, float v);

  // --- shader table ---
  // key 0 allocates largest key + 1 (0 for an empty table). Takes ownership; returns the key.
  int32_t AddShader(WidgetShader* shader, bool clear, int32_t key);
  void ReleaseShaders();
  void EnableShaders();
  void DisableShaders();
  bool IsAnyShaderEnabled() const;
  void SetShaderParams(int32_t key, float p0, float p1, float p2);
  void CopyShadersFrom(const CVMenuBase* other);
  void RemoveShader(int32_t key);
  const std::map<int32_t, std::unique_ptr<WidgetShader>>& Shaders() const { return shaders; }
  // Adds a shader of the widget's effect id (when not -1) under a new key.
  void AddEffectShader();

  // --- animation tracks (widget_anime.cpp) ---
  void AddAnimeKey(uint32_t number, const AnimeKey& key);
  void AddAnimeMove(uint32_t n, float x, float y, float z, float dur, uint16_t with, uint16_t next, uint8_t mask);
  void AddAnimeMoveD(uint32_t n, float x, float y, float z, float dur, uint16_t with, uint16_t next, uint8_t mask);
  void AddAnimeMoveDA(uint32_t n, float x, float y, float z, float dur, uint16_t with, uint16_t next, uint8_t mask);
  void AddAnimeRot(uint32_t n, float x, float y, float z, float dur, uint16_t with, uint16_t next, uint8_t mask);
  void AddAnimeRotD(uint32_t n, float x, float y, float z, float dur, uint16_t with, uint16_t next, uint8_t mask);
  void AddAnimeRotDA(uint32_t n, float x, float y, float z, float dur, uint16_t with, uint16_t next, uint8_t mask);
  void AddAnimeScale(uint32_t n, float x, float y, float z, float dur, uint16_t with, uint16_t next, uint8_t mask);
  void AddAnimeScaleD(uint32_t n, float x, float y, float z, float dur, uint16_t with, uint16_t next, uint8_t mask);
  void AddAnimeScaleDA(uint32_t n, float x, float y, float z, float dur, uint16_t with, uint16_t next, uint8_t mask);
  void AddAnimeColor(uint32_t n, float r, float g, float b, float a, float dur, uint16_t with, uint16_t next,
                     uint8_t mask);
  void AddAnimeColorD(uint32_t n, float r, float g, float b, float a, float dur, uint16_t with, uint16_t next,
                      uint8_t mask);
  void AddAnimeColorDA(uint32_t n, float r, float g, float b, float a, float dur, uint16_t with, uint16_t next,
                       uint8_t mask);
  void AddAnimeShader(uint32_t n, float p0, float p1, float p2, float dur, uint16_t with, uint16_t next, uint8_t mask);
  void AddAnimePattern(uint32_t n, int32_t last, float dur, uint16_t with, uint16_t next, uint8_t mask);
  void AddAnimeWait(uint32_t n, float dur, uint16_t with, uint16_t next, uint8_t mask);
  void AddAnimeClose(uint32_t n);
  // 1 when the chain from n is already playing (then nothing happens), else 0.
  int32_t PlayAnime(int32_t n);
  void PlayAnimeTree(int32_t n);
  bool IsAnimePlaying(int32_t n) const;
  void StopAnime(int32_t n);
  bool IsAnimeQueued() const { return !animeQueue.empty(); }
  bool IsAnimeQueuedTree();
  void ClearAnimeQueue() { animeQueue.clear(); }
  void ClearAnimeQueueTree();
  void ResetAnime(float x, float y);
  void FinishAnime();
  void FinishAnimeTree();
  void CopyAnimeFrom(const CVMenuBase* other);
  void CopyAnimeData(const std::map<uint32_t, AnimeKey>& keys, const std::vector<AnimeRequest>& queue);
  bool IsStateAnimePlayingTree(int32_t state);
  const std::map<uint32_t, AnimeKey>& AnimeKeys() const { return animeKeys; }
  const std::vector<AnimeRequest>& AnimeQueue() const { return animeQueue; }

  // --- public state (the screens and the layout builder set these directly) ---
  std::map<uint32_t, AnimeKey> animeKeys;
  std::vector<AnimeRequest> animeQueue;
  float shaderParams[3] = {0, 0, 0};
  float refParams[3] = {0, 0, 0};
  std::map<int32_t, std::unique_ptr<WidgetShader>> shaders;
  int32_t cancelId = -1;
  float state = 0.0f;
  uint32_t widgetType = kWidgetWindow;
  uint32_t clickState = 0;
  int32_t selectedId = -1;
  int32_t decidedId = -1;
  int32_t disabledClickId = -1;
  CVMenuBase* parent = nullptr;
  CVList children;
  Matrix44 localMatrix;
  Matrix44 worldMatrix;
  Vector3 position{0, 0, 0};
  Vector3 offset{0, 0, 0};
  Vector3 size{0, 0, 0};
  Vector3 extraVector{0, 0, 0};
  Vector3 scale{1, 1, 1};
  Vector3 rotation{0, 0, 0};
  Vector3 scalePivot{0, 0, 0};
  Vector3 rotPivot{0, 0, 0};
  Color colour{0, 0, 0, 255};
  float alpha = 255.0f;
  float effectiveAlpha = 255.0f;
  int32_t effectId = -1;
  float openOffsets[4] = {0, 0, 0, 0};
  float timeStep = 0.0f;
  CVFlag flags;
  float reserved[3] = {0, 0, 0};
  int32_t stateAnimes[5] = {-1, -1, -1, -1, -1};

 protected:
  // The type word of GetPathName ("Base", "Root", "Win", ...).
  static const char* TypeWord(uint32_t type);
  // The index among the parent's earlier children of the same type (or in the owner list).
  int32_t SiblingIndex() const;
  // Collects the numbers reachable from n through with / next (each once, keyless numbers end).
  void CollectChain(int32_t n, std::vector<int32_t>& out) const;
  // One animation step with the given time step (restored afterwards).
  void StepAnimeWith(float dt);
};

// Subtree walk helpers.
template <typename F>
void ForEachChild(const CVMenuBase* w, F&& f) {
  for (CVListBase* n = w->children.first; n;) {
    CVListBase* next = n->next;
    f(static_cast<CVMenuBase*>(n));
    n = next;
  }
}
