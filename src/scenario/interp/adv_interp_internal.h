// The interpreter's private parts, shared by its opcode groups (adv_interp_<group>.cpp): the
// bounded bytecode reader, the operand readers and the one-instruction step.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "formats/script/adv_opcodes.h"
#include "formats/script/script_code.h"
#include "formats/script/script_set_layout.h"
#include "platform/byte_order.h"
#include "scenario/interp/adv_interp.h"
#include "scenario/script/adv_script.h"

namespace adv_interp {

// Reports a script fault: the log and an error box.
void Report(const char* text);

// Length of text cut to at most max bytes without splitting a double-byte character.
size_t SjisCut(const char* text, size_t max);

// Two's complement wrap of switch arithmetic.
inline int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

// What an executed instruction asks of the loop.
enum class Flow { kNext, kYield, kEnd };

// The bounded reader over the loaded bytecode. A read past the end marks the reader bad and gives
// zeros; the caller ends the script then.
struct Reader {
  const uint8_t* code;
  uint32_t size;
  uint32_t pos;
  bool ok = true;

  bool Need(uint32_t n) {
    if (!ok || pos > size || n > size - pos) ok = false;
    return ok;
  }
  uint8_t U8() {
    if (!Need(1)) return 0;
    return code[pos++];
  }
  uint32_t U32() {
    if (!Need(4)) return 0;
    uint32_t v = le::Get32(code + pos);
    pos += 4;
    return v;
  }
  // A zero-terminated string inside the bytecode; "" (and bad) when it has no terminator.
  const char* Str() {
    if (!ok || pos >= size) {
      ok = false;
      return "";
    }
    const void* nul = std::memchr(code + pos, 0, size - pos);
    if (!nul) {
      ok = false;
      return "";
    }
    const char* s = reinterpret_cast<const char*>(code + pos);
    pos = static_cast<uint32_t>(static_cast<const uint8_t*>(nul) - code) + 1;
    return s;
  }
};

// Executes one instruction at the script's pc. Each opcode group is one routine in its own file;
// it gives no value for an opcode outside its group, kNext when the instruction ran (the step then
// moves pc past it), or the yield or end the instruction asks for (with pc already placed).
class Interp {
 public:
  explicit Interp(AdvScript& s) : s_(s), r_{s.bytecode.data(), s.bytecodeSize, s.pc} {}

  Flow Step();
  bool ok() const { return r_.ok; }

 private:
  // --- operands ----------------------------------------------------------------------------------
  int32_t Val();
  float ValF() { return static_cast<float>(Val()); }

  bool SwOk(uint32_t sw);
  int32_t GetSw(uint32_t sw) { return SwOk(sw) ? s_.switches[sw] : 0; }
  void SetSw(uint32_t sw, int32_t v, bool notify);

  // Jumps report a bad target and leave pc after the instruction.
  void JumpLabel(uint32_t label);
  void JumpOffset(uint32_t offset);

  // Condition: values until the terminator (kind 2), at most kMaxCondValues of them.
  bool Cond();
  // Skips the instruction at pc (the #Goto after an #If family instruction).
  void SkipNext();
  // Lists of u32 with a u32 or u8 count; the count is checked against the bytes left.
  bool List32(uint32_t n, std::vector<uint32_t>& out);

  // The instruction continues on a later frame, after itself.
  Flow Yield() {
    s_.pc = r_.pos;
    return Flow::kYield;
  }

  // --- opcode groups -----------------------------------------------------------------------------
  // Jumps, conditions, calls, timed waits and #End (adv_interp_control.cpp).
  std::optional<Flow> Control(unsigned op);
  // Switch arithmetic and the switches set from the program's state (adv_interp_switches.cpp).
  std::optional<Flow> Switches(unsigned op);
  Flow SwCalcu(uint32_t sw, uint32_t op, int32_t v);
  Flow MinMax(bool max, bool random);
  // Messages, choices and the message window (adv_interp_message.cpp).
  std::optional<Flow> Message(unsigned op);
  Flow Talk(bool newPage);
  Flow TalkEnd();
  Flow Select();
  // Music, voices and sound effects (adv_interp_sound.cpp).
  std::optional<Flow> Sound(unsigned op);
  // Characters, backgrounds, effect layers and movies (adv_interp_scene.cpp).
  std::optional<Flow> Scene(unsigned op);
  // Sprites (adv_interp_sprite.cpp).
  std::optional<Flow> Sprite(unsigned op);
  // Leaving the script, play record flags and story settings (adv_interp_session.cpp).
  std::optional<Flow> Session(unsigned op);
  // The strategy world's tables (adv_interp_world.cpp).
  std::optional<Flow> World(unsigned op);

  AdvScript& s_;
  Reader r_;
  uint32_t start_ = 0;  // the offset of the running instruction
};

// The operand readers are inline: every instruction runs through them.
inline int32_t Interp::Val() {
  uint8_t kind = r_.U8();
  s_.operandKind = kind;
  switch (kind) {
    case kValImm:
    case kValEnd:
    case kValImm3:
      return static_cast<int32_t>(r_.U32());
    case kValSwitch:
      return GetSw(r_.U32());
    case kValCall: {
      uint8_t id = r_.U8();
      uint8_t n = r_.U8();
      if (!r_.Need(static_cast<uint32_t>(n) + 1)) return 0;
      const char* arg = reinterpret_cast<const char*>(r_.code + r_.pos);
      if (arg[n] != '\0') {  // the argument must end in its terminator
        r_.ok = false;
        return 0;
      }
      r_.pos += static_cast<uint32_t>(n) + 1;
      return CallScriptFunc(s_, id, arg);
    }
    default:
      return -1;
  }
}

inline bool Interp::SwOk(uint32_t sw) {
  if (sw < v4fmt::kSwitchCount) return true;
  char text[96];
  std::snprintf(text, sizeof text, "スイッチ番号(%u)が範囲(0～%u)外です", sw,
                static_cast<unsigned>(v4fmt::kSwitchCount - 1));
  Report(text);
  return false;
}

inline void Interp::SetSw(uint32_t sw, int32_t v, bool notify) {
  if (!SwOk(sw)) return;
  s_.switches[sw] = v;
  if (notify && s_.IsSwitchWatched(static_cast<int32_t>(sw))) NotifyWatchWindow(static_cast<int32_t>(sw));
}

inline bool Interp::List32(uint32_t n, std::vector<uint32_t>& out) {
  if (!r_.Need(0) || n > (r_.size - r_.pos) / 4) {
    r_.ok = false;
    return false;
  }
  out.resize(n);
  for (uint32_t i = 0; i < n; ++i) out[i] = r_.U32();
  return r_.ok;
}

}  // namespace adv_interp
