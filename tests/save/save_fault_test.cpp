// Saves under disk faults: every write, fsync and rename of a save is failed in turn (the Nth of
// its kind, for every N the save reaches), and after each the earlier saves and the system files
// must still be there byte for byte, the new slot must load whole or be refused, and no temporary
// file may be left behind.
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "platform/fs/fs.h"
#include "save/save_slot.h"
#include "save/system_files.h"
#include "save_fixture.h"

namespace {

namespace fs = std::filesystem;

struct FaultPlan {
  plat::FsStep step = plat::FsStep::kWrite;
  int failAt = 0;  // 1-based count of steps of that kind
  int seen = 0;
  bool fired = false;
};
FaultPlan g_plan;

bool FailNth(plat::FsStep step) {
  if (step != g_plan.step || ++g_plan.seen != g_plan.failAt) return false;
  g_plan.fired = true;
  return true;
}

const char* StepName(plat::FsStep s) {
  switch (s) {
    case plat::FsStep::kWrite:
      return "write";
    case plat::FsStep::kFsync:
      return "fsync";
    case plat::FsStep::kRename:
      return "rename";
  }
  return "?";
}

using Files = std::map<std::string, std::vector<uint8_t>>;

class SaveFaultTest : public SaveTest {
 protected:
  void TearDown() override {
    plat::SetFsFaultHook(nullptr);
    SaveTest::TearDown();
  }

  Files ReadTree() const {
    Files out;
    const fs::path base(root_);
    for (const auto& e : fs::recursive_directory_iterator(base / "SaveData")) {
      if (e.is_regular_file()) {
        const std::string rel = fs::relative(e.path(), base).generic_string();
        out[rel] = ReadHost(rel);
      }
    }
    return out;
  }

  // Slot 0, quick-save 0 and auto-save 0 hold the state of seed 1; the game then holds seed 2.
  // The saves are made once; later rounds put their files back.
  void Prepare() {
    fs::remove_all(fs::path(root_) / "SaveData");
    plat::InvalidateDirectoryCache();
    if (before_.empty()) {
      ClearPlayRecord();
      FillGame(1);
      ASSERT_TRUE(SaveGameSlot(0, GameMode));
      ASSERT_TRUE(QuickSave(GameMode));
      ASSERT_TRUE(AutoSave(GameMode));
      ASSERT_TRUE(SaveSysData());
      previous_ = TakeSnapshot();
      before_ = ReadTree();
      record_ = PlayRecordBlock;
    } else {
      for (const auto& [rel, bytes] : before_) WriteHost(rel, bytes);
      PlayRecordBlock = record_;
    }
    FillGame(2);
    SetPlcWord(5, 0xABCD1234u);  // so that the play record written now differs
    next_ = TakeSnapshot();
  }

  GameSnapshot previous_, next_;
  Files before_;
  PlcData record_;
};

struct SaveOp {
  const char* name;
  std::function<bool()> run;
  int slot;  // the slot it writes, -1 for none
};

TEST_F(SaveFaultTest, EveryFailedStepKeepsEarlierSavesAndLeavesTheNewSlotWholeOrRefused) {
  const SaveOp ops[] = {
      {"SaveGameSlot", [] { return SaveGameSlot(1, GameMode); }, 1},
      {"QuickSave", [] { return QuickSave(GameMode); }, kQuickSlotBase + 1},
      {"AutoSave", [] { return AutoSave(GameMode); }, kAutoSlotBase + 1},
      {"SaveSystemFiles",
       [] {
         SaveSystemFiles();
         return true;
       },
       -1},
  };
  const plat::FsStep steps[] = {plat::FsStep::kWrite, plat::FsStep::kFsync, plat::FsStep::kRename};
  const std::string sysFolder = "SaveData/sys/";
  for (const SaveOp& op : ops) {
    // What the system files hold after the same save without faults.
    Prepare();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(op.run()) << op.name;
    const Files clean = ReadTree();
    std::string target;
    if (op.slot >= 0) {
      for (const auto& [rel, bytes] : clean) {
        if (!before_.count(rel) && rel.compare(0, sysFolder.size(), sysFolder) != 0)
          target = fs::path(rel).parent_path().generic_string() + "/";
      }
      ASSERT_FALSE(target.empty()) << op.name << " wrote no new slot";
    }

    for (plat::FsStep step : steps) {
      int faults = 0;
      for (int n = 1;; ++n) {
        Prepare();
        if (HasFatalFailure()) return;
        g_plan = FaultPlan{step, n, 0, false};
        plat::SetFsFaultHook(&FailNth);
        const bool reported = op.run();
        plat::SetFsFaultHook(nullptr);
        if (!g_plan.fired) break;
        ++faults;
        SCOPED_TRACE(std::string(op.name) + ": " + StepName(step) + " #" + std::to_string(n) + " failed");
        if (op.slot >= 0) {
          EXPECT_FALSE(reported && !LoadGameSlot(op.slot)) << "success reported for a slot that does not load";
        }

        const Files after = ReadTree();
        for (const auto& [rel, bytes] : after) {
          const std::string name = fs::path(rel).filename().string();
          EXPECT_EQ(name.find(".tmp-"), std::string::npos) << rel << " left behind";
          EXPECT_EQ(name.find(".new"), std::string::npos) << rel << " left behind";
        }
        for (const auto& [rel, bytes] : before_) {
          const bool system = rel.compare(0, sysFolder.size(), sysFolder) == 0;
          if (!target.empty() && rel.compare(0, target.size(), target) == 0) continue;
          auto it = after.find(rel);
          ASSERT_NE(it, after.end()) << rel << " is gone";
          if (system) {
            auto cleanIt = clean.find(rel);
            EXPECT_TRUE(it->second == bytes || (cleanIt != clean.end() && it->second == cleanIt->second))
                << rel << " is neither its old nor its new content";
          } else {
            EXPECT_TRUE(it->second == bytes) << rel << " changed";
          }
        }
        // The earlier saves load to the state they were made in.
        for (int slot : {0, kQuickSlotBase, kAutoSlotBase}) {
          ASSERT_TRUE(LoadGameSlot(slot)) << "slot " << slot;
          EXPECT_TRUE(TakeSnapshot() == previous_) << "slot " << slot;
        }
        // The new one loads whole or is refused.
        if (op.slot >= 0 && LoadGameSlot(op.slot)) {
          EXPECT_TRUE(TakeSnapshot() == next_) << "slot " << op.slot;
        }
      }
      if (op.slot >= 0) {
        EXPECT_GT(faults, 0) << op.name << " made no " << StepName(step);
      }
    }
  }
}

// A kill at any moment of a save: a child process makes the save and dies (no clean-up of any kind)
// just before its Kth write, fsync or rename, for every K the save reaches. Afterwards the slot must
// load whole as the old save or as the new one, its header must belong to the same save, and the
// next save of the slot must leave nothing of the interrupted one behind.
int g_killAt = 0;
int g_killSeen = 0;

bool DieAtKth(plat::FsStep) {
  if (++g_killSeen == g_killAt) _exit(0);
  return false;
}

constexpr int kSaveMadeExit = 7;

TEST_F(SaveFaultTest, AKillAtEveryStepLeavesTheOldSaveOrTheNewOneWhole) {
  struct KillOp {
    const char* name;
    std::function<bool()> run;
  };
  // The header comment tells the saves apart: "old" for seed 1, "new" for seed 2.
  auto header = [](const char* comment) {
    SlotHeader h;
    BuildSlotHeader(h, GameMode);
    std::memcpy(h.comment, comment, std::strlen(comment));
    return h;
  };
  const KillOp ops[] = {
      {"SaveGameSlot over a save",
       [&] {
         const SlotHeader h = header("new");
         return SaveGameSlot(0, GameMode, &h);
       }},
      // Only the header changes (as when a run is marked cleared): its check value goes with it.
      {"WriteSlotHeader",
       [&] {
         SlotHeader h;
         return ReadSlotHeader(0, h) && (h.cleared = 1, WriteSlotHeader(0, h));
       }},
  };
  for (const KillOp& op : ops) {
    int kills = 0;
    for (int k = 1;; ++k) {
      SCOPED_TRACE(std::string(op.name) + ": killed before step " + std::to_string(k));
      fs::remove_all(fs::path(root_) / "SaveData");
      plat::InvalidateDirectoryCache();
      ClearPlayRecord();
      FillGame(1);
      const SlotHeader oldHeader = header("old");
      ASSERT_TRUE(SaveGameSlot(0, GameMode, &oldHeader));
      const GameSnapshot old = TakeSnapshot();
      FillGame(2);
      const GameSnapshot fresh = TakeSnapshot();
      const pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        g_killAt = k;
        g_killSeen = 0;
        plat::SetFsFaultHook(&DieAtKth);
        const bool ok = op.run();
        _exit(ok ? kSaveMadeExit : 1);
      }
      int status = 0;
      ASSERT_EQ(waitpid(child, &status, 0), child);
      ASSERT_TRUE(WIFEXITED(status));
      plat::InvalidateDirectoryCache();
      const bool finished = WEXITSTATUS(status) == kSaveMadeExit;
      if (!finished) {
        ASSERT_EQ(WEXITSTATUS(status), 0) << "the save failed by itself";
        ++kills;
      }

      SlotHeader h;
      ASSERT_TRUE(ReadSlotHeader(0, h));
      ASSERT_TRUE(LoadGameSlot(0)) << LastSlotRefusal();
      const GameSnapshot loaded = TakeSnapshot();
      const bool isNew = std::strcmp(reinterpret_cast<const char*>(h.comment), "new") == 0;
      if (std::string(op.name) == "WriteSlotHeader") {
        EXPECT_TRUE(loaded == old);
        EXPECT_TRUE(h.cleared == 0 || h.cleared == 1);
        if (finished) {
          EXPECT_EQ(h.cleared, 1);
        }
      } else {
        EXPECT_TRUE(loaded == (isNew ? fresh : old))
            << "the header is the " << (isNew ? "new" : "old") << " save's, the files are not";
        if (finished) {
          EXPECT_TRUE(isNew);
        }
      }

      // The next save of the slot clears or finishes what the killed one left.
      FillGame(3);
      const GameSnapshot third = TakeSnapshot();
      ASSERT_TRUE(SaveGameSlot(0, GameMode));
      for (const auto& [rel, bytes] : ReadTree()) {
        const std::string name = fs::path(rel).filename().string();
        EXPECT_EQ(name.find(".tmp-"), std::string::npos) << rel << " left behind";
        EXPECT_EQ(name.find(".new"), std::string::npos) << rel << " left behind";
        EXPECT_NE(name, "swap.dat") << rel << " left behind";
      }
      ASSERT_TRUE(LoadGameSlot(0)) << LastSlotRefusal();
      EXPECT_TRUE(TakeSnapshot() == third);
      if (finished) break;
    }
    EXPECT_GT(kills, 5) << op.name;
  }
}

}  // namespace
