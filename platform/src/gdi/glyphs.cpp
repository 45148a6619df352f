// gdi/glyphs.cpp: GetGlyphOutlineA over FreeType. A character code of the font's code
// page becomes Unicode through iconv ("CP932", "CP949"), the face renders it with fixed
// settings (GGO_BITMAP: monochrome hinting and rendering; GGO_GRAY4_BITMAP: normal
// hinting, outlines only, 256 coverage levels brought to 0..16), and the result is cut to
// its ink box as GDI reports it. Synthetic faces of the test controls answer from their
// tables. Main thread; runs under FontLock. Fonts themselves are in fonts.cpp.
#include "gdi/fontrecord.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <vector>

#include <freetype/ftbitmap.h>
#include <freetype/ftoutln.h>

#include "kernel/diag.h"

namespace {

// One glyph as GDI hands it out: the ink box, its place against the pen, the advance,
// and a value per pixel (0/1 for GGO_BITMAP, 0..16 for GGO_GRAY4_BITMAP).
struct Glyph {
    int width = 0, height = 0;
    int originX = 0, originY = 0;
    int advance = 0;
    std::vector<uint8_t> values;
};

class CodeConverter {
public:
    explicit CodeConverter(const char* from) : cd_(iconv_open("UTF-32LE", from)) {}
    ~CodeConverter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    CodeConverter(const CodeConverter&) = delete;
    CodeConverter& operator=(const CodeConverter&) = delete;

    // Exactly one character in, exactly one scalar out; 0 otherwise.
    uint32_t Convert(const char* bytes, size_t count) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) return 0;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(bytes);
        size_t inLeft = count;
        unsigned char out[8] = {};
        char* outPointer = reinterpret_cast<char*>(out);
        size_t outLeft = sizeof out;
        if (iconv(cd_, &in, &inLeft, &outPointer, &outLeft) == static_cast<size_t>(-1) || inLeft != 0 ||
            outLeft != sizeof out - 4)
            return 0;
        return static_cast<uint32_t>(out[0]) | static_cast<uint32_t>(out[1]) << 8 |
               static_cast<uint32_t>(out[2]) << 16 | static_cast<uint32_t>(out[3]) << 24;
    }

private:
    iconv_t cd_;
};

bool IsIdentity(const MAT2* m) {
    return m->eM11.value == 1 && m->eM11.fract == 0 && m->eM12.value == 0 && m->eM12.fract == 0 &&
           m->eM21.value == 0 && m->eM21.fract == 0 && m->eM22.value == 1 && m->eM22.fract == 0;
}

int ValueOf(int coverage, UINT format) {
    return format == GGO_GRAY4_BITMAP ? (coverage * 16 + 127) / 255 : coverage >= 128 ? 1 : 0;
}

// Cuts the glyph to the pixels that carry a value; a glyph without any loses its box.
void TrimToInk(Glyph* g) {
    int left = g->width, right = -1, top = g->height, bottom = -1;
    for (int y = 0; y < g->height; ++y)
        for (int x = 0; x < g->width; ++x)
            if (g->values[static_cast<size_t>(y) * g->width + x] != 0) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    if (right < 0) {
        g->width = g->height = 0;
        g->values.clear();
        return;
    }
    int width = right - left + 1, height = bottom - top + 1;
    std::vector<uint8_t> cut(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        std::memcpy(&cut[static_cast<size_t>(y) * width], &g->values[static_cast<size_t>(top + y) * g->width + left],
                    static_cast<size_t>(width));
    g->originX += left;
    g->originY -= top;
    g->width = width;
    g->height = height;
    g->values.swap(cut);
}

bool RenderSynthetic(const gdi::Font& font, UINT code, UINT format, Glyph* g) {
    const ptest::SyntheticFace& face = *font.synthetic;
    const ptest::SyntheticGlyph* source = &face.missing;
    for (const auto& entry : face.glyphs)
        if (entry.first == code) source = &entry.second;
    g->originX = source->originX;
    g->originY = source->originY;
    g->advance = source->advance;
    if (source->width <= 0 || source->height <= 0 ||
        source->levels.size() < static_cast<size_t>(source->width) * source->height)
        return true;
    g->width = source->width;
    g->height = source->height;
    g->values.resize(static_cast<size_t>(g->width) * g->height);
    for (size_t i = 0; i < g->values.size(); ++i) {
        int level = std::min<int>(source->levels[i], 16);
        g->values[i] = static_cast<uint8_t>(format == GGO_GRAY4_BITMAP ? level : level >= 8 ? 1 : 0);
    }
    return true;
}

bool RenderFace(const gdi::Font& font, UINT code, UINT format, Glyph* g) {
    FT_Face face = font.face;
    uint32_t scalar = gdi::CodeToUnicode(font.codePage, code);
    FT_UInt index = scalar != 0 ? FT_Get_Char_Index(face, scalar) : 0;
    bool gray = format == GGO_GRAY4_BITMAP;
    FT_Int32 flags = gray ? FT_LOAD_TARGET_NORMAL | FT_LOAD_NO_BITMAP : FT_LOAD_TARGET_MONO;
    if (FT_Load_Glyph(face, index, flags) != 0) {
        index = 0;
        if (FT_Load_Glyph(face, 0, flags) != 0) return true;  // not even a missing glyph: no ink
    }
    FT_GlyphSlot slot = face->glyph;
    int widen = font.embolden ? gdi::EmboldenPixels(font.emHeight) : 0;
    if (widen > 0 && slot->format == FT_GLYPH_FORMAT_OUTLINE)
        FT_Outline_EmboldenXY(&slot->outline, widen * 64, 0);
    if (slot->format != FT_GLYPH_FORMAT_BITMAP &&
        FT_Render_Glyph(slot, gray ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0)
        return false;
    if (widen > 0 && slot->format == FT_GLYPH_FORMAT_BITMAP && slot->bitmap.width > 0)
        FT_Bitmap_Embolden(gdi::FreeTypeLibrary(), &slot->bitmap, widen * 64, 0);
    g->advance = static_cast<int>((slot->advance.x + 32) >> 6) + widen;
    const FT_Bitmap& bitmap = slot->bitmap;
    int width = static_cast<int>(bitmap.width), height = static_cast<int>(bitmap.rows);
    if (width <= 0 || height <= 0 || bitmap.buffer == nullptr) return true;
    g->width = width;
    g->height = height;
    g->originX = slot->bitmap_left;
    g->originY = slot->bitmap_top;
    g->values.assign(static_cast<size_t>(width) * height, 0);
    int pitch = bitmap.pitch < 0 ? -bitmap.pitch : bitmap.pitch;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = bitmap.buffer + static_cast<ptrdiff_t>(bitmap.pitch < 0 ? height - 1 - y : y) * pitch;
        for (int x = 0; x < width; ++x) {
            int coverage = 0;
            switch (bitmap.pixel_mode) {
            case FT_PIXEL_MODE_MONO: coverage = (row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0; break;
            case FT_PIXEL_MODE_GRAY:
                coverage = bitmap.num_grays > 1 ? row[x] * 255 / (bitmap.num_grays - 1) : row[x];
                break;
            case FT_PIXEL_MODE_BGRA: coverage = row[x * 4 + 3]; break;
            default: break;
            }
            g->values[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(ValueOf(coverage, format));
        }
    }
    TrimToInk(g);
    return true;
}

}  // namespace

namespace gdi {

uint32_t CodeToUnicode(int codePage, UINT code) {
    thread_local CodeConverter cp932("CP932");
    thread_local CodeConverter cp949("CP949");
    char bytes[2];
    size_t count = 0;
    if (code <= 0xFF) {
        bytes[count++] = static_cast<char>(code);
    } else if (code <= 0xFFFF) {
        bytes[count++] = static_cast<char>(code >> 8);
        bytes[count++] = static_cast<char>(code & 0xFF);
    } else {
        return 0;
    }
    return (codePage == 949 ? cp949 : cp932).Convert(bytes, count);
}

}  // namespace gdi

DWORD GetGlyphOutlineA(HDC dc, UINT code, UINT format, LPGLYPHMETRICS metrics, DWORD size, LPVOID buffer,
                       const MAT2* transform) {
    std::lock_guard<std::recursive_mutex> hold(gdi::FontLock());
    if (kernel::ConsumeFault("GetGlyphOutlineA")) return GDI_ERROR;
    if (metrics == nullptr || transform == nullptr || !IsIdentity(transform)) return GDI_ERROR;
    if (format != GGO_METRICS && format != GGO_BITMAP && format != GGO_GRAY4_BITMAP)
        return kernel::Fail<DWORD>(ERROR_INVALID_PARAMETER, GDI_ERROR, "gdi: GetGlyphOutlineA: format %u not kept",
                                   format);
    gdi::Font* font = gdi::FontOfContext(dc);
    if (font == nullptr) return GDI_ERROR;
    gdi::CountSyntheticCall(*font, code);
    Glyph g;
    UINT renderFormat = format == GGO_METRICS ? GGO_BITMAP : format;
    bool rendered = font->synthetic ? RenderSynthetic(*font, code, renderFormat, &g)
                                    : RenderFace(*font, code, renderFormat, &g);
    if (!rendered) return GDI_ERROR;

    bool ink = g.width > 0 && g.height > 0;
    metrics->gmBlackBoxX = ink ? static_cast<UINT>(g.width) : 1;
    metrics->gmBlackBoxY = ink ? static_cast<UINT>(g.height) : 1;
    metrics->gmptGlyphOrigin.x = g.originX;
    metrics->gmptGlyphOrigin.y = g.originY;
    metrics->gmCellIncX = static_cast<SHORT>(g.advance);
    metrics->gmCellIncY = 0;
    if (format == GGO_METRICS || !ink) return 0;

    size_t pitch = format == GGO_BITMAP ? (static_cast<size_t>(g.width) + 31) / 32 * 4
                                        : (static_cast<size_t>(g.width) + 3) / 4 * 4;
    size_t needed = pitch * static_cast<size_t>(g.height);
    if (size == 0 || buffer == nullptr) return static_cast<DWORD>(needed);
    if (size < needed) return GDI_ERROR;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    std::memset(out, 0, needed);
    for (int y = 0; y < g.height; ++y) {
        uint8_t* row = out + pitch * static_cast<size_t>(y);
        const uint8_t* values = &g.values[static_cast<size_t>(y) * g.width];
        for (int x = 0; x < g.width; ++x) {
            if (format == GGO_GRAY4_BITMAP)
                row[x] = values[x];
            else if (values[x] != 0)
                row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
        }
    }
    return static_cast<DWORD>(needed);
}
