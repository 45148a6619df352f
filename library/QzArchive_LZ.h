// QzArchive_LZ.h: the archive's own LZ format, one compressed block per member.
//
// Block: decompressed size (4 bytes), compressed size including this 9-byte header (4),
// escape byte (1), then tokens up to the compressed size:
// - a byte other than the escape byte is a literal;
// - the escape byte twice is one literal escape byte;
// - the escape byte and a code byte c is a match. Code = c below the escape byte, c - 1
//   above it (0-254). Length = code >> 3, or-ed with (one more byte) << 5 when code bit 2
//   is set, plus 4 (4-8195). Distance by code & 3: 0, 1, 2 a one-, two- or three-byte
//   little-endian field + 1; 3 no field, the previous match's distance in this block.
//   The copy runs forward byte by byte, so a match longer than its distance repeats.
// No state; any thread.
#pragma once

#include <cstdint>

constexpr int kArchiveLZHeaderSize = 9;
constexpr int kArchiveLZMaxMatch = 8195;

// The decompressed size of the block; with out (which holds that size), the block is
// decoded into it. -1 for a damaged block: a compressed size below 9, a size above
// INT_MAX, a token cut off by the end, selector 3 before any match, a distance beyond the
// output so far, output beyond the declared size, or fewer bytes than declared. The block
// must hold its compressed size in bytes.
int DecodeArchiveLZ(const void* block, void* out);

// The two size fields of a block header.
uint32_t GetArchiveLZPlainSize(const void* block);
uint32_t GetArchiveLZBlockSize(const void* block);
