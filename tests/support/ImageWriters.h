// ImageWriters.h: small writers of BMP, TGA, DDS and raw "BGRA" files, for the image
// reader tests, the fuzz seeds and the benchmarks. Header-only so that every program that
// includes tests/support can use them without linking anything more.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qztest {

inline void PutLe16(std::string* out, uint32_t v) {
    out->push_back((char)(v & 0xFF));
    out->push_back((char)(v >> 8 & 0xFF));
}
inline void PutLe32(std::string* out, uint32_t v) {
    PutLe16(out, v & 0xFFFF);
    PutLe16(out, v >> 16);
}

// ---- BMP ------------------------------------------------------------------------------
struct BmpSpec {
    int width = 1;
    int height = 1;  // negative: rows stored top first
    int bits = 24;
    uint32_t compression = 0;      // 0 BI_RGB, 1 RLE8, 2 RLE4, 3 bit fields
    std::vector<uint32_t> palette;  // entries 0x00RRGGBB, written as stored
    uint32_t colorsUsed = 0;        // biClrUsed
    std::vector<uint32_t> masks;    // written right after the 40-byte header when given
    uint32_t infoSize = 40;         // a longer header is padded with zeros
    // |height| x width values, top row first: indices (8 bits or fewer) or pixel values.
    std::vector<uint32_t> pixels;
    std::string data;  // when not empty: the pixel data exactly as stored (RLE)
};

// The pixel data of a spec as a BMP stores it: rows padded to 4 bytes, bottom row first
// for a positive height.
inline std::string PackBmpRows(const BmpSpec& s) {
    const int rows = s.height < 0 ? -s.height : s.height;
    const size_t rowBytes = ((size_t)s.width * s.bits + 31) / 32 * 4;
    std::string data;
    for (int r = 0; r < rows; ++r) {
        const int y = s.height < 0 ? r : rows - 1 - r;
        std::string row(rowBytes, '\0');
        for (int x = 0; x < s.width; ++x) {
            const size_t i = (size_t)y * s.width + x;
            const uint32_t v = i < s.pixels.size() ? s.pixels[i] : 0;
            if (s.bits < 8) {
                const int perByte = 8 / s.bits;
                const int shift = 8 - s.bits * (x % perByte + 1);
                row[(size_t)x / perByte] = (char)(row[(size_t)x / perByte] | (char)((v & ((1u << s.bits) - 1)) << shift));
            } else {
                for (int b = 0; b < s.bits / 8; ++b) row[(size_t)x * (s.bits / 8) + b] = (char)(v >> (8 * b) & 0xFF);
            }
        }
        data += row;
    }
    return data;
}

inline std::string WriteBmp(const BmpSpec& s) {
    std::string info;
    PutLe32(&info, s.infoSize);
    PutLe32(&info, (uint32_t)s.width);
    PutLe32(&info, (uint32_t)s.height);
    PutLe16(&info, 1);
    PutLe16(&info, (uint32_t)s.bits);
    PutLe32(&info, s.compression);
    const std::string data = s.data.empty() ? PackBmpRows(s) : s.data;
    PutLe32(&info, (uint32_t)data.size());
    PutLe32(&info, 2835);
    PutLe32(&info, 2835);
    PutLe32(&info, s.colorsUsed);
    PutLe32(&info, 0);
    for (uint32_t m : s.masks) PutLe32(&info, m);
    if (info.size() < s.infoSize) info.resize(s.infoSize, '\0');
    for (uint32_t e : s.palette) PutLe32(&info, e);
    std::string file = "BM";
    PutLe32(&file, (uint32_t)(14 + info.size() + data.size()));
    PutLe32(&file, 0);
    PutLe32(&file, (uint32_t)(14 + info.size()));
    return file + info + data;
}

// ---- raw BGRA --------------------------------------------------------------------------
// pixels as 0xAARRGGBB, top row first. The 16-bit layout stores each channel c as the
// 16-bit value c << 8 | low, so a reader that keeps the wrong byte shows it.
inline std::string WriteBgra(int width, int height, bool sixteenBits, const std::vector<uint32_t>& pixels,
                             uint8_t low = 0x5A) {
    std::string file = "BGRA";
    PutLe32(&file, sixteenBits ? 0x10101010u : 0x08080808u);
    PutLe32(&file, (uint32_t)width);
    PutLe32(&file, (uint32_t)height);
    for (uint32_t p : pixels)
        for (int c = 0; c < 4; ++c) {
            const uint8_t v = (uint8_t)(p >> (8 * c));
            if (sixteenBits) PutLe16(&file, (uint32_t)v << 8 | low);
            else file.push_back((char)v);
        }
    return file;
}

// ---- TGA ---------------------------------------------------------------------------------
struct TgaSpec {
    int type = 2;        // 1 mapped, 2 true-colour, 9 and 10 their RLE forms
    int width = 1;
    int height = 1;
    int depth = 24;      // pixel depth (8 for mapped images)
    int descriptor = 0x20;  // bit 4: right to left; bit 5: top row first
    int mapType = 0;
    int firstEntry = 0;
    int entryBits = 0;
    std::vector<uint32_t> map;  // the map entries in the file, values of entryBits
    std::string id;
    // width x height values, top row first, left to right (indices or pixels); stored in
    // the descriptor's order and, for the RLE types, run-length encoded.
    std::vector<uint32_t> pixels;
    std::string data;  // when not empty: the image data exactly as stored
    bool footer = false;
    int xOrigin = 0;
};

// Packets over the stored values: runs of two or more repeat, the rest go raw.
inline std::string EncodeTgaRle(const std::vector<uint32_t>& values, int bytes) {
    std::string out;
    auto put = [&](uint32_t v) {
        for (int b = 0; b < bytes; ++b) out.push_back((char)(v >> (8 * b) & 0xFF));
    };
    size_t i = 0;
    while (i < values.size()) {
        size_t run = 1;
        while (i + run < values.size() && run < 128 && values[i + run] == values[i]) ++run;
        if (run >= 2) {
            out.push_back((char)(0x80 | (run - 1)));
            put(values[i]);
            i += run;
            continue;
        }
        size_t raw = 1;
        while (i + raw < values.size() && raw < 128 &&
               !(i + raw + 1 < values.size() && values[i + raw] == values[i + raw + 1]))
            ++raw;
        out.push_back((char)(raw - 1));
        for (size_t k = 0; k < raw; ++k) put(values[i + k]);
        i += raw;
    }
    return out;
}

inline std::string WriteTga(const TgaSpec& s) {
    const bool mapped = s.type == 1 || s.type == 9;
    const int bytes = (mapped ? 8 : s.depth) / 8;
    std::string file;
    file.push_back((char)s.id.size());
    file.push_back((char)s.mapType);
    file.push_back((char)s.type);
    PutLe16(&file, (uint32_t)s.firstEntry);
    PutLe16(&file, (uint32_t)s.map.size());
    file.push_back((char)s.entryBits);
    PutLe16(&file, (uint32_t)s.xOrigin);
    PutLe16(&file, 0);
    PutLe16(&file, (uint32_t)s.width);
    PutLe16(&file, (uint32_t)s.height);
    file.push_back((char)s.depth);
    file.push_back((char)s.descriptor);
    file += s.id;
    for (uint32_t e : s.map)
        for (int b = 0; b < s.entryBits / 8; ++b) file.push_back((char)(e >> (8 * b) & 0xFF));
    if (!s.data.empty()) {
        file += s.data;
    } else {
        std::vector<uint32_t> stored;
        const bool rightToLeft = (s.descriptor & 0x10) != 0, bottomFirst = (s.descriptor & 0x20) == 0;
        for (int r = 0; r < s.height; ++r)
            for (int c = 0; c < s.width; ++c) {
                const int y = bottomFirst ? s.height - 1 - r : r, x = rightToLeft ? s.width - 1 - c : c;
                const size_t i = (size_t)y * s.width + x;
                stored.push_back(i < s.pixels.size() ? s.pixels[i] : 0);
            }
        if (s.type == 9 || s.type == 10) {
            file += EncodeTgaRle(stored, bytes);
        } else {
            for (uint32_t v : stored)
                for (int b = 0; b < bytes; ++b) file.push_back((char)(v >> (8 * b) & 0xFF));
        }
    }
    if (s.footer) {
        PutLe32(&file, 0);
        PutLe32(&file, 0);
        file += "TRUEVISION-XFILE";
        file.push_back('.');
        file.push_back('\0');
    }
    return file;
}

// ---- DDS ---------------------------------------------------------------------------------
struct DdsSpec {
    int width = 1;
    int height = 1;
    uint32_t flags = 0x1007;  // 0x8: the pitch field holds the row pitch
    uint32_t pitch = 0;
    uint32_t formatFlags = 0x40;  // 0x4 FourCC, 0x40 RGB, 0x1 alpha pixels
    uint32_t fourCC = 0;
    uint32_t rgbBits = 32;
    uint32_t masks[4] = {0xFF0000, 0xFF00, 0xFF, 0};
    std::string pixels;  // the top-level image's bytes as stored
};

inline std::string WriteDds(const DdsSpec& s) {
    std::string file = "DDS ";
    PutLe32(&file, 124);
    PutLe32(&file, s.flags);
    PutLe32(&file, (uint32_t)s.height);
    PutLe32(&file, (uint32_t)s.width);
    PutLe32(&file, s.pitch);
    file.resize(76, '\0');
    PutLe32(&file, 32);
    PutLe32(&file, s.formatFlags);
    PutLe32(&file, s.fourCC);
    PutLe32(&file, s.rgbBits);
    for (uint32_t m : s.masks) PutLe32(&file, m);
    PutLe32(&file, 0x1000);
    file.resize(128, '\0');
    return file + s.pixels;
}

}  // namespace qztest
