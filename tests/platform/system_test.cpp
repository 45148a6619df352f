// The emulated system (version, memory, code pages, processor, desktop), the debugger
// output, fault injection and the end of the process.
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "TempDir.h"
#include "platform/gdi.h"
#include "platform/testing.h"
#include "platform/win32.h"

namespace system_test {

namespace {

TEST(Version, IsXpServicePack3ForBothRecordSizes) {
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&info)));
    EXPECT_EQ(info.dwMajorVersion, 5u);
    EXPECT_EQ(info.dwMinorVersion, 1u);
    EXPECT_EQ(info.dwBuildNumber, 2600u);
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_STREQ(info.szCSDVersion, "Service Pack 3");
    EXPECT_EQ(info.wServicePackMajor, 0);  // beyond the small record: untouched

    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&info)));
    EXPECT_EQ(info.wServicePackMajor, 3);

    for (DWORD size : {0u, 100u, static_cast<DWORD>(sizeof(OSVERSIONINFOA) + 1)}) {
        info.dwOSVersionInfoSize = size;
        EXPECT_FALSE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&info))) << "size " << size;
    }
}

TEST(Version, OverrideIsReturnedAndResetRestoresXp) {
    OSVERSIONINFOEXA windows98{};
    windows98.dwMajorVersion = 4;
    windows98.dwMinorVersion = 10;
    windows98.dwBuildNumber = 2222;
    windows98.dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    std::strcpy(windows98.szCSDVersion, " A ");
    ptest::OverrideVersion(&windows98);
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwMinorVersion, 10u);
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS));
    EXPECT_STREQ(info.szCSDVersion, " A ");
    EXPECT_EQ(info.dwOSVersionInfoSize, sizeof info);

    ptest::ResetControls();
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwBuildNumber, 2600u);
}

TEST(Memory, RealTotalsClampTo32BitsAndOverridesAreExact) {
    MEMORYSTATUS status{};
    GlobalMemoryStatus(&status);
    unsigned long long physical =
        static_cast<unsigned long long>(sysconf(_SC_PHYS_PAGES)) * static_cast<unsigned long long>(sysconf(_SC_PAGESIZE));
    EXPECT_EQ(status.dwLength, sizeof status);
    EXPECT_EQ(status.dwTotalPhys, physical > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(physical));
    EXPECT_GT(status.dwAvailPhys, 0u);
    EXPECT_LE(status.dwAvailPhys, status.dwTotalPhys);
    EXPECT_LE(status.dwMemoryLoad, 100u);

    MEMORYSTATUS small{};
    small.dwTotalPhys = 64u << 20;
    small.dwAvailPhys = 12u << 20;
    ptest::OverrideMemoryStatus(&small);
    GlobalMemoryStatus(&status);
    EXPECT_EQ(status.dwTotalPhys, 64u << 20);
    EXPECT_EQ(status.dwAvailPhys, 12u << 20);
    EXPECT_EQ(status.dwLength, sizeof status);
}

TEST(CodePage, IsJapaneseUnlessOverridden) {
    EXPECT_EQ(GetOEMCP(), 932u);
    EXPECT_EQ(GetACP(), 932u);
    ptest::OverrideOemCodePage(949);
    EXPECT_EQ(GetOEMCP(), 949u);
    ptest::ResetControls();
    EXPECT_EQ(GetOEMCP(), 932u);
}

TEST(Cpu, RealAnswersAndEachOverride) {
    DWORD r[4];
    ASSERT_TRUE(CpuIdentify(0, r));
    char vendor[13] = {};
    std::memcpy(vendor, &r[1], 4);
    std::memcpy(vendor + 4, &r[3], 4);
    std::memcpy(vendor + 8, &r[2], 4);
    EXPECT_EQ(std::strlen(vendor), 12u) << vendor;
    ASSERT_TRUE(CpuIdentify(1, r));
    const DWORD realFeatures = r[3];

    const struct {
        const char* label;
        ptest::CpuOverride cpu;
    } cases[] = {
        {"no brand string", {false, true, false, false}},
        {"no time-stamp counter", {false, false, true, false}},
        {"no MMX", {false, false, false, true}},
        {"no CPUID", {true, false, false, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ptest::OverrideCpu(c.cpu);
        if (c.cpu.noCpuid) {
            EXPECT_FALSE(CpuIdentify(0, r));
            EXPECT_FALSE(HasTimeStampCounter());
            continue;
        }
        ASSERT_TRUE(CpuIdentify(1, r));
        EXPECT_EQ((r[3] >> 4) & 1, c.cpu.noTimeStampCounter ? 0u : (realFeatures >> 4) & 1);
        EXPECT_EQ((r[3] >> 23) & 1, c.cpu.noMmx ? 0u : (realFeatures >> 23) & 1);
        EXPECT_EQ(HasTimeStampCounter() != FALSE, ((r[3] >> 4) & 1) != 0);
        if (c.cpu.noTimeStampCounter) {
            EXPECT_EQ(ReadTimeStampCounter(), 0u);
        }
        if (c.cpu.noBrandString) {
            ASSERT_TRUE(CpuIdentify(0x80000000u, r));
            EXPECT_LT(r[0], 0x80000004u);
        }
    }
}

TEST(Desktop, ReportsOnePlaneOf32BitsOrTheSetDepth) {
    HDC dc = GetDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, PLANES) * GetDeviceCaps(dc, BITSPIXEL), 32);
    ptest::SetDesktopDepth(24);
    EXPECT_EQ(GetDeviceCaps(dc, PLANES) * GetDeviceCaps(dc, BITSPIXEL), 24);
    EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
}

TEST(Debugger, CaptureKeepsCp932BytesAndPrintsNothing) {
    ptest::CaptureDebugOutput(true);
    testing::internal::CaptureStderr();
    OutputDebugStringA("\t\x83\x8D\x83\x4F\r\n");  // "\tログ\r\n"
    OutputDebugStringA("x");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(ptest::TakeDebugOutput(), "\t\x83\x8D\x83\x4F\r\nx");
    EXPECT_EQ(ptest::TakeDebugOutput(), "");

    // Without the capture the text reaches standard error as UTF-8.
    ptest::CaptureDebugOutput(false);
    testing::internal::CaptureStderr();
    OutputDebugStringA("\x83\x8D\x83\x4F\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), reinterpret_cast<const char*>(u8"ログ\n"));
}

// The nth next call of the named function fails as the platform would fail it, once.
TEST(Faults, NamedCallsFailOnTheNthCall) {
    qztest::TempDir dir;
    auto createFile = [] {
        HANDLE file = CreateFileA("f", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        CloseHandle(file);
        return true;
    };
    auto heapAlloc = [] {
        void* block = HeapAlloc(GetProcessHeap(), 0, 16);
        HeapFree(GetProcessHeap(), 0, block);
        return block != nullptr;
    };
    auto createEvent = [] {
        HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (event == nullptr) return false;
        CloseHandle(event);
        return true;
    };
    auto createThread = [] {
        HANDLE thread = CreateThread(nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr);
        if (thread == nullptr) return false;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        return true;
    };
    const struct {
        const char* name;
        bool (*call)();
    } cases[] = {
        {"CreateFileA", +createFile},
        {"HeapAlloc", +heapAlloc},
        {"CreateEventA", +createEvent},
        {"CreateThread", +createThread},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ptest::FailCall(c.name, 2);
        EXPECT_TRUE(c.call());
        EXPECT_FALSE(c.call());
        EXPECT_NE(GetLastError(), 0u);
        EXPECT_TRUE(c.call());
    }
    ptest::FailCall("HeapAlloc");
    ptest::ResetControls();
    EXPECT_TRUE(heapAlloc());
}

TEST(ExitProcessDeathTest, EndsWithTheLowByteOfTheCode) {
    EXPECT_EXIT(ExitProcess(0xFFFFFFFFu), testing::ExitedWithCode(255), "");
    EXPECT_EXIT(ExitProcess(0x102u), testing::ExitedWithCode(2), "");
    EXPECT_EXIT(ExitProcess(0), testing::ExitedWithCode(0), "");
}

}  // namespace

}  // namespace system_test
