// PaintFixed.cpp: the player, shots, napalm, bullets, blasts, items, wrecks, labels,
// the side panel, the title-menu frames, the title, the credits and the fonts.
//
// The player, shots and bullets face right (the game turns them by their angle). Shots
// are blue-white and drawn additive; enemy bullets are warm (orange, pink, red) or green
// so they never look like the player's own.
#include <cmath>
#include <string>

#include "Paint.h"

namespace makedata {
namespace {

constexpr double kPi = 3.14159265358979;
constexpr Rgb kOutline{24, 24, 30};
constexpr Rgb kWhite{250, 250, 250};

void Orb(Canvas& cv, double cx, double cy, double r, Rgb c) {
    cv.FillCircle(cx, cy, r, Darker(c));
    cv.FillCircle(cx, cy, r * 0.75, c);
    cv.FillCircle(cx - r * 0.25, cy - r * 0.25, r * 0.35, Mix(c, kWhite, 170));
}

void CenteredText(Canvas& cv, const Box& b, const std::string& text, int scale, Rgb c, Rgb outline, bool bold) {
    const int w = Canvas::TextWidth(text, scale, bold);
    cv.OutlinedText(b.x + (b.w - w) / 2, b.y + (b.h - 7 * scale) / 2, text, scale, c, outline, bold);
}

// ---- the player --------------------------------------------------------------------------
void Player(Canvas& cv, const Box& b, int frame) {
    const double cx = b.cx(), cy = b.cy();
    if (frame == 0) {  // the gunship, nose right
        cv.FillEllipse(cx + 4, cy, 24, 12, kOutline);
        cv.Line(cx - 30, cy, cx, cy, 7, kOutline);
        cv.FillPolygon({cx - 12, cy - 22, cx + 2, cy - 22, cx + 8, cy - 8, cx - 6, cy - 8}, {60, 90, 150});  // stub wings
        cv.FillPolygon({cx - 12, cy + 22, cx + 2, cy + 22, cx + 8, cy + 8, cx - 6, cy + 8}, {60, 90, 150});
        cv.Line(cx - 31, cy, cx, cy, 5, {110, 150, 210});  // tail boom
        cv.FillRect(int(cx - 34), int(cy - 9), 6, 18, {80, 120, 190});  // tail fin
        cv.FillEllipse(cx + 4, cy, 23, 11, {110, 150, 220});
        cv.FillEllipse(cx + 2, cy - 3, 17, 5, {170, 200, 245});
        cv.FillEllipse(cx + 17, cy, 7, 6, {120, 230, 255});  // canopy
        cv.FillRect(int(cx + 24), int(cy - 1), 10, 3, {220, 220, 230});  // nose gun
        cv.FillCircle(cx - 4, cy - 19, 3, {255, 200, 60});
        cv.FillCircle(cx - 4, cy + 19, 3, {255, 200, 60});
        return;
    }
    if (frame <= 2) {  // rotor: four blades, the second frame turned by 45 degrees
        const double turn = frame == 1 ? 0 : kPi / 4;
        cv.Ring(cx, cy, 28, 1, {90, 100, 120});
        for (int k = 0; k < 4; ++k) {
            const double a = turn + k * kPi / 2;
            cv.Line(cx, cy, cx + std::cos(a) * 28, cy + std::sin(a) * 28, 4, {200, 206, 220});
        }
        cv.FillCircle(cx, cy, 4, {90, 90, 100});
        return;
    }
    // Shield: a cyan bubble, its bright arcs turned between the two frames.
    cv.Ring(cx, cy, 31, 3, {0, 150, 190});
    cv.Ring(cx, cy, 27, 1, {0, 90, 120});
    for (int k = 0; k < 6; ++k) {
        const double a = (frame == 3 ? 0 : kPi / 6) + k * kPi / 3;
        cv.FillCircle(cx + std::cos(a) * 29, cy + std::sin(a) * 29, 3, {160, 255, 255});
    }
}

// ---- shots, napalm, rings ------------------------------------------------------------------
void Shot(Canvas& cv, const Box& b, int row, int frame) {
    const double cx = b.cx(), cy = b.cy();
    switch (row) {
    case 0: case 5: {  // a bolt, frame 0 the flash at the muzzle
        const Rgb c = row == 0 ? Rgb{80, 160, 255} : Rgb{120, 255, 200};
        if (frame == 0) {
            cv.FillCircle(cx, cy, 12, Darker(c));
            cv.FillCircle(cx, cy, 7, c);
            cv.FillCircle(cx, cy, 3, kWhite);
            return;
        }
        const double len = 10 + frame;
        cv.FillEllipse(cx, cy, len, 4, Darker(c));
        cv.FillEllipse(cx, cy, len - 2, 2.5, c);
        cv.FillEllipse(cx + 3, cy, len * 0.5, 1.2, kWhite);
        return;
    }
    case 6: {  // the fat shot
        const double len = 18 + frame * 1.5;
        cv.FillEllipse(cx, cy, len, 12 + frame % 3, {90, 60, 200});
        cv.FillEllipse(cx, cy, len - 5, 8, {170, 120, 255});
        cv.FillEllipse(cx + 4, cy, len * 0.5, 4, kWhite);
        return;
    }
    case 1:  // aim marker: crosshair ring
        cv.Ring(cx, cy, 14, 2, {255, 220, 80});
        cv.FillRect(int(cx) - 1, b.y, 2, 8, {255, 220, 80});
        cv.FillRect(int(cx) - 1, b.y + b.h - 8, 2, 8, {255, 220, 80});
        cv.FillRect(b.x, int(cy) - 1, 8, 2, {255, 220, 80});
        cv.FillRect(b.x + b.w - 8, int(cy) - 1, 8, 2, {255, 220, 80});
        return;
    case 2:  // napalm shell and its trail
        if (frame == 0) {
            cv.FillEllipse(cx, cy, 13, 8, kOutline);
            cv.FillEllipse(cx, cy, 12, 7, {200, 120, 40});
            cv.FillEllipse(cx + 4, cy - 2, 5, 2, {255, 210, 120});
        } else {
            cv.FillCircle(cx, cy, 4.5 - frame * 0.6, Mix({255, 220, 120}, {160, 60, 20}, frame * 50));
        }
        return;
    case 3: {  // napalm burst: a rolling fireball
        const double r = 22 + frame * 8;
        cv.FillCircle(cx, cy, r, {140, 40, 10});
        cv.FillCircle(cx, cy, r * 0.8, {230, 100, 20});
        cv.FillCircle(cx, cy, r * 0.55, {255, 190, 60});
        cv.FillCircle(cx, cy, r * 0.3, {255, 250, 200});
        return;
    }
    default: return;
    }
}

void Shockwave(Canvas& cv, const Box& b, int row, int frame) {
    const double cx = b.cx(), cy = b.cy();
    if (row == 0) {
        if (frame == 0) {
            cv.Ring(cx, cy, 15, 3, {255, 180, 90});
            cv.FillCircle(cx, cy, 6, {255, 240, 200});
        } else {
            cv.FillCircle(cx, cy, 4.5 - frame * 0.6, {255, 200, 120});
        }
        return;
    }
    const double r = 20 + frame * 10;
    cv.Ring(cx, cy, r, 6 - frame, {255, 160, 70});
    cv.Ring(cx, cy, r - 3, 2, {255, 240, 200});
}

// ---- enemy bullets --------------------------------------------------------------------------
void Bullet(Canvas& cv, const Box& b, int row, int frame) {
    const double cx = b.cx(), cy = b.cy();
    if (frame == 0 && (row <= 6 || row == 8) && b.w > 16) {  // muzzle flashes
        cv.FillEllipse(cx, cy, b.w * 0.45, b.h * 0.4, {200, 90, 20});
        cv.FillEllipse(cx + b.w * 0.08, cy, b.w * 0.3, b.h * 0.25, {255, 200, 80});
        cv.FillEllipse(cx + b.w * 0.12, cy, b.w * 0.12, b.h * 0.12, kWhite);
        return;
    }
    const double pulse = 0.85 + 0.05 * (frame % 4);
    switch (row) {
    case 0: Orb(cv, cx, cy, 6 * pulse, {255, 140, 40}); return;    // orange pellet
    case 1: Orb(cv, cx, cy, 6 * pulse, {255, 80, 180}); return;    // pink pellet
    case 2:                                                          // needle
        cv.FillEllipse(cx, cy, 7, 3, {200, 40, 40});
        cv.FillEllipse(cx + 1, cy, 5, 1.5, {255, 200, 160});
        return;
    case 3: Orb(cv, cx, cy, 5 * pulse, {120, 255, 80}); return;    // revenge: green
    case 4: case 7:                                                  // ring
        cv.Ring(cx, cy, 6.5 * pulse, 2.5, {255, 220, 60});
        cv.FillCircle(cx, cy, 2, {255, 255, 200});
        return;
    case 5:  // long shell
        cv.FillEllipse(cx, cy, b.w * 0.45, b.h * 0.35, {230, 110, 30});
        cv.FillEllipse(cx + 2, cy, b.w * 0.25, b.h * 0.18, {255, 230, 150});
        return;
    case 6: Orb(cv, cx, cy, b.w * 0.4 * pulse, {190, 80, 255}); return;   // purple orb
    case 8: Orb(cv, cx, cy, b.w * 0.4 * pulse, {255, 60, 60}); return;    // red orb
    case 9:  // star
        for (int k = 0; k < 4; ++k) {
            const double a = k * kPi / 4;
            cv.Line(cx - std::cos(a) * 10, cy - std::sin(a) * 10, cx + std::cos(a) * 10, cy + std::sin(a) * 10, 2,
                    {255, 255, 160});
        }
        cv.FillCircle(cx, cy, 4, kWhite);
        return;
    case 10: Orb(cv, cx, cy, frame == 0 ? 9 : 7, frame == 0 ? Rgb{255, 120, 40} : Rgb{255, 200, 60}); return;
    case 11:  // beam segment
        cv.FillRect(b.x, int(cy) - 5, b.w, 10, {200, 40, 120});
        cv.FillRect(b.x, int(cy) - 3, b.w, 6, frame == 0 ? Rgb{255, 120, 200} : Rgb{255, 160, 220});
        cv.FillRect(b.x, int(cy) - 1, b.w, 2, kWhite);
        return;
    default: return;
    }
}

// ---- blasts ------------------------------------------------------------------------------------
void Blast(Canvas& cv, const Box& b, int row, int frame) {
    static const int kFrames[4] = {6, 6, 8, 5};
    const double t = (frame + 1.0) / kFrames[row];
    const double cx = b.cx(), cy = b.cy(), rMax = b.w / 2.0 - 1;
    const double r = rMax * (0.35 + 0.65 * t);
    const Rgb outer = Mix({255, 120, 30}, {90, 60, 60}, int(t * 256));
    const Rgb inner = Mix({255, 250, 210}, {200, 70, 20}, int(t * 256));
    // Lumpy fireball: overlapping puffs placed by a fixed hash.
    for (int k = 0; k < 7; ++k) {
        const uint32_t h = Hash(uint32_t(row), uint32_t(k), 9);
        const double a = (h % 628) / 100.0, d = r * 0.45;
        cv.FillCircle(cx + std::cos(a) * d, cy + std::sin(a) * d, r * 0.55, outer);
    }
    if (t < 0.9) cv.FillCircle(cx, cy, r * 0.6 * (1.1 - t), inner);
}

// ---- items, wrecks ---------------------------------------------------------------------------
void Capsule(Canvas& cv, const Box& b, Rgb c, const std::string& letter) {
    cv.FillEllipse(b.cx(), b.cy(), b.w / 2.0, b.h / 2.0 - 1, kOutline);
    cv.FillEllipse(b.cx(), b.cy(), b.w / 2.0 - 1, b.h / 2.0 - 2, c);
    cv.FillEllipse(b.cx() - 2, b.cy() - 3, b.w / 4.0, 1.5, Mix(c, kWhite, 160));
    if (!letter.empty()) cv.Text(int(b.cx()) - 2, int(b.cy()) - 3, letter, 1, kWhite);
}

void Medal(Canvas& cv, const Box& b, int turn) {
    const double rx = (b.w / 2.0 - 1) * (turn == 0 ? 1.0 : turn == 1 ? 0.6 : 0.2);
    cv.FillEllipse(b.cx(), b.cy(), rx + 1, b.h / 2.0, {120, 80, 10});
    cv.FillEllipse(b.cx(), b.cy(), rx, b.h / 2.0 - 1.5, {240, 190, 40});
    if (turn == 0) {
        cv.Ring(b.cx(), b.cy(), 10, 1.5, {255, 240, 150});
        cv.Text(int(b.cx()) - 2, int(b.cy()) - 3, "$", 1, {150, 90, 10});
    } else {
        cv.FillRect(int(b.cx() - rx * 0.3), int(b.y + 4), std::max(1, int(rx * 0.6)), b.h - 8, {255, 240, 150});
    }
}

void Wreck(Canvas& cv, const Box& b, int kind, int frame) {
    // Smouldering crater; frames move the embers.
    const Rgb scorch{54, 44, 38};
    cv.FillEllipse(b.cx(), b.cy(), b.w * 0.46, b.h * 0.44, {40, 34, 30});
    cv.FillEllipse(b.cx(), b.cy(), b.w * 0.36, b.h * 0.34, scorch);
    for (int k = 0; k < 6 + kind * 4; ++k) {
        const uint32_t h = Hash(uint32_t(kind), uint32_t(k), uint32_t(frame));
        const double x = b.cx() + (int(h % 100) - 50) / 100.0 * b.w * 0.6;
        const double y = b.cy() + (int(h / 100 % 100) - 50) / 100.0 * b.h * 0.6;
        cv.FillRect(int(x), int(y), 2 + int(h % 3), 2, h % 3 == 0 ? Rgb{255, 120, 30} : Rgb{90, 80, 70});
    }
}

// ---- labels ----------------------------------------------------------------------------------------
void Label(Canvas& cv, const Box& b, int index) {
    constexpr Rgb kYellow{255, 230, 90}, kDark{40, 30, 10};
    if (index <= 1) return CenteredText(cv, b, index == 0 ? "10000" : "20000", 1, kYellow, kDark, true);
    if (index <= 23) {
        // "SHIELD MAX" strips: a light band sweeps across over the 20 phases.
        const int phase = index <= 3 ? index + 2 - 4 : index - 4;
        cv.FillRect(b.x, b.y, b.w, b.h, {0, 60, 80});
        const int band = b.x + phase * b.w / 20;
        cv.FillRect(band, b.y, 12, b.h, {60, 200, 220});
        cv.FrameRect(b.x, b.y, b.w, b.h, {0, 220, 255});
        CenteredText(cv, b, "SHIELD MAX", 1, kWhite, {0, 40, 60}, true);
        return;
    }
    if (index == 24) return CenteredText(cv, b, "TIME", 1, {255, 90, 90}, {60, 10, 10}, true);
    if (index <= 34) {
        const std::string digit(1, char('0' + index - 25));
        cv.OutlinedText(b.x + 3, b.y + 2, digit, 2, {255, 230, 90}, {90, 50, 0}, false);
        return;
    }
    if (index <= 38) {
        // The stage-clear tally draws its 20-px digits over this cell: the count right-aligned
        // to end 95 px from its left edge on the upper row (centred 14 px down), the points
        // from 79 px on along the lower row (centred 39 px down). The heading reads around
        // them: its word right of the count, "BONUS" left of the points, each on its row.
        static const char* const kWords[4] = {"TIME", "ITEM", "SHIELD", "LIFE"};
        constexpr Rgb kText{255, 255, 255}, kTextOutline{40, 60, 140};
        cv.FillRect(b.x, b.y + 4, b.w, b.h - 8, {20, 30, 70});
        cv.FrameRect(b.x, b.y + 4, b.w, b.h - 8, {120, 160, 255}, 2);
        cv.OutlinedText(b.x + 108, b.y + 8, kWords[index - 35], 2, kText, kTextOutline, false);
        cv.OutlinedText(b.x + 12, b.y + 33, "BONUS", 2, kText, kTextOutline, false);
        return;
    }
    static const char* const kPowerUps[6] = {"SHOT UP", "SHOT MAX", "NPLM UP", "NPLM MAX", "SHIELD1", "SHIELD2"};
    const Rgb c = index <= 40 ? Rgb{255, 120, 120} : index <= 42 ? Rgb{255, 190, 110} : Rgb{110, 240, 255};
    CenteredText(cv, b, kPowerUps[index - 39], 1, c, {30, 20, 20}, false);
}

// ---- panel, menus, title, credits ---------------------------------------------------------------------
void Panel(Canvas& cv, const Box& b) {
    for (int y = 0; y < b.h; ++y) cv.FillRect(b.x, b.y + y, b.w, 1, Mix({28, 34, 64}, {14, 16, 36}, y * 256 / b.h));
    cv.FrameRect(b.x, b.y, b.w, b.h, {90, 110, 180}, 3);
    cv.FillRect(b.x + 3, b.y + 3, 2, b.h - 6, {50, 60, 110});
    cv.OutlinedText(b.x + 28, b.y + 24, "ZARNOVIK", 2, {255, 200, 80}, {90, 40, 0}, false);
    cv.FillRect(b.x + 12, b.y + 50, b.w - 24, 2, {90, 110, 180});
    constexpr Rgb kLabel{150, 190, 255};
    // Each label sits just above (or left of) the row where the game draws its value.
    cv.Text(b.x + 15, b.y + 78, "HI-SCORE", 1, kLabel, true);
    cv.Text(b.x + 15, b.y + 108, "SCORE", 1, kLabel, true);
    cv.Text(b.x + 15, b.y + 152, "STAGE", 1, kLabel, true);
    cv.Text(b.x + 15, b.y + 182, "LIVES", 1, kLabel, true);
    cv.Text(b.x + 19, b.y + 290, "SHOT", 1, kLabel, true);
    cv.Text(b.x + 19, b.y + 320, "NAPALM", 1, kLabel, true);
    cv.Text(b.x + 19, b.y + 350, "SHIELD", 1, kLabel, true);
    cv.Text(b.x + 19, b.y + 400, "BONUS", 1, kLabel, true);
    // Wells for the values and the power boxes.
    constexpr Rgb kWell{10, 12, 26};
    cv.FillRect(b.x + 13, b.y + 88, 136, 16, kWell);
    cv.FillRect(b.x + 13, b.y + 118, 136, 16, kWell);
    cv.FillRect(b.x + 109, b.y + 148, 40, 16, kWell);
    cv.FillRect(b.x + 121, b.y + 178, 28, 16, kWell);
    for (int i = 0; i < 6; ++i) {
        cv.FrameRect(b.x + 18 + 16 * i, b.y + 302, 17, 13, {60, 70, 110});
        cv.FrameRect(b.x + 18 + 16 * i, b.y + 332, 17, 13, {60, 70, 110});
    }
    cv.FrameRect(b.x + 18, b.y + 362, 97, 13, {60, 70, 110});
    for (int i = 0; i < 12; ++i) cv.FrameRect(b.x + 18 + 11 * i, b.y + 412, 12, 13, {60, 70, 110});
    cv.FillRect(b.x + 12, b.y + 440, b.w - 24, 2, {90, 110, 180});
    cv.Text(b.x + 22, b.y + 452, "Z SHOT  X NAPALM", 1, {110, 120, 160});
}

void MenuFrame(Canvas& cv, const Box& b) {
    cv.FillRect(b.x, b.y, b.w, b.h, {16, 22, 48});
    cv.FrameRect(b.x, b.y, b.w, b.h, {100, 130, 220}, 2);
    cv.FrameRect(b.x + 4, b.y + 4, b.w - 8, b.h - 8, {40, 56, 110});
    for (int k = 0; k < 4; ++k) {  // corner studs
        const int x = k % 2 ? b.x + b.w - 7 : b.x + 3, y = k / 2 ? b.y + b.h - 7 : b.y + 3;
        cv.FillRect(x, y, 4, 4, {255, 200, 80});
    }
}

void Title(Canvas& cv, const Box& b) {
    const std::string name = "ZARNOVIK";
    const int scale = 11;
    const int w = Canvas::TextWidth(name, scale, false);
    const int x0 = b.x + (b.w - w) / 2, y0 = b.y + 18;
    // A dark shadow, then letters shaded from gold at the top to red at the bottom.
    cv.Text(x0 + 6, y0 + 6, name, scale, {50, 20, 10});
    for (size_t k = 0; k < name.size(); ++k) {
        const uint8_t* columns = GlyphColumns(static_cast<unsigned char>(name[k]));
        for (int col = 0; col < 5; ++col) {
            for (int row = 0; row < 7; ++row) {
                if (!(columns[col] >> row & 1)) continue;
                const int px = x0 + int(k) * 6 * scale + col * scale, py = y0 + row * scale;
                const Rgb top = Mix({255, 240, 150}, {255, 120, 30}, row * 40);
                cv.FillRect(px, py, scale, scale, Darker(top));
                cv.FillRect(px + 1, py + 1, scale - 3, scale - 3, top);
                cv.FillRect(px + 2, py + 2, scale - 6, 2, Mix(top, kWhite, 160));
            }
        }
    }
    cv.FillRect(b.x + 60, b.y + b.h - 20, b.w - 120, 3, {255, 150, 40});
    cv.FillRect(b.x + 90, b.y + b.h - 13, b.w - 180, 2, {180, 80, 20});
}

void Credits(Canvas& cv, const Box& b, int index) {
    if (index == 0) {
        cv.FillRect(b.x, b.y + 2, b.w, b.h - 4, {20, 30, 70});
        CenteredText(cv, b, "STAFF", 2, {255, 220, 120}, {60, 40, 0}, false);
        return;
    }
    // Lines without names: a row of bars whose rhythm differs per line.
    for (int x = 4; x < b.w - 4;) {
        const uint32_t h = Hash(uint32_t(index), uint32_t(x), 3);
        const int len = 6 + int(h % 22);
        cv.FillRect(b.x + x, b.y + 1, std::min(len, b.w - 4 - x), 4, Mix({150, 170, 255}, {255, 255, 255}, int(h >> 8) % 120));
        x += len + 4 + int(h >> 16) % 6;
    }
}

}  // namespace

void PaintFixedCell(Canvas& cv, const Box& b, SpriteTable table, int row, int frame) {
    switch (table) {
    case SpriteTable::PlayerSprites: return Player(cv, b, frame);
    case SpriteTable::ShotSprites: return Shot(cv, b, row, frame);
    case SpriteTable::ShockwaveSprites: return Shockwave(cv, b, row, frame);
    case SpriteTable::BulletSprites: return Bullet(cv, b, row, frame);
    case SpriteTable::EffectSprites: return Blast(cv, b, row, frame);
    case SpriteTable::ItemSprites:
        if (frame == 4) {
            Capsule(cv, b, {120, 120, 140}, "");
            cv.Ring(b.cx(), b.cy(), 10, 2, {200, 200, 220});
            return;
        }
        return Medal(cv, b, frame - 5);
    case SpriteTable::WreckSprites: return Wreck(cv, b, row, frame);
    case SpriteTable::LabelSprites: return Label(cv, b, frame);
    case SpriteTable::PanelImage: return Panel(cv, b);
    case SpriteTable::MenuFrameImages: return MenuFrame(cv, b);
    case SpriteTable::TitleImage: return Title(cv, b);
    case SpriteTable::CreditsImages: return Credits(cv, b, frame);
    default: return;
    }
}

void PaintItemCell(Canvas& cv, const Box& b, int index) {
    switch (index) {
    case 0: return Capsule(cv, b, {220, 50, 50}, "S");    // shot power
    case 1: return Capsule(cv, b, {230, 130, 30}, "N");   // napalm power
    case 2: return Capsule(cv, b, {30, 170, 210}, "B");   // barrier (shield)
    case 3: return Capsule(cv, b, {120, 120, 130}, "");
    default: {
        // Spare cells: small gems in turning colours.
        const Rgb c = Mix({255, 90, 200}, {90, 220, 255}, index * 256 / 32);
        cv.FillPolygon({b.cx(), b.y + 2.0, b.x + b.w - 3.0, b.cy(), b.cx(), b.y + b.h - 2.0, b.x + 3.0, b.cy()}, c);
        cv.FillRect(int(b.cx()) - 1, int(b.cy()) - 2, 2, 2, kWhite);
        return;
    }
    }
}

void PaintFontCell(Canvas& cv, const Box& b, int code, bool second) {
    if (code == 0 || code == 32) return;
    const Rgb c = second ? Rgb{255, 190, 60} : Rgb{235, 240, 255};
    const Rgb shade = second ? Rgb{140, 70, 10} : Rgb{70, 90, 150};
    if (code > 32 && code < 127) {
        // Bold 6x8 glyph with a shade one pixel below, in the cell's middle.
        const std::string s(1, char(code));
        cv.Text(b.x + 3, b.y + 3, s, 1, shade, true);
        cv.Text(b.x + 3, b.y + 2, s, 1, c, true);
        return;
    }
    // Control and high codes: a small framed block with the code's bits inside.
    cv.FrameRect(b.x + 2, b.y + 2, 8, 8, shade);
    for (int bit = 0; bit < 8; ++bit)
        if (code >> bit & 1) cv.Set(b.x + 4 + bit % 4, b.y + 5 + bit / 4 * 2, c);
}

}  // namespace makedata
