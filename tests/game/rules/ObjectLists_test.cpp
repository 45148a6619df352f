// The intrusive lists: linking at the ends, removal returning the follower, walks that
// meet records appended on the way, and clearing.
#include "RulesFixture.h"
#include "WorldUpdaters.h"

namespace ObjectLists_test {

TEST_F(Rules, RemovingFixesHeadTailAndReturnsTheFollower) {
    cChara list;
    CharaData* a = AddRecord(&list, 1, 1, 0, 0);
    CharaData* b = AddRecord(&list, 2, 1, 0, 0);
    CharaData* c = AddRecord(&list, 3, 1, 0, 0);
    EXPECT_EQ(c, list.RemoveNode(b));
    EXPECT_EQ(a->next, c);
    EXPECT_EQ(c->prev, a);
    EXPECT_EQ(nullptr, list.RemoveNode(c));  // the tail: no follower
    EXPECT_EQ(a, list.tail);
    EXPECT_EQ(nullptr, list.RemoveNode(a));  // the only record
    EXPECT_EQ(nullptr, list.head);
    EXPECT_EQ(nullptr, list.tail);

    CharaData* d = AddRecord(&list, 4, 1, 0, 0);
    CharaData* e = AddRecord(&list, 5, 1, 0, 0);
    EXPECT_EQ(e, list.RemoveNode(d));  // the head
    EXPECT_EQ(e, list.head);
    EXPECT_EQ(nullptr, e->prev);
}

TEST_F(Rules, TickAnimationAdvancesOnEveryFifthCallWithLimitFour) {
    CharaData r{};
    std::vector<int> frames;
    for (int call = 1; call <= 10; call++) {
        cChara::TickAnimation(&r, 4);
        frames.push_back(r.animFrame);
    }
    EXPECT_EQ((std::vector<int>{0, 0, 0, 0, 1, 1, 1, 1, 1, 2}), frames);
}

TEST_F(Rules, ClearOnThePlayerZeroesTheShipButNotTheGameState) {
    SetUpField();
    PlayerList.self.work2 = 150;
    PlayerList.self.subX[3] = 7;
    GameState.shotPower = 5;
    GameState.score = 1234;
    PlayerList.Clear();
    EXPECT_EQ(0, PlayerList.self.hp);
    EXPECT_EQ(0, PlayerList.self.y);
    EXPECT_EQ(0, PlayerList.self.type);
    EXPECT_EQ(0, PlayerList.self.work2);
    EXPECT_EQ(0, PlayerList.self.subX[3]);
    EXPECT_EQ(5, GameState.shotPower);
    EXPECT_EQ(1234, GameState.score);
}

TEST_F(Rules, ARecordAppendedDuringAWalkGetsItsTurnInThatWalk) {
    GameState.fieldHalfW = 360;
    GameState.fieldHalfH = 240;
    GameState.bossLife = 10;
    GameState.bossTimer = 2000;
    static int turns;
    turns = 0;
    GroundEnemyBehaviours[5] = [](EnemyLists* lists, CharaData* e) {
        turns++;
        if (e->state == 1) {
            e->state = 2;
            SpawnGroundEnemy(6, lists->self, e->x, e->y, 0);
        }
    };
    GroundEnemyBehaviours[6] = [](EnemyLists*, CharaData* e) {
        turns++;
        e->state = 2;
    };
    AddRecord(&GroundEnemyList, 5, 1, 0, 0);
    UpdateGroundEnemies(&GroundEnemyLists);
    EXPECT_EQ(2, turns);
    ASSERT_EQ(2, CountOf(GroundEnemyList));
    EXPECT_EQ(2, GroundEnemyList.tail->state);
}

TEST_F(Rules, WrecksAndPopupsLiveInStateZero) {
    GameState.fieldHalfH = 240;
    GameState.scrollSpeed = 512;
    SpawnWreck(&WreckList, 0, 0, 1);
    SpawnPopup(&PopupList, 0, 0, 39);
    EXPECT_EQ(0, WreckList.head->state);
    UpdateWrecks(&WreckLists);
    UpdatePopups(&PopupLists);
    EXPECT_EQ(1, CountOf(WreckList));
    EXPECT_EQ(1, CountOf(PopupList));
}

}  // namespace ObjectLists_test
