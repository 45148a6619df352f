// QzArchive_Key.cpp: the built-in archive keys and the scrambling itself. These values
// define the archive format's scrambling: changing any of them makes every existing
// archive unreadable.
#include "QzArchive_Key.h"

#include <cstring>

namespace {

constexpr unsigned char kFillByte = 0xA7;

unsigned char RotateLeft(unsigned char b, int n) { return static_cast<unsigned char>((b << n) | (b >> (8 - n))); }

// The fixed operation of each key position: inversions, rotations and XORs.
unsigned char TransformKeyByte(unsigned char b, int position) {
    switch (position) {
    case 0: return static_cast<unsigned char>(~b);
    case 1: return RotateLeft(b, 3);
    case 2: return static_cast<unsigned char>(b ^ 0x5A);
    case 3: return static_cast<unsigned char>(RotateLeft(b, 7) ^ 0x3C);
    case 4: return static_cast<unsigned char>(~RotateLeft(b, 5));
    case 5: return static_cast<unsigned char>(b ^ 0xC3);
    case 6: return static_cast<unsigned char>(RotateLeft(b, 2) ^ 0x96);
    case 7: return static_cast<unsigned char>(~b ^ 0x11);
    case 8: return RotateLeft(b, 5);
    case 9: return static_cast<unsigned char>(RotateLeft(b, 4) ^ 0x69);
    case 10: return static_cast<unsigned char>(~(b ^ 0x2D));
    default: return static_cast<unsigned char>(RotateLeft(b, 1) ^ 0xE1);
    }
}

}  // namespace

void MakeArchiveKey(const char* keyString, unsigned char key[kArchiveKeySize]) {
    size_t length = keyString != nullptr ? std::strlen(keyString) : 0;
    for (int i = 0; i < kArchiveKeySize; i++) {
        unsigned char b = length > 0 ? static_cast<unsigned char>(keyString[i % length]) : kFillByte;
        key[i] = TransformKeyByte(b, i);
    }
}

void MakeArchiveSecondKey(unsigned char key[kArchiveKeySize]) {
    // A short linear sequence, mixed so that no two positions share a byte.
    unsigned char b = 0x3B;
    for (int i = 0; i < kArchiveKeySize; i++) {
        key[i] = static_cast<unsigned char>(RotateLeft(b, (i % 7) + 1) ^ (0x9E + 13 * i));
        b = static_cast<unsigned char>(b + 0x47);
    }
}

void ApplyArchiveKey(void* buffer, int64_t length, int64_t filePosition, const unsigned char key[kArchiveKeySize]) {
    unsigned char* bytes = static_cast<unsigned char*>(buffer);
    int k = static_cast<int>(filePosition % kArchiveKeySize);
    if (k < 0) k += kArchiveKeySize;
    // The key repeats every 12 bytes, so 48 bytes of it line up with six 8-byte words.
    constexpr int kSpan = 48;
    unsigned char pattern[kSpan];
    for (int i = 0; i < kSpan; i++) pattern[i] = key[(k + i) % kArchiveKeySize];
    uint64_t words[kSpan / 8];
    std::memcpy(words, pattern, sizeof words);
    int64_t i = 0;
    for (; i + kSpan <= length; i += kSpan) {
        for (int w = 0; w < kSpan / 8; w++) {
            uint64_t v;
            std::memcpy(&v, bytes + i + 8 * w, 8);
            v ^= words[w];
            std::memcpy(bytes + i + 8 * w, &v, 8);
        }
    }
    for (; i < length; i++) bytes[i] ^= pattern[i % kSpan];
}

void InvertBytes(void* buffer, int length) {
    unsigned char* bytes = static_cast<unsigned char*>(buffer);
    for (int i = 0; i < length; i++) bytes[i] = static_cast<unsigned char>(~bytes[i]);
}
