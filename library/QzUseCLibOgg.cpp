// QzUseCLibOgg.cpp: the Ogg Vorbis kind of SoundDecoder, through libvorbisfile reading
// the decoder's stream. Callers hold the library lock.
//
// A stream whose length is unknown (negative total) or whose PCM would pass INT32_MAX
// bytes is refused at open. A hole in the data is skipped and the read goes on; any other
// error of the library ends the sound.
#include <climits>

#include "QzUseCLibCodec.h"

namespace {

constexpr int kOggBlockSize = 4096;

size_t OggReadCallback(void* buffer, size_t size, size_t count, void* source) {
    ReadStream* stream = static_cast<ReadStream*>(source);
    if (stream == nullptr || size == 0 || count == 0) return 0;
    if (size > INT_MAX) return 0;
    if (count > INT_MAX) count = INT_MAX;
    int read = stream->functions.read(buffer, static_cast<int>(size), static_cast<int>(count), stream->data);
    return read < 0 ? 0 : static_cast<size_t>(read);
}

int OggSeekCallback(void* source, ogg_int64_t offset, int origin) {
    ReadStream* stream = static_cast<ReadStream*>(source);
    if (stream == nullptr || offset < INT_MIN || offset > INT_MAX) return -1;
    return stream->functions.seek(stream->data, static_cast<int>(offset), origin);
}

int OggCloseCallback(void*) { return 0; }  // the stream belongs to the decoder's owner

long OggTellCallback(void* source) {
    ReadStream* stream = static_cast<ReadStream*>(source);
    if (stream == nullptr) return -1;
    return stream->functions.tell(stream->data);
}

}  // namespace

int OpenOggDecoder(SoundDecoder* decoder) {
    OggDecoderState* ogg = &decoder->kind.ogg;
    ogg->oggOpen = 0;
    ov_callbacks callbacks = {OggReadCallback, OggSeekCallback, OggCloseCallback, OggTellCallback};
    if (ov_open_callbacks(&decoder->stream, &ogg->vorbisFile, nullptr, 0, callbacks) != 0) return -1;
    ogg->oggOpen = 1;

    int32_t bytes = oggBytesPerSample;
    vorbis_info* info = ov_info(&ogg->vorbisFile, -1);
    ogg_int64_t frames = ov_pcm_total(&ogg->vorbisFile, -1);
    if (info == nullptr || info->channels <= 0 || info->channels > 255 || info->rate <= 0 || info->rate > INT_MAX ||
        frames < 0 || frames * info->channels * bytes > INT32_MAX) {
        CloseOggDecoder(decoder);
        return -1;
    }

    WAVEFORMATEX* format = &decoder->format;
    format->wFormatTag = WAVE_FORMAT_PCM;
    format->nChannels = static_cast<WORD>(info->channels);
    format->nSamplesPerSec = static_cast<DWORD>(info->rate);
    format->wBitsPerSample = static_cast<WORD>(8 * bytes);
    format->nBlockAlign = static_cast<WORD>(bytes * info->channels);
    format->nAvgBytesPerSec = static_cast<DWORD>(format->nBlockAlign) * format->nSamplesPerSec;
    format->cbSize = 0;
    ogg->bytesPerSample = bytes;
    decoder->blockSize = kOggBlockSize;
    decoder->decoderKind = kSoundDecoderOgg;
    return 0;
}

int CloseOggDecoder(SoundDecoder* decoder) {
    OggDecoderState* ogg = &decoder->kind.ogg;
    if (ogg->oggOpen == 1) {
        ov_clear(&ogg->vorbisFile);
        ogg->oggOpen = 0;
    }
    return 0;
}

int DecodeOggBlock(SoundDecoder* decoder) {
    OggDecoderState* ogg = &decoder->kind.ogg;
    if (ogg->oggOpen != 1 || decoder->blockBuffer == nullptr || decoder->blockSize <= 0) return -1;
    int word = ogg->bytesPerSample;
    for (;;) {
        int bitstream = 0;
        long got = ov_read(&ogg->vorbisFile, static_cast<char*>(decoder->blockBuffer), decoder->blockSize, 0, word,
                           word == 1 ? 0 : 1, &bitstream);
        if (got == OV_HOLE) continue;
        if (got <= 0) return -1;
        decoder->blockValid = static_cast<int32_t>(got);
        return 0;
    }
}

int SeekOggDecoder(SoundDecoder* decoder, int frame) {
    ov_pcm_seek(&decoder->kind.ogg.vorbisFile, frame);
    decoder->blockValid = 0;
    decoder->blockOffset = 0;
    decoder->outputPos = static_cast<int32_t>(static_cast<int64_t>(frame) * decoder->format.nBlockAlign);
    return 0;
}

int GetOggDecodedSize(SoundDecoder* decoder) {
    OggDecoderState* ogg = &decoder->kind.ogg;
    ogg_int64_t frames = ov_pcm_total(&ogg->vorbisFile, -1);
    if (frames < 0) return 0;
    return static_cast<int>(frames * decoder->format.nChannels * ogg->bytesPerSample);
}
