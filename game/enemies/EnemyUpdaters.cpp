// EnemyUpdaters.cpp: the list-wide rules of the four enemy lists, in this turn order.
//
// Ground enemies: behaviour; forced destruction (state 1 or 2 becomes 3 when bossLife or
// bossTimer is 0); the removal decision (state 0 now); the cull strictly beyond the field
// widened by 120 px (any state but 5 becomes 5; bosses never); boss end (types 16, 20 and
// 32 in state 4 hold bossLife at 0); removal.
// Parts: behaviour; a parent in state 0, 3 or 5 ends the part; removal.
// Air enemies: behaviour; forced destruction on bossLife 0 only; the removal decision; the
// body hit on the player; the cull; removal.
#include "EnemyUpdaters.h"

#include "GameRules.h"

EnemyBehaviour GroundEnemyBehaviours[kGroundEnemyTypes] = {};
EnemyBehaviour GroundPartBehaviours[kGroundPartTypes] = {};
AirEnemyBehaviour AirEnemyBehaviours[kAirEnemyTypes] = {};
EnemyBehaviour AirPartBehaviours[kAirPartTypes] = {};

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

static void ForceDestruction(CharaData* rec) {
    if (rec->state == 1 || rec->state == 2) {
        rec->state = 3;
        rec->stateTimer = 0;
    }
}

void UpdateGroundEnemies(EnemyLists* lists) {
    cChara* list = lists->self;
    for (CharaData* rec = list->head; rec;) {
        if (EnemyBehaviour behaviour = Lookup(GroundEnemyBehaviours, rec->type)) behaviour(lists, rec);
        if (GameState.bossLife == 0 || GameState.bossTimer == 0) ForceDestruction(rec);
        bool remove = rec->state == 0;
        if (!IsBossType(rec->type)) Cull(rec);
        if (rec->state == 4 && (rec->type == 16 || rec->type == 20 || rec->type == 32)) GameState.bossLife = 0;
        rec = remove ? list->RemoveNode(rec) : rec->next;
    }
}

template <int N>
static void WalkParts(EnemyLists* lists, EnemyBehaviour (&table)[N]) {
    cChara* list = lists->self;
    for (CharaData* rec = list->head; rec;) {
        if (EnemyBehaviour behaviour = Lookup(table, rec->type)) behaviour(lists, rec);
        if (rec->parent) {
            int32_t parentState = rec->parent->state;
            if (parentState == 0 || parentState == 3 || parentState == 5) rec->state = 0;
        }
        rec = rec->state == 0 ? list->RemoveNode(rec) : rec->next;
    }
}

void UpdateGroundParts(EnemyLists* lists) { WalkParts(lists, GroundPartBehaviours); }

void UpdateAirParts(EnemyLists* lists) { WalkParts(lists, AirPartBehaviours); }

void UpdateAirEnemies(AirEnemyLists* lists) {
    cChara* list = lists->self;
    const CharaData& player = lists->player->self;
    for (CharaData* rec = list->head; rec;) {
        if (AirEnemyBehaviour behaviour = Lookup(AirEnemyBehaviours, rec->type)) behaviour(lists, rec);
        if (GameState.bossLife == 0) ForceDestruction(rec);
        bool remove = rec->state == 0;
        if ((rec->state == 1 || rec->state == 2) && GameState.dyingTime == 0 && GameState.invulnTime == 0 &&
            CheckHitCircle(rec->x / 1024, rec->y / 1024, player.x / 1024, player.y / 1024, rec->hitW)) {
            StrikePlayer(lists->player, lists->effects);
            rec->state = 3;
            rec->stateTimer = 0;
        }
        Cull(rec);
        rec = remove ? list->RemoveNode(rec) : rec->next;
    }
}
