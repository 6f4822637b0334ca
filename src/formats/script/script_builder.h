// Builds a compiled script set in memory: labels, switches, events, block labels, source file
// names and instructions, with label references resolved in a second pass. Used by the source
// assembler and directly by tests. It enforces the set's conventions:
//  - label 0 is the entry point and sits at offset 0 (the script must begin with a label);
//  - message numbers start at 1 (0 is the "no message" save point) and are unique;
//  - #If, #IfGoto and #IfGotoOnce are followed at once by a #Goto;
//  - the script ends with an instruction that does not fall through;
//  - immediates are kind 0; names fit their 64-byte fields; every limit of the set holds.
// All text handed to the builder is CP932.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "formats/script/script_code.h"
#include "formats/script/script_set_layout.h"

namespace v4fmt {

struct CompiledScriptSet {
  std::vector<uint8_t> bytecode;
  std::vector<int32_t> switchInit = std::vector<int32_t>(kSwitchCount, 0);
  std::vector<std::string> switchNames = std::vector<std::string>(kSwitchCount);
  std::vector<uint32_t> labelOffsets;  // label n at index n
  std::vector<std::string> labelNames;
  std::vector<std::string> labelComments;
  std::map<uint32_t, uint32_t> messageOffsets;  // message number -> offset of its #TalkStart
  std::vector<std::string> sourceFiles;
  std::map<uint32_t, std::pair<std::string, uint32_t>> events;  // number -> (name, offset)
  std::vector<std::pair<std::string, uint32_t>> blockLabels;
};

// The nine files' plain (unscrambled) bytes: .sd at the bytecode's length, the others at their
// full area size (.ev with every unused record 0xFFFFFFFF, .bl headed by the signature).
std::array<std::vector<uint8_t>, kScriptFileCount> BuildScriptSetImages(const CompiledScriptSet& set);

class ScriptBuilder {
 public:
  ScriptBuilder();

  // Where the next instructions come from (header file index and line).
  void SetSource(const std::string& fileName);
  void SetLine(uint32_t line) { line_ = line; }

  // Declares a switch with its initial value; index -1 takes the lowest free index from 1 (switch
  // 0 carries the event number). Returns the index, or -1 on error.
  int DeclareSwitch(const std::string& name, int32_t init, int index = -1);
  // Switch number of a declared name, -1 when unknown.
  int SwitchIndex(const std::string& name) const;

  // Defines the next label at the current offset; returns its number or -1.
  int DefineLabel(const std::string& name, const std::string& comment = {});
  // Event record n (0..3839) at the current offset.
  bool DefineEvent(uint32_t number, const std::string& name);
  bool AddBlockLabel(const std::string& name, uint32_t value);

  // Appends an instruction ('l'/'o' operands may name a label in `symbol`, 'G'/'C' in `symbols`).
  bool Emit(const ScriptInstruction& ins);
  // Convenience: Emit(opcode, operands) with the current file and line.
  bool Emit(uint8_t opcode, std::vector<ScriptOperand> ops);

  // A message: #TalkStart (or #TalkStartAdd_ when `add`) with one record per line, then #TalkEnd.
  // The number is the next free message number when 0. Returns the number used, 0 on error.
  uint32_t Message(const std::string& speaker, const std::vector<std::string>& lines, bool wait = true,
                   bool add = false, uint32_t number = 0);

  // Second pass: resolves label references and checks the conventions; false with Errors().
  bool Finish(CompiledScriptSet& out);

  size_t Offset() const { return set_.bytecode.size(); }
  const std::vector<std::string>& Errors() const { return errors_; }
  void AddError(const std::string& text);

  // Operand helpers.
  static ScriptOperand Num(uint32_t n);
  static ScriptOperand Sw(uint32_t s);
  static ScriptOperand Label(const std::string& name);   // 'l' by name
  static ScriptOperand LabelNo(uint32_t n);              // 'l' by number
  static ScriptOperand Offset(const std::string& name);  // 'o': the label's byte offset
  static ScriptOperand Str(const std::string& s);
  static ScriptOperand Val(const ScriptValue& v);
  static ScriptOperand Imm(int32_t v) { return Val(ScriptValue::Imm(v)); }
  static ScriptOperand Cond(std::vector<ScriptValue> values);

 private:
  struct Fixup {
    size_t insIndex;
    size_t opIndex;
    int listIndex;  // -1 for the operand itself
    std::string name;
    bool offset;
  };
  bool CheckName(const std::string& name, const char* what);
  bool ResolveAndEncode();

  CompiledScriptSet set_;
  std::vector<ScriptInstruction> code_;
  std::vector<size_t> codeOffsets_;
  std::vector<uint32_t> labelInsIndex_;  // per label: index of the instruction it precedes
  std::map<std::string, uint32_t> labelByName_;
  std::map<std::string, uint32_t> switchByName_;
  std::vector<bool> switchUsed_ = std::vector<bool>(kSwitchCount, false);
  std::vector<bool> messageUsed_ = std::vector<bool>(kMessageCount, false);
  std::vector<std::pair<uint32_t, size_t>> pendingEvents_;    // event -> instruction index
  std::vector<std::pair<uint32_t, size_t>> pendingMessages_;  // message -> instruction index
  std::vector<std::string> errors_;
  uint32_t nextMessage_ = 1;
  uint16_t file_ = 0;
  uint32_t line_ = 0;
  bool expectGoto_ = false;
  size_t size_ = 0;  // encoded size so far (offsets are known before resolution: u32 fields)
};

}  // namespace v4fmt
