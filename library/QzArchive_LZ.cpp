// QzArchive_LZ.cpp: decoding of the archive's LZ blocks (format in QzArchive_LZ.h).
// Every count and distance is checked against the block and the output, so a damaged
// block fails instead of reading or writing outside them.
#include "QzArchive_LZ.h"

#include <climits>
#include <cstring>

namespace {

uint32_t Read32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// Copies a match forward. Overlapping matches go in non-overlapping chunks of distance,
// 2 x distance, ... bytes, which gives the same bytes as a copy byte by byte.
void CopyMatch(unsigned char* out, int64_t distance, int64_t length) {
    if (distance == 1) {
        std::memset(out, out[-1], static_cast<size_t>(length));
        return;
    }
    while (length > 0) {
        int64_t chunk = length < distance ? length : distance;
        std::memcpy(out, out - distance, static_cast<size_t>(chunk));
        out += chunk;
        length -= chunk;
        distance *= 2;
    }
}

}  // namespace

uint32_t GetArchiveLZPlainSize(const void* block) { return Read32(static_cast<const unsigned char*>(block)); }

uint32_t GetArchiveLZBlockSize(const void* block) { return Read32(static_cast<const unsigned char*>(block) + 4); }

int DecodeArchiveLZ(const void* block, void* out) {
    const unsigned char* header = static_cast<const unsigned char*>(block);
    uint32_t plainSize = Read32(header);
    uint32_t blockSize = Read32(header + 4);
    if (plainSize > INT_MAX || blockSize < kArchiveLZHeaderSize) return -1;
    if (out == nullptr) return static_cast<int>(plainSize);

    const unsigned char escape = header[8];
    const unsigned char* in = header + kArchiveLZHeaderSize;
    const unsigned char* end = header + blockSize;
    unsigned char* const start = static_cast<unsigned char*>(out);
    unsigned char* o = start;
    unsigned char* const outEnd = start + plainSize;
    int64_t previousDistance = 0;  // 0: no match yet in this block

    while (in < end) {
        // A run of literals up to the next escape byte.
        const unsigned char* found =
            static_cast<const unsigned char*>(std::memchr(in, escape, static_cast<size_t>(end - in)));
        const unsigned char* runEnd = found != nullptr ? found : end;
        int64_t run = runEnd - in;
        if (run > outEnd - o) return -1;
        std::memcpy(o, in, static_cast<size_t>(run));
        o += run;
        in = runEnd;
        if (in == end) break;

        if (end - in < 2) return -1;
        unsigned char c = in[1];
        in += 2;
        if (c == escape) {
            if (o == outEnd) return -1;
            *o++ = escape;
            continue;
        }
        int code = c < escape ? c : c - 1;
        int64_t length = code >> 3;
        if (code & 4) {
            if (in == end) return -1;
            length |= static_cast<int64_t>(*in++) << 5;
        }
        length += 4;
        int selector = code & 3;
        int64_t distance;
        if (selector == 3) {
            if (previousDistance == 0) return -1;
            distance = previousDistance;
        } else {
            int fieldBytes = selector + 1;
            if (end - in < fieldBytes) return -1;
            int64_t field = 0;
            for (int i = 0; i < fieldBytes; i++) field |= static_cast<int64_t>(in[i]) << (8 * i);
            in += fieldBytes;
            distance = field + 1;
        }
        previousDistance = distance;
        if (distance > o - start || length > outEnd - o) return -1;
        CopyMatch(o, distance, length);
        o += length;
    }
    if (o != outEnd) return -1;
    return static_cast<int>(plainSize);
}
