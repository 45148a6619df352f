// EnemyUpdaters.cpp: the list-wide rules of the four enemy lists, in this turn order.
//
// Ground enemies: behaviour; forced destruction (state 1 or 2 becomes 3 when bossLife or
// bossTimer is 0); the removal decision (state 0 now); the cull strictly beyond the field
// widened by 120 px (any state but 5 becomes 5; bosses never); boss end (types 16, 20 and
// 32 in state 4 hold bossLife at 0); removal.
// Parts: behaviour; a parent in state 0, 3 or 5 ends the part; removal.
// Air enemies: behaviour; forced destruction on bossLife 0 only; the removal decision; the
// body hit on the player; the cull; removal.
//
// A ground or air enemy whose type has no behaviour still ends: it counts its 21 turns in
// state 3 or 5 here, as a behaviour would. When an enemy is removed, every part still naming
// it loses its carrier and goes at its next turn, so no part ever reads a freed record.
#include "EnemyUpdaters.h"

#include <array>
#include <cassert>

#include "GameRules.h"
#include "GroundBehaviours.h"

static constexpr auto kGroundEnemyDefaults = [] {
    std::array<EnemyBehaviour, kGroundEnemyTypes> t{};
    t[1] = UpdateGroundEnemyType1;
    t[2] = UpdateGroundEnemyType2;
    t[3] = UpdateGroundEnemyType3;
    t[4] = UpdateGroundEnemyType4;
    t[5] = UpdateGroundEnemyType5;
    t[6] = UpdateGroundEnemyType6;
    t[7] = UpdateGroundEnemyType7;
    t[8] = UpdateGroundEnemyType8;
    t[9] = UpdateGroundEnemyType9;
    t[10] = UpdateGroundEnemyType10;
    t[11] = UpdateGroundEnemyType11;
    t[12] = UpdateGroundEnemyType12;
    t[13] = UpdateGroundEnemyType13;
    t[14] = UpdateGroundEnemyType14;
    t[15] = UpdateGroundEnemyType15;
    t[17] = UpdateGroundEnemyType17;
    t[18] = UpdateGroundEnemyType18;
    t[19] = UpdateGroundEnemyType19;
    t[21] = UpdateGroundEnemyType21;
    t[23] = UpdateGroundEnemyType23;
    t[24] = UpdateGroundEnemyType24;
    t[25] = UpdateGroundEnemyType25;
    t[26] = UpdateGroundEnemyType26;
    t[27] = UpdateGroundEnemyType27;
    t[29] = UpdateGroundEnemyType29;
    t[30] = UpdateGroundEnemyType30;
    t[31] = UpdateGroundEnemyType31;
    t[33] = UpdateGroundEnemyType33;
    t[34] = UpdateGroundEnemyType34;
    t[35] = UpdateGroundEnemyType35;
    t[36] = UpdateGroundEnemyType36;
    t[38] = UpdateGroundEnemyType38;
    t[39] = UpdateGroundEnemyType39;
    t[40] = UpdateGroundEnemyType40;
    t[42] = UpdateGroundEnemyType42;
    t[43] = UpdateGroundEnemyType43;
    t[44] = UpdateGroundEnemyType44;
    return t;
}();
static constexpr auto kGroundPartDefaults = [] {
    std::array<EnemyBehaviour, kGroundPartTypes> t{};
    t[1] = UpdateGroundPartType1;
    t[2] = UpdateGroundPartType2;
    t[3] = UpdateGroundPartType3;
    t[4] = UpdateGroundPartType4;
    t[5] = UpdateGroundPartType5;
    t[6] = UpdateGroundPartType6;
    t[7] = UpdateGroundPartType7;
    t[8] = UpdateGroundPartType8;
    t[9] = UpdateGroundPartType9;
    t[12] = UpdateGroundPartType12;
    t[13] = UpdateGroundPartType13;
    t[14] = UpdateGroundPartType14;
    t[17] = UpdateGroundPartType17;
    t[22] = UpdateGroundPartType22;
    t[31] = UpdateGroundPartType31;
    return t;
}();

// The air enemies and their parts have no behaviours yet.
static constexpr std::array<AirEnemyBehaviour, kAirEnemyTypes> kAirEnemyDefaults{};
static constexpr std::array<EnemyBehaviour, kAirPartTypes> kAirPartDefaults{};

EnemyBehaviour GroundEnemyBehaviours[kGroundEnemyTypes];
EnemyBehaviour GroundPartBehaviours[kGroundPartTypes];
AirEnemyBehaviour AirEnemyBehaviours[kAirEnemyTypes];
EnemyBehaviour AirPartBehaviours[kAirPartTypes];

void RestoreEnemyBehaviours() {
    for (int i = 0; i < kGroundEnemyTypes; i++) GroundEnemyBehaviours[i] = kGroundEnemyDefaults[i];
    for (int i = 0; i < kGroundPartTypes; i++) GroundPartBehaviours[i] = kGroundPartDefaults[i];
    for (int i = 0; i < kAirEnemyTypes; i++) AirEnemyBehaviours[i] = kAirEnemyDefaults[i];
    for (int i = 0; i < kAirPartTypes; i++) AirPartBehaviours[i] = kAirPartDefaults[i];
}

EnemyBehaviour DefaultGroundEnemyBehaviour(int32_t type) {
    return type >= 1 && type < kGroundEnemyTypes ? kGroundEnemyDefaults[type] : nullptr;
}
EnemyBehaviour DefaultGroundPartBehaviour(int32_t type) {
    return type >= 1 && type < kGroundPartTypes ? kGroundPartDefaults[type] : nullptr;
}
AirEnemyBehaviour DefaultAirEnemyBehaviour(int32_t type) {
    return type >= 1 && type < kAirEnemyTypes ? kAirEnemyDefaults[type] : nullptr;
}

// The tables start filled, before any code of the game runs.
[[maybe_unused]] static const bool kTablesFilled = (RestoreEnemyBehaviours(), true);

template <typename Behaviour, int N>
static Behaviour Lookup(Behaviour (&table)[N], int32_t type) {
    return (type >= 1 && type < N) ? table[type] : nullptr;
}

bool IsBossType(int32_t type) {
    return type == 16 || type == 20 || type == 22 || type == 28 || type == 32 || type == 37 || type == 41;
}

static bool OutsideCullBounds(const CharaData* rec) {
    int64_t w = (int64_t{GameState.fieldHalfW} + 120) * 1024, h = (int64_t{GameState.fieldHalfH} + 120) * 1024;
    return rec->x < -w || rec->x > w || rec->y < -h || rec->y > h;
}

static void Cull(CharaData* rec) {
    if (rec->state != 5 && OutsideCullBounds(rec)) {
        rec->state = 5;
        rec->stateTimer = 0;
    }
}

// What a behaviour's destruction and leave would do, for a type that has none.
static void CountOutWithoutBehaviour(CharaData* rec) {
    if (rec->state != 3 && rec->state != 5) return;
    rec->stateTimer += 1;
    if (rec->stateTimer > 20) rec->state = 0;
}

// The parts of an enemy about to be freed lose it; the part walk removes them.
static void ReleaseParts(cChara* parts, const CharaData* carrier) {
    for (CharaData* part = parts->head; part; part = part->next)
        if (part->parent == carrier) {
            part->parent = nullptr;
            part->state = 0;
        }
}

static CharaData* RemoveEnemy(cChara* list, cChara* parts, CharaData* rec) {
    ReleaseParts(parts, rec);
    return list->RemoveNode(rec);
}

static void ForceDestruction(CharaData* rec) {
    if (rec->state == 1 || rec->state == 2) {
        rec->state = 3;
        rec->stateTimer = 0;
    }
}

void UpdateGroundEnemies(EnemyLists* lists) {
    cChara* list = lists->self;
    for (CharaData* rec = list->head; rec;) {
        if (EnemyBehaviour behaviour = Lookup(GroundEnemyBehaviours, rec->type))
            behaviour(lists, rec);
        else
            CountOutWithoutBehaviour(rec);
        if (GameState.bossLife == 0 || GameState.bossTimer == 0) ForceDestruction(rec);
        bool remove = rec->state == 0;
        if (!IsBossType(rec->type)) Cull(rec);
        if (rec->state == 4 && (rec->type == 16 || rec->type == 20 || rec->type == 32)) GameState.bossLife = 0;
        rec = remove ? RemoveEnemy(list, lists->partner, rec) : rec->next;
    }
}

template <int N>
static void WalkParts(EnemyLists* lists, EnemyBehaviour (&table)[N]) {
    cChara* list = lists->self;
    for (CharaData* rec = list->head; rec;) {
        if (!rec->parent) {
            // Only a carrier freed while its part still stood gets here; no behaviour does that.
            assert(!"a part outlived its carrier");
            rec = list->RemoveNode(rec);
            continue;
        }
        if (EnemyBehaviour behaviour = Lookup(table, rec->type)) behaviour(lists, rec);
        int32_t parentState = rec->parent->state;
        if (parentState == 0 || parentState == 3 || parentState == 5) rec->state = 0;
        rec = rec->state == 0 ? list->RemoveNode(rec) : rec->next;
    }
}

void UpdateGroundParts(EnemyLists* lists) { WalkParts(lists, GroundPartBehaviours); }

void UpdateAirParts(EnemyLists* lists) { WalkParts(lists, AirPartBehaviours); }

void UpdateAirEnemies(AirEnemyLists* lists) {
    cChara* list = lists->self;
    const CharaData& player = lists->player->self;
    for (CharaData* rec = list->head; rec;) {
        if (AirEnemyBehaviour behaviour = Lookup(AirEnemyBehaviours, rec->type))
            behaviour(lists, rec);
        else
            CountOutWithoutBehaviour(rec);
        if (GameState.bossLife == 0) ForceDestruction(rec);
        bool remove = rec->state == 0;
        if ((rec->state == 1 || rec->state == 2) && GameState.dyingTime == 0 && GameState.invulnTime == 0 &&
            CheckHitCircle(rec->x / 1024, rec->y / 1024, player.x / 1024, player.y / 1024, rec->hitW)) {
            StrikePlayer(lists->player, lists->effects);
            rec->state = 3;
            rec->stateTimer = 0;
        }
        Cull(rec);
        rec = remove ? RemoveEnemy(list, lists->parts, rec) : rec->next;
    }
}
