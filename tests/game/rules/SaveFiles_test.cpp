// The save files: names, reads that keep the old value, writes through a temporary file,
// the replay's fixed length and its fill, and when a game writes them.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "GameLoop.h"
#include "RulesFixture.h"
#include "SaveFiles.h"
#include "TempDir.h"

namespace SaveFiles_test {

namespace {

using qztest::ReadWholeFile;
using qztest::WriteWholeFile;

class SaveFiles : public Rules {
protected:
    qztest::TempDir dir;
};

TEST_F(SaveFiles, NamesFollowTheRuleSetAndLevel) {
    EXPECT_EQ(HiScoreFileName(0, 0), "score0.dat");
    EXPECT_EQ(HiScoreFileName(1, 4), "score4_rim.dat");
    EXPECT_EQ(UnlockFileName(0, 1), "start1.dat");
    EXPECT_EQ(UnlockFileName(1, 3), "start3_rim.dat");
    EXPECT_EQ(ReplayFileName(0, 2), "replay2.dat");
    EXPECT_EQ(ReplayFileName(1, 0), "replay0_rim.dat");
}

TEST_F(SaveFiles, AValueIsReadOnlyWhenTheFileHoldsAWholeNumber) {
    struct Case {
        const char* bytes;  // null: no file
        int32_t want;
    } cases[] = {
        {nullptr, 7}, {"", 7}, {"garbage\r\n", 7}, {"99999999999\r\n", 7}, {"-", 7},
        {"  42\r\n", 42}, {"-3", -3}, {"12abc", 12}, {"2147483647", 2147483647},
    };
    for (const Case& c : cases) {
        std::remove("value.txt");
        if (c.bytes) WriteWholeFile("value.txt", c.bytes);
        int32_t value = 7;
        ReadValueFile("value.txt", value);
        EXPECT_EQ(value, c.want) << (c.bytes ? c.bytes : "(none)");
    }
}

TEST_F(SaveFiles, TheTablesAndTheSoundModeKeepTheirValuesWithoutGoodFiles) {
    WriteWholeFile("score2.dat", "1234\r\n");
    WriteWholeFile("score3_rim.dat", "x");
    WriteWholeFile("score4.dat", "-5\r\n");  // no game ends below 0
    WriteWholeFile("start1.dat", "8\r\n");
    WriteWholeFile("start0_rim.dat", "77777777777");
    WriteWholeFile("soundon.txt", "oops");
    LoadHiScoreTable();
    LoadUnlockTable();
    LoadSoundMode();
    EXPECT_EQ(HiScoreTable[0][2], 1234);
    EXPECT_EQ(HiScoreTable[1][3], 0);
    EXPECT_EQ(HiScoreTable[0][4], 0);
    EXPECT_EQ(UnlockTable[0][1], 8);
    EXPECT_EQ(UnlockTable[1][0], 0);
    EXPECT_EQ(GameState.soundMode, 1);
    WriteWholeFile("soundon.txt", "3\n");
    LoadSoundMode();
    EXPECT_EQ(GameState.soundMode, 3);
}

TEST_F(SaveFiles, WritesEndLinesWithCarriageReturnAndReplaysAreAlwaysWhole) {
    GameState.mode = 1;
    GameState.level = 4;
    HiScoreTable[1][4] = 65000;
    SaveHiScore();
    EXPECT_EQ(ReadWholeFile("score4_rim.dat"), "65000\r\n");
    for (int i = 0; i < kReplayBytes; i++) ReplayBuffer[i] = static_cast<uint8_t>(i * 7);
    SaveReplay();
    const std::string replay = ReadWholeFile("replay4_rim.dat");
    ASSERT_EQ(replay.size(), size_t(kReplayBytes));
    EXPECT_EQ(static_cast<uint8_t>(replay[12345]), static_cast<uint8_t>(12345 * 7));
    EXPECT_FALSE(std::ifstream("replay4_rim.dat.tmp").is_open());
}

TEST_F(SaveFiles, AFailedWriteKeepsTheOldFile) {
    GameState.mode = 0;
    GameState.level = 1;
    WriteWholeFile("score1.dat", "500\r\n");
    WriteWholeFile("replay1.dat", std::string(kReplayBytes, 'r'));
    // The temporary names are taken by folders: neither write can be opened.
    ASSERT_EQ(mkdir("score1.dat.tmp", 0755), 0);
    ASSERT_EQ(mkdir("replay1.dat.tmp", 0755), 0);
    HiScoreTable[0][1] = 900;
    SaveHiScore();
    SaveReplay();
    EXPECT_EQ(ReadWholeFile("score1.dat"), "500\r\n");
    EXPECT_EQ(ReadWholeFile("replay1.dat"), std::string(kReplayBytes, 'r'));
    struct stat info{};
    EXPECT_EQ(stat("score1.dat.tmp", &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
}

// In a folder the player cannot write, each save says once on standard error which file
// was not saved and why, and the game goes on with the score in memory. The writes run
// in a child process that, when it is root, gives up root: permission bits bind it then.
TEST_F(SaveFiles, AFolderThatCannotBeWrittenIsReportedOnceAFile) {
    const std::string errors = dir.file("errors.txt");
    const int result = dir.RunReadOnly(errors, [] {
        GameState.mode = 0;
        GameState.level = 3;
        GameState.playMode = 0;
        GameState.result = 1;
        for (int32_t score : {700, 800}) {
            GameState.score = score;
            SaveGameResult();
        }
        UnlockTable[0][3] = 5;
        SaveUnlock();
        return HiScoreTable[0][3] == 800 ? 0 : 1;
    });
    EXPECT_EQ(result, 0);
    const std::string reason = std::strerror(EACCES);
    EXPECT_EQ(ReadWholeFile(errors), "zarnovik: score3.dat cannot be written (" + reason + "); it was not saved\n"
                                     "zarnovik: replay3.dat cannot be written (" + reason + "); it was not saved\n"
                                     "zarnovik: start3.dat cannot be written (" + reason + "); it was not saved\n");
    for (const char* name : {"score3.dat", "replay3.dat", "start3.dat", "score3.dat.tmp"})
        EXPECT_NE(access(name, F_OK), 0) << name;
}

TEST_F(SaveFiles, AReplayFillsWith48WhereTheFileEnds) {
    GameState.mode = 0;
    GameState.level = 2;
    ReplayBuffer[5] = 1;
    LoadReplay();  // no file
    for (int i = 0; i < kReplayBytes; i++) ASSERT_EQ(ReplayBuffer[i], 48) << i;

    WriteWholeFile("replay2.dat", std::string(1000, '\x11'));
    LoadReplay();
    EXPECT_EQ(ReplayBuffer[999], 0x11);
    EXPECT_EQ(ReplayBuffer[1000], 48);
    EXPECT_EQ(ReplayBuffer[kReplayBytes - 1], 48);

    WriteWholeFile("replay2.dat", std::string(kReplayBytes, '\x05') + "tail beyond the buffer");
    LoadReplay();
    EXPECT_EQ(ReplayBuffer[0], 5);
    EXPECT_EQ(ReplayBuffer[kReplayBytes - 1], 5);
}

TEST_F(SaveFiles, TheTallyWritesTheNextStageAndNeverLowersIt) {
    UnlockSaver = SaveUnlock;
    GameState.mode = 0;
    GameState.level = 1;
    GameState.stage = 3;
    GameState.clearCount = 201;
    GameState.bossTimer = 1000;
    ApplyStageStateAfterDraw();
    EXPECT_EQ(ReadWholeFile("start1.dat"), "4\r\n");
    GameState.stage = 2;
    GameState.clearCount = 201;
    ApplyStageStateAfterDraw();
    EXPECT_EQ(ReadWholeFile("start1.dat"), "4\r\n");
    // Practice unlocks stages up to 6 only.
    GameState.playMode = 2;
    GameState.stage = 6;
    GameState.clearCount = 201;
    ApplyStageStateAfterDraw();
    EXPECT_EQ(ReadWholeFile("start1.dat"), "4\r\n");
}

TEST_F(SaveFiles, OnlyANormalGameEndedWithAHigherScoreIsSaved) {
    struct Case {
        int32_t playMode, result, score;
        bool saved;
    } cases[] = {
        {0, 1, 1001, true}, {0, 2, 1001, true}, {0, 0, 1001, false}, {0, 1, 1000, false},
        {1, 1, 1001, false}, {2, 2, 1001, false},
    };
    for (const Case& c : cases) {
        std::remove("score0.dat");
        std::remove("replay0.dat");
        GameState.mode = 0;
        GameState.level = 0;
        HiScoreTable[0][0] = 1000;
        GameState.playMode = c.playMode;
        GameState.result = c.result;
        GameState.score = c.score;
        SaveGameResult();
        EXPECT_EQ(ReadWholeFile("score0.dat"), c.saved ? "1001\r\n" : "") << c.playMode << " " << c.result << " " << c.score;
        EXPECT_EQ(ReadWholeFile("replay0.dat").size(), c.saved ? size_t(kReplayBytes) : 0);
        EXPECT_EQ(HiScoreTable[0][0], c.saved ? 1001 : 1000);
    }
}

}  // namespace

}  // namespace SaveFiles_test
