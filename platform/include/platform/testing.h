// testing.h: controls of the platform layer, for tests and, through environment
// variables, for the executable. They are controls of the platform, not features of
// the game. This file declares every run-time control with its default and effect;
// no other file reads the environment.
//
// Environment (read once, at the first use of the platform):
//   QZ_BACKEND=sdl|null  the machine below the platform (default: sdl)
//   QZ_CLOCK=fast        the fast clock (default: real time)
//
// Every control is thread-safe unless its comment says otherwise.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace ptest {

// Puts every control back to its default (environment variables included, which are
// read again). Tests call it between cases that changed controls.
void ResetControls();

// ---- backend --------------------------------------------------------------------------
// "sdl" (a real window, audio and pads) or "null" (headless). Chosen at the first use
// of a window, frame or sound and kept for the process.
const char* GetBackendName();  // from QZ_BACKEND; default "sdl"

// ---- clock ----------------------------------------------------------------------------
// Real: every clock follows the machine's monotonic clock.
// Fast: all clocks read one virtual time. On the main thread, Sleep(n) advances it by
// n ms without waiting, and every clock read advances it by the read step, so a loop
// that only polls the clock still ends. Other threads sleep in real time and never move
// the clock; waits on objects stay real-time on every thread. The same calls give the
// same readings on every run.
enum class ClockMode { Real, Fast };
void SetClockMode(ClockMode mode);  // default Real, or Fast under QZ_CLOCK=fast
ClockMode GetClockMode();
// Virtual time in microseconds; the fast clock starts at a fixed value that this sets,
// so a test can start just below the 32-bit millisecond wrap.
void SetFastClockMicroseconds(uint64_t microseconds);
uint64_t GetFastClockMicroseconds();
void AdvanceFastClock(uint64_t microseconds);
void SetFastClockReadStep(uint64_t microseconds);  // what one clock read on the main thread adds
void SetTimeStampRate(uint64_t ticksPerSecond);    // the fast clock's time-stamp counter rate
// The thread that counts as the main thread: the one that started the process, unless
// a test names another (the calling thread).
void MakeCurrentThreadMain();
bool IsMainThread();

// ---- fault injection --------------------------------------------------------------------
// The nth next call of the named platform function fails (1: the very next one), as the
// platform would fail it. Names: "HeapAlloc", "CreateFileA", "CreateEventA", "CreateThread".
void FailCall(const char* name, int nth = 1);
void ClearFaults();

// ---- debugger output -------------------------------------------------------------------
// While capturing, OutputDebugStringA keeps its exact CP932 bytes here and prints nothing.
void CaptureDebugOutput(bool on);
std::string TakeDebugOutput();  // returns and clears what was captured

// ---- overrides of the emulated system --------------------------------------------------
void OverrideVersion(const OSVERSIONINFOEXA* info);  // null: NT 5.1 build 2600 "Service Pack 3"
void OverrideOemCodePage(UINT codePage);             // 0: 932
struct CpuOverride {
    bool noCpuid = false;            // CpuIdentify fails
    bool noBrandString = false;      // the extended brand leaves are missing
    bool noTimeStampCounter = false; // the feature bit is clear and the counter reads 0
    bool noMmx = false;              // the MMX feature bit is clear
};
void OverrideCpu(const CpuOverride& cpu);
void OverrideMemoryStatus(const MEMORYSTATUS* status);  // null: the machine's own
void SetDesktopDepth(int bitsPerPixel);                 // 0: the backend's own (32)

}  // namespace ptest
