#include "screens/strategy/menu_slg_main.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "core/app_state.h"
#include "core/error_box.h"
#include "core/game_file.h"
#include "platform/text/log.h"
#include "save/system_files.h"
#include "screens/strategy/scene_slg.h"
#include "render/sprite.h"
#include "ui/layout/layout_builder.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_dlg.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_list.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/sized_picture.h"
#include "world/record_lists.h"
#include "world/slg_util.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

constexpr float kCharMs = 10.0f;
// How long a help text stays before the message it covered comes back.
constexpr float kHelpMs = 2000.0f;
// How long the clan panel's numbers take to count up.
constexpr float kClanCountMs = 1000.0f;
constexpr int kFaceCount = 16;
constexpr const char* kCountryShape = "Data\\Image\\zenkoku\\hl%02d.png";
constexpr const char* kSmallShape = "Data\\Image\\kokunai\\hl%02d.png";
constexpr const char* kViewPicture = "Data\\Image\\kokunai\\view%02d.png";
constexpr const char* kFacePicture = "Data\\Image\\face\\f%02d.png";

// Six command tables of 14 rows (image, highlighted image, command id; -1 = empty row): 0 military,
// 1 politics, 2 strategy with the declaration, 3 strategy without it, 4 information, 5 system.
constexpr SlgCommandRow kEmpty{-1, -1, -1, ""};
#define R(a, b, c, l) \
  SlgCommandRow { a, b, c, l }
const SlgCommandRow kTables[6][14] = {
    {kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, R(0, 16, 1, "徴兵"), R(1, 17, 34, "鍛錬"), R(3, 19, 0, "恩賞"),
     R(4, 20, 2, "鉄砲購入"), R(33, 49, 44, "情報"), R(34, 50, 41, "クイックセーブ"), R(35, 51, 42, "クイックロード"),
     R(36, 52, 43, "システム"), R(45, 61, 15, "フェイズ終了")},
    {R(5, 21, 4, "城の普請"), R(6, 22, 5, "治水開墾"), R(7, 23, 6, "楽市楽座"), R(8, 24, 7, "臨時徴収"),
     R(9, 25, 8, "武将移動"), R(2, 18, 35, "控え武将"), R(10, 26, 10, "同盟"), R(11, 27, 11, "引き抜き"),
     R(12, 28, 32, "武将に会う"), R(33, 49, 44, "情報"), R(34, 50, 41, "クイックセーブ"),
     R(35, 51, 42, "クイックロード"), R(36, 52, 43, "システム"), R(45, 61, 15, "フェイズ終了")},
    {kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, R(32, 48, 48, "天下統一宣言"), R(13, 29, 13, "作戦命令"),
     R(14, 30, 9, "計略"), R(15, 31, 33, "内通"), R(33, 49, 44, "情報"), R(34, 50, 41, "クイックセーブ"),
     R(35, 51, 42, "クイックロード"), R(36, 52, 43, "システム"), R(45, 61, 15, "フェイズ終了")},
    {kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, R(13, 29, 13, "作戦命令"), R(14, 30, 9, "計略"),
     R(15, 31, 33, "内通"), R(33, 49, 44, "情報"), R(34, 50, 41, "クイックセーブ"), R(35, 51, 42, "クイックロード"),
     R(36, 52, 43, "システム"), R(45, 61, 15, "フェイズ終了")},
    {kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, R(38, 54, 36, "武将情報"),
     R(37, 53, 40, "国情報"), R(39, 55, 14, "勢力情報"), R(40, 56, 45, "戻る")},
    {kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, R(41, 57, 28, "保存"),
     R(42, 58, 47, "読み込み"), R(43, 59, 46, "環境設定"), R(44, 60, 17, "タイトルへ"), R(40, 56, 45, "戻る")},
};
#undef R

SlgCommandRules g_rules;

const char* TableLabel(int cmd) {
  for (const auto& t : kTables)
    for (const SlgCommandRow& r : t)
      if (r.command == cmd) return r.label;
  return "";
}

void InstallDefaultRules(SlgCommandRules& r) {
  r.checkAvailable = [](int, int, int, int, int) { return true; };
  r.reasonText = [](int) { return std::string(); };
  r.label = [](int cmd) { return std::string(TableLabel(cmd)); };
  r.refreshCommandMenus = [](int) {};
  r.quickSave = [] { return false; };
  r.quickLoad = [] { return false; };
}

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

void Show(CVMenuBase* w, bool on) {
  if (w) w->SetFlagAll(kWfShown, on);
}

CVMenuBase* Child(CVMenuBase* w, uint32_t type, int index) {
  return w ? w->FindChild(static_cast<int32_t>(type), index) : nullptr;
}

// A colour per clan (255, mixed: grey), for the ownership tint.
Color ClanColour(int clan, float alpha) {
  if (clan < 0 || clan >= kDaimyoInPlay) return Color(150, 150, 150, alpha * 0.6f);
  static const float kPalette[12][3] = {{220, 60, 50},  {60, 110, 220}, {230, 190, 40}, {60, 170, 80},
                                        {170, 70, 190}, {240, 130, 40}, {40, 180, 190}, {200, 90, 130},
                                        {130, 160, 40}, {110, 90, 200}, {190, 140, 90}, {90, 200, 150}};
  const float* c = kPalette[(clan * 7) % 12];
  const float shade = 1.0f - 0.18f * static_cast<float>((clan / 12) % 3);
  return Color(c[0] * shade, c[1] * shade, c[2] * shade, alpha);
}

std::string Num(const char* pattern, int v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, pattern, v);
  return buf;
}

}  // namespace

SlgCommandRules& GetSlgCommandRules() {
  if (!g_rules.checkAvailable) InstallDefaultRules(g_rules);
  return g_rules;
}

void ResetSlgCommandRules() { InstallDefaultRules(g_rules); }

void ShowFacePicture(CVMenuBase* w, int32_t picture) {
  ShowPictureAtSize(dynamic_cast<CVMenuWindow*>(w), kFacePicture, picture % kFaceCount);
}

int32_t CastleIconPicture(int32_t relation, int32_t level) {
  return std::clamp(relation, 0, 2) + 3 * std::clamp(level / 10, 0, 2);
}

CVMenuSLGMain::CVMenuSLGMain() {
  std::fill(std::begin(castleValue_), std::end(castleValue_), 0xFFFF);
  std::fill(std::begin(contactValue_), std::end(contactValue_), 0xFFFF);
  std::fill(std::begin(rowValue_), std::end(rowValue_), 0xFFFF);
}

CVMenuSLGMain::~CVMenuSLGMain() = default;

CVSceneSLG* CVMenuSLGMain::SlgScene() const { return dynamic_cast<CVSceneSLG*>(scene); }

const SlgCommandRow& CVMenuSLGMain::TableRow(int32_t table, int32_t row) {
  if (table < 0 || table > 5 || row < 0 || row > 13) return kEmpty;
  return kTables[table][row];
}

int32_t CVMenuSLGMain::CurrentTable() const {
  if (stateFlags_ & kSystemMenu) return 5;
  if (stateFlags_ & kInfoMenu) return 4;
  switch (TurnSubPhase) {
    case 1:
      return 0;
    case 2:
      return 1;
    case 3:
      return UnificationStage != 0 ? 2 : 3;
    default:
      return -1;
  }
}

int32_t CVMenuSLGMain::GetSortColumn(int32_t id) const {
  switch (id) {
    case 700:
      return 9;
    case 701:
      return 10;
    case 702:
      return 11;
    case 703:
      return 7;
    case 704:
      return 8;
    case 705:
      return 5;
    case 706:
      return 12;
    default:
      return 0;
  }
}

void CVMenuSLGMain::FindWidgets() {
  for (int i = 0; i < 6; ++i) layers_[i] = Child(this, kWidgetWindow, i);
  clanPanel_ = Child(layers_[1], kWidgetWindow, 0);
  turnPanel_ = Child(layers_[1], kWidgetWindow, 1);
  cmdPanel_ = Child(layers_[2], kWidgetWindow, 0);
  contPanel_ = Child(layers_[2], kWidgetWindow, 1);
  msgText_ = dynamic_cast<CVMenuText*>(Child(Child(layers_[2], kWidgetWindow, 2), kWidgetText, 0));
  pointer_ = Child(layers_[2], kWidgetSprite, 0);
  tintHolder_ = Child(layers_[3], kWidgetWindow, 0);
  hlHolderZ_ = Child(layers_[3], kWidgetWindow, 1);
  legend_ = Child(layers_[3], kWidgetWindow, 3);
  sidePanel_ = Child(layers_[3], kWidgetWindow, 4);
  kuniTip_ = Child(layers_[3], kWidgetWindow, 5);
  viewPicture_ = Child(Child(layers_[4], kWidgetWindow, 0), kWidgetSprite, 0);
  hlHolderK_ = Child(Child(layers_[4], kWidgetWindow, 1), kWidgetWindow, 0);
  infoPanel_ = Child(layers_[4], kWidgetWindow, 2);
  listPanel_ = Child(layers_[4], kWidgetWindow, 3);
  castleTip_ = Child(layers_[4], kWidgetWindow, 4);
  startPanel_ = Child(layers_[5], kWidgetWindow, 0);
  scroll_ = dynamic_cast<CVMenuSBar*>(Child(listPanel_, kWidgetSBar, 0));
  for (int i = 0; i < kCastleIcons; ++i) castleIcons_[i] = FindButtonById(300 + i);
  for (int i = 0; i < kContactIcons; ++i) contactIcons_[i] = FindButtonById(350 + i);
  for (int i = 0; i < kRows; ++i) rows_[i] = FindButtonById(500 + i), details_[i] = FindButtonById(600 + i);
  if (!layers_[5] || !cmdPanel_ || !msgText_ || !hlHolderZ_ || !listPanel_)
    plat::Log("slgmap", "the map layout lacks widgets the screen looks up; those parts are left out");
}

std::vector<std::string> CVMenuSLGMain::MissingWidgets() {
  FindWidgets();
  std::vector<std::string> missing;
  auto need = [&](bool ok, const std::string& what) {
    if (!ok) missing.push_back(what);
  };
  for (int i = 0; i < 6; ++i) need(layers_[i] != nullptr, "layer " + std::to_string(i));
  need(clanPanel_ && Child(clanPanel_, kWidgetSprite, 0) && Child(clanPanel_, kWidgetText, 7), "clan panel");
  need(turnPanel_ && Child(turnPanel_, kWidgetSprite, 1) && Child(turnPanel_, kWidgetText, 1), "turn panel");
  std::vector<int32_t> ids;
  if (cmdPanel_)
    ForEachChild(cmdPanel_, [&](CVMenuBase* c) {
      if (auto* b = dynamic_cast<CVMenuBtn*>(c)) ids.push_back(b->firstId);
    });
  const std::vector<int32_t> wantIds = {10000, 10001, 10002, 10003, 10004, 10005, 10006,
                                        10007, 10008, 10010, 10011, 10012, 10013, 10014};
  need(ids == wantIds, "command panel of 14 buttons 10000-10008, 10010-10014");
  need(contPanel_ && contPanel_->FindButtonById(2) && contPanel_->FindButtonById(3), "continue panel");
  need(msgText_ != nullptr, "message text");
  need(pointer_ != nullptr, "pointer");
  need(Child(tintHolder_, kWidgetSprite, 0) != nullptr, "tint template");
  need(Child(hlHolderZ_, kWidgetSprite, 0) != nullptr, "country highlight template");
  need(Child(hlHolderK_, kWidgetSprite, 0) != nullptr, "small-map highlight template");
  need(legend_ != nullptr, "legend panel");
  need(sidePanel_ && Child(sidePanel_, kWidgetText, 0), "side panel");
  need(kuniTip_ && Child(kuniTip_, kWidgetText, 2), "province tooltip");
  need(castleTip_ && Child(castleTip_, kWidgetText, 1), "castle tooltip");
  need(viewPicture_ != nullptr, "province view picture");
  need(infoPanel_ && Child(infoPanel_, kWidgetText, 5), "province info panel");
  need(scroll_ != nullptr, "list scroll bar");
  need(startPanel_ != nullptr, "start-choice panel");
  for (int i = 0; i < kCastleIcons; ++i) {
    CVMenuBase* marker = Child(castleIcons_[i], kWidgetSprite, 0);
    need(marker && Child(marker, kWidgetSprite, 1) && Child(castleIcons_[i], kWidgetText, 1),
         "castle icon " + std::to_string(300 + i));
  }
  for (int i = 0; i < kContactIcons; ++i)
    need(contactIcons_[i] && Child(contactIcons_[i], kWidgetText, 0), "contact icon " + std::to_string(350 + i));
  for (int i = 0; i < kRows; ++i) {
    need(rows_[i] && Child(rows_[i], kWidgetSprite, 1) && Child(rows_[i], kWidgetText, 7),
         "row " + std::to_string(500 + i));
    need(details_[i] != nullptr, "detail button " + std::to_string(600 + i));
  }
  for (int id = 700; id <= 706; ++id)
    need(Child(FindButtonById(id), kWidgetSprite, 0) != nullptr, "sort button " + std::to_string(id));
  for (int id : {750, 11000, 11001, 11002, 12000, 12001, 12500, 12501, 12502, 12503, 12504, 12505})
    need(FindButtonById(id) != nullptr, "button " + std::to_string(id));
  return missing;
}

void CVMenuSLGMain::Open(int32_t a, int32_t b, int32_t c) {
  CVMenuSceneRoot::Open(a, b, c);
  FindWidgets();
  const std::string dir = GetModuleDir();
  kuniZ_.LoadKuniPos((dir + "Data\\sys\\kunipos_z.bin").c_str());
  kuniK_.LoadKuniPos((dir + "Data\\sys\\kunipos_k.bin").c_str());
  shiro_.LoadShiroPos((dir + "Data\\sys\\shiropos.bin").c_str());
  Show(layers_[4], false);
  ShowViewBackdrop(false);
  if (layers_[3]) layers_[3]->SetFlag(kWfAnimRunning, true);
  Show(kuniTip_, false);
  Show(castleTip_, false);
  Show(layers_[5], false);
  // The start choice's hint belongs to map state 1 only; a map opened for a loaded game never shows it.
  Show(sidePanel_, false);
  stateFlags_ &= static_cast<uint16_t>(~(kKuniTip | kCastleTip | kFocused | kClosing));
  if (PlayRecordBlock.optionFlags & 1) {
    stateFlags_ |= kLegend;
  } else {
    stateFlags_ &= static_cast<uint16_t>(~kLegend);
  }
  Show(legend_, (stateFlags_ & kLegend) != 0);
  if (pointer_) pointer_->SetRefParam(0, -1.0f);
  Show(pointer_, false);
  cancelId = 1;
  selectedKuni_ = -1;
  selectedCastle_ = -1;
  currentDaimyo_ = PlayerDaimyoId;
  pendingQuestion_ = -1;
  rememberedKuni_ = -1;
  BuildHighlights();
  Refresh();
}

void CVMenuSLGMain::BuildHighlights() {
  if (highlightsBuilt_) return;
  highlightsBuilt_ = true;
  struct Set {
    CVMenuBase* holder;
    KuniPosTable* table;
    CVMenuBase** out;
    const char* shape;
  };
  Set sets[3] = {{tintHolder_, &kuniZ_, tintZ_, kCountryShape},
                 {hlHolderZ_, &kuniZ_, hlZ_, kCountryShape},
                 {hlHolderK_, &kuniK_, hlK_, kSmallShape}};
  for (Set& s : sets) {
    CVMenuBase* tmpl = Child(s.holder, kWidgetSprite, 0);
    if (!tmpl) continue;
    for (int k = 0; k < kKuni; ++k) {
      int32_t r[4];
      // A province without a rectangle, or an empty one, gets no highlight.
      if (!s.table->GetKuniRect(k, r) || r[2] <= r[0] || r[3] <= r[1]) continue;
      CVMenuBase* copy = CopyWidgetTree(GetMenuMgr(), tmpl, s.holder);
      auto* w = dynamic_cast<CVMenuWindow*>(copy);
      if (!w) continue;
      w->Open(0, 0, 0);
      // Far first: highlights, then the ownership tints blended over them (a transparent picture
      // still hides what lies behind it, so the always-visible tints are the nearer ones).
      const float z = s.out == tintZ_ ? 0.5f : 0.1f + 0.001f * static_cast<float>(k + 1);
      w->SetPosXYZ(static_cast<float>(r[0]), static_cast<float>(r[1]), z);
      w->SetNamePattern(s.shape);
      w->SetTextureF(k, true);
      // The shape picture is exactly the rectangle: drawn and sampled at that size.
      const float pw = static_cast<float>(r[2] - r[0]), ph = static_cast<float>(r[3] - r[1]);
      w->SetSize(pw, ph);
      if (CVSprite* sp = w->GetSprite()) {
        sp->SetWidth(pw);
        sp->SetHeight(ph);
        sp->SetCellWidth(pw);
        sp->SetCellHeight(ph);
      }
      w->SetFlag(kWfAnimRunning, true);
      w->SetFlag(kWfNoHit, true);
      s.out[k] = w;
    }
    Show(tmpl, false);
  }
}

void CVMenuSLGMain::Refresh() {
  RecolorKuni(hoveredKuni_);
  if (stateFlags_ & kFocused) RebuildCastleIcons();
  RebuildCommandMenu();
  ShowClanPanel(currentDaimyo_, false);
  RefreshTurnIndicators();
  FillRows();
  if (GetState() == 1) FillStartChoice();
}

void CVMenuSLGMain::RefreshTurnIndicators() {
  if (!turnPanel_) return;
  if (CVMenuBase* s = Child(turnPanel_, kWidgetSprite, 0)) s->SetState(SeasonIndex & 3, 0);
  if (CVMenuBase* p = Child(turnPanel_, kWidgetSprite, 1)) p->SetState(std::min<int>(TurnSubPhase, 4), 0);
  SetText(turnPanel_, 0, Num("第%d手", TurnCounter + 1));
  SetText(turnPanel_, 1, Num("%d年", GameYear));
}

void CVMenuSLGMain::SetText(CVMenuBase* parent, int index, const std::string& text) {
  if (auto* t = dynamic_cast<CVMenuText*>(Child(parent, kWidgetText, index))) {
    const char* now = t->Text();
    if (!now || text != now) t->SetText(text.c_str(), true);
  }
}

// ---- provinces ----

void CVMenuSLGMain::SelectKuni(int32_t kuni) {
  selectedKuni_ = kuni >= 0 && kuni < kKuni ? kuni : -1;
  RecolorKuni(selectedKuni_);
  CurrentKuniId = selectedKuni_ < 0 ? kNoKuni : static_cast<uint8_t>(selectedKuni_);
  SlgCommandRules& r = GetSlgCommandRules();
  r.refreshCommandMenus(TurnSubPhase);
  r.refreshCommandMenus(5);
  RefreshCommandAvailability();
}

void CVMenuSLGMain::ToggleLegend() {
  stateFlags_ ^= kLegend;
  if (stateFlags_ & kLegend)
    PlayRecordBlock.optionFlags |= 1u;
  else
    PlayRecordBlock.optionFlags &= ~1u;
  SavePlcData();
  UpdateLegend();
}

void CVMenuSLGMain::UpdateLegend() {
  if (!legend_) return;
  // The legend explains the colouring on the map: the clans', or while 領有 or 同盟 is pointed at,
  // that view's (shown for as long as the pointer rests there, even with the legend closed).
  const bool own = (stateFlags_ & kHoverOwn) != 0, ally = (stateFlags_ & kHoverAlly) != 0;
  const char* lines[4] = {"凡例", "青：自家の国", "色：各大名家の勢力", "右クリック：閉じる"};
  if (own) {
    lines[0] = "領有";
    lines[1] = "濃い黄：全城が自家の国";
    lines[2] = "淡い黄：自家の城がある国";
    lines[3] = "";
  } else if (ally) {
    bool any = false;
    for (int i = 0; i < 3 && currentDaimyo_ >= 0 && currentDaimyo_ < kDaimyoSlots; ++i)
      any |= DaimyoTable[currentDaimyo_].allies[i] != kNoDaimyo;
    lines[0] = "同盟";
    lines[1] = "緑：同盟国だけの国";
    lines[2] = any ? "淡い緑：同盟国のいる国" : "同盟を結んだ大名家はありません";
    lines[3] = "";
  }
  for (int i = 0; i < 4; ++i) SetText(legend_, i, lines[i]);
  Show(legend_, (stateFlags_ & kLegend) != 0 || own || ally);
}

void CVMenuSLGMain::RecolorKuni(int32_t hovered) {
  const int32_t st = GetState();
  SlgCommandRules& rules = GetSlgCommandRules();
  for (int k = 0; k < kKuni; ++k) {
    bool enabled;
    if (st == 2) {
      enabled = false;
    } else if (st == 3 || st == 4) {
      enabled = rules.checkAvailable(commandInProgress_, GetMarkedBusyo(), 0xFFFF, k, 0xFFFF);
    } else if (st == 1) {
      enabled = true;  // every province can be pointed at when choosing where to start
    } else {
      enabled = DaimyoHasSiroInKuni(static_cast<uint32_t>(k), static_cast<uint32_t>(currentDaimyo_));
    }
    kuniEnabled_[k] = enabled ? 1 : 0;
    if (CVMenuBase* t = tintZ_[k]) {
      // The clan holding most castles of the province; fainter while others hold some too.
      int count[kDaimyoInPlay] = {};
      int total = 0, best = -1;
      for (int c = 0; c < kSiroCount; ++c) {
        if (SiroTable[c].kuni != k || SiroTable[c].owner >= kDaimyoInPlay) continue;
        ++total;
        if (++count[SiroTable[c].owner] > (best < 0 ? 0 : count[best])) best = SiroTable[c].owner;
      }
      const Color c = ClanColour(best, best >= 0 && count[best] == total ? 120.0f : 70.0f);
      t->SetColour(c);
      t->SetAlpha(c.a);
      // The clans' tints lie in front of the highlights: they give way to the holding and alliance views.
      Show(t, !(stateFlags_ & (kHoverOwn | kHoverAlly)));
    }
    if (st == 1) continue;
    const bool own = DaimyoHasSiroInKuni(static_cast<uint32_t>(k), static_cast<uint32_t>(currentDaimyo_));
    const bool whole = DaimyoOwnsWholeKuni(static_cast<uint32_t>(k), static_cast<uint32_t>(currentDaimyo_));
    int anime;
    if (stateFlags_ & kHoverOwn) {
      // The pointer rests on the button, so no province is hovered: every province shows how much
      // of it the clan holds (taking only the hovered one would never change the map).
      anime = whole ? 4 : own ? 5 : 8;
    } else if (stateFlags_ & kHoverAlly) {
      std::vector<uint8_t> set(std::begin(KuniDaimyoSet[k]), std::end(KuniDaimyoSet[k]));
      anime = HasAllyInSetSmall(static_cast<uint32_t>(currentDaimyo_), set) ? 6
              : HasAllyInSet(static_cast<uint32_t>(currentDaimyo_), set)    ? 7
                                                                            : 8;
    } else if (st == 2) {
      anime = own ? 2 : 8;
    } else if (st == 3) {
      anime = !enabled ? 13 : (KuniTable[k].doneFlags & 8) ? 3 : 2;
    } else {
      anime = own ? 2 : 8;
      if (enabled && (k == selectedKuni_ || k == hovered)) anime = 3;
    }
    PlayKuniAnime(k, anime);
  }
}

void CVMenuSLGMain::PlayKuniAnime(int32_t kuni, int32_t anime) {
  if (kuni < 0 || kuni >= kKuni) return;
  for (CVMenuBase* w : {hlZ_[kuni], hlK_[kuni]}) {
    if (!w) continue;
    // Animation 8 is "no highlight": a picture that draws nothing is not drawn at all.
    w->SetFlag(kWfShown, anime != 8);
    if (w->IsAnimePlaying(anime)) continue;
    w->ClearAnimeQueue();
    w->PlayAnime(anime);
    if (anime == 8) w->FinishAnime();
  }
}

void CVMenuSLGMain::SetKuniColor(int32_t kuni, int32_t anime) { PlayKuniAnime(kuni, anime); }

namespace {

// The province view's fades (1 in, 2 out) belong to whichever widgets of the layer carry them (the
// view picture lies a level down); each such widget is set running, or its queue never moves.
void PlayLayerFade(CVMenuBase* w, int32_t n, bool finish) {
  if (w->AnimeKeys().count(static_cast<uint32_t>(n))) {
    w->SetFlag(kWfAnimRunning, true);
    w->StopAnime(n == 1 ? 2 : 1);
    w->PlayAnime(n);
    if (finish) w->FinishAnime();
  }
  ForEachChild(w, [&](CVMenuBase* c) { PlayLayerFade(c, n, finish); });
}

// Whether a fade of the layer is still under way. Only a fade that can advance counts: a request
// on a hidden or stopped widget, or a looping marker pulse, must not hold the layer open.
bool LayerFading(CVMenuBase* w, int32_t n) {
  if (w->AnimeKeys().count(static_cast<uint32_t>(n)) && w->IsAnimePlaying(n) && w->TestFlag(kWfShown) &&
      w->TestFlag(kWfAnimRunning))
    return true;
  bool fading = false;
  ForEachChild(w, [&](CVMenuBase* c) { fading = fading || LayerFading(c, n); });
  return fading;
}

}  // namespace

void CVMenuSLGMain::FocusKuni(int32_t kuni, bool immediate) {
  if (kuni < 0 || kuni >= kKuni) return;
  const int32_t st = GetState();
  if ((stateFlags_ & kFocused) && selectedKuni_ == kuni && (st == 1 || st == 2)) return;
  const bool wasShown = (stateFlags_ & kFocused) != 0 && (stateFlags_ & kClosing) == 0;
  stateFlags_ |= kFocused;
  stateFlags_ &= static_cast<uint16_t>(~kClosing);
  selectedCastle_ = -1;
  SelectKuni(kuni);
  if (!wasShown && layers_[4]) {
    Show(layers_[4], true);
    Show(castleTip_, false);
    PlayLayerFade(layers_[4], 1, immediate);
    if (layers_[3]) {
      layers_[3]->SetFlagAll(kWfNoHit, true);
      layers_[3]->SetFlag(kWfShown, false);
    }
    ShowViewBackdrop(true);
    layers_[4]->SetFlagAll(kWfNoHit, false);
  }
  Show(kuniTip_, false);
  stateFlags_ &= static_cast<uint16_t>(~kKuniTip);
  if (auto* v = dynamic_cast<CVMenuWindow*>(viewPicture_)) {
    v->SetNamePattern(kViewPicture);
    if (shownViewKuni_ != kuni) v->SetTextureF(kuni, true);
    shownViewKuni_ = kuni;
  }
  RebuildCastleIcons();
  if (commandInProgress_ == -1) ShowCommandMenu();
  FillInfoPanel(kuni);
  for (int k = 0; k < kKuni; ++k)
    if (hlK_[k]) PlayKuniAnime(k, k == kuni ? 9 : (DaimyoHasSiroInKuni(k, currentDaimyo_) ? 2 : 8));
  FillBusyoList(kuni, -1, -1);
}

void CVMenuSLGMain::ShowViewBackdrop(bool view) {
  // The background's map picture (first picture) or the plain sea behind the province view (fourth).
  Show(Child(layers_[0], kWidgetSprite, 0), !view);
  Show(Child(layers_[0], kWidgetSprite, 3), view);
}

void CVMenuSLGMain::ClearKuniFocus() {
  if (!(stateFlags_ & kFocused)) return;
  stateFlags_ &= static_cast<uint16_t>(~kFocused);
  selectedCastle_ = -1;
  if (layers_[4]) {
    PlayLayerFade(layers_[4], 2, false);
    layers_[4]->SetFlagAll(kWfNoHit, true);
  }
  if (layers_[3]) {
    layers_[3]->SetFlagAll(kWfNoHit, false);
    layers_[3]->SetFlag(kWfShown, true);
  }
  ShowViewBackdrop(false);
  stateFlags_ |= kClosing;
  Show(castleTip_, false);
  if (GetState() == 0) {
    SelectKuni(selectedKuni_ >= 0 ? selectedKuni_ : GetDaimyoHomeKuni(static_cast<uint32_t>(currentDaimyo_)));
  } else {
    SelectKuni(-1);
  }
}

void CVMenuSLGMain::RestoreKuniFocus() {
  if (rememberedKuni_ >= 0)
    FocusKuni(rememberedKuni_, true);
  else
    ClearKuniFocus();
}

void CVMenuSLGMain::RebuildCastleIcons() {
  const int32_t k = selectedKuni_;
  if (k < 0 || k >= kKuni) {
    ShowErrorBox("選択中の州番号が不正です。", "VMenuSLGMain");
    return;
  }
  SlgCommandRules& rules = GetSlgCommandRules();
  auto iconEnabled = [&](int32_t siro) {
    if (GetState() == 3) return rules.checkAvailable(commandInProgress_, 0xFFFF, siro, 255, 0xFFFF);
    if (commandInProgress_ == -1)
      return DaimyoHasSiroInKuni(GetSiroKuni(static_cast<uint32_t>(siro)), static_cast<uint32_t>(currentDaimyo_));
    if (!(selMask_ & 0x80)) return false;
    // Bit 5 (a move): the first marked general's castle stays open, so a click there marks the rest
    // of its generals; every other castle is a destination the command's rules decide on.
    if ((selMask_ & 0x20) && GetMarkedBusyo() != 0xFFFF && siro == GetBusyoSiro(GetMarkedBusyo())) return true;
    // Bit 6 is set only while a march or a plot picks its target: another clan's castle.
    if ((selMask_ & 0x40) && SiroTable[siro].owner == currentDaimyo_) return false;
    return rules.checkAvailable(commandInProgress_, GetMarkedBusyo(), siro, 255, GetMarkedBusyo());
  };
  auto relationOf = [&](int32_t siro) {
    const uint8_t owner = SiroTable[siro].owner;
    if (owner == currentDaimyo_) return 0;
    return IsDaimyoAllied(static_cast<uint32_t>(currentDaimyo_), owner) ? 2 : 1;
  };
  std::vector<int32_t> handled;
  int contact = 0;
  for (int i = 0; i < kCastleIcons; ++i) {
    CVMenuBtn* icon = castleIcons_[i];
    if (!icon) continue;
    const int32_t id = shiro_.GetShiroSlotId(k, i);
    // An empty slot, a castle id outside the table or a castle not in use hides the icon.
    if (id < 0 || id >= kSiroCount || SiroTable[id].kuni == kNoKuni) {
      castleValue_[i] = 0xFFFF;
      Show(icon, false);
      continue;
    }
    castleValue_[i] = id;
    Show(icon, true);
    icon->SetPosXY(static_cast<float>(shiro_.GetShiroSlotX(k, i)), static_cast<float>(shiro_.GetShiroSlotY(k, i)));
    const int32_t pic = CastleIconPicture(relationOf(id), SiroTable[id].level);
    icon->SetStatePatterns(pic, pic, pic, pic, pic);
    icon->SetState(icon->GetState(), 1);
    CheckButton(icon, 300 + i, iconEnabled(id), commandInProgress_ != -1 || GetState() == 3);
    icon->SetFlag(kWfRest4, id == selectedCastle_);
    if (CVMenuBase* marker = Child(icon, kWidgetSprite, 0)) {
      if (!marker->IsAnimeQueued()) Show(marker, false);
    }
    SetText(icon, 0, GetSiroName(static_cast<uint32_t>(id), false));
    const int cap = std::max<int>(SiroTable[id].level, SiroTable[id].maxLevel);
    SetText(icon, 1, Num("Lv%d", SiroTable[id].level) + Num("/%d", cap) + Num(" 将%d", CountSiroBusyo(id)));
    handled.push_back(id);
  }
  for (int i = 0; i < kCastleIcons; ++i) {
    const int32_t id = castleValue_[i];
    if (id == 0xFFFF) continue;
    for (uint16_t n : SiroTable[id].neighbours) {
      if (n == kNoSiro || n >= kSiroCount || SiroTable[n].kuni == kNoKuni) continue;
      if (SiroTable[n].kuni == k || std::find(handled.begin(), handled.end(), n) != handled.end()) continue;
      handled.push_back(n);
      const int32_t slot = shiro_.FindContactSlot(k, n);
      if (slot < 0) {
        char msg[160];
        std::snprintf(msg, sizeof msg, "城IDが割り当てられている連絡アイコンが見つかりません。\n城=%d  州=%d", n, k);
        ShowErrorBox(msg, "CVMenuSLGMain");
        continue;
      }
      // Icons run out before the neighbours do: the rest stay without an icon.
      if (contact >= kContactIcons) break;
      const int32_t x = shiro_.GetContactSlotX(k, slot);
      if (x < 0 || x == 0xFFFF) continue;
      CVMenuBtn* icon = contactIcons_[contact];
      contactValue_[contact++] = n;
      if (!icon) continue;
      Show(icon, true);
      icon->SetPosXY(static_cast<float>(x), static_cast<float>(shiro_.GetContactSlotY(k, slot)));
      const int32_t pic = relationOf(n);
      icon->SetStatePatterns(pic, pic, pic, pic, pic);
      icon->SetState(icon->GetState(), 1);
      CheckButton(icon, 350 + contact - 1, commandInProgress_ == -1 || iconEnabled(n), commandInProgress_ != -1);
      SetText(icon, 0, std::string(GetKuniName(GetSiroKuni(n))) + "・" + GetSiroName(n, false));
    }
  }
  for (int i = contact; i < kContactIcons; ++i) {
    contactValue_[i] = 0xFFFF;
    Show(contactIcons_[i], false);
  }
}

void CVMenuSLGMain::FillInfoPanel(int32_t kuni) {
  if (!infoPanel_ || kuni < 0 || kuni >= kKuni) return;
  const KuniRecord& r = KuniTable[kuni];
  SetText(infoPanel_, 0, std::string(GetKuniName(static_cast<uint32_t>(kuni))) + "国");
  SetText(infoPanel_, 1, r.holder == kNoDaimyo ? std::string("勢力混在") : std::string(GetDaimyoName(r.holder, true)));
  SetText(infoPanel_, 2, Num("石高 %d", r.land / 10));
  SetText(infoPanel_, 3, Num("商業 %d", r.town / 10));
  SetText(infoPanel_, 4, Num("民心 %d", r.mood));
  SetText(infoPanel_, 5, Num("総石高 %d", r.total));
}

void CVMenuSLGMain::SelectCastle(int32_t siro) {
  selectedCastle_ = siro >= 0 && siro < kSiroCount ? siro : -1;
  for (int i = 0; i < kCastleIcons; ++i)
    if (castleIcons_[i]) castleIcons_[i]->SetFlag(kWfRest4, castleValue_[i] == selectedCastle_ && selectedCastle_ >= 0);
  if (selectedCastle_ >= 0) {
    FillBusyoList(selectedKuni_, selectedCastle_, (selMask_ & 0x10) ? -1 : currentDaimyo_);
  } else if (selectedKuni_ >= 0) {
    FillBusyoList(selectedKuni_, -1, -1);
  }
}

int32_t CVMenuSLGMain::GetSelectedCastle() const {
  if (selectedCastle_ >= 0) return selectedCastle_;
  if (!marked_.empty()) return GetBusyoSiro(static_cast<uint32_t>(*marked_.begin()));
  return 0xFFFF;
}

// ---- general list ----

void CVMenuSLGMain::FillBusyoList(int32_t kuni, int32_t siro, int32_t clan) {
  ::CTenkaList_Busyo ids;
  if (siro < 0) {
    if (!marked_.empty()) {
      ids.assign(marked_.begin(), marked_.end());
    } else if (kuni >= 0) {
      ListKuniBusyo(static_cast<uint32_t>(kuni),
                    clan < 0 ? static_cast<uint8_t>(currentDaimyo_) : static_cast<uint8_t>(clan), ids);
    }
  } else if (clan < 0) {
    ListSiroBusyoAll(static_cast<uint32_t>(siro), ids);
  } else {
    ListSiroBusyo(static_cast<uint32_t>(siro), static_cast<uint8_t>(clan), ids);
  }
  list_.Assign(ids);
  if (sortButton_ >= 0)
    list_.StableSort(GetSortColumn(sortButton_), sortDescending_);
  else
    list_.StableSort(3, false);
  if (scroll_) {
    scroll_->SetMax(std::max(0, list_.Count() - kRows));
    scroll_->SetValue(0);
    Show(scroll_, list_.Count() > kRows);
  }
  lastScroll_ = -1;
  FillRows();
}

void CVMenuSLGMain::ClearBusyoList() {
  list_.Clear();
  if (scroll_) {
    scroll_->SetMax(0);
    scroll_->SetValue(0);
    Show(scroll_, false);
  }
  FillRows();
}

void CVMenuSLGMain::AddBusyoToList(int32_t busyo) {
  if (busyo < 0 || busyo >= kBusyoCount) return;
  list_.Add(busyo);
  if (scroll_) {
    scroll_->SetMax(std::max(0, list_.Count() - kRows));
    Show(scroll_, list_.Count() > kRows);
  }
  FillRows();
}

void CVMenuSLGMain::MarkBusyo(int32_t busyo) {
  if (busyo < 0 || busyo >= kBusyoCount) return;
  marked_.insert(busyo);
  FillRows();
}

void CVMenuSLGMain::UnmarkBusyo(int32_t busyo) {
  marked_.erase(busyo);
  FillRows();
}

void CVMenuSLGMain::ClearMarkedBusyo() {
  marked_.clear();
  FillRows();
}

bool CVMenuSLGMain::IsBusyoSelectable(int32_t g) const {
  if (!(selMask_ & 0x0004) && !(selMask_ & 0x0100)) return false;
  if (selMask_ & 0x0008) {
    if (marked_.empty()) return true;
    return GetBusyoSiro(static_cast<uint32_t>(g)) == GetBusyoSiro(static_cast<uint32_t>(*marked_.begin()));
  }
  if (selMask_ & 0x0100) return marked_.count(g) == 0;
  return marked_.empty();
}

void CVMenuSLGMain::FillRows() {
  const int32_t first = scroll_ ? std::max(0, scroll_->value) : 0;
  SlgCommandRules& rules = GetSlgCommandRules();
  for (int i = 0; i < kRows; ++i) {
    CVMenuBtn* row = rows_[i];
    const int32_t index = first + i;
    if (index >= list_.Count()) {
      rowValue_[i] = 0xFFFF;
      Show(row, false);
      Show(details_[i], false);
      continue;
    }
    const int32_t g = list_.At(index);
    rowValue_[i] = g;
    if (!row) continue;
    Show(row, true);
    Show(details_[i], true);
    const BusyoRecord& b = BusyoTable[g];
    const uint8_t clan = GetBusyoDaimyo(static_cast<uint32_t>(g));
    const int relation = clan == currentDaimyo_                                        ? 0
                         : IsDaimyoAllied(static_cast<uint32_t>(currentDaimyo_), clan) ? 2
                                                                                       : 1;
    row->SetRefParam(0, static_cast<float>(relation * 2));
    ShowFacePicture(Child(row, kWidgetSprite, 0), b.picture);
    // The kind badge as the detail page and the general table show it.
    if (CVMenuBase* kind = Child(row, kWidgetSprite, 1)) kind->SetState(std::max(0, GetKindCycleNext(b.kind) - 1), 0);
    SetText(row, 0, GetBusyoName(static_cast<uint32_t>(g)));
    SetText(row, 1, Num("%d", b.stage + 1));
    SetText(row, 2, Num("%d", GetBusyoSoldiers(g) * 100));
    SetText(row, 3, Num("%d", GetBusyoGuns(g) * 100));
    SetText(row, 4,
            IsBusyoLoyaltyFixed(g) ? std::string(clan == currentDaimyo_ ? "絆" : "―") : Num("%d", GetBusyoLoyalty(g)));
    SetText(row, 5, Num("%d", GetBusyoStat1(g)));
    SetText(row, 6, Num("%d", GetBusyoStat3(g)));
    SetText(row, 7, Num("%d", GetBusyoStat2(g)));
    row->SetFlag(kWfRest4, marked_.count(g) != 0);
    bool enabled;
    if (commandInProgress_ == -1) {
      const bool single = (selMask_ & 0x0004) && !(selMask_ & 0x0108);
      enabled = IsBusyoSelectable(g) || single || (selMask_ & 0x0104) == 0;
    } else {
      enabled = rules.checkAvailable(commandInProgress_, g, 0xFFFF, 255, GetMarkedBusyo());
    }
    CheckButton(row, 500 + i, enabled || marked_.count(g) != 0, commandInProgress_ != -1);
  }
}

// ---- messages ----

void CVMenuSLGMain::ShowMessage(const char* text, int32_t mode) {
  message_ = text ? text : "";
  shown_ = 0;
  typingClock_ = 0.0f;
  lastCharTime_ = 0.0f;
  messageMode_ = std::clamp(mode, 0, 4);
  if (msgText_) {
    msgText_->ClearAnimeQueue();
    msgText_->PlayAnime(messageMode_ == 4 ? 2 : 1);
    msgText_->SetText("", true);
  }
  stateFlags_ |= kTyping;
  stateFlags_ &= static_cast<uint16_t>(~kHelpTimer);
  if (stateFlags_ & kWaiting) {
    stateFlags_ &= static_cast<uint16_t>(~kWaiting);
    RebuildCommandMenu();
    LockMapButtons(false);
  } else if (messageMode_ == 2 || messageMode_ == 3) {
    LockMapButtons(true);
    if (contPanel_) contPanel_->SetFlagAll(kWfNoHit, false);
  }
  if (messageMode_ == 1 || messageMode_ == 3 || messageMode_ == 4) TypeMessage();
}

void CVMenuSLGMain::ShowHelpText(const std::string& text) {
  // A waiting question keeps the line; a help text never answers it.
  if (stateFlags_ & kWaiting) return;
  if (!(stateFlags_ & kHelpTimer)) savedMessage_ = message_;
  ShowMessage(text.c_str(), 4);
  stateFlags_ |= kHelpTimer;
  helpTimer_ = kHelpMs;
}

void CVMenuSLGMain::TypeMessage() {
  if (!(stateFlags_ & kTyping)) return;
  const bool whole = messageMode_ == 1 || messageMode_ == 3 || messageMode_ == 4;
  typingClock_ += timeStep;
  auto step = [&] {
    if (shown_ >= message_.size()) return;
    const size_t n = IsLeadByte(static_cast<unsigned char>(message_[shown_])) ? 2 : 1;
    shown_ = std::min(message_.size(), shown_ + n);  // a lone lead byte at the end stops at the end
  };
  if (whole) {
    shown_ = message_.size();
  } else {
    // Catch up after a long frame: one character per 10 ms that passed.
    while (shown_ < message_.size() && typingClock_ - lastCharTime_ > kCharMs) {
      lastCharTime_ += kCharMs;
      step();
    }
  }
  if (msgText_) msgText_->SetText(message_.substr(0, shown_).c_str(), true);
  if (shown_ >= message_.size()) {
    stateFlags_ &= static_cast<uint16_t>(~kTyping);
    if (messageMode_ == 2 || messageMode_ == 3) {
      stateFlags_ |= kWaiting;
      RebuildCommandMenu();
    }
  }
}

void CVMenuSLGMain::ShowPointer(int32_t icon) {
  if (!pointer_) return;
  if (icon >= 0) {
    Show(pointer_, true);
    pointer_->SetState(icon, 0);
    pointer_->SetRefParam(0, static_cast<float>(icon));
    pointer_->ClearAnimeQueue();
    pointer_->PlayAnime(1);
    stateFlags_ |= kPointerSet;
  } else {
    pointer_->SetRefParam(0, -1.0f);
  }
}

// ---- command menu ----

void CVMenuSLGMain::SetCommandInProgress(int32_t command) {
  commandInProgress_ = command;
  if (command == -1) {
    stateFlags_ &= static_cast<uint16_t>(~(kSystemMenu | kInfoMenu));
    ShowCommandMenu();
  } else {
    stateFlags_ &= static_cast<uint16_t>(~kCommandMenu);
  }
  RebuildCommandMenu();
  FillRows();
}

void CVMenuSLGMain::ShowCommandMenu() {
  const int32_t st = GetState();
  if (st == 1 || st == 2 || TurnSubPhase == 0 || TurnSubPhase == 4 || commandInProgress_ != -1) return;
  stateFlags_ |= kCommandMenu;
  RebuildCommandMenu();
}

void CVMenuSLGMain::HideCommandMenu() {
  stateFlags_ &= static_cast<uint16_t>(~kCommandMenu);
  RebuildCommandMenu();
}

void CVMenuSLGMain::RebuildCommandMenu() {
  if (stateFlags_ & kWaiting) {
    Show(cmdPanel_, false);
    Show(contPanel_, true);
    cancelId = 3;
    return;
  }
  Show(contPanel_, false);
  if (!(stateFlags_ & kCommandMenu)) {
    Show(cmdPanel_, false);
    cancelId = 1;
    return;
  }
  Show(cmdPanel_, true);
  const int32_t table = CurrentTable();
  int row = 0;
  if (cmdPanel_) {
    ForEachChild(cmdPanel_, [&](CVMenuBase* c) {
      auto* b = dynamic_cast<CVMenuBtn*>(c);
      if (!b) return;
      const SlgCommandRow& r = TableRow(table, row++);
      if (r.image < 0) {
        Show(b, false);
        b->SetRefParam(2, -1.0f);
        return;
      }
      Show(b, true);
      b->SetRefParam(0, static_cast<float>(r.image));
      b->SetRefParam(1, static_cast<float>(r.highlight));
      b->SetRefParam(2, static_cast<float>(r.command));
      b->SetState(0, 1);
      SetText(b, 0, GetSlgCommandRules().label(r.command));
    });
  }
  cancelId = (stateFlags_ & (kSystemMenu | kInfoMenu)) ? 10014 : 1;
  RefreshCommandAvailability();
}

void CVMenuSLGMain::RefreshCommandAvailability() {
  if (!cmdPanel_ || !(stateFlags_ & kCommandMenu)) return;
  SlgCommandRules& rules = GetSlgCommandRules();
  ForEachChild(cmdPanel_, [&](CVMenuBase* c) {
    auto* b = dynamic_cast<CVMenuBtn*>(c);
    if (!b || !b->TestFlag(kWfShown)) return;
    const int cmd = static_cast<int>(b->GetRefParam(2));
    CheckButton(b, b->firstId, cmd < 0 || rules.checkAvailable(cmd, 0xFFFF, 0xFFFF, 255, 0xFFFF));
  });
}

bool CVMenuSLGMain::CheckButton(CVMenuBtn* b, int32_t id, bool ok, bool checked) {
  if (b) b->SetFlag(kWfEnabled, ok);
  if (ok || !checked) {
    refusals_.erase(id);
  } else {
    // The rules keep the reasons of their last check only: read them now, before the next check.
    std::string why = GetSlgCommandRules().reasonText(commandInProgress_);
    refusals_[id] = why.empty() ? std::string("これ以上はできません") : why;
  }
  return ok;
}

int32_t CVMenuSLGMain::RefusedButtonAt(int32_t x, int32_t y) {
  for (const auto& [id, why] : refusals_) {
    CVMenuBtn* b = FindButtonById(id);
    if (b && b->IsShown() && !b->TestFlag(kWfEnabled) && !b->TestFlag(kWfNoHit) && b->HitTest(x, y)) return id;
  }
  return -1;
}

void CVMenuSLGMain::ApplySubmenuRequest() {
  if (!(stateFlags_ & kSubmenuRequest) || !(stateFlags_ & kCommandMenu)) return;
  stateFlags_ &= static_cast<uint16_t>(~(kSubmenuRequest | kSystemMenu | kInfoMenu));
  if (submenuRequest_ == 3)
    stateFlags_ |= kInfoMenu;
  else if (submenuRequest_ == 4)
    stateFlags_ |= kSystemMenu;
  submenuRequest_ = -1;
  RebuildCommandMenu();
}

// ---- panels ----

void CVMenuSLGMain::ShowClanPanel(int32_t clan, bool animate) {
  if (!clanPanel_) return;
  if (clan < 0 || clan > 63) {
    Show(clanPanel_, false);
    return;
  }
  Show(clanPanel_, true);
  const DaimyoRecord& d = DaimyoTable[clan];
  if (auto* face = dynamic_cast<CVMenuWindow*>(Child(clanPanel_, kWidgetSprite, 0))) {
    // Any head id of 1999 or more is no general: no picture.
    if (d.head >= NullBusyoId) {
      Show(face, false);
    } else {
      Show(face, true);
      ShowFacePicture(face, BusyoTable[d.head].picture);
    }
  }
  SetText(clanPanel_, 0, GetDaimyoName(static_cast<uint32_t>(clan), true));
  SetText(clanPanel_, 7, GetDaimyoRankName(static_cast<uint32_t>(clan)));
  // The court title, when the court has granted one.
  SetText(clanPanel_, 8, d.title > 0 ? FormatDaimyoTitle(static_cast<uint32_t>(clan)) : "");
  clanCounts_ = {d.money, d.soldiers * 100, d.revenue, CountDaimyoBusyo(static_cast<uint32_t>(clan)), d.prestige, d.cp};
  // With animate the numbers count up from 0 over 1,000 ms (CountClanPanel, every frame).
  clanCountMs_ = animate ? 0.0f : kClanCountMs;
  CountClanPanel();
}

void CVMenuSLGMain::CountClanPanel() {
  if (!clanPanel_) return;
  const float f = std::clamp(clanCountMs_ / kClanCountMs, 0.0f, 1.0f);
  auto at = [&](int i) { return static_cast<int>(static_cast<float>(clanCounts_[static_cast<size_t>(i)]) * f); };
  SetText(clanPanel_, 1, Num("金 %d", at(0)));
  SetText(clanPanel_, 2, Num("兵 %d", at(1)));
  SetText(clanPanel_, 3, Num("石高 %d", at(2)));
  SetText(clanPanel_, 4, Num("武将 %d", at(3)));
  SetText(clanPanel_, 5, Num("威信 %d", at(4)));
  SetText(clanPanel_, 6, Num("CP %d", at(5)));
}

void CVMenuSLGMain::ShowKuniTooltip(int32_t kuni, int32_t x, int32_t y) {
  if (!kuniTip_) return;
  if (kuni < 0) {
    Show(kuniTip_, false);
    stateFlags_ &= static_cast<uint16_t>(~kKuniTip);
    return;
  }
  static const char* const kRegions[10] = {"東北", "関東", "東海", "甲信", "北陸",
                                           "近畿", "山陰", "山陽", "四国", "九州"};
  SetText(kuniTip_, 0, std::string(GetKuniName(static_cast<uint32_t>(kuni))) + "国");
  SetText(kuniTip_, 1, kRegions[KuniTable[kuni].region % 10]);
  ::CTenkaList_Busyo own;
  ListKuniBusyo(static_cast<uint32_t>(kuni), static_cast<uint8_t>(currentDaimyo_), own);
  int others = 0;
  for (int g = 0; g < NullBusyoId; ++g) {
    if (BusyoTable[g].siro >= kSiroCount || SiroTable[BusyoTable[g].siro].kuni != kuni) continue;
    const uint8_t c = GetBusyoDaimyo(static_cast<uint32_t>(g));
    if (c != kNoDaimyo && c != currentDaimyo_) ++others;
  }
  SetText(kuniTip_, 2, Num("自家 %d", static_cast<int>(own.size())) + Num("  他家 %d", others));
  Show(kuniTip_, true);
  stateFlags_ |= kKuniTip;
  kuniTip_->SetPosXY(static_cast<float>(std::min(x + 16, 1280 - 200)), static_cast<float>(std::min(y + 16, 720 - 80)));
}

void CVMenuSLGMain::ShowCastleTooltip(int32_t siro, int32_t x, int32_t y) {
  if (!castleTip_) return;
  if (siro < 0) {
    if (stateFlags_ & kCastleTip) {
      castleTip_->ClearAnimeQueue();
      castleTip_->PlayAnime(2);
      Show(castleTip_, false);
    }
    stateFlags_ &= static_cast<uint16_t>(~kCastleTip);
    hoveredCastle_ = -1;
    return;
  }
  const SiroRecord& s = SiroTable[siro];
  SetText(castleTip_, 0,
          std::string(GetSiroName(static_cast<uint32_t>(siro), true)) + "・" +
              (s.owner == kNoDaimyo ? std::string("無主") : std::string(GetDaimyoName(s.owner, true))));
  SetText(castleTip_, 1, Num("規模 %d", s.level) + Num(" / %d", std::max<int>(s.level, s.maxLevel)));
  Vector3 parentPos;
  castleTip_->GetParentWorldPos(parentPos);
  castleTip_->SetPosXY(static_cast<float>(x) - parentPos.x, static_cast<float>(y) - parentPos.y - 60.0f);
  if (siro != hoveredCastle_) {
    castleTip_->ClearAnimeQueue();
    castleTip_->PlayAnime(1);
  }
  Show(castleTip_, true);
  stateFlags_ |= kCastleTip;
  hoveredCastle_ = siro;
}

// ---- icon markers and locks ----

void CVMenuSLGMain::ShowIconMarker(int32_t siro, int32_t mode) {
  for (int i = 0; i < kCastleIcons; ++i) {
    if (castleValue_[i] != siro || !castleIcons_[i]) continue;
    CVMenuBase* marker = Child(castleIcons_[i], kWidgetSprite, 0);
    if (!marker) return;
    marker->SetFlag(kWfAnimRunning, true);
    Show(marker, true);
    marker->ClearAnimeQueue();
    marker->PlayAnime(10);
    CVMenuBase* a = Child(marker, kWidgetSprite, 0);
    CVMenuBase* b = Child(marker, kWidgetSprite, 1);
    Show(a, mode == 0);
    Show(b, mode == 1);
    if (mode == 2) marker->PlayAnime(5);
    return;
  }
}

void CVMenuSLGMain::HideIconMarker(int32_t siro) {
  for (int i = 0; i < kCastleIcons; ++i) {
    if (castleValue_[i] != siro || !castleIcons_[i]) continue;
    if (CVMenuBase* marker = Child(castleIcons_[i], kWidgetSprite, 0)) {
      marker->ClearAnimeQueue();
      Show(marker, false);
    }
  }
}

bool CVMenuSLGMain::IsIconMarkerAnimating(int32_t siro) {
  for (int i = 0; i < kCastleIcons; ++i) {
    if (castleValue_[i] != siro || !castleIcons_[i]) continue;
    CVMenuBase* marker = Child(castleIcons_[i], kWidgetSprite, 0);
    return marker && marker->IsAnimeQueued();
  }
  return false;
}

void CVMenuSLGMain::LockMapButtons(bool on) {
  if (on) {
    for (int i = 2; i <= 4; ++i)
      if (layers_[i]) layers_[i]->SetFlagAll(kWfNoHit, true);
    return;
  }
  if (layers_[2]) layers_[2]->SetFlagAll(kWfNoHit, false);
  const bool view = (stateFlags_ & kFocused) != 0;
  if (layers_[3]) layers_[3]->SetFlagAll(kWfNoHit, view);
  if (layers_[4]) layers_[4]->SetFlagAll(kWfNoHit, !view);
}

void CVMenuSLGMain::ShowSidePanelHint(bool hide) {
  CVMenuBase* panel = sidePanel_;
  CVMenuBase* second = panel ? Child(panel, kWidgetText, 0) : nullptr;
  Show(panel, GetState() == 1);
  Show(second, !hide);
}

// ---- map state ----

void CVMenuSLGMain::FillStartChoice() {
  if (!startPanel_) return;
  // The start-clan rows: the six highest-ranked clans in play (ties by id).
  std::vector<int> clans;
  for (int c = 0; c < kDaimyoInPlay; ++c)
    if (DaimyoTable[c].head < NullBusyoId && CountDaimyoHeldSiro(static_cast<uint32_t>(c)) > 0) clans.push_back(c);
  std::stable_sort(clans.begin(), clans.end(), [](int a, int b) { return DaimyoTable[a].rank > DaimyoTable[b].rank; });
  for (int i = 0; i < 6; ++i) {
    CVMenuBtn* b = FindButtonById(12500 + i);
    if (!b) continue;
    if (i >= static_cast<int>(clans.size())) {
      Show(b, false);
      continue;
    }
    Show(b, true);
    b->SetRefParam(1, static_cast<float>(clans[i]));
    b->SetRefParam(2, static_cast<float>(ScenarioNumber));
    SetText(b, 0,
            std::string(GetDaimyoName(static_cast<uint32_t>(clans[i]), true)) + "（" +
                GetKuniName(GetDaimyoHomeKuni(static_cast<uint32_t>(clans[i]))) + "）");
  }
  if (CVMenuBtn* b = FindButtonById(12000)) b->SetRefParam(2, 0.0f);
  if (CVMenuBtn* b = FindButtonById(12001)) b->SetRefParam(2, 1.0f);
}

int32_t CVMenuSLGMain::SetState(int32_t s, int32_t force) {
  const int32_t old = GetState();
  if (old == s && !force) return 0;
  CVMenuSceneRoot::SetState(s, force);
  switch (s) {
    case 0:
      if (old == 1) {
        Show(layers_[5], false);
        Show(sidePanel_, false);
        if (PlayRecordBlock.optionFlags & 1) stateFlags_ |= kLegend;
        Show(legend_, (stateFlags_ & kLegend) != 0);
        for (int id = 11001; id <= 11002; ++id)
          if (CVMenuBtn* b = FindButtonById(id)) b->SetFlag(kWfEnabled, true);
        Show(layers_[1], true);
      }
      ClearKuniFocus();
      break;
    case 1:
      Show(layers_[5], true);
      Show(sidePanel_, true);
      Show(legend_, false);
      for (int id = 11001; id <= 11002; ++id)
        if (CVMenuBtn* b = FindButtonById(id)) b->SetFlag(kWfEnabled, false);
      stateFlags_ &= static_cast<uint16_t>(~(kCommandMenu | kWaiting));
      RebuildCommandMenu();
      FillStartChoice();
      break;
    case 2:
    case 4:
      HideCommandMenu();
      [[fallthrough]];
    case 3:
      ClearKuniFocus();
      RecolorKuni(-1);
      break;
    default:
      break;
  }
  return 1;
}

void CVMenuSLGMain::UpdateStartChoice(int32_t decided, int32_t hovered, uint32_t click) {
  for (int32_t& w : choice_) w = -1;
  if (GetState() != 1) return;
  auto param = [this](int32_t id, int i) {
    CVMenuBtn* b = FindButtonById(id);
    return b ? static_cast<int32_t>(b->GetRefParam(i)) : -1;
  };
  if (decided >= 12500 && decided <= 12505) {
    choice_[0] = param(decided, 1);
    choice_[4] = param(decided, 2);
  } else if (decided == 12000 || decided == 12001) {
    choice_[4] = param(decided, 2);
  } else if (click && decided == -1 && hoveredKuni_ >= 0) {
    choice_[2] = hoveredKuni_;
  }
  if (hovered >= 12500 && hovered <= 12505) {
    choice_[1] = param(hovered, 1);
    choice_[5] = param(hovered, 2);
  } else if (hovered == -1 && hoveredKuni_ >= 0) {
    choice_[3] = hoveredKuni_;
  }
}

// ---- the frame ----

void CVMenuSLGMain::Update(int32_t x, int32_t y, uint32_t click) {
  CVMenuSceneRoot::Update(x, y, click);
  TypeMessage();
  if (clanCountMs_ < kClanCountMs) {
    clanCountMs_ += timeStep;
    CountClanPanel();
  }
  ApplySubmenuRequest();
  // Closing of the province view ends when its children have played their leave animations.
  if ((stateFlags_ & kClosing) && layers_[4]) {
    if (!LayerFading(layers_[4], 2)) {
      Show(layers_[4], false);
      stateFlags_ &= static_cast<uint16_t>(~(kFocused | kClosing));
    }
  }
  // The input gate: an open command dialog raised the depth bound above the map. The tooltips
  // belong to the pointer's last place on the map and would lie over the dialog: they go until the
  // pointer moves over the map again.
  if (GetWorldZ() < static_cast<float>(GetMenuMgr().GetDepthBound())) {
    ShowCastleTooltip(-1, 0, 0);
    if (stateFlags_ & kKuniTip) {
      Show(kuniTip_, false);
      stateFlags_ &= static_cast<uint16_t>(~kKuniTip);
    }
    return;
  }

  if (pendingQuestion_ != -1) {
    const int32_t answer = ::GetDialogResult();
    // Only a real answer ends the question: the dialog may not have opened yet.
    if (answer != -1) {
      if (answer == 1) {
        SlgCommandRules& rules = GetSlgCommandRules();
        if (pendingQuestion_ == 0)
          GameMode = game_mode::kIdle;
        else if (pendingQuestion_ == 1) {
          rules.quickSave();
          RebuildCommandMenu();
        } else if (pendingQuestion_ == 2) {
          rules.quickLoad();
        }
      }
      pendingQuestion_ = -1;
    }
  }

  // No button of the map carries the back id 1, so a right click would press nothing and a command
  // waiting for a pick could never be left: the right click answers the back id itself.
  if (clickState == 2 && cancelId == 1 && decidedId == -1 && !FindButtonById(1)) SetSelect(1, true);
  const int32_t decided = decidedId;
  const int32_t hovered = selectedId;
  const bool mainTable = (stateFlags_ & (kSystemMenu | kInfoMenu)) == 0;
  const bool submenuButton = (mainTable && (decided == 10010 || decided == 10013)) || (!mainTable && decided == 10014);
  if (decided != -1 && !submenuButton) HandleDecided(decided);
  if (submenuButton && (selMask_ & 0x0001)) {
    submenuRequest_ = decided == 10010 ? 3 : decided == 10013 ? 4 : -1;
    stateFlags_ |= kSubmenuRequest;
  }
  // A click on a refused button says why: its refusal text on the help line.
  const int32_t refused = disabledClickId;
  disabledClickId = -1;
  if (refused != -1 && decided == -1) {
    const std::string why = RefusalOf(refused);
    if (!why.empty()) ShowHelpText(why);
  }
  HandleHover(hovered, x, y);
  HandleMapHit(x, y, hovered == -1 ? click : 0u);
  // A greyed button carries its refusal as a help text, shown as the pointer comes onto it.
  const int32_t refusedHover = hovered == -1 ? RefusedButtonAt(x, y) : -1;
  if (refusedHover != hoveredRefused_) {
    hoveredRefused_ = refusedHover;
    if (refusedHover != -1) ShowHelpText(RefusalOf(refusedHover));
  }

  if ((stateFlags_ & kHelpTimer) && (helpTimer_ -= timeStep) <= 0.0f) {
    stateFlags_ &= static_cast<uint16_t>(~kHelpTimer);
    ShowMessage(savedMessage_.c_str(), 0);
  }
  if (scroll_ && scroll_->value != lastScroll_) {
    lastScroll_ = scroll_->value;
    FillRows();
  }
  UpdateStartChoice(decided, hovered, click);
  if (pointer_ && pointer_->GetRefParam(0) < 0.0f && !pointer_->IsAnimeQueued()) Show(pointer_, false);
  if (click && decided == -1 && selectedCastle_ >= 0 && commandInProgress_ == -1 && (stateFlags_ & kFocused) &&
      x >= 330 && x < 1230 && y >= 110 && y < 370) {
    SelectCastle(-1);
    if (CVSceneSLG* s = SlgScene()) s->ResetHit();
  }
  if (stateFlags_ & kKuniTip && kuniTip_)
    kuniTip_->SetPosXY(static_cast<float>(std::min(x + 16, 1280 - 200)),
                       static_cast<float>(std::min(y + 16, 720 - 80)));
}

void CVMenuSLGMain::HandleDecided(int32_t id) {
  CVSceneSLG* s = SlgScene();
  if (id >= 700 && id <= 706) {
    if (sortButton_ == id) {
      sortDescending_ = !sortDescending_;
    } else {
      if (CVMenuBtn* prev = FindButtonById(sortButton_))
        if (CVMenuBase* ind = Child(prev, kWidgetSprite, 0)) ind->SetState(0, 0);
      sortButton_ = id;
      sortDescending_ = false;
    }
    if (CVMenuBtn* cur = FindButtonById(id))
      if (CVMenuBase* ind = Child(cur, kWidgetSprite, 0)) ind->SetState(sortDescending_ ? 2 : 1, 0);
    list_.StableSort(GetSortColumn(id), sortDescending_);
    FillRows();
  } else if (id >= 300 && id <= 307) {
    const int32_t c = castleValue_[id - 300];
    if (c == 0xFFFF) return;
    if (c == selectedCastle_ && (selMask_ & 0x0008)) {
      ::CTenkaList_Busyo ids;
      ListSiroBusyo(static_cast<uint32_t>(c), static_cast<uint8_t>(currentDaimyo_), ids);
      bool newly = false;
      for (int32_t g : ids)
        if (!marked_.count(g) && IsBusyoSelectable(g)) marked_.insert(g), newly = true;
      if (!newly)
        for (int32_t g : ids) marked_.erase(g);
      FillRows();
    } else if (c != selectedCastle_) {
      SelectCastle(c);
    }
  } else if (id >= 350 && id <= 359) {
    const int32_t c = contactValue_[id - 350];
    if (c == 0xFFFF) return;
    if (!(selMask_ & 0x0040))
      FocusKuni(GetSiroKuni(static_cast<uint32_t>(c)), true);
    else if (c != selectedCastle_)
      SelectCastle(c);
  } else if ((id >= 500 && id <= 505) || (id >= 600 && id <= 605)) {
    const int32_t g = rowValue_[id % 100];
    if (g == 0xFFFF) return;
    const bool detail = id >= 600 || ((selMask_ & 0x0104) == 0) || GetState() != 0;
    if (detail) {
      // Every general's page can be opened; only the player's own can be changed there.
      if (s) s->OpenInfoDetail(g, commandInProgress_ == -1 ? 1 : 0, &list_);
      return;
    }
    if (!marked_.count(g)) {
      // A single pick replaces the mark: the earlier general is unmarked before the test, or a
      // second pick could never be made.
      const bool single = (selMask_ & 0x0004) && !(selMask_ & 0x0108);
      if (single && !marked_.empty()) {
        const std::set<int32_t> before = marked_;
        marked_.clear();
        if (!IsBusyoSelectable(g)) {
          marked_ = before;
          return;
        }
      } else if (!IsBusyoSelectable(g)) {
        return;
      }
      marked_.insert(g);
    } else if (!(selMask_ & 0x0100)) {
      marked_.erase(g);
    }
    FillRows();
  } else if (id == 750) {
    ClearKuniFocus();
  } else if (id == 11000) {
    ToggleLegend();
  } else if (id == 1) {
    if ((stateFlags_ & kFocused) && commandInProgress_ == -1)
      ClearKuniFocus();
    else if ((stateFlags_ & kLegend) && commandInProgress_ == -1 && GetState() == 0)
      ToggleLegend();  // the legend's own "右クリック：戻る"
  } else if ((stateFlags_ & (kSystemMenu | kInfoMenu)) == 0) {
    if (id == 10011 && OpenDialogScene(6, 0))
      pendingQuestion_ = 1;
    else if (id == 10012 && OpenDialogScene(4, 0))
      pendingQuestion_ = 2;
  } else if (stateFlags_ & kSystemMenu) {
    if (id >= 10010 && id <= 10012)
      GetSceneMgr().RequestChangeWithCover(4 + (id - 10010), 1, -1.0f, -1.0f);
    else if (id == 10013 && OpenDialogScene(8, 0))
      pendingQuestion_ = 0;
  }
}

void CVMenuSLGMain::HandleHover(int32_t id, int32_t x, int32_t y) {
  if (id == -1) {
    if (hoveredCastle_ >= 0 && selectedKuni_ >= 0 && (stateFlags_ & kFocused)) SelectCastle(selectedCastle_);
    if (hoveredBusyo_ >= 0) {
      for (int i = 0; i < kCastleIcons; ++i)
        if (castleIcons_[i])
          castleIcons_[i]->SetFlag(kWfRest4, castleValue_[i] == selectedCastle_ && selectedCastle_ >= 0);
      hoveredBusyo_ = -1;
    }
    if (stateFlags_ & (kHoverOwn | kHoverAlly)) {
      stateFlags_ &= static_cast<uint16_t>(~(kHoverOwn | kHoverAlly));
      RecolorKuni(hoveredKuni_);
      UpdateLegend();
    }
    if (hoveredButton_ >= 10000 && hoveredButton_ <= 10014 && !(stateFlags_ & (kWaiting | kTyping)))
      ShowMessage(nullptr, 1);
    ShowCastleTooltip(-1, x, y);
    hoveredButton_ = -1;
    return;
  }
  if (id >= 300 && id <= 307) {
    const int32_t c = castleValue_[id - 300];
    if (c != 0xFFFF && c != hoveredCastle_) {
      ShowCastleTooltip(c, x, y);
      FillBusyoList(selectedKuni_, c, -1);
    } else if (c != 0xFFFF) {
      ShowCastleTooltip(c, x, y);
    }
  } else {
    ShowCastleTooltip(-1, x, y);
  }
  if (id >= 500 && id <= 505 && (stateFlags_ & kFocused)) {
    const int32_t g = rowValue_[id - 500];
    if (g != 0xFFFF) {
      hoveredBusyo_ = g;
      const uint16_t siro = GetBusyoSiro(static_cast<uint32_t>(g));
      for (int i = 0; i < kCastleIcons; ++i)
        if (castleIcons_[i]) castleIcons_[i]->SetFlag(kWfRest4, castleValue_[i] == siro);
    }
  }
  if ((id == 11001 || id == 11002) && id != hoveredButton_) {
    stateFlags_ &= static_cast<uint16_t>(~(kHoverOwn | kHoverAlly));
    stateFlags_ |= id == 11001 ? kHoverOwn : kHoverAlly;
    RecolorKuni(hoveredKuni_);
    UpdateLegend();
  } else if (id != 11001 && id != 11002 && (stateFlags_ & (kHoverOwn | kHoverAlly))) {
    stateFlags_ &= static_cast<uint16_t>(~(kHoverOwn | kHoverAlly));
    RecolorKuni(hoveredKuni_);
    UpdateLegend();
  }
  if (id >= 10000 && id <= 10014 && id != 10009 && id != hoveredButton_ && !(stateFlags_ & (kWaiting | kTyping))) {
    const int32_t table = CurrentTable();
    const int32_t row = id <= 10008 ? id - 10000 : id - 10001;
    const SlgCommandRow& r = TableRow(table, row);
    if (r.command >= 0) {
      ShowMessage(GetSlgCommandRules().label(r.command).c_str(), 1);
    }
  }
  hoveredButton_ = id;
}

void CVMenuSLGMain::HandleMapHit(int32_t x, int32_t y, uint32_t click) {
  const bool view = (stateFlags_ & kFocused) != 0;
  int32_t p = -1;
  if (selMask_ & 0x0002) p = view ? kuniK_.MaskLookup(x, y) : kuniZ_.MaskLookup(x, y);
  if (p > 66) p = -1;  // mask bytes past the provinces are no province
  if (!KuniEnabled(p) && GetState() != 1) p = -1;
  if (view) {
    if (click && p >= 0 && p != selectedKuni_) FocusKuni(p, true);
    if (hoveredKuni_ != -1) {
      hoveredKuni_ = -1;
    }
    return;
  }
  if (!click) {
    if (p != hoveredKuni_) {
      hoveredKuni_ = p;
      RecolorKuni(p);
      if (commandInProgress_ == -1) ShowKuniTooltip(p, x, y);
    }
    return;
  }
  if (p < 0) return;
  if (GetState() == 1) return;  // the start choice reports the click; the rules decide
  if (p == selectedKuni_)
    FocusKuni(p, true);
  else
    SelectKuni(p);
}
