// The library's clocks and the system information that start-up writes to the log.
// Every case runs on the fast clock, so readings are exact and the speed measurement
// takes no real time.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "QzLibVersion.h"
#include "QzWinLog.h"
#include "QzWinState.h"
#include "QzWinTime.h"
#include "TempDir.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "platform/winmm.h"

namespace QzWinTime_test {

namespace {

bool Contains(const std::string& text, const std::string& needle) {
    return text.find(needle) != std::string::npos;
}

// A fresh log in a fresh folder; the debugger output (the log's text with its tabs but
// without the time prefix) is captured for the assertions.
class SystemReport : public ::testing::Test {
protected:
    void SetUp() override {
        ptest::SetClockMode(ptest::ClockMode::Fast);
        ASSERT_GT(GetCurrentDirectoryA(sizeof g_windowSystem.startupDir, g_windowSystem.startupDir), 0u);
        CreateLogFile();
        ptest::CaptureDebugOutput(true);
    }
    void TearDown() override { ptest::ResetControls(); }

    // Runs the report and returns what it wrote.
    std::string Report() {
        ptest::TakeDebugOutput();
        EXPECT_EQ(LogSystemInformation(), 0);
        EXPECT_EQ(g_windowSystem.logIndent, 0);
        return ptest::TakeDebugOutput();
    }

    qztest::TempDir dir_;
};

OSVERSIONINFOEXA Version(DWORD platform, DWORD major, DWORD minor, DWORD build, const char* service) {
    OSVERSIONINFOEXA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    info.dwPlatformId = platform;
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    info.dwBuildNumber = build;
    std::strcpy(info.szCSDVersion, service);
    return info;
}

TEST_F(SystemReport, OperatingSystemTable) {
    struct Case {
        OSVERSIONINFOEXA version;
        const char* text;
        int code;
    };
    const Case cases[] = {
        {Version(VER_PLATFORM_WIN32s, 3, 10, 0, ""), "Windows3.1 ( Build 0  )", 0},
        {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950, ""), "Windows95 ( Build 950  )", 1},
        {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 1111, "C"), "Windows95OSR2 ( Build 1111 C )", 1},
        {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1998, ""), "Windows98 ( Build 1998  )", 2},
        {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222, "A"), "Windows98SE ( Build 2222 A )", 2},
        {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 90, 3000, " "), "WindowsMe ( Build 3000   )", 3},
        {Version(VER_PLATFORM_WIN32_NT, 3, 51, 1057, "Service Pack 5"), "WindowsNT 3.51 ( Build 1057 Service Pack 5 )", 0x104},
        {Version(VER_PLATFORM_WIN32_NT, 4, 0, 1381, "Service Pack 6"), "Windows4.0 ( Build 1381 Service Pack 6 )", 0x105},
        {Version(VER_PLATFORM_WIN32_NT, 5, 0, 2195, "Service Pack 4"), "Windows2000 ( Build 2195 Service Pack 4 )", 0x106},
        {Version(VER_PLATFORM_WIN32_NT, 5, 1, 2600, "Service Pack 3"), "WindowsXP ( Build 2600 Service Pack 3 )", 0x107},
        // Unlisted versions: the word is missing and the code is 0, also right after a
        // listed one.
        {Version(VER_PLATFORM_WIN32_NT, 6, 0, 6000, ""), "Windows ( Build 6000  )", 0},
        {Version(VER_PLATFORM_WIN32_NT, 5, 2, 3790, "Service Pack 2"), "Windows ( Build 3790 Service Pack 2 )", 0},
        {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 50, 1, ""), "Windows ( Build 1  )", 0},
    };
    // The speed measurement is not what this test looks at.
    ptest::CpuOverride noCounter;
    noCounter.noTimeStampCounter = true;
    ptest::OverrideCpu(noCounter);

    for (const Case& t : cases) {
        SCOPED_TRACE(t.text);
        ptest::OverrideVersion(&t.version);
        std::string log = Report();
        EXPECT_STREQ(g_windowSystem.systemInfo.osText, t.text);
        EXPECT_EQ(g_windowSystem.osCode, t.code);
        EXPECT_TRUE(Contains(log, std::string("\tＯＳ  ") + t.text + "\r\n")) << log;
    }
}

TEST_F(SystemReport, DefaultSystemReadsAsWindowsXp) {
    std::string log = Report();
    const std::string head = std::string("システムの情報を出力します\r\n") + "\tＱＺライブラリ Ver" + kQzLibVersion +
                             "\r\n" + "\tＯＳ  WindowsXP ( Build 2600 Service Pack 3 )\r\n";
    EXPECT_EQ(log.substr(0, head.size()), head);
    EXPECT_EQ(g_windowSystem.osCode, 0x107);
    EXPECT_EQ(g_windowSystem.directXVersion, 0x70000);

    // Every x86-64 processor has CPUID, MMX and a time-stamp counter.
    DWORD r[4] = {};
    ASSERT_TRUE(CpuIdentify(0, r));
    char vendor[13] = {};
    std::memcpy(vendor + 0, &r[1], 4);
    std::memcpy(vendor + 4, &r[3], 4);
    std::memcpy(vendor + 8, &r[2], 4);
    EXPECT_TRUE(Contains(log, std::string("\tＣＰＵベンダ：") + vendor + "\r\n")) << log;
    EXPECT_TRUE(Contains(log, "\tＭＭＸ命令を使用します\r\n")) << log;
    EXPECT_TRUE(Contains(log, "\tＣＰＵ動作速度：大体")) << log;
    EXPECT_EQ(IsMMXAvailable(), 1);
    EXPECT_EQ(g_windowSystem.timeStampCounterFlag, 1);
    if (g_windowSystem.systemInfo.cpuName[0] != '\0') {
        EXPECT_TRUE(Contains(log, std::string("\tＣＰＵ名：") + g_windowSystem.systemInfo.cpuName + "\r\n")) << log;
    }

    // The file holds the same lines behind their time prefixes.
    std::string file = qztest::ReadWholeFile(dir_.file("AppLog.txt"));
    EXPECT_TRUE(Contains(file, ":\tＯＳ  WindowsXP ( Build 2600 Service Pack 3 )\r\n")) << file;
}

TEST_F(SystemReport, SpeedLineFromTheTimeStampRate) {
    struct Case {
        uint64_t rate;
        const char* line;
        int mhz;
    };
    const Case cases[] = {
        {2'400'000'000u, "\tＣＰＵ動作速度：大体2.40GHz\r\n", 2400},
        {3'333'333'333u, "\tＣＰＵ動作速度：大体3.33GHz\r\n", 3333},
        {800'000'000u, "\tＣＰＵ動作速度：大体0.80GHz\r\n", 800},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.rate);
        ptest::SetTimeStampRate(t.rate);
        std::string log = Report();
        EXPECT_TRUE(Contains(log, t.line)) << log;
        // 100 ms of the millisecond clock, give or take the millisecond it started in.
        EXPECT_NEAR(g_windowSystem.systemInfo.cpuSpeedMHz, t.mhz, t.mhz / 100 + 1);
        double ticks = static_cast<double>(g_windowSystem.timeStampTicksPerSecond);
        EXPECT_NEAR(ticks / static_cast<double>(t.rate), 1.0, 0.011);
    }
}

TEST_F(SystemReport, WhatTheProcessorLacks) {
    struct Case {
        const char* name;
        ptest::CpuOverride cpu;
        const char* levelLine;
        bool vendor;
        bool nameLine;
        bool speed;
        int mmx;
    };
    ptest::CpuOverride none, noBrand, noMmx, noCounter;
    none.noCpuid = true;
    noBrand.noBrandString = true;
    noMmx.noMmx = true;
    noCounter.noTimeStampCounter = true;
    const Case cases[] = {
        {"no CPUID", none, "\tＣＰＵＩＤ命令は使えません\r\n", false, false, false, 0},
        {"no brand string", noBrand, "\tＭＭＸ命令を使用します\r\n", true, false, true, 1},
        {"no MMX", noMmx, "\tＭＭＸは使えません\r\n", true, true, true, 0},
        {"no time-stamp counter", noCounter, "\tＭＭＸ命令を使用します\r\n", true, true, false, 1},
    };
    DWORD extended[4] = {};
    const bool hasBrand = CpuIdentify(0x80000000u, extended) && extended[0] >= 0x80000004u;

    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        ptest::OverrideCpu(t.cpu);
        std::string log = Report();
        EXPECT_TRUE(Contains(log, t.levelLine)) << log;
        EXPECT_EQ(Contains(log, "ＣＰＵベンダ："), t.vendor) << log;
        EXPECT_EQ(Contains(log, "ＣＰＵ名："), t.nameLine && hasBrand) << log;
        EXPECT_EQ(Contains(log, "ＣＰＵ動作速度"), t.speed) << log;
        EXPECT_EQ(IsMMXAvailable(), t.mmx);
        EXPECT_EQ(g_windowSystem.timeStampCounterFlag, t.speed ? 1 : 0);
        if (!t.nameLine) {
            EXPECT_STREQ(g_windowSystem.systemInfo.cpuName, "");
        }
    }
}

// ---- clocks -----------------------------------------------------------------------------

class Clocks : public ::testing::Test {
protected:
    void SetUp() override {
        ptest::SetClockMode(ptest::ClockMode::Fast);
        ptest::SetFastClockReadStep(0);  // every reading sees the time the test set
        LARGE_INTEGER frequency;
        ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
        g_windowSystem.performanceFrequency = frequency.QuadPart;
        g_windowSystem.usePerformanceCounter = 1;
        // A counter the library believes runs at half its real rate: a reading taken
        // from it comes out twice too large.
        ptest::SetTimeStampRate(2'000'000'000u);
        g_windowSystem.timeStampCounterFlag = 1;
        g_windowSystem.timeStampTicksPerSecond = 1'000'000'000;
    }
    void TearDown() override { ptest::ResetControls(); }
};

TEST_F(Clocks, MicrosecondTimeChoosesItsSource) {
    struct Case {
        uint64_t now;  // microseconds of the fast clock
        int initialised;
        int usePerformanceCounter;
        int argument;
        int64_t expected;
    };
    const Case cases[] = {
        // Before initialisation even (1) reads the performance counter.
        {5'250'000, 0, 1, 1, 5'250'000},
        {5'250'000, 0, 1, 0, 5'250'000},
        // (0) never reads the time-stamp counter.
        {5'250'000, 1, 1, 0, 5'250'000},
        // (1) once initialised: the counter, scaled by the rate the library measured.
        {5'250'000, 1, 1, 1, 10'500'000},
        {4'294'967'500'000, 0, 1, 1, 4'294'967'500'000},
        // Without a performance counter: the millisecond clock, 32 bits and wrapping.
        {5'250'999, 0, 0, 1, 5'250'000},
        {4'294'967'500'000, 0, 0, 0, 204'000},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(testing::Message() << t.now << " initialised " << t.initialised << " counter "
                                        << t.usePerformanceCounter << " argument " << t.argument);
        ptest::SetFastClockMicroseconds(t.now);
        g_windowSystem.libraryInitialized = t.initialised;
        g_windowSystem.usePerformanceCounter = t.usePerformanceCounter;
        EXPECT_EQ(GetMicrosecondTime(t.argument), t.expected);
    }

    // With the rate measured right, the counter gives the same time.
    g_windowSystem.libraryInitialized = 1;
    g_windowSystem.usePerformanceCounter = 1;
    g_windowSystem.timeStampTicksPerSecond = 2'000'000'000;
    ptest::SetFastClockMicroseconds(7'000'123);
    EXPECT_EQ(GetMicrosecondTime(1), 7'000'123);
}

TEST_F(Clocks, MillisecondTimeAndLocalDate) {
    ptest::SetFastClockMicroseconds(4'294'967'295'999);  // the last millisecond before the wrap
    EXPECT_EQ(GetMillisecondTime(0), -1);
    EXPECT_EQ(GetMillisecondTime(12345), -1);  // the argument is not read
    ptest::AdvanceFastClock(1000);
    EXPECT_EQ(GetMillisecondTime(0), 0);

    SYSTEMTIME now;
    GetLocalTime(&now);
    int parts[6] = {};
    EXPECT_EQ(ReadLocalDateTime(parts), 0);
    EXPECT_EQ(parts[0], now.wYear);
    EXPECT_EQ(parts[1], now.wMonth);
    EXPECT_EQ(parts[2], now.wDay);
    EXPECT_EQ(parts[3], now.wHour);
    EXPECT_EQ(parts[4], now.wMinute);
    EXPECT_EQ(parts[5], now.wSecond);
}

}  // namespace

}  // namespace QzWinTime_test
