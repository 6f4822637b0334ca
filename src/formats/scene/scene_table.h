// The scene transition table "Data\sys\scene.bin": 101 plain little-endian records of 1,504 bytes.
// Read and written field by field. The writer places scene s in slot s and marks unused transitions
// with result -1.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace v4fmt {

inline constexpr int kSceneRecordCount = 101;
inline constexpr int kSceneMenuEntries = 22;
inline constexpr int kSceneTransitions = 8;
inline constexpr size_t kSceneLayoutNameBytes = 64;  // zero-terminated: 63 bytes of name at most
inline constexpr size_t kSceneMenuEntryBytes = 66;
inline constexpr size_t kSceneTransitionBytes = 6;
inline constexpr size_t kSceneRecordBytes = 1504;
inline constexpr size_t kSceneMenuOffset = 4;
inline constexpr size_t kSceneTransitionOffset = 1456;
inline constexpr size_t kSceneTableBytes = kSceneRecordBytes * kSceneRecordCount;  // 151,904

struct SceneMenuEntry {
  int16_t menuType = 0;                    // used when > 0
  char layoutName[kSceneLayoutNameBytes];  // always zero-terminated after a read
  SceneMenuEntry() { layoutName[0] = '\0'; }
};

struct SceneTransition {
  int16_t result = 0;
  int16_t nextScene = 0;  // -1: return to the scene on top of the stack
  int16_t pushMode = 0;   // 1: push the current scene; else replace it
};

struct SceneFlowRecord {
  int16_t sceneId = 0;  // 0: empty record
  uint16_t resident = 0;
  std::array<SceneMenuEntry, kSceneMenuEntries> menus;
  std::array<SceneTransition, kSceneTransitions> transitions;
};

using SceneFlowTable = std::array<SceneFlowRecord, kSceneRecordCount>;

// Fills the table from the bytes (a zeroed table first). The last layout byte is forced to 0 so
// that an unterminated name never runs past its field. False (with the reason) when the image is
// not a whole table or a record names a scene outside 0..100; the table is then left zeroed.
bool ReadSceneTable(const uint8_t* bytes, size_t size, SceneFlowTable& table, std::string* error = nullptr);
// The full 151,904-byte image of the table.
std::vector<uint8_t> WriteSceneTable(const SceneFlowTable& table);
void ReadSceneRecord(const uint8_t* bytes, SceneFlowRecord& record);
void WriteSceneRecord(const SceneFlowRecord& record, uint8_t* bytes);

// A scene as the table source describes it (the tool's input, already decoded).
struct SceneMenuSource {
  int entry = 0;  // 0..21
  int menuType = 0;
  std::string layoutName;  // CP932
};
struct SceneTransitionSource {
  int result = 0;
  int nextScene = 0;
  int pushMode = 0;
};
struct SceneSource {
  int id = 0;
  bool resident = false;
  std::vector<SceneMenuSource> menus;
  std::vector<SceneTransitionSource> transitions;
};

// Menu types the screen factory knows.
bool IsKnownSceneMenuType(int type);
// Builds the table, placing scene s in slot s. False with a message on: an id outside 1..100 or
// used twice; an entry outside 0..21 or used twice; an unknown menu type; a layout name that is
// empty, 64 bytes or longer, or has no '.'; more than 8 transitions; a value outside 16 bits.
bool BuildSceneTable(const std::vector<SceneSource>& scenes, SceneFlowTable& table, std::string& error);

}  // namespace v4fmt
