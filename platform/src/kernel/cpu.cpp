// kernel/cpu.cpp: the processor's identification (CPUID) and time-stamp counter, as
// the platform's own calls. Any thread. Real answers come from the processor; testing.h
// can take features away. Under the fast clock the counter runs at a set rate over the
// virtual time, so speed measurements give the same result on every run.
#include <atomic>
#include <mutex>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define QZ_HAS_CPUID 1
#else
#define QZ_HAS_CPUID 0
#endif

#include "kernel/clock.h"
#include "kernel/controls.h"
#include "platform/testing.h"

namespace kernel {
namespace {

constexpr DWORD kTimeStampCounterBit = 1u << 4;
constexpr DWORD kMmxBit = 1u << 23;

std::mutex g_cpuLock;
ptest::CpuOverride g_cpu;                    // guarded by g_cpuLock
std::atomic<bool> g_noTimeStampCounter{false};  // a copy the counter reads without the lock

ptest::CpuOverride CurrentOverride() {
    std::lock_guard<std::mutex> hold(g_cpuLock);
    return g_cpu;
}

}  // namespace

void ResetCpuControls() { ptest::OverrideCpu(ptest::CpuOverride()); }

}  // namespace kernel

using namespace kernel;

namespace ptest {

void OverrideCpu(const CpuOverride& cpu) {
    std::lock_guard<std::mutex> hold(g_cpuLock);
    g_cpu = cpu;
    g_noTimeStampCounter.store(cpu.noTimeStampCounter);
}

}  // namespace ptest

BOOL CpuIdentify(DWORD leaf, DWORD registers[4]) {
    ptest::CpuOverride cpu = CurrentOverride();
    if (registers == nullptr || cpu.noCpuid || !QZ_HAS_CPUID) return FALSE;
#if QZ_HAS_CPUID
    unsigned a = 0, b = 0, c = 0, d = 0;
    __cpuid_count(leaf, 0, a, b, c, d);
    registers[0] = a;
    registers[1] = b;
    registers[2] = c;
    registers[3] = d;
#endif
    if (leaf == 1) {
        if (cpu.noTimeStampCounter) registers[3] &= ~kTimeStampCounterBit;
        if (cpu.noMmx) registers[3] &= ~kMmxBit;
    }
    if (cpu.noBrandString) {
        // The extended range then ends before the brand leaves.
        if (leaf == 0x80000000u && registers[0] > 0x80000001u) registers[0] = 0x80000001u;
        if (leaf >= 0x80000002u && leaf <= 0x80000004u) registers[0] = registers[1] = registers[2] = registers[3] = 0;
    }
    return TRUE;
}

BOOL HasTimeStampCounter() {
    DWORD registers[4] = {};
    return CpuIdentify(1, registers) && (registers[3] & kTimeStampCounterBit) ? TRUE : FALSE;
}

ULONGLONG ReadTimeStampCounter() {
    if (g_noTimeStampCounter.load()) return 0;
    if (IsFastClock()) {
        unsigned __int128 ticks = static_cast<unsigned __int128>(ReadClockMicroseconds()) * FastTimeStampRate();
        return static_cast<ULONGLONG>(ticks / 1'000'000);
    }
#if QZ_HAS_CPUID
    return __rdtsc();
#else
    return RealNanoseconds();
#endif
}
