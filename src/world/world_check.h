// Whole-world consistency: the castle check plus the invariants the placement operations keep.
#pragma once
#include <string>
#include <vector>

// Every problem as one readable line; empty when the world is clean.
// Covers: the three passes of the castle check; each general in at most one clan or independents'
// slot; a placed general's castle field matching exactly one stationing entry; every entry naming
// a general of that castle; symmetric roads between castles in use; neighbour countries symmetric;
// castles inside their country's id range; every named country with a castle; clan heads among
// their vassals. While marches are under way (the war phase), a marching general held in his
// target's second list is where he belongs although his own castle's lists lack him.
std::vector<std::string> CollectWorldProblems(bool marchesUnderway = false);
