// Small strategy utilities shared by the rules and the battles.
#pragma once
#include <cstdint>

// 0 .. n-1 from the game generator; 0 (no draw) for n = 0.
int SlgRandom(uint8_t n);
// True when b is among the five allies of a; false when either is 255.
bool IsDaimyoAllied(uint32_t a, uint32_t b);

// The six wait values read by the strategy routines and the battles, and the fast flag.
extern uint16_t GameSpeedParams[6];
extern uint8_t GameSpeedFastFlag;
void SetGameSpeedParams(bool fast);

// Plain error box with the caption "SLGデータエラー".
void ShowSlgDataError(const char* message);
// Animation number for an event effect kind and sub-kind (kind * 10 + sub).
int KuniEventAnimeNumber(int kind, int sub);
// Plays the event effect on a province's map icon (provinces 0..66 only).
void ShowKuniEventEffect(int kuni, int kind, int sub);
