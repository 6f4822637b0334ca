// v4data szs: pack a folder into an .SZS archive, list an archive, extract one.
//   v4data szs pack <dir> <archive.SZS>     every file under dir, named by its relative path
//   v4data szs list <archive.SZS>           "<name>\t<size>" per entry, names as UTF-8
//   v4data szs extract <archive.SZS> <dir>
// Entry names in the archive are CP932 with '\' separators; names on disk are UTF-8.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "command.h"
#include "tool_io.h"
#include "formats/szs/szs.h"
#include "platform/text/cp932.h"

namespace fs = std::filesystem;

namespace {

bool WriteHostFile(const fs::path& p, const std::vector<uint8_t>& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

int Pack(const std::string& dir, const std::string& archive) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    std::fprintf(stderr, "szs pack: %s is not a folder\n", dir.c_str());
    return 1;
  }
  const fs::path out = fs::absolute(archive, ec);
  std::vector<fs::path> files;
  for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    if (fs::exists(out) && fs::equivalent(it->path(), out, ec)) continue;
    files.push_back(it->path());
  }
  if (ec) {
    std::fprintf(stderr, "szs pack: cannot walk %s: %s\n", dir.c_str(), ec.message().c_str());
    return 1;
  }
  std::vector<v4fmt::SzsSourceEntry> entries;
  for (const fs::path& f : files) {
    std::string rel = fs::relative(f, dir).generic_string();
    std::replace(rel.begin(), rel.end(), '/', '\\');
    v4fmt::SzsSourceEntry e;
    if (!plat::Utf8ToCp932Strict(rel, e.name)) {
      std::fprintf(stderr, "szs pack: %s cannot be written in CP932\n", rel.c_str());
      return 1;
    }
    if (!ReadToolInput("szs pack", f.string(), e.data)) return 1;
    entries.push_back(std::move(e));
  }
  std::sort(entries.begin(), entries.end(),
            [](const v4fmt::SzsSourceEntry& a, const v4fmt::SzsSourceEntry& b) { return a.name < b.name; });
  std::vector<uint8_t> image;
  std::string error;
  if (!v4fmt::BuildSzsArchive(entries, image, &error)) {
    std::fprintf(stderr, "szs pack: %s\n", error.c_str());
    return 1;
  }
  if (out.has_parent_path()) fs::create_directories(out.parent_path(), ec);
  if (!WriteHostFile(out, image)) {
    std::fprintf(stderr, "szs pack: cannot write %s\n", archive.c_str());
    return 1;
  }
  return 0;
}

bool LoadArchive(const std::string& archive, std::vector<uint8_t>& image, std::vector<v4fmt::SzsDirEntry>& dir) {
  if (!ReadToolInput("szs", archive, image)) return false;
  std::string error;
  if (!v4fmt::ParseSzsDirectory(image.data(), image.size(), image.size(), dir, &error)) {
    std::fprintf(stderr, "szs: %s: damaged archive: %s\n", archive.c_str(), error.c_str());
    return false;
  }
  return true;
}

int List(const std::string& archive) {
  std::vector<uint8_t> image;
  std::vector<v4fmt::SzsDirEntry> dir;
  if (!LoadArchive(archive, image, dir)) return 1;
  for (const v4fmt::SzsDirEntry& e : dir) {
    std::printf("%s\t%llu\n", plat::Cp932ToUtf8(e.name).c_str(), static_cast<unsigned long long>(e.size));
  }
  return 0;
}

int Extract(const std::string& archive, const std::string& outDir) {
  std::vector<uint8_t> image;
  std::vector<v4fmt::SzsDirEntry> dir;
  if (!LoadArchive(archive, image, dir)) return 1;
  std::set<std::string> seen;
  for (const v4fmt::SzsDirEntry& e : dir) {
    // The game reads the first record of a name; later duplicates are never seen.
    if (!seen.insert(v4fmt::NormalizeSzsName(e.name)).second) continue;
    std::string utf8;
    if (!plat::Cp932ToUtf8Strict(e.name, utf8)) {
      std::fprintf(stderr, "szs extract: entry name is not CP932 text\n");
      return 1;
    }
    std::replace(utf8.begin(), utf8.end(), '\\', '/');
    fs::path rel;
    for (const auto& part : fs::path(utf8)) {
      const std::string s = part.string();
      if (s.empty() || s == "/" || s == ".") continue;
      if (s == "..") {
        std::fprintf(stderr, "szs extract: refusing entry %s (leaves the folder)\n", utf8.c_str());
        return 1;
      }
      rel /= part;
    }
    if (rel.empty()) continue;
    const fs::path target = fs::path(outDir) / rel;
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    std::vector<uint8_t> data(image.begin() + static_cast<long>(e.offset),
                              image.begin() + static_cast<long>(e.offset + e.size));
    v4fmt::XorSzsData(data.data(), data.size());
    if (!WriteHostFile(target, data)) {
      std::fprintf(stderr, "szs extract: cannot write %s\n", target.string().c_str());
      return 1;
    }
  }
  return 0;
}

int RunSzs(const std::vector<std::string>& args) {
  if (args.size() == 3 && args[0] == "pack") return Pack(args[1], args[2]);
  if (args.size() == 2 && args[0] == "list") return List(args[1]);
  if (args.size() == 3 && args[0] == "extract") return Extract(args[1], args[2]);
  std::fprintf(stderr,
               "usage: v4data szs pack <dir> <archive.SZS> | list <archive.SZS> | extract <archive.SZS> <dir>\n");
  return 2;
}

const V4Command kCmd{"szs", "pack <dir> <archive.SZS> | list <archive.SZS> | extract <archive.SZS> <dir>", &RunSzs};

}  // namespace
