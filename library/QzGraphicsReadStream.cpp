// QzGraphicsReadStream.cpp: measured reads for the image readers. Read results differ by
// source (whole items from files and memory, bytes from archive members), so a read asks
// for single bytes: the count delivered is then the byte count on every source.
#include "QzGraphicsReaders.h"

#include "QzWinFileAccess.h"

int64_t MeasureImageStream(ReadStream* stream) {
    if (stream->functions.seek(stream->data, 0, kSeekFromEnd) != 0)
        return -1;
    int64_t size = stream->functions.tell(stream->data);
    if (stream->functions.seek(stream->data, 0, kSeekFromStart) != 0 || size < 0)
        return -1;
    return size;
}

bool ReadImageBytes(ReadStream* stream, void* buffer, int64_t bytes, int64_t streamSize) {
    if (bytes == 0)
        return true;
    int64_t position = stream->functions.tell(stream->data);
    if (bytes < 0 || bytes > INT_MAX || position < 0 || position > streamSize || bytes > streamSize - position)
        return false;
    return stream->functions.read(buffer, 1, (int)bytes, stream->data) == (int)bytes;
}

bool SeekImageStream(ReadStream* stream, int64_t position, int64_t streamSize) {
    if (position < 0 || position > streamSize)
        return false;
    return stream->functions.seek(stream->data, (int)position, kSeekFromStart) == 0 &&
           stream->functions.tell(stream->data) == position;
}
