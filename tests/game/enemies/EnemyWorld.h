// EnemyWorld.h: a small world for the enemy behaviours: stage 1 as at its start, the game's
// own dispatch tables, the player at a chosen point, and the four enemy updaters run for n
// frames in the frame loop's order. Bullets are checked where they would show.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

#include "RulesFixture.h"
#include "enemies/EnemyCommon.h"

// One enemy bullet as the game would show it.
struct ShownBullet {
    int32_t x, y, speed, angle, type;
    bool operator==(const ShownBullet&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const ShownBullet& b) {
    return os << "{" << b.x << ", " << b.y << ", speed " << b.speed << ", angle " << b.angle << ", type " << b.type
              << "}";
}

// Draws the generator made between two of its states, by stepping its own formula.
inline int DrawsBetween(uint32_t from, uint32_t to) {
    int n = 0;
    for (uint32_t s = from; s != to; s = s * 22695477u + 1u)
        if (++n > 1000000) return -1;
    return n;
}

class EnemyWorld : public Rules {
protected:
    void SetUp() override {
        Rules::SetUp();
        Restart();
    }

    // The world as a test starts it, for a case of a table that needs a fresh one.
    static void Restart(int32_t playerXPx = 0, int32_t playerYPx = 200) {
        ResetGameWorld();
        SetUpField();
        RestoreEnemyBehaviours();
        PlacePlayer(playerXPx, playerYPx);
    }

    static void PlacePlayer(int32_t xPx, int32_t yPx) {
        PlayerList.self.x = xPx * 1024;
        PlayerList.self.y = yPx * 1024;
    }

    // A ground enemy as a stage table would place it; the record it made.
    static CharaData* Spawn(int32_t type, int32_t xPx, int32_t yPx, int32_t angle) {
        CharaData* before = GroundEnemyList.tail;
        SpawnGroundEnemy(type, &GroundEnemyList, xPx * 1024, yPx * 1024, angle);
        return GroundEnemyList.tail != before ? GroundEnemyList.tail : nullptr;
    }

    static void RunFrames(int n) {
        for (int i = 0; i < n; i++) {
            UpdateGroundEnemies(&GroundEnemyLists);
            UpdateGroundParts(&GroundPartLists);
            UpdateAirEnemies(&AirEnemyListsRecord);
            UpdateAirParts(&AirPartLists);
        }
    }

    static std::vector<ShownBullet> Bullets() {
        std::vector<ShownBullet> shown;
        for (const CharaData* b = BulletList.head; b; b = b->next) shown.push_back({b->x, b->y, b->speed, b->angle, b->type});
        return shown;
    }
    // Bullets that came since the list held n.
    static std::vector<ShownBullet> BulletsFrom(size_t n) {
        std::vector<ShownBullet> all = Bullets();
        return std::vector<ShownBullet>(all.begin() + static_cast<std::ptrdiff_t>(n < all.size() ? n : all.size()),
                                        all.end());
    }
    static std::vector<int32_t> BulletAngles() {
        std::vector<int32_t> angles;
        for (const CharaData* b = BulletList.head; b; b = b->next) angles.push_back(b->angle);
        return angles;
    }

    // The speed a bullet of base speed s flies at under the current rules.
    static int32_t ScaledSpeed(int32_t base, bool mild = false) {
        cChara scratch;
        (mild ? SpawnEnemyBulletMild : SpawnEnemyBullet)(&PlayerList, &scratch, 0, -100 * 1024, base, 0, 1, 0);
        return scratch.head ? scratch.head->speed : -1;
    }

    static int32_t Px(int32_t px) { return px * 1024; }

    // The angle from a point to the player, 0-1023.
    static int32_t AimFrom(int32_t x, int32_t y) {
        return NormalizeAngle(GetAngleTo(x, y, PlayerList.self.x, PlayerList.self.y));
    }

    // A bullet as a record at its place, facing `facing`, fires it from its local point
    // (side, forward).
    static ShownBullet FiredFrom(const CharaData* r, int32_t facing, int32_t side, int32_t forward, int32_t speed,
                                 int32_t angle, int32_t type) {
        return {GetLocalPointX(r->x, side, forward, facing), GetLocalPointY(r->y, side, forward, facing), speed,
                NormalizeAngle(angle), type};
    }

    // Runs n frames; the bullets each frame made, by frame number (1 = the first frame run).
    struct Volley {
        int frame;
        std::vector<ShownBullet> bullets;
    };
    static std::vector<Volley> Volleys(int frames, const std::function<void(int)>& beforeFrame = nullptr) {
        std::vector<Volley> volleys;
        for (int frame = 1; frame <= frames; frame++) {
            if (beforeFrame) beforeFrame(frame);
            size_t before = Bullets().size();
            RunFrames(1);
            std::vector<ShownBullet> made = BulletsFrom(before);
            if (!made.empty()) volleys.push_back({frame, made});
        }
        return volleys;
    }
    static std::vector<int> FramesOf(const std::vector<Volley>& volleys) {
        std::vector<int> frames;
        for (const Volley& v : volleys) frames.push_back(v.frame);
        return frames;
    }
    // A still carrier of no type, heading 256, for parts made by a test.
    static CharaData* StillCarrier(int32_t xPx, int32_t yPx) {
        CharaData* c = AddRecord(&GroundEnemyList, 0, 2, xPx, yPx);
        c->angle = 256;
        c->hp = 5000;
        return c;
    }
};
