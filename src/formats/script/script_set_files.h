// Writing and reading a compiled script set as files on the host (tools and tests): the nine
// scrambled files at <root>/<base name>.<ext> and the set-name file <root>/Data/sys/sin_01.dat
// (or sin_tu.dat for the tutorial set).
#pragma once
#include <array>
#include <string>
#include <vector>

#include "formats/script/script_builder.h"

namespace v4fmt {

// baseName is UTF-8 and may hold a folder ("Data\script\main" or "Data/script/main"); the
// set-name file records it with '\' separators, as CP932, followed by CRLF. Missing folders are
// created. False with *error on any failure.
bool WriteScriptSetFiles(const std::string& root, const std::string& baseName,
                         const std::array<std::vector<uint8_t>, kScriptFileCount>& images, std::string* error);
bool WriteScriptSetNameFile(const std::string& root, int setNumber, const std::string& baseName, std::string* error);
// Reads and descrambles the nine files; a missing file gives an empty image (and false when
// every file is missing).
bool ReadScriptSetFiles(const std::string& root, const std::string& baseName,
                        std::array<std::vector<uint8_t>, kScriptFileCount>& images, std::string* error);

}  // namespace v4fmt
