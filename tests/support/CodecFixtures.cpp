// CodecFixtures.cpp: PNG, JPEG and Ogg Vorbis files written with the codec libraries.
#include "CodecFixtures.h"

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <png.h>

#include "VorbisWriter.h"

namespace qztest {
namespace {

[[noreturn]] void Refuse(const char* what) {
    std::fprintf(stderr, "CodecFixtures: %s\n", what);
    std::abort();
}

void AppendPngData(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

void FlushPngData(png_structp) {}

}  // namespace

std::string WritePng(const PngSpec& spec) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) Refuse("libpng refused the fixture");
    png_set_write_fn(png, &out, AppendPngData, FlushPngData);
    png_set_IHDR(png, info, static_cast<png_uint_32>(spec.width), static_cast<png_uint_32>(spec.height), spec.bitDepth,
                 spec.colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (size_t i = 0; i + 2 < spec.palette.size(); i += 3)
        palette.push_back(png_color{spec.palette[i], spec.palette[i + 1], spec.palette[i + 2]});
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_color_16 color{};
    if (!spec.paletteAlpha.empty()) {
        png_set_tRNS(png, info, spec.paletteAlpha.data(), static_cast<int>(spec.paletteAlpha.size()), nullptr);
    } else if (spec.transparentGray >= 0) {
        color.gray = static_cast<png_uint_16>(spec.transparentGray);
        png_set_tRNS(png, info, nullptr, 0, &color);
    } else if (spec.transparentRgb[0] >= 0) {
        color.red = static_cast<png_uint_16>(spec.transparentRgb[0]);
        color.green = static_cast<png_uint_16>(spec.transparentRgb[1]);
        color.blue = static_cast<png_uint_16>(spec.transparentRgb[2]);
        png_set_tRNS(png, info, nullptr, 0, &color);
    }
    png_write_info(png, info);
    size_t rowBytes = spec.rows.size() / static_cast<size_t>(spec.height);
    for (int y = 0; y < spec.height; y++) {
        png_bytep row = reinterpret_cast<png_bytep>(const_cast<char*>(spec.rows.data())) + static_cast<size_t>(y) * rowBytes;
        png_write_row(png, row);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string WriteJpeg(int width, int height, int components, const std::string& pixels, int quality) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(components);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(const_cast<char*>(pixels.data())) + cinfo.next_scanline * rowBytes;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return out;
}

std::string WriteOggVorbis(int channels, int rate, int frames, int serial) {
    const std::string out =
        vorbiswriter::Encode(channels, rate, frames, serial, [&](float** planes, int first, int count) {
            for (int c = 0; c < channels; c++)
                for (int i = 0; i < count; i++)
                    planes[c][i] = 0.4f * static_cast<float>(
                                              std::sin(2.0 * 3.14159265358979 * (220.0 * (c + 1)) * (first + i) / rate));
        });
    if (out.empty()) Refuse("vorbisenc refused the fixture");
    return out;
}

std::string GradientRgb(int width, int height) {
    std::string pixels;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            pixels.push_back(static_cast<char>((x * 255) / (width > 1 ? width - 1 : 1)));
            pixels.push_back(static_cast<char>((y * 255) / (height > 1 ? height - 1 : 1)));
            pixels.push_back(static_cast<char>(((x + y) * 255) / (width + height > 2 ? width + height - 2 : 1)));
        }
    return pixels;
}

std::string GradientPng(int width, int height) {
    PngSpec spec;
    spec.width = width;
    spec.height = height;
    spec.colorType = 2;
    spec.bitDepth = 8;
    spec.rows = GradientRgb(width, height);
    return WritePng(spec);
}

std::string GradientGray(int width, int height) {
    std::string pixels;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) pixels.push_back(static_cast<char>((x * 7 + y * 13) & 0xFF));
    return pixels;
}

}  // namespace qztest
