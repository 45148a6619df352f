// PaintEnemies.cpp: ground enemies, air enemies, their parts and the bosses.
//
// Enemy art faces down (the game turns it by angle - 256). Families keep one look and
// colour each, so a player tells them apart at a glance: ground vehicles olive with
// tracks, emplacements concrete grey, carriers and crawlers steel blue-grey, air
// enemies in blues and purples with swept wings, turrets rust red, bosses large plated
// hulls in their stage's colour. Frame 1 of a boss is its burnt-out wreck; frames from 8
// are sub-sprites (hatches from shut to open, turning turrets, engine lights).
#include <algorithm>
#include <cmath>

#include "Paint.h"

namespace makedata {

Rgb Darker(Rgb c) { return Scale(c, 150); }
Rgb Lighter(Rgb c) { return Mix(c, {255, 255, 255}, 90); }

namespace {

constexpr Rgb kOutline{24, 24, 30};
constexpr Rgb kSlit{40, 12, 8};
constexpr Rgb kGlow{255, 96, 32};
constexpr Rgb kMetal{150, 156, 168};

Rgb Tint(Rgb c, int type) {
    // A small per-type shift so that neighbours of a family differ.
    const int k = int(Hash(uint32_t(type), 77) % 5) * 12 - 24;
    auto t = [k](int v) { return uint8_t(std::max(8, std::min(250, v + k))); };
    return {t(c.r), c.g, t(c.b)};
}

void ShadedRect(Canvas& cv, double x, double y, double w, double h, Rgb c) {
    cv.FillRect(int(x) - 1, int(y) - 1, int(w) + 2, int(h) + 2, kOutline);
    cv.FillRect(int(x), int(y), int(w), int(h), c);
    cv.FillRect(int(x) + 1, int(y) + 1, int(w) - 2, std::max(1, int(h) / 4), Lighter(c));
    cv.FillRect(int(x) + 1, int(y + h) - std::max(1, int(h) / 6), int(w) - 2, std::max(1, int(h) / 6) - 1, Darker(c));
}

void ShadedEllipse(Canvas& cv, double cx, double cy, double rx, double ry, Rgb c) {
    cv.FillEllipse(cx, cy, rx + 1, ry + 1, kOutline);
    cv.FillEllipse(cx, cy, rx, ry, Darker(c));
    cv.FillEllipse(cx - rx * 0.12, cy - ry * 0.12, rx * 0.85, ry * 0.85, c);
    cv.FillEllipse(cx - rx * 0.35, cy - ry * 0.35, rx * 0.3, ry * 0.3, Lighter(c));
}

// Barrels pointing down from (cx, cy).
void Barrels(Canvas& cv, double cx, double cy, double length, int count, double spread, double width) {
    for (int k = 0; k < count; ++k) {
        const double x = cx + (k - (count - 1) / 2.0) * spread;
        cv.Line(x, cy, x, cy + length, width + 2, kOutline);
        cv.Line(x, cy, x, cy + length, width, kMetal);
    }
}

// A hatch from shut (0) to open (3): a plate whose dark slit widens to a glowing opening.
void Hatch(Canvas& cv, const Box& b, int open, Rgb plate) {
    ShadedRect(cv, b.x + 1, b.y + 1, b.w - 2, b.h - 2, plate);
    const double gap = (b.h - 4) * open / 3.0;
    if (open == 0) {
        cv.FillRect(b.x + 2, int(b.cy()), b.w - 4, 1, Darker(plate));
        return;
    }
    const int top = int(b.cy() - gap / 2);
    cv.FillRect(b.x + 2, top, b.w - 4, std::max(1, int(gap)), kSlit);
    cv.FillCircle(b.cx(), b.cy(), std::max(1.0, gap / 3), kGlow);
}

void Treads(Canvas& cv, const Box& b, double inset, Rgb c) {
    const double tw = b.w * 0.22;
    for (int side = 0; side < 2; ++side) {
        const double x = side == 0 ? b.x + inset : b.x + b.w - inset - tw;
        ShadedRect(cv, x, b.y + inset, tw, b.h - 2 * inset, {70, 66, 56});
        for (double y = b.y + inset + 2; y < b.y + b.h - inset - 1; y += 4) cv.FillRect(int(x) + 1, int(y), int(tw) - 2, 1, c);
    }
}

void Vehicle(Canvas& cv, const Box& b, int type) {
    const Rgb body = Tint({112, 128, 64}, type);
    Treads(cv, b, 2, {46, 44, 38});
    ShadedRect(cv, b.x + b.w * 0.2, b.y + b.h * 0.12, b.w * 0.6, b.h * 0.76, body);
    cv.FillRect(int(b.x + b.w * 0.3), int(b.y + b.h * 0.72), int(b.w * 0.4), 2, Lighter(body));  // front plate
    cv.FillCircle(b.cx(), b.cy(), b.w * 0.12, Darker(body));  // turret ring
}

void Emplacement(Canvas& cv, const Box& b, int type) {
    const Rgb concrete = Tint({150, 146, 136}, type);
    const double r = std::min(b.w, b.h) / 2.0 - 2, k = r * 0.42;
    const double cx = b.cx(), cy = b.cy();
    cv.FillPolygon({cx - k, cy - r, cx + k, cy - r, cx + r, cy - k, cx + r, cy + k, cx + k, cy + r, cx - k, cy + r,
                    cx - r, cy + k, cx - r, cy - k},
                   kOutline);
    const double s = r - 1.5, q = s * 0.42;
    cv.FillPolygon({cx - q, cy - s, cx + q, cy - s, cx + s, cy - q, cx + s, cy + q, cx + q, cy + s, cx - q, cy + s,
                    cx - s, cy + q, cx - s, cy - q},
                   concrete);
    cv.Ring(cx, cy, r * 0.62, 2, Darker(concrete));
    for (int k2 = 0; k2 < 4; ++k2) cv.FillRect(int(cx - r * 0.8) + int(k2 * r * 0.5), int(cy + r * 0.75), 2, 2, {200, 180, 60});
}

void Carrier(Canvas& cv, const Box& b, int type) {
    const Rgb steel = Tint({92, 110, 140}, type);
    const double cx = b.cx();
    cv.FillPolygon({cx - b.w * 0.30, b.y + 1.0, cx + b.w * 0.30, b.y + 1.0, b.x + b.w - 1.0, b.y + b.h * 0.25,
                    b.x + b.w - 1.0, b.y + b.h * 0.8, cx + b.w * 0.2, b.y + b.h - 1.0, cx - b.w * 0.2, b.y + b.h - 1.0,
                    b.x + 1.0, b.y + b.h * 0.8, b.x + 1.0, b.y + b.h * 0.25},
                   kOutline);
    cv.FillPolygon({cx - b.w * 0.28, b.y + 2.5, cx + b.w * 0.28, b.y + 2.5, b.x + b.w - 2.5, b.y + b.h * 0.26,
                    b.x + b.w - 2.5, b.y + b.h * 0.79, cx + b.w * 0.19, b.y + b.h - 2.5, cx - b.w * 0.19, b.y + b.h - 2.5,
                    b.x + 2.5, b.y + b.h * 0.79, b.x + 2.5, b.y + b.h * 0.26},
                   steel);
    ShadedRect(cv, cx - b.w * 0.18, b.y + b.h * 0.2, b.w * 0.36, b.h * 0.6, Lighter(steel));
    for (int k = 1; k < 5; ++k) cv.FillRect(b.x + 4, int(b.y + b.h * k / 5.0), 6, 2, Darker(steel));
    for (int k = 1; k < 5; ++k) cv.FillRect(b.x + b.w - 10, int(b.y + b.h * k / 5.0), 6, 2, Darker(steel));
    cv.FillCircle(b.x + 8, b.y + b.h - 10, 3, kGlow);  // hover jets
    cv.FillCircle(b.x + b.w - 8, b.y + b.h - 10, 3, kGlow);
}

void GridShooter(Canvas& cv, const Box& b, int type, int open) {
    const Rgb hull = Tint({128, 104, 72}, type);
    Treads(cv, b, 1, {46, 44, 38});
    ShadedRect(cv, b.x + b.w * 0.17, b.y + 4, b.w * 0.66, b.h - 8, hull);
    for (int r = -1; r <= 1; ++r) {
        for (int c = -1; c <= 1; ++c) {
            const Box cellBox{int(b.cx() + c * 15 - 6), int(b.cy() + r * 15 - 6), 12, 12};
            Hatch(cv, cellBox, open, Darker(hull));
        }
    }
}

void Crawler(Canvas& cv, const Box& b, int type) {
    const Rgb hull = Tint({84, 96, 112}, type);
    Treads(cv, b, 2, {40, 40, 40});
    ShadedEllipse(cv, b.cx(), b.cy(), b.w * 0.34, b.h * 0.42, hull);
    cv.Ring(b.cx(), b.cy(), std::min(b.w, b.h) * 0.24, 3, Darker(hull));
    cv.FillRect(int(b.cx() - 3), int(b.y + b.h * 0.82), 6, int(b.h * 0.12), kGlow);
}

void SpinTank(Canvas& cv, const Box& b, int type) {
    const Rgb hull = Tint({140, 90, 60}, type);
    Treads(cv, b, 3, {40, 36, 30});
    ShadedRect(cv, b.x + b.w * 0.2, b.y + b.h * 0.15, b.w * 0.6, b.h * 0.7, hull);
    cv.Ring(b.cx(), b.cy(), b.w * 0.2, 2, Lighter(hull));
}

// Bosses: a big plated hull; frame 1 is the burnt-out wreck left on the field.
void Boss(Canvas& cv, const Box& b, int type, bool broken) {
    Rgb hull{};
    switch (type) {
    case 20: hull = {96, 120, 88}; break;   // stage 1
    case 32: hull = {120, 96, 120}; break;  // stage 2
    case 22: hull = {80, 112, 136}; break;  // stage 3
    case 28: hull = {140, 120, 80}; break;  // stage 4
    case 37: hull = {136, 88, 80}; break;   // stage 5
    case 16: hull = {88, 100, 128}; break;  // stage 6
    default: hull = {112, 112, 120}; break; // stage 7
    }
    if (broken) hull = Scale(hull, 110);
    const double cx = b.cx(), cy = b.cy(), w = b.w - 4.0, h = b.h - 4.0;
    // Each boss its own silhouette, given as (x, y) in halves of the cell from its centre.
    std::vector<double> shape;
    switch (type) {
    case 20:  // a battleship, bow down
        shape = {-0.55, -1, 0.55, -1, 0.8, -0.7, 0.8, 0.45, 0.35, 0.9, 0, 1, -0.35, 0.9, -0.8, 0.45, -0.8, -0.7};
        break;
    case 32:  // a round fortress
        for (int k = 0; k < 16; ++k) {
            const double a = k * 3.14159265358979 / 8, r = k % 2 ? 0.92 : 1.0;
            shape.push_back(std::cos(a) * r), shape.push_back(std::sin(a) * r);
        }
        break;
    case 22: case 37:  // long narrow halves with a stepped side
        shape = {-0.7, -1, 0.7, -1, 1, -0.6, 1, 0.2, 0.7, 0.5, 0.7, 0.85, 0.3, 1, -0.3, 1, -0.7, 0.85, -0.7, 0.5,
                 -1, 0.2, -1, -0.6};
        break;
    case 28:  // a wedge
        shape = {-1, -1, 1, -1, 1, -0.2, 0.45, 1, -0.45, 1, -1, -0.2};
        break;
    case 16:  // a wide flying wing
        shape = {-0.3, -1, 0.3, -1, 1, -0.35, 1, 0.1, 0.3, 1, -0.3, 1, -1, 0.1, -1, -0.35};
        break;
    default:  // the last fortress: a heavy octagon with bastions
        shape = {-0.6, -1, 0.6, -1, 0.75, -0.8, 1, -0.8, 1, 0.6, 0.6, 1, -0.6, 1, -1, 0.6, -1, -0.8, -0.75, -0.8};
        break;
    }
    std::vector<double> outer;
    for (size_t k = 0; k < shape.size(); k += 2) outer.push_back(cx + shape[k] * w / 2), outer.push_back(cy + shape[k + 1] * h / 2);
    std::vector<double> grown = outer, inner = outer;
    for (size_t k = 0; k < outer.size(); k += 2) {
        grown[k] = cx + (outer[k] - cx) * 1.03, grown[k + 1] = cy + (outer[k + 1] - cy) * 1.03;
        inner[k] = cx + (outer[k] - cx) * 0.72, inner[k + 1] = cy + (outer[k + 1] - cy) * 0.72;
    }
    cv.FillPolygon(grown, kOutline);
    cv.FillPolygon(outer, hull);
    cv.FillPolygon(inner, Lighter(hull));
    // Plating: rivet rows and seams.
    // Seams darken the hull only: never the transparent surroundings.
    auto seam = [&](int x0, int y0, int sw, int sh) {
        for (int y = std::max(y0, b.y); y < std::min(y0 + sh, b.y + b.h); ++y) {
            for (int x = std::max(x0, b.x); x < std::min(x0 + sw, b.x + b.w); ++x) {
                const Rgb c = cv.Get(x, y);
                if (c.r + c.g + c.b > 0 && !(c.r == kOutline.r && c.g == kOutline.g && c.b == kOutline.b))
                    cv.Set(x, y, Scale(c, 200));
            }
        }
    };
    for (double y = cy - h * 0.4; y < cy + h * 0.45; y += 12) seam(int(cx - w * 0.35), int(y), int(w * 0.7), 1);
    for (double x = cx - w * 0.4; x < cx + w * 0.42; x += 16) seam(int(x), int(cy - h * 0.3), 1, int(h * 0.6));
    ShadedRect(cv, cx - w * 0.12, cy - h * 0.18, w * 0.24, h * 0.36, Darker(hull));
    cv.FillCircle(cx, cy, std::min(w, h) * 0.07, broken ? Rgb{60, 50, 40} : kGlow);
    if (broken) {
        // Scorch marks and cracks.
        for (int k = 0; k < 9; ++k) {
            const uint32_t r = Hash(uint32_t(type), uint32_t(k), 5);
            const double x = cx + (int(r % 1000) / 1000.0 - 0.5) * w * 0.8;
            const double y = cy + (int(r / 1000 % 1000) / 1000.0 - 0.5) * h * 0.8;
            const Rgb under = cv.Get(int(x), int(y));
            if (under.r + under.g + under.b == 0) continue;  // scorch marks stay on the hull
            cv.FillCircle(x, y, 2 + r % 5, {44, 38, 34});
            cv.Line(x, y, x + double(r % 21) - 10, y + double(r / 21 % 21) - 10, 2, {30, 26, 24});
        }
    } else {
        for (int side : {-1, 1}) {  // running lights, where the hull is
            const double x = cx + side * w * 0.3, y = cy + h * 0.3;
            const Rgb under = cv.Get(int(x), int(y));
            if (under.r + under.g + under.b > 0) cv.FillCircle(x, y, 3, {120, 220, 255});
        }
    }
}

void Turret(Canvas& cv, const Box& b, Rgb base, int barrels, bool air) {
    const double r = std::min(b.w, b.h) * 0.34;
    ShadedEllipse(cv, b.cx(), b.cy() - b.h * 0.08, r, r, base);
    Barrels(cv, b.cx(), b.cy(), b.h * 0.46, barrels, std::max(3.0, r * 0.55), air ? 2.0 : 3.0);
    cv.FillCircle(b.cx(), b.cy() - b.h * 0.08, r * 0.3, Lighter(base));
}

void GroundPart(Canvas& cv, const Box& b, int type) {
    const Rgb rust = Tint({168, 72, 48}, type);
    if (type == 0) {  // a broken gun: a scorched stump
        ShadedEllipse(cv, b.cx(), b.cy(), b.w * 0.3, b.h * 0.3, {70, 62, 56});
        cv.Line(b.cx(), b.cy(), b.cx() + 6, b.cy() + b.h * 0.3, 3, {90, 80, 70});
        return;
    }
    if (type == 13 || type == 15) {  // hatch blocks: the hatches are sub-sprites on top
        ShadedRect(cv, b.x + 2, b.y + 2, b.w - 4, b.h - 4, Tint({110, 80, 70}, type));
        return;
    }
    if (type == 30) {
        ShadedRect(cv, b.x + 2, b.y + 2, b.w - 4, b.h - 4, {120, 84, 64});
        Barrels(cv, b.cx(), b.cy(), b.h * 0.45, 4, 8, 3);
        return;
    }
    int barrels = 1;
    switch (type) {
    case 2: case 8: case 21: case 25: case 26: case 28: case 29: barrels = 2; break;
    case 9: case 14: case 16: case 24: barrels = 3; break;
    case 31: barrels = 4; break;
    default: break;
    }
    Turret(cv, b, rust, barrels, false);
}

void AirEnemy(Canvas& cv, const Box& b, int type, int frame) {
    Rgb body{};
    switch (type) {
    case 1: body = {70, 110, 200}; break;
    case 2: body = {140, 80, 200}; break;
    case 10: body = {60, 170, 170}; break;
    case 4: case 7: body = {100, 140, 110}; break;
    case 3: body = {130, 130, 150}; break;
    case 5: case 6: body = {120, 100, 170}; break;
    default: body = {90, 96, 160}; break;
    }
    const double cx = b.cx(), cy = b.cy(), w = b.w, h = b.h;
    auto both = [&](const std::vector<double>& p, Rgb c) {
        std::vector<double> g = p;
        for (size_t k = 0; k < p.size(); k += 2) g[k] = cx + (p[k] - cx) * 1.06, g[k + 1] = cy + (p[k + 1] - cy) * 1.06;
        cv.FillPolygon(g, kOutline);
        cv.FillPolygon(p, c);
    };
    if (type == 8 || type == 9) {  // flagship: a wide flying wing
        both({cx, cy + h * 0.45, cx + w * 0.48, cy - h * 0.1, cx + w * 0.4, cy - h * 0.42, cx - w * 0.4, cy - h * 0.42,
              cx - w * 0.48, cy - h * 0.1},
             type == 8 ? Rgb{110, 90, 150} : Rgb{90, 110, 150});
        ShadedRect(cv, cx - w * 0.12, cy - h * 0.35, w * 0.24, h * 0.55, {160, 160, 190});
        for (int k = -3; k <= 3; ++k) cv.FillCircle(cx + k * w * 0.1, cy - h * 0.2, 2.5, {255, 220, 120});
        return;
    }
    if (type == 4 || type == 7) {  // rotor craft: a pod with skids (the rotor is a part)
        ShadedEllipse(cv, cx, cy, w * 0.22, h * 0.38, body);
        cv.FillRect(int(cx - w * 0.38), int(cy - h * 0.25), 3, int(h * 0.5), kMetal);
        cv.FillRect(int(cx + w * 0.38) - 3, int(cy - h * 0.25), 3, int(h * 0.5), kMetal);
        cv.Line(cx, cy - h * 0.35, cx, cy - h * 0.48, 4, Darker(body));
        cv.FillEllipse(cx, cy + h * 0.18, w * 0.1, h * 0.08, {150, 220, 255});
        return;
    }
    if (type == 3 || type == 5 || type == 6) {  // gunships: heavy delta with engine pods
        both({cx, cy + h * 0.46, cx + w * 0.46, cy - h * 0.05, cx + w * 0.3, cy - h * 0.42, cx - w * 0.3, cy - h * 0.42,
              cx - w * 0.46, cy - h * 0.05},
             body);
        ShadedRect(cv, cx - w * 0.1, cy - h * 0.4, w * 0.2, h * 0.75, Lighter(body));
        cv.FillCircle(cx - w * 0.2, cy - h * 0.38, 4, kGlow);
        cv.FillCircle(cx + w * 0.2, cy - h * 0.38, 4, kGlow);
        return;
    }
    // Fighters: swept wings, nose down; frames flicker the engine and wing lights.
    both({cx, cy + h * 0.46, cx + w * 0.12, cy + h * 0.1, cx + w * 0.46, cy - h * 0.2, cx + w * 0.42, cy - h * 0.34,
          cx + w * 0.1, cy - h * 0.22, cx + w * 0.08, cy - h * 0.44, cx - w * 0.08, cy - h * 0.44, cx - w * 0.1,
          cy - h * 0.22, cx - w * 0.42, cy - h * 0.34, cx - w * 0.46, cy - h * 0.2, cx - w * 0.12, cy + h * 0.1},
         body);
    cv.FillEllipse(cx, cy + h * 0.12, w * 0.06, h * 0.14, {180, 230, 255});
    const int glow = 150 + 35 * (frame % 4);
    cv.FillCircle(cx, cy - h * 0.42, 2 + frame % 2, {255, uint8_t(glow), 60});
    const Rgb wingLight = frame % 2 ? Rgb{255, 80, 80} : Rgb{80, 255, 120};
    cv.FillRect(int(cx - w * 0.42), int(cy - h * 0.3), 2, 2, wingLight);
    cv.FillRect(int(cx + w * 0.42) - 2, int(cy - h * 0.3), 2, 2, wingLight);
}

void AirSub(Canvas& cv, const Box& b, int kind, int frame) {
    if (kind == 3) {  // gun pods, shut to open
        Hatch(cv, b, frame, {120, 120, 140});
        return;
    }
    // Engine lights: the flame grows and shrinks with the frame.
    const Rgb flame = kind == 5 ? Rgb{120, 200, 255} : Rgb{255, 180, 80};
    cv.FillEllipse(b.cx(), b.cy(), b.w * 0.45, b.h * 0.3, Darker(flame));
    cv.FillEllipse(b.cx(), b.cy(), b.w * (0.2 + 0.08 * frame), b.h * (0.18 + 0.06 * frame), flame);
    cv.FillEllipse(b.cx(), b.cy(), b.w * 0.1, b.h * 0.1, {255, 255, 230});
}

void AirPart(Canvas& cv, const Box& b, int type) {
    if (type == 2) {  // rotor blades, seen as a blurred disc with two blades
        cv.Ring(b.cx(), b.cy(), b.w * 0.48, 2, {120, 130, 140});
        cv.Line(b.x + 4, b.cy(), b.x + b.w - 4.0, b.cy(), 4, {170, 176, 186});
        cv.Line(b.cx(), b.y + 4, b.cx(), b.y + b.h - 4.0, 4, {170, 176, 186});
        cv.FillCircle(b.cx(), b.cy(), 5, {80, 80, 90});
        return;
    }
    Turret(cv, b, type <= 4 ? Rgb{90, 110, 190} : Rgb{150, 90, 190}, type == 1 ? 2 : 1, true);
}

void GroundSub(Canvas& cv, const Box& b, int kind, int frame) {
    switch (kind) {
    case 15:  // the ring fortress's turning turret: a four-armed star
        cv.FillCircle(b.cx(), b.cy(), b.w * 0.22, kOutline);
        for (int k = 0; k < 4; ++k) {
            const double a = k * 3.14159265358979 / 2;
            cv.Line(b.cx(), b.cy(), b.cx() + std::cos(a) * b.w * 0.45, b.cy() + std::sin(a) * b.h * 0.45, 5, {200, 90, 60});
        }
        cv.FillCircle(b.cx(), b.cy(), b.w * 0.18, {230, 140, 80});
        return;
    case 33:  // a spinning blade cross
        for (int k = 0; k < 2; ++k) {
            const double a = k * 3.14159265358979 / 2 + 0.4;
            cv.Line(b.cx() - std::cos(a) * b.w * 0.45, b.cy() - std::sin(a) * b.h * 0.45,
                    b.cx() + std::cos(a) * b.w * 0.45, b.cy() + std::sin(a) * b.h * 0.45, 4, {190, 190, 200});
        }
        cv.FillCircle(b.cx(), b.cy(), 5, {230, 80, 80});
        return;
    default: {
        Rgb plate{100, 100, 110};
        if (kind == 22 || kind == 28 || kind == 37 || kind == 16 || kind == 41) plate = {120, 110, 100};
        Hatch(cv, b, frame, plate);
        return;
    }
    }
}

}  // namespace

void PaintEnemyCell(Canvas& cv, const Box& b, SpriteTable table, int row, int frame) {
    switch (table) {
    case SpriteTable::GroundEnemySprites:
        if (frame >= 8) return GroundSub(cv, b, row, frame - 8);
        switch (row) {
        case 16: case 20: case 22: case 28: case 32: case 37: case 41: return Boss(cv, b, row, frame == 1);
        case 5: case 14: case 18: case 19: return GridShooter(cv, b, row, frame);
        case 6: case 10: case 13: case 17: case 29: return Emplacement(cv, b, row);
        case 4: case 7: case 12: case 21: return Carrier(cv, b, row);
        case 15: case 35: case 36: case 42: case 43: return Crawler(cv, b, row);
        case 11: case 25: case 26: return SpinTank(cv, b, row);
        default: return Vehicle(cv, b, row);
        }
    case SpriteTable::GroundPartSprites:
        if (frame >= 8) return GroundSub(cv, b, row, frame - 8);
        return GroundPart(cv, b, row);
    case SpriteTable::AirEnemySprites:
        if (frame >= 8) return AirSub(cv, b, row, frame - 8);
        return AirEnemy(cv, b, row, frame);
    case SpriteTable::AirPartSprites: return AirPart(cv, b, row);
    default: return;
    }
}

}  // namespace makedata
