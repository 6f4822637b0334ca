// Fixture of the save tests: a fresh module folder with a small script set loaded, a recording
// error-box presenter, and a small world filled with recognisable bytes; plus a snapshot of
// everything a slot stores, to compare the game before and after.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/error_box.h"
#include "tests/support/recording_boxes.h"
#include "tests/support/temp_module_dir.h"

// Everything a slot keeps, as bytes, so that two states compare with one EXPECT.
struct GameSnapshot {
  std::vector<uint8_t> world;    // tables and turn words
  std::vector<uint8_t> events;   // event map and flag table, in the file's form
  std::vector<uint8_t> program;  // game mode, step machine, progress block
  uint32_t randState = 0;
  bool operator==(const GameSnapshot&) const = default;
};
GameSnapshot TakeSnapshot();

class SaveTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Fills the world, the step machine and the sound records with bytes derived from seed.
  static void FillGame(uint8_t seed);
  std::string HostPath(const std::string& relative) const;  // relative with '/'
  std::vector<uint8_t> ReadHost(const std::string& relative) const;
  void WriteHost(const std::string& relative, const std::vector<uint8_t>& bytes) const;
  bool HostExists(const std::string& relative) const;
  int64_t HostSize(const std::string& relative) const;

  v4test::TempModuleDir dir_{"v4save"};
  std::string root_;  // dir_'s host path
  v4test::RecordingBoxes boxes_;
};
