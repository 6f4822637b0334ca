#include "core/game_file.h"

#include <time.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

#include "formats/szs/szs.h"
#include "platform/fs/fs.h"
#include "platform/text/cp932.h"
#include "platform/text/log.h"
#include "platform/byte_order.h"

// Directory of one archive part, shared read-only between lookups.
struct SzsPartDirectory {
  std::string programPath;
  std::string hostPath;
  plat::FileInfo info;
  int64_t cachedAtNs = 0;
  std::vector<v4fmt::SzsDirEntry> entries;
  std::unordered_map<std::string, size_t> index;  // normalised name -> first entry of that name
  plat::ReadFile file;                            // kept open: the file whose directory this is (same identity as info)
};

namespace {

// A directory is kept only when its archive was last changed this long before it was read:
// timestamps are coarse, and a rewrite within the same tick must not be mistaken for no change.
constexpr int64_t kSettleNs = 2'000'000'000;

struct ModuleDirState {
  std::mutex mutex;
  char text[kMaxGamePath + 1] = {};
};

ModuleDirState& ModuleDir() {
  static ModuleDirState* state = [] {
    auto* s = new ModuleDirState;
    std::string cp;
    std::string host = plat::ExecutableDirectory();
    if (plat::Utf8ToCp932Strict(host, cp) && cp.size() <= kMaxGamePath) {
      for (char& c : cp) {
        if (c == '/') c = '\\';
      }
      std::memcpy(s->text, cp.data(), cp.size());
      s->text[cp.size()] = '\0';
    } else {
      plat::Log("fs", "the program folder cannot be named in CP932; using the working folder");
    }
    return s;
  }();
  return *state;
}

std::mutex g_cacheMutex;
std::unordered_map<std::string, std::shared_ptr<const SzsPartDirectory>> g_cache;

int64_t NowNs() {
  struct timespec t;
  clock_gettime(CLOCK_REALTIME, &t);
  return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

bool SameFile(const plat::FileInfo& a, const plat::FileInfo& b) {
  return a.size == b.size && a.mtimeNs == b.mtimeNs && a.inode == b.inode && a.device == b.device;
}

// The directory of one part whose file was found at host with status info: from the cache when
// the file has not changed; null when it is damaged.
std::shared_ptr<const SzsPartDirectory> LoadPartAt(const std::string& programPath, const std::string& host,
                                                   const plat::FileInfo& info) {
  {
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    auto it = g_cache.find(programPath);
    if (it != g_cache.end() && it->second->hostPath == host && SameFile(it->second->info, info)) return it->second;
  }
  auto part = std::make_shared<SzsPartDirectory>();
  part->programPath = programPath;
  part->hostPath = host;
  part->cachedAtNs = NowNs();
  std::string error;
  plat::ReadFile& file = part->file;
  if (!file.OpenHost(host) || !file.Info(part->info)) {
    plat::Log("fs", "archive %s cannot be opened: not a readable file", programPath.c_str());
    return nullptr;
  }
  if (!v4fmt::ReadSzsDirectory(file, part->entries, &error)) {
    plat::Log("fs", "damaged archive skipped: %s (%s)", programPath.c_str(), error.c_str());
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    g_cache.erase(programPath);
    return nullptr;
  }
  if (part->entries.empty()) {
    // A negative count reads as an empty archive; say so, since a damaged header looks the same.
    uint8_t head[v4fmt::kSzsHeaderSize];
    if (file.ReadAt(0, head, sizeof head) && le::Get32(head + v4fmt::kSzsCountOffset) != 0) {
      plat::Log("fs", "archive %s has entry count %d: read as holding nothing", programPath.c_str(),
                static_cast<int32_t>(le::Get32(head + v4fmt::kSzsCountOffset)));
    }
  }
  for (size_t i = 0; i < part->entries.size(); ++i) {
    part->index.emplace(v4fmt::NormalizeSzsName(part->entries[i].name), i);
  }
  std::lock_guard<std::mutex> lock(g_cacheMutex);
  if (part->cachedAtNs - part->info.mtimeNs >= kSettleNs) {
    g_cache[programPath] = part;
  } else {
    g_cache.erase(programPath);
  }
  return part;
}

// Where the ten parts of one archive name are on disk. Valid while their folder is unchanged
// (adding, removing or renaming a part changes the folder); each part's own status is still
// checked on every use.
struct PartLocations {
  std::string folderHost;
  plat::FileInfo folderInfo;
  std::vector<std::pair<std::string, std::string>> found;  // program path, host path; in search order
};

std::mutex g_locMutex;
std::unordered_map<std::string, std::shared_ptr<const PartLocations>> g_locations;

// Next '\' or '/' at or after from, skipping two-byte characters; npos when none.
size_t FindSeparator(const std::string& s, size_t from) {
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (plat::IsSjisLead(c) && i + 1 < s.size()) {
      ++i;
      continue;
    }
    if (i >= from && (c == '\\' || c == '/')) return i;
  }
  return std::string::npos;
}

}  // namespace

const char* GetModuleDir() { return ModuleDir().text; }

bool SetModuleDir(const char* cp932Dir) {
  if (!cp932Dir || !*cp932Dir) return false;
  std::string s(cp932Dir);
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (plat::IsSjisLead(c) && i + 1 < s.size()) {
      ++i;
    } else if (c == '/') {
      s[i] = '\\';
    }
  }
  // A trailing 0x5C that is the trail byte of the last character is not a separator.
  if (FindSeparator(s, s.size() - 1) != s.size() - 1) s.push_back('\\');
  if (s.size() > kMaxGamePath) return false;
  ModuleDirState& m = ModuleDir();
  std::lock_guard<std::mutex> lock(m.mutex);
  std::memcpy(m.text, s.c_str(), s.size() + 1);
  return true;
}

bool SetModuleDirFromHost(const std::string& hostDir) {
  std::string cp;
  if (!plat::Utf8ToCp932Strict(hostDir, cp)) return false;
  return SetModuleDir(cp.c_str());
}

void NormalizeSzsName(char* text) { v4fmt::NormalizeSzsName(text); }

void ClearSzsDirectoryCache() {
  {
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    g_cache.clear();
  }
  std::lock_guard<std::mutex> lock(g_locMutex);
  g_locations.clear();
}

void SzsReader::OpenSzsArchive(const char* archiveName) {
  archiveName_ = archiveName ? archiveName : "";
  parts_.clear();
  current_ = SzsEntry{};
  data_.clear();
  const size_t dot = archiveName_.rfind('.');
  const std::string stem = dot == std::string::npos ? archiveName_ : archiveName_.substr(0, dot);
  const std::string ext = dot == std::string::npos ? std::string() : archiveName_.substr(dot);
  const std::string module = GetModuleDir();
  const std::string key = module + archiveName_;

  std::shared_ptr<const PartLocations> where;
  {
    std::lock_guard<std::mutex> lock(g_locMutex);
    auto it = g_locations.find(key);
    if (it != g_locations.end()) where = it->second;
  }
  plat::FileInfo folderNow;
  if (where && !(plat::StatHost(where->folderHost, folderNow) && SameFile(folderNow, where->folderInfo))) {
    where.reset();
  }

  if (!where) {
    auto fresh = std::make_shared<PartLocations>();
    const int64_t now = NowNs();
    size_t sep = std::string::npos;
    for (size_t p = FindSeparator(stem, 0); p != std::string::npos; p = FindSeparator(stem, p + 1)) sep = p;
    const std::string folder = module + (sep == std::string::npos ? std::string() : stem.substr(0, sep));
    const bool haveFolder = plat::StatPath(folder.empty() ? "." : folder, fresh->folderInfo, &fresh->folderHost) &&
                            fresh->folderInfo.isDirectory;
    static const char* const kSuffixes[] = {"_9", "_8", "_7", "_6", "_5", "_4", "_3", "_2", "_1", ""};
    for (const char* suffix : kSuffixes) {
      std::string path = module + stem + suffix + ext;
      std::string host;
      plat::FileInfo info;
      if (path.size() > kMaxGamePath || !plat::StatPath(path, info, &host)) continue;
      if (info.isDirectory) {
        plat::Log("fs", "archive %s is a folder, not a file: skipped", path.c_str());
        continue;
      }
      fresh->found.emplace_back(std::move(path), std::move(host));
    }
    std::lock_guard<std::mutex> lock(g_locMutex);
    if (haveFolder && now - fresh->folderInfo.mtimeNs >= kSettleNs) {
      g_locations[key] = fresh;
    } else {
      g_locations.erase(key);
    }
    where = std::move(fresh);
  }

  for (const auto& [programPath, host] : where->found) {
    plat::FileInfo info;
    if (!plat::StatHost(host, info) || info.isDirectory) continue;
    if (auto part = LoadPartAt(programPath, host, info)) parts_.push_back(std::move(part));
  }
}

bool SzsReader::FindSzsEntry(const char* entryName) {
  if (!entryName || parts_.empty()) return false;
  const std::string wanted = v4fmt::NormalizeSzsName(entryName);
  for (const auto& part : parts_) {
    auto it = part->index.find(wanted);
    if (it == part->index.end()) continue;
    const v4fmt::SzsDirEntry& e = part->entries[it->second];
    current_.name = e.name;
    current_.offset = e.offset;
    current_.size = e.size;
    current_.archivePath = part->programPath;
    return true;
  }
  return false;
}

bool SzsReader::ReadSzsEntry(const char* entryName) {
  if (!entryName) return false;
  data_.clear();
  const size_t dot = archiveName_.rfind('.');
  const std::string stem = dot == std::string::npos ? archiveName_ : archiveName_.substr(0, dot);
  const std::string loose = std::string(GetModuleDir()) + stem + "\\" + entryName;
  if (loose.size() <= kMaxGamePath && plat::ReadWholeFile(loose, data_)) {
    current_ = SzsEntry{};
    current_.name = entryName;
    current_.size = data_.size();
    return true;
  }
  if (!FindSzsEntry(entryName)) return false;
  for (const auto& part : parts_) {
    if (part->programPath != current_.archivePath) continue;
    // The part was checked against the file on disk when the archive was opened; its file
    // handle reads that same file.
    if (current_.size > part->info.size || current_.offset > part->info.size - current_.size) return false;
    try {
      data_.resize(static_cast<size_t>(current_.size));
    } catch (const std::bad_alloc&) {
      return false;
    }
    if (!data_.empty() && !part->file.ReadAt(current_.offset, data_.data(), data_.size())) {
      data_.clear();
      return false;
    }
    v4fmt::XorSzsData(data_.data(), data_.size());
    return true;
  }
  return false;
}

uint8_t* LoadGameFile(const char* name, int32_t* size) {
  if (!name) return nullptr;
  const size_t nameLen = std::strlen(name);
  if (nameLen > kMaxGamePath) {
    plat::Log("fs", "path too long (%zu bytes)", nameLen);
    return nullptr;
  }
  // The path relative to the module directory.
  const char* module = GetModuleDir();
  std::string rel;
  if (!*module) {
    rel = name;
  } else if (const char* at = std::strstr(name, module)) {
    rel = at == name ? std::string(name + std::strlen(module)) : std::string();
  } else {
    rel = name;
  }

  // Archive and entry names: "A\B\rest" -> archive "A\B.SZS", entry "rest"; "_A\B\C\rest" ->
  // archive "A\B\C.SZS", entry "rest"; a path with fewer folders is looked up in IMAGE.SZS.
  std::string archive = "IMAGE.SZS";
  std::string entry = rel;
  const size_t first = FindSeparator(rel, 0);
  const size_t second = first == std::string::npos ? first : FindSeparator(rel, first + 1);
  if (second != std::string::npos) {
    archive = rel.substr(0, second) + ".SZS";
    entry = rel.substr(second + 1);
    const size_t third = FindSeparator(rel, second + 1);
    if (archive[0] == '_' && third != std::string::npos) {
      archive = rel.substr(1, third - 1) + ".SZS";
      entry = rel.substr(third + 1);
    }
  }

  // The extension is looked for in the file name only, never in the folders above it.
  const size_t lastSep = [&] {
    size_t last = std::string::npos;
    for (size_t p = FindSeparator(rel, 0); p != std::string::npos; p = FindSeparator(rel, p + 1)) last = p;
    return last;
  }();
  const bool hasExtension = rel.find('.', lastSep == std::string::npos ? 0 : lastSep + 1) != std::string::npos;

  SzsReader reader;
  reader.OpenSzsArchive(archive.c_str());
  if (!hasExtension) entry += ".png";
  if (!reader.ReadSzsEntry(entry.c_str())) return nullptr;
  std::vector<uint8_t>& data = reader.data();
  if (data.size() > static_cast<size_t>(INT32_MAX)) return nullptr;
  auto* buffer = static_cast<uint8_t*>(std::malloc(data.empty() ? 1 : data.size()));
  if (!buffer) return nullptr;
  if (!data.empty()) std::memcpy(buffer, data.data(), data.size());
  if (size) *size = static_cast<int32_t>(data.size());
  return buffer;
}

void FreeGameFile(void* buffer) { std::free(buffer); }
