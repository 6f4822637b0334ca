#include "formats/script/adv_opcodes.h"

#include <cstring>

const AdvOpcodeInfo AdvCommandNameTable[kAdvOpcodeCount + 1] = {
    {"", ""},
    {"#Gosub", "o"},                      // 1
    {"#Goto", "l"},                       // 2
    {"#If", "c"},                         // 3
    {"#ElseIf", ""},                      // 4
    {"#EndIf", ""},                       // 5
    {"#Wait", "v"},                       // 6
    {"#SwDef", ""},                       // 7
    {"#SwVar", "sv"},                     // 8
    {"#SwAdd", "sv"},                     // 9
    {"#SwDec", "sv"},                     // 10
    {"#SwGoto", "sG"},                    // 11
    {"#SwRand", "sv"},                    // 12
    {"#Sub", ""},                         // 13
    {"#SubEnd", ""},                      // 14
    {"#TalkStart", "wwST"},               // 15
    {"#TalkStartAdd_", "wwST"},           // 16
    {"#TalkEnd", ""},                     // 17
    {"#Include", ""},                     // 18
    {"#ComJump_", "o"},                   // 19
    {"#Select", "wC"},                    // 20
    {"#SelectEnd", ""},                   // 21
    {"#SwCalcu", "swv"},                  // 22
    {"#BgmStart", "vSSv"},                // 23
    {"#BgmStop", "w"},                    // 24
    {"#VoiceStart", "sSv"},               // 25
    {"#VoiceStop", "w"},                  // 26
    {"#SeStart", "vSvww"},                // 27
    {"#SeStop", "vw"},                    // 28
    {"#MainMenu", ""},                    // 29
    {"#EventStart", ""},                  // 30
    {"#EventEnd", ""},                    // 31
    {"#EventFlagOn", "l"},                // 32
    {"#CgFlagOn", "ww"},                  // 33
    {"#SwMini", "sM"},                    // 34
    {"#SwMax", "sM"},                     // 35
    {"#SwMiniRnd", "sM"},                 // 36
    {"#SwMaxRnd", "sM"},                  // 37
    {"#CharIn", "vvvvvv"},                // 38
    {"#CharOut", "vvvv"},                 // 39
    {"#CharMove", "vvvv"},                // 40
    {"#PlayMovie", "S"},                  // 41
    {"#AtFirst", "s"},                    // 42
    {"#GetSkipFlag", "s"},                // 43
    {"#EXIT", "v"},                       // 44
    {"#End", ""},                         // 45
    {"#BgmStartLoop", "vSSv"},            // 46
    {"#SeStartLoop", "vSvww"},            // 47
    {"#CharLoad", "vSv"},                 // 48
    {"#SkipOff", ""},                     // 49
    {"#Label", ""},                       // 50
    {"#BGLoad", "Svv"},                   // 51
    {"#BreakSw", "W"},                    // 52
    {"#WatchSw", "W"},                    // 53
    {"#Flip", "vS"},                      // 54
    {"#FlipRot", "vvv"},                  // 55
    {"#IfGoto", "c"},                     // 56
    {"#SLGmode", ""},                     // 57
    {"#IfGotoOnce", "sc"},                // 58
    {"#SetMeetSw", "wvSvvS"},             // 59
    {"#GetPlayMode", "s"},                // 60
    {"#SetEventFlg", ""},                 // 61
    {"#SetSiroSihai", ""},                // 62
    {"#SetSiroSihaiAll", ""},             // 63
    {"#SetToshu", "v"},                   // 64
    {"#AddBusho", "vvv"},                 // 65
    {"#DelBusho", ""},                    // 66
    {"#SetChusei", ""},                   // 67
    {"#SetSiroLimit", ""},                // 68
    {"#SetShuuLimit", "vvvv"},            // 69
    {"#ClearEVBattleList", ""},           // 70
    {"#AddEVBattleList", ""},             // 71
    {"#StartEVBattle", ""},               // 72
    {"#StartEVJoust", ""},                // 73
    {"#ExCommand_04", ""},                // 74
    {"#ExCommand_06", ""},                // 75
    {"#StartEVBattle2", ""},              // 76
    {"#GunyuuModeOpen", ""},              // 77
    {"#SetHoryoFlg", "vvv"},              // 78
    {"#SetTjYear", "vv"},                 // 79
    {"#SerifFlagOn", "vw"},               // 80
    {"#SetShareFlg", "ww"},               // 81
    {"#GetShareFlg", "ws"},               // 82
    {"#SetKizuna", "vv"},                 // 83
    {"#SetKuniLimit", "vvv"},             // 84
    {"#SetEnding", ""},                   // 85
    {"#BlockLabel", "S"},                 // 86
    {"#SetEVBattleName", ""},             // 87
    {"#SyuuOutDaimyo", ""},               // 88
    {"#SetScenarioRoute", "v"},           // 89
    {"#SetScenarioHero", "vv"},           // 90
    {"#PairEnding", ""},                  // 91
    {"#SetSprite", "vv"},                 // 92
    {"#SetSpriteFlg", "Sv"},              // 93
    {"#SpriteAnimeClear", "vv"},          // 94
    {"#SpriteAnimeMove", "vvvvvv"},       // 95
    {"#SpriteAnimeRot", "vvvvvvv"},       // 96
    {"#SpriteAnimeScale", "vvvvvv"},      // 97
    {"#SpriteAnimeColor", "vvvvvvvv"},    // 98
    {"#SpriteAnimeWait", "vvvv"},         // 99
    {"#SpriteAnimeParts", "vvvvv"},       // 100
    {"#SpriteCut", "vvvv"},               // 101
    {"#EffectLoad", "Svv"},               // 102
    {"#EffectIn", "vvS"},                 // 103
    {"#EffectOut", "vvS"},                // 104
    {"#LensFlare", "vvvvv"},              // 105
    {"#Zoom", "vvvvv"},                   // 106
    {"#MessageOFF", ""},                  // 107
    {"#URLOpen", "S"},                    // 108
    {"#WaitDraw", ""},                    // 109
    {"#BgVoiceStart", ""},                // 110
    {"#BgVoiceStop", ""},                 // 111
    {"#VS_SL", "sSv"},                    // 112
    {"#SetSpriteImg", "S"},               // 113
    {"#WaitDrawAnime", ""},               // 114
    {"#SpriteAnimeMoveD", "vvvvvv"},      // 115
    {"#SpriteAnimeRotD", "vvvvvvv"},      // 116
    {"#SpriteAnimeScaleD", "vvvvvv"},     // 117
    {"#SpriteAnimeColorD", "vvvvvvvv"},   // 118
    {"#SpriteAnimeMoveDA", "vvvvvv"},     // 119
    {"#SpriteAnimeRotDA", "vvvvvvv"},     // 120
    {"#SpriteAnimeScaleDA", "vvvvvv"},    // 121
    {"#SpriteAnimeColorDA", "vvvvvvvv"},  // 122
    {"#SpriteAnimeStart", "v"},           // 123
    {"#TalkClear", ""},                   // 124
    {"#SetNegaeri", "vv"},                // 125
    {"#SetDoumeiReject", "vv"},           // 126
    {"#StartSpriteMovie", "v"},           // 127
    {"#SetSiroRoot", "vvv"},              // 128
    {"#Wait_InputJump", "vl"},            // 129
    {"#OnlyNextCom", "v"},                // 130
    {"#HideDaimyoInfo", "vv"},            // 131
    {"#SetBusyoParam", "vSv"},            // 132
};

const AdvOpcodeInfo& GetAdvOpcodeInfo(unsigned opcode) {
  if (opcode > static_cast<unsigned>(kAdvOpcodeCount)) return AdvCommandNameTable[0];
  return AdvCommandNameTable[opcode];
}

int FindAdvOpcode(const char* name) {
  if (!name || !*name) return 0;
  for (int op = 1; op <= kAdvOpcodeCount; ++op) {
    if (std::strcmp(AdvCommandNameTable[op].name, name) == 0) return op;
  }
  return 0;
}
