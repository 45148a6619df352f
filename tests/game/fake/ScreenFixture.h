// ScreenFixture.h: the rules fixture plus what the screens read: every sprite table
// filled with a handle that names its table and slot, and helpers over the fake's log.
#pragma once

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "RulesFixture.h"
#include "SpriteTables.h"

constexpr int kHandleTableStride = 100000;

// Table t's slot s holds (t + 1) x 100000 + s.
inline int SpriteHandle(SpriteTable table, int slot) { return (static_cast<int>(table) + 1) * kHandleTableStride + slot; }
inline int SpriteHandle(SpriteTable table, int row, int frame) { return SpriteHandle(table, GetTableSlot(table, row, frame)); }

inline void FillSpriteTables() {
    for (int t = 0; t < kSpriteTableCount; t++) {
        const SpriteTable table = static_cast<SpriteTable>(t);
        const SpriteTableShape& shape = GetTableShape(table);
        for (int slot = 0; slot < shape.rows * shape.frames; slot++) GetTableBase(table)[slot] = SpriteHandle(table, slot);
    }
}

// The table a logged handle came from, or -1.
inline int TableOf(int64_t handle) {
    const int64_t t = handle / kHandleTableStride - 1;
    return t >= 0 && t < kSpriteTableCount ? static_cast<int>(t) : -1;
}

// The handle argument of a sprite draw, or -1 for other calls.
inline int64_t DrawnHandle(const fakeapi::Call& call) {
    if (call.name == "ApiDrawPlainGraph") return call.args[2];
    if (call.name == "ApiDrawScaleRotateGraph") return call.args[4];
    return -1;
}

// Every sprite draw in order: {handle, x, y}.
struct Drawn {
    int64_t handle, x, y;
    bool operator==(const Drawn&) const = default;
};
inline std::vector<Drawn> DrawnSprites() {
    std::vector<Drawn> drawn;
    for (const fakeapi::Call& call : fakeapi::log)
        if (DrawnHandle(call) >= 0) drawn.push_back({DrawnHandle(call), call.args[0], call.args[1]});
    return drawn;
}

// Glyphs drawn from a font table, as text.
inline std::string DrawnText(SpriteTable font = SpriteTable::FontSprites) {
    std::string text;
    for (const Drawn& d : DrawnSprites())
        if (TableOf(d.handle) == static_cast<int>(font)) text += static_cast<char>(d.handle % kHandleTableStride);
    return text;
}

// An angle in 1024ths of a turn as the fake logs it: radians in millionths.
inline int64_t LoggedAngle(int32_t units) { return static_cast<int64_t>(units * (M_PI / 512.0) * 1e6); }

class Screens : public Rules {
protected:
    void SetUp() override {
        Rules::SetUp();
        FillSpriteTables();
    }
};
