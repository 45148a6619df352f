// ObjectLists.cpp: the two intrusive list classes, the twelve list instances and the
// list-pointer records the updaters are handed.
#include <cstdlib>
#include <cstring>

#include "GameTypes.h"
#include "SaveFiles.h"

cChara::~cChara() { Clear(); }

void cChara::AppendNode(CharaData* record) {
    record->prev = tail;
    record->next = nullptr;
    if (tail)
        tail->next = record;
    else
        head = record;
    tail = record;
}

CharaData* cChara::RemoveNode(CharaData* record) {
    CharaData* follower = record->next;
    if (record->prev)
        record->prev->next = follower;
    else
        head = follower;
    if (follower)
        follower->prev = record->prev;
    else
        tail = record->prev;
    std::free(record);
    return follower;
}

void cChara::Clear() {
    ResetNode(&self);
    for (CharaData* record = head; record;) {
        CharaData* next = record->next;
        std::free(record);
        record = next;
    }
    head = tail = nullptr;
}

void cChara::TickAnimation(CharaData* record, int32_t limit) {
    record->animTick += 1;
    if (record->animTick > limit) {
        record->animFrame += 1;
        record->animTick = 0;
    }
}

void cChara::ResetNode(CharaData* record) { std::memset(static_cast<void*>(record), 0, sizeof(CharaData)); }

cChikei::~cChikei() { Clear(); }

void cChikei::AppendNode(ChikeiData* piece) {
    piece->prev = tail;
    piece->next = nullptr;
    if (tail)
        tail->next = piece;
    else
        head = piece;
    tail = piece;
}

ChikeiData* cChikei::RemoveNode(ChikeiData* piece) {
    ChikeiData* follower = piece->next;
    if (piece->prev)
        piece->prev->next = follower;
    else
        head = follower;
    if (follower)
        follower->prev = piece->prev;
    else
        tail = piece->prev;
    std::free(piece);
    return follower;
}

void cChikei::Clear() {
    for (ChikeiData* piece = head; piece;) {
        ChikeiData* next = piece->next;
        std::free(piece);
        piece = next;
    }
    head = tail = nullptr;
}

void cChikei::ResetNode(ChikeiData* piece) { std::memset(static_cast<void*>(piece), 0, sizeof(ChikeiData)); }

// Records are plain data allocated one at a time; a list frees only what it holds.
CharaData* AllocateChara() { return static_cast<CharaData*>(std::calloc(1, sizeof(CharaData))); }
ChikeiData* AllocateChikei() { return static_cast<ChikeiData*>(std::calloc(1, sizeof(ChikeiData))); }

// Constructed in this order, destroyed in the reverse one: the save files' two streams
// first, then the lists.
std::ifstream SaveInput;
std::ofstream SaveOutput;

cChara PlayerList, GroundEnemyList, GroundPartList, AirEnemyList, AirPartList, BulletList, EffectList, ItemList,
    WreckList, PopupList;
cChikei TerrainList;
cChara ShockwaveList;

EnemyLists GroundEnemyLists = {&GroundEnemyList, &GroundPartList, &BulletList, &ShockwaveList, &EffectList, &PlayerList};
EnemyLists GroundPartLists = {&GroundPartList, &GroundEnemyList, &BulletList, &ShockwaveList, &EffectList, &PlayerList};
EnemyLists AirPartLists = {&AirPartList, &AirEnemyList, &BulletList, &ShockwaveList, &EffectList, &PlayerList};
AirEnemyLists AirEnemyListsRecord = {&AirEnemyList, &AirPartList, &BulletList, &EffectList, &PlayerList};
ObjectLists BulletLists = {&BulletList, &EffectList, &PlayerList};
ObjectLists ItemLists = {&ItemList, &PopupList, &PlayerList};
ObjectLists ShockwaveLists = {&ShockwaveList, &EffectList, &PlayerList};
ObjectLists EffectLists = {&EffectList, nullptr, nullptr};
ObjectLists WreckLists = {&WreckList, nullptr, nullptr};
ObjectLists PopupLists = {&PopupList, nullptr, nullptr};

GameStateRecord GameState;
ShotTableRecord ShotTable;
uint8_t ReplayBuffer[kReplayBytes];
int32_t HiScoreTable[2][5];
int32_t UnlockTable[2][5];
int GameSoundHandles[kSoundEffectCount];
