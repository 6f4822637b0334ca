// Layouts: the input is compiled from source text, and, descrambled as the game reads a layout
// file, parsed and built into a widget tree on the null device (the module folder holds the
// sample data, so pictures and fonts the layout names are found).
#include <memory>
#include <string>
#include <vector>

#include "formats/layout/layout_compiler.h"
#include "formats/scramble/scramble.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/ui_graphics.h"
#include "ui/layout/cv_script.h"
#include "ui/layout/layout_builder.h"
#include "ui/menus/menu_mgr.h"
#include "ui/menus/menu_root.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    v4fuzz::ModuleFolder({"Data/Image", "Data/font"});
    InstallLayoutBuilder();
    return true;
  }();
  (void)ready;
  static v4test::NullUiGraphics graphics;

  std::vector<uint8_t> compiled;
  std::vector<std::string> errors;
  v4fmt::CompileLayout(std::string_view(reinterpret_cast<const char*>(data), size), compiled, errors);

  std::vector<uint8_t> plain(data, data + size);
  v4fmt::DescrambleInPlace(plain.data(), plain.size(), v4fmt::kScrambleSeedCommon);
  for (const std::vector<uint8_t>* bytes : {&plain, &compiled}) {
    CVScript script;
    script.Parse(bytes->data(), bytes->size(), "fuzz");
    CVMenuMgr& mgr = GetMenuMgr();
    auto* root = new CVMenuSceneRoot();
    mgr.RegisterRoot(root);
    BuildLayoutTree(mgr, script, root);
    mgr.DeleteAllRoots();
  }
  return 0;
}
