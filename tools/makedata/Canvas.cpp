// Canvas.cpp: pixel primitives (a pixel is painted when its centre lies inside the
// shape), the bitmap text and the BMP encoding.
#include "Canvas.h"

#include <algorithm>
#include <cmath>

namespace makedata {

Rgb Mix(Rgb a, Rgb b, int bOf256) {
    const int k = std::clamp(bOf256, 0, 256);
    auto m = [k](int x, int y) { return uint8_t(x + (y - x) * k / 256); };
    return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

Rgb Scale(Rgb c, int of256) {
    auto s = [of256](int x) { return uint8_t(std::clamp(x * of256 / 256, 0, 255)); };
    return {s(c.r), s(c.g), s(c.b)};
}

uint32_t Hash(uint32_t a, uint32_t b, uint32_t c) {
    uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), clipX1_(width), clipY1_(height), pixels_(size_t(width) * height) {}

bool Canvas::Inside(int x, int y) const { return x >= clipX0_ && y >= clipY0_ && x < clipX1_ && y < clipY1_; }

void Canvas::Set(int x, int y, Rgb c) {
    if (!Inside(x, y)) return;
    if (c.r == 0 && c.g == 0 && c.b == 0) c.b = 1;
    pixels_[size_t(y) * width_ + x] = c;
}

void Canvas::Clear(int x, int y, int w, int h) {
    for (int j = std::max(y, 0); j < std::min(y + h, height_); ++j)
        for (int i = std::max(x, 0); i < std::min(x + w, width_); ++i) pixels_[size_t(j) * width_ + i] = {};
}

void Canvas::SetClip(int x, int y, int w, int h) {
    clipX0_ = std::max(x, 0);
    clipY0_ = std::max(y, 0);
    clipX1_ = std::min(x + w, width_);
    clipY1_ = std::min(y + h, height_);
}

void Canvas::ResetClip() { SetClip(0, 0, width_, height_); }

void Canvas::FillRect(int x, int y, int w, int h, Rgb c) {
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) Set(i, j, c);
}

void Canvas::FrameRect(int x, int y, int w, int h, Rgb c, int t) {
    FillRect(x, y, w, t, c);
    FillRect(x, y + h - t, w, t, c);
    FillRect(x, y + t, t, h - 2 * t, c);
    FillRect(x + w - t, y + t, t, h - 2 * t, c);
}

void Canvas::FillEllipse(double cx, double cy, double rx, double ry, Rgb c) {
    if (rx <= 0 || ry <= 0) return;
    for (int j = int(std::floor(cy - ry)); j <= int(std::ceil(cy + ry)); ++j) {
        for (int i = int(std::floor(cx - rx)); i <= int(std::ceil(cx + rx)); ++i) {
            const double dx = (i + 0.5 - cx) / rx, dy = (j + 0.5 - cy) / ry;
            if (dx * dx + dy * dy <= 1.0) Set(i, j, c);
        }
    }
}

void Canvas::FillCircle(double cx, double cy, double r, Rgb c) { FillEllipse(cx, cy, r, r, c); }

void Canvas::Ring(double cx, double cy, double r, double thickness, Rgb c) {
    const double inner = std::max(r - thickness, 0.0);
    for (int j = int(std::floor(cy - r)); j <= int(std::ceil(cy + r)); ++j) {
        for (int i = int(std::floor(cx - r)); i <= int(std::ceil(cx + r)); ++i) {
            const double dx = i + 0.5 - cx, dy = j + 0.5 - cy, d2 = dx * dx + dy * dy;
            if (d2 <= r * r && d2 >= inner * inner) Set(i, j, c);
        }
    }
}

void Canvas::FillPolygon(const std::vector<double>& p, Rgb c) {
    const size_t n = p.size() / 2;
    if (n < 3) return;
    double top = p[1], bottom = p[1];
    for (size_t k = 0; k < n; ++k) top = std::min(top, p[2 * k + 1]), bottom = std::max(bottom, p[2 * k + 1]);
    for (int j = int(std::floor(top)); j <= int(std::ceil(bottom)); ++j) {
        const double y = j + 0.5;
        std::vector<double> xs;
        for (size_t k = 0; k < n; ++k) {
            const double x0 = p[2 * k], y0 = p[2 * k + 1];
            const double x1 = p[2 * ((k + 1) % n)], y1 = p[2 * ((k + 1) % n) + 1];
            if ((y0 <= y && y1 > y) || (y1 <= y && y0 > y)) xs.push_back(x0 + (y - y0) * (x1 - x0) / (y1 - y0));
        }
        std::sort(xs.begin(), xs.end());
        for (size_t k = 0; k + 1 < xs.size(); k += 2)
            for (int i = int(std::ceil(xs[k] - 0.5)); i + 0.5 <= xs[k + 1]; ++i) Set(i, j, c);
    }
}

void Canvas::Line(double x0, double y0, double x1, double y1, double width, Rgb c) {
    const double dx = x1 - x0, dy = y1 - y0, len = std::sqrt(dx * dx + dy * dy);
    if (len == 0) {
        FillCircle(x0, y0, width / 2, c);
        return;
    }
    const double nx = -dy / len * width / 2, ny = dx / len * width / 2;
    FillPolygon({x0 + nx, y0 + ny, x1 + nx, y1 + ny, x1 - nx, y1 - ny, x0 - nx, y0 - ny}, c);
}

int Canvas::TextWidth(const std::string& text, int scale, bool bold) {
    if (text.empty()) return 0;
    return int(text.size()) * (bold ? 7 : 6) * scale - scale;
}

void Canvas::Text(int x, int y, const std::string& text, int scale, Rgb c, bool bold) {
    const int advance = (bold ? 7 : 6) * scale;
    for (size_t k = 0; k < text.size(); ++k) {
        const uint8_t* columns = GlyphColumns(static_cast<unsigned char>(text[k]));
        for (int col = 0; col < 5; ++col) {
            for (int row = 0; row < 8; ++row) {
                if (!(columns[col] >> row & 1)) continue;
                const int px = x + int(k) * advance + col * scale, py = y + row * scale;
                FillRect(px, py, scale * (bold ? 2 : 1), scale, c);
            }
        }
    }
}

void Canvas::OutlinedText(int x, int y, const std::string& text, int scale, Rgb c, Rgb outline, bool bold) {
    for (int oy = -1; oy <= 1; ++oy)
        for (int ox = -1; ox <= 1; ++ox)
            if (ox || oy) Text(x + ox, y + oy, text, scale, outline, bold);
    Text(x, y, text, scale, c, bold);
}

std::vector<uint8_t> Canvas::EncodeBmp() const {
    const uint32_t rowBytes = (uint32_t(width_) * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * uint32_t(height_);
    std::vector<uint8_t> out(54 + imageBytes, 0);
    auto put16 = [&out](size_t at, uint32_t v) { out[at] = uint8_t(v), out[at + 1] = uint8_t(v >> 8); };
    auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
    out[0] = 'B', out[1] = 'M';
    put32(2, 54 + imageBytes);
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(width_));
    put32(22, uint32_t(height_));
    put16(26, 1);
    put16(28, 24);
    put32(34, imageBytes);
    put32(38, 2835);  // 72 dpi
    put32(42, 2835);
    for (int y = 0; y < height_; ++y) {
        uint8_t* row = out.data() + 54 + size_t(height_ - 1 - y) * rowBytes;
        for (int x = 0; x < width_; ++x) {
            const Rgb c = pixels_[size_t(y) * width_ + x];
            row[3 * x] = c.b, row[3 * x + 1] = c.g, row[3 * x + 2] = c.r;
        }
    }
    return out;
}

}  // namespace makedata
