// ddraw/display.cpp: the emulated display: its mode (the desktop's until an exclusive
// object sets one) and its 60 Hz vertical blank on the platform clock.
//
// One display frame is 525 lines of 1/31500 s; lines 480-524 are the vertical blank.
// The phase is the platform time itself, so a run under the fast clock sees the same
// phases every time. Under the fast clock a status or scan-line poll advances the clock
// by 100 microseconds (a poll loop ends) and a wait jumps straight to its end.
#include <ctime>

#include "backend/backend.h"
#include "ddraw/internal.h"
#include "kernel/clock.h"
#include "platform/testing.h"

namespace ddraw {
namespace {

bool g_modeSet = false;
int g_width = 0, g_height = 0, g_bits = 0, g_refresh = 0;

constexpr uint64_t kLinesPerSecond = 31500;  // 525 lines x 60 frames
constexpr int kLinesPerFrame = 525;
constexpr int kVisibleLines = 480;
constexpr uint64_t kPollStepUs = 100;

// The line count since the clock's zero: floor(us x 31500 / 1e6).
uint64_t LinesAt(uint64_t us) {
    return us / 1000000 * kLinesPerSecond + us % 1000000 * kLinesPerSecond / 1000000;
}

// The first microsecond at which the line count reaches `lines`.
uint64_t MicrosecondOfLine(uint64_t lines) {
    uint64_t seconds = lines / kLinesPerSecond;
    uint64_t rest = lines % kLinesPerSecond;
    return seconds * 1000000 + (rest * 1000000 + kLinesPerSecond - 1) / kLinesPerSecond;
}

}  // namespace

void DesktopSize(int* width, int* height) {
    int bits = 32;
    backend::Current().desktopMode(width, height, &bits);
}

DDPIXELFORMAT FormatOfDepth(int bits) {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_RGB;
    f.dwRGBBitCount = (DWORD)bits;
    if (bits == 8) {
        f.dwFlags |= DDPF_PALETTEINDEXED8;
    } else if (bits == 16) {
        switch (Display16Kind()) {
        case 1: f.dwRBitMask = 0x7C00, f.dwGBitMask = 0x03E0, f.dwBBitMask = 0x001F; break;
        case 2: f.dwRBitMask = 0x001F, f.dwGBitMask = 0x07E0, f.dwBBitMask = 0xF800; break;
        default: f.dwRBitMask = 0xF800, f.dwGBitMask = 0x07E0, f.dwBBitMask = 0x001F; break;
        }
    } else {
        f.dwRBitMask = 0xFF0000, f.dwGBitMask = 0xFF00, f.dwBBitMask = 0xFF;
    }
    return f;
}

DisplayMode CurrentDisplayMode() {
    DisplayMode m;
    if (g_modeSet) {
        m.width = g_width;
        m.height = g_height;
        m.bits = g_bits;
        m.refresh = g_refresh;
    } else {
        DesktopSize(&m.width, &m.height);
        m.bits = 32;  // the desktop is X8R8G8B8
        m.refresh = 0;
    }
    m.format = FormatOfDepth(m.bits);
    return m;
}

void SetDisplayModeState(int width, int height, int bits, int refresh) {
    g_modeSet = bits != 0;
    g_width = width;
    g_height = height;
    g_bits = bits;
    g_refresh = refresh;
}

bool DisplayModeIsSet() {
    return g_modeSet;
}

uint64_t NowMicroseconds() {
    return kernel::IsFastClock() ? ptest::GetFastClockMicroseconds() : kernel::ReadClockMicroseconds();
}

BlankPhase PollBlank() {
    uint64_t now = NowMicroseconds();
    if (kernel::IsFastClock())
        ptest::AdvanceFastClock(kPollStepUs);
    int line = (int)(LinesAt(now) % kLinesPerFrame);
    return BlankPhase{line, line >= kVisibleLines};
}

uint64_t NextBlankStart(uint64_t afterUs) {
    uint64_t lines = LinesAt(afterUs);
    uint64_t frame = lines / kLinesPerFrame;
    uint64_t start = frame * kLinesPerFrame + kVisibleLines;
    if (start <= lines) {
        // Inside this frame's blank already: the next frame's; exactly at a line: that line
        // counts as reached only when its first microsecond has passed.
        if (MicrosecondOfLine(start) <= afterUs)
            start += kLinesPerFrame;
    }
    return MicrosecondOfLine(start);
}

void WaitUntil(uint64_t us) {
    if (kernel::IsFastClock()) {
        uint64_t now = ptest::GetFastClockMicroseconds();
        if (us > now)
            ptest::AdvanceFastClock(us - now);
        return;
    }
    for (;;) {
        uint64_t now = kernel::ReadClockMicroseconds();
        if (now >= us)
            return;
        uint64_t left = us - now;
        timespec wait{(time_t)(left / 1000000), (long)(left % 1000000 * 1000)};
        nanosleep(&wait, nullptr);
    }
}

}  // namespace ddraw
