// WorldUpdaters.cpp: items drift down with the ground and are picked up by the player;
// particles wait out their delay, fly, slow and animate; lobbed blasts fly, decelerate and
// turn into rings (which hurt nothing); wreck marks ride the ground; pop-ups blink and go.
// Nothing here scrolls in the boss area or while the player is dying.
#include "WorldUpdaters.h"

#include "GameRules.h"
#include "Spawners.h"

static bool GroundStands() { return GameState.scrollPause == 1 || GameState.scrollSpeed == 0; }

static void Move(CharaData* r) {
    r->vx = r->speed * CosTable[r->angle & 1023];
    r->vy = r->speed * SinTable[r->angle & 1023];
    r->x += r->vx;
    r->y += r->vy;
}

// ---- items -------------------------------------------------------------------------------

// A power item at its maximum pays points instead; REMIX pays double for shot and napalm power.
static void PayOverflow(cChara* popups, const CharaData* item, int32_t popupY, bool remixRule) {
    if (remixRule && GameState.remix) {
        SpawnPopup(popups, item->x, item->y, 1);
        AddScore(20000, &PlayerList);
    } else {
        SpawnPopup(popups, item->x, popupY, 0);
        AddScore(10000, &PlayerList);
    }
    PlayEffect(kSoundBonus);
}

static void PickUp(CharaData* item, cChara* popups) {
    const int32_t below = item->y + 18 * 1024;
    switch (item->animFrame) {
    case 0:
        if (GameState.shotPower >= 6) {
            PayOverflow(popups, item, below, true);
        } else {
            GameState.shotPower += 1;
            SpawnPopup(popups, item->x, below, GameState.shotPower == 6 ? 40 : 39);
            PlayEffect(kSoundPower);
        }
        break;
    case 1:
        if (GameState.napalmPower >= 6) {
            PayOverflow(popups, item, item->y, true);
        } else {
            GameState.napalmPower += 1;
            SpawnPopup(popups, item->x, item->y, GameState.napalmPower == 6 ? 42 : 41);
            PlayEffect(kSoundPower);
        }
        break;
    case 2:
        if (GameState.shield >= 3) {
            PayOverflow(popups, item, below, false);
        } else if (GameState.shield == 2) {
            GameState.shield = 3;
            SpawnPopup(popups, item->x, below, 2);
            PlayEffect(kSoundMaxim);
        } else {
            GameState.shield += 1;
            SpawnPopup(popups, item->x, below, GameState.shield == 1 ? 43 : 44);
            PlayEffect(kSoundPower);
        }
        break;
    case 5:
    case 6:
        GameState.bonusCount += 1;
        PlayEffect(kSoundBonus);
        break;
    default:
        return;  // kinds 3 and 4 cannot be collected
    }
    item->state = 3;
}

void UpdateItems(ObjectLists* lists) {
    const CharaData& player = lists->player->self;
    for (CharaData* item = lists->self->head; item;) {
        if (!GroundStands()) item->y += GameState.scrollSpeed + (item->animFrame <= 2 ? 256 : 0);
        if (item->state == 1) {
            if (item->animFrame == 5 || item->animFrame == 6) {
                cChara::TickAnimation(item, 10);
                if (item->animFrame > 6) {
                    item->animFrame = 5;
                    item->animTick = 0;
                }
            }
            if (item->animFrame == 4) item->hitW = item->hitH = 24;
            int64_t dx = int64_t{item->x} - player.x, dy = int64_t{item->y} - player.y;
            if ((dx < 0 ? -dx : dx) < (int64_t{player.hitW} + item->hitW) * 1024 &&
                (dy < 0 ? -dy : dy) < (int64_t{player.hitH} + item->hitH) * 1024)
                PickUp(item, lists->aux);
        }
        bool gone = item->state == 3 || item->y > (GameState.fieldHalfH + 30) * 1024;
        item = gone ? lists->self->RemoveNode(item) : item->next;
    }
}

// ---- effects -----------------------------------------------------------------------------

struct ParticleKind {
    int32_t frames;  // animation cycle
    int32_t steps;   // removed on reaching this many steps, before its frame could wrap to 0
};
static const ParticleKind kParticleKinds[4] = {{6, 6}, {6, 6}, {8, 8}, {5, 5}};

void UpdateEffects(ObjectLists* lists) {
    for (CharaData* p = lists->self->head; p;) {
        if (p->state == 1) {
            p->delay -= 1;
            if (p->delay < 0) p->state = 2;
        }
        bool gone = false;
        if (p->state == 2) {
            Move(p);
            p->animTick += 1;
            if (p->animTick > 4) {
                const ParticleKind& kind = kParticleKinds[p->type & 3];
                p->animTick = 0;
                p->animFrame = (p->animFrame + 1) % kind.frames;
                p->work0 += 1;
                if (p->speed > 2) p->speed -= 1;
                gone = p->work0 >= kind.steps;
            }
        }
        p = gone ? lists->self->RemoveNode(p) : p->next;
    }
}

// ---- shockwaves --------------------------------------------------------------------------

// Type 1: the lobbed blast. Its flight length is set afresh every frame it waits, so only a
// blast spawned with a delay below 1 ever leaves state 1.
static void UpdateLobbedBlast(CharaData* s, const CharaData& player) {
    if (s->state == 1) {
        s->delay -= 1;
        if (s->delay < 0) {
            s->state = 2;
            PlayEffect(kSoundTekitama);
        }
        int32_t l = GetDistance(s->x / 1024, s->y / 1024, player.x / 1024, player.y / 1024);
        l = l < 90 ? 90 : l > 360 ? 360 : l;
        s->work2 = l;
        s->work3 = 0;
        s->work4 = (l / 3) * 16;
        s->delay = s->work4 / 32;
        s->vx = s->delay * CosTable[s->angle & 1023];
        s->vy = s->delay * SinTable[s->angle & 1023];
        s->animFrame = 0;
    } else if (s->state == 2) {
        s->animTick = 0;
        s->animFrame = 1;
        int32_t f = s->work4 / 32;
        s->vx = f * CosTable[s->angle & 1023];
        s->vy = f * SinTable[s->angle & 1023];
        s->x += s->vx;
        s->y += s->vy;
        s->work3 += IntegerSquareRoot(int64_t{s->vx} * s->vx + int64_t{s->vy} * s->vy);
        if (s->work4 > 0 && s->work3 / 1024 >= s->work2 / 3 && s->frameCounter % 2 == 0) s->work4 -= s->delay;
        if (s->work4 <= 0) {
            s->type = 2;
            s->frameCounter = 0;
            s->work2 = 5;
            PlayEffect(kSoundGure);
        }
        s->frameCounter = (s->frameCounter + 1) % 255;
        int32_t flown = s->work3 / 1024, l = s->work2;
        if (flown >= 4 * l / 5)
            s->animFrame = 5;
        else if (flown >= 3 * l / 5)
            s->animFrame = 4;
        else if (flown >= 2 * l / 5)
            s->animFrame = 3;
        else if (flown >= l / 5)
            s->animFrame = 2;
    }
}

static void UpdateBlastRing(CharaData* s) {
    s->frameCounter = (s->frameCounter + 1) % 255;
    int32_t f = s->frameCounter;
    s->animFrame = f >= 46 ? 3 : f > 40 ? 2 : f > 35 ? 1 : 0;
    if (f > 50) s->state = 0;
    if (s->work2 < 40) s->work2 += 1;
}

void UpdateShockwaves(ObjectLists* lists) {
    const CharaData& player = lists->player->self;
    for (CharaData* s = lists->self->head; s;) {
        if (s->type == 1)
            UpdateLobbedBlast(s, player);
        else if (s->type == 2)
            UpdateBlastRing(s);
        s = s->state == 0 ? lists->self->RemoveNode(s) : s->next;
    }
}

// ---- wrecks and pop-ups ------------------------------------------------------------------

void UpdateWrecks(ObjectLists* lists) {
    for (CharaData* w = lists->self->head; w;) {
        w->frameCounter = (w->frameCounter + 1) % 65535;
        if ((w->type == 0 || w->type == 1) && w->frameCounter % 6 == 0) w->animFrame = (w->animFrame + 1) % 4;
        if (!GroundStands()) w->y += GameState.scrollSpeed;
        bool gone = w->y > (GameState.fieldHalfH + 100) * 1024;
        w = gone ? lists->self->RemoveNode(w) : w->next;
    }
}

void UpdatePopups(ObjectLists* lists) {
    for (CharaData* p = lists->self->head; p;) {
        p->frameCounter += 1;
        if ((p->type == 2 || p->type == 3) && p->frameCounter % 4 == 0) p->type = p->type == 2 ? 3 : 2;
        p = p->frameCounter > 60 ? lists->self->RemoveNode(p) : p->next;
    }
}
