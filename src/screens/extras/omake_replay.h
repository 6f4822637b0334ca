// Replaying an extras scene record (ev.bin) through the scenario scene: shared by the event
// gallery and the scene replay menu.
#pragma once
#include <cstdint>

// Jumps to the record's label (its 32-byte field) in game mode 10 and asks for the scenario scene
// over the extras. Only a jump that found its label changes anything: without a label, or when
// the jump fails, the game mode is left as it was and false comes back. Whether the scene may be
// replayed (seen, always open) is the caller's rule.
bool StartEventReplay(const uint8_t* record);
