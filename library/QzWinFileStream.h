// QzWinFileStream.h: read streams. A ReadStream is a copy of one StreamFunctions table
// and the data its operations work on: a FileHandle of the installed file set, or a
// MemoryStream over a block the caller owns. The image readers, the codec glue and the
// sound decoders read only through streams, so files, archive members and memory images
// decode alike. Callers hold the library lock.
//
// Results differ by source (users test them for zero or non-zero only):
//                     direct file        archive member          memory stream
//   read result       whole items        bytes, cut to the end   whole items; a last
//                                                                partial item counts 1
//   read at the end   0, end flag set    0, end flag set         0, end flag set
//   seek              not clipped        clipped to 0..size      clipped to 0..size
//   end-of-file       -1 or 0            -1 or 0                 1 or 0
#pragma once

#include <cstdint>

#include "QzWinFileAccess.h"

struct StreamFunctions {
    int (*tell)(void* data);
    int (*seek)(void* data, int offset, int origin);
    int (*read)(void* buffer, int size, int count, void* data);
    int (*eof)(void* data);
    int (*idle)(void* data);
    int (*close)(void* data);
};

// A plain value: copied into the records that read through it and passed by pointer to
// the image readers. Closing it is the user's business, through functions.close.
struct ReadStream {
    StreamFunctions functions;
    void* data;  // a FileHandle or a MemoryStream*
};

// Wraps memory the caller owns; the data must outlive the stream.
struct MemoryStream {
    void* data;  // written only by MemoryStreamWrite
    int size;
    int position;
    int endFlag;
};

// Start-up fills the two tables once; the getters hand them out.
int SetupStreamFunctions();
const StreamFunctions* GetFileStreamFunctions();
const StreamFunctions* GetMemoryStreamFunctions();

// Fills a stream over an open file or an open memory stream.
void MakeFileReadStream(ReadStream* stream, FileHandle file);
void MakeMemoryReadStream(ReadStream* stream, MemoryStream* memory);

MemoryStream* OpenMemoryStream(const void* data, int size);  // null when out of memory
int MemoryStreamTell(MemoryStream* stream);
int MemoryStreamSeek(MemoryStream* stream, int offset, int origin);  // 0; clipped to 0..size
int MemoryStreamRead(void* buffer, int size, int count, MemoryStream* stream);
int MemoryStreamEof(MemoryStream* stream);   // the end flag itself, 1 or 0
int MemoryStreamIdle(MemoryStream* stream);  // 1
int CloseMemoryStream(MemoryStream* stream);  // 0; frees the record, never the data
// The read's mirror image for whole items; no table refers to it.
int MemoryStreamWrite(const void* buffer, int size, int count, MemoryStream* stream);
