// The scenario interpreter: runs the loaded script set's bytecode on the script state until an
// instruction or a wait asks to continue on a later frame, or the script ends. Presentation goes
// to the installed presenter (the scenario scene), world changes to the world tables, sound, the
// play record and scene changes to the installed services.
//
// Every read is bounded by the loaded bytecode: an instruction running past it, a switch, label or
// offset out of range, or an overlong condition is reported (error box, with the script position)
// and never read or written out of bounds. A fault in the instruction stream ends the script.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class AdvScript;

// Instructions one RunScript call (and one frame's step) may execute before it gives the frame
// back; a script loop without a wait then continues on the next frame instead of hanging it.
inline constexpr uint32_t kAdvStepBudget = 200000;

// True when the script continues on a later frame (or the program is quitting), false when it
// ended (#End, a fault) or no set is loaded. *budget (when given) is the number of instructions
// left to this frame; it is counted down and the call returns true when it runs out.
bool RunScript(AdvScript& s, uint32_t* budget = nullptr);
bool RunScript();  // on the program's script state

// Whether the next instruction (opcode op) has to wait for the scene (a shown message, a choice,
// a picture change, a timed wait).
bool IsScriptWaiting(AdvScript& s, unsigned op);

// Condition folding of raw values (terms and operator words, without the terminator).
bool EvalScriptCondition(const int32_t* values, size_t count);

// Script functions (value operands of kind 4).
int32_t CallScriptFunc(AdvScript& s, unsigned id, const char* arg);
std::vector<int32_t> ParseScriptArgList(AdvScript& s, const char* text, int flag);
int32_t ScriptArgValue(AdvScript& s, const char* token, int flag);

// What the last run stopped on, for the tools and tests: empty when the script ran cleanly.
const std::string& GetScriptFault();
void ClearScriptFault();
// True when the last RunScript call stopped because its instruction budget ran out.
bool ScriptBudgetExhausted();

// The first-run flag read by #AtFirst: 1 until first read in a program run.
void ResetScriptFirstRunFlag();
