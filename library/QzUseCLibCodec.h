// QzUseCLibCodec.h: thin glue over the codec libraries: PNG (libpng) and JPEG (libjpeg)
// as GraphImageLoaders, Ogg Vorbis (libvorbisfile) as a SoundDecoder kind. All read only
// through a ReadStream, so files, archive members and memory images decode alike. The
// libraries' own memory is the ordinary heap; every block handed out is tracked.
// Callers hold the library lock.
#pragma once

#include "QzGraphicsImage.h"
#include "QzSoundDecoder.h"

// 0 when decoded, -1 otherwise (nothing left allocated).
//
// PNG results: palette images without transparency give 8-bit palette images (entries
// past the file's palette black); grey of 8 bits or fewer gives 8-bit grey; 16-bit
// channels are cut to 8; RGB gives 24-bit BGR; RGBA and palette or RGB with tRNS give
// 32-bit BGRA; grey with alpha or tRNS give a 16-bit grey format (the alpha byte is
// ignored).
int LoadPngToGraphImage(ReadStream* stream, GraphImage* image);
// JPEG results: grey gives 8-bit grey, colour 24-bit BGR; CMYK and YCCK are refused. A
// stream that ends early decodes to a full-size image.
int LoadJpegToGraphImage(ReadStream* stream, GraphImage* image);

// The Ogg Vorbis decoder kind over decoder->stream. Blocks of at most 4096 bytes of
// 16-bit little-endian PCM go to decoder->blockBuffer.
int OpenOggDecoder(SoundDecoder* decoder);   // 0, or -1: not Ogg Vorbis, or too long
int CloseOggDecoder(SoundDecoder* decoder);  // 0
int DecodeOggBlock(SoundDecoder* decoder);   // 0 with blockValid set, -1 at the end
int SeekOggDecoder(SoundDecoder* decoder, int frame);  // 0
int GetOggDecodedSize(SoundDecoder* decoder);  // total PCM bytes
