// The scenario source language, its assembler and the disassembler.
//
// Source (UTF-8; text becomes CP932), one item per line, ';' starts a comment outside quotes:
//   $name = 5 / $name@7 = 5    switch (index from 1 upwards, or @index) with its initial value
//   *name "comment"            label at the next instruction; the first one is label 0 at offset 0
//   .event 1 turn_start        event record 1 at the next instruction
//   .block name 3              block-label record
//   .file name                 source file name for the instructions that follow
//   #Command op, op, ...       any command by its name; operands by the opcode's shape:
//                                numbers 5 / -1 / 0x10; switches $name or $12; labels *name or 12;
//                                byte offsets *name (the label's offset) or a number; strings "..."
//                                (\" \\ \n); values: number, $switch or {id:argument};
//                                conditions: a > 3 && $b == 0 || !$c (left to right, no precedence);
//                                #SwGoto $s, *a, *b; #SwMini $d, $a, $b; #BreakSw $a, $b;
//                                #Select *a, "text", *b, "text";
//                                #TalkStart msg, readId, "speaker", ("text", "text2", a, b, c, d), ...
//   >> speaker / >>+ speaker   a message (#TalkStart / #TalkStartAdd_) with the next free number;
//   text lines                 one text record per line, up to
//   << / <<-                   the end: #TalkEnd; "<<-" makes a message that does not wait.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "formats/script/script_builder.h"

namespace v4fmt {

// Assembles UTF-8 source. False with one entry per problem in errors ("file:line: text", CP932).
bool AssembleScript(std::string_view source, const std::string& sourceName, CompiledScriptSet& out,
                    std::vector<std::string>& errors);

// Reads the tables back out of a set's plain file images (for the disassembler and checks).
CompiledScriptSet ParseScriptSetImages(const std::array<std::vector<uint8_t>, kScriptFileCount>& images);

// One instruction in source syntax (UTF-8), with names from set when given.
std::string FormatScriptInstruction(const ScriptInstruction& ins, const CompiledScriptSet* set = nullptr);
// The whole bytecode as a listing: label lines and one instruction per line with its offset and
// source line in a comment. Undecodable bytes end the listing with a note; complete, when given,
// tells whether every byte decoded.
std::string DisassembleScript(const uint8_t* code, size_t size, const CompiledScriptSet* set = nullptr,
                              bool* complete = nullptr);

}  // namespace v4fmt
