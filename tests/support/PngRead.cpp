// PngRead.cpp: reads a PNG file back with libpng.
#include "PngRead.h"

#include <png.h>

#include <cstdio>

namespace qztest {

std::vector<uint8_t> ReadPngRgbBytes(const std::string& path, int* width, int* height) {
    std::vector<uint8_t> out;
    *width = *height = 0;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return out;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        png_set_strip_16(png);
        png_set_strip_alpha(png);
        png_set_palette_to_rgb(png);
        png_set_gray_to_rgb(png);
        png_read_update_info(png, info);
        int w = (int)png_get_image_width(png, info);
        int h = (int)png_get_image_height(png, info);
        out.resize((size_t)w * h * 3);
        for (int y = 0; y < h; ++y)
            png_read_row(png, out.data() + (size_t)y * w * 3, nullptr);
        *width = w;
        *height = h;
    }
    png_destroy_read_struct(png ? &png : nullptr, info ? &info : nullptr, nullptr);
    std::fclose(file);
    return out;
}

std::vector<uint32_t> ReadPngRgb(const std::string& path, int* width, int* height) {
    std::vector<uint8_t> bytes = ReadPngRgbBytes(path, width, height);
    std::vector<uint32_t> out(bytes.size() / 3);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = (uint32_t)bytes[i * 3] << 16 | (uint32_t)bytes[i * 3 + 1] << 8 | bytes[i * 3 + 2];
    return out;
}

}  // namespace qztest
