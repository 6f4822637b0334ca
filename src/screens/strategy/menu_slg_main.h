// CVMenuSLGMain (menu type 30): the strategy map. A country map of the 67 provinces hit-tested
// through a byte mask, a province view with castle and contact icons, a small map and a list of
// generals, the command panel of the current phase, a typed message line, the clan panel, the
// turn indicators and the start choice of a new game. It reads the world tables and writes only
// the current province, the list marks and the play record's legend bit.
//
// Widget contract (docs/layouts.md, "Strategy map"): six top-level groups, in order: background,
// clan and turn panel, interface layer (command panel, continue panel, message line, pointer),
// country-map layer, province-view layer, start-choice layer. Buttons are found by id.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "screens/strategy/kuni_pos.h"
#include "screens/strategy/tenka_list.h"
#include "ui/menus/menu_root.h"

class CVMenuBtn;
class CVMenuText;
class CVMenuWindow;
class CVMenuSBar;
class CVSceneSLG;

// What the map asks of the command rules (availability, refusal texts, labels, the per-phase
// refresh). The defaults make every command available with its table label; the turn engine
// installs the real rules.
struct SlgCommandRules {
  // (command, general, castle, province, first marked general) -> available.
  std::function<bool(int cmd, int busyo, int siro, int kuni, int marked)> checkAvailable;
  std::function<std::string(int cmd)> reasonText;
  std::function<std::string(int cmd)> label;
  std::function<void(int menu)> refreshCommandMenus;
  // Quick save and quick load of the system buttons; false when they failed.
  std::function<bool()> quickSave;
  std::function<bool()> quickLoad;
};
SlgCommandRules& GetSlgCommandRules();
void ResetSlgCommandRules();

struct SlgCommandRow {
  int32_t image, highlight, command;
  const char* label;
};

class CVMenuSLGMain : public CVMenuSceneRoot {
 public:
  // State flags.
  enum : uint16_t {
    kTyping = 0x0001,
    kFocused = 0x0002,
    kCastleTip = 0x0004,
    kKuniTip = 0x0008,
    kHelpTimer = 0x0020,
    kLegend = 0x0040,
    kClosing = 0x0080,
    kPointerSet = 0x0100,
    kCommandMenu = 0x0200,
    kWaiting = 0x0400,
    kSystemMenu = 0x0800,
    kInfoMenu = 0x1000,
    kSubmenuRequest = 0x2000,
    kHoverOwn = 0x4000,
    kHoverAlly = 0x8000,
  };
  static constexpr int kKuni = 67;
  static constexpr int kRows = 6;
  static constexpr int kCastleIcons = 8;
  static constexpr int kContactIcons = 10;

  CVMenuSLGMain();
  ~CVMenuSLGMain() override;

  void Update(int32_t x, int32_t y, uint32_t click) override;
  void Open(int32_t a, int32_t b, int32_t c) override;
  int32_t SetState(int32_t state, int32_t force) override;
  virtual void Refresh();
  virtual void SetCurrentDaimyo(int32_t clan) { currentDaimyo_ = clan; }
  virtual int32_t GetSortColumn(int32_t buttonId) const;

  // --- what the strategy scene forwards ---
  void SelectKuni(int32_t kuni);
  void FocusKuni(int32_t kuni, bool immediate);
  void ClearKuniFocus();
  void RememberKuniFocus() { rememberedKuni_ = (stateFlags_ & kFocused) ? selectedKuni_ : -1; }
  void RestoreKuniFocus();
  bool IsKuniFocused() const { return (stateFlags_ & kFocused) != 0; }
  void RecolorKuni(int32_t hovered);
  void SetKuniColor(int32_t kuni, int32_t anime);
  void PlayKuniAnime(int32_t kuni, int32_t anime);
  // Modes 0 typed, 1 whole, 2 typed then wait, 3 whole then wait, 4 help text (whole).
  void ShowMessage(const char* text, int32_t mode);
  // A help text: shown at once, and after 2,000 ms the message it covered comes back, typed.
  void ShowHelpText(const std::string& text);
  // The refusal text of a greyed button ("" when it is not refused).
  std::string RefusalOf(int32_t id) const {
    const auto it = refusals_.find(id);
    return it == refusals_.end() ? std::string() : it->second;
  }
  // The greyed button with a refusal text under the point (-1 none).
  int32_t RefusedButtonAt(int32_t x, int32_t y);
  void ShowPointer(int32_t icon);
  void SetCommandInProgress(int32_t command);
  void ShowCommandMenu();
  void HideCommandMenu();
  void RebuildCommandMenu();
  void ShowClanPanel(int32_t clan, bool animate);
  void RefreshTurnIndicators();
  void FillBusyoList(int32_t kuni, int32_t siro, int32_t clan);
  void ClearBusyoList();
  void AddBusyoToList(int32_t busyo);
  void MarkBusyo(int32_t busyo);
  void UnmarkBusyo(int32_t busyo);
  void ClearMarkedBusyo();
  int32_t GetMarkedBusyo() const { return marked_.empty() ? 0xFFFF : *marked_.begin(); }
  void GetMarkedBusyoList(std::vector<int32_t>& out) const { out.assign(marked_.begin(), marked_.end()); }
  int32_t CountMarkedBusyo() const { return static_cast<int32_t>(marked_.size()); }
  int32_t GetSelectedCastle() const;
  void SelectCastle(int32_t siro);
  void ShowIconMarker(int32_t siro, int32_t mode);
  void HideIconMarker(int32_t siro);
  bool IsIconMarkerAnimating(int32_t siro);
  void LockMapButtons(bool on);
  void ShowSidePanelHint(bool hide);
  CVMenuBase* SidePanel() const { return sidePanel_; }
  CVMenuBase* Legend() const { return legend_; }
  bool IsBusyoSelectable(int32_t busyo) const;

  // What the screen looks up in its layout and did not find (empty when the layout keeps the
  // contract of docs/layouts.md); finds the widgets first.
  std::vector<std::string> MissingWidgets();

  // Plain state.
  uint16_t StateFlags() const { return stateFlags_; }
  void SetStateFlags(uint16_t f) { stateFlags_ = f; }
  uint16_t SelMask() const { return selMask_; }
  void SetSelMask(uint16_t m) { selMask_ = m; }
  int32_t SelectedKuni() const { return selectedKuni_; }
  void SetSelectedKuniRaw(int32_t k) { selectedKuni_ = k; }
  int32_t HoveredKuni() const { return hoveredKuni_; }
  int32_t CurrentDaimyo() const { return currentDaimyo_; }
  int32_t CommandInProgress() const { return commandInProgress_; }
  int32_t MapState() { return GetState(); }
  int32_t ChoiceWord(int i) const { return i >= 0 && i < 6 ? choice_[i] : -1; }
  const std::string& MessageText() const { return message_; }
  size_t MessageShown() const { return shown_; }
  const slgui::CTenkaList_Busyo& BusyoList() const { return list_; }
  int32_t SortButton() const { return sortButton_; }
  bool SortDescending() const { return sortDescending_; }
  int32_t PendingQuestion() const { return pendingQuestion_; }
  const KuniPosTable& CountryTable() const { return kuniZ_; }
  const KuniPosTable& SmallTable() const { return kuniK_; }
  const ShiroPosTable& CastleTable() const { return shiro_; }
  // The current command table (-1 none) and its rows.
  int32_t CurrentTable() const;
  static const SlgCommandRow& TableRow(int32_t table, int32_t row);

  // Widgets (null when the layout lacks them).
  CVMenuBase* Layer(int i) const { return i >= 0 && i < 6 ? layers_[i] : nullptr; }
  CVMenuBase* CommandPanel() const { return cmdPanel_; }
  CVMenuBase* ContinuePanel() const { return contPanel_; }
  CVMenuText* MessageWidget() const { return msgText_; }
  CVMenuBase* Highlight(int k) const { return k >= 0 && k < kKuni ? hlZ_[k] : nullptr; }
  CVMenuBase* Tint(int k) const { return k >= 0 && k < kKuni ? tintZ_[k] : nullptr; }
  CVMenuBase* SmallHighlight(int k) const { return k >= 0 && k < kKuni ? hlK_[k] : nullptr; }
  CVMenuBtn* CastleIcon(int i) const { return i >= 0 && i < kCastleIcons ? castleIcons_[i] : nullptr; }
  int32_t CastleIconValue(int i) const { return i >= 0 && i < kCastleIcons ? castleValue_[i] : 0xFFFF; }
  CVMenuBtn* ContactIcon(int i) const { return i >= 0 && i < kContactIcons ? contactIcons_[i] : nullptr; }
  int32_t ContactIconValue(int i) const { return i >= 0 && i < kContactIcons ? contactValue_[i] : 0xFFFF; }
  CVMenuBtn* Row(int i) const { return i >= 0 && i < kRows ? rows_[i] : nullptr; }
  int32_t RowValue(int i) const { return i >= 0 && i < kRows ? rowValue_[i] : 0xFFFF; }
  CVMenuSBar* ScrollBar() const { return scroll_; }
  CVMenuBase* ClanPanel() const { return clanPanel_; }
  CVMenuBase* KuniTooltip() const { return kuniTip_; }

 private:
  void FindWidgets();
  CVSceneSLG* SlgScene() const;
  void TypeMessage();
  void ApplySubmenuRequest();
  void HandleDecided(int32_t id);
  void HandleHover(int32_t id, int32_t x, int32_t y);
  void HandleMapHit(int32_t x, int32_t y, uint32_t click);
  void UpdateStartChoice(int32_t decided, int32_t hovered, uint32_t click);
  void BuildHighlights();
  void RebuildCastleIcons();
  void FillInfoPanel(int32_t kuni);
  void ShowViewBackdrop(bool view);
  void FillRows();
  void RefreshCommandAvailability();
  void ToggleLegend();
  void UpdateLegend();
  void CountClanPanel();
  // The availability of a button: enables it, and keeps the refusal text of one refused by a check
  // of the rules (checked: ok is the answer of the check made last).
  bool CheckButton(CVMenuBtn* b, int32_t id, bool ok, bool checked = true);
  void ShowKuniTooltip(int32_t kuni, int32_t x, int32_t y);
  void ShowCastleTooltip(int32_t siro, int32_t x, int32_t y);
  void SetText(CVMenuBase* parent, int index, const std::string& text);
  void FillStartChoice();
  bool KuniEnabled(int32_t k) const { return k >= 0 && k < kKuni && kuniEnabled_[k]; }

  uint16_t stateFlags_ = 0;
  uint16_t selMask_ = 0;
  int32_t pendingQuestion_ = -1;

  CVMenuBase* layers_[6] = {};
  CVMenuBase* clanPanel_ = nullptr;
  CVMenuBase* turnPanel_ = nullptr;
  CVMenuBase* cmdPanel_ = nullptr;
  CVMenuBase* contPanel_ = nullptr;
  CVMenuText* msgText_ = nullptr;
  CVMenuBase* pointer_ = nullptr;
  CVMenuBase* tintHolder_ = nullptr;
  CVMenuBase* hlHolderZ_ = nullptr;
  CVMenuBase* hlHolderK_ = nullptr;
  CVMenuBase* legend_ = nullptr;
  CVMenuBase* sidePanel_ = nullptr;
  CVMenuBase* kuniTip_ = nullptr;
  CVMenuBase* castleTip_ = nullptr;
  CVMenuBase* viewPicture_ = nullptr;
  CVMenuBase* infoPanel_ = nullptr;
  CVMenuBase* listPanel_ = nullptr;
  CVMenuBase* startPanel_ = nullptr;
  CVMenuSBar* scroll_ = nullptr;
  CVMenuBtn* castleIcons_[kCastleIcons] = {};
  CVMenuBtn* contactIcons_[kContactIcons] = {};
  CVMenuBtn* rows_[kRows] = {};
  CVMenuBtn* details_[kRows] = {};
  int32_t castleValue_[kCastleIcons];
  int32_t contactValue_[kContactIcons];
  int32_t rowValue_[kRows];
  CVMenuBase* hlZ_[kKuni] = {};
  CVMenuBase* tintZ_[kKuni] = {};
  CVMenuBase* hlK_[kKuni] = {};

  KuniPosTable kuniZ_{KuniPosTable::kCountryMap};
  KuniPosTable kuniK_{KuniPosTable::kSmallMap};
  ShiroPosTable shiro_;

  std::string message_;
  size_t shown_ = 0;
  int32_t messageMode_ = 0;
  float typingClock_ = 0.0f;
  float lastCharTime_ = 0.0f;
  std::string savedMessage_;
  float helpTimer_ = 0.0f;
  // Why each refused button is refused, by button id (the text of the check made when it was greyed).
  std::map<int32_t, std::string> refusals_;
  // The clan panel's numbers (money, soldiers, koku, vassals, prestige, command points) and how far
  // they have counted up.
  std::array<int32_t, 6> clanCounts_ = {};
  float clanCountMs_ = 1000.0f;

  slgui::CTenkaList_Busyo list_;
  int32_t sortButton_ = -1;
  bool sortDescending_ = false;
  int32_t lastScroll_ = -1;
  std::set<int32_t> marked_;

  int32_t selectedKuni_ = -1;
  int32_t hoveredKuni_ = -1;
  int32_t selectedCastle_ = -1;
  int32_t currentDaimyo_ = 0;
  int32_t rememberedKuni_ = -1;
  int32_t hoveredCastle_ = -1;
  int32_t hoveredBusyo_ = -1;
  int32_t hoveredButton_ = -1;
  int32_t hoveredRefused_ = -1;  // the greyed button whose help text the pointer brought up
  int32_t choice_[6] = {-1, -1, -1, -1, -1, -1};
  int32_t commandInProgress_ = -1;
  uint8_t kuniEnabled_[kKuni] = {};
  int32_t submenuRequest_ = -1;
  bool highlightsBuilt_ = false;
  int32_t shownViewKuni_ = -1;
};

// A face window shows the face picture of a general's picture number (the sample data has 16).
void ShowFacePicture(CVMenuBase* w, int32_t picture);
// The picture of a castle icon: relation (0 own, 1 other clan, 2 ally) + 3 x size (level / 10,
// at most 2).
int32_t CastleIconPicture(int32_t relation, int32_t level);
