// One scenario instruction as data, with its encoder and a bounds-checked decoder. Both walk the
// operand shapes of the shared opcode table (adv_opcodes.h).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/script/adv_opcodes.h"

namespace v4fmt {

// A value operand. kind 0/2/3: imm; kind 1: switch number; kind 4: function id and argument text.
struct ScriptValue {
  uint8_t kind = kValImm;
  int32_t imm = 0;
  uint32_t sw = 0;
  uint8_t func = 0;
  std::string arg;  // CP932, without its terminator
  bool operator==(const ScriptValue&) const = default;

  static ScriptValue Imm(int32_t v) { return ScriptValue{kValImm, v, 0, 0, {}}; }
  static ScriptValue Switch(uint32_t s) { return ScriptValue{kValSwitch, 0, s, 0, {}}; }
  static ScriptValue Call(uint8_t id, std::string text) { return ScriptValue{kValCall, 0, 0, id, std::move(text)}; }
};

// One line of a message: text, second text, two layout bytes, a layout number, and d (-1 on the
// last record of a message that waits for the player, >= 0 otherwise).
struct ScriptTextRecord {
  std::string text;
  std::string text2;
  uint8_t a = 0;
  uint8_t b = 0;
  uint32_t c = 0;
  int32_t d = -1;
  bool operator==(const ScriptTextRecord&) const = default;
};

// One operand; `shape` is its character from the opcode table and selects the fields in use.
struct ScriptOperand {
  char shape = 'w';
  uint32_t num = 0;                       // w s l o
  std::string str;                        // S
  ScriptValue val;                        // v
  std::vector<ScriptValue> cond;          // c: terms and operator words, without the terminator
  std::vector<uint32_t> list;             // G (labels), M W (switches), C (labels)
  std::vector<std::string> texts;         // C: choice texts, one per label
  std::vector<ScriptTextRecord> records;  // T
  // Builder only: a label name for 'l'/'o', or one per list entry of 'G'/'C'; empty = numeric.
  std::string symbol;
  std::vector<std::string> symbols;
  bool operator==(const ScriptOperand& o) const {
    return shape == o.shape && num == o.num && str == o.str && val == o.val && cond == o.cond && list == o.list &&
           texts == o.texts && records == o.records;
  }
};

struct ScriptInstruction {
  uint8_t opcode = 0;
  uint16_t file = 0;
  uint16_t line = 0;
  std::vector<ScriptOperand> ops;
  bool operator==(const ScriptInstruction& o) const {
    return opcode == o.opcode && file == o.file && line == o.line && ops == o.ops;
  }
};

// Appends the instruction's bytes. False (nothing appended) when an operand does not match the
// opcode's shape or breaks a limit of the encoding (counts, condition length, argument length,
// strings holding a NUL); *error says which.
bool EncodeScriptInstruction(const ScriptInstruction& ins, std::vector<uint8_t>& out, std::string* error = nullptr);

// Decodes the instruction at offset of code[0..size). Opcodes without a command decode as bare
// 5-byte headers. False when the instruction runs past size or a condition holds more than 256
// values; *next is the offset after the instruction.
bool DecodeScriptInstruction(const uint8_t* code, size_t size, size_t offset, ScriptInstruction& out, size_t* next,
                             std::string* error = nullptr);

}  // namespace v4fmt
