// Disassembler and the reader of a set's tables.
#include <cstdio>
#include <cstring>

#include "formats/script/script_asm.h"
#include "platform/text/cp932.h"

namespace v4fmt {
namespace {

std::string NameField(const uint8_t* p) {
  char buf[kScriptNameField + 1];
  CopyNameField(p, kScriptNameField, buf, sizeof buf);
  return buf;
}

std::string Quote(const std::string& cp932) {
  std::string utf8 = plat::Cp932ToUtf8(cp932);
  std::string out = "\"";
  for (char ch : utf8) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += ch;
    } else if (ch == '\n') {
      out += "\\n";
    } else if (c < 0x20) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

std::string SwitchText(uint32_t s, const CompiledScriptSet* set) {
  if (set && s < set->switchNames.size() && !set->switchNames[s].empty())
    return "$" + plat::Cp932ToUtf8(set->switchNames[s]);
  return "$" + std::to_string(s);
}

std::string LabelText(uint32_t n, const CompiledScriptSet* set) {
  if (set && n < set->labelNames.size() && !set->labelNames[n].empty())
    return "*" + plat::Cp932ToUtf8(set->labelNames[n]);
  return std::to_string(n);
}

std::string OffsetText(uint32_t off, const CompiledScriptSet* set) {
  if (set) {
    for (size_t i = 0; i < set->labelOffsets.size(); ++i) {
      if (set->labelOffsets[i] == off && i < set->labelNames.size() && !set->labelNames[i].empty())
        return "*" + plat::Cp932ToUtf8(set->labelNames[i]);
    }
  }
  return std::to_string(off);
}

std::string ValueText(const ScriptValue& v, const CompiledScriptSet* set) {
  switch (v.kind) {
    case kValImm:
      return std::to_string(v.imm);
    case kValSwitch:
      return SwitchText(v.sw, set);
    case kValCall:
      return "{" + std::to_string(v.func) + ":" + plat::Cp932ToUtf8(v.arg) + "}";
    case kValEnd:
    case kValImm3:
      return "<kind" + std::to_string(v.kind) + " " + std::to_string(v.imm) + ">";
    default:
      return "<kind" + std::to_string(v.kind) + ">";
  }
}

std::string OperatorText(const ScriptValue& v) {
  if (v.kind == kValImm) {
    switch (v.imm) {
      case kCondEq:
        return "==";
      case kCondNe:
        return "!=";
      case kCondGt:
        return ">";
      case kCondLt:
        return "<";
      case kCondGe:
        return ">=";
      case kCondLe:
        return "<=";
      case kCondAnd:
        return "&&";
      case kCondOr:
        return "||";
      default:
        break;
    }
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "<op 0x%X>", static_cast<unsigned>(v.imm));
  return buf;
}

std::string CondText(const std::vector<ScriptValue>& cond, const CompiledScriptSet* set) {
  std::string out;
  for (size_t i = 0; i < cond.size(); ++i) {
    if (i) out += ' ';
    out += (i % 2 == 0) ? ValueText(cond[i], set) : OperatorText(cond[i]);
  }
  return out;
}

}  // namespace

CompiledScriptSet ParseScriptSetImages(const std::array<std::vector<uint8_t>, kScriptFileCount>& in) {
  // Work on copies padded to the area sizes, as the engine's areas are.
  std::array<std::vector<uint8_t>, kScriptFileCount> f;
  for (int i = 0; i < kScriptFileCount; ++i) {
    f[i] = in[i];
    if (i != kFileSd) f[i].resize(kScriptFiles[i].areaSize, 0);
  }
  CompiledScriptSet s;
  s.bytecode = f[kFileSd];
  for (size_t i = 0; i < kSwitchCount; ++i) {
    s.switchInit[i] = static_cast<int32_t>(le::Get32(&f[kFileSw][i * 4]));
    s.switchNames[i] = NameField(&f[kFileSwn][i * kScriptNameField]);
  }
  size_t labels = 0;
  for (size_t i = 0; i < kLabelCount; ++i) {
    if (f[kFileLbn][i * kLabelNameRecordSize] != 0 || le::Get32(&f[kFileLb][i * 4]) != 0) labels = i + 1;
  }
  for (size_t i = 0; i < labels; ++i) {
    s.labelOffsets.push_back(le::Get32(&f[kFileLb][i * 4]));
    s.labelNames.push_back(NameField(&f[kFileLbn][i * kLabelNameRecordSize]));
    s.labelComments.push_back(NameField(&f[kFileLbn][i * kLabelNameRecordSize + kScriptNameField]));
  }
  for (size_t m = 0; m < kMessageCount; ++m) {
    uint32_t off = le::Get32(&f[kFileTko][m * 4]);
    if (off) s.messageOffsets[static_cast<uint32_t>(m)] = off;
  }
  size_t files = 0;
  for (size_t i = 0; i < kSourceFileCount; ++i) {
    if (f[kFileSfn][i * kScriptNameField] != 0) files = i + 1;
  }
  for (size_t i = 0; i < files; ++i) s.sourceFiles.push_back(NameField(&f[kFileSfn][i * kScriptNameField]));
  for (size_t i = 0; i < kEventCount; ++i) {
    uint32_t off = le::Get32(&f[kFileEv][i * kEventRecordSize + 64]);
    if (off != kNoEvent) s.events[static_cast<uint32_t>(i)] = {NameField(&f[kFileEv][i * kEventRecordSize]), off};
  }
  for (size_t i = 0; i < kBlockLabelCount; ++i) {
    const uint8_t* rec = &f[kFileBl][kSignatureSize + i * kBlockLabelRecordSize];
    if (rec[0] != 0) s.blockLabels.emplace_back(NameField(rec), le::Get32(rec + 64));
  }
  return s;
}

std::string FormatScriptInstruction(const ScriptInstruction& ins, const CompiledScriptSet* set) {
  const AdvOpcodeInfo& info = GetAdvOpcodeInfo(ins.opcode);
  std::string out = info.name[0] ? info.name : "<opcode " + std::to_string(ins.opcode) + ">";
  std::vector<std::string> parts;
  for (const ScriptOperand& op : ins.ops) {
    switch (op.shape) {
      case 'w':
        // The u32 ahead of the choices is ignored and always 0; the source leaves it out.
        if (ins.opcode == kOpSelect && op.num == 0) break;
        parts.push_back(std::to_string(op.num));
        break;
      case 's':
        parts.push_back(SwitchText(op.num, set));
        break;
      case 'l':
        parts.push_back(LabelText(op.num, set));
        break;
      case 'o':
        parts.push_back(OffsetText(op.num, set));
        break;
      case 'S':
        parts.push_back(Quote(op.str));
        break;
      case 'v':
        parts.push_back(ValueText(op.val, set));
        break;
      case 'c':
        parts.push_back(CondText(op.cond, set));
        break;
      case 'G':
        for (uint32_t l : op.list) parts.push_back(LabelText(l, set));
        break;
      case 'M':
      case 'W':
        for (uint32_t s : op.list) parts.push_back(SwitchText(s, set));
        break;
      case 'T':
        for (const ScriptTextRecord& r : op.records) {
          parts.push_back("(" + Quote(r.text) + ", " + Quote(r.text2) + ", " + std::to_string(r.a) + ", " +
                          std::to_string(r.b) + ", " + std::to_string(r.c) + ", " + std::to_string(r.d) + ")");
        }
        break;
      case 'C':
        for (size_t i = 0; i < op.list.size(); ++i) {
          parts.push_back(LabelText(op.list[i], set));
          parts.push_back(i < op.texts.size() ? Quote(op.texts[i]) : "\"\"");
        }
        break;
      default:
        break;
    }
  }
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? ", " : " ") + parts[i];
  return out;
}

std::string DisassembleScript(const uint8_t* code, size_t size, const CompiledScriptSet* set, bool* complete) {
  std::string out;
  if (complete) *complete = true;
  size_t pos = 0;
  char buf[64];
  while (pos < size) {
    if (set) {
      for (size_t i = 0; i < set->labelOffsets.size(); ++i) {
        if (set->labelOffsets[i] != pos) continue;
        std::string name = i < set->labelNames.size() ? plat::Cp932ToUtf8(set->labelNames[i]) : std::string();
        out += "*" + (name.empty() ? "label" + std::to_string(i) : name);
        if (i < set->labelComments.size() && !set->labelComments[i].empty()) out += " " + Quote(set->labelComments[i]);
        std::snprintf(buf, sizeof buf, "    ; label %zu\n", i);
        out += buf;
      }
      for (const auto& [n, ev] : set->events) {
        if (ev.second == pos) out += ".event " + std::to_string(n) + " " + plat::Cp932ToUtf8(ev.first) + "\n";
      }
    }
    ScriptInstruction ins;
    size_t next = 0;
    std::string err;
    if (!DecodeScriptInstruction(code, size, pos, ins, &next, &err)) {
      std::snprintf(buf, sizeof buf, "; %08zX: ", pos);
      out += buf + err + "\n";
      if (complete) *complete = false;
      break;
    }
    std::snprintf(buf, sizeof buf, "    ; %08zX L%u", pos, static_cast<unsigned>(ins.line));
    out += "  " + FormatScriptInstruction(ins, set) + buf + "\n";
    pos = next;
  }
  return out;
}

}  // namespace v4fmt
