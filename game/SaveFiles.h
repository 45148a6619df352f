// SaveFiles.h: the hi-score, start and replay files of each rule set and level, and the
// sound mode, all in the current folder.
//
// Reading a value keeps the old one unless a whole number was read. Writing goes to a
// temporary file beside the target, renamed over it only once every byte is out, so a
// failed write leaves the old file as it was, and says so on standard error (once a file).
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

// The one input and one output stream every save-file access goes through.
extern std::ifstream SaveInput;
extern std::ofstream SaveOutput;

// File names by rule set (0 ORIGINAL, 1 REMIX) and level (0-4).
std::string HiScoreFileName(int mode, int level);
std::string UnlockFileName(int mode, int level);
std::string ReplayFileName(int mode, int level);

// Reads one decimal integer into value; a missing file or bad text leaves it.
bool ReadValueFile(const char* name, int32_t& value);

void LoadHiScoreTable();  // a negative stored score is refused
void LoadUnlockTable();
void LoadSoundMode();  // "soundon.txt"

// Of the current mode and level.
void SaveHiScore();
void SaveReplay();
void SaveUnlock();  // writes UnlockTable's entry (the tally has set it)
// Every byte 48 ("0"), then as many as the file holds.
void LoadReplay();
void LoadReplayFile(const std::string& name);
