// Fuzz target: the Ogg Vorbis decoder kind over a memory stream: open, read blocks to the
// end (at most a few thousand), seek, read again, close.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "CodecFixtures.h"
#include "FuzzSupport.h"
#include "QzUseCLibCodec.h"
#include "QzWinFileStream.h"
#include "QzWinMemory.h"

QZ_FUZZ_TARGET(OggDecoder)(const uint8_t* data, size_t size) {
    MemoryStream* memory = OpenMemoryStream(data, static_cast<int>(size));
    if (memory == nullptr) return 0;
    SoundDecoder* decoder = static_cast<SoundDecoder*>(std::calloc(1, sizeof(SoundDecoder)));
    MakeMemoryReadStream(&decoder->stream, memory);
    if (OpenOggDecoder(decoder) == 0) {
        GetOggDecodedSize(decoder);
        decoder->blockBuffer = AllocMemory(decoder->blockSize, __FILE_NAME__, __LINE__);
        for (int blocks = 0; blocks < 4000 && DecodeOggBlock(decoder) == 0; blocks++) {
            if (decoder->blockValid <= 0 || decoder->blockValid > decoder->blockSize) std::abort();
        }
        SeekOggDecoder(decoder, static_cast<int>(size % 5000));
        for (int blocks = 0; blocks < 4 && DecodeOggBlock(decoder) == 0; blocks++) {
        }
        FreeMemory(decoder->blockBuffer);
        CloseOggDecoder(decoder);
    }
    std::free(decoder);
    CloseMemoryStream(memory);
    return 0;
}

QZ_FUZZ_SEEDS(OggDecoder) {
    return {qztest::WriteOggVorbis(1, 8000, 2000), qztest::WriteOggVorbis(2, 22050, 3000)};
}

// Found by fuzzing, kept as files: Ogg Vorbis streams whose sound pages hide pages of
// other streams (beginning pages among them) that only a seek into the file finds.
// ogg-leaks-on-open.ogg (64 KB, cut short) hides a second link's first pages in its
// first link's last page, and libvorbisfile lost 27 KB of headers over it;
// ogg-leaks-on-decode.ogg (11 KB) hides another stream's first pages in its one sound
// page, and libvorbisfile lost 8 bytes over it.
QZ_FUZZ_FOUND(OggDecoder, LeaksOnOpen, qztest::ReadFixture("ogg-leaks-on-open.ogg"));
QZ_FUZZ_FOUND(OggDecoder, LeaksOnDecode, qztest::ReadFixture("ogg-leaks-on-decode.ogg"));
