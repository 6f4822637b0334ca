#include "scenario/interp/adv_interp.h"

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>

#include "core/app_state.h"
#include "core/error_box.h"
#include "core/game_clock.h"
#include "platform/text/cp932.h"
#include "platform/text/log.h"
#include "scenario/adv_presenter.h"
#include "scenario/interp/adv_interp_internal.h"
#include "scenario/interp/adv_services.h"

using namespace v4fmt;

namespace adv_interp {

namespace {
constexpr const char* kFaultTitle = "SCRIPT ERROR";
}  // namespace

size_t SjisCut(const char* text, size_t max) {
  size_t n = 0;
  while (text[n] != '\0') {
    size_t step = plat::IsSjisLead(static_cast<unsigned char>(text[n])) && text[n + 1] != '\0' ? 2 : 1;
    if (n + step > max) break;
    n += step;
  }
  return n;
}

void Report(const char* text) {
  plat::Log("script", "%s", plat::Cp932ToUtf8(text).c_str());
  ShowErrorBox(text, kFaultTitle);
}

void Interp::JumpLabel(uint32_t label) {
  if (label >= kLabelCount) {
    char text[96];
    std::snprintf(text, sizeof text, "ラベル番号(%u)が範囲(0～%u)外です", label,
                  static_cast<unsigned>(kLabelCount - 1));
    Report(text);
    return;
  }
  JumpOffset(s_.labelOffsets[label]);
}

void Interp::JumpOffset(uint32_t offset) {
  if (offset > kMaxJumpOffset || offset >= s_.bytecodeSize) {
    char text[96];
    std::snprintf(text, sizeof text, "ジャンプ先(%u)がスクリプトの範囲外です", offset);
    Report(text);
    return;
  }
  r_.pos = offset;
}

bool Interp::Cond() {
  int32_t values[kMaxCondValues];
  size_t n = 0;
  for (;;) {
    if (!r_.ok) return false;
    // The kind byte decides whether this value ends the condition.
    if (!r_.Need(1)) return false;
    if (r_.code[r_.pos] == kValEnd) {
      Val();
      break;
    }
    if (n == kMaxCondValues) {
      Report("条件式が長すぎます(256項目まで)");
      r_.ok = false;
      return false;
    }
    values[n++] = Val();
  }
  return EvalScriptCondition(values, n);
}

void Interp::SkipNext() {
  if (!r_.Need(kAdvHeaderSize)) return;
  if (r_.code[r_.pos] == kOpGoto) {
    r_.Need(kAdvHeaderSize + 4);
    if (r_.ok) r_.pos += kAdvHeaderSize + 4;
    return;
  }
  ScriptInstruction ins;
  size_t next = 0;
  if (!DecodeScriptInstruction(r_.code, r_.size, r_.pos, ins, &next)) {
    r_.ok = false;
    return;
  }
  r_.pos = static_cast<uint32_t>(next);
}

Flow Interp::Step() {
  start_ = r_.pos;
  if (!r_.Need(kAdvHeaderSize)) return Flow::kEnd;
  const unsigned op = r_.code[r_.pos];
  s_.opcode = op;
  s_.fileIndex = (r_.code[r_.pos + 1] | r_.code[r_.pos + 2] << 8);  // u16 file, then u16 line
  s_.lineNumber = (r_.code[r_.pos + 3] | r_.code[r_.pos + 4] << 8);
  r_.pos += kAdvHeaderSize;

  // A group answers only for its own opcodes and reads nothing before it knows. The groups go in
  // the order of how often scripts use them. No-operation opcodes and numbers without a command
  // carry no operands and have no group.
  using Group = std::optional<Flow> (Interp::*)(unsigned op);
  static constexpr Group kGroups[] = {&Interp::Switches, &Interp::Control, &Interp::Message, &Interp::Scene,
                                      &Interp::Sound,    &Interp::Sprite,  &Interp::Session, &Interp::World};
  std::optional<Flow> f;
  for (Group group : kGroups) {
    f = (this->*group)(op);
    if (f) break;
  }
  if (f && *f != Flow::kNext) return *f;
  if (!r_.ok) return Flow::kEnd;
  s_.pc = r_.pos;
  return Flow::kNext;
}

}  // namespace adv_interp

using adv_interp::Flow;
using adv_interp::Interp;
using adv_interp::Report;

namespace {

std::string g_fault;
bool g_budgetOut = false;

uint8_t OpcodeAt(const AdvScript& s) { return s.pc < s.bytecodeSize ? s.bytecode[s.pc] : 0; }

}  // namespace

bool EvalScriptCondition(const int32_t* v, size_t n) {
  if (n == 0) return false;
  bool result = false, haveResult = false;
  int join = 0;
  int32_t raw = v[0];
  bool truth = raw != 0;
  size_t i = 1;
  auto fold = [&](bool t) {
    if (!haveResult) {
      result = t;
      haveResult = true;
    } else if (join == 0) {
      result = result && t;
    } else if (join == 1) {
      result = result || t;
    }
  };
  while (i < n) {
    int32_t op = v[i];
    if (op & 0x10) {
      if (i + 1 >= n) {
        truth = false;  // a comparison without its right side
        break;
      }
      int32_t rhs = v[i + 1];
      switch (op & 7) {
        case 2:
          truth = raw == rhs;
          break;
        case 3:
          truth = raw > rhs;
          break;
        case 4:
          truth = raw < rhs;
          break;
        case 5:
          truth = raw >= rhs;
          break;
        case 6:
          truth = raw <= rhs;
          break;
        case 7:
          truth = raw != rhs;
          break;
        default:
          truth = false;
          break;
      }
      raw = rhs;
      i += 2;
      continue;
    }
    if (op & 0x08) truth = !truth;
    fold(truth);
    join = op & 7;
    if (i + 1 >= n) {  // a joiner with nothing after it joins nothing
      return result;
    }
    raw = v[i + 1];
    truth = raw != 0;
    i += 2;
  }
  fold(truth);
  return result;
}

bool IsScriptWaiting(AdvScript& s, unsigned op) {
  AdvPresenter* p = GetAdvPresenter();
  if (!p || p->IsFastForward()) {
    // A wait passed over is over: it must not hold the script once fast-forward ends.
    s.waitRemaining = 0;
    s.waitJumpLabel = -1;
    return false;
  }
  if (s.waitRemaining > 0) {
    if (s.waitJumpLabel == -1) return true;
    if (!p->HasAdvanceInput()) return true;
    int32_t label = s.waitJumpLabel;
    s.waitRemaining = 0;
    s.waitJumpLabel = -1;
    s.GotoLabelIndex(label);
    return true;
  }
  switch (op) {
    case kOpTalkEnd:
    case kOpSelectEnd:
      return p->IsMessageBusy();
    case kOpBGLoad:
      return p->IsMessageBusy() || p->IsPageSwapping();
    case kOpWaitDraw:
    case kOpWaitDrawAnime: {
      bool busy = p->IsMessageBusy() || p->IsPageSwapping() || p->IsCharMoving() || p->IsTransitionRunning() ||
                  p->IsZoomRunning() || p->IsMoviePlaying();
      return busy || (op == kOpWaitDrawAnime && p->IsSpriteAnimating());
    }
    default:
      return false;
  }
}

bool RunScript(AdvScript& s, uint32_t* budget) {
  g_budgetOut = false;
  if (!s.loaded) return false;
  // Timed wait countdown on the scene clock.
  uint32_t now = GetGameTimeMs();
  uint32_t elapsed = now - s.lastTick;
  s.lastTick = now;
  if (s.waitRemaining > elapsed) {
    s.waitRemaining -= elapsed;
  } else {
    s.waitRemaining = 0;
    if (s.waitJumpLabel != -1) s.waitJumpLabel = -1;
  }
  if (IsScriptWaiting(s, OpcodeAt(s))) return true;

  uint32_t local = kAdvStepBudget;
  uint32_t& left = budget ? *budget : local;
  AdvServices& svc = AdvSvc();
  for (;;) {
    if (left == 0) {
      g_budgetOut = true;
      return true;
    }
    --left;
    if (svc.DebugMode() && GameMode == game_mode::kMainScript) s.CheckWatchedSwitches();
    if (s.pc >= s.bytecodeSize) {
      g_fault = "the script ran past the end of its bytecode";
      Report("スクリプトの終わりを越えて実行しようとしました");
      return false;
    }
    Interp in(s);
    Flow f = in.Step();
    if (!in.ok()) {
      char text[160];
      const AdvOpcodeInfo& info = GetAdvOpcodeInfo(s.opcode);
      std::snprintf(text, sizeof text, "スクリプトの命令(%s)が壊れています", info.name[0] ? info.name : "?");
      g_fault = std::string("malformed instruction ") + (info.name[0] ? info.name : "?") + " at offset " +
                std::to_string(s.pc);
      Report(text);
      return false;
    }
    if (f == Flow::kYield) return true;
    if (f == Flow::kEnd) return false;
    if (g_QuitRequested.load()) return true;
    if (IsScriptWaiting(s, OpcodeAt(s))) return true;
  }
}

bool RunScript() { return RunScript(GetAdvScript()); }

const std::string& GetScriptFault() { return g_fault; }
void ClearScriptFault() { g_fault.clear(); }
bool ScriptBudgetExhausted() { return g_budgetOut; }
