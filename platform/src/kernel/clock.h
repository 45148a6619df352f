// kernel/clock.h: the one time that every clock of the platform reads (timeGetTime,
// the performance counter, the time-stamp counter, the local time), real or fast
// (see testing.h). Any thread.
#pragma once

#include <cstdint>

namespace kernel {

// The performance counter's fixed rate: 10 MHz, so that a fast-clock microsecond is
// exactly ten counts.
constexpr uint64_t kPerformanceFrequency = 10'000'000;

bool IsFastClock();

// Microseconds of the shared time. Real: the monotonic clock. Fast: the virtual time;
// a read on the main thread then advances it by the read step.
uint64_t ReadClockMicroseconds();

// Nanoseconds of the monotonic clock, for the real performance counter.
uint64_t RealNanoseconds();

// The fast clock's time-stamp counter rate (ticks per second).
uint64_t FastTimeStampRate();

}  // namespace kernel
