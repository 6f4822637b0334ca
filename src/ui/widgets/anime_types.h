// Animation keys and requests as plain structs: the message window saves key tables and queues.
#pragma once
#include <cstdint>

enum AnimeKeyKind : uint16_t {
  kAnimeMove = 0,
  kAnimeMoveD = 1,
  kAnimeMoveDA = 2,
  kAnimeRot = 3,
  kAnimeRotD = 4,
  kAnimeRotDA = 5,
  kAnimeScale = 6,
  kAnimeScaleD = 7,
  kAnimeScaleDA = 8,
  kAnimeColor = 9,
  kAnimeColorD = 10,
  kAnimeColorDA = 11,
  kAnimeShader = 12,
  kAnimePattern = 13,
  kAnimeWait = 14,
  kAnimeClose = 15,
};

struct AnimeKey {
  uint16_t kind = kAnimeWait;
  float p[4] = {0, 0, 0, 0};
  float duration = 0;   // ms; the sign picks the curve of the DA kinds
  uint16_t with = 0;    // started when this key starts (0 none)
  uint16_t next = 0;    // started when this key ends (0 none)
  uint8_t refMask = 0;  // bit i: value i (p0..p3, duration) names a reference parameter
  uint8_t accumulate = 0;
};

enum AnimeRequestFlag : uint16_t {
  kAnimeReqRunning = 1u << 0,
  kAnimeReqFirstStep = 1u << 1,
  kAnimeReqApplyOffset = 1u << 2,
};

struct AnimeRequest {
  int32_t number = 0;
  float elapsed = 0;
  float startOffset = 0;
  uint16_t flags = 0;
};
