// The game file reader: every read of the program goes through LoadGameFile, which finds a file
// loose under the module directory or as an entry of a .SZS archive set, and the module directory
// that prefixes every data and save path.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Longest path (in bytes, without the terminator) that any file function accepts.
inline constexpr size_t kMaxGamePath = 519;

// The directory of the executable as CP932 text ending in '\' (all separators '\'), used as the
// "%s" prefix of every data and save path. Never null.
const char* GetModuleDir();
// Replaces the module directory (tests, tools). A missing trailing separator is added; '/' become
// '\'. False (and no change) when the text is empty or too long.
bool SetModuleDir(const char* cp932Dir);
// Sets the module directory from a host (UTF-8) folder path.
bool SetModuleDirFromHost(const std::string& hostDir);

// Reads name (normally GetModuleDir() + a relative path) loose or from an archive. Returns a new
// buffer of *size bytes (freed with FreeGameFile / std::free; never null for an empty file), or
// null when the file is found nowhere; size is written only on success.
uint8_t* LoadGameFile(const char* name, int32_t* size);
void FreeGameFile(void* buffer);

// Lower-cases ASCII letters outside two-byte characters and turns ';' and '/' into '\'.
void NormalizeSzsName(char* text);

// One archive entry found by a lookup.
struct SzsEntry {
  std::string name;  // as stored in the archive (CP932)
  uint64_t offset = 0;
  uint64_t size = 0;
  std::string archivePath;  // program path of the archive part holding it
};

struct SzsPartDirectory;  // cached directory of one archive part (game_file.cpp)

// One lookup's state: local to a call, so lookups on different threads never share anything.
// Directories of archive parts are cached process-wide (checked against each part's size,
// modification time and identity on every open), so opening is cheap after the first time.
class SzsReader {
 public:
  // Loads the directories of archiveName's parts ("Data\Image.SZS": Data\Image_9.SZS down to
  // Data\Image_1.SZS, then Data\Image.SZS); missing or damaged parts are skipped.
  void OpenSzsArchive(const char* archiveName);
  // Finds entryName in the opened parts (higher-numbered parts first) and makes it current.
  bool FindSzsEntry(const char* entryName);
  // Reads the loose file (archive folder + "\" + entryName) or else the archive entry into data().
  bool ReadSzsEntry(const char* entryName);

  const SzsEntry& current() const { return current_; }
  std::vector<uint8_t>& data() { return data_; }

 private:
  std::string archiveName_;
  std::vector<std::shared_ptr<const SzsPartDirectory>> parts_;
  SzsEntry current_;
  std::vector<uint8_t> data_;
};

// Forgets every cached archive directory.
void ClearSzsDirectoryCache();
