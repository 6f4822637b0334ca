// Shared pieces of the fuzz targets: a module folder holding a copy of the sample data, and
// placing the input as one of its files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace v4fuzz {

// A temporary module folder (created on first use, removed at exit) with the listed files of the
// built sample data copied in (paths relative to the game folder, '/' separators), installed as
// the program's module directory with a recording error-box presenter.
const std::string& ModuleFolder(const std::vector<std::string>& copied);

// Writes bytes as the file rel (relative to the module folder, '/' separators).
void PutFile(const std::string& rel, const uint8_t* data, size_t size);
// Puts back the sample data's copy of rel (or removes rel when the sample has none).
void RestoreFile(const std::string& rel);

}  // namespace v4fuzz
