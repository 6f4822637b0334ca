#include "scenario/interp/adv_interp.h"

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstring>

#include "core/app_state.h"
#include "core/error_box.h"
#include "core/game_clock.h"
#include "core/game_file.h"
#include "core/game_rand.h"
#include "formats/script/adv_opcodes.h"
#include "formats/script/script_code.h"
#include "formats/script/script_set_layout.h"
#include "platform/text/cp932.h"
#include "platform/text/log.h"
#include "scenario/adv_presenter.h"
#include "scenario/interp/adv_services.h"
#include "scenario/interp/adv_step.h"
#include "scenario/script/adv_script.h"
#include "world/placement.h"
#include "world/turn/unification.h"
#include "world/record_lists.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

using namespace v4fmt;

namespace {

constexpr const char* kFaultTitle = "SCRIPT ERROR";

std::string g_fault;
bool g_budgetOut = false;
bool g_firstRun = true;

// Length of text cut to at most max bytes without splitting a double-byte character.
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

class Interp {
 public:
  explicit Interp(AdvScript& s) : s_(s), r_{s.bytecode.data(), s.bytecodeSize, s.pc} {}

  Flow Step();

 private:
  // --- operands ----------------------------------------------------------------------------------
  int32_t Val() {
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
  float ValF() { return static_cast<float>(Val()); }

  bool SwOk(uint32_t sw) {
    if (sw < kSwitchCount) return true;
    char text[96];
    std::snprintf(text, sizeof text, "スイッチ番号(%u)が範囲(0～%u)外です", sw,
                  static_cast<unsigned>(kSwitchCount - 1));
    Report(text);
    return false;
  }
  int32_t GetSw(uint32_t sw) { return SwOk(sw) ? s_.switches[sw] : 0; }
  void SetSw(uint32_t sw, int32_t v, bool notify) {
    if (!SwOk(sw)) return;
    s_.switches[sw] = v;
    if (notify && s_.IsSwitchWatched(static_cast<int32_t>(sw))) NotifyWatchWindow(static_cast<int32_t>(sw));
  }

  // Jumps report a bad target and leave pc after the instruction.
  void JumpLabel(uint32_t label) {
    if (label >= kLabelCount) {
      char text[96];
      std::snprintf(text, sizeof text, "ラベル番号(%u)が範囲(0～%u)外です", label,
                    static_cast<unsigned>(kLabelCount - 1));
      Report(text);
      return;
    }
    JumpOffset(s_.labelOffsets[label]);
  }
  void JumpOffset(uint32_t offset) {
    if (offset > kMaxJumpOffset || offset >= s_.bytecodeSize) {
      char text[96];
      std::snprintf(text, sizeof text, "ジャンプ先(%u)がスクリプトの範囲外です", offset);
      Report(text);
      return;
    }
    r_.pos = offset;
  }

  // Condition: values until the terminator (kind 2), at most kMaxCondValues of them.
  bool Cond() {
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

  // Skips the instruction at pc (the #Goto after an #If family instruction).
  void SkipNext() {
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

  // Lists of u32 with a u32 or u8 count; the count is checked against the bytes left.
  bool List32(uint32_t n, std::vector<uint32_t>& out) {
    if (!r_.Need(0) || n > (r_.size - r_.pos) / 4) {
      r_.ok = false;
      return false;
    }
    out.resize(n);
    for (uint32_t i = 0; i < n; ++i) out[i] = r_.U32();
    return r_.ok;
  }

  // --- opcode groups -----------------------------------------------------------------------------
  Flow Talk(bool newPage);
  Flow TalkEnd();
  Flow Select();
  Flow MinMax(bool max, bool random);
  Flow SwCalcu(uint32_t sw, uint32_t op, int32_t v);
  Flow Sprite(unsigned op);
  Flow World(unsigned op);

  AdvScript& s_;
  Reader r_;

 public:
  bool ok() const { return r_.ok; }
};

int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

Flow Interp::SwCalcu(uint32_t sw, uint32_t op, int32_t v) {
  int32_t cur = GetSw(sw);
  int32_t out = cur;
  switch (op) {
    case 0:
      out = Wrap(static_cast<int64_t>(cur) * v);
      break;
    case 1:
      if (v == 0) v = 1;
      out = (cur == INT32_MIN && v == -1) ? INT32_MIN : cur / v;
      break;
    case 2:
      out = Wrap(static_cast<int64_t>(cur) + v);
      break;
    case 3:
      out = Wrap(static_cast<int64_t>(cur) - v);
      break;
    case 4:
      out = v;
      break;
    default:
      return Flow::kNext;
  }
  SetSw(sw, out, true);
  return Flow::kNext;
}

Flow Interp::MinMax(bool max, bool random) {
  uint32_t dest = r_.U32();
  uint32_t n = r_.U32();
  std::vector<uint32_t> list;
  if (!List32(n, list)) return Flow::kNext;
  int32_t pos = 0;
  if (n >= 1) {
    int32_t best = GetSw(list[0]);
    for (uint32_t i = 1; i < n; ++i) {
      int32_t v = GetSw(list[i]);
      if (max ? v > best : v < best) {
        best = v;
        pos = static_cast<int32_t>(i);
      }
    }
    if (random) {
      std::vector<int32_t> ties;
      for (uint32_t i = 0; i < n; ++i)
        if (GetSw(list[i]) == best) ties.push_back(static_cast<int32_t>(i));
      pos = ties[static_cast<size_t>(GameRandBelow(static_cast<int>(ties.size())))];
    }
  }
  SetSw(dest, pos, !random);
  return Flow::kNext;
}

// The voice handed to the last shown message; the backlog entry of that message takes it.
AdvVoiceRecord g_messageVoice;

Flow Interp::Talk(bool newPage) {
  uint32_t message = r_.U32();
  uint32_t readId = r_.U32();
  const char* speaker = r_.Str();
  uint8_t n = r_.U8();
  std::vector<ScriptTextRecord> records;
  records.reserve(n);
  for (uint32_t i = 0; i < n && r_.ok; ++i) {
    ScriptTextRecord rec;
    rec.text = r_.Str();
    rec.text2 = r_.Str();
    rec.a = r_.U8();
    rec.b = r_.U8();
    rec.c = r_.U32();
    rec.d = static_cast<int32_t>(r_.U32());
    records.push_back(std::move(rec));
  }
  if (!r_.ok) return Flow::kNext;
  if (newPage) s_.MarkSavePoint(message < kMessageCount ? message : 0);
  s_.messageId = readId;
  AdvPresenter* p = EnsureAdvPresenter();
  if (p) p->SetMessage(static_cast<int32_t>(readId), speaker, records, newPage);
  if (s_.voicePending) {
    AdvSvc().ApplyVoiceVolume(s_.pendingVoice.number);
    // Without a scene nothing shows the message, so its voice is not played either.
    if (p && !p->IsSkip() && !p->IsFastForward()) AdvSvc().PlayVoice(s_.pendingVoice.fileName, s_.pendingVoice.param);
    if (p) p->SetBacklogVoice(s_.pendingVoice.fileName, s_.pendingVoice.number, s_.pendingVoice.param);
    g_messageVoice = s_.pendingVoice;
    s_.voicePending = 0;
  } else if (newPage) {
    g_messageVoice = AdvVoiceRecord{};
  }
  return Flow::kNext;
}

Flow Interp::TalkEnd() {
  AdvSvc().ClearChannelFileName(2);
  s_.SetMessageRead(s_.messageId);
  if (AdvPresenter* p = EnsureAdvPresenter()) {
    std::string speaker, text;
    if (p->TakeFinishedMessage(speaker, text)) {
      s_.AddBacklogEntry(speaker.c_str(), text.c_str(), g_messageVoice.fileName, g_messageVoice.number,
                         g_messageVoice.param);
    }
  }
  g_messageVoice = AdvVoiceRecord{};
  s_.pendingVoice = AdvVoiceRecord{};
  s_.voicePending = 0;
  return Flow::kNext;
}

Flow Interp::Select() {
  r_.U32();  // read and ignored
  uint8_t n = r_.U8();
  std::vector<uint32_t> labels;
  if (!List32(n, labels)) return Flow::kNext;
  std::vector<AdvChoice> choices(n);
  for (uint32_t i = 0; i < n && r_.ok; ++i) {
    choices[i].label = static_cast<int32_t>(labels[i]);
    choices[i].text = r_.Str();
  }
  if (!r_.ok) return Flow::kNext;
  if (AdvPresenter* p = EnsureAdvPresenter()) {
    p->SetAuto(false);
    p->SetSkip(false);
    p->SetFastForward(false);
    p->SetChoices(choices);
  }
  return Flow::kNext;
}

bool ValidBusyo(int32_t g) { return g >= 0 && g < static_cast<int32_t>(kBusyoCount); }

// The two 2-bit pass fields of a country: field `which` sits at bit (1 - which) * 2.
void SetShuuLimitField(int32_t kuni, int32_t which, int32_t a, int32_t b) {
  KuniRecord* k = kuni >= 0 ? KuniPtr(static_cast<uint32_t>(kuni)) : nullptr;
  if (!k || (which != 0 && which != 1)) return;
  int shift = (1 - which) * 2;
  uint8_t field = static_cast<uint8_t>(((a & 1) + 2 * (b & 1)) << shift);
  k->passFlags = static_cast<uint8_t>((k->passFlags & ~(3 << shift)) | field);
}

Flow Interp::World(unsigned op) {
  switch (op) {
    case kOpSetMeetSw: {
      uint32_t number = r_.U32();
      int32_t key = Val();
      const char* name = r_.Str();
      int32_t f0 = Val();
      int32_t f1 = Val();
      r_.Str();  // read and not used
      if (!r_.ok) break;
      RegisterSlgEvent(static_cast<uint32_t>(key), name, f0 != 0, f1 != 0);
      SlgEventMap[static_cast<uint32_t>(key)].key = static_cast<uint16_t>(number);
      break;
    }
    case kOpSetToshu: {
      int32_t g = Val();
      if (r_.ok && ValidBusyo(g)) SetDaimyoLeader(static_cast<uint32_t>(g));
      break;
    }
    case kOpAddBusho: {
      int32_t g = Val(), castle = Val(), flag = Val();
      if (r_.ok && ValidBusyo(g)) AddBusyoToCastle(g, castle, flag != 0);
      break;
    }
    case kOpSetShuuLimit: {
      int32_t a = Val(), b = Val(), c = Val(), d = Val();
      if (r_.ok) SetShuuLimitField(a, b, c, d);
      break;
    }
    case kOpSetHoryoFlg: {
      int32_t g = Val(), set = Val(), readd = Val();
      if (r_.ok && ValidBusyo(g)) SetBusyoFlag(static_cast<uint32_t>(g), set != 0, readd != 0);
      break;
    }
    case kOpSetTjYear: {
      int32_t g = Val(), v = Val();
      if (r_.ok && ValidBusyo(g)) BusyoTable[g].appearYear = static_cast<uint8_t>(v);
      break;
    }
    case kOpSerifFlagOn: {
      int32_t g = Val();
      uint32_t category = r_.U32();
      if (r_.ok) AdvSvc().UnlockGalleryCategory(g, static_cast<int32_t>(category));
      break;
    }
    case kOpSetKizuna: {
      int32_t g = Val(), on = Val();
      if (r_.ok && ValidBusyo(g)) SetBusyoKizuna(static_cast<uint32_t>(g), on == 1);
      break;
    }
    case kOpSetKuniLimit: {
      int32_t kuni = Val(), which = Val(), on = Val();
      KuniRecord* k = (r_.ok && kuni >= 0) ? KuniPtr(static_cast<uint32_t>(kuni)) : nullptr;
      if (k) {
        uint8_t bit = which != 0 ? 1 : 2;
        k->passFlags = static_cast<uint8_t>(on == 1 ? (k->passFlags | bit) : (k->passFlags & ~bit));
      }
      break;
    }
    case kOpSetNegaeri: {
      int32_t g = Val(), state = Val();
      if (r_.ok && ValidBusyo(g)) SetBusyoKizunaState(static_cast<uint32_t>(g), state);
      break;
    }
    case kOpSetDoumeiReject: {
      int32_t clan = Val(), other = Val();
      if (r_.ok && clan >= 0 && clan < static_cast<int32_t>(kDaimyoSlots) && other >= 0 &&
          other < static_cast<int32_t>(kDaimyoSlots))
        AddDaimyoRelation(static_cast<uint32_t>(clan), static_cast<uint32_t>(other));
      break;
    }
    case kOpSetSiroRoot: {
      int32_t a = Val(), b = Val(), on = Val();
      if (r_.ok && a >= 0 && b >= 0) SetSiroLink(static_cast<uint32_t>(a), static_cast<uint32_t>(b), on != 0);
      break;
    }
    case kOpHideDaimyoInfo: {
      int32_t clan = Val(), on = Val();
      if (r_.ok && clan >= 0 && clan < static_cast<int32_t>(kDaimyoSlots))
        SetDaimyoFlag3(static_cast<uint32_t>(clan), on != 0);
      break;
    }
    case kOpSetBusyoParam: {
      int32_t g = Val();
      const char* param = r_.Str();
      int32_t v = Val();
      if (!r_.ok || !ValidBusyo(g)) break;
      if (std::strcmp(param, "兵数") == 0)
        SetBusyoSoldiers(static_cast<uint32_t>(g), v);
      else if (std::strcmp(param, "鉄砲") == 0)
        SetBusyoGuns(static_cast<uint32_t>(g), v);
      else if (std::strcmp(param, "Lv") == 0)
        SetBusyoStage(static_cast<uint32_t>(g), v);
      break;
    }
    default:
      break;
  }
  return Flow::kNext;
}

Flow Interp::Sprite(unsigned op) {
  AdvPresenter* p = GetAdvPresenter();
  AdvPresenter none;
  AdvPresenter& w = p ? *p : none;
  auto variant = [](unsigned o, unsigned plain, unsigned d) {
    return o == plain ? AdvTweenVariant::kPlain : o == d ? AdvTweenVariant::kD : AdvTweenVariant::kDA;
  };
  switch (op) {
    case kOpSetSprite: {
      int32_t id = Val(), v = Val();
      if (r_.ok) w.SetSprite(id, v);
      break;
    }
    case kOpSetSpriteFlg: {
      const char* flag = r_.Str();
      int32_t v = Val();
      if (!r_.ok) break;
      if (std::strcmp(flag, "AddBlend") == 0)
        w.SetAddBlend(v != 0);
      else if (std::strcmp(flag, "WaitCheck") == 0)
        w.SetWaitCheck(v != 0);
      break;
    }
    case kOpSpriteAnimeClear: {
      int32_t id = Val(), v = Val();
      if (r_.ok) w.SpriteAnimeClear(id, v);
      break;
    }
    case kOpSpriteAnimeMove:
    case kOpSpriteAnimeMoveD:
    case kOpSpriteAnimeMoveDA: {
      int32_t id = Val();
      float x = ValF(), y = ValF(), z = ValF();
      int32_t time = Val(), flag = Val();
      if (r_.ok) w.SpriteAnimeMove(variant(op, kOpSpriteAnimeMove, kOpSpriteAnimeMoveD), id, x, y, z, time, flag);
      break;
    }
    case kOpSpriteAnimeRot:
    case kOpSpriteAnimeRotD:
    case kOpSpriteAnimeRotDA: {
      int32_t id = Val();
      float a = ValF(), b = ValF(), c = ValF(), d = ValF();
      int32_t time = Val(), flag = Val();
      if (r_.ok) w.SpriteAnimeRot(variant(op, kOpSpriteAnimeRot, kOpSpriteAnimeRotD), id, a, b, c, d, time, flag);
      break;
    }
    case kOpSpriteAnimeScale:
    case kOpSpriteAnimeScaleD:
    case kOpSpriteAnimeScaleDA: {
      int32_t id = Val();
      float x = ValF() / 100.0f, y = ValF() / 100.0f, z = ValF();
      int32_t time = Val(), flag = Val();
      if (r_.ok) w.SpriteAnimeScale(variant(op, kOpSpriteAnimeScale, kOpSpriteAnimeScaleD), id, x, y, z, time, flag);
      break;
    }
    case kOpSpriteAnimeColor:
    case kOpSpriteAnimeColorD:
    case kOpSpriteAnimeColorDA: {
      int32_t id = Val();
      float c1 = ValF(), c2 = ValF(), c3 = ValF(), c4 = ValF(), c5 = ValF();
      int32_t time = Val(), flag = Val();
      if (r_.ok)
        w.SpriteAnimeColor(variant(op, kOpSpriteAnimeColor, kOpSpriteAnimeColorD), id, c2, c3, c4, c1, c5, time, flag);
      break;
    }
    case kOpSpriteAnimeWait: {
      int32_t id = Val();
      float t = ValF();
      int32_t a = Val(), b = Val();
      if (r_.ok) w.SpriteAnimeWait(id, t, a, b);
      break;
    }
    case kOpSpriteAnimeParts: {
      int32_t id = Val(), a = Val();
      float t = ValF();
      int32_t b = Val(), c = Val();
      if (r_.ok) w.SpriteAnimeParts(id, a, t, b, c);
      break;
    }
    case kOpSpriteCut: {
      int32_t id = Val(), a = Val();
      float wd = ValF(), h = ValF();
      if (r_.ok) w.SpriteCut(id, a, wd, h);
      break;
    }
    case kOpSetSpriteImg: {
      const char* file = r_.Str();
      if (r_.ok) w.SetSpriteImg(file);
      break;
    }
    case kOpSpriteAnimeStart: {
      int32_t id = Val();
      if (r_.ok) w.SpriteAnimeStart(id);
      break;
    }
    case kOpStartSpriteMovie: {
      int32_t on = Val();
      if (r_.ok) w.StartSpriteMovie(on != 0);
      break;
    }
    default:
      break;
  }
  return Flow::kNext;
}

// Stop fades: speed -(t + 1), kept within the fade speeds that end in silence.
int32_t StopSpeed(uint32_t t) { return -static_cast<int32_t>(t >= 3 ? 4 : t + 1); }

bool IsWebUrl(const char* url) { return std::strncmp(url, "http://", 7) == 0 || std::strncmp(url, "https://", 8) == 0; }

Flow Interp::Step() {
  const uint32_t start = r_.pos;
  if (!r_.Need(kAdvHeaderSize)) return Flow::kEnd;
  const unsigned op = r_.code[r_.pos];
  s_.opcode = op;
  s_.fileIndex = (r_.code[r_.pos + 1] | r_.code[r_.pos + 2] << 8);  // u16 file, then u16 line
  s_.lineNumber = (r_.code[r_.pos + 3] | r_.code[r_.pos + 4] << 8);
  r_.pos += kAdvHeaderSize;
  AdvServices& svc = AdvSvc();

  switch (op) {
    case kOpGosub: {
      uint32_t offset = r_.U32();
      if (!r_.ok) break;
      if (offset > kMaxJumpOffset || offset >= s_.bytecodeSize) {
        JumpOffset(offset);  // reports
        break;
      }
      if (s_.ScriptGosub(r_.pos)) r_.pos = offset;
      break;
    }
    case kOpGoto: {
      uint32_t label = r_.U32();
      if (r_.ok) JumpLabel(label);
      break;
    }
    case kOpIf: {
      bool c = Cond();
      if (r_.ok && c) SkipNext();
      break;
    }
    case kOpWait: {
      int32_t ms = Val();
      if (!r_.ok) break;
      s_.waitRemaining = ms > 0 ? static_cast<uint32_t>(ms) : 0;
      s_.waitJumpLabel = -1;
      s_.pc = r_.pos;
      return Flow::kYield;
    }
    case kOpSwVar:
    case kOpSwAdd:
    case kOpSwDec: {
      uint32_t sw = r_.U32();
      int32_t v = Val();
      if (!r_.ok) break;
      int32_t cur = op == kOpSwVar ? 0 : GetSw(sw);
      int32_t out = op == kOpSwVar   ? v
                    : op == kOpSwAdd ? Wrap(static_cast<int64_t>(cur) + v)
                                     : Wrap(static_cast<int64_t>(cur) - v);
      SetSw(sw, out, true);
      break;
    }
    case kOpSwGoto: {
      uint32_t sw = r_.U32();
      uint32_t n = r_.U32();
      std::vector<uint32_t> labels;
      if (!List32(n, labels)) break;
      int32_t v = GetSw(sw);
      if (v >= 0 && static_cast<uint32_t>(v) < n) {
        JumpLabel(labels[static_cast<size_t>(v)]);
      } else {
        char text[128];
        std::snprintf(text, sizeof text, "値(%d)が、分岐先範囲(0～%d)外です", v, static_cast<int>(n) - 1);
        ShowErrorMessageBox(text, "SwGoto:パラメーターエラー");
      }
      break;
    }
    case kOpSwRand: {
      uint32_t sw = r_.U32();
      int32_t n = Val();
      if (r_.ok) SetSw(sw, n < 1 ? 0 : GameRandBelow(n), true);
      break;
    }
    case kOpSubEnd: {
      int64_t ret = s_.ScriptReturn();
      if (ret < 0) {
        plat::Log("script", "return without a call at line %u", s_.lineNumber);
        g_QuitRequested.store(true);
        s_.pc = r_.pos;
        return Flow::kYield;
      }
      r_.pos = static_cast<uint32_t>(ret);
      break;
    }
    case kOpTalkStart:
    case kOpTalkStartAdd:
      Talk(op == kOpTalkStart);
      break;
    case kOpTalkEnd:
      TalkEnd();
      break;
    case kOpComJump: {
      uint32_t offset = r_.U32();
      if (r_.ok) JumpOffset(offset);
      break;
    }
    case kOpSelect:
      Select();
      break;
    case kOpSelectEnd: {
      AdvPresenter* p = GetAdvPresenter();
      JumpLabel(p ? static_cast<uint32_t>(p->GetChosenLabel()) : 0u);
      s_.pc = r_.pos;
      return Flow::kYield;
    }
    case kOpSwCalcu: {
      uint32_t sw = r_.U32();
      uint32_t o = r_.U32();
      int32_t v = Val();
      if (r_.ok) SwCalcu(sw, o, v);
      break;
    }
    case kOpBgmStart:
    case kOpBgmStartLoop: {
      int32_t fade = Val();
      const char* file = r_.Str();
      const char* file2 = r_.Str();
      int32_t loop = Val();
      if (!r_.ok) break;
      AdvPresenter* p = EnsureAdvPresenter();
      if (p && !p->IsFastForward()) svc.PlayMusic(file, *file2 ? file2 : nullptr, loop, fade);
      break;
    }
    case kOpBgmStop: {
      uint32_t t = r_.U32();
      if (!r_.ok) break;
      svc.FadeOutChannel(0, StopSpeed(t));
      svc.ClearChannelFileName(0);
      break;
    }
    case kOpVoiceStart:
    case kOpVS_SL: {
      uint32_t sw = r_.U32();
      const char* file = r_.Str();
      int32_t param = Val();
      if (!r_.ok) break;
      AdvVoiceRecord v;
      size_t n = SjisCut(file, sizeof v.fileName - 1);
      std::memcpy(v.fileName, file, n);
      v.number = GetSw(sw);
      v.param = param;
      s_.pendingVoice = v;
      s_.voicePending = 1;
      break;
    }
    case kOpVoiceStop: {
      uint32_t t = r_.U32();
      if (r_.ok) svc.FadeOutChannel(2, StopSpeed(t));
      break;
    }
    case kOpSeStart:
    case kOpSeStartLoop: {
      int32_t slot = Val();
      const char* file = r_.Str();
      int32_t volume = Val();
      uint32_t a = r_.U32();
      uint32_t loop = r_.U32();
      if (!r_.ok) break;
      AdvPresenter* p = EnsureAdvPresenter();
      if (!p || p->IsFastForward()) break;
      if (slot < 0 || slot > 3) {
        char text[64];
        std::snprintf(text, sizeof text, "効果音スロット(%d)が範囲(0～3)外です", slot);
        Report(text);
        break;
      }
      int64_t level = static_cast<int64_t>(volume) * 10000 / 3840;
      if (level > 10000) level = 10000;
      if (level < -10000) level = -10000;
      svc.PlayEffect(slot + 3, file, static_cast<int32_t>(loop), static_cast<int32_t>(a + 1 > 4 ? 4 : a + 1),
                     static_cast<int32_t>(level));
      break;
    }
    case kOpSeStop: {
      int32_t slot = Val();
      uint32_t t = r_.U32();
      if (r_.ok && slot >= 0 && slot <= 3) svc.FadeOutChannel(slot + 3, StopSpeed(t));
      break;
    }
    case kOpMainMenu: {
      if (AdvPresenter* p = EnsureAdvPresenter()) p->SetFastForward(false);
      svc.StopAllSound();
      GameMode = game_mode::kIdle;
      s_.MarkSavePoint(0);
      s_.pc = r_.pos;
      return Flow::kYield;
    }
    case kOpEventEnd: {
      if (GameMode != game_mode::kEventScript) break;
      if (AdvPresenter* p = GetAdvPresenter()) p->SetFastForward(false);
      s_.SaveSystemSwitches();
      svc.StopAllSound();
      s_.ClearBacklog();
      if (s_.eventArgument == 0) EndAdvEvent();
      s_.pc = r_.pos;
      return Flow::kYield;
    }
    case kOpEventFlagOn: {
      uint32_t label = r_.U32();
      if (!r_.ok) break;
      if (label >= kLabelCount) {
        JumpLabel(label);  // reports the range
        break;
      }
      svc.UnlockOmakeSceneByLabel(static_cast<int32_t>(label));
      break;
    }
    case kOpCgFlagOn: {
      uint32_t w = r_.U32(), b = r_.U32();
      if (r_.ok) svc.SetCgFlag(w, b);
      break;
    }
    case kOpSwMini:
      MinMax(false, false);
      break;
    case kOpSwMax:
      MinMax(true, false);
      break;
    case kOpSwMiniRnd:
      MinMax(false, true);
      break;
    case kOpSwMaxRnd:
      MinMax(true, true);
      break;
    case kOpCharIn: {
      int32_t slot = Val(), x0 = Val(), y0 = Val(), x1 = Val(), y1 = Val(), t = Val();
      if (!r_.ok) break;
      if (AdvPresenter* p = EnsureAdvPresenter()) p->ShowChar(slot, x0, y0, x1, y1, static_cast<float>(t));
      s_.pc = r_.pos;
      return Flow::kYield;
    }
    case kOpCharOut:
    case kOpCharMove: {
      int32_t slot = Val(), x = Val(), y = Val(), t = Val();
      if (!r_.ok) break;
      if (AdvPresenter* p = GetAdvPresenter()) {
        if (op == kOpCharOut)
          p->HideChar(slot, x, y, static_cast<float>(t));
        else
          p->MoveChar(slot, x, y, static_cast<float>(t));
      }
      s_.pc = r_.pos;
      return Flow::kYield;
    }
    case kOpPlayMovie: {
      const char* file = r_.Str();
      if (!r_.ok) break;
      std::string path = std::string(GetModuleDir()) + file;
      if (AdvPresenter* p = EnsureAdvPresenter()) {
        p->SetAuto(false);
        p->SetSkip(false);
        p->SetFastForward(false);
        p->PlayMovie(path.c_str());
      }
      break;
    }
    case kOpAtFirst: {
      uint32_t sw = r_.U32();
      if (!r_.ok) break;
      SetSw(sw, g_firstRun ? 1 : 0, true);
      g_firstRun = false;
      break;
    }
    case kOpGetSkipFlag: {
      uint32_t sw = r_.U32();
      if (!r_.ok) break;
      if (AdvPresenter* p = EnsureAdvPresenter()) SetSw(sw, p->IsSkip() ? 1 : 0, true);
      break;
    }
    case kOpExit: {
      int32_t ask = Val();
      if (!r_.ok) break;
      g_QuitRequested.store(ask == 0 ? true : svc.ConfirmExit());
      s_.pc = r_.pos;
      return Flow::kYield;
    }
    case kOpEnd:
      s_.pc = start;  // stays on #End
      return Flow::kEnd;
    case kOpCharLoad: {
      int32_t slot = Val();
      const char* name = r_.Str();
      int32_t pos = Val();
      if (!r_.ok) break;
      if (AdvPresenter* p = EnsureAdvPresenter()) p->LoadChar(slot, name, pos);
      break;
    }
    case kOpSkipOff:
      if (AdvPresenter* p = EnsureAdvPresenter()) {
        p->SetSkip(false);
        p->SetFastForward(false);
      }
      break;
    case kOpBGLoad: {
      const char* file = r_.Str();
      int32_t layer = Val(), flag = Val();
      if (!r_.ok) break;
      if (AdvPresenter* p = EnsureAdvPresenter()) p->LoadLayerImage(layer, file, flag == 1);
      s_.pc = r_.pos;
      return Flow::kYield;
    }
    case kOpBreakSw:
    case kOpWatchSw: {
      uint8_t n = r_.U8();
      std::vector<uint32_t> list;
      if (!List32(n, list)) break;
      for (uint32_t sw : list) {
        if (!SwOk(sw)) continue;
        if (op == kOpWatchSw) {
          s_.AddWatchSwitch(static_cast<int32_t>(sw));
        } else if (svc.DebugMode()) {
          char text[200];
          std::snprintf(text, sizeof text, "%s\nSW[%s]=%d", "", s_.SwitchName(sw).c_str(), s_.switches[sw]);
          svc.ShowDebugBox(text, "BreakSw スイッチリスト");
        }
      }
      break;
    }
    case kOpFlip: {
      int32_t a = Val();
      const char* file = r_.Str();
      if (!r_.ok) break;
      if (AdvPresenter* p = EnsureAdvPresenter()) p->SwapBgPage(a, file);
      s_.pc = r_.pos;
      return Flow::kYield;
    }
    case kOpFlipRot: {
      int32_t a = Val(), b = Val(), c = Val();
      if (!r_.ok) break;
      if (AdvPresenter* p = GetAdvPresenter()) p->SwapBgPageRot(a, b, c);
      break;
    }
    case kOpIfGoto: {
      bool c = Cond();
      if (r_.ok && !c) SkipNext();
      break;
    }
    case kOpSLGmode: {
      if (AdvPresenter* p = GetAdvPresenter()) p->SetFastForward(false);
      EnterSlgMode();
      s_.MarkSavePoint(0);
      s_.pc = r_.pos;
      return Flow::kYield;
    }
    case kOpIfGotoOnce: {
      uint32_t sw = r_.U32();
      bool c = Cond();
      if (!r_.ok) break;
      if (!c || GetSw(sw) == 1) {
        SkipNext();
      } else {
        SetSw(sw, 1, false);
      }
      break;
    }
    case kOpGetPlayMode: {
      uint32_t sw = r_.U32();
      if (r_.ok) SetSw(sw, GameMode == game_mode::kMainScript ? 1 : 0, true);
      break;
    }
    case kOpSetShareFlg: {
      uint32_t i = r_.U32(), v = r_.U32();
      if (r_.ok) svc.SetShareFlag(i, v);
      break;
    }
    case kOpGetShareFlg: {
      uint32_t i = r_.U32(), sw = r_.U32();
      if (r_.ok) SetSw(sw, static_cast<int32_t>(svc.GetShareFlag(i)), true);
      break;
    }
    case kOpSetEnding:
      // Story flag A of the unification rules: positive lets a unified realm end with the story's
      // ending event.
      StoryFlagA = 1;
      break;
    case kOpBlockLabel: {
      const char* name = r_.Str();
      if (!r_.ok) break;
      size_t n = SjisCut(name, sizeof s_.blockLabel - 1);
      std::memset(s_.blockLabel, 0, sizeof s_.blockLabel);
      std::memcpy(s_.blockLabel, name, n);
      break;
    }
    case kOpSetScenarioRoute: {
      int32_t v = Val();
      if (r_.ok) svc.SetScenarioRoute(v);
      break;
    }
    case kOpSetScenarioHero: {
      Val();  // read and ignored
      int32_t v = Val();
      if (r_.ok) svc.SetScenarioHero(static_cast<uint16_t>(v));
      break;
    }
    case kOpPairEnding: {
      if (AdvPresenter* p = GetAdvPresenter()) p->SetFastForward(false);
      GameMode = game_mode::kPairedEnding;
      s_.pc = r_.pos;
      return Flow::kYield;
    }
    case kOpEffectLoad: {
      const char* file = r_.Str();
      int32_t layer = Val(), flag = Val();
      if (!r_.ok) break;
      if (AdvPresenter* p = GetAdvPresenter()) p->LoadEffectLayer(layer, file, flag == 1);
      break;
    }
    case kOpEffectIn:
    case kOpEffectOut: {
      int32_t layer = Val(), a = Val();
      const char* pattern = r_.Str();
      if (!r_.ok) break;
      if (AdvPresenter* p = GetAdvPresenter()) {
        if (op == kOpEffectIn)
          p->EffectIn(layer, a, pattern);
        else
          p->EffectOut(layer, a, pattern);
      }
      break;
    }
    case kOpLensFlare: {
      int32_t x = Val(), y = Val(), a = Val(), b = Val(), c = Val();
      if (!r_.ok) break;
      if (AdvPresenter* p = GetAdvPresenter()) p->LensFlare(x, y, a, b, c);
      break;
    }
    case kOpZoom: {
      int32_t a = Val(), b = Val(), c = Val(), d = Val(), e = Val();
      if (!r_.ok) break;
      if (AdvPresenter* p = EnsureAdvPresenter()) p->Zoom(a, b, c, d, e);
      s_.pc = r_.pos;
      return Flow::kYield;
    }
    case kOpMessageOFF:
      if (AdvPresenter* p = EnsureAdvPresenter()) p->ShowWindow(false);
      break;
    case kOpURLOpen: {
      const char* url = r_.Str();
      if (!r_.ok) break;
      if (AdvPresenter* p = GetAdvPresenter()) {
        p->SetFastForward(false);
        // Only web addresses are handed to the desktop; a script never opens local files.
        if (IsWebUrl(url))
          svc.OpenUrl(url);
        else
          plat::Log("script", "#URLOpen: not a web address: %s", plat::Cp932ToUtf8(url).c_str());
      }
      break;
    }
    case kOpWaitDraw:
      s_.pc = r_.pos;
      return Flow::kYield;
    case kOpTalkClear:
      if (AdvPresenter* p = EnsureAdvPresenter()) p->TalkClear();
      break;
    case kOpWaitInputJump: {
      int32_t ms = Val();
      uint32_t label = r_.U32();
      if (!r_.ok) break;
      s_.waitRemaining = ms > 0 ? static_cast<uint32_t>(ms) : 0;
      if (label < kLabelCount) {
        s_.waitJumpLabel = static_cast<int32_t>(label);
      } else {
        JumpLabel(label);  // reports; the wait then runs without its jump
        s_.waitJumpLabel = -1;
      }
      s_.pc = r_.pos;
      return Flow::kYield;
    }
    case kOpOnlyNextCom: {
      int32_t on = Val();
      if (!r_.ok) break;
      if (AdvPresenter* p = GetAdvPresenter()) p->SetOnlyNextCommand(on != 0);
      break;
    }
    case kOpSetSprite:
    case kOpSetSpriteFlg:
    case kOpSpriteAnimeClear:
    case kOpSpriteAnimeMove:
    case kOpSpriteAnimeRot:
    case kOpSpriteAnimeScale:
    case kOpSpriteAnimeColor:
    case kOpSpriteAnimeWait:
    case kOpSpriteAnimeParts:
    case kOpSpriteCut:
    case kOpSetSpriteImg:
    case kOpSpriteAnimeMoveD:
    case kOpSpriteAnimeRotD:
    case kOpSpriteAnimeScaleD:
    case kOpSpriteAnimeColorD:
    case kOpSpriteAnimeMoveDA:
    case kOpSpriteAnimeRotDA:
    case kOpSpriteAnimeScaleDA:
    case kOpSpriteAnimeColorDA:
    case kOpSpriteAnimeStart:
    case kOpStartSpriteMovie:
      Sprite(op);
      break;
    case kOpSetMeetSw:
    case kOpSetToshu:
    case kOpAddBusho:
    case kOpSetShuuLimit:
    case kOpSetHoryoFlg:
    case kOpSetTjYear:
    case kOpSerifFlagOn:
    case kOpSetKizuna:
    case kOpSetKuniLimit:
    case kOpSetNegaeri:
    case kOpSetDoumeiReject:
    case kOpSetSiroRoot:
    case kOpHideDaimyoInfo:
    case kOpSetBusyoParam:
      World(op);
      break;
    default:
      // No-operation opcodes and numbers without a command carry no operands.
      break;
  }
  if (!r_.ok) return Flow::kEnd;
  s_.pc = r_.pos;
  return Flow::kNext;
}

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
void ResetScriptFirstRunFlag() { g_firstRun = true; }
