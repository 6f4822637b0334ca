// CVSceneInfoDetail (scene 11): the detail page of one general, pushed over the strategy scene. It
// steps through a list of generals with the wheel or the previous / next buttons and returns to the
// scene below on close (the scene below is popped back, not restarted). CVMenuSLG_detail (menu type
// 110) is its page: the general's face, names, castle, stats and equipped item.
#pragma once
#include <cstdint>

#include "screens/strategy/tenka_list.h"
#include "ui/menus/menu_root.h"
#include "ui/scenes/cv_scene.h"

class CVMenuText;
class CVMenuWindowGroup;

class CVMenuSLG_detail : public CVMenuSceneRoot {
 public:
  static constexpr int32_t kNone = 0xFFFF;
  void Open(int32_t a, int32_t b, int32_t c) override;
  // The general on show; the panel refreshes when he changes.
  void SetBusyo(int32_t busyo);
  // Whether a previous and a next general exist (their buttons).
  void SetOptions(bool prev, bool next);
  int32_t Busyo() const { return busyo_; }
  bool HasPrev() const { return prev_; }
  bool HasNext() const { return next_; }
  bool HasLayoutWidgets() {
    FindWidgets();
    return panel_ && item_ && prevBtn_ && nextBtn_;
  }
  CVMenuBase* GeneralPanel() const { return panel_; }
  CVMenuBase* ItemWindow() const { return item_; }

 private:
  void FindWidgets();
  void FillGeneral();
  void FillItem(int32_t item);
  CVMenuBase* root_ = nullptr;
  CVMenuBase* panel_ = nullptr;
  CVMenuBase* item_ = nullptr;
  CVMenuBase* prevBtn_ = nullptr;
  CVMenuBase* nextBtn_ = nullptr;
  int32_t busyo_ = kNone;
  bool prev_ = true, next_ = true;
};

class CVSceneInfoDetail : public CVScene {
 public:
  static constexpr int32_t kSceneId = 11;
  explicit CVSceneInfoDetail(int32_t sceneId = kSceneId);

  bool OnStart() override;
  bool OnStop() override;
  int32_t UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) override;
  bool Draw() override;

  void SetOwnClanFlag(bool on) { ownClan_ = on; }
  void SetBusyoList(const slgui::CTenkaList_Busyo* list);
  void ShowBusyo(int32_t busyo);
  void ShowListIndex(int32_t index);
  void ShowBusyoInList(int32_t busyo) { ShowListIndex(list_.IndexOf(busyo)); }
  bool IsOwnClanBusyo(int32_t busyo) const;

  int32_t Index() const { return index_; }
  const slgui::CTenkaList_Busyo& List() const { return list_; }
  CVMenuSLG_detail* Detail() const { return detail_; }

 private:
  CVMenuSLG_detail* detail_ = nullptr;
  slgui::CTenkaList_Busyo list_;
  int32_t index_ = -1;
  int32_t shown_ = CVMenuSLG_detail::kNone;
  bool ownClan_ = false;
  int32_t savedDepthBound_ = 0;
};

// Registers scene 11 and menu type 110.
class CVSceneMgr;
void RegisterInfoDetailScene(CVSceneMgr& mgr);
