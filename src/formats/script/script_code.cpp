#include "formats/script/script_code.h"

#include <cstring>
#include "platform/byte_order.h"

namespace v4fmt {
namespace {

void Put8(std::vector<uint8_t>& out, uint8_t v) { out.push_back(v); }

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

bool PutString(std::vector<uint8_t>& out, const std::string& s, std::string* error) {
  if (s.find('\0') != std::string::npos) return Fail(error, "string holds a NUL byte");
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
  return true;
}

bool PutValue(std::vector<uint8_t>& out, const ScriptValue& v, std::string* error) {
  Put8(out, v.kind);
  switch (v.kind) {
    case kValImm:
    case kValEnd:
    case kValImm3:
      le::Append32(out, static_cast<uint32_t>(v.imm));
      return true;
    case kValSwitch:
      le::Append32(out, v.sw);
      return true;
    case kValCall:
      if (v.arg.size() > kMaxCallArgBytes) return Fail(error, "function argument longer than 255 bytes");
      if (v.arg.find('\0') != std::string::npos) return Fail(error, "function argument holds a NUL byte");
      Put8(out, v.func);
      Put8(out, static_cast<uint8_t>(v.arg.size()));
      out.insert(out.end(), v.arg.begin(), v.arg.end());
      Put8(out, 0);
      return true;
    default:
      return true;  // any other kind carries nothing
  }
}

bool PutOperand(std::vector<uint8_t>& out, char shape, const ScriptOperand& op, std::string* error) {
  if (op.shape != shape)
    return Fail(error, std::string("operand shape '") + op.shape + "' where '" + shape + "' belongs");
  switch (shape) {
    case 'w':
    case 's':
    case 'l':
    case 'o':
      le::Append32(out, op.num);
      return true;
    case 'S':
      return PutString(out, op.str, error);
    case 'v':
      return PutValue(out, op.val, error);
    case 'c':
      if (op.cond.size() > kMaxCondValues) return Fail(error, "condition longer than 256 values");
      for (const ScriptValue& v : op.cond) {
        if (v.kind == kValEnd) return Fail(error, "condition term of kind 2 (the terminator kind)");
        if (!PutValue(out, v, error)) return false;
      }
      return PutValue(out, ScriptValue{kValEnd, 0, 0, 0, {}}, error);
    case 'G':
    case 'M':
      le::Append32(out, static_cast<uint32_t>(op.list.size()));
      for (uint32_t v : op.list) le::Append32(out, v);
      return true;
    case 'W':
      if (op.list.size() > 255) return Fail(error, "more than 255 switches in one list");
      Put8(out, static_cast<uint8_t>(op.list.size()));
      for (uint32_t v : op.list) le::Append32(out, v);
      return true;
    case 'T':
      if (op.records.size() > 255) return Fail(error, "more than 255 text records in one message");
      Put8(out, static_cast<uint8_t>(op.records.size()));
      for (const ScriptTextRecord& r : op.records) {
        if (!PutString(out, r.text, error) || !PutString(out, r.text2, error)) return false;
        Put8(out, r.a);
        Put8(out, r.b);
        le::Append32(out, r.c);
        le::Append32(out, static_cast<uint32_t>(r.d));
      }
      return true;
    case 'C':
      if (op.list.size() > 255) return Fail(error, "more than 255 choices");
      if (op.texts.size() != op.list.size()) return Fail(error, "choice labels and texts differ in number");
      Put8(out, static_cast<uint8_t>(op.list.size()));
      for (uint32_t v : op.list) le::Append32(out, v);
      for (const std::string& t : op.texts) {
        if (!PutString(out, t, error)) return false;
      }
      return true;
    default:
      return Fail(error, "unknown operand shape");
  }
}

// Bounded little-endian reader over the bytecode.
struct Reader {
  const uint8_t* code;
  size_t size;
  size_t pos;
  bool ok = true;

  bool Need(size_t n) {
    if (!ok || n > size - pos) ok = false;
    return ok;
  }
  uint8_t U8() {
    if (!Need(1)) return 0;
    return code[pos++];
  }
  uint32_t U32() {
    if (!Need(4)) return 0;
    uint32_t v = static_cast<uint32_t>(code[pos]) | static_cast<uint32_t>(code[pos + 1]) << 8 |
                 static_cast<uint32_t>(code[pos + 2]) << 16 | static_cast<uint32_t>(code[pos + 3]) << 24;
    pos += 4;
    return v;
  }
  std::string Str() {
    if (!ok) return {};
    const void* nul = std::memchr(code + pos, 0, size - pos);
    if (!nul) {
      ok = false;
      return {};
    }
    size_t n = static_cast<const uint8_t*>(nul) - (code + pos);
    std::string s(reinterpret_cast<const char*>(code + pos), n);
    pos += n + 1;
    return s;
  }
  ScriptValue Val() {
    ScriptValue v;
    v.kind = U8();
    switch (v.kind) {
      case kValImm:
      case kValEnd:
      case kValImm3:
        v.imm = static_cast<int32_t>(U32());
        break;
      case kValSwitch:
        v.sw = U32();
        break;
      case kValCall: {
        v.func = U8();
        uint8_t n = U8();
        if (!Need(static_cast<size_t>(n) + 1)) break;
        // The argument is n bytes and a NUL; a missing NUL makes the operand malformed.
        if (code[pos + n] != 0) {
          ok = false;
          break;
        }
        v.arg.assign(reinterpret_cast<const char*>(code + pos), n);
        pos += static_cast<size_t>(n) + 1;
        break;
      }
      default:
        v.imm = -1;
        break;
    }
    return v;
  }
};

}  // namespace

bool EncodeScriptInstruction(const ScriptInstruction& ins, std::vector<uint8_t>& out, std::string* error) {
  const AdvOpcodeInfo& info = GetAdvOpcodeInfo(ins.opcode);
  size_t n = std::strlen(info.operands);
  if (ins.ops.size() != n) {
    return Fail(error, std::string(info.name[0] ? info.name : "opcode") + " takes " + std::to_string(n) +
                           " operands, got " + std::to_string(ins.ops.size()));
  }
  std::vector<uint8_t> bytes;
  Put8(bytes, ins.opcode);
  le::Append16(bytes, ins.file);
  le::Append16(bytes, ins.line);
  for (size_t i = 0; i < n; ++i) {
    if (!PutOperand(bytes, info.operands[i], ins.ops[i], error)) return false;
  }
  out.insert(out.end(), bytes.begin(), bytes.end());
  return true;
}

bool DecodeScriptInstruction(const uint8_t* code, size_t size, size_t offset, ScriptInstruction& out, size_t* next,
                             std::string* error) {
  out = ScriptInstruction{};
  if (!code || offset > size || size - offset < kAdvHeaderSize)
    return Fail(error, "instruction header runs past the end");
  Reader r{code, size, offset};
  out.opcode = r.U8();
  out.file = static_cast<uint16_t>(r.U8() | r.U8() << 8);
  out.line = static_cast<uint16_t>(r.U8() | r.U8() << 8);
  const AdvOpcodeInfo& info = GetAdvOpcodeInfo(out.opcode);
  for (const char* p = info.operands; *p && r.ok; ++p) {
    ScriptOperand op;
    op.shape = *p;
    switch (*p) {
      case 'w':
      case 's':
      case 'l':
      case 'o':
        op.num = r.U32();
        break;
      case 'S':
        op.str = r.Str();
        break;
      case 'v':
        op.val = r.Val();
        break;
      case 'c':
        for (;;) {
          ScriptValue v = r.Val();
          if (!r.ok || v.kind == kValEnd) break;
          if (op.cond.size() == kMaxCondValues) {
            out.ops.push_back(op);
            return Fail(error, "condition longer than 256 values");
          }
          op.cond.push_back(v);
        }
        break;
      case 'G':
      case 'M': {
        uint32_t n = r.U32();
        if (r.ok && n > (size - r.pos) / 4) r.ok = false;
        for (uint32_t i = 0; i < n && r.ok; ++i) op.list.push_back(r.U32());
        break;
      }
      case 'W': {
        uint8_t n = r.U8();
        for (uint32_t i = 0; i < n && r.ok; ++i) op.list.push_back(r.U32());
        break;
      }
      case 'T': {
        uint8_t n = r.U8();
        for (uint32_t i = 0; i < n && r.ok; ++i) {
          ScriptTextRecord rec;
          rec.text = r.Str();
          rec.text2 = r.Str();
          rec.a = r.U8();
          rec.b = r.U8();
          rec.c = r.U32();
          rec.d = static_cast<int32_t>(r.U32());
          op.records.push_back(std::move(rec));
        }
        break;
      }
      case 'C': {
        uint8_t n = r.U8();
        for (uint32_t i = 0; i < n && r.ok; ++i) op.list.push_back(r.U32());
        for (uint32_t i = 0; i < n && r.ok; ++i) op.texts.push_back(r.Str());
        break;
      }
      default:
        r.ok = false;
        break;
    }
    out.ops.push_back(std::move(op));
  }
  if (!r.ok) return Fail(error, std::string(info.name) + " operands run past the end of the bytecode");
  if (next) *next = r.pos;
  return true;
}

}  // namespace v4fmt
