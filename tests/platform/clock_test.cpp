// Clocks: the multimedia timer, the performance and time-stamp counters, the local time
// and Sleep, real and fast.
#include <gtest/gtest.h>
#include <vector>

#include "platform/testing.h"
#include "platform/win32.h"
#include "platform/winmm.h"

namespace clock_test {

namespace {

constexpr uint64_t kWrapMicroseconds = 0x100000000ull * 1000;

// Everything a run of the fast clock shows: a busy wait across the 32-bit wrap.
std::vector<uint64_t> BusyWaitAcrossTheWrap() {
    ptest::ResetControls();
    ptest::SetClockMode(ptest::ClockMode::Fast);
    ptest::SetFastClockMicroseconds(kWrapMicroseconds - 40'000);
    std::vector<uint64_t> seen;
    DWORD start = timeGetTime();
    uint64_t polls = 0;
    while (timeGetTime() - start < 100) ++polls;
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    seen.push_back(start);
    seen.push_back(polls);
    seen.push_back(timeGetTime());
    seen.push_back(static_cast<uint64_t>(counter.QuadPart));
    seen.push_back(ReadTimeStampCounter());
    return seen;
}

TEST(FastClock, BusyWaitEndsAcrossTheWrapAndRepeatsExactly) {
    std::vector<uint64_t> first = BusyWaitAcrossTheWrap();
    EXPECT_EQ(first[0], 0xFFFFFFFFu - 39);
    EXPECT_LT(first[2], 100u);  // wrapped past 0xFFFFFFFF
    EXPECT_EQ(BusyWaitAcrossTheWrap(), first);
}

TEST(FastClock, AllClocksReadOneTime) {
    ptest::SetClockMode(ptest::ClockMode::Fast);
    ptest::SetFastClockReadStep(0);
    ptest::SetTimeStampRate(3'000'000'000);
    ptest::SetFastClockMicroseconds(1'234'567'000);

    LARGE_INTEGER frequency, counter;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    ASSERT_TRUE(QueryPerformanceCounter(&counter));
    EXPECT_EQ(counter.QuadPart / (frequency.QuadPart / 1'000'000), 1'234'567'000);
    EXPECT_EQ(timeGetTime(), 1'234'567u);
    EXPECT_EQ(ReadTimeStampCounter(), 1'234'567ull * 3'000'000);

    // Virtual time 0 is 2000-01-01 00:00:00, a Saturday.
    SYSTEMTIME date;
    GetLocalTime(&date);
    const WORD expected[] = {2000, 1, 6, 1, 0, 20, 34, 567};
    const WORD seen[] = {date.wYear, date.wMonth, date.wDayOfWeek, date.wDay,
                         date.wHour, date.wMinute, date.wSecond, date.wMilliseconds};
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(seen[i], expected[i]) << "field " << i;
}

TEST(FastClock, ReadsAndSleepsOnTheMainThreadMoveTime) {
    ptest::SetClockMode(ptest::ClockMode::Fast);
    ptest::SetFastClockReadStep(10);
    ptest::SetFastClockMicroseconds(5'000'000);
    EXPECT_EQ(timeGetTime(), 5000u);
    EXPECT_EQ(ptest::GetFastClockMicroseconds(), 5'000'010u);
    Sleep(250);
    EXPECT_EQ(ptest::GetFastClockMicroseconds(), 5'250'010u);
    Sleep(0);
    EXPECT_EQ(ptest::GetFastClockMicroseconds(), 5'250'010u);
}

struct OtherThreadSeen {
    DWORD before = 0;
    DWORD after = 0;
};

DWORD WINAPI SleepAndRead(LPVOID parameter) {
    auto* seen = static_cast<OtherThreadSeen*>(parameter);
    seen->before = timeGetTime();
    Sleep(20);  // real time; the virtual clock stays
    seen->after = timeGetTime();
    return 0;
}

TEST(FastClock, OtherThreadsNeitherMoveNorWaitForIt) {
    ptest::SetClockMode(ptest::ClockMode::Fast);
    ptest::SetFastClockMicroseconds(7'000'000);
    OtherThreadSeen seen;
    HANDLE thread = CreateThread(nullptr, 0, SleepAndRead, &seen, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(seen.before, 7000u);
    EXPECT_EQ(seen.after, 7000u);
    EXPECT_EQ(ptest::GetFastClockMicroseconds(), 7'000'000u);
}

// Waits on objects keep real time: a timed-out wait really waited, but moved nothing.
TEST(FastClock, WaitsOnObjectsStayRealTime) {
    ptest::SetClockMode(ptest::ClockMode::Fast);
    ptest::SetFastClockMicroseconds(9'000'000);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 5), WAIT_TIMEOUT);
    EXPECT_EQ(ptest::GetFastClockMicroseconds(), 9'000'000u);
    CloseHandle(event);
}

TEST(RealClock, TimerCapabilitiesAndCounters) {
    ptest::SetClockMode(ptest::ClockMode::Real);
    TIMECAPS caps;
    ASSERT_EQ(timeGetDevCaps(&caps, sizeof caps), static_cast<MMRESULT>(TIMERR_NOERROR));
    EXPECT_EQ(caps.wPeriodMin, 1u);
    EXPECT_EQ(timeGetDevCaps(&caps, 1), static_cast<MMRESULT>(TIMERR_NOCANDO));
    EXPECT_EQ(timeBeginPeriod(caps.wPeriodMin), static_cast<MMRESULT>(TIMERR_NOERROR));
    EXPECT_EQ(timeEndPeriod(caps.wPeriodMin), static_cast<MMRESULT>(TIMERR_NOERROR));

    LARGE_INTEGER frequency, first, second;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_GT(frequency.QuadPart, 0);
    QueryPerformanceCounter(&first);
    Sleep(0);
    QueryPerformanceCounter(&second);
    EXPECT_GE(second.QuadPart, first.QuadPart);
    EXPECT_EQ(ptest::GetClockMode(), ptest::ClockMode::Real);
}

}  // namespace

}  // namespace clock_test
