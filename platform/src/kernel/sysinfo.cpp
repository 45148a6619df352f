// kernel/sysinfo.cpp: the emulated system the library reports on: the Windows version
// (XP Service Pack 3), the memory status (the machine's physical memory, as a 32-bit
// program sees it), the code pages, and the desktop depth override read by gdi. Any
// thread; overrides from testing.h are guarded by g_systemLock.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unistd.h>

#include "kernel/controls.h"
#include "kernel/diag.h"
#include "platform/testing.h"

namespace kernel {
namespace {

constexpr UINT kJapaneseCodePage = 932;
// What a 32-bit program's user address space offers.
constexpr DWORD kUserAddressSpace = 0x7FFE0000;

std::mutex g_systemLock;
bool g_hasVersion = false;  // the rest guarded by g_systemLock
OSVERSIONINFOEXA g_version;
bool g_hasMemory = false;
MEMORYSTATUS g_memory;
std::atomic<UINT> g_codePage{0};
std::atomic<int> g_desktopDepth{0};

OSVERSIONINFOEXA WindowsXpSp3() {
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof info;
    info.dwMajorVersion = 5;
    info.dwMinorVersion = 1;
    info.dwBuildNumber = 2600;
    info.dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::strcpy(info.szCSDVersion, "Service Pack 3");
    info.wServicePackMajor = 3;
    info.wProductType = 1;  // a workstation
    return info;
}

DWORD Clamp32(unsigned long long bytes) { return bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(bytes); }

// /proc/meminfo values in bytes; a line that is missing leaves its value at 0.
void ReadMemInfo(unsigned long long* total, unsigned long long* available, unsigned long long* swapTotal,
                 unsigned long long* swapFree) {
    *total = *available = *swapTotal = *swapFree = 0;
    FILE* file = std::fopen("/proc/meminfo", "r");
    if (file != nullptr) {
        char line[256];
        while (std::fgets(line, sizeof line, file)) {
            unsigned long long kib = 0;
            if (std::sscanf(line, "MemTotal: %llu kB", &kib) == 1) *total = kib * 1024;
            else if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1) *available = kib * 1024;
            else if (std::sscanf(line, "SwapTotal: %llu kB", &kib) == 1) *swapTotal = kib * 1024;
            else if (std::sscanf(line, "SwapFree: %llu kB", &kib) == 1) *swapFree = kib * 1024;
        }
        std::fclose(file);
    }
    if (*total == 0) {
        long pages = sysconf(_SC_PHYS_PAGES);
        long size = sysconf(_SC_PAGESIZE);
        if (pages > 0 && size > 0) *total = static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(size);
    }
    if (*available == 0 || *available > *total) *available = *total;
}

}  // namespace

int DesktopDepthOverride() { return g_desktopDepth.load(); }

void ResetSystemControls() {
    ptest::OverrideVersion(nullptr);
    ptest::OverrideOemCodePage(0);
    ptest::OverrideMemoryStatus(nullptr);
    ptest::SetDesktopDepth(0);
}

}  // namespace kernel

using namespace kernel;

namespace ptest {

void OverrideVersion(const OSVERSIONINFOEXA* info) {
    std::lock_guard<std::mutex> hold(g_systemLock);
    g_hasVersion = info != nullptr;
    if (info) g_version = *info;
}

void OverrideOemCodePage(UINT codePage) { g_codePage.store(codePage); }

void OverrideMemoryStatus(const MEMORYSTATUS* status) {
    std::lock_guard<std::mutex> hold(g_systemLock);
    g_hasMemory = status != nullptr;
    if (status) g_memory = *status;
}

void SetDesktopDepth(int bitsPerPixel) { g_desktopDepth.store(bitsPerPixel); }

}  // namespace ptest

// Only the two record sizes the platform knows are accepted; the EXA record gets its
// extra fields too.
BOOL GetVersionExA(LPOSVERSIONINFOA versionInfo) {
    if (versionInfo == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    DWORD size = versionInfo->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA))
        return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    OSVERSIONINFOEXA info;
    {
        std::lock_guard<std::mutex> hold(g_systemLock);
        info = g_hasVersion ? g_version : WindowsXpSp3();
    }
    info.szCSDVersion[sizeof info.szCSDVersion - 1] = '\0';
    info.dwOSVersionInfoSize = size;
    std::memcpy(versionInfo, &info, size);
    return TRUE;
}

void GlobalMemoryStatus(LPMEMORYSTATUS buffer) {
    if (buffer == nullptr) return;
    {
        std::lock_guard<std::mutex> hold(g_systemLock);
        if (g_hasMemory) {
            *buffer = g_memory;
            buffer->dwLength = sizeof(MEMORYSTATUS);
            return;
        }
    }
    unsigned long long total, available, swapTotal, swapFree;
    ReadMemInfo(&total, &available, &swapTotal, &swapFree);
    MEMORYSTATUS status{};
    status.dwLength = sizeof status;
    status.dwMemoryLoad = total ? static_cast<DWORD>(100 - available * 100 / total) : 0;
    status.dwTotalPhys = Clamp32(total);
    status.dwAvailPhys = Clamp32(available);
    status.dwTotalPageFile = Clamp32(total + swapTotal);
    status.dwAvailPageFile = Clamp32(available + swapFree);
    status.dwTotalVirtual = kUserAddressSpace;
    status.dwAvailVirtual = kUserAddressSpace;
    *buffer = status;
}

UINT GetOEMCP() {
    UINT codePage = g_codePage.load();
    return codePage != 0 ? codePage : kJapaneseCodePage;
}

// A system whose OEM code page is overridden is that country's system: the ANSI code
// page follows it.
UINT GetACP() { return GetOEMCP(); }
