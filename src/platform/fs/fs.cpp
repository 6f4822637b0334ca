#include "platform/fs/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <memory>
#include <new>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "platform/text/cp932.h"
#include "platform/text/log.h"

namespace plat {
namespace {

// A listing is trusted only when its directory was last changed at least this long before the
// listing was taken: directory timestamps are coarse, so a change in the same clock tick as the
// listing would otherwise leave the same modification time and go unnoticed.
constexpr int64_t kSettleNs = 2'000'000'000;

struct DirListing {
  int64_t mtimeNs = 0;
  uint64_t inode = 0;
  uint64_t device = 0;
  std::unordered_set<std::string> names;
  std::unordered_map<std::string, std::string> folded;  // ASCII-lower-cased name -> stored name
};

std::mutex g_dirMutex;
std::unordered_map<std::string, std::shared_ptr<const DirListing>> g_dirs;
std::atomic<uint64_t> g_tempCounter{0};
std::atomic<FsFaultHook> g_faultHook{nullptr};

// True when the fault seam fails this step (errno is then EIO).
bool Faulted(FsStep step) {
  FsFaultHook hook = g_faultHook.load(std::memory_order_acquire);
  if (!hook || !hook(step)) return false;
  errno = EIO;
  return true;
}

ssize_t WriteStep(int fd, const void* p, size_t n) { return Faulted(FsStep::kWrite) ? -1 : write(fd, p, n); }
int FsyncStep(int fd) { return Faulted(FsStep::kFsync) ? -1 : fsync(fd); }
int RenameStep(const char* from, const char* to) { return Faulted(FsStep::kRename) ? -1 : rename(from, to); }

int64_t ToNs(const struct timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

void InfoFromStat(const struct stat& st, FileInfo& info) {
  info.size = static_cast<uint64_t>(st.st_size);
  info.mtimeNs = ToNs(st.st_mtim);
  info.inode = st.st_ino;
  info.device = st.st_dev;
  info.isDirectory = S_ISDIR(st.st_mode);
}

int64_t NowNs() {
  struct timespec t;
  clock_gettime(CLOCK_REALTIME, &t);
  return ToNs(t);
}

std::string FoldAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string DirKey(const std::string& hostDir) { return hostDir.empty() ? std::string(".") : hostDir; }

std::string JoinHost(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

void ForgetDirectory(const std::string& hostDir) {
  std::lock_guard<std::mutex> lock(g_dirMutex);
  g_dirs.erase(DirKey(hostDir));
}

// known: the folder's status when the caller has just read it.
std::shared_ptr<const DirListing> GetListing(const std::string& hostDir, const struct stat* known = nullptr) {
  const std::string key = DirKey(hostDir);
  struct stat st;
  if (known) {
    st = *known;
  } else if (stat(key.c_str(), &st) != 0) {
    return nullptr;
  }
  if (!S_ISDIR(st.st_mode)) return nullptr;
  const int64_t mtime = ToNs(st.st_mtim);
  {
    std::lock_guard<std::mutex> lock(g_dirMutex);
    auto it = g_dirs.find(key);
    if (it != g_dirs.end() && it->second->mtimeNs == mtime && it->second->inode == st.st_ino &&
        it->second->device == st.st_dev) {
      return it->second;
    }
  }
  const int64_t listedAt = NowNs();
  DIR* d = opendir(key.c_str());
  if (!d) return nullptr;
  auto listing = std::make_shared<DirListing>();
  listing->mtimeNs = mtime;
  listing->inode = st.st_ino;
  listing->device = st.st_dev;
  while (struct dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string f = FoldAscii(name);
    auto it = listing->folded.find(f);
    // Several names differing only in case: take the smallest, so the choice is stable.
    if (it == listing->folded.end() || name < it->second) listing->folded[f] = name;
    listing->names.insert(std::move(name));
  }
  closedir(d);
  std::lock_guard<std::mutex> lock(g_dirMutex);
  if (listedAt - mtime >= kSettleNs) {
    g_dirs[key] = listing;
  } else {
    g_dirs.erase(key);
  }
  return listing;
}

// The stored spelling of name inside hostDir, exact first, then ignoring ASCII case.
bool FindInDirectory(const std::string& hostDir, const std::string& name, std::string& actual,
                     const struct stat* known = nullptr) {
  auto listing = GetListing(hostDir, known);
  if (!listing) return false;
  if (listing->names.count(name)) {
    actual = name;
    return true;
  }
  auto it = listing->folded.find(FoldAscii(name));
  if (it == listing->folded.end()) return false;
  actual = it->second;
  return true;
}

// One path component to UTF-8; plain ASCII (the common case) needs no conversion.
bool ComponentToHost(const std::string& cp932, std::string& utf8) {
  bool ascii = true;
  for (char c : cp932) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    utf8 = cp932;
  } else if (!Cp932ToUtf8Strict(cp932, utf8)) {
    return false;
  }
  return !utf8.empty();
}

struct Resolved {
  std::string host;        // resolved prefix + the remaining components as given
  std::string parentHost;  // host path of the folder holding the last component
  std::string lastName;    // host spelling of the last component
  size_t missingFrom = 0;  // index of the first component that does not exist
  size_t count = 0;        // number of components
  bool statted = false;    // st holds the target's status (it exists)
  struct stat st;
};

bool Resolve(std::string_view path, Resolved& r) {
  bool absolute = false;
  std::vector<std::string> parts = SplitProgramPath(path, &absolute);
  if (parts.empty() && !absolute) return false;
  std::vector<std::string> host;
  host.reserve(parts.size());
  for (const std::string& p : parts) {
    std::string u;
    if (!ComponentToHost(p, u)) return false;
    host.push_back(std::move(u));
  }
  r.count = host.size();
  std::string base = absolute ? "/" : "";

  // Fast path: the path exists exactly as written.
  std::vector<std::string> prefixes(host.size() + 1);  // exact spellings of the first k components
  prefixes[0] = base;
  for (size_t i = 0; i < host.size(); ++i) prefixes[i + 1] = JoinHost(prefixes[i], host[i]);
  if (!host.empty() && stat(prefixes.back().c_str(), &r.st) == 0) {
    r.statted = true;
    r.missingFrom = host.size();
    r.lastName = host.back();
    r.parentHost = prefixes[host.size() - 1];
    r.host = prefixes.back();
    return true;
  }
  // Where to start matching names: the deepest folder whose listing is cached (its check costs
  // one status read), else the deepest folder that exists as written.
  size_t start = 0;
  {
    std::lock_guard<std::mutex> lock(g_dirMutex);
    for (size_t k = host.empty() ? 0 : host.size() - 1; k > 0; --k) {
      if (g_dirs.count(DirKey(prefixes[k]))) {
        start = k;
        break;
      }
    }
  }
  struct stat startSt;
  bool haveStart = start > 0 && stat(prefixes[start].c_str(), &startSt) == 0 && S_ISDIR(startSt.st_mode);
  if (!haveStart) {
    start = host.empty() ? 0 : host.size() - 1;
    while (start > 0 && !(stat(prefixes[start].c_str(), &startSt) == 0 && S_ISDIR(startSt.st_mode))) --start;
    haveStart = start > 0;
  }

  std::string cur = prefixes[start];
  size_t i = start;
  for (; i < host.size(); ++i) {
    const std::string& c = host[i];
    std::string next;
    if (c == "." || c == "..") {
      next = c;
    } else if (!FindInDirectory(cur, c, next, i == start && haveStart ? &startSt : nullptr)) {
      break;
    }
    if (i + 1 == host.size()) {
      r.parentHost = cur;
      r.lastName = next;
    }
    cur = JoinHost(cur, next);
  }
  r.missingFrom = i;
  for (size_t j = i; j < host.size(); ++j) {
    if (j + 1 == host.size()) {
      r.parentHost = cur;
      r.lastName = host[j];
    }
    cur = JoinHost(cur, host[j]);
  }
  if (host.empty()) cur.assign(1, '/');
  r.host = cur;
  return true;
}

// Repeats io(done, left), a read or write call returning bytes moved, until all n bytes have
// moved; an interrupted call is retried, an error or a zero-byte call (end of file) fails.
template <typename Io>
bool TransferAll(size_t n, Io io) {
  size_t done = 0;
  while (done < n) {
    const ssize_t r = io(done, n - done);
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (r == 0) return false;
    done += static_cast<size_t>(r);
  }
  return true;
}

bool WriteAll(int fd, const uint8_t* p, size_t n) {
  return TransferAll(n, [&](size_t done, size_t left) { return WriteStep(fd, p + done, left); });
}

// Resolves the folder part of path (every component but the last when fileLast), creating the
// missing folders. hostDir receives the folder's host path.
bool EnsureFolders(std::string_view path, bool fileLast, std::string& hostDir, std::string& lastName) {
  bool absolute = false;
  std::vector<std::string> parts = SplitProgramPath(path, &absolute);
  if (parts.empty()) return false;
  std::vector<std::string> host;
  for (const std::string& p : parts) {
    std::string u;
    if (!ComponentToHost(p, u)) return false;
    host.push_back(std::move(u));
  }
  size_t folders = fileLast ? host.size() - 1 : host.size();
  std::string cur = absolute ? "/" : "";
  for (size_t i = 0; i < folders; ++i) {
    const std::string& c = host[i];
    std::string next;
    if (c == "." || c == "..") {
      cur = JoinHost(cur, c);
      continue;
    }
    if (FindInDirectory(cur, c, next)) {
      cur = JoinHost(cur, next);
      continue;
    }
    std::string made = JoinHost(cur, c);
    if (mkdir(made.c_str(), 0777) != 0 && errno != EEXIST) {
      Log("fs", "cannot create folder %s", Utf8ToCp932(made).c_str());
      return false;
    }
    ForgetDirectory(cur);
    cur = made;
  }
  hostDir = cur;
  if (fileLast) {
    std::string actual;
    lastName = FindInDirectory(cur, host.back(), actual) ? actual : host.back();
  }
  return true;
}

}  // namespace

std::vector<std::string> SplitProgramPath(std::string_view path, bool* absolute) {
  std::vector<std::string> parts;
  if (absolute) *absolute = !path.empty() && (path[0] == '\\' || path[0] == '/');
  size_t begin = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    const unsigned char c = i < path.size() ? static_cast<unsigned char>(path[i]) : '/';
    if (IsSjisLead(c) && i + 1 < path.size()) {
      ++i;  // the trail byte may be 0x5C
      continue;
    }
    if (c != '\\' && c != '/') continue;
    if (i > begin) parts.emplace_back(path.substr(begin, i - begin));
    begin = i + 1;
  }
  return parts;
}

std::string ExecutableDirectory() {
  char buf[PATH_MAX + 1];
  ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
  if (n <= 0) return "./";
  std::string p(buf, static_cast<size_t>(n));
  size_t slash = p.rfind('/');
  if (slash == std::string::npos) return "./";
  return p.substr(0, slash + 1);
}

bool ResolvePath(std::string_view path, std::string& hostPath) {
  Resolved r;
  if (!Resolve(path, r)) return false;
  if (r.count > 0 && r.missingFrom + 1 < r.count) return false;
  hostPath = r.host;
  return true;
}

bool StatPath(std::string_view path, FileInfo& info, std::string* hostPath) {
  Resolved r;
  if (!Resolve(path, r) || r.missingFrom < r.count) return false;
  struct stat st = r.st;
  if (!r.statted && stat(r.host.c_str(), &st) != 0) return false;
  InfoFromStat(st, info);
  if (hostPath) *hostPath = r.host;
  return true;
}

bool StatHost(const std::string& hostPath, FileInfo& info) {
  struct stat st;
  if (hostPath.empty() || stat(hostPath.c_str(), &st) != 0) return false;
  InfoFromStat(st, info);
  return true;
}

bool FileExists(std::string_view path) {
  ReadFile f;
  return f.Open(path);
}

namespace {

// Reads an opened file whole; false (with the reason) when it is over the cap or a read fails.
bool ReadOpened(const ReadFile& f, std::vector<uint8_t>& out, std::string* error) {
  FileInfo info;
  if (!f.Info(info)) {
    if (error) *error = "cannot read it";
    return false;
  }
  if (info.size > kMaxWholeFileBytes || info.size > static_cast<uint64_t>(SIZE_MAX / 2)) {
    if (error) *error = "larger than any data file (" + std::to_string(info.size) + " bytes)";
    return false;
  }
  std::vector<uint8_t> data;
  try {
    data.resize(static_cast<size_t>(info.size));
  } catch (const std::bad_alloc&) {
    if (error) *error = "out of memory";
    return false;
  }
  if (!f.ReadAt(0, data.data(), data.size())) {
    if (error) *error = "read failed";
    return false;
  }
  out = std::move(data);
  return true;
}

}  // namespace

bool ReadWholeFile(std::string_view path, std::vector<uint8_t>& out) {
  ReadFile f;
  if (!f.Open(path)) return false;
  return ReadOpened(f, out, nullptr);
}

bool ReadHostFile(const std::string& hostPath, std::vector<uint8_t>& out, std::string* error) {
  ReadFile f;
  if (!f.OpenHost(hostPath)) {
    if (error) {
      struct stat st;
      if (stat(hostPath.c_str(), &st) != 0)
        *error = "no such file";
      else if (S_ISDIR(st.st_mode))
        *error = "a folder, not a file";
      else if (!S_ISREG(st.st_mode))
        *error = "not a regular file";
      else
        *error = "cannot open it";
    }
    return false;
  }
  return ReadOpened(f, out, error);
}

bool WriteWholeFile(std::string_view path, const void* data, size_t size, WriteMode mode) {
  if (size > 0 && !data) return false;
  std::string dir, name;
  if (!EnsureFolders(path, true, dir, name)) return false;
  const std::string target = JoinHost(dir, name);
  const auto* bytes = static_cast<const uint8_t*>(data);
  bool ok = false;
  if (mode == WriteMode::kTruncate) {
    // Non-blocking open: a named pipe in the file's place must fail, not wait for a reader.
    int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd >= 0) {
      struct stat st;
      ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && WriteAll(fd, bytes, size);
      if (close(fd) != 0) ok = false;
    }
  } else {
    const std::string temp = JoinHost(
        dir, "." + name + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(g_tempCounter.fetch_add(1)));
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ok = WriteAll(fd, bytes, size) && FsyncStep(fd) == 0;
      if (close(fd) != 0) ok = false;
      if (ok) ok = RenameStep(temp.c_str(), target.c_str()) == 0;
      if (!ok) unlink(temp.c_str());
    }
  }
  ForgetDirectory(dir);
  if (!ok) Log("fs", "cannot write %s", Utf8ToCp932(target).c_str());
  return ok;
}

bool RenameFile(std::string_view from, std::string_view to) {
  Resolved src, dst;
  if (!Resolve(from, src) || src.missingFrom < src.count) return false;
  if (!Resolve(to, dst) || (dst.count > 0 && dst.missingFrom + 1 < dst.count)) return false;
  const bool ok = RenameStep(src.host.c_str(), dst.host.c_str()) == 0;
  ForgetDirectory(src.parentHost);
  ForgetDirectory(dst.parentHost);
  return ok;
}

void SetFsFaultHook(FsFaultHook hook) { g_faultHook.store(hook, std::memory_order_release); }

bool CreateDirectories(std::string_view path) {
  std::string dir, name;
  return EnsureFolders(path, false, dir, name);
}

bool RemoveFile(std::string_view path) {
  Resolved r;
  if (!Resolve(path, r) || r.missingFrom < r.count) return false;
  if (unlink(r.host.c_str()) != 0) return false;
  ForgetDirectory(r.parentHost);
  return true;
}

bool ListDirectory(std::string_view path, std::vector<std::string>& names) {
  Resolved r;
  if (!Resolve(path, r) || r.missingFrom < r.count) return false;
  auto listing = GetListing(r.host);
  if (!listing) return false;
  names.assign(listing->names.begin(), listing->names.end());
  return true;
}

void InvalidateDirectoryCache() {
  std::lock_guard<std::mutex> lock(g_dirMutex);
  g_dirs.clear();
}

ReadFile::~ReadFile() { Close(); }

ReadFile::ReadFile(ReadFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

ReadFile& ReadFile::operator=(ReadFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool ReadFile::Open(std::string_view path) {
  Close();
  Resolved r;
  if (!Resolve(path, r) || r.missingFrom < r.count) return false;
  return OpenHost(r.host);
}

bool ReadFile::OpenHost(const std::string& hostPath) {
  Close();
  // Non-blocking open: a named pipe must be refused below, not wait for a writer.
  int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  fd_ = fd;
  return true;
}

void ReadFile::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool ReadFile::Info(FileInfo& info) const {
  struct stat st;
  if (fd_ < 0 || fstat(fd_, &st) != 0) return false;
  InfoFromStat(st, info);
  return true;
}

bool ReadFile::ReadAt(uint64_t offset, void* out, size_t size) const {
  if (fd_ < 0) return false;
  if (offset > static_cast<uint64_t>(INT64_MAX)) return false;
  auto* p = static_cast<uint8_t*>(out);
  return TransferAll(
      size, [&](size_t done, size_t left) { return pread(fd_, p + done, left, static_cast<off_t>(offset + done)); });
}

}  // namespace plat
