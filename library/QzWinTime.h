// QzWinTime.h: the library's clocks and the start-up report about the machine.
// GetMillisecondTime is the time base of all library timing; GetMicrosecondTime gives
// finer time from the time-stamp counter or the performance counter. Callers hold the
// library lock.
#pragma once

#include <cstdint>

// timeGetTime in milliseconds, 32 bits, wrapping; callers compare differences. The
// argument is not read.
int GetMillisecondTime(int unused);
// Milliseconds since a reading of GetMillisecondTime, across the 32-bit wrap.
uint32_t MillisecondsSince(int start);
// Microseconds: from the time-stamp counter when asked for (1), the processor has one
// and the library is initialised; else from the performance counter when the library
// uses it; else timeGetTime x 1000.
int64_t GetMicrosecondTime(int useTimeStampCounter);
// year, month, day, hour, minute, second; 0.
int ReadLocalDateTime(int out[6]);
// Logs the library version, the operating system, the processor and its speed, and
// stores the OS code, the MMX flag and the time-stamp rate in WindowSystemState; 0.
int LogSystemInformation();
int IsMMXAvailable();
