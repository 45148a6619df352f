// QzWinTime.cpp: the library's clocks and the system information written at start-up.
//
// Microsecond time: the 32-bit processor switched its floating-point unit to 64-bit
// precision for these divisions and back afterwards. x86-64 has no precision control
// for SSE, so the arithmetic is done in long double, which is that 64-bit-mantissa
// format; nothing needs restoring. A result that does not fit in 64 bits gives the
// most negative value, as the processor's conversion did.
//
// LogSystemInformation runs once per library start-up, before the window start-up,
// whose record clear keeps what it stores. Callers hold the library lock.
#include "QzWinTime.h"

#include <cstring>

#include <platform/win32.h>
#include <platform/winmm.h>

#include "QzLibVersion.h"
#include "QzUseCLib.h"
#include "QzWinLog.h"
#include "QzWinState.h"

namespace {

int64_t TruncateToInt64(long double value) {
    if (!(value >= -9223372036854775808.0L && value < 9223372036854775808.0L)) return INT64_MIN;
    return static_cast<int64_t>(value);
}

// Appends the version word and sets the OS code; an unlisted version appends nothing
// and leaves the code 0.
void DescribeVersion(const OSVERSIONINFOA& version, char* text, int size, int* osCode) {
    const char* word = "";
    *osCode = 0;
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        word = "3.1";
        break;
    case VER_PLATFORM_WIN32_WINDOWS:
        if (version.dwMinorVersion == 0) {
            word = version.szCSDVersion[0] == 'C' ? "95OSR2" : "95";
            *osCode = 1;
        } else if (version.dwMinorVersion == 10) {
            word = version.szCSDVersion[0] == 'A' ? "98SE" : "98";
            *osCode = 2;
        } else if (version.dwMinorVersion == 90) {
            word = "Me";
            *osCode = 3;
        }
        break;
    case VER_PLATFORM_WIN32_NT:
        if (version.dwMajorVersion == 3) {
            word = "NT 3.51";
            *osCode = 0x104;
        } else if (version.dwMajorVersion == 4) {
            word = "4.0";
            *osCode = 0x105;
        } else if (version.dwMajorVersion == 5 && version.dwMinorVersion == 0) {
            word = "2000";
            *osCode = 0x106;
        } else if (version.dwMajorVersion == 5 && version.dwMinorVersion == 1) {
            word = "XP";
            *osCode = 0x107;
        }
        break;
    default:
        break;
    }
    AppendStringBounded(text, size, word);
}

void LogOperatingSystem(WindowSystemState& ws) {
    WriteLog("ＯＳ  ");
    char text[256];
    CopyStringBounded(text, sizeof text, "Windows");

    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    ws.osCode = 0;
    if (GetVersionExA(&version)) {
        version.szCSDVersion[sizeof version.szCSDVersion - 1] = '\0';
        DescribeVersion(version, text, sizeof text, &ws.osCode);
    }
    FormatStringBounded(ws.systemInfo.osText, sizeof ws.systemInfo.osText, "%s ( Build %d %s )", text,
                        static_cast<int>(version.dwBuildNumber), version.szCSDVersion);
    WriteLogFormat("%s", ws.systemInfo.osText);
}

// What the identification instruction reports.
struct CpuInfo {
    int level;          // 0 no CPUID, 1 CPUID, 3 CPUID with MMX
    char vendor[13];
    char brand[49];     // empty without a brand string
    int timeStampCounter;
};

CpuInfo IdentifyCpu() {
    CpuInfo cpu;
    std::memset(&cpu, 0, sizeof cpu);
    DWORD r[4] = {0, 0, 0, 0};
    if (!CpuIdentify(0, r)) return cpu;

    cpu.level = 1;
    // The vendor's twelve characters come in EBX, EDX, ECX.
    std::memcpy(cpu.vendor + 0, &r[1], 4);
    std::memcpy(cpu.vendor + 4, &r[3], 4);
    std::memcpy(cpu.vendor + 8, &r[2], 4);

    DWORD features[4] = {0, 0, 0, 0};
    CpuIdentify(1, features);
    cpu.timeStampCounter = (features[3] >> 4) & 1u;

    DWORD extended[4] = {0, 0, 0, 0};
    if (CpuIdentify(0x80000000u, extended) && extended[0] >= 0x80000004u) {
        for (DWORD leaf = 0; leaf < 3; leaf++) {
            DWORD brandWords[4] = {0, 0, 0, 0};
            CpuIdentify(0x80000002u + leaf, brandWords);
            std::memcpy(cpu.brand + leaf * 16, brandWords, 16);
        }
    }
    if ((features[3] >> 23) & 1u) cpu.level = 3;
    return cpu;
}

// Counts time-stamp ticks over 100 ms of the millisecond clock.
void MeasureCpuSpeed(WindowSystemState& ws) {
    ULONGLONG before = ReadTimeStampCounter();
    int start = GetMillisecondTime(0);
    while (MillisecondsSince(start) < 100u) {
    }
    ULONGLONG after = ReadTimeStampCounter();
    ULONGLONG ticks = after - before;

    int mhz = ConvertDoubleToInt(static_cast<double>(ticks) * 0.00001);
    ws.timeStampTicksPerSecond = static_cast<int64_t>(ticks * 10u);
    WriteLogFormat("ＣＰＵ動作速度：大体%.2fGHz", mhz / 1000.0);
    ws.systemInfo.cpuSpeedMHz = mhz;
}

}  // namespace

int GetMillisecondTime(int /*unused*/) {
    return static_cast<int>(timeGetTime());
}

uint32_t MillisecondsSince(int start) {
    return static_cast<uint32_t>(GetMillisecondTime(0)) - static_cast<uint32_t>(start);
}

int64_t GetMicrosecondTime(int useTimeStampCounter) {
    const WindowSystemState& ws = g_windowSystem;
    if (ws.timeStampCounterFlag && useTimeStampCounter == 1 && ws.libraryInitialized &&
        ws.timeStampTicksPerSecond > 0) {
        long double counter = static_cast<long double>(ReadTimeStampCounter());
        return TruncateToInt64(counter * 1000000.0L / static_cast<long double>(ws.timeStampTicksPerSecond));
    }
    if (ws.usePerformanceCounter && ws.performanceFrequency > 0) {
        LARGE_INTEGER counter;
        counter.QuadPart = 0;
        QueryPerformanceCounter(&counter);
        long double seconds =
            static_cast<long double>(counter.QuadPart) / static_cast<long double>(ws.performanceFrequency);
        return TruncateToInt64(seconds * 1000000.0L);
    }
    return static_cast<int64_t>(timeGetTime()) * 1000;
}

int ReadLocalDateTime(int out[6]) {
    SYSTEMTIME now;
    std::memset(&now, 0, sizeof now);
    GetLocalTime(&now);
    out[0] = now.wYear;
    out[1] = now.wMonth;
    out[2] = now.wDay;
    out[3] = now.wHour;
    out[4] = now.wMinute;
    out[5] = now.wSecond;
    return 0;
}

int LogSystemInformation() {
    WindowSystemState& ws = g_windowSystem;

    WriteLog("システムの情報を出力します\n");
    IndentLog();

    char line[kLogFormatBufferSize];
    FormatStringBounded(line, sizeof line, "ＱＺライブラリ Ver%s\n", kQzLibVersion);
    WriteLog(line);

    LogOperatingSystem(ws);

    // This system stands on DirectX 7 and does not probe for it.
    ws.directXVersion = 0x70000;

    TIMECAPS caps;
    std::memset(&caps, 0, sizeof caps);
    timeGetDevCaps(&caps, sizeof caps);
    timeBeginPeriod(caps.wPeriodMin);

    ws.mmxFlag = 0;
    CpuInfo cpu = IdentifyCpu();
    ws.timeStampCounterFlag = cpu.timeStampCounter;
    CopyStringBounded(ws.systemInfo.cpuName, sizeof ws.systemInfo.cpuName, cpu.brand);

    if (ws.timeStampCounterFlag) MeasureCpuSpeed(ws);

    switch (cpu.level) {
    case 0:
        WriteLog("ＣＰＵＩＤ命令は使えません\n");
        break;
    case 1:
        WriteLog("ＭＭＸは使えません\n");
        break;
    default:
        WriteLog("ＭＭＸ命令を使用します\n");
        ws.mmxFlag = 1;
        break;
    }

    if (cpu.level >= 1) {
        WriteLog("ＣＰＵベンダ：");
        // The vendor in its three registers, as the instruction gives it.
        for (int reg = 0; reg < 3; reg++) {
            char four[5];
            std::memcpy(four, cpu.vendor + reg * 4, 4);
            four[4] = '\0';
            WriteLog(four);
        }
        WriteLog("\n");
        if (cpu.brand[0] != '\0') WriteLogFormat("ＣＰＵ名：%s", cpu.brand);
    }

    UnindentLog();
    return 0;
}

int IsMMXAvailable() {
    return g_windowSystem.mmxFlag;
}
