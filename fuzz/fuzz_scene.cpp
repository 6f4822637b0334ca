// The scene table (sys/scene.bin): the input is the whole file.
#include <cstdlib>
#include <memory>

#include "formats/scene/scene_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto table = std::make_unique<v4fmt::SceneFlowTable>();
  std::string error;
  if (!v4fmt::ReadSceneTable(data, size, *table, &error)) return 0;
  // What was accepted writes back to an image that reads again.
  const std::vector<uint8_t> again = v4fmt::WriteSceneTable(*table);
  auto second = std::make_unique<v4fmt::SceneFlowTable>();
  if (!v4fmt::ReadSceneTable(again.data(), again.size(), *second, &error)) std::abort();
  return 0;
}
