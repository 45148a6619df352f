// LibraryFixture.h: a fresh folder, the fast clock and a lock folder of this process's
// own for tests that start the library headless; helpers to read the log and to run
// library calls as entry points do.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QzApi.h"
#include "QzWinLock.h"
#include "QzWinState.h"
#include "TempDir.h"
#include "platform/testing.h"

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ptest::ResetControls();
        ptest::SetWindowLockFolder(dir.path());
        // One clock read on the main thread is a millisecond: the 200-ms pump of the
        // start-up and the timer test end after a few hundred calls, and both clocks
        // change on every read, so the timer test ties.
        ptest::SetClockMode(ptest::ClockMode::Fast);
        ptest::SetFastClockReadStep(1000);
        ptest::CaptureDebugOutput(true);
    }
    void TearDown() override {
        if (g_windowSystem.libraryInitialized) ApiTerminateLibrary();
        ptest::ResetControls();
    }

    // A library call made as an entry point makes it: under the library lock, so it never
    // meets the message thread's upkeep.
    template <typename Call>
    static auto Locked(Call call) {
        EnterLibraryLock();
        auto result = call();
        LeaveLibraryLock();
        return result;
    }

    std::string Log() const { return qztest::ReadWholeFile(dir.file("AppLog.txt")); }

    // True when the texts appear in the log in this order.
    static bool InOrder(const std::string& log, const std::vector<std::string>& texts, std::string* missing) {
        size_t at = 0;
        for (const std::string& text : texts) {
            size_t found = log.find(text, at);
            if (found == std::string::npos) {
                *missing = text;
                return false;
            }
            at = found + text.size();
        }
        return true;
    }

    static int Count(const std::string& log, const std::string& text) {
        int count = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + text.size())) ++count;
        return count;
    }

    qztest::TempDir dir;
};
