#include "formats/script/script_builder.h"

#include <cstring>

#include "platform/text/cp932.h"

namespace v4fmt {
namespace {

void PutName(uint8_t* field, const std::string& name) {
  size_t n = name.size() < kScriptNameField - 1 ? name.size() : kScriptNameField - 1;
  std::memcpy(field, name.data(), n);
}

// At most max bytes of CP932 text, never ending in the first half of a two-byte character.
std::string CutCp932(const std::string& text, size_t max) {
  size_t n = 0;
  while (n < text.size()) {
    size_t step = plat::IsSjisLead(static_cast<unsigned char>(text[n])) && n + 1 < text.size() ? 2 : 1;
    if (n + step > max) break;
    n += step;
  }
  return text.substr(0, n);
}

bool FallsThrough(uint8_t op) {
  switch (op) {
    case kOpEnd:
    case kOpMainMenu:
    case kOpSLGmode:
    case kOpGoto:
    case kOpComJump:
    case kOpSubEnd:
    case kOpSelectEnd:
      return false;
    default:
      return true;
  }
}

bool IsIfFamily(uint8_t op) { return op == kOpIf || op == kOpIfGoto || op == kOpIfGotoOnce; }

}  // namespace

std::array<std::vector<uint8_t>, kScriptFileCount> BuildScriptSetImages(const CompiledScriptSet& set) {
  std::array<std::vector<uint8_t>, kScriptFileCount> f;
  f[kFileSd] = set.bytecode;
  for (int i = kFileSw; i < kScriptFileCount; ++i) f[i].assign(kScriptFiles[i].areaSize, 0);
  for (size_t i = 0; i < kSwitchCount && i < set.switchInit.size(); ++i)
    le::Put32(&f[kFileSw][i * 4], static_cast<uint32_t>(set.switchInit[i]));
  for (size_t i = 0; i < kLabelCount && i < set.labelOffsets.size(); ++i) {
    le::Put32(&f[kFileLb][i * 4], set.labelOffsets[i]);
    PutName(&f[kFileLbn][i * kLabelNameRecordSize], set.labelNames[i]);
    if (i < set.labelComments.size())
      PutName(&f[kFileLbn][i * kLabelNameRecordSize + kScriptNameField], set.labelComments[i]);
  }
  for (const auto& [msg, off] : set.messageOffsets) {
    if (msg < kMessageCount) le::Put32(&f[kFileTko][msg * 4], off);
  }
  for (size_t i = 0; i < kSwitchCount && i < set.switchNames.size(); ++i)
    PutName(&f[kFileSwn][i * kScriptNameField], set.switchNames[i]);
  for (size_t i = 0; i < kSourceFileCount && i < set.sourceFiles.size(); ++i)
    PutName(&f[kFileSfn][i * kScriptNameField], set.sourceFiles[i]);
  // An event record of offset 0 would mean "the event starts at the top": unused ones say none.
  for (size_t i = 0; i < kEventCount; ++i) le::Put32(&f[kFileEv][i * kEventRecordSize + 64], kNoEvent);
  for (const auto& [n, ev] : set.events) {
    if (n >= kEventCount) continue;
    PutName(&f[kFileEv][n * kEventRecordSize], ev.first);
    le::Put32(&f[kFileEv][n * kEventRecordSize + 64], ev.second);
  }
  PutBytecodeCheck(f[kFileLbn].data(), f[kFileSd].data(), f[kFileSd].size());
  std::memcpy(f[kFileBl].data(), kScriptSignature.data(), kSignatureSize);
  for (size_t i = 0; i < kBlockLabelCount && i < set.blockLabels.size(); ++i) {
    uint8_t* rec = &f[kFileBl][kSignatureSize + i * kBlockLabelRecordSize];
    PutName(rec, set.blockLabels[i].first);
    le::Put32(rec + 64, set.blockLabels[i].second);
  }
  return f;
}

ScriptBuilder::ScriptBuilder() {}

void ScriptBuilder::AddError(const std::string& text) {
  std::string where;
  if (file_ < set_.sourceFiles.size()) where = set_.sourceFiles[file_];
  if (line_) where += ":" + std::to_string(line_);
  errors_.push_back(where.empty() ? text : where + ": " + text);
}

bool ScriptBuilder::CheckName(const std::string& name, const char* what) {
  if (name.empty()) {
    AddError(std::string("empty ") + what + " name");
    return false;
  }
  if (name.size() > kScriptNameField - 1 || name.find('\0') != std::string::npos) {
    AddError(std::string(what) + " name \"" + name + "\" does not fit 63 bytes");
    return false;
  }
  return true;
}

void ScriptBuilder::SetSource(const std::string& fileName) {
  for (size_t i = 0; i < set_.sourceFiles.size(); ++i) {
    if (set_.sourceFiles[i] == fileName) {
      file_ = static_cast<uint16_t>(i);
      return;
    }
  }
  if (set_.sourceFiles.size() >= kSourceFileCount) {
    AddError("more than 512 source files");
    return;
  }
  if (fileName.size() > kScriptNameField - 1) AddError("source file name \"" + fileName + "\" does not fit 63 bytes");
  set_.sourceFiles.push_back(fileName.substr(0, kScriptNameField - 1));
  file_ = static_cast<uint16_t>(set_.sourceFiles.size() - 1);
}

int ScriptBuilder::DeclareSwitch(const std::string& name, int32_t init, int index) {
  if (!CheckName(name, "switch")) return -1;
  if (switchByName_.count(name)) {
    AddError("switch $" + name + " declared twice");
    return -1;
  }
  if (index < 0) {
    for (size_t i = 1; i < kSwitchCount; ++i) {
      if (!switchUsed_[i]) {
        index = static_cast<int>(i);
        break;
      }
    }
    if (index < 0) {
      AddError("more than 8192 switches");
      return -1;
    }
  } else if (static_cast<size_t>(index) >= kSwitchCount) {
    AddError("switch number " + std::to_string(index) + " outside 0..8192");
    return -1;
  } else if (switchUsed_[index]) {
    AddError("switch number " + std::to_string(index) + " declared twice");
    return -1;
  }
  switchUsed_[index] = true;
  switchByName_[name] = static_cast<uint32_t>(index);
  set_.switchNames[index] = name;
  set_.switchInit[index] = init;
  return index;
}

int ScriptBuilder::SwitchIndex(const std::string& name) const {
  auto it = switchByName_.find(name);
  return it == switchByName_.end() ? -1 : static_cast<int>(it->second);
}

int ScriptBuilder::DefineLabel(const std::string& name, const std::string& comment) {
  if (!CheckName(name, "label")) return -1;
  if (expectGoto_) {
    AddError("label *" + name + " between a condition and its #Goto");
    return -1;
  }
  if (labelByName_.count(name)) {
    AddError("label *" + name + " defined twice");
    return -1;
  }
  if (set_.labelOffsets.size() >= kLabelCount) {
    AddError("more than 4096 labels");
    return -1;
  }
  if (set_.labelOffsets.empty() && size_ != 0) {
    AddError("the script must begin with a label: label 0 is the entry point at offset 0");
    return -1;
  }
  uint32_t n = static_cast<uint32_t>(set_.labelOffsets.size());
  labelByName_[name] = n;
  set_.labelOffsets.push_back(static_cast<uint32_t>(size_));
  set_.labelNames.push_back(name);
  set_.labelComments.push_back(CutCp932(comment, kScriptNameField - 1));
  return static_cast<int>(n);
}

bool ScriptBuilder::DefineEvent(uint32_t number, const std::string& name) {
  if (number >= kEventCount) {
    AddError("event number " + std::to_string(number) + " outside 0..3839");
    return false;
  }
  if (!CheckName(name, "event")) return false;
  if (set_.events.count(number)) {
    AddError("event " + std::to_string(number) + " defined twice");
    return false;
  }
  set_.events[number] = {name, static_cast<uint32_t>(size_)};
  return true;
}

bool ScriptBuilder::AddBlockLabel(const std::string& name, uint32_t value) {
  if (!CheckName(name, "block label")) return false;
  if (set_.blockLabels.size() >= kBlockLabelCount) {
    AddError("more than 4096 block labels");
    return false;
  }
  set_.blockLabels.emplace_back(name, value);
  return true;
}

bool ScriptBuilder::Emit(uint8_t opcode, std::vector<ScriptOperand> ops) {
  ScriptInstruction ins;
  ins.opcode = opcode;
  ins.file = file_;
  ins.line = static_cast<uint16_t>(line_ > 0xFFFF ? 0xFFFF : line_);
  ins.ops = std::move(ops);
  return Emit(ins);
}

bool ScriptBuilder::Emit(const ScriptInstruction& ins) {
  const AdvOpcodeInfo& info = GetAdvOpcodeInfo(ins.opcode);
  if (!info.name[0]) {
    AddError("opcode " + std::to_string(ins.opcode) + " is no command");
    return false;
  }
  if (expectGoto_ && ins.opcode != kOpGoto) {
    AddError(std::string(info.name) + " follows a condition command, which must be followed by #Goto");
    expectGoto_ = false;
    return false;
  }
  if (set_.labelOffsets.empty()) {
    AddError("the script must begin with a label: label 0 is the entry point at offset 0");
    return false;
  }
  // Validate operands that the encoder cannot judge.
  for (const ScriptOperand& op : ins.ops) {
    auto checkSwitch = [&](uint32_t s) {
      if (s >= kSwitchCount) AddError(std::string(info.name) + ": switch " + std::to_string(s) + " outside 0..8192");
      return s < kSwitchCount;
    };
    auto checkValue = [&](const ScriptValue& v) {
      if (v.kind == kValSwitch) return checkSwitch(v.sw);
      if (v.kind == kValImm3) {
        AddError(std::string(info.name) + ": immediates are written as kind 0");
        return false;
      }
      if (v.kind == kValEnd) {
        AddError(std::string(info.name) + ": kind 2 only ends a condition");
        return false;
      }
      return true;
    };
    bool ok = true;
    switch (op.shape) {
      case 's':
        ok = checkSwitch(op.num);
        break;
      case 'M':
      case 'W':
        for (uint32_t s : op.list) ok = checkSwitch(s) && ok;
        break;
      case 'v':
        ok = checkValue(op.val);
        break;
      case 'c':
        for (const ScriptValue& v : op.cond) ok = checkValue(v) && ok;
        if (op.cond.empty()) {
          AddError(std::string(info.name) + ": empty condition");
          ok = false;
        }
        break;
      case 'l':
        if (op.symbol.empty() && op.num >= kLabelCount) {
          AddError(std::string(info.name) + ": label " + std::to_string(op.num) + " outside 0..4095");
          ok = false;
        }
        break;
      case 'G':
      case 'C':
        for (size_t i = 0; i < op.list.size(); ++i) {
          bool named = i < op.symbols.size() && !op.symbols[i].empty();
          if (!named && op.list[i] >= kLabelCount) {
            AddError(std::string(info.name) + ": label " + std::to_string(op.list[i]) + " outside 0..4095");
            ok = false;
          }
        }
        break;
      case 'o':
        if (op.symbol.empty() && op.num > kMaxJumpOffset) {
          AddError(std::string(info.name) + ": offset " + std::to_string(op.num) + " outside the bytecode area");
          ok = false;
        }
        break;
      default:
        break;
    }
    if (!ok) return false;
  }
  if (ins.opcode == kOpTalkStart || ins.opcode == kOpTalkStartAdd) {
    uint32_t msg = ins.ops.size() > 1 ? ins.ops[0].num : 0;
    uint32_t readId = ins.ops.size() > 1 ? ins.ops[1].num : 0;
    if (msg == 0 || msg >= kMessageCount || readId >= kMessageCount) {
      AddError(std::string(info.name) + ": message number " + std::to_string(msg) + " outside 1..159999");
      return false;
    }
    if (messageUsed_[msg]) {
      AddError(std::string(info.name) + ": message number " + std::to_string(msg) + " used twice");
      return false;
    }
  }
  std::vector<uint8_t> bytes;
  std::string err;
  if (!EncodeScriptInstruction(ins, bytes, &err)) {
    AddError(std::string(info.name) + ": " + err);
    return false;
  }
  if (size_ + bytes.size() > kBytecodeAreaSize) {
    AddError("bytecode larger than 16,000,000 bytes");
    return false;
  }
  if (ins.opcode == kOpTalkStart || ins.opcode == kOpTalkStartAdd) {
    uint32_t msg = ins.ops[0].num;
    messageUsed_[msg] = true;
    // Only #TalkStart is a save point, so only it is where a loaded game resumes.
    if (ins.opcode == kOpTalkStart) set_.messageOffsets[msg] = static_cast<uint32_t>(size_);
  }
  codeOffsets_.push_back(size_);
  code_.push_back(ins);
  size_ += bytes.size();
  expectGoto_ = IsIfFamily(ins.opcode);
  return true;
}

uint32_t ScriptBuilder::Message(const std::string& speaker, const std::vector<std::string>& lines, bool wait, bool add,
                                uint32_t number) {
  if (number == 0) {
    while (nextMessage_ < kMessageCount && messageUsed_[nextMessage_]) ++nextMessage_;
    if (nextMessage_ >= kMessageCount) {
      AddError("more than 159,999 messages");
      return 0;
    }
    number = nextMessage_;
  }
  ScriptOperand talk;
  talk.shape = 'T';
  for (const std::string& line : lines) {
    ScriptTextRecord r;
    r.text = line;
    r.d = 0;
    talk.records.push_back(r);
  }
  if (!talk.records.empty() && wait) talk.records.back().d = -1;
  if (!Emit(add ? kOpTalkStartAdd : kOpTalkStart, {Num(number), Num(number), Str(speaker), talk})) return 0;
  if (!Emit(kOpTalkEnd, {})) return 0;
  return number;
}

bool ScriptBuilder::ResolveAndEncode() {
  bool ok = true;
  auto resolve = [&](const std::string& name, bool offset, uint32_t& out, const ScriptInstruction& ins) {
    auto it = labelByName_.find(name);
    if (it == labelByName_.end()) {
      errors_.push_back((ins.file < set_.sourceFiles.size() ? set_.sourceFiles[ins.file] : std::string()) + ":" +
                        std::to_string(ins.line) + ": label *" + name + " is not defined");
      ok = false;
      return;
    }
    out = offset ? set_.labelOffsets[it->second] : it->second;
  };
  for (ScriptInstruction& ins : code_) {
    for (ScriptOperand& op : ins.ops) {
      if ((op.shape == 'l' || op.shape == 'o') && !op.symbol.empty()) resolve(op.symbol, op.shape == 'o', op.num, ins);
      if (op.shape == 'G' || op.shape == 'C') {
        for (size_t i = 0; i < op.symbols.size() && i < op.list.size(); ++i) {
          if (!op.symbols[i].empty()) resolve(op.symbols[i], false, op.list[i], ins);
        }
      }
    }
  }
  if (!ok) return false;
  set_.bytecode.clear();
  set_.bytecode.reserve(size_);
  for (const ScriptInstruction& ins : code_) {
    std::string err;
    if (!EncodeScriptInstruction(ins, set_.bytecode, &err)) {
      errors_.push_back(err);
      return false;
    }
  }
  return set_.bytecode.size() == size_;
}

bool ScriptBuilder::Finish(CompiledScriptSet& out) {
  if (set_.labelOffsets.empty()) AddError("the script has no label: label 0 is the entry point");
  if (expectGoto_) AddError("the script ends after a condition command without its #Goto");
  if (!code_.empty()) {
    const ScriptInstruction& last = code_.back();
    bool conditional = last.opcode == kOpGoto && code_.size() > 1 && IsIfFamily(code_[code_.size() - 2].opcode);
    if (FallsThrough(last.opcode) || conditional)
      AddError("the script ends with " + std::string(GetAdvOpcodeInfo(last.opcode).name) +
               ", which falls off the end; end it with #End, #MainMenu, #SLGmode or a jump");
  } else {
    AddError("the script has no instructions");
  }
  if (!errors_.empty()) return false;
  if (!ResolveAndEncode()) return false;
  if (set_.sourceFiles.empty()) set_.sourceFiles.push_back("");
  out = set_;
  return true;
}

ScriptOperand ScriptBuilder::Num(uint32_t n) {
  ScriptOperand o;
  o.shape = 'w';
  o.num = n;
  return o;
}
ScriptOperand ScriptBuilder::Sw(uint32_t s) {
  ScriptOperand o;
  o.shape = 's';
  o.num = s;
  return o;
}
ScriptOperand ScriptBuilder::Label(const std::string& name) {
  ScriptOperand o;
  o.shape = 'l';
  o.symbol = name;
  return o;
}
ScriptOperand ScriptBuilder::LabelNo(uint32_t n) {
  ScriptOperand o;
  o.shape = 'l';
  o.num = n;
  return o;
}
ScriptOperand ScriptBuilder::Offset(const std::string& name) {
  ScriptOperand o;
  o.shape = 'o';
  o.symbol = name;
  return o;
}
ScriptOperand ScriptBuilder::Str(const std::string& s) {
  ScriptOperand o;
  o.shape = 'S';
  o.str = s;
  return o;
}
ScriptOperand ScriptBuilder::Val(const ScriptValue& v) {
  ScriptOperand o;
  o.shape = 'v';
  o.val = v;
  return o;
}
ScriptOperand ScriptBuilder::Cond(std::vector<ScriptValue> values) {
  ScriptOperand o;
  o.shape = 'c';
  o.cond = std::move(values);
  return o;
}

}  // namespace v4fmt
