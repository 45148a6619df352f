// LogicHash.cpp: FNV-1a over the logic state, field by field, so padding and pointers
// never enter it.
#include "LogicHash.h"

#include <initializer_list>

#include "GameRules.h"
#include "GameTypes.h"

namespace {

struct Hasher {
    uint64_t value = 14695981039346656037ull;
    void Add(int64_t v) {
        uint64_t bits = static_cast<uint64_t>(v);
        for (int i = 0; i < 8; i++) {
            value ^= (bits >> (8 * i)) & 0xFF;
            value *= 1099511628211ull;
        }
    }
    void Add(std::initializer_list<int64_t> values) {
        for (int64_t v : values) Add(v);
    }
    void Add(const int32_t* values, int n) {
        for (int i = 0; i < n; i++) Add(values[i]);
    }
};

void AddRecord(Hasher& h, const CharaData& r) {
    h.Add({r.x, r.y, r.vx, r.vy, r.muzzleX, r.muzzleY, r.hitW, r.hitH, r.blastKind, r.state, r.stateTimer,
           r.frameCounter, r.hp, r.item, r.score, r.type, r.angle, r.animTick, r.animFrame, r.work0, r.work1, r.speed,
           r.delay, r.work2, r.work3, r.work4, r.work5});
    h.Add(r.subKind, 4);
    h.Add(r.subFrame, 4);
    h.Add(r.subAngle, 4);
    h.Add(r.subX, 4);
    h.Add(r.subY, 4);
}

void AddList(Hasher& h, const cChara& list) {
    int64_t count = 0;
    for (const CharaData* r = list.head; r; r = r->next, count++) AddRecord(h, *r);
    h.Add(count);
}

}  // namespace

uint64_t HashLogicState() {
    Hasher h;
    const GameStateRecord& g = GameState;
    h.Add({g.level, g.mode, g.remix, g.menuState, g.practiceRank, g.practiceShot, g.practiceNapalm, g.practiceShield,
           g.score, g.extendScore, g.rank, g.shotPower, g.napalmPower, g.shield, g.bonusCount, g.invulnTime,
           g.dyingTime, g.respawnFreeze, g.noFireTime, g.stage, g.result, g.replayFrame, g.quit, g.quitRequest,
           g.stageEnd, g.stageFrame, g.scrolled, g.scrollSpeed, g.scrollPause, g.scrollFrac, g.panX, g.panLimit,
           g.enemyRowCursor, g.terrainRowCursor, g.bossLife, g.bossTimer, g.clearCount, g.fieldHalfW, g.fieldHalfH,
           g.spawnGate1000, g.spawnGate2000, g.spawnGate3000, g.spawnGate5000, g.entryCycle, g.leftHalfDestroyed,
           g.rightHalfDestroyed, g.shieldCycle});
    h.Add(&g.latch[0], 5);
    h.Add(&g.shotCooldown[0][0], 8);
    AddRecord(h, PlayerList.self);
    for (const cChara* list : {&GroundEnemyList, &GroundPartList, &AirEnemyList, &AirPartList, &BulletList,
                               &EffectList, &ItemList, &WreckList, &PopupList, &ShockwaveList})
        AddList(h, *list);
    int64_t pieces = 0;
    for (const ChikeiData* p = TerrainList.head; p; p = p->next, pieces++) {
        h.Add({p->x, p->y, p->active, p->kind});
        h.Add(p->unused, 5);
    }
    h.Add(pieces);
    // Slots 0-32: the shots and the napalm; the rest are never used.
    const ShotTableRecord& s = ShotTable;
    for (const int32_t* field : {s.x, s.y, s.vx, s.vy, s.hitW, s.hitH, s.scale, s.state, s.counter, s.damage, s.kind,
                                 s.angle, s.animTick, s.frame, s.decelStep, s.charge, s.travelled, s.speed16, s.power})
        h.Add(field, 33);
    h.Add(int64_t{RandomState()});
    return h.value;
}
