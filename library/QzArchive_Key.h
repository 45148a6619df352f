// QzArchive_Key.h: the 12-byte working keys that scramble QZA archives. Every byte of an
// archive, header included, is stored XORed with key[file offset mod 12]. The two
// built-in keys are made at run time here and nowhere else; archive writers take them
// from these functions too. No state; any thread.
#pragma once

#include <cstdint>

constexpr int kArchiveKeySize = 12;

// With a non-empty key string: the string repeated to 12 bytes; without: 12 copies of the
// fill byte. Then each byte goes through the fixed operation of its position.
void MakeArchiveKey(const char* keyString, unsigned char key[kArchiveKeySize]);
// The second built-in key, tried when the first one does not reveal the magic.
void MakeArchiveSecondKey(unsigned char key[kArchiveKeySize]);
// XORs byte i of buffer with key[(filePosition + i) mod 12].
void ApplyArchiveKey(void* buffer, int64_t length, int64_t filePosition, const unsigned char key[kArchiveKeySize]);
// Inverts every bit in place.
void InvertBytes(void* buffer, int length);
