// General placement: every operation changes a general's clan slot (or independents' slot), his
// castle field and his stationing pair together, so that the castle check stays clean.
#pragma once
#include <cstdint>

int MoveSiroBusyo(uint32_t from, uint32_t to, uint8_t force, uint8_t slot, int mode);
bool MoveVassalToSiro(uint32_t busyo, uint32_t clan, uint32_t siro);
bool TransferBusyoToDaimyo(uint32_t busyo, uint32_t clan);
int AddBusyoToDaimyo(uint32_t busyo, uint8_t fromForce, uint8_t fromSlot, uint32_t fromSiro, uint32_t clan,
                     uint32_t siro);
int AddBusyoToCastle(int32_t busyo, int32_t clan, bool allowKakuu);
void RemoveBusyoFromDaimyo(uint32_t clan, uint32_t slot, uint32_t siro);
int RemoveBusyoFromCastle(int32_t busyo);
int ChangeBusyoInCastle(int32_t oldBusyo, int32_t newBusyo);
int SetDaimyoLeader(uint32_t busyo);
// The clan's head leaves it (to another clan, or lost): he stays on record as its acting head, the
// head field names no one and `successor` is the clan it passes to (kNoDaimyo none). Nothing
// happens unless `head` heads the clan.
void HandClanToActingHead(uint32_t clan, uint32_t head, uint8_t successor);
int SetBusyoFlag(uint32_t busyo, bool set, bool reAdd);
bool RecruitBusyoToPlayer(int32_t busyo);
int CountKuniFreeSlotsNear(uint32_t siro, uint32_t clan);
