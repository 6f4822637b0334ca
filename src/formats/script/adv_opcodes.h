// The scenario bytecode's opcode table: one entry per opcode 1..132 with its command name and the
// operands it carries in stream order. The assembler, the disassembler and the interpreter all
// read operands through this one table, so they cannot disagree about an instruction's shape.
#pragma once
#include <cstddef>
#include <cstdint>

// Instruction header: opcode u8, source file index u16 LE, source line u16 LE.
inline constexpr size_t kAdvHeaderSize = 5;
inline constexpr int kAdvOpcodeCount = 132;

enum AdvOpcode : uint8_t {
  kOpGosub = 1,
  kOpGoto = 2,
  kOpIf = 3,
  kOpElseIf = 4,
  kOpEndIf = 5,
  kOpWait = 6,
  kOpSwDef = 7,
  kOpSwVar = 8,
  kOpSwAdd = 9,
  kOpSwDec = 10,
  kOpSwGoto = 11,
  kOpSwRand = 12,
  kOpSub = 13,
  kOpSubEnd = 14,
  kOpTalkStart = 15,
  kOpTalkStartAdd = 16,
  kOpTalkEnd = 17,
  kOpInclude = 18,
  kOpComJump = 19,
  kOpSelect = 20,
  kOpSelectEnd = 21,
  kOpSwCalcu = 22,
  kOpBgmStart = 23,
  kOpBgmStop = 24,
  kOpVoiceStart = 25,
  kOpVoiceStop = 26,
  kOpSeStart = 27,
  kOpSeStop = 28,
  kOpMainMenu = 29,
  kOpEventStart = 30,
  kOpEventEnd = 31,
  kOpEventFlagOn = 32,
  kOpCgFlagOn = 33,
  kOpSwMini = 34,
  kOpSwMax = 35,
  kOpSwMiniRnd = 36,
  kOpSwMaxRnd = 37,
  kOpCharIn = 38,
  kOpCharOut = 39,
  kOpCharMove = 40,
  kOpPlayMovie = 41,
  kOpAtFirst = 42,
  kOpGetSkipFlag = 43,
  kOpExit = 44,
  kOpEnd = 45,
  kOpBgmStartLoop = 46,
  kOpSeStartLoop = 47,
  kOpCharLoad = 48,
  kOpSkipOff = 49,
  kOpLabel = 50,
  kOpBGLoad = 51,
  kOpBreakSw = 52,
  kOpWatchSw = 53,
  kOpFlip = 54,
  kOpFlipRot = 55,
  kOpIfGoto = 56,
  kOpSLGmode = 57,
  kOpIfGotoOnce = 58,
  kOpSetMeetSw = 59,
  kOpGetPlayMode = 60,
  kOpSetToshu = 64,
  kOpAddBusho = 65,
  kOpSetShuuLimit = 69,
  kOpSetHoryoFlg = 78,
  kOpSetTjYear = 79,
  kOpSerifFlagOn = 80,
  kOpSetShareFlg = 81,
  kOpGetShareFlg = 82,
  kOpSetKizuna = 83,
  kOpSetKuniLimit = 84,
  kOpSetEnding = 85,
  kOpBlockLabel = 86,
  kOpSetScenarioRoute = 89,
  kOpSetScenarioHero = 90,
  kOpPairEnding = 91,
  kOpSetSprite = 92,
  kOpSetSpriteFlg = 93,
  kOpSpriteAnimeClear = 94,
  kOpSpriteAnimeMove = 95,
  kOpSpriteAnimeRot = 96,
  kOpSpriteAnimeScale = 97,
  kOpSpriteAnimeColor = 98,
  kOpSpriteAnimeWait = 99,
  kOpSpriteAnimeParts = 100,
  kOpSpriteCut = 101,
  kOpEffectLoad = 102,
  kOpEffectIn = 103,
  kOpEffectOut = 104,
  kOpLensFlare = 105,
  kOpZoom = 106,
  kOpMessageOFF = 107,
  kOpURLOpen = 108,
  kOpWaitDraw = 109,
  kOpVS_SL = 112,
  kOpSetSpriteImg = 113,
  kOpWaitDrawAnime = 114,
  kOpSpriteAnimeMoveD = 115,
  kOpSpriteAnimeRotD = 116,
  kOpSpriteAnimeScaleD = 117,
  kOpSpriteAnimeColorD = 118,
  kOpSpriteAnimeMoveDA = 119,
  kOpSpriteAnimeRotDA = 120,
  kOpSpriteAnimeScaleDA = 121,
  kOpSpriteAnimeColorDA = 122,
  kOpSpriteAnimeStart = 123,
  kOpTalkClear = 124,
  kOpSetNegaeri = 125,
  kOpSetDoumeiReject = 126,
  kOpStartSpriteMovie = 127,
  kOpSetSiroRoot = 128,
  kOpWaitInputJump = 129,
  kOpOnlyNextCom = 130,
  kOpHideDaimyoInfo = 131,
  kOpSetBusyoParam = 132,
};

// Operand shapes, one character each, in stream order:
//   'w' u32 number        's' u32 switch number   'l' u32 label number   'o' u32 byte offset
//   'S' zero-terminated string                    'v' value operand      'c' condition
//   'G' u32 n, n x u32 label (switch jump)        'M' u32 n, n x u32 switch
//   'W' u8 n, n x u32 switch                      'T' u8 n, n x text record
//   'C' u8 n, n x u32 label, n x string (choices; preceded by an ignored u32 'w')
struct AdvOpcodeInfo {
  const char* name;      // "#Gosub" ...; "" for numbers without a command
  const char* operands;  // shape string, "" for none
};

// Entry n describes opcode n (entry 0 and numbers above 132 are "no command": no operands).
extern const AdvOpcodeInfo AdvCommandNameTable[kAdvOpcodeCount + 1];

// The entry for any byte; unknown opcodes give an entry with an empty name and no operands.
const AdvOpcodeInfo& GetAdvOpcodeInfo(unsigned opcode);
// Opcode number of a command name ("#SwVar"), 0 when unknown.
int FindAdvOpcode(const char* name);

// Operator words of conditions: comparisons carry bit 4, joiners do not.
inline constexpr int32_t kCondEq = 0x12, kCondGt = 0x13, kCondLt = 0x14, kCondGe = 0x15, kCondLe = 0x16, kCondNe = 0x17,
                         kCondAnd = 0x00, kCondOr = 0x01;
// Value operand kinds: 0 immediate, 1 switch, 2 condition terminator, 3 immediate (never
// emitted), 4 script function call.
inline constexpr uint8_t kValImm = 0, kValSwitch = 1, kValEnd = 2, kValImm3 = 3, kValCall = 4;
// Limits of the encoding.
inline constexpr size_t kMaxCondValues = 256;    // values before the terminator
inline constexpr size_t kMaxCallArgBytes = 255;  // argument text without its terminator
