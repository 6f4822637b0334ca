// The menu manager: owns the widget trees no scene owns (the root list), creates every widget kind
// for the layout builder (type code, default flags, sprite set-up, the z rule, linking), and holds
// the depth bound below which widgets ignore the pointer and the cancel press.
#pragma once
#include <cstdint>

#include "core/cv_list.h"
#include "core/fixed_path.h"
#include "core/vmath.h"

class CVMenuBase;
class CVMenuWindow;
class CVMenuBtn;
class CVMenuText;
class CVMenuPBar;
class CVMenuSBar;
class CVMenuList;
class CVMenuWindowGroup;
class CVMenuModel;

// What a sprite window or button is created with (the values of a layout element).
struct SpriteWindowParams {
  const char* pictureName = "";
  Vector3 position{0, 0, 0};
  Color colour{255, 255, 255, 255};
  float alpha = 255.0f;
  float width = 0.0f, height = 0.0f;  // the whole picture
  int32_t columns = 1, rows = 1;      // below 1 counts as 1
  Vector3 rotation{0, 0, 0};
  FRect source{0, 0, 0, 0};
  bool altLoader = false;   // widget bit 13
  bool loadOnOpen = false;  // widget bit 2: nothing is loaded now
};

struct TextParams {
  const char* fontName = "";
  int32_t fontSize = 24;
  int32_t lineSpacing = 0;
  int32_t charSpacing = 0;
  int32_t perGlyph = 0;  // non-zero: one quad per character (appended text fades in)
  const char* text = "";
  Vector3 position{0, 0, 0};
  float width = 0.0f, height = 0.0f;  // the text area
  Color colour{255, 255, 255, 255};
  float alpha = 255.0f;
  int32_t shownChars = 0;  // 0: the whole text
  int32_t alignH = 0, alignV = 0;
  bool vertical = false;  // widget bit 13
  int32_t frameValue = 0;
  Color frameColour{255, 255, 255, 255};
  bool flag14 = false;
};

class CVMenuMgr {
 public:
  CVMenuMgr() = default;
  ~CVMenuMgr();
  CVMenuMgr(const CVMenuMgr&) = delete;
  CVMenuMgr& operator=(const CVMenuMgr&) = delete;

  // Keeps the program directory and deletes every root.
  void Init(const char* programDirectory);
  void DeleteAllRoots();
  // Type 1, all flags cleared, then enabled and shown; appended to the root list.
  void RegisterRoot(CVMenuBase* root);
  CVList& Roots() { return roots_; }
  const FixedPath& ProgramDirectory() const { return programDir_; }

  int32_t GetDepthBound() const { return depthBound_; }
  void SetDepthBound(int32_t bound) { depthBound_ = bound; }
  // Written by Open (nothing here reads them).
  uint32_t clockMs = 0;
  uint32_t frameCounter = 0;

  // Builds the tree of a layout script under parent through the installed layout builder; false
  // when none is installed or the build failed.
  using DefinitionLoader = bool (*)(CVMenuMgr& mgr, const FixedPath& file, CVMenuBase* parent);
  void SetDefinitionLoader(DefinitionLoader loader) { loader_ = loader; }
  bool LoadMenuDefinition(const FixedPath& file, CVMenuBase* parent);

  // Widget factories. parent null: a new root in the root list.
  CVMenuWindow* CreateMenuWindow(CVMenuBase* parent, const Vector3& position);
  CVMenuWindow* CreateMenuSpriteWindow(CVMenuBase* parent, const SpriteWindowParams& p);
  CVMenuBtn* CreateMenuButton(CVMenuBase* parent, int32_t firstId, int32_t secondId, const SpriteWindowParams& p);
  CVMenuText* CreateMenuText(CVMenuBase* parent, const TextParams& p);
  // type: direction (1 grows from the right); wheelFlag != 0: the wheel acts without the pointer.
  CVMenuPBar* CreateMenuPBar(CVMenuBase* parent, const Vector3& position, int32_t type, int32_t wheelFlag,
                             int32_t wheelStep);
  // orientation 0 vertical, 1 horizontal; track.x of -1 derives the track from the buttons.
  CVMenuSBar* CreateMenuSBar(CVMenuBase* parent, const Vector3& position, int32_t orientation, const FRect& track,
                             int32_t maximum, uint8_t wheelFlag);
  CVMenuList* CreateMenuList(CVMenuBase* parent, const Vector3& position, int32_t count, int32_t visible);
  CVMenuWindowGroup* CreateMenuWindowGroup(CVMenuBase* parent, const Vector3& position);
  CVMenuModel* CreateMenuModel(CVMenuBase* parent, const char* modelName, const Vector3& position, const Vector3& scale,
                               const Vector3& rotation, const Color& colour, float alpha);

  // Type code, flags cleared then enabled and shown, then linked (the z rule for children).
  void Link(CVMenuBase* widget, CVMenuBase* parent, uint32_t type);

 private:
  void SetupSpriteWindow(CVMenuWindow* w, CVMenuBase* parent, uint32_t type, const SpriteWindowParams& p);

  FixedPath programDir_;
  CVList roots_;
  int32_t depthBound_ = 0;
  DefinitionLoader loader_ = nullptr;
};

// The single manager, made on first use and kept to the end of the process (the shutdown calls
// DeleteAllRoots after deleting the scenes).
CVMenuMgr& GetMenuMgr();
