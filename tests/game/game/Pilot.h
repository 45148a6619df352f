// Pilot.h: a fixed rule that plays a stage from what it reads in the game's lists, shared by
// the whole-game runs and the benchmark. It only reads the game: the caller turns the bits
// it gives into keys.
//
// Each frame it weighs plans of two legs, one of the nine moves for kFirst frames and then
// one for the rest of kHorizon frames, against every enemy bullet and air enemy carried
// forward as the game moves it (accelerating, braking and re-aimed bullets, the delayed
// burst of type 8, the beam of a laser emitter), a hit costing most and a near miss by
// how near it is. Keys reach the game one frame late, so the first frame ahead still moves
// as the last choice did. Between equals it keeps off the edges, low in the field, under
// the boss or the nearest enemy; ties go to the first move in a fixed order.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "GameRules.h"
#include "GameTypes.h"
#include "Player.h"
#include "enemies/EnemyUpdaters.h"

namespace pilot {

class Pilot {
public:
    static constexpr int kHorizon = 32;  // frames ahead
    static constexpr int kFirst = 8;     // frames of the first leg, after the committed one

    // The input bits for the next frame the game reads: button 1 and one of the nine moves.
    int32_t Choose() {
        Gather();
        const Move chosen = Plan();
        last_ = chosen;
        return kPadButton1 | (chosen.dx < 0 ? kPadLeft : chosen.dx > 0 ? kPadRight : 0) |
               (chosen.dy < 0 ? kPadUp : chosen.dy > 0 ? kPadDown : 0);
    }

private:
    struct Move {
        int dx, dy;
    };
    static constexpr Move kMoves[9] = {{0, 0}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
    static constexpr double kNear = 44;        // px of clearance under which a threat counts
    static constexpr double kAbsent = 1e9;     // a position before a threat exists
    static constexpr int32_t kHitSize[12] = {3, 3, 4, 5, 3, 4, 10, 3, 10, 3, 5, 5};  // bullets' hit half sizes

    struct Threat {
        std::array<float, kHorizon + 1> x, y;  // px by frame ahead; kAbsent before it exists
        float radius;                          // centre distance of a hit, px
        float doubt;                           // px added to the radius per frame ahead
    };

    // ---- the world carried forward --------------------------------------------------------

    static double Px(int64_t v) { return double(v) / 1024; }
    static double Cos(int32_t angle) { return CosTable[angle & 1023]; }
    static double Sin(int32_t angle) { return SinTable[angle & 1023]; }

    Threat& Add(float radius, float doubt) {
        threats_.emplace_back();
        Threat& t = threats_.back();
        t.radius = radius;
        t.doubt = doubt;
        t.x.fill(float(kAbsent));
        t.y.fill(float(kAbsent));
        return t;
    }

    // A bullet from frame `from` ahead at (x, y), `speed` along `angle`, its speed changing
    // by `accel` a frame within [0, cap].
    void AddBullet(int type, double x, double y, int from, double speed, double accel, double cap, int32_t angle,
                   int32_t burstAfterStop = -1) {
        const double radius = playerHit_ + kHitSize[type];
        Threat& t = Add(float(radius), 0.2f);
        const double c = Cos(angle) / 1024, s = Sin(angle) / 1024;
        int stoppedAt = -1;
        for (int k = std::max(from, 0); k <= kHorizon; k++) {
            t.x[k] = float(x);
            t.y[k] = float(y);
            if (speed <= 0 && accel <= 0 && stoppedAt < 0) stoppedAt = k;
            speed = std::clamp(speed + accel, 0.0, cap);
            x += speed * c;
            y += speed * s;
        }
        // Type 8 waits 40 frames once stopped, then bursts into eight.
        if (burstAfterStop >= 0 && stoppedAt >= 0) {
            const int at = stoppedAt + burstAfterStop;
            if (at < kHorizon) {
                const double bx = t.x[stoppedAt], by = t.y[stoppedAt];
                for (int32_t turn = 0; turn < 1024; turn += 128)
                    AddBullet(3, bx, by, at, SpeedOf(turn % 256 ? 18 : 14), 0, 1e9, angle + turn);
            }
        }
    }

    // A bullet's speed as the game scales it for the level and rank when it is fired.
    static double SpeedOf(int32_t speed) {
        static const int32_t kLevelDivisor[5] = {15, 14, 13, 12, 11};
        const int level = std::clamp(int(GameState.level), 0, 4);
        int64_t scaled = int64_t{speed} * 90 / (83 - RankLevel());
        return double(scaled * 16 / kLevelDivisor[level]);
    }

    void AddEnemyBullet(const CharaData& b) {
        if (b.type < 0 || b.type > 11 || b.type == 10) return;  // guide segments never hit
        const double x = Px(b.x), y = Px(b.y);
        const bool waiting = b.state == 1;
        const int start = waiting ? std::max(b.delay, 0) + 1 : 1;  // the first frame it moves
        switch (b.type) {
        case 0:
        case 7: {  // accelerating by one a frame up to its speed
            const double now = waiting ? 0 : b.work2;
            AddStill(b, x, y, start);
            AddBullet(b.type, x, y, start - 1, now, 1, b.speed, b.angle);
            break;
        }
        case 4:  // braking, then re-aimed at the player as an accelerating bullet
        case 8: {  // braking, then a burst of eight
            const double now = waiting ? b.speed : b.work2, step = waiting ? b.speed / 20 + 1 : b.work3;
            AddStill(b, x, y, start);
            if (b.type == 8) {
                const int waited = waiting ? 0 : b.work4;
                AddBullet(8, x, y, start - 1, now, -step, b.speed, b.angle, std::max(41 - waited, 1));
            } else {
                AddBullet(4, x, y, start - 1, now, -step, b.speed, b.angle);
                AimAfterBraking(now, step, x, y, b.angle, start, b.speed);
            }
            break;
        }
        case 9:
            AddLaser(b);
            break;
        default:  // 1, 2, 3, 5, 6 and beam segments fly straight
            AddStill(b, x, y, start);
            AddStraight(b.type, x, y, start - 1, Px(b.vx), Px(b.vy));
            break;
        }
    }

    // Where a waiting bullet sits until it moves.
    void AddStill(const CharaData& b, double x, double y, int start) {
        if (start <= 1) return;
        Threat& t = Add(float(playerHit_ + kHitSize[b.type]), 0);
        for (int k = 0; k < start && k <= kHorizon; k++) {
            t.x[k] = float(x);
            t.y[k] = float(y);
        }
    }

    void AddStraight(int type, double x, double y, int from, double vx, double vy) {
        Threat& t = Add(float(playerHit_ + kHitSize[type]), 0.1f);
        for (int k = std::max(from, 0); k <= kHorizon; k++) {
            t.x[k] = float(x + vx * (k - from));
            t.y[k] = float(y + vy * (k - from));
        }
    }

    // Type 4 once stopped: aimed at the player then, accelerating.
    void AimAfterBraking(double speed, double step, double x, double y, int32_t angle, int start, double cap) {
        int k = start - 1;
        while (speed > 0 && k < kHorizon) {
            speed -= step;
            if (speed > 0) {
                x += speed * Cos(angle) / 1024;
                y += speed * Sin(angle) / 1024;
            }
            k++;
        }
        if (k + 2 >= kHorizon) return;
        const CharaData& p = PlayerList.self;
        const int32_t aim = GetAngleTo(int32_t(x * 1024), int32_t(y * 1024), p.x, p.y) % 1024;
        AddBullet(7, x, y, k + 2, 0, 1, cap, aim);
    }

    // A laser emitter lays its beam straight down from frame 71 to 79 of its life.
    void AddLaser(const CharaData& b) {
        if (b.state != 2 && b.state != 1) return;
        const double x = Px(b.x), y = Px(b.y) + 8;
        const int32_t f = b.state == 2 ? b.frameCounter : 0;
        for (int32_t spawn = 71; spawn <= 79; spawn++) {
            const int at = spawn - f;
            if (at < 0 || at >= kHorizon) continue;
            AddStraight(11, x, y, at + 1, 0, 180.0 * 128 / 1024);
        }
    }

    void AddAirEnemy(const CharaData& e) {
        if (e.state != 1 && e.state != 2) return;
        double vx = 0, vy = 0;
        for (const Seen& s : lastAir_)
            if (s.record == &e) {
                vx = Px(int64_t{e.x} - s.x);
                vy = Px(int64_t{e.y} - s.y);
            }
        Threat& t = Add(float(e.hitW + 3), 0.4f);
        for (int k = 0; k <= kHorizon; k++) {
            t.x[k] = float(Px(e.x) + vx * k);
            t.y[k] = float(Px(e.y) + vy * k);
        }
    }

    void Gather() {
        threats_.clear();
        const CharaData& p = PlayerList.self;
        playerHit_ = p.hitW;
        for (const CharaData* b = BulletList.head; b; b = b->next)
            if (b->state == 1 || b->state == 2) AddEnemyBullet(*b);
        std::vector<Seen> now;
        for (const CharaData* e = AirEnemyList.head; e; e = e->next) {
            AddAirEnemy(*e);
            now.push_back({e, e->x, e->y});
        }
        lastAir_.swap(now);
        // Only what could come near the ship within the horizon is weighed.
        const double px = Px(p.x), py = Px(p.y);
        for (int k = 0; k <= kHorizon; k++) near_[k].clear();
        for (size_t i = 0; i < threats_.size(); i++) {
            const Threat& t = threats_[i];
            for (int k = 1; k <= kHorizon; k++) {
                const double reach = 4.7 * k + t.radius + t.doubt * k + kNear;
                if (std::abs(t.x[k] - px) < reach && std::abs(t.y[k] - py) < reach) near_[k].push_back(uint32_t(i));
            }
        }
    }

    // ---- the choice -------------------------------------------------------------------------

    struct Place {
        double x, y;
    };

    Place Step(Place at, Move m) const {
        const double d = (m.dx != 0 && m.dy != 0) ? 4800.0 * 100 / 141 : 4800.0;
        const double step = std::floor(d) / 1024;
        const double nx = at.x + m.dx * step, ny = at.y + m.dy * step;
        if (-limitX_ < nx && nx < limitX_) at.x = nx;
        if (-limitY_ < ny && ny < limitY_) at.y = ny;
        return at;
    }

    double Danger(Place at, int k) const {
        double cost = 0;
        for (uint32_t i : near_[k]) {
            const Threat& t = threats_[i];
            const double dx = t.x[k] - at.x, dy = t.y[k] - at.y;
            const double r = t.radius + t.doubt * k + 1;
            const double reach = r + kNear;
            if (std::abs(dx) >= reach || std::abs(dy) >= reach) continue;
            const double d = std::sqrt(dx * dx + dy * dy) - r;
            if (d < 0)
                cost += 4e6 / (k + 3);
            else if (d < kNear)
                cost += (kNear - d) * (kNear - d);
        }
        // The edges of the field, and the top, leave no way out.
        const double side = std::abs(at.x) - (limitX_ - 70);
        if (side > 0) cost += side * side * 2;
        if (at.y < 60) cost += (60 - at.y) * (60 - at.y) * 2;
        return cost;
    }

    // Low in the field, under the boss or else the nearest enemy above the ship.
    double PostCost(Place at) const {
        return std::abs(at.x - postX_) * 0.8 + std::abs(at.y - 170) * 0.8;
    }

    void FindPost() {
        const CharaData& p = PlayerList.self;
        postX_ = 0;
        double best = 1e18;
        for (const cChara* list : {&GroundEnemyList, &AirEnemyList})
            for (const CharaData* e = list->head; e; e = e->next) {
                if (e->state != 2 || e->y > p.y - 80 * 1024) continue;
                double d = std::abs(Px(e->x) - Px(p.x));
                if (IsBossType(e->type)) d -= 1e6;
                if (d < best) {
                    best = d;
                    postX_ = Px(e->x);
                }
            }
        postX_ = std::clamp(postX_, -(limitX_ - 90), limitX_ - 90);
    }

    Move Plan() {
        const CharaData& p = PlayerList.self;
        limitX_ = GameState.fieldHalfW - 16;
        limitY_ = GameState.fieldHalfH - 16;
        FindPost();
        // The first frame ahead moves as the last choice did.
        const Place start = Step({Px(p.x), Px(p.y)}, last_);
        const double first = Danger(start, 1);
        int best = 0;
        double bestCost = 1e300;
        for (int a = 0; a < 9; a++) {
            Place at = start;
            double leg = first;
            for (int k = 2; k <= kFirst + 1; k++) {
                at = Step(at, kMoves[a]);
                leg += Danger(at, k);
            }
            if (leg >= bestCost) continue;
            for (int b = 0; b < 9; b++) {
                Place then = at;
                double cost = leg;
                for (int k = kFirst + 2; k <= kHorizon && cost < bestCost; k++) {
                    then = Step(then, kMoves[b]);
                    cost += Danger(then, k) * 0.8;
                }
                cost += PostCost(then);
                if (cost < bestCost) {
                    bestCost = cost;
                    best = a;
                }
            }
        }
        return kMoves[best];
    }

    struct Seen {
        const CharaData* record;
        int32_t x, y;
    };
    std::vector<Threat> threats_;
    std::array<std::vector<uint32_t>, kHorizon + 1> near_;
    std::vector<Seen> lastAir_;
    Move last_{0, 0};
    double playerHit_ = 4, limitX_ = 344, limitY_ = 224, postX_ = 0;
};

}  // namespace pilot
