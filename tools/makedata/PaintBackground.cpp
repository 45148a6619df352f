// PaintBackground.cpp: background tiles and terrain pieces of the three background sets.
//
// Tiles are opaque and join seamlessly: their texture is a value noise whose lattice
// repeats every 120 px, seeded per set, so any two tiles of a set meet without a seam;
// what makes a tile its own (fields, woods, water, plates) stays inside it. Set 1 is
// farmland, set 2 desert and an industrial base, set 3 the fortress's metal decks.
// Terrain pieces stand on pure black (transparent) around their outline.
#include <cmath>

#include "Paint.h"

namespace makedata {
namespace {

constexpr Rgb kOutline{24, 24, 30};

int SetOf(Sheet sheet) {
    switch (sheet) {
    case Sheet::Haikei1: case Sheet::Haikei2: case Sheet::Haikei3: return 1;
    case Sheet::Haikei7: return 3;
    default: return 2;
    }
}

// Periodic value noise in 0..255: lattice every `cell` px, repeating every 120 px.
int Noise(int u, int v, int cell, uint32_t seed) {
    const int n = 120 / cell;
    const int i = u / cell, j = v / cell;
    const int fu = (u % cell) * 256 / cell, fv = (v % cell) * 256 / cell;
    auto at = [&](int a, int b) { return int(Hash(uint32_t((a % n + n) % n), uint32_t((b % n + n) % n), seed) & 255); };
    const int top = at(i, j) * (256 - fu) + at(i + 1, j) * fu;
    const int bottom = at(i, j + 1) * (256 - fu) + at(i + 1, j + 1) * fu;
    return (top / 256 * (256 - fv) + bottom / 256 * fv) / 256;
}

int Texture(int u, int v, uint32_t seed) {
    return (Noise(u, v, 40, seed) * 2 + Noise(u, v, 20, seed + 1) + Noise(u, v, 8, seed + 2)) / 4;
}

void Textured(Canvas& cv, const Box& b, Rgb lo, Rgb hi, uint32_t seed) {
    for (int v = 0; v < b.h; ++v)
        for (int u = 0; u < b.w; ++u) cv.Set(b.x + u, b.y + v, Mix(lo, hi, Texture(u % 120, v % 120, seed)));
}

void Tree(Canvas& cv, double x, double y, double r) {
    cv.FillCircle(x + 2, y + 3, r, {30, 60, 30});
    cv.FillCircle(x, y, r, {40, 110, 40});
    cv.FillCircle(x - r * 0.3, y - r * 0.3, r * 0.45, {80, 160, 70});
}

void Tile(Canvas& cv, const Box& b, int set, int id) {
    const uint32_t h = Hash(uint32_t(set), uint32_t(id), 11);
    if (set == 1) {
        const int kind = id <= 18 ? (id - 1) / 6 : 3;  // 0 grass, 1 woods, 2 fields, 3 shore and water
        Textured(cv, b, {58, 104, 44}, {96, 150, 64}, 100);
        if (kind == 1) {
            for (int k = 0; k < 14; ++k) {
                const uint32_t t = Hash(uint32_t(id), uint32_t(k), 1);
                Tree(cv, b.x + 12 + t % 96, b.y + 12 + t / 96 % 96, 7 + t % 5);
            }
        } else if (kind == 2) {
            const Rgb crop = id % 2 ? Rgb{170, 150, 70} : Rgb{120, 140, 60};
            cv.FillRect(b.x + 8, b.y + 8, b.w - 16, b.h - 16, crop);
            for (int y = b.y + 12; y < b.y + b.h - 10; y += 6) cv.FillRect(b.x + 10, y, b.w - 20, 2, Darker(crop));
        } else if (kind == 3) {
            cv.FillEllipse(b.cx(), b.cy(), 44 + h % 12, 36 + h % 10, {170, 160, 110});
            for (int v = 0; v < b.h; ++v) {
                for (int u = 0; u < b.w; ++u) {
                    const double dx = (u + 0.5 - b.w / 2.0) / (38.0 + h % 10), dy = (v + 0.5 - b.h / 2.0) / (30.0 + h % 8);
                    if (dx * dx + dy * dy <= 1.0)
                        cv.Set(b.x + u, b.y + v, Mix({30, 80, 150}, {70, 140, 200}, Noise(u, v, 8, 7) + ((u + v) % 16 < 2 ? 60 : 0)));
                }
            }
        } else if (h % 3 == 0) {
            cv.FillCircle(b.cx() + double(h % 30) - 15, b.cy(), 9, {110, 100, 80});  // a boulder
        }
        return;
    }
    if (set == 2) {
        if (id <= 29 || id >= 39) {  // desert and rock
            Textured(cv, b, {170, 140, 90}, {214, 190, 130}, 200);
            if (id >= 39) {
                for (int k = 0; k < 5; ++k) {
                    const uint32_t t = Hash(uint32_t(id), uint32_t(k), 2);
                    cv.FillEllipse(b.x + 20 + t % 80, b.y + 20 + t / 80 % 80, 10 + t % 8, 7 + t % 6, {130, 104, 70});
                }
            } else {
                for (int y = 10; y < b.h; y += 24) cv.FillRect(b.x + 6 + int(h % 20), b.y + y + int(h % 7), 50, 2, {190, 160, 100});
            }
            return;
        }
        // The base: concrete plates with seams on the tile edges and markings.
        Textured(cv, b, {110, 112, 116}, {150, 152, 156}, 300);
        cv.FrameRect(b.x, b.y, b.w, b.h, {84, 86, 90}, 2);
        cv.FillRect(b.x, b.y + 59, b.w, 2, {96, 98, 102});
        cv.FillRect(b.x + 59, b.y, 2, b.h, {96, 98, 102});
        if (id % 3 == 0)
            for (int y = 8; y < b.h; y += 28) cv.FillRect(b.x + 57, b.y + y, 6, 14, {230, 200, 60});
        if (id % 3 == 1) {
            cv.FillRect(b.x + 20, b.y + 20, 20, 20, {200, 160, 40});
            cv.FillRect(b.x + 24, b.y + 24, 12, 12, {60, 62, 66});
        }
        return;
    }
    // Set 3: the fortress's decks.
    Textured(cv, b, {70, 78, 96}, {110, 120, 140}, 400);
    cv.FrameRect(b.x, b.y, b.w, b.h, {50, 56, 70}, 2);
    cv.FrameRect(b.x + 4, b.y + 4, b.w - 8, b.h - 8, {124, 134, 156}, 1);
    const int style = id % 4;
    if (style == 0) {
        for (int y = 16; y < b.h - 12; y += 10) cv.FillRect(b.x + 16, b.y + y, b.w - 32, 4, {40, 46, 60});  // vents
    } else if (style == 1) {
        cv.FillRect(b.x + 54, b.y, 12, b.h, {90, 96, 110});  // a pipe along the tile
        cv.FillRect(b.x + 56, b.y, 3, b.h, {150, 156, 170});
    } else if (style == 2) {
        cv.FillCircle(b.cx(), b.cy(), 24, {56, 62, 78});
        cv.Ring(b.cx(), b.cy(), 24, 3, {150, 160, 180});
        cv.FillCircle(b.cx(), b.cy(), 5, {90, 220, 255});
    } else {
        for (int k = 0; k < 4; ++k) cv.FillRect(b.x + 14 + k * 26, b.y + 14, 6, 6, {255, uint8_t(80 + 40 * k), 60});  // lights
    }
}

void Building(Canvas& cv, double x, double y, double w, double h, Rgb roof) {
    cv.FillRect(int(x) + 4, int(y) + 5, int(w), int(h), {30, 30, 34});  // shadow
    cv.FillRect(int(x) - 1, int(y) - 1, int(w) + 2, int(h) + 2, kOutline);
    cv.FillRect(int(x), int(y), int(w), int(h), roof);
    cv.FillRect(int(x), int(y), int(w), int(h) / 2, Lighter(roof));
    cv.FillRect(int(x), int(y + h / 2), int(w), 1, Darker(roof));
}

void Terrain(Canvas& cv, const Box& b, int set, int id) {
    const uint32_t h = Hash(uint32_t(set), uint32_t(id), 21);
    const double cx = b.cx(), cy = b.cy();
    if (b.w == 240) {  // the two large structures: a hangar complex and a fortified dome
        if (id == 52) {
            Building(cv, b.x + 20, b.y + 30, 200, 120, {120, 130, 110});
            for (int k = 0; k < 5; ++k) cv.FillRect(b.x + 30 + k * 38, b.y + 40, 30, 100, {100, 110, 92});
            Building(cv, b.x + 40, b.y + 166, 60, 50, {150, 90, 70});
            Building(cv, b.x + 130, b.y + 166, 80, 50, {150, 90, 70});
        } else {
            cv.FillCircle(cx + 5, cy + 6, 100, {30, 30, 34});
            cv.FillCircle(cx, cy, 101, kOutline);
            cv.FillCircle(cx, cy, 100, {130, 126, 118});
            cv.FillCircle(cx, cy, 70, {160, 156, 148});
            cv.FillCircle(cx - 20, cy - 20, 30, {190, 186, 178});
            for (int k = 0; k < 8; ++k) {
                const double a = k * 3.14159265358979 / 4;
                cv.FillCircle(cx + std::cos(a) * 86, cy + std::sin(a) * 86, 6, {90, 88, 84});
            }
        }
        return;
    }
    if (b.h == 240) {  // a tall tower with a walkway
        Building(cv, b.x + 30, b.y + 10, 60, 220, {140, 140, 150});
        for (int y = 20; y < 230; y += 30) cv.FillRect(b.x + 36, b.y + y, 48, 6, {90, 90, 100});
        cv.FillCircle(cx, b.y + 40, 10, {255, 90, 60});
        return;
    }
    const int style = int(h % 5);
    if (set == 1) {
        switch (style) {
        case 0:  // a farmhouse
            Building(cv, cx - 34, cy - 22, 68, 44, {170, 70, 50});
            break;
        case 1:  // a clump of trees
            for (int k = 0; k < 8; ++k) {
                const uint32_t t = Hash(uint32_t(id), uint32_t(k), 4);
                Tree(cv, cx - 30 + t % 60, cy - 30 + t / 60 % 60, 12 + t % 6);
            }
            break;
        case 2:  // silos
            for (int k = 0; k < 3; ++k) {
                cv.FillCircle(cx - 30 + k * 30 + 3, cy + 4, 14, {30, 30, 34});
                cv.FillCircle(cx - 30 + k * 30, cy, 14, {190, 190, 180});
                cv.FillCircle(cx - 34 + k * 30, cy - 4, 6, {230, 230, 220});
            }
            break;
        case 3:  // rocks
            cv.FillEllipse(cx, cy, 44, 30, {100, 92, 80});
            cv.FillEllipse(cx - 8, cy - 6, 30, 18, {140, 130, 116});
            break;
        default:  // a barn with a yard
            cv.FillRect(int(cx) - 46, int(cy) - 36, 92, 72, {140, 120, 80});
            Building(cv, cx - 30, cy - 20, 60, 40, {120, 60, 40});
            break;
        }
        return;
    }
    if (set == 2) {
        switch (style) {
        case 0:  // fuel tanks
            for (int k = 0; k < 4; ++k) {
                const double x = cx - 24 + (k % 2) * 48, y = cy - 24 + (k / 2) * 48;
                cv.FillCircle(x, y, 20, kOutline);
                cv.FillCircle(x, y, 19, {200, 200, 190});
                cv.Ring(x, y, 12, 2, {150, 150, 140});
            }
            break;
        case 1:  // a radar dish
            cv.FillCircle(cx, cy, 40, kOutline);
            cv.FillCircle(cx, cy, 39, {180, 186, 196});
            cv.FillCircle(cx - 6, cy - 6, 28, {220, 226, 236});
            cv.FillCircle(cx, cy, 6, {255, 80, 60});
            break;
        case 2:  // containers
            for (int k = 0; k < 3; ++k)
                Building(cv, cx - 48, cy - 40 + k * 28, 96, 22, k == 1 ? Rgb{60, 110, 170} : Rgb{180, 90, 40});
            break;
        case 3:  // a hangar
            Building(cv, cx - 50, cy - 40, 100, 80, {120, 126, 120});
            for (int x = -44; x < 46; x += 10) cv.FillRect(int(cx) + x, int(cy) - 36, 2, 72, {96, 100, 96});
            break;
        default:  // a crater
            cv.FillEllipse(cx, cy, 48, 40, {120, 96, 64});
            cv.FillEllipse(cx + 4, cy + 4, 34, 28, {80, 62, 42});
            break;
        }
        return;
    }
    // Set 3: armoured blocks.
    Building(cv, cx - 50, cy - 50, 100, 100, {96, 104, 124});
    cv.FillRect(int(cx) - 30, int(cy) - 30, 60, 60, {70, 76, 92});
    cv.FillCircle(cx, cy, 12, id == 1 ? Rgb{255, 90, 60} : Rgb{90, 220, 255});
}

}  // namespace

void PaintBackgroundCell(Canvas& cv, const Box& b, Sheet sheet, SpriteTable table, int id) {
    const int set = SetOf(sheet);
    if (table == SpriteTable::BgTileSprites) return Tile(cv, b, set, id);
    Terrain(cv, b, set, id);
}

}  // namespace makedata
