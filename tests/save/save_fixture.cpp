#include "save_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/app_state.h"
#include "core/game_file.h"
#include "core/game_rand.h"
#include "core/step_machine.h"
#include "save/save_slot.h"
#include "save/slg_words.h"
#include "save/system_files.h"
#include "sound/sound.h"
#include "formats/script/script_asm.h"
#include "formats/script/script_builder.h"
#include "formats/script/script_set_files.h"
#include "platform/fs/fs.h"
#include "platform/text/log.h"
#include "scenario/script/adv_script.h"
#include "world/record_lists.h"
#include "world/scenario_tables.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

const char* const kSetSource =
    "$flag = 0\n"
    "*start \"entry\"\n"
    ">> spk\n"
    "hello\n"
    "<<\n"
    "#End\n"
    "*extra_one\n"
    ">> spk\n"
    "one\n"
    "<<\n"
    "#End\n"
    "*extra_two\n"
    "#End\n";

template <typename T>
void Append(std::vector<uint8_t>& out, const T& value) {
  const auto* p = reinterpret_cast<const uint8_t*>(&value);
  out.insert(out.end(), p, p + sizeof value);
}

void Fill(void* data, size_t size, uint8_t seed) {
  auto* p = static_cast<uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) p[i] = static_cast<uint8_t>(i * 7 + seed + (i >> 8));
}

}  // namespace

GameSnapshot TakeSnapshot() {
  GameSnapshot s;
  Append(s.world, KuniTable);
  Append(s.world, SiroTable);
  Append(s.world, DaimyoTable);
  Append(s.world, BusyoTable);
  Append(s.world, DokuBusyoList);
  for (int i = 1; i <= kItemCount; ++i) Append(s.world, ItemStock[i]);
  Append(s.world, TurnCounter);
  Append(s.world, GameYear);
  Append(s.world, SeasonIndex);
  Append(s.world, PlayerDaimyoId);
  Append(s.world, TurnSubPhase);
  Append(s.world, ClanOrderList);
  Append(s.world, MarchOrderList);
  Append(s.world, FirstTurnFlag);
  Append(s.world, CurrentKuniId);
  Append(s.world, SlgPhaseIndex);
  Append(s.world, SlgCommandCode);
  Append(s.world, UnificationStage);
  Append(s.world, UnificationDeclared);
  Append(s.world, ScenarioNumber);
  Append(s.world, StoryEventBlockFlag);
  Append(s.world, ScriptSavedWord);
  Append(s.world, SlgSavedWord);
  s.events = SaveSlgEventData();
  Append(s.program, GameMode);
  Append(s.program, g_StepMachine.state);
  Append(s.program, g_StepMachine.subStep);
  Append(s.program, g_StepMachine.step);
  uint8_t progress[kProgressBlockBytes];
  ProgressBlockToBytes(progress);
  Append(s.program, progress);
  s.randState = GetGameRandState();
  return s;
}

void SaveTest::SetUp() {
  ASSERT_TRUE(dir_.Installed());
  root_ = dir_.Path();
  // The sample scenario's tables, for the worlds the tests save.
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(root_) / "Data", ec);
  std::filesystem::create_directory_symlink(std::filesystem::path(V4_TEST_GAME_DIR) / "Data" / "scenario",
                                            std::filesystem::path(root_) / "Data" / "scenario", ec);
  ASSERT_FALSE(ec) << ec.message();
  SetErrorBoxPresenter(&boxes_);
  plat::SetLogEnabled(std::getenv("V4_TEST_LOG") != nullptr);
  // A small script set as set 0, loaded into the program's script state.
  v4fmt::CompiledScriptSet set;
  std::vector<std::string> errors;
  ASSERT_TRUE(v4fmt::AssembleScript(kSetSource, "save.v4s", set, errors)) << (errors.empty() ? "" : errors[0]);
  std::string err;
  ASSERT_TRUE(v4fmt::WriteScriptSetFiles(root_, "Data/script/save", v4fmt::BuildScriptSetImages(set), &err)) << err;
  ASSERT_TRUE(v4fmt::WriteScriptSetNameFile(root_, 0, "Data/script/save", &err)) << err;
  ASSERT_TRUE(GetAdvScript().LoadScriptFiles(0));
  GetAdvScript().MarkSavePoint(0);
  ClearPlayRecord();
  SetDefaultSysConfig();
  RunId = 0;
  SetRunCleared(0);
}

void SaveTest::TearDown() {
  SetErrorBoxPresenter(nullptr);
  plat::SetLogEnabled(true);
  plat::InvalidateDirectoryCache();
}

namespace {

// The sample scenario's world, loaded once: a load checks the world as a whole, so the saved worlds
// are real ones, told apart by values no invariant looks at.
struct SampleWorld {
  std::vector<uint8_t> kuni, siro, daimyo, busyo, doku;
  bool loaded = false;
};

template <typename T>
void Keep(std::vector<uint8_t>& out, const T& table) {
  const auto* p = reinterpret_cast<const uint8_t*>(&table);
  out.assign(p, p + sizeof table);
}

template <typename T>
void Put(T& table, const std::vector<uint8_t>& in) {
  std::memcpy(&table, in.data(), sizeof table);
}

const SampleWorld& Sample() {
  static SampleWorld w;
  if (!w.loaded) {
    ClearWorldTables();
    SiroCheckReported = 0;
    if (!LoadScenarioTables(ScenarioDirectory(0).c_str()) || !LoadCommonTables()) return w;
    FixupBusyoVariants();
    Keep(w.kuni, KuniTable);
    Keep(w.siro, SiroTable);
    Keep(w.daimyo, DaimyoTable);
    Keep(w.busyo, BusyoTable);
    Keep(w.doku, DokuBusyoList);
    w.loaded = true;
  }
  return w;
}

}  // namespace

void SaveTest::FillGame(uint8_t seed) {
  const SampleWorld& w = Sample();
  ASSERT_TRUE(w.loaded) << "the sample scenario is missing (build sample_data first)";
  Put(KuniTable, w.kuni);
  Put(SiroTable, w.siro);
  Put(DaimyoTable, w.daimyo);
  Put(BusyoTable, w.busyo);
  Put(DokuBusyoList, w.doku);
  for (int c = 0; c < kDaimyoSlots; ++c) DaimyoTable[c].money = static_cast<uint16_t>(1000 + c * 7 + seed * 31);
  for (int b = 0; b < kBusyoCount; ++b) {
    BusyoTable[b].experience = static_cast<uint16_t>(b * 3 + seed);
    BusyoTable[b].growthMark = static_cast<uint16_t>(b + seed * 5);
  }
  Fill(ItemStock, sizeof ItemStock, seed + 5);
  // The orders are permutations (a load refuses anything else); the bytes past the clans vary too.
  Fill(ClanOrderList, sizeof ClanOrderList, seed + 6);
  for (int i = 0; i < 60; ++i) ClanOrderList[i] = static_cast<uint8_t>((i + seed) % 60);
  for (int i = 0; i < 254; ++i) MarchOrderList[i] = static_cast<uint8_t>((i * 3 + seed) % 254);
  Fill(BusyoFlagTable, sizeof BusyoFlagTable, seed + 8);
  TurnCounter = static_cast<uint16_t>(0x1200 + seed);
  GameYear = static_cast<uint16_t>(1550 + seed);
  SeasonIndex = static_cast<uint8_t>(seed % 4);
  PlayerDaimyoId = static_cast<uint8_t>(seed % 60);
  TurnSubPhase = static_cast<uint8_t>(seed % 5);
  FirstTurnFlag = seed & 1;
  CurrentKuniId = static_cast<uint8_t>(seed % 67);
  SlgPhaseIndex = static_cast<uint8_t>(seed % 60);
  SlgCommandCode = static_cast<uint8_t>(seed);
  UnificationStage = seed % 3;
  UnificationDeclared = seed & 1;
  ScenarioNumber = seed % 2;
  StoryEventBlockFlag = seed & 1;
  ScriptSavedWord = 0x5A5A0000 + seed;
  SlgSavedWord = static_cast<uint16_t>(0xBEE0 + seed);
  ClearSlgEventMap();
  for (uint32_t k = 0; k < 3u + seed % 3; ++k) {
    std::string name = "event" + std::to_string(seed) + "_" + std::to_string(k);
    RegisterSlgEvent(100 + k * 17 + seed, name.c_str(), k & 1, (k >> 1) & 1);
  }
  GameMode = 11;
  for (int i = 0; i < kStepLevels; ++i) {
    g_StepMachine.state[i] = static_cast<uint8_t>((i + seed) % 3);
    g_StepMachine.subStep[i] = static_cast<uint32_t>(i * 3 + seed);
    g_StepMachine.step[i] = static_cast<uint32_t>(i + seed);
  }
  g_StepMachine.step[1] = static_cast<uint32_t>(1 + seed % 6);  // the main strategy step holds one of its steps
  for (int ch = 0; ch < kSoundChannelCount; ++ch) {
    SoundChannelRecord& r = GetSoundChannelRecord(ch);
    r = SoundChannelRecord{};
    r.loop = ch & 1;
    std::snprintf(r.file, sizeof r.file, "Data\\bgm\\M%02d_%d.voi", ch, seed);
    r.wasPlaying = ch == 0 ? 1 : 0;
  }
  Fill(ProgressReserved, sizeof ProgressReserved, seed + 9);
  SetGameRandState(0xC0FFEE00u + seed);
}

std::string SaveTest::HostPath(const std::string& relative) const { return dir_.File(relative); }

std::vector<uint8_t> SaveTest::ReadHost(const std::string& relative) const { return dir_.Read(relative); }

void SaveTest::WriteHost(const std::string& relative, const std::vector<uint8_t>& bytes) const {
  dir_.Write(relative, bytes);
  plat::InvalidateDirectoryCache();
}

bool SaveTest::HostExists(const std::string& relative) const { return std::filesystem::exists(HostPath(relative)); }

int64_t SaveTest::HostSize(const std::string& relative) const {
  std::error_code ec;
  auto n = std::filesystem::file_size(HostPath(relative), ec);
  return ec ? -1 : static_cast<int64_t>(n);
}
