// The log "AppLog.txt": the bytes in the file and on the debugger for each way a text
// can arrive, the state before start-up, replacement of an old log, bounded formatting,
// and the fatal-error path.
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

#include "QzWinFileAccess.h"
#include "QzWinLog.h"
#include "QzWinLock.h"
#include "QzWinMemory.h"
#include "QzWinState.h"
#include "TempDir.h"
#include "platform/testing.h"

namespace QzWinLog_test {

namespace {

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ptest::SetClockMode(ptest::ClockMode::Fast);
        ptest::SetFastClockReadStep(0);
        ptest::CaptureDebugOutput(true);
    }
    void TearDown() override { ptest::ResetControls(); }

    // What start-up does before anything logs: keep the directory, create the log;
    // then 7 ms pass, so new lines read "7:".
    void StartLog() {
        FileAccessGetDir(g_windowSystem.startupDir);
        CreateLogFile();
        ptest::AdvanceFastClock(7000);
        ptest::TakeDebugOutput();
    }
    std::string Log() { return qztest::ReadWholeFile(dir.file("AppLog.txt")); }

    qztest::TempDir dir;
};

struct LogCase {
    const char* name;
    int indent;
    std::vector<std::string> texts;
    std::string file;
    std::string debugger;
};

TEST_F(LogTest, TextsBecomeFileAndDebuggerBytes) {
    const std::string longLine1(299, 'x'), longLine2(299, 'y');
    const LogCase cases[] = {
        {"two lines at line start", 0, {"ab\ncd\n"}, "7:ab\r\ncd\r\n", "ab\r\ncd\r\n"},
        {"open line continued", 0, {"ab", "cd\n", "ef\n"}, "7:abcd\r\n7:ef\r\n", "abcd\r\nef\r\n"},
        {"indentation 2", 2, {"text\n"}, "7:\t\ttext\r\n", "\t\ttext\r\n"},
        {"600-byte text", 0, {longLine1 + "\n" + longLine2 + "\n"},
         "7:" + longLine1 + "\r\n" + longLine2 + "\r\n", longLine1 + "\r\n" + longLine2 + "\r\n"},
        {"leading line feed", 0, {"\nab"}, "7:\r\nab", "\r\nab"},
        {"CR LF then LF: the rest verbatim", 0, {"a\r\nb\nc\n"}, "7:a\r\nb\nc\n", "a\r\nb\nc\n"},
        {"empty text keeps the line", 0, {"ab", "", "cd\n", "", "e\n"}, "7:abcd\r\n7:e\r\n", "abcd\r\ne\r\n"},
        {"Shift-JIS with 0x5C trail bytes", 1, {"ソ表\n"}, "7:\tソ表\r\n", "\tソ表\r\n"},
    };
    for (const LogCase& c : cases) {
        SCOPED_TRACE(c.name);
        StartLog();
        g_windowSystem.logIndent = c.indent;
        for (const std::string& text : c.texts) EXPECT_EQ(WriteLog(text.c_str()), -1);
        EXPECT_EQ(Log(), c.file);
        EXPECT_EQ(ptest::TakeDebugOutput(), c.debugger);
    }
    // The long text's copy went back to the tracker.
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
}

TEST_F(LogTest, IndentationNestsAndNeverGoesNegative) {
    StartLog();
    IndentLog();
    IndentLog();
    UnindentLog();
    WriteLog("one\n");
    UnindentLog();
    UnindentLog();
    WriteLog("zero\n");
    EXPECT_EQ(g_windowSystem.logIndent, 0);
    EXPECT_EQ(Log(), "7:\tone\r\n7:zero\r\n");
}

TEST_F(LogTest, NothingIsWrittenBeforeTheStartUpDirectoryIsKnown) {
    EXPECT_EQ(WriteLog("before start-up\n"), -1);
    EXPECT_EQ(WriteLogFormat("%d", 1), -1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("AppLog.txt")));
    EXPECT_EQ(ptest::TakeDebugOutput(), "");
}

// In a folder that cannot be written the texts are lost, and standard error says so once
// with the system's reason; the library goes on.
TEST_F(LogTest, ALogThatCannotBeWrittenIsToldOnceOnStandardError) {
    const std::string errors = dir.file("errors.txt");
    const int result = dir.RunReadOnly(errors, [this] {
        ptest::CaptureDebugOutput(false);
        StartLog();
        WriteLog("one\n");
        WriteLogFormat("two %d", 2);
        return WriteLog("three\n") == -1 ? 0 : 1;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(qztest::ReadWholeFile(errors), "AppLog.txt cannot be written (Access is denied.); the log is lost\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("AppLog.txt")));
}

TEST_F(LogTest, CreatingReplacesAnOldLogWhateverItsCase) {
    qztest::WriteWholeFile(dir.file("applog.txt"), "old contents\r\n");
    StartLog();
    WriteLog("new\n");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(qztest::ReadWholeFile(dir.file(names[0])), "7:new\r\n");
}

TEST_F(LogTest, WritesFromAnotherDirectoryGoToTheStartUpDirectory) {
    StartLog();
    std::filesystem::create_directory(dir.file("sub"));
    ASSERT_TRUE(SetCurrentDirectoryA("sub"));
    WriteLog("elsewhere\n");
    EXPECT_EQ(Log(), "7:elsewhere\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("sub/AppLog.txt")));
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(dir.file("sub")));
}

TEST_F(LogTest, FormattedTextIsBoundedOnACharacterBoundary) {
    StartLog();
    // "a" then two-byte characters: 1022 bytes of room end in the middle of one.
    std::string longText = "a";
    for (int i = 0; i < 600; i++) longText += "あ";
    EXPECT_EQ(WriteLogFormat("%s", longText.c_str()), -1);
    std::string expected = "7:a";
    for (int i = 0; i < 510; i++) expected += "あ";
    EXPECT_EQ(Log(), expected + "\r\n");

    // A plain formatted line.
    StartLog();
    WriteLogFormat("メモリ総量:%.2fMB  count:%d", 1.5, 3);
    EXPECT_EQ(Log(), "7:メモリ総量:1.50MB  count:3\r\n");
}

TEST_F(LogTest, LongTextWithoutMemoryForItsCopyIsLost) {
    StartLog();
    const std::string longText(400, 'Q');
    ptest::FailCall("HeapAlloc");
    EXPECT_EQ(WriteLog((longText + "\n").c_str()), -1);
    std::string log = Log();
    EXPECT_EQ(log.find('Q'), std::string::npos);
    EXPECT_NE(log.find("Alloc memory dump"), std::string::npos);  // the tracker's failure report
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
}

using LogDeathTest = LogTest;

TEST_F(LogDeathTest, FatalErrorLogsEndsTheLibraryAndExitsWith255) {
    StartLog();
    EXPECT_EXIT(
        {
            EnterLibraryLock();
            ExitWithFatalErrorFormat("%sの作成に失敗しました", "サーフェス");
        },
        ::testing::ExitedWithCode(255), "");
    EXPECT_EQ(Log(),
              "7:サーフェスの作成に失敗しました\r\n"
              "7:\r\n"
              "7:Alloc memory dump\r\n"
              "7:\tTotal size:0(0.000kb)  Alloc num:0\r\n"
              "7:\r\n");
}

TEST_F(LogDeathTest, FatalErrorInsideTheEndSequenceExitsAtOnce) {
    StartLog();
    EXPECT_EXIT(
        {
            g_windowSystem.endingFlag = 1;
            ExitWithFatalError("二度目の終了処理");
        },
        ::testing::ExitedWithCode(255), "");
    EXPECT_EQ(Log(), "7:二度目の終了処理\r\n");
}

// On any thread but the main one (the message thread's upkeep) the end sequence would wait
// for a window only the main thread can destroy: the process ends at once, logged.
TEST_F(LogDeathTest, FatalErrorOffTheMainThreadExitsAtOnce) {
    StartLog();
    EXPECT_EXIT(
        {
            g_windowSystem.mainThreadId = GetCurrentThreadId();
            std::thread other([] { ExitWithFatalError("別スレッドの致命的エラー"); });
            other.join();
        },
        ::testing::ExitedWithCode(255), "");
    EXPECT_EQ(Log(), "7:別スレッドの致命的エラー\r\n");
}

}  // namespace

}  // namespace QzWinLog_test
