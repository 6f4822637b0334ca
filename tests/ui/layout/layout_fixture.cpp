#include "layout_fixture.h"

#include <cstdint>

#include "formats/layout/layout_compiler.h"

namespace layout_test {

bool WriteLayout(const v4test::TempModuleDir& dir, const std::string& rel, const std::string& utf8,
                 std::vector<std::string>* errors) {
  std::vector<uint8_t> bytes;
  std::vector<std::string> messages;
  const bool ok = v4fmt::CompileLayout(utf8, bytes, messages);
  if (errors) *errors = messages;
  return ok && dir.Write(rel, bytes);
}

}  // namespace layout_test
