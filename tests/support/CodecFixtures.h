// CodecFixtures.h: image and sound files made at test time with the codec libraries
// themselves (libpng, libjpeg, libvorbisenc), for tests, benchmarks and fuzz seeds.
// Single-threaded use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qztest {

struct PngSpec {
    int width = 1;
    int height = 1;
    int colorType = 2;  // libpng's: 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
    int bitDepth = 8;
    std::string rows;                    // height rows as libpng takes them (packed, big-endian 16-bit)
    std::vector<uint8_t> palette;        // r, g, b triples
    std::vector<uint8_t> paletteAlpha;   // tRNS for palette images
    int transparentGray = -1;            // tRNS for grey images; -1: none
    int transparentRgb[3] = {-1, -1, -1};  // tRNS for RGB images
};

// The PNG file for a spec.
std::string WritePng(const PngSpec& spec);

// A JPEG of width x height with 1 (grey), 3 (RGB, given as r, g, b) or 4 (CMYK)
// components per pixel.
std::string WriteJpeg(int width, int height, int components, const std::string& pixels, int quality = 90);

// An Ogg Vorbis stream of `frames` frames: a tone per channel.
std::string WriteOggVorbis(int channels, int rate, int frames, int serial = 1);

// Pixel patterns for the fixtures.
std::string GradientRgb(int width, int height);  // r, g, b per pixel
std::string GradientGray(int width, int height);
// An 8-bit RGB PNG of GradientRgb.
std::string GradientPng(int width, int height);

}  // namespace qztest
