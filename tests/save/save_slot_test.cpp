// Save slots: round trip, header layout, rings, version tags, interrupted saves, damaged files.
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/file_io.h"
#include "core/game_rand.h"
#include "core/step_machine.h"
#include "save/save_slot.h"
#include "save/slg_words.h"
#include "save/system_files.h"
#include "save/war_save_registry.h"
#include "platform/fs/fs.h"
#include "save_fixture.h"
#include "scenario/script/adv_script.h"
#include "world/record_lists.h"
#include "world/scenario_tables.h"
#include "world/turn/interim_battle.h"
#include "world/turn/turn_state.h"
#include "world/world_tables.h"

namespace {

using SaveSlotTest = SaveTest;

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

TEST_F(SaveSlotTest, SlotRoundTripRestoresEveryTableAndLeavesMemoryUnchangedBySaving) {
  FillGame(1);
  const GameSnapshot saved = TakeSnapshot();
  const size_t events = SlgEventMap.size();
  ASSERT_TRUE(SaveGameSlot(7, GameMode));
  EXPECT_TRUE(TakeSnapshot() == saved) << "saving changed the game";

  EXPECT_EQ(HostSize("SaveData/d07/head.dat"), 324);
  EXPECT_EQ(HostSize("SaveData/d07/prg.dat"), 3900);
  EXPECT_EQ(HostSize("SaveData/d07/slg.dat"), 445329 + 4 + 72 * static_cast<int64_t>(events) + 2000);
  EXPECT_GT(HostSize("SaveData/d07/adv.dat"), 0);
  EXPECT_FALSE(HostExists("SaveData/d07/slg.dat.new"));
  EXPECT_EQ(PlayRecordBlock.lastSlot, 7);
  EXPECT_EQ(HostSize("SaveData/sys/plc.dat"), 306455);

  FillGame(2);
  ASSERT_FALSE(TakeSnapshot() == saved);
  ASSERT_TRUE(LoadGameSlot(7));
  GameSnapshot loaded = TakeSnapshot();
  EXPECT_EQ(loaded.world, saved.world);
  EXPECT_EQ(loaded.events, saved.events);
  EXPECT_EQ(loaded.program, saved.program);
  EXPECT_EQ(loaded.randState, saved.randState);
  EXPECT_EQ(ActingSideFlag, 0);
}

TEST_F(SaveSlotTest, StrategySaveMadeBeforeAnyScriptLoadsBack) {
  // The strategy game started from the title has no script set loaded (as after start-up).
  ASSERT_TRUE(LoadStartLabelList(0));
  ASSERT_EQ(GetAdvScript().setNumber, -1);
  FillGame(3);
  const GameSnapshot saved = TakeSnapshot();
  ASSERT_TRUE(SaveGameSlot(12, 11));
  ASSERT_TRUE(GetAdvScript().LoadScriptFiles(0));
  FillGame(4);
  ASSERT_TRUE(LoadGameSlot(12));
  EXPECT_TRUE(TakeSnapshot() == saved);
  EXPECT_EQ(GetAdvScript().setNumber, -1);
  EXPECT_EQ(GetAdvScript().loaded, 0u);
}

// A story save made before any strategy game holds a world never set up (no year, empty orders):
// it loads outside the strategy game. A strategy save of that world, or one whose other words are
// out of range, is still refused.
TEST_F(SaveSlotTest, StorySaveMadeBeforeAnyStrategyGameLoadsBack) {
  struct Case {
    const char* what;
    int32_t mode;
    void (*change)();
    bool loads;
  } cases[] = {
      {"story, unstarted world", game_mode::kMainScript, [] {}, true},
      {"tutorial, unstarted world", game_mode::kOtherScript, [] {}, true},
      {"strategy, unstarted world", game_mode::kSlg, [] {}, false},
      {"story, one clan in the order", game_mode::kMainScript, [] { ClanOrderList[3] = 7; }, false},
      {"story, one march entry", game_mode::kMainScript, [] { MarchOrderList[200] = 1; }, false},
      {"story, season out of range", game_mode::kMainScript, [] { SeasonIndex = 9; }, false},
      {"story, sub-phase out of range", game_mode::kMainScript, [] { TurnSubPhase = 5; }, false},
  };
  for (const Case& c : cases) {
    FillGame(21);
    ClearWorldTables();
    ClearSlgEventMap();
    FirstTurnFlag = 1;
    UnificationStage = 0;
    UnificationDeclared = 0;
    g_StepMachine.step[1] = 0;
    c.change();
    const GameSnapshot saved = TakeSnapshot();
    ASSERT_TRUE(SaveGameSlot(31, c.mode)) << c.what;
    FillGame(22);
    const GameSnapshot other = TakeSnapshot();
    EXPECT_EQ(LoadGameSlot(31), c.loads) << c.what;
    if (c.loads) {
      EXPECT_TRUE(TakeSnapshot().world == saved.world) << c.what;
      EXPECT_EQ(GameMode, c.mode) << c.what;
    } else {
      EXPECT_TRUE(TakeSnapshot() == other) << c.what;
    }
  }
}

TEST_F(SaveSlotTest, SlgBlocksLieAtTheirOffsets) {
  FillGame(3);
  TurnCounter = 0x1234;
  PlayerDaimyoId = 0x56;
  UnificationDeclared = 1;
  SlgSavedWord = 0xABCD;
  SetGameRandState(0x89ABCDEFu);
  g_TurnWork.war = WarWork{};
  g_TurnWork.war.resolveIndex = 7;
  g_TurnWork.war.clanPos = 3;
  g_TurnWork.war.daimyoBattleSiro = 0x0123;
  g_InterimBattle = InterimBattleState{};
  g_InterimBattle.castle = 0x0042;
  ASSERT_TRUE(SaveSlgData(0));
  g_TurnWork.war = WarWork{};
  std::vector<uint8_t> file = ReadHost("SaveData/d00/slg.dat");
  // Each block is scrambled by itself from the seed.
  auto block = [&](size_t at, size_t size) {
    std::vector<uint8_t> b(file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(at + size));
    DescrambleBytes(b.data(), static_cast<int32_t>(size), kSaveSeed);
    return b;
  };
  const size_t tables = 11776 + 41984 + 153088 + 236000 + 508 + 512;
  EXPECT_EQ(block(tables, 2), (std::vector<uint8_t>{0x34, 0x12}));
  EXPECT_EQ(block(tables + 2 + 2 + 1, 1), std::vector<uint8_t>{0x56});
  // 2+2+1+1+1+64+254+4+1+1+1+4 bytes after the tables: UnificationDeclared (1 byte).
  const size_t declared = tables + 336;
  EXPECT_EQ(block(declared, 1), std::vector<uint8_t>{1});
  const size_t savedWord = declared + 1 + 4 + 4 + 4;
  EXPECT_EQ(block(savedWord, 2), (std::vector<uint8_t>{0xCD, 0xAB}));
  EXPECT_EQ(block(savedWord + 2, 4), (std::vector<uint8_t>{0xEF, 0xCD, 0xAB, 0x89}));
  EXPECT_EQ(savedWord + 2 + 4, 444223u);
  // The war-phase fields, each a block of its own width, then the battle's fields.
  const size_t widths[] = {1, 1, 2, 4, 1, 1, 2, 2, 2, 1, 1, 2, 2, 2, 1, 1, 1, 2, 2, 2, 2, 1, 2, 1, 1, 1, 1, 1032, 32};
  size_t at = 444223;
  std::vector<uint8_t> fields;
  for (size_t w : widths) {
    std::vector<uint8_t> b = block(at, w);
    fields.insert(fields.end(), b.begin(), b.end());
    at += w;
  }
  EXPECT_EQ(at, 445329u);
  EXPECT_EQ(fields[0], 7);      // ResolveMarches: order index
  EXPECT_EQ(fields[24], 3);     // RunClanMarches: order position
  EXPECT_EQ(fields[33], 0x23);  // RunDaimyoMarches: battle castle
  EXPECT_EQ(fields[34], 0x01);
  EXPECT_EQ(fields[36], 0x42);  // the battle's castle
  EXPECT_EQ(fields[37], 0x00);
  std::vector<uint8_t> rest = block(445329, file.size() - 445329);
  EXPECT_EQ(Le32(rest, 0), SlgEventMap.size());
  EXPECT_EQ(0, std::memcmp(&rest[4 + 72 * SlgEventMap.size()], BusyoFlagTable, 2000));
}

TEST_F(SaveSlotTest, HeaderFieldsAtTheirOffsets) {
  FillGame(4);
  PlayerDaimyoId = 2;
  DaimyoTable[2].head = 5;
  DaimyoTable[2].revenue = 0x0ABC;
  std::memset(DaimyoTable[2].name, 0, sizeof DaimyoTable[2].name);
  std::memcpy(DaimyoTable[2].name, "織田家", 6);
  BusyoTable[5].picture = 0x1234;
  StoryEventBlockFlag = 0x0101;
  TurnSubPhase = 3;
  RunId = 0x11223344;
  SetRunCleared(1);
  const int64_t before = std::time(nullptr);
  ASSERT_TRUE(SaveGameSlot(115, 11));
  const int64_t after = std::time(nullptr);

  std::vector<uint8_t> h = ReadHost("SaveData/a05/head.dat");
  ASSERT_EQ(h.size(), 324u);
  EXPECT_EQ(h[0], 1);  // plain
  DescrambleBytes(h.data() + 1, 323, kSaveSeed);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&h[1])), "VORNAKESTIL4_TRIAL_VER1.0.0");
  EXPECT_EQ(h[28], 0);
  EXPECT_EQ(Le32(h, 29), 0u);
  EXPECT_EQ(h[33], 0x01);
  EXPECT_EQ(h[34], 3);
  EXPECT_EQ(h[35] | h[36] << 8, 0x1234);
  EXPECT_EQ(h[37] | h[38] << 8, 0x0ABC);
  const int64_t t = static_cast<int64_t>(uint64_t(Le32(h, 39)) | uint64_t(Le32(h, 43)) << 32);
  EXPECT_GE(t, before);
  EXPECT_LE(t, after);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&h[47])), "織田家");
  for (size_t i = 47 + 6; i < 63; ++i) EXPECT_EQ(h[i], 0) << i;
  for (size_t i = 63; i < 319; ++i) ASSERT_EQ(h[i], 0) << i;
  EXPECT_EQ(h[319], 1);
  EXPECT_EQ(Le32(h, 320), 0x11223344u);

  SlotHeader read;
  ASSERT_TRUE(ReadSlotHeader(115, read));
  EXPECT_TRUE(CheckSaveVersion(read));
  EXPECT_EQ(read.picture, 0x1234);
  EXPECT_EQ(read.saveTime, t);
}

TEST_F(SaveSlotTest, HeaderWithoutClanOrHeadStaysInBounds) {
  FillGame(5);
  struct Case {
    uint8_t player;
    uint16_t head;
    const char* name;  // 10-byte field, may be unterminated
    uint16_t picture, koku;
    const char* expectedName;
  } cases[] = {
      {255, 0, "abc", 0, 0, ""},
      {3, 0xFFFF, "abc", 0, 0x0203, "abc"},
      {3, 2000, "abc", 0, 0x0203, "abc"},
      {3, 1999, "abcdefghij", 0x0777, 0x0203, "abcdefghij"},
  };
  for (const Case& c : cases) {
    PlayerDaimyoId = c.player;
    DaimyoTable[3].head = c.head;
    DaimyoTable[3].revenue = 0x0203;
    std::memset(DaimyoTable[3].name, 0, sizeof DaimyoTable[3].name);
    std::memcpy(DaimyoTable[3].name, c.name, std::strlen(c.name));
    BusyoTable[1999].picture = 0x0777;
    SlotHeader h;
    BuildSlotHeader(h, 0);
    EXPECT_EQ(h.subPhase, 255);
    EXPECT_EQ(h.picture, c.picture) << int(c.player) << "/" << c.head;
    EXPECT_EQ(h.koku, c.koku) << int(c.player) << "/" << c.head;
    EXPECT_STREQ(h.clanName, c.expectedName);
  }
}

TEST_F(SaveSlotTest, VersionTagDecidesWhatIsOffered) {
  FillGame(6);
  SlotHeader good;
  BuildSlotHeader(good, 11);
  EXPECT_TRUE(CheckSaveVersion(good));
  struct Case {
    const char* what;
    void (*change)(SlotHeader&);
  } cases[] = {
      {"not valid", [](SlotHeader& h) { h.valid = 0; }},
      {"first character", [](SlotHeader& h) { h.tag[0] = 'W'; }},
      {"last character", [](SlotHeader& h) { h.tag[26] = '1'; }},
      {"terminator", [](SlotHeader& h) { h.tag[27] = '!'; }},
      {"empty", [](SlotHeader& h) { std::memset(h.tag, 0, sizeof h.tag); }},
  };
  ASSERT_TRUE(SaveGameSlot(104, 11));
  EXPECT_TRUE(HasQuickSave());
  for (const Case& c : cases) {
    SlotHeader h = good;
    c.change(h);
    EXPECT_FALSE(CheckSaveVersion(h)) << c.what;
    ASSERT_TRUE(WriteSlotHeader(104, h));
    SlotHeader back;
    ASSERT_TRUE(ReadSlotHeader(104, back));
    EXPECT_FALSE(CheckSaveVersion(back)) << c.what;
    EXPECT_FALSE(QuickLoad(4)) << c.what;
    EXPECT_FALSE(LoadGameSlot(104)) << c.what;
    EXPECT_FALSE(HasQuickSave()) << c.what;
  }
  ASSERT_TRUE(WriteSlotHeader(104, good));
  EXPECT_TRUE(QuickLoad(4));
}

TEST_F(SaveSlotTest, QuickAndAutoRingsWrap) {
  FillGame(7);
  struct Ring {
    const char* folder;
    bool (*save)(int);
    bool (*load)(int);
    uint8_t PlcData::*last;
    int base;
  } rings[] = {{"q", &QuickSave, &QuickLoad, &PlcData::lastQuick, kQuickSlotBase},
               {"a", &AutoSave, &AutoLoad, &PlcData::lastAuto, kAutoSlotBase}};
  for (const Ring& r : rings) {
    PlayRecordBlock.*r.last = kPlcNone;
    EXPECT_FALSE(r.load(-1)) << r.folder << ": nothing saved yet";
    for (int n = 0; n < 10; ++n) {
      TurnCounter = static_cast<uint16_t>(n);
      ASSERT_TRUE(r.save(11));
      EXPECT_EQ(PlayRecordBlock.*r.last, n) << r.folder;
      char dir[32];
      std::snprintf(dir, sizeof dir, "SaveData/%s%02d/head.dat", r.folder, n);
      EXPECT_EQ(HostSize(dir), 324) << dir;
    }
    // The eleventh save goes back to position 0.
    TurnCounter = 10;
    ASSERT_TRUE(r.save(11));
    EXPECT_EQ(PlayRecordBlock.*r.last, 0) << r.folder;
    TurnCounter = 99;
    ASSERT_TRUE(r.load(-1));
    EXPECT_EQ(TurnCounter, 10) << r.folder;
    ASSERT_TRUE(r.load(5));
    EXPECT_EQ(TurnCounter, 5) << r.folder;
    EXPECT_FALSE(r.load(10));
    EXPECT_FALSE(r.load(-2));
  }
  EXPECT_TRUE(HasNormalOrAutoSave());
  // The ring positions survive in the play record.
  ClearPlayRecord();
  LoadSystemData();
  EXPECT_EQ(PlayRecordBlock.lastQuick, 0);
  EXPECT_EQ(PlayRecordBlock.lastAuto, 0);
}

TEST_F(SaveSlotTest, FailedWriteKeepsTheOldSlotWhole) {
  const char* files[] = {"adv.dat", "slg.dat", "prg.dat"};
  for (const char* file : files) {
    FillGame(8);
    const GameSnapshot first = TakeSnapshot();
    ASSERT_TRUE(SaveGameSlot(1, GameMode));
    const std::vector<uint8_t> head = ReadHost("SaveData/d01/head.dat");
    // A folder where the new file must go makes its write fail, as a full disk would.
    const std::string blocker = std::string("SaveData/d01/") + file + ".new";
    std::filesystem::create_directories(HostPath(blocker));
    plat::InvalidateDirectoryCache();
    FillGame(9);
    PlayRecordBlock.lastSlot = 255;
    EXPECT_FALSE(SaveGameSlot(1, GameMode)) << file;
    EXPECT_EQ(PlayRecordBlock.lastSlot, 255) << file;
    EXPECT_EQ(ReadHost("SaveData/d01/head.dat"), head) << file;
    for (const char* other : files) {
      if (std::strcmp(other, file) != 0) {
        EXPECT_FALSE(HostExists(std::string("SaveData/d01/") + other + ".new")) << other;
      }
    }
    std::filesystem::remove_all(HostPath(blocker));
    plat::InvalidateDirectoryCache();
    ASSERT_TRUE(LoadGameSlot(1)) << file;
    EXPECT_TRUE(TakeSnapshot() == first) << file;
  }
}

TEST_F(SaveSlotTest, MissingFoldersAreCreated) {
  FillGame(10);
  ASSERT_FALSE(HostExists("SaveData/d99"));
  ASSERT_TRUE(SaveGameSlot(99, 11));
  EXPECT_TRUE(HostExists("SaveData/d99/head.dat"));
  EXPECT_TRUE(HostExists("SaveData/sys/plc.dat"));
  EXPECT_FALSE(SaveGameSlot(120, 11));
  EXPECT_FALSE(SaveGameSlot(-1, 11));
  EXPECT_FALSE(LoadGameSlot(120));
}

// One damaged file per case; each load is refused and the game stays as it was.
TEST_F(SaveSlotTest, DamagedSlotsAreRefusedWithTheGameUntouched) {
  struct Case {
    const char* what;
    const char* file;
    void (*damage)(std::vector<uint8_t>&);
  } cases[] = {
      {"slg one byte short", "slg.dat", [](std::vector<uint8_t>& f) { f.pop_back(); }},
      {"slg one byte long", "slg.dat", [](std::vector<uint8_t>& f) { f.push_back(0); }},
      {"slg cut in the tables", "slg.dat", [](std::vector<uint8_t>& f) { f.resize(300000); }},
      {"slg cut before the flags", "slg.dat", [](std::vector<uint8_t>& f) { f.resize(445329 + 4 + 100); }},
      {"slg empty", "slg.dat", [](std::vector<uint8_t>& f) { f.clear(); }},
      {"slg event count huge", "slg.dat", [](std::vector<uint8_t>& f) { f[445329 + 3] ^= 0x80; }},
      {"prg short", "prg.dat", [](std::vector<uint8_t>& f) { f.resize(3899); }},
      {"prg long", "prg.dat", [](std::vector<uint8_t>& f) { f.push_back(1); }},
      {"prg step state", "prg.dat", [](std::vector<uint8_t>& f) { f[4] ^= 0x40; }},
      {"head short", "head.dat", [](std::vector<uint8_t>& f) { f.resize(323); }},
      {"head tag", "head.dat", [](std::vector<uint8_t>& f) { f[5] ^= 1; }},
      {"head not valid", "head.dat", [](std::vector<uint8_t>& f) { f[0] = 0; }},
      {"adv short", "adv.dat", [](std::vector<uint8_t>& f) { f.resize(f.size() / 2); }},
      {"adv set number", "adv.dat", [](std::vector<uint8_t>& f) { f[0] ^= 0x20; }},
  };
  FillGame(11);
  ASSERT_TRUE(SaveGameSlot(20, GameMode));
  const char* all[] = {"head.dat", "adv.dat", "slg.dat", "prg.dat"};
  std::vector<std::vector<uint8_t>> good;
  for (const char* f : all) good.push_back(ReadHost(std::string("SaveData/d20/") + f));

  for (const Case& c : cases) {
    for (size_t i = 0; i < 4; ++i) WriteHost(std::string("SaveData/d20/") + all[i], good[i]);
    std::vector<uint8_t> bytes = ReadHost(std::string("SaveData/d20/") + c.file);
    c.damage(bytes);
    WriteHost(std::string("SaveData/d20/") + c.file, bytes);
    FillGame(12);
    const GameSnapshot current = TakeSnapshot();
    const uint32_t pc = GetAdvScript().pc;
    EXPECT_FALSE(LoadGameSlot(20)) << c.what;
    EXPECT_TRUE(TakeSnapshot() == current) << c.what;
    EXPECT_EQ(GetAdvScript().pc, pc) << c.what;
  }
  // Each file missing.
  for (const char* missing : all) {
    for (size_t i = 0; i < 4; ++i) WriteHost(std::string("SaveData/d20/") + all[i], good[i]);
    std::filesystem::remove(HostPath(std::string("SaveData/d20/") + missing));
    plat::InvalidateDirectoryCache();
    FillGame(13);
    const GameSnapshot current = TakeSnapshot();
    EXPECT_FALSE(LoadGameSlot(20)) << missing;
    EXPECT_TRUE(TakeSnapshot() == current) << missing;
  }
  // The intact slot still loads.
  for (size_t i = 0; i < 4; ++i) WriteHost(std::string("SaveData/d20/") + all[i], good[i]);
  EXPECT_TRUE(LoadGameSlot(20));
}

// What the formats' own checks cannot see: a flipped bit that leaves every value in range is caught
// by the slot's check file, and a world that breaks the rules' invariants is refused as a whole. The
// reason names the file; the game stays as it was.
TEST_F(SaveSlotTest, FlipsAndBrokenWorldsAreRefusedWithTheReason) {
  FillGame(15);
  const GameSnapshot saved = TakeSnapshot();
  ASSERT_TRUE(SaveGameSlot(21, GameMode));
  const char* all[] = {"head.dat", "adv.dat", "slg.dat", "prg.dat", "ext.dat"};
  std::vector<std::vector<uint8_t>> good;
  for (const char* f : all) good.push_back(ReadHost(std::string("SaveData/d21/") + f));
  auto restore = [&] {
    for (size_t i = 0; i < 5; ++i) WriteHost(std::string("SaveData/d21/") + all[i], good[i]);
  };
  struct Flip {
    const char* file;
    double where;  // fraction of the file
    const char* reason;
  } flips[] = {
      {"head.dat", 0.5, "head.dat refused: does not match its check value"},  // the comment
      {"adv.dat", 0.3, "adv.dat refused: does not match its check value"},
      {"slg.dat", 0.2, "slg.dat refused: does not match its check value"},    // inside the generals
      {"slg.dat", 0.999, "slg.dat refused: does not match its check value"},  // the flag table
      {"prg.dat", 0.9, "prg.dat refused: does not match its check value"},    // the progress block
      {"ext.dat", 0.5, "ext.dat refused: check file damaged"},
  };
  for (const Flip& f : flips) {
    SCOPED_TRACE(std::string(f.file) + " flipped at " + std::to_string(f.where));
    restore();
    std::vector<uint8_t> bytes = ReadHost(std::string("SaveData/d21/") + f.file);
    bytes[static_cast<size_t>(f.where * static_cast<double>(bytes.size() - 1))] ^= 0x04;
    WriteHost(std::string("SaveData/d21/") + f.file, bytes);
    FillGame(16);
    const GameSnapshot current = TakeSnapshot();
    const uint32_t pc = GetAdvScript().pc;
    EXPECT_FALSE(LoadGameSlot(21));
    EXPECT_EQ(std::string(LastSlotRefusal()), std::string("slot 21 ") + f.reason);
    EXPECT_TRUE(TakeSnapshot() == current);
    EXPECT_EQ(GetAdvScript().pc, pc);
  }

  // A slot written before the check file existed still loads.
  restore();
  std::filesystem::remove(HostPath("SaveData/d21/ext.dat"));
  plat::InvalidateDirectoryCache();
  FillGame(16);
  ASSERT_TRUE(LoadGameSlot(21)) << LastSlotRefusal();
  EXPECT_TRUE(TakeSnapshot() == saved);

  // One general in two clans: every file is sound and matches its check value, the world is not.
  FillGame(17);
  uint16_t general = kNoBusyo;
  for (int v = 0; v < kVassalScan && general == kNoBusyo; ++v) {
    if (DaimyoTable[1].vassals[v] < kBusyoCount && DaimyoTable[1].vassals[v] != DaimyoTable[1].head)
      general = DaimyoTable[1].vassals[v];
  }
  ASSERT_NE(general, kNoBusyo);
  bool placed = false;
  for (int v = 0; v < kVassalScan && !placed; ++v) {
    if (DaimyoTable[0].vassals[v] == kNoBusyo) {
      DaimyoTable[0].vassals[v] = general;
      placed = true;
    }
  }
  ASSERT_TRUE(placed);
  ASSERT_TRUE(SaveGameSlot(22, GameMode));
  FillGame(18);
  const GameSnapshot current = TakeSnapshot();
  EXPECT_FALSE(LoadGameSlot(22));
  EXPECT_EQ(std::string(LastSlotRefusal()).rfind("slot 22 slg.dat refused: ", 0), 0u) << LastSlotRefusal();
  EXPECT_TRUE(TakeSnapshot() == current);
}

// A script position that fits its field but lies outside the saved set is refused before anything
// changes. The slots are written whole by the save (so their check values match): only the
// position's meaning is wrong.
TEST_F(SaveSlotTest, ScriptPositionOutsideItsSetIsRefusedWithTheReason) {
  AdvScript& adv = GetAdvScript();
  ASSERT_EQ(adv.loaded, 1u);
  const uint32_t past = adv.bytecodeSize + 8;
  ASSERT_LE(past, v4fmt::kMaxJumpOffset);
  const uint32_t message = adv.savePointMessage;
  const uint32_t offset = adv.messageOffsets[message];
  ASSERT_LT(offset, adv.bytecodeSize);
  struct Case {
    const char* what;
    bool flipMessage;  // else a return position
    const char* reason;
  } cases[] = {
      {"message offset", true, "the saved message lies past the script set's bytecode"},
      {"return position", false, "a return position lies past the script set's bytecode"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FillGame(19);
    if (c.flipMessage) {
      adv.messageOffsets[message] = past;
    } else {
      adv.savePointCallDepth = 1;
      adv.savePointReturnStack[0] = past;
    }
    ASSERT_TRUE(SaveGameSlot(24, GameMode));
    adv.messageOffsets[message] = offset;
    adv.savePointCallDepth = 0;
    adv.savePointReturnStack[0] = 0;
    // The message table is the running set's: the damaged position comes with the slot.
    if (c.flipMessage) adv.messageOffsets[message] = past;
    FillGame(20);
    const GameSnapshot current = TakeSnapshot();
    const uint32_t pc = adv.pc;
    EXPECT_FALSE(LoadGameSlot(24));
    EXPECT_EQ(std::string(LastSlotRefusal()), std::string("slot 24 adv.dat refused: ") + c.reason);
    EXPECT_TRUE(TakeSnapshot() == current);
    EXPECT_EQ(adv.pc, pc);
    adv.messageOffsets[message] = offset;
  }
  // The same slot with the position back inside its set loads.
  FillGame(19);
  ASSERT_TRUE(SaveGameSlot(24, GameMode));
  FillGame(20);
  EXPECT_TRUE(LoadGameSlot(24)) << LastSlotRefusal();
}

TEST_F(SaveSlotTest, ProgressBlockNamesAreTerminatedOnLoad) {
  FillGame(14);
  SoundChannelRecord& r = GetSoundChannelRecord(0);
  std::memset(r.file, 'm', sizeof r.file);  // no terminator anywhere
  std::memset(r.second, 'n', sizeof r.second);
  ASSERT_TRUE(SavePrgData(2, 11));
  std::memset(r.file, 0, sizeof r.file);
  ASSERT_TRUE(LoadPrgData(2));
  EXPECT_EQ(strnlen(GetSoundChannelRecord(0).file, kSoundNameSize), static_cast<size_t>(kSoundNameSize - 1));
  EXPECT_EQ(strnlen(GetSoundChannelRecord(0).second, kSoundNameSize), static_cast<size_t>(kSoundNameSize - 1));
  EXPECT_EQ(GameMode, 11);
}

TEST_F(SaveSlotTest, MarkRunClearedMarksOnlyThisRunsSlots) {
  FillGame(15);
  RunId = 1000;
  ASSERT_TRUE(SaveGameSlot(0, 11));
  ASSERT_TRUE(SaveGameSlot(111, 11));
  RunId = 2000;
  ASSERT_TRUE(SaveGameSlot(1, 11));
  RunId = 1000;
  SetRunCleared(0);
  MarkRunCleared();
  EXPECT_EQ(RunClearedFlag, 1);
  struct Case {
    int slot;
    uint8_t cleared;
  } cases[] = {{0, 1}, {111, 1}, {1, 0}};
  for (const Case& c : cases) {
    SlotHeader h;
    ASSERT_TRUE(ReadSlotHeader(c.slot, h));
    EXPECT_EQ(h.cleared, c.cleared) << c.slot;
  }
  // A load takes the run's identity and cleared mark from the header.
  RunId = 5;
  SetRunCleared(0);
  ASSERT_TRUE(LoadGameSlot(1));
  EXPECT_EQ(RunId, 2000);
  EXPECT_EQ(RunClearedFlag, 0);
  ASSERT_TRUE(LoadGameSlot(0));
  EXPECT_EQ(RunId, 1000);
  EXPECT_EQ(RunClearedFlag, 1);
  // A new game is another run: its saves are not marked.
  RunId = 3000;
  SlotHeader fresh;
  BuildSlotHeader(fresh, 11);
  EXPECT_EQ(fresh.cleared, 0);
  EXPECT_EQ(fresh.runId, 3000u);
}

TEST_F(SaveSlotTest, ClearedGameCountsOncePerRun) {
  FillGame(17);
  RunId = 4000;
  ASSERT_TRUE(SaveGameSlot(3, 11));
  struct Case {
    uint16_t before;
    int32_t run;
    uint16_t after;
    uint32_t wide;  // the 32-bit copy afterwards (0: not written, the run was cleared already)
  } cases[] = {{0, 4000, 1, 1}, {1, 4000, 1, 0}, {1, 4001, 2, 2}, {65535, 4002, 65535, 65535}};
  PlayRecordBlock.clearCount = 0;
  for (const Case& c : cases) {
    PlayRecordBlock.clearCount = c.before;
    RunId = c.run;
    SetPlcWord(kPlcClearCount32Word, 0);
    RecordGameCleared();
    EXPECT_EQ(PlayRecordBlock.clearCount, c.after) << c.run;
    // The 32-bit copy of a counted clear (none when the run was already cleared).
    EXPECT_EQ(GetPlcWord(kPlcClearCount32Word), c.wide) << c.run;
    EXPECT_EQ(RunClearedFlag, 1) << c.run;
  }
  SlotHeader h;
  ASSERT_TRUE(ReadSlotHeader(3, h));
  EXPECT_EQ(h.cleared, 1);
  ClearPlayRecord();
  LoadSystemData();
  EXPECT_EQ(PlayRecordBlock.clearCount, 65535);
}

// ---- Save registration of the war-phase fields ----

uint8_t g_warByte;
uint16_t g_warWord;
uint8_t g_battle[1071];
void TestRegistrar() {
  RegisterSaveField(&g_warByte, 1);
  RegisterSaveField(&g_warWord, 2);
  RegisterSaveField(g_battle, sizeof g_battle);
}

TEST(WarSaveRegistry, LoadAndSaveRegisterTheSameFields) {
  for (WarStateRegistrar reg : {static_cast<WarStateRegistrar>(nullptr), &TestRegistrar}) {
    SetWarStateRegistrar(reg);
    SaveBlockList forLoad, forSave;
    RegisterWarStateForLoad(&forLoad);
    RegisterWarStateForSave(&forSave);
    EXPECT_EQ(SaveRegisterMode, kSaveRegisterNone);
    ASSERT_EQ(forLoad.Count(), forSave.Count());
    for (size_t i = 0; i < forLoad.Count(); ++i) {
      EXPECT_EQ(forLoad[i].data, forSave[i].data);
      EXPECT_EQ(forLoad[i].size, forSave[i].size);
    }
    if (!reg) {
      EXPECT_EQ(forSave.Count(), 29u);  // 21 march fields and the battle's 8
      EXPECT_EQ(forSave.TotalSize(), kWarStateBytes);
    }
  }
  SetWarStateRegistrar(nullptr);
  SaveRegisterList = nullptr;
  RegisterSaveField(&g_warByte, 1);  // no list: nothing happens
  EXPECT_EQ(SaveRegisterList, nullptr);
}

TEST_F(SaveSlotTest, RegisteredWarFieldsTravelWithTheSlot) {
  SetWarStateRegistrar(&TestRegistrar);
  FillGame(16);
  g_warByte = 0x42;
  g_warWord = 0x1234;
  std::memset(g_battle, 0x5A, sizeof g_battle);
  const bool saved = SaveGameSlot(30, 11);
  g_warByte = 0;
  g_warWord = 0;
  std::memset(g_battle, 0, sizeof g_battle);
  const bool loaded = LoadGameSlot(30);
  SetWarStateRegistrar(nullptr);
  ASSERT_TRUE(saved);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(g_warByte, 0x42);
  EXPECT_EQ(g_warWord, 0x1234);
  EXPECT_EQ(g_battle[1070], 0x5A);
}

}  // namespace

namespace {

// Bytecode that is not what the assembler wrote (random bytes of the same length here) fails the
// set's check value: the set loader refuses it instead of running it.
TEST_F(SaveSlotTest, ASetWhoseBytecodeFailsItsCheckIsRefused) {
  ASSERT_TRUE(GetAdvScript().LoadScriptFiles(0));
  std::vector<uint8_t> sd = ReadHost("Data/script/save.sd");
  ASSERT_FALSE(sd.empty());
  for (size_t i = 0; i < sd.size(); ++i) sd[i] = static_cast<uint8_t>(i * 131 + 7);
  WriteHost("Data/script/save.sd", sd);
  EXPECT_FALSE(GetAdvScript().LoadScriptFiles(0));
}

}  // namespace
