// kernel/clock.cpp: the shared time behind every clock, Sleep, the multimedia timer,
// the performance counter and the local time. Any thread.
//
// Fast clock: one virtual time in microseconds, starting at a fixed value. Only the
// main thread moves it: Sleep(n) there adds n ms and only yields, and each clock read
// there adds the read step, so a loop that polls the clock ends. Other threads read it
// without moving it and sleep in real time. Given the same calls on the main thread, the
// readings are the same on every run.
#include "kernel/clock.h"
#include "kernel/journal.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <pthread.h>
#include <sched.h>
#include <sys/types.h>
#include <unistd.h>

#include "kernel/controls.h"
#include "platform/testing.h"
#include "platform/winmm.h"

namespace kernel {
namespace {

// One minute after the virtual boot, so that no reading is 0.
constexpr uint64_t kFastClockStart = 60'000'000;
constexpr uint64_t kFastReadStep = 10;
constexpr uint64_t kFastTimeStampRate = 2'000'000'000;
// The local date of virtual time 0: 2000-01-01 00:00:00.
constexpr time_t kFastEpoch = 946'684'800;

enum : int { kModeUnset = -1, kModeReal = 0, kModeFast = 1 };

std::atomic<int> g_mode{kModeUnset};
std::atomic<uint64_t> g_fastMicroseconds{kFastClockStart};
std::atomic<uint64_t> g_readStep{kFastReadStep};
std::atomic<uint64_t> g_timeStampRate{kFastTimeStampRate};
std::atomic<pid_t> g_namedMain{0};  // 0: the thread that started the process

}  // namespace

bool IsFastClock() {
    int mode = g_mode.load(std::memory_order_relaxed);
    if (mode == kModeUnset) {
        mode = EnvironmentAsksFastClock() ? kModeFast : kModeReal;
        g_mode.store(mode);
    }
    return mode == kModeFast;
}

uint64_t RealNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1'000'000'000u + static_cast<uint64_t>(now.tv_nsec);
}

uint64_t ReadClockMicroseconds() {
    if (!IsFastClock()) return RealNanoseconds() / 1000;
    if (ptest::IsMainThread()) return g_fastMicroseconds.fetch_add(g_readStep.load());
    return g_fastMicroseconds.load();
}

uint64_t FastTimeStampRate() { return g_timeStampRate.load(); }

void ResetClockControls() {
    g_mode.store(kModeUnset);
    g_fastMicroseconds.store(kFastClockStart);
    g_readStep.store(kFastReadStep);
    g_timeStampRate.store(kFastTimeStampRate);
    g_namedMain.store(0);
}

}  // namespace kernel

using namespace kernel;

namespace ptest {

void SetClockMode(ClockMode mode) { g_mode.store(mode == ClockMode::Fast ? kModeFast : kModeReal); }

ClockMode GetClockMode() { return IsFastClock() ? ClockMode::Fast : ClockMode::Real; }

void SetFastClockMicroseconds(uint64_t microseconds) { g_fastMicroseconds.store(microseconds); }

uint64_t GetFastClockMicroseconds() { return g_fastMicroseconds.load(); }

void AdvanceFastClock(uint64_t microseconds) { g_fastMicroseconds.fetch_add(microseconds); }

void SetFastClockReadStep(uint64_t microseconds) { g_readStep.store(microseconds); }

void SetTimeStampRate(uint64_t ticksPerSecond) { g_timeStampRate.store(ticksPerSecond); }

void MakeCurrentThreadMain() { g_namedMain.store(gettid()); }

// The process's first thread has the process id as its thread id; that stays true in
// a forked child (death tests), where a remembered id would not.
// Every clock read asks whether it runs on the main thread, thousands of times a frame
// under the fast clock, so each thread reads its id once; a forked child, whose one thread
// carries the parent thread's copy, reads it again.
thread_local pid_t t_threadId = 0, t_processId = 0;

bool IsMainThread() {
    static const bool forkHandled = pthread_atfork(nullptr, nullptr, [] { t_threadId = t_processId = 0; }) == 0;
    (void)forkHandled;
    if (t_threadId == 0) {
        t_threadId = gettid();
        t_processId = getpid();
    }
    pid_t named = g_namedMain.load();
    return t_threadId == (named != 0 ? named : t_processId);
}

}  // namespace ptest

DWORD timeGetTime() { return static_cast<DWORD>(ReadClockMicroseconds() / 1000); }

MMRESULT timeGetDevCaps(LPTIMECAPS caps, UINT size) {
    if (caps == nullptr || size < sizeof(TIMECAPS)) return TIMERR_NOCANDO;
    caps->wPeriodMin = 1;
    caps->wPeriodMax = 1'000'000;
    return TIMERR_NOERROR;
}

// The timer already runs at 1 ms; a period outside the capabilities is refused.
MMRESULT timeBeginPeriod(UINT period) { return period >= 1 ? TIMERR_NOERROR : TIMERR_NOCANDO; }

MMRESULT timeEndPeriod(UINT period) { return period >= 1 ? TIMERR_NOERROR : TIMERR_NOCANDO; }

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (frequency == nullptr) return FALSE;
    frequency->QuadPart = static_cast<LONGLONG>(kPerformanceFrequency);
    return TRUE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (count == nullptr) return FALSE;
    uint64_t ticks = IsFastClock() ? ReadClockMicroseconds() * (kPerformanceFrequency / 1'000'000)
                                   : RealNanoseconds() / (1'000'000'000 / kPerformanceFrequency);
    count->QuadPart = static_cast<LONGLONG>(ticks);
    return TRUE;
}

// Fast clock: a fixed date plus the virtual time, read as UTC, so no time zone enters.
void GetLocalTime(LPSYSTEMTIME time) {
    if (time == nullptr) return;
    tm parts{};
    unsigned milliseconds = 0;
    if (IsFastClock()) {
        uint64_t microseconds = ReadClockMicroseconds();
        time_t seconds = kFastEpoch + static_cast<time_t>(microseconds / 1'000'000);
        milliseconds = static_cast<unsigned>(microseconds / 1000 % 1000);
        gmtime_r(&seconds, &parts);
    } else {
        timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        milliseconds = static_cast<unsigned>(now.tv_nsec / 1'000'000);
        localtime_r(&now.tv_sec, &parts);
    }
    time->wYear = static_cast<WORD>(parts.tm_year + 1900);
    time->wMonth = static_cast<WORD>(parts.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
    time->wDay = static_cast<WORD>(parts.tm_mday);
    time->wHour = static_cast<WORD>(parts.tm_hour);
    time->wMinute = static_cast<WORD>(parts.tm_min);
    time->wSecond = static_cast<WORD>(parts.tm_sec);
    time->wMilliseconds = static_cast<WORD>(milliseconds);
}

void Sleep(DWORD milliseconds) {
    if (ptest::IsMainThread()) kernel::JournalNote("kernel", "Sleep", milliseconds, nullptr, nullptr, 0);
    if (milliseconds != INFINITE && IsFastClock() && ptest::IsMainThread()) {
        g_fastMicroseconds.fetch_add(uint64_t{milliseconds} * 1000);
        sched_yield();
        return;
    }
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    // INFINITE sleeps for good, a day at a time.
    uint64_t left = milliseconds == INFINITE ? UINT64_MAX : milliseconds;
    while (left > 0) {
        uint64_t slice = left > 86'400'000 ? 86'400'000 : left;
        timespec wait{static_cast<time_t>(slice / 1000), static_cast<long>(slice % 1000 * 1'000'000)};
        while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
        }
        if (milliseconds != INFINITE) left -= slice;
    }
}
