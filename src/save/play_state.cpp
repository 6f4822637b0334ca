#include "save/play_state.h"

#include <cstring>
#include <string_view>

#include "battle/battle_run.h"
#include "battle/battle_state.h"
#include "platform/byte_order.h"
#include "world/turn/play_state_blocks.h"
#include "world/world_tables.h"

namespace {

// World words outside the world file: the clans of each country, kept in the order the game built
// them, and whose side acts now.
[[maybe_unused]] const bool kWorldWordsSaved =
    RegisterPlayStateBlock({"world.kuni-clans", KuniDaimyoSet, sizeof KuniDaimyoSet,
                            [](const uint8_t* b) -> const char* {
                              for (size_t i = 0; i < sizeof KuniDaimyoSet; ++i)
                                if (b[i] >= kDaimyoInPlay && b[i] != kNoDaimyo) return "country clan out of range";
                              return nullptr;
                            }}) &&
    RegisterPlayStateBlock({"world.kuni-clan-count", KuniDaimyoCount, sizeof KuniDaimyoCount,
                            [](const uint8_t* b) -> const char* {
                              for (size_t i = 0; i < sizeof KuniDaimyoCount; ++i)
                                if (b[i] > 5) return "country clan count out of range";
                              return nullptr;
                            }}) &&
    RegisterPlayStateBlock(
        {"world.auto-run", &NoKakuuSiroFlag, sizeof NoKakuuSiroFlag,
         [](const uint8_t* b) -> const char* { return b[0] > 1 ? "auto-run out of range" : nullptr; }}) &&
    RegisterPlayStateBlock(
        {"world.acting-side", &ActingSideFlag, sizeof ActingSideFlag,
         [](const uint8_t* b) -> const char* { return b[0] > 1 ? "acting side out of range" : nullptr; }}) &&
    // The battles' own generator runs on from one battle to the next.
    RegisterPlayStateBlock({"battle.rand", &g_Battle.crtRand, sizeof g_Battle.crtRand,
                            [](const uint8_t*) -> const char* { return nullptr; }}) &&
    RegisterPlayStateBlock({"battle.losses", &g_BattleLosses, sizeof g_BattleLosses,
                            [](const uint8_t*) -> const char* { return nullptr; }});

}  // namespace

// u32 n, then n × (u8 name length, name, u32 size, size bytes), in registration order.
std::vector<uint8_t> SavePlayState() {
  std::vector<uint8_t> out(4);
  le::Put32(out.data(), static_cast<uint32_t>(PlayStateBlocks().size()));
  for (const PlayStateBlock& b : PlayStateBlocks()) {
    const size_t len = std::strlen(b.name);
    const size_t at = out.size();
    out.resize(at + 1 + len + 4 + b.size);
    out[at] = static_cast<uint8_t>(len);
    std::memcpy(&out[at + 1], b.name, len);
    le::Put32(&out[at + 1 + len], static_cast<uint32_t>(b.size));
    std::memcpy(&out[at + 5 + len], b.data, b.size);
  }
  return out;
}

namespace {

// Walks the saved blocks; visit(block, bytes) for each one registered now. Null when the bytes
// are well formed and every registered block is there once, with its size.
template <typename Visit>
const char* WalkPlayState(const std::vector<uint8_t>& bytes, Visit visit) {
  if (bytes.size() < 4) return "play state too short";
  const uint32_t n = le::Get32(bytes.data());
  const std::vector<PlayStateBlock>& blocks = PlayStateBlocks();
  if (n != blocks.size()) return "play state of another program version";
  size_t at = 4;
  for (uint32_t i = 0; i < n; ++i) {
    if (bytes.size() - at < 1) return "play state cut short";
    const size_t len = bytes[at];
    if (bytes.size() - at < 1 + len + 4) return "play state cut short";
    const std::string_view name(reinterpret_cast<const char*>(&bytes[at + 1]), len);
    const uint32_t size = le::Get32(&bytes[at + 1 + len]);
    at += 5 + len;
    if (bytes.size() - at < size) return "play state cut short";
    const PlayStateBlock& b = blocks[i];
    if (name != b.name || size != b.size) return "play state of another program version";
    if (const char* why = visit(b, &bytes[at])) return why;
    at += size;
  }
  return at == bytes.size() ? nullptr : "bytes after the play state";
}

}  // namespace

const char* CheckPlayState(const std::vector<uint8_t>& bytes) {
  return WalkPlayState(bytes, [](const PlayStateBlock& b, const uint8_t* p) { return b.check(p); });
}

void LoadPlayState(const std::vector<uint8_t>& bytes) {
  WalkPlayState(bytes, [](const PlayStateBlock& b, const uint8_t* p) -> const char* {
    std::memcpy(b.data, p, b.size);
    return nullptr;
  });
}
