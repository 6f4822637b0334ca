// The general information page (scene 11) as other screens reach it: the page lives with the
// strategy screens, which no other screen folder may include, so it takes its list of generals
// through this interface. A screen creates the scene through the registry, hands it the list and
// requests the change with push; closing the page pops back to that screen.
#pragma once
#include <cstdint>
#include <vector>

#include "ui/scenes/scene_mgr.h"

class GeneralInfoPage {
 public:
  static constexpr int32_t kSceneId = 11;
  virtual ~GeneralInfoPage() = default;
  // Shows `busyo` among `generals` (the page steps through them); view only.
  virtual void ShowGeneralAmong(const std::vector<int32_t>& generals, int32_t busyo) = 0;
};

// Opens the page over the current scene; false (nothing requested) when the scene table has no
// page or its scene is not the information page.
inline bool OpenGeneralInfoPage(const std::vector<int32_t>& generals, int32_t busyo) {
  CVSceneMgr& mgr = GetSceneMgr();
  if (!mgr.FindRecord(GeneralInfoPage::kSceneId)) return false;
  if (!mgr.GetScene(GeneralInfoPage::kSceneId) && !mgr.CreateScene(GeneralInfoPage::kSceneId, nullptr)) return false;
  auto* page = dynamic_cast<GeneralInfoPage*>(mgr.GetScene(GeneralInfoPage::kSceneId));
  if (!page) return false;
  page->ShowGeneralAmong(generals, busyo);
  mgr.RequestChange(GeneralInfoPage::kSceneId, 1);
  return true;
}
