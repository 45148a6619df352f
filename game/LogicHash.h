// LogicHash.h: one number for everything a replay must reproduce: the game state the rules
// read (not the input, the play mode, sound or clock), every list record in order without
// its pointers, the terrain, the shots and napalm, and the generator.
#pragma once

#include <cstdint>

uint64_t HashLogicState();
