// ObjectLists.cpp: the two intrusive list classes, the twelve list instances and the
// list-pointer records the updaters are handed.
#include <cstdlib>
#include <cstring>

#include "GameTypes.h"

// The link operations both list classes share.
template <typename Node>
static void LinkAtTail(Node*& head, Node*& tail, Node* node) {
    node->prev = tail;
    node->next = nullptr;
    if (tail)
        tail->next = node;
    else
        head = node;
    tail = node;
}

template <typename Node>
static Node* UnlinkAndFree(Node*& head, Node*& tail, Node* node) {
    Node* follower = node->next;
    if (node->prev)
        node->prev->next = follower;
    else
        head = follower;
    if (follower)
        follower->prev = node->prev;
    else
        tail = node->prev;
    std::free(node);
    return follower;
}

template <typename Node>
static void FreeAll(Node*& head, Node*& tail) {
    for (Node* node = head; node;) {
        Node* next = node->next;
        std::free(node);
        node = next;
    }
    head = tail = nullptr;
}

cChara::~cChara() { Clear(); }

void cChara::AppendNode(CharaData* record) { LinkAtTail(head, tail, record); }

CharaData* cChara::RemoveNode(CharaData* record) { return UnlinkAndFree(head, tail, record); }

void cChara::Clear() {
    ResetNode(&self);
    FreeAll(head, tail);
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

void cChikei::AppendNode(ChikeiData* piece) { LinkAtTail(head, tail, piece); }

ChikeiData* cChikei::RemoveNode(ChikeiData* piece) { return UnlinkAndFree(head, tail, piece); }

void cChikei::Clear() { FreeAll(head, tail); }

void cChikei::ResetNode(ChikeiData* piece) { std::memset(static_cast<void*>(piece), 0, sizeof(ChikeiData)); }

// Records are plain data allocated one at a time; a list frees only what it holds.
CharaData* AllocateChara() { return static_cast<CharaData*>(std::calloc(1, sizeof(CharaData))); }
ChikeiData* AllocateChikei() { return static_cast<ChikeiData*>(std::calloc(1, sizeof(ChikeiData))); }

// Constructed in this order, destroyed in the reverse one.
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
