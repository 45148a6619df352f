// QzWinFileStream.cpp: the two stream tables and memory streams. Callers hold the
// library lock.
//
// Memory-stream rules: a request of 0 or fewer items (or an item size of 0 or less)
// reads nothing; at the end the end flag is set and 0 returned; otherwise whole items
// that fit are copied, or, when less than one item is left, the bytes that are left,
// which count as one item. Sizes are worked out in 64 bits.
#include "QzWinFileStream.h"

#include <cstring>

#include "QzWinMemory.h"

namespace {

// File streams carry a FileHandle in the data slot.
FileHandle HandleOf(void* data) { return reinterpret_cast<FileHandle>(data); }
int FileStreamTell(void* data) { return FileAccessTell(HandleOf(data)); }
int FileStreamSeek(void* data, int offset, int origin) { return FileAccessSeek(HandleOf(data), offset, origin); }
int FileStreamRead(void* buffer, int size, int count, void* data) {
    return FileAccessRead(buffer, size, count, HandleOf(data));
}
int FileStreamEof(void* data) { return FileAccessEof(HandleOf(data)); }
int FileStreamIdle(void* data) { return FileAccessIdle(HandleOf(data)); }
int FileStreamClose(void* data) { return FileAccessClose(HandleOf(data)); }

MemoryStream* MemoryOf(void* data) { return static_cast<MemoryStream*>(data); }
int MemoryTell(void* data) { return MemoryStreamTell(MemoryOf(data)); }
int MemorySeek(void* data, int offset, int origin) { return MemoryStreamSeek(MemoryOf(data), offset, origin); }
int MemoryRead(void* buffer, int size, int count, void* data) {
    return MemoryStreamRead(buffer, size, count, MemoryOf(data));
}
int MemoryEof(void* data) { return MemoryStreamEof(MemoryOf(data)); }
int MemoryIdle(void* data) { return MemoryStreamIdle(MemoryOf(data)); }
int MemoryClose(void* data) { return CloseMemoryStream(MemoryOf(data)); }

constexpr StreamFunctions kFileStreamFunctions = {FileStreamTell, FileStreamSeek, FileStreamRead,
                                                  FileStreamEof,  FileStreamIdle, FileStreamClose};
constexpr StreamFunctions kMemoryStreamFunctions = {MemoryTell, MemorySeek, MemoryRead,
                                                    MemoryEof,  MemoryIdle, MemoryClose};

// Filled again by start-up; usable before it as well.
StreamFunctions g_fileStreamFunctions = kFileStreamFunctions;
StreamFunctions g_memoryStreamFunctions = kMemoryStreamFunctions;

}  // namespace

int SetupStreamFunctions() {
    g_fileStreamFunctions = kFileStreamFunctions;
    g_memoryStreamFunctions = kMemoryStreamFunctions;
    return 0;
}

const StreamFunctions* GetFileStreamFunctions() { return &g_fileStreamFunctions; }
const StreamFunctions* GetMemoryStreamFunctions() { return &g_memoryStreamFunctions; }

void MakeFileReadStream(ReadStream* stream, FileHandle file) {
    stream->functions = *GetFileStreamFunctions();
    stream->data = reinterpret_cast<void*>(file);
}

void MakeMemoryReadStream(ReadStream* stream, MemoryStream* memory) {
    stream->functions = *GetMemoryStreamFunctions();
    stream->data = memory;
}

MemoryStream* OpenMemoryStream(const void* data, int size) {
    MemoryStream* stream = static_cast<MemoryStream*>(AllocMemory(sizeof(MemoryStream), __FILE_NAME__, __LINE__));
    if (stream == nullptr) return nullptr;
    stream->data = const_cast<void*>(data);
    stream->size = size < 0 ? 0 : size;
    stream->position = 0;
    stream->endFlag = 0;
    return stream;
}

int MemoryStreamTell(MemoryStream* stream) { return stream->position; }

int MemoryStreamSeek(MemoryStream* stream, int offset, int origin) {
    int64_t target = offset;
    if (origin == 1) target += stream->position;
    if (origin == 2) target += stream->size;
    if (target > stream->size) target = stream->size;
    if (target < 0) target = 0;
    stream->position = static_cast<int>(target);
    stream->endFlag = 0;
    return 0;
}

int MemoryStreamRead(void* buffer, int size, int count, MemoryStream* stream) {
    if (size <= 0 || count <= 0) return 0;
    if (stream->position >= stream->size) {
        stream->endFlag = 1;
        return 0;
    }
    int left = stream->size - stream->position;
    const unsigned char* from = static_cast<const unsigned char*>(stream->data) + stream->position;
    if (static_cast<int64_t>(size) * count > left) count = left / size;
    int result;
    if (count > 0) {
        std::memcpy(buffer, from, static_cast<size_t>(size) * static_cast<size_t>(count));
        stream->position += size * count;
        result = count;
    } else {
        std::memcpy(buffer, from, static_cast<size_t>(left));
        stream->position = stream->size;
        result = 1;
    }
    stream->endFlag = 0;
    return result;
}

int MemoryStreamEof(MemoryStream* stream) { return stream->endFlag; }

int MemoryStreamIdle(MemoryStream*) { return 1; }

int CloseMemoryStream(MemoryStream* stream) {
    FreeMemory(stream);
    return 0;
}

int MemoryStreamWrite(const void* buffer, int size, int count, MemoryStream* stream) {
    if (size <= 0 || count <= 0) return 0;
    int left = stream->size - stream->position;
    if (static_cast<int64_t>(size) * count > left) count = left / size;
    if (count == 0) {
        stream->endFlag = 1;
        return 0;
    }
    std::memcpy(static_cast<unsigned char*>(stream->data) + stream->position, buffer,
                static_cast<size_t>(size) * static_cast<size_t>(count));
    stream->position += size * count;
    stream->endFlag = 0;
    return count;
}
