// GameRules.cpp: the generator, the angle tables, scoring, the loss of a life, the rank and
// the fire-interval scaling, angles, distances, hit tests and coordinate conversions.
//
// Everything here is integer arithmetic with truncating division, except the table build
// and GetAngleTo, which use double as the rules state. Intermediate products that could
// pass 32 bits are taken in 64 bits, so no input overflows; in-range results are unchanged.
#include "GameRules.h"

#include <cmath>
#include <cstdint>

#include "QzApi.h"
#include "Spawners.h"

// ---- random generator ------------------------------------------------------------------

static uint32_t randomState;

int32_t NextRandom() {
    randomState = randomState * 22695477u + 1u;
    return static_cast<int32_t>((randomState >> 16) & 0x7FFF);
}

void SeedRandom(uint32_t seed) {
    randomState = seed;
    NextRandom();
}

uint32_t RandomState() { return randomState; }

// ---- angle tables ----------------------------------------------------------------------

int32_t AngleTables[2048];

void BuildSinCosTables() {
    for (int i = 0; i < 1024; i++) {
        double a = 2.0 * 3.14159265358979323846 * i / 1024.0;
        SinTable[i] = static_cast<int32_t>(128.0 * std::sin(a));
        CosTable[i] = static_cast<int32_t>(128.0 * std::cos(a));
    }
}

// ---- angles ------------------------------------------------------------------------------

int32_t NormalizeAngle(int32_t a) {
    int32_t r = a % 1024;
    return r < 0 ? r + 1024 : r;
}

static int64_t WrapDiff(int64_t d) {
    if (d > 512 || d < -512) return d < 0 ? d + 1024 : d - 1024;
    return d;
}

int32_t GetAngleDiff(int32_t a, int32_t b) { return static_cast<int32_t>(WrapDiff(int64_t{a} - b)); }

int32_t GetTurnStep(int32_t a, int32_t b, int32_t step) { return WrapDiff(int64_t{a} - b) < 0 ? -step : step; }

int32_t TurnAngleToward(int32_t target, int32_t current, int32_t maxStep) {
    int64_t d = WrapDiff(int64_t{target} - current);
    if (d > maxStep) d = maxStep;
    if (d < -int64_t{maxStep}) d = -int64_t{maxStep};
    return NormalizeAngle(static_cast<int32_t>((current + d) % 1024));
}

int32_t GetAngleTo(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    double ex = static_cast<double>(int64_t{x2} - x1);
    double ey = static_cast<double>(int64_t{y2} - y1);
    if (ex == 0) ex = 1;
    double g = std::atan(ey / ex) * 162.974661726101;
    int32_t h = static_cast<int32_t>(g);
    if (ex < 0)
        h += 512;
    else if (ey < 0)
        h += 1024;
    return h % 1024;
}

// ---- distance and hits -----------------------------------------------------------------

static uint64_t SquareRoot64(uint64_t v) {
    uint64_t root = 0;
    uint64_t bit = uint64_t{1} << 62;
    while (bit > v) bit >>= 2;
    // Bit by bit: exact for every 64-bit value, no floating point.
    while (bit) {
        if (v >= root + bit) {
            v -= root + bit;
            root = (root >> 1) + bit;
        } else {
            root >>= 1;
        }
        bit >>= 2;
    }
    return root;
}

static int32_t Saturate(uint64_t v) { return v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v); }

int32_t IntegerSquareRoot(int64_t value) { return value <= 0 ? 0 : Saturate(SquareRoot64(static_cast<uint64_t>(value))); }

// The squares are summed in 64 bits, where a 32-bit sum would overflow for far-apart points;
// differences too large for even that saturate.
static uint64_t SquaredDistance(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    int64_t dx = int64_t{x2} - x1, dy = int64_t{y2} - y1;
    uint64_t ax = static_cast<uint64_t>(dx < 0 ? -dx : dx), ay = static_cast<uint64_t>(dy < 0 ? -dy : dy);
    const uint64_t kLargest = 3037000499u;  // its square, doubled, still fits
    if (ax > kLargest || ay > kLargest) return UINT64_MAX;
    return ax * ax + ay * ay;
}

int32_t GetDistance(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    return Saturate(SquareRoot64(SquaredDistance(x1, y1, x2, y2)));
}

int32_t CheckHitCircle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t r) {
    return SquaredDistance(x1, y1, x2, y2) < static_cast<uint64_t>(int64_t{r} * r) ? 1 : 0;
}

int32_t CheckHitCircleInField(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t r, int32_t margin) {
    int64_t w = int64_t{GameState.fieldHalfW} + margin, h = int64_t{GameState.fieldHalfH} + margin;
    if (x2 < -w || x2 > w || y2 < -h || y2 > h) return 0;
    return CheckHitCircle(x1, y1, x2, y2, r);
}

int32_t CheckHitBoxInField(int32_t ax, int32_t ay, int32_t tx, int32_t ty, int32_t ex, int32_t ey, int32_t mw,
                           int32_t mh) {
    int64_t w = int64_t{GameState.fieldHalfW} + mw, h = int64_t{GameState.fieldHalfH} + mh;
    if (tx < -w || tx > w || ty < -h || ty > h) return 0;
    return (int64_t{tx} - ex < ax && ax < int64_t{tx} + ex && int64_t{ty} - ey < ay && ay < int64_t{ty} + ey) ? 1 : 0;
}

// ---- coordinates -----------------------------------------------------------------------

int32_t GetScreenX(int32_t x) { return x - GameState.panX * 1024 + 240 * 1024; }
int32_t GetScreenY(int32_t y) { return y + 240 * 1024; }

static int32_t LocalPoint(int32_t base, int32_t side, int32_t forward, int32_t angle, const int32_t* table) {
    int32_t a = angle;
    int32_t point = base;
    if (forward != 0) {
        a = NormalizeAngle(angle);
        point += forward * table[a] * 8;
    }
    if (side > 0) point += side * table[NormalizeAngle(a - 256)] * 8;
    if (side < 0) point -= side * table[NormalizeAngle(a + 256)] * 8;
    return point;
}

int32_t GetLocalPointX(int32_t x, int32_t side, int32_t forward, int32_t angle) {
    return LocalPoint(x, side, forward, angle, CosTable);
}

int32_t GetLocalPointY(int32_t y, int32_t side, int32_t forward, int32_t angle) {
    return LocalPoint(y, side, forward, angle, SinTable);
}

// ---- scoring, rank, the player's loss --------------------------------------------------

void PlayEffect(int effect) {
    if (GameState.soundMode != 0) ApiPlaySoundHandle(GameSoundHandles[effect], 1, 1);
}

void AddScore(int32_t points, cChara* playerList) {
    GameState.score += points;
    GameState.extendScore += points;
    if (GameState.extendScore > 2499999) {
        playerList->self.hp += 1;
        PlayEffect(kSoundExt);
        GameState.extendScore -= 2500000;
    }
}

void KillPlayer(cChara* playerList) {
    int32_t livesBefore = playerList->self.hp;
    playerList->self.hp -= 1;
    int64_t loss = 66 - int64_t{6} * livesBefore;
    if (loss > 0) GameState.rank = static_cast<int32_t>(GameState.rank - loss < 0 ? 0 : GameState.rank - loss);
    GameState.dyingTime = 1;
    GameState.shotPower = GameState.shotPower / 2 + 1;
    GameState.napalmPower = GameState.napalmPower / 2 + 1;
    GameState.shield = 0;
    GameState.bonusCount = 0;
    GameState.invulnTime = 200;
}

void UpdateRank() {
    int32_t period = (27 - GameState.shotPower - GameState.napalmPower - GameState.shield) * 12;
    if (period != 0 && GameState.stageFrame % period == 0) GameState.rank += 1;
    if (GameState.rank > 200) GameState.rank = 200;
}

int32_t RankLevel() {
    int32_t level = GameState.rank / 20 + 1;
    return level > 10 ? 10 : level;
}

// Steps 1-4 are shared; the rule set's step and the floor of 3 follow per variant.
static int64_t ScaleFireIntervalCommon(int32_t base) {
    static const int32_t kLevelDivisor[5] = {8, 12, 16, 18, 20};
    int32_t level = GameState.level < 0 ? 0 : GameState.level > 4 ? 4 : GameState.level;
    int64_t v = int64_t{base} * 36 / (31 + RankLevel());
    v = v * 12 / kLevelDivisor[level];
    if (GameState.stage == 1) v = v * 33 / 24;
    if (GameState.stage == 2) v = v * 30 / 24;
    if (GameState.stage == 3) v = v * 27 / 24;
    return v;
}

static int32_t AtLeastThree(int64_t v) { return v < 3 ? 3 : static_cast<int32_t>(v); }

int32_t ScaleFireIntervalStrong(int32_t base) {
    int64_t v = ScaleFireIntervalCommon(base);
    if (GameState.remix) v = v / 2;
    return AtLeastThree(v);
}

int32_t ScaleFireIntervalMedium(int32_t base) {
    int64_t v = ScaleFireIntervalCommon(base);
    if (GameState.remix) v = v * 3 / 4;
    return AtLeastThree(v);
}

int32_t ScaleFireIntervalMild(int32_t base) {
    int64_t v = ScaleFireIntervalCommon(base);
    if (GameState.remix) v = v * 9 / 10;
    return AtLeastThree(v);
}

void StrikePlayer(cChara* playerList, cChara* effectList) {
    if (GameState.shield > 0) {
        GameState.shield = GameState.shield == 3 ? 1 : GameState.shield - 1;
        GameState.invulnTime = 200;
    } else {
        KillPlayer(playerList);
    }
    PlayEffect(kSoundBak1);
    int32_t x = playerList->self.x, y = playerList->self.y;
    SpawnExplosion(effectList, x, y, 16, 12, 0, 0, 8);
    SpawnExplosion(effectList, x, y, 8, 6, 0, 0, 8);
}
