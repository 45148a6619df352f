// GameTypes.h: the records and lists every game rule and every enemy behaviour shares.
//
// Units: positions are 1/1024 px, origin at the centre of the 720x480-px field, x right,
// y down. Angles run 0-1023 (0 along +x, 256 down, 512 along -x, 768 up). Time counts frames.
//
// Every moving thing but the player's shots and napalm is a CharaData in one of the
// intrusive cChara lists; terrain pieces are ChikeiData in the one cChikei list. A list
// owns its records. Updaters walk from the head; a record appended during a walk lies
// behind the current one and is visited in the same walk. RemoveNode returns the follower.
#pragma once

#include <cstdint>

struct CharaData {
    CharaData* prev;
    CharaData* next;
    CharaData* parent;  // the carrier of a part, else null
    int32_t x, y;
    int32_t vx, vy;  // velocity; parts: side and forward offset on the carrier in px
    int32_t muzzleX, muzzleY;  // bullets: muzzle-flash point; player: held direction -1/0/1
    int32_t hitW, hitH;  // hit half sizes in px; equal values mean a circle
    int32_t blastKind;   // size class of the explosion, picks the wreck mark
    int32_t state;       // 0 remove, 1 spawned, 2 active, 3 destroyed, 4 type-specific, 5 left the field
    int32_t stateTimer;
    int32_t frameCounter;
    int32_t hp;     // player: lives
    int32_t item;   // item dropped; bullets: flash frames left; player: rotor angle
    int32_t score;
    int32_t type;   // behaviour type; wrecks and pop-ups: kind; player: aim angle
    int32_t angle;  // heading; player: shot angle
    int32_t animTick, animFrame;  // items: animFrame is the item kind
    int32_t work0;
    int32_t work1;  // player: napalm aim angle
    int32_t speed;
    int32_t delay;
    int32_t work2;  // player: napalm charge
    int32_t work3;  // player: aim-marker x
    int32_t work4;  // player: aim-marker y
    int32_t work5;
    int32_t subKind[4];   // sprite-table row of each sub-sprite, 0 = none
    int32_t subFrame[4];  // counted from column 8
    int32_t subAngle[4];
    int32_t subX[4];      // offsets from x, y in 1/1024 px
    int32_t subY[4];
};

// An object list. Only PlayerList uses its embedded record: it is the player.
class cChara {
public:
    CharaData* head = nullptr;
    CharaData* tail = nullptr;
    CharaData self{};

    cChara() = default;
    ~cChara();
    cChara(const cChara&) = delete;
    cChara& operator=(const cChara&) = delete;

    void AppendNode(CharaData* record);
    // Unlinks and frees the record; returns the one that followed it (null at the tail).
    CharaData* RemoveNode(CharaData* record);
    // Zeroes the embedded record and frees every chained one.
    void Clear();
    static void TickAnimation(CharaData* record, int32_t limit);
    static void ResetNode(CharaData* record);
};

struct ChikeiData {
    ChikeiData* prev;
    ChikeiData* next;
    int32_t x, y;
    int32_t unused[5];
    int32_t active;
    int32_t kind;  // TerrainSprites index 1-54, 0 inert
};

class cChikei {
public:
    ChikeiData* head = nullptr;
    ChikeiData* tail = nullptr;

    cChikei() = default;
    ~cChikei();
    cChikei(const cChikei&) = delete;
    cChikei& operator=(const cChikei&) = delete;

    void AppendNode(ChikeiData* piece);
    ChikeiData* RemoveNode(ChikeiData* piece);
    void Clear();
    static void ResetNode(ChikeiData* piece);
};

// The lists an updater walks (self) and those it feeds or reads.
struct EnemyLists {
    cChara* self;
    cChara* partner;
    cChara* bullets;
    cChara* shockwaves;
    cChara* effects;
    cChara* player;
};
struct AirEnemyLists {
    cChara* self;
    cChara* parts;
    cChara* bullets;
    cChara* effects;
    cChara* player;
};
struct ObjectLists {
    cChara* self;
    cChara* aux;
    cChara* player;
};

// One zeroed record from the heap, to be appended to a list (which then owns it).
CharaData* AllocateChara();
ChikeiData* AllocateChikei();

extern cChara PlayerList, GroundEnemyList, GroundPartList, AirEnemyList, AirPartList, BulletList,
    EffectList, ItemList, WreckList, PopupList;
extern cChikei TerrainList;
extern cChara ShockwaveList;

extern EnemyLists GroundEnemyLists, GroundPartLists, AirPartLists;
extern AirEnemyLists AirEnemyListsRecord;
extern ObjectLists BulletLists, ItemLists, ShockwaveLists, EffectLists, WreckLists, PopupLists;

// The shared game state; every value the rules read lives here.
struct GameStateRecord {
    int32_t level = 1;  // 0 EASY .. 4 SHOOTING GOD
    int32_t mode;       // 0 ORIGINAL, 1 REMIX (title menu)
    uint8_t remix;      // 1 during a REMIX game
    int32_t playMode;   // 0 normal, 1 replay, 2 practice
    int32_t soundMode = 1;
    int32_t menuState;
    int32_t practiceRank, practiceShot = 1, practiceNapalm = 1, practiceShield;
    int32_t score, extendScore;
    int32_t rank;
    int32_t shotPower, napalmPower;
    int32_t shield;
    int32_t bonusCount;
    int32_t invulnTime, dyingTime, respawnFreeze, noFireTime;
    int32_t stage;
    int32_t result;  // 0 none or aborted, 1 game over, 2 all stages cleared
    int32_t replayFrame;
    int32_t quit, quitRequest;
    int32_t stageEnd;
    int32_t stageFrame;
    int32_t scrolled, scrollSpeed, scrollPause, scrollFrac;
    int32_t panX, panLimit;
    int32_t enemyRowCursor, terrainRowCursor;
    int32_t bossLife, bossTimer, clearCount;
    int32_t fieldHalfW, fieldHalfH;
    int32_t spawnGate1000, spawnGate2000, spawnGate3000, spawnGate5000;
    int32_t entryCycle;
    int32_t leftHalfDestroyed, rightHalfDestroyed;
    int32_t currentMusic = -1, currentBgSet;
    int32_t pad;
    int32_t latch[5];
    int32_t shotCooldown[2][4];  // [fan][stream]: 0 right fan (slots 0-15), 1 left fan (16-31)
    int32_t shieldCycle;
    int32_t frameClock;
};
extern GameStateRecord GameState;

// The player's shots (slots 0-31) and napalm (slot 32) as parallel arrays; 33-39 unused.
constexpr int kShotSlots = 40;
constexpr int kNapalmSlot = 32;
struct ShotTableRecord {
    int32_t x[kShotSlots], y[kShotSlots];
    int32_t vx[kShotSlots], vy[kShotSlots];
    int32_t hitW[kShotSlots], hitH[kShotSlots];
    int32_t scale[kShotSlots];
    int32_t state[kShotSlots];
    int32_t counter[kShotSlots];
    int32_t damage[kShotSlots];
    int32_t kind[kShotSlots];
    int32_t angle[kShotSlots];
    int32_t animTick[kShotSlots], frame[kShotSlots];
    int32_t decelStep[kShotSlots];
    int32_t charge[kShotSlots];  // napalm: launch charge, then burst size
    int32_t travelled[kShotSlots];
    int32_t speed16[kShotSlots];
    int32_t power[kShotSlots];
};
extern ShotTableRecord ShotTable;

// One input byte per frame, indexed by replayFrame (about an hour from index 32).
constexpr int32_t kReplayBytes = 216000;
extern uint8_t ReplayBuffer[kReplayBytes];

// By mode (0 ORIGINAL, 1 REMIX) and level (0-4).
extern int32_t HiScoreTable[2][5];
extern int32_t UnlockTable[2][5];

// The 15 sound-effect handles, in loading order.
enum SoundEffect : int {
    kSoundHit, kSoundBak1, kSoundTekitama, kSoundJikitama, kSoundBak2, kSoundBak3, kSoundCursol,
    kSoundShot, kSoundGure, kSoundPower, kSoundMaxim, kSoundBonus, kSoundGun, kSoundExt, kSoundLaser,
    kSoundEffectCount
};
extern int GameSoundHandles[kSoundEffectCount];
