// Host file access for program paths.
//
// Program paths are CP932 text in the program's own form: '\' and '/' both separate components
// (a 0x5C that is the trail byte of a two-byte character does not), a leading separator makes the
// path absolute, anything else is relative to the working directory. Each component is converted
// to UTF-8 and matched against the directory's entries, exact spelling first, then ignoring the
// case of ASCII letters. Directory listings are cached and re-read when a directory changes.
// Every function here is thread-safe.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// The directory the executable lives in, as a host path (UTF-8) ending in '/'.
std::string ExecutableDirectory();

// Maps a program path to the host path of an existing file or directory, or, when the last
// component does not exist, to the host path it would be created at (its folders must exist).
// False when the path is empty, cannot be converted, or a folder on the way is missing.
bool ResolvePath(std::string_view path, std::string& hostPath);

// Splits a program path into components (lead-byte aware); empty components are dropped.
// absolute is set when the path starts with a separator.
std::vector<std::string> SplitProgramPath(std::string_view path, bool* absolute = nullptr);

struct FileInfo {
  uint64_t size = 0;
  int64_t mtimeNs = 0;  // modification time, nanoseconds since the epoch
  uint64_t inode = 0;
  uint64_t device = 0;
  bool isDirectory = false;
};

// Facts about an existing file or directory; false when it does not exist. hostPath, when given,
// receives the resolved host path.
bool StatPath(std::string_view path, FileInfo& info, std::string* hostPath = nullptr);

// The same for a host path (UTF-8, no mapping).
bool StatHost(const std::string& hostPath, FileInfo& info);

// True when path names a regular file that can be opened for reading.
bool FileExists(std::string_view path);

// The largest file read whole, by the game or its tools; far above any data file, so an endless
// or absurd input fails instead of filling memory.
inline constexpr uint64_t kMaxWholeFileBytes = uint64_t{1} << 30;

// Reads a whole regular file. False when it cannot be opened or read in full, or is over the cap.
bool ReadWholeFile(std::string_view path, std::vector<uint8_t>& out);

// The same for a host path (UTF-8, no mapping), as the tools take them. Folders, pipes and devices
// are refused without blocking; error, when given, receives the reason.
bool ReadHostFile(const std::string& hostPath, std::vector<uint8_t>& out, std::string* error = nullptr);

enum class WriteMode {
  kTruncate,  // open, truncate, write in place
  kAtomic,    // write a temporary file beside the target, flush it, rename it over the target
};

// Writes the bytes as the whole new content of the file, creating missing parent folders.
// False when the file cannot be created or not every byte was written.
bool WriteWholeFile(std::string_view path, const void* data, size_t size, WriteMode mode = WriteMode::kTruncate);

// Renames a file over another (both program paths; the target's folder must exist). False when
// the source is missing or the rename fails.
bool RenameFile(std::string_view from, std::string_view to);

// The steps that make written data durable, as the fault seam sees them: each write call, each
// fsync and each rename this layer makes.
enum class FsStep { kWrite, kFsync, kRename };
// Tests install a hook that is asked before every such step; when it answers true the step fails
// (errno EIO) without touching the disk. Null (the default) lets every step run.
using FsFaultHook = bool (*)(FsStep step);
void SetFsFaultHook(FsFaultHook hook);

// Creates the folder and any missing parents (existing ones are matched ignoring ASCII case).
bool CreateDirectories(std::string_view path);

// Removes a file; false when it did not exist or could not be removed.
bool RemoveFile(std::string_view path);

// Names of the entries of a directory (UTF-8 as stored on disk), unsorted; false when missing.
bool ListDirectory(std::string_view path, std::vector<std::string>& names);

// Forgets every cached directory listing (tests; tools that rewrite trees behind our back).
void InvalidateDirectoryCache();

// A file opened for reading at explicit offsets. Movable, not copyable; closes on destruction.
class ReadFile {
 public:
  ReadFile() = default;
  ~ReadFile();
  ReadFile(ReadFile&& other) noexcept;
  ReadFile& operator=(ReadFile&& other) noexcept;
  ReadFile(const ReadFile&) = delete;
  ReadFile& operator=(const ReadFile&) = delete;

  // Opens a regular file; false when it does not exist or cannot be opened.
  bool Open(std::string_view path);
  // Opens by host path (UTF-8), no program-path mapping.
  bool OpenHost(const std::string& hostPath);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  // Size and identity of the open file.
  bool Info(FileInfo& info) const;
  // Reads exactly size bytes at offset; false on error or end of file before size bytes.
  bool ReadAt(uint64_t offset, void* out, size_t size) const;

 private:
  int fd_ = -1;
};

}  // namespace plat
