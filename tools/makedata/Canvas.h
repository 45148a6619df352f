// Canvas.h: the 24-bit picture makedata draws sheets on, its few primitives, the small
// bitmap font it letters them with, and the BMP writer.
//
// Pure black (0, 0, 0) is the games's transparent colour: only Clear and the
// unpainted background give it. Every colour a painter asks for is lifted to at least
// (0, 0, 1) so that an opaque pixel never turns transparent by accident.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace makedata {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

Rgb Mix(Rgb a, Rgb b, int bOf256);         // a blended toward b by bOf256 / 256
Rgb Scale(Rgb c, int of256);               // each channel times of256 / 256
uint32_t Hash(uint32_t a, uint32_t b = 0, uint32_t c = 0);  // a fixed integer hash

class Canvas {
public:
    Canvas(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    Rgb Get(int x, int y) const { return pixels_[size_t(y) * width_ + x]; }
    void Set(int x, int y, Rgb c);  // clipped; never writes pure black
    void Clear(int x, int y, int w, int h);  // back to transparent

    // The clip rectangle: every draw below stays inside it (a cell, while it is painted).
    void SetClip(int x, int y, int w, int h);
    void ResetClip();

    void FillRect(int x, int y, int w, int h, Rgb c);
    void FrameRect(int x, int y, int w, int h, Rgb c, int thickness = 1);
    void FillCircle(double cx, double cy, double r, Rgb c);
    void Ring(double cx, double cy, double r, double thickness, Rgb c);
    void FillEllipse(double cx, double cy, double rx, double ry, Rgb c);
    // A convex or concave polygon, even-odd filled; points as x0, y0, x1, y1, ...
    void FillPolygon(const std::vector<double>& points, Rgb c);
    void Line(double x0, double y0, double x1, double y1, double width, Rgb c);

    // Text in the 5x7 font (8 rows with descenders), each glyph `scale` px a dot, a
    // column of spacing between glyphs. bold doubles each dot column to the right.
    void Text(int x, int y, const std::string& text, int scale, Rgb c, bool bold = false);
    // The same with a one-dot outline drawn first in `outline`.
    void OutlinedText(int x, int y, const std::string& text, int scale, Rgb c, Rgb outline, bool bold = false);
    static int TextWidth(const std::string& text, int scale, bool bold = false);

    // 24-bit bottom-up BMP, rows padded to 4 bytes.
    std::vector<uint8_t> EncodeBmp() const;

private:
    bool Inside(int x, int y) const;

    int width_, height_;
    int clipX0_ = 0, clipY0_ = 0, clipX1_, clipY1_;
    std::vector<Rgb> pixels_;
};

// Columns of the 5x7 glyph of character c (bit 0 the top row); printable ASCII only.
const uint8_t* GlyphColumns(unsigned char c);

}  // namespace makedata
