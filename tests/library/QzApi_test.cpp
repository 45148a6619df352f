// The entry points, one table over all 38: each asks for the library lock before it
// does anything (another thread holds the lock and lets go only once the caller stands
// in its queue; the three lock-free ones return while it still holds it), gives the lock
// back on success and on its error paths, and hands the operation's result back as it
// came: a colour, a pointer, a handle the operation accepts, a -1.
#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ImageWriters.h"
#include "LibraryFixture.h"
#include "QzApiInternal.h"
#include "QzDrawScreenColor.h"
#include "QzGraphicsDraw.h"
#include "QzGraphicsDrawState.h"
#include "QzInput.h"
#include "QzWinTime.h"
#include "QzWinWindow.h"
#include "../platform/sound_support.h"

namespace QzApi_test {

namespace {

// What the rows share: the fixtures' handles, made by earlier rows.
struct Handles {
    int sheet = -1;
    int cut = -1;
    int font[255] = {};
    int sound = -1;
    int screenW = 0, screenH = 0;
    uint32_t color = 0;
    ColorFormat colorFormat = {};
    DDPIXELFORMAT pixelFormat = {};
    RECT rect = {};
};

// Where an error path comes from.
enum class Fault { InvalidHandle, MissingFile, SoundNotStarted };

struct ErrorCall {
    Fault fault;
    std::function<int64_t(Handles&)> call;
    int64_t expected;
};

struct Row {
    const char* name;
    bool takesLock;
    std::function<int64_t(Handles&)> call;        // as the game or the library calls it
    std::function<void(Handles&, int64_t)> check;  // the result against the operation's own
    std::vector<ErrorCall> errors;
};

// A handle of the right kind whose slot is not in use.
constexpr int kStaleGraph = (1 << 27) | 0x7FF0;
constexpr int kStaleSound = (2 << 27) | 0x0FF0;

template <typename Call>
auto Locked(Call call) {
    EnterLibraryLock();
    auto result = call();
    LeaveLibraryLock();
    return result;
}

int64_t Pointer(const void* p) { return static_cast<int64_t>(reinterpret_cast<intptr_t>(p)); }

void ExpectZero(Handles&, int64_t r) { EXPECT_EQ(r, 0); }

const std::vector<Row>& Rows() {
    static const std::vector<Row> rows = {
        // ---- core ----
        {"ApiSetWindowCaption", true, [](Handles&) { return ApiSetWindowCaption("ZARNOVIK"); }, ExpectZero, {}},
        {"ApiChangeWindowMode", true, [](Handles&) { return ApiChangeWindowMode(1); }, ExpectZero, {}},
        {"ApiSetWindowResizableFlag", true, [](Handles&) { return ApiSetWindowResizableFlag(1); }, ExpectZero, {}},
        {"ApiProcessMessage", true, [](Handles&) { return ApiProcessMessage(); }, ExpectZero, {}},
        {"ApiGetMillisecondTime", true, [](Handles&) { return ApiGetMillisecondTime(0); },
         [](Handles&, int64_t r) {
             // The fast clock moves a millisecond a read on this thread, never backwards.
             const int64_t now = Locked([] { return GetMillisecondTime(0); });
             EXPECT_GT(now, r);
             EXPECT_LE(now - r, 10);
         },
         {}},
        {"ApiGetKeyPressFlag", true, [](Handles&) { return ApiGetKeyPressFlag(57); },
         [](Handles&, int64_t r) { EXPECT_EQ(r, Locked([] { return GetKeyPressFlag(57); })); }, {}},
        {"ApiGetPadInputBits", true, [](Handles&) { return ApiGetPadInputBits(0x1001); },
         [](Handles&, int64_t r) { EXPECT_EQ(r, Locked([] { return GetPadInputBits(0x1001); })); }, {}},

        // ---- screen and graphics ----
        {"ApiSetScreenMode", true, [](Handles&) { return ApiSetScreenMode(640, 480, 32, 60); }, ExpectZero, {}},
        {"ApiGetScreenSize", true, [](Handles& h) { return ApiGetScreenSize(&h.screenW, &h.screenH); },
         [](Handles& h, int64_t r) {
             EXPECT_EQ(r, 0);
             EXPECT_EQ(h.screenW, 640);
             EXPECT_EQ(h.screenH, 480);
         },
         {}},
        {"ApiGetScreenPixelFormat", true, [](Handles&) { return Pointer(ApiGetScreenPixelFormat()); },
         [](Handles&, int64_t r) {
             EXPECT_NE(r, 0);
             EXPECT_EQ(r, Pointer(Locked([] { return GetScreenPixelFormat(); })));
         },
         {}},
        {"ApiGetScreenColorValue", true, [](Handles& h) {
             h.color = ApiGetScreenColorValue(254, 191, 114);
             return int64_t{h.color};
         },
         [](Handles&, int64_t r) {
             EXPECT_EQ(r, int64_t{Locked([] { return GetScreenColorValue(254, 191, 114); })});
             EXPECT_EQ(r & 0xFFFFFF, 0xFEBF72);
         },
         {}},
        {"ApiFillColorFormat", false,
         [](Handles& h) { return ApiFillColorFormat(&h.colorFormat, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u); },
         [](Handles& h, int64_t r) {
             ColorFormat direct = {};
             EXPECT_EQ(r, FillColorFormat(&direct, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u));
             EXPECT_EQ(std::memcmp(&direct, &h.colorFormat, sizeof direct), 0);
         },
         {}},
        {"ApiFillDDPixelFormat", false,
         [](Handles& h) { return ApiFillDDPixelFormat(&h.pixelFormat, 16, 0xF800, 0x7E0, 0x1F, 0); },
         [](Handles& h, int64_t r) {
             DDPIXELFORMAT direct = {};
             EXPECT_EQ(r, FillDDPixelFormat(&direct, 16, 0xF800, 0x7E0, 0x1F, 0));
             EXPECT_EQ(std::memcmp(&direct, &h.pixelFormat, sizeof direct), 0);
         },
         {}},
        {"ApiClipRect", false,
         [](Handles& h) {
             h.rect = {-10, 20, 700, 500};
             const RECT clip = {0, 0, 640, 480};
             return ApiClipRect(&h.rect, &clip);
         },
         [](Handles& h, int64_t r) {
             RECT direct = {-10, 20, 700, 500};
             const RECT clip = {0, 0, 640, 480};
             EXPECT_EQ(r, ClipRect(&direct, &clip));
             EXPECT_EQ(std::memcmp(&direct, &h.rect, sizeof direct), 0);
             EXPECT_EQ(h.rect.left, 0);
             EXPECT_EQ(h.rect.bottom, 480);
         },
         {}},
        {"ApiSelectDrawTarget", true, [](Handles&) { return ApiSelectDrawTarget(-2); }, ExpectZero,
         {{Fault::InvalidHandle, [](Handles&) { return ApiSelectDrawTarget(kStaleGraph); }, -1}}},
        {"ApiClearDrawTarget", true, [](Handles&) { return ApiClearDrawTarget(); }, ExpectZero, {}},
        {"ApiLoadFileToGraph", true,
         [](Handles& h) {
             h.sheet = ApiLoadFileToGraph("data/jiki.bmp");
             return h.sheet;
         },
         [](Handles&, int64_t r) {
             ASSERT_NE(r, -1);
             EXPECT_EQ(Locked([r] { return DrawPlainGraph(0, 0, static_cast<int>(r), 1); }), 0)
                 << "the handle is one the library draws";
         },
         {{Fault::MissingFile, [](Handles&) { return ApiLoadFileToGraph("data/none.bmp"); }, -1}}},
        {"ApiLoadFileToDivGraph", true,
         [](Handles& h) { return ApiLoadFileToDivGraph("data/font.bmp", 255, 16, 16, 12, 12, h.font); },
         [](Handles& h, int64_t r) {
             EXPECT_EQ(r, 0);
             for (int i : {0, 17, 254})
                 EXPECT_EQ(Locked([&] { return DrawPlainGraph(0, 0, h.font[i], 1); }), 0) << "cell " << i;
         },
         {{Fault::MissingFile,
           [](Handles&) {
               int cells[4];
               return ApiLoadFileToDivGraph("data/none.bmp", 4, 2, 2, 12, 12, cells);
           },
           -1}}},
        {"ApiDeriveGraph", true,
         [](Handles& h) {
             h.cut = ApiDeriveGraph(16, 0, 16, 16, h.sheet);
             return h.cut;
         },
         [](Handles&, int64_t r) {
             ASSERT_NE(r, -1);
             EXPECT_EQ(Locked([r] { return DrawPlainGraph(0, 0, static_cast<int>(r), 1); }), 0);
         },
         {{Fault::InvalidHandle, [](Handles&) { return ApiDeriveGraph(0, 0, 8, 8, kStaleGraph); }, -1}}},
        {"ApiSetBlendMode", true, [](Handles&) { return ApiSetBlendMode(2, 200); }, ExpectZero, {}},
        {"ApiDrawPlainGraph", true, [](Handles& h) { return ApiDrawPlainGraph(100, 120, h.cut, 1); }, ExpectZero,
         {{Fault::InvalidHandle, [](Handles&) { return ApiDrawPlainGraph(100, 120, kStaleGraph, 1); }, -1}}},
        {"ApiDrawScaleRotateGraph", true,
         [](Handles& h) { return ApiDrawScaleRotateGraph(206, 246, 1.0, 0.0, h.font[33], 1, 0); }, ExpectZero,
         {{Fault::InvalidHandle,
           [](Handles&) { return ApiDrawScaleRotateGraph(206, 246, 2.0, 1.5707963267948966, kStaleGraph, 1, 0); },
           -1}}},
        {"ApiDrawRectangle", true,
         [](Handles& h) { return ApiDrawRectangle(20, 300, 620, 320, h.color, 0); },
         ExpectZero, {}},
        {"ApiPresentScreen", true, [](Handles&) { return ApiPresentScreen(); }, ExpectZero, {}},
        {"ApiDeleteOneGraph", true, [](Handles& h) { return ApiDeleteOneGraph(h.cut, 0); }, ExpectZero,
         // The same handle again: the operation's -1 arrives as -1.
         {{Fault::InvalidHandle, [](Handles& h) { return ApiDeleteOneGraph(h.cut, 0); }, -1}}},
        {"ApiDeleteAllGraphs", true, [](Handles&) { return ApiDeleteAllGraphs(0); }, ExpectZero, {}},

        // ---- sound and music ----
        {"ApiSetSoundSystemMode", true, [](Handles&) { return ApiSetSoundSystemMode(1); }, ExpectZero, {}},
        {"ApiLoadFileToSound", true,
         [](Handles& h) {
             h.sound = ApiLoadFileToSound("data/hit.wav", 3);
             return h.sound;
         },
         [](Handles&, int64_t r) { EXPECT_NE(r, -1); },
         {{Fault::MissingFile, [](Handles&) { return ApiLoadFileToSound("data/none.wav", 3); }, -1},
          {Fault::SoundNotStarted, [](Handles&) { return ApiLoadFileToSound("data/hit.wav", 3); }, -1}}},
        {"ApiSetSoundHandleVolume", true, [](Handles& h) { return ApiSetSoundHandleVolume(8500, h.sound); },
         ExpectZero,
         {{Fault::InvalidHandle, [](Handles&) { return ApiSetSoundHandleVolume(8500, kStaleSound); }, -1},
          {Fault::SoundNotStarted, [](Handles& h) { return ApiSetSoundHandleVolume(8500, h.sound); }, -1}}},
        // Background play, as the game plays every effect; the play that waits has a test
        // of its own.
        {"ApiPlaySoundHandle", true, [](Handles& h) { return ApiPlaySoundHandle(h.sound, 1, 1); }, ExpectZero,
         {{Fault::InvalidHandle, [](Handles&) { return ApiPlaySoundHandle(kStaleSound, 1, 1); }, -1},
          {Fault::SoundNotStarted, [](Handles& h) { return ApiPlaySoundHandle(h.sound, 1, 1); }, -1}}},
        {"ApiStopSoundHandle", true, [](Handles& h) { return ApiStopSoundHandle(h.sound); }, ExpectZero,
         {{Fault::InvalidHandle, [](Handles&) { return ApiStopSoundHandle(kStaleSound); }, -1},
          {Fault::SoundNotStarted, [](Handles& h) { return ApiStopSoundHandle(h.sound); }, -1}}},
        {"ApiPlaySingleSoundFile", true, [](Handles&) { return ApiPlaySingleSoundFile("data/hit.wav", 3); },
         ExpectZero,
         {{Fault::MissingFile, [](Handles&) { return ApiPlaySingleSoundFile("data/none.wav", 3); }, -1},
          {Fault::SoundNotStarted, [](Handles&) { return ApiPlaySingleSoundFile("data/hit.wav", 3); }, -1}}},
        {"ApiStopSingleSoundFile", true, [](Handles&) { return ApiStopSingleSoundFile(); }, ExpectZero,
         {{Fault::SoundNotStarted, [](Handles&) { return ApiStopSingleSoundFile(); }, -1}}},
        {"ApiPlaySingleMusicFile", true, [](Handles&) { return ApiPlaySingleMusicFile("data/titl.mid", 3); },
         ExpectZero,
         {{Fault::MissingFile, [](Handles&) { return ApiPlaySingleMusicFile("data/none.mid", 3); }, -1},
          {Fault::SoundNotStarted, [](Handles&) { return ApiPlaySingleMusicFile("data/titl.mid", 3); }, -1}}},
        {"ApiStopSingleMusicFile", true, [](Handles&) { return ApiStopSingleMusicFile(); }, ExpectZero, {}},
        {"ApiDeleteAllSounds", true, [](Handles&) { return ApiDeleteAllSounds(0); }, ExpectZero,
         {{Fault::SoundNotStarted, [](Handles&) { return ApiDeleteAllSounds(0); }, -1}}},

        // ---- the end, and a start after it ----
        {"ApiTerminateLibrary", true, [](Handles&) { return ApiTerminateLibrary(); },
         [](Handles&, int64_t r) {
             EXPECT_EQ(r, 0);
             EXPECT_EQ(ReadLockState(&g_windowSystem.lock).created, 0) << "the lock goes with the library";
         },
         {}},
        // The holder's enter made the lock again; this start waits for it like any call.
        {"ApiInitializeLibrary", true, [](Handles&) { return ApiInitializeLibrary(); },
         [](Handles&, int64_t r) {
             EXPECT_EQ(r, 0);
             EXPECT_NE(GetMainWindowHwnd(), nullptr);
         },
         {}},
    };
    return rows;
}

// Calls `call` on this thread while another thread holds the library lock. The holder
// lets go only once this thread stands in the lock's queue, or once the call has come
// back without queueing; so a call that asks for the lock comes back after the holder
// left, and one that does not comes back while the holder still holds it. Nothing waits
// on a timer.
struct HolderOutcome {
    int64_t result = 0;
    bool queued = false;           // the holder saw this thread in the lock's queue
    bool returnedWhileHeld = false;  // the call came back before the holder let go
};

HolderOutcome CallAgainstHolder(const std::function<int64_t()>& call) {
    const DWORD self = GetCurrentThreadId();
    std::atomic<bool> held{false}, returned{false}, leaving{false}, queued{false};
    std::thread holder([&] {
        EnterLibraryLock();
        held = true;
        while (!returned) {
            const LockSnapshot s = ReadLockState(&g_windowSystem.lock);
            bool found = false;
            for (int i = 0; i < s.queueLength && i < 16; i++) found = found || s.queued[i] == self;
            if (found) {
                queued = true;
                break;
            }
            std::this_thread::yield();
        }
        leaving = true;
        LeaveLibraryLock();
    });
    while (!held) std::this_thread::yield();
    HolderOutcome outcome;
    outcome.result = call();
    outcome.returnedWhileHeld = !leaving;
    returned = true;
    holder.join();
    outcome.queued = queued;
    return outcome;
}

// The lock's state once the message thread, which takes it every 17 ms, does not own it;
// a level this thread kept would show as its own ownership.
LockSnapshot SettledLock() {
    const DWORD self = GetCurrentThreadId();
    for (;;) {
        const LockSnapshot s = ReadLockState(&g_windowSystem.lock);
        if (!s.locked || s.owner == self) return s;
        std::this_thread::yield();
    }
}

void ExpectLockFree(const char* when) {
    const LockSnapshot s = SettledLock();
    EXPECT_EQ(s.locked, 0) << when;
    EXPECT_EQ(s.owner, 0xFFFFFFFFu) << when;
    EXPECT_EQ(s.recursionCount, 0) << when;
}

class ApiTableTest : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        WriteFixtures();
    }

    void WriteFixtures() {
        ::mkdir(dir.file("data").c_str(), 0755);
        // A 24-bit sheet of 16x16 cells on black.
        qztest::BmpSpec sheet;
        sheet.width = 64;
        sheet.height = 32;
        sheet.pixels.assign(64 * 32, 0);
        for (int y = 2; y < 30; y++)
            for (int x = 2; x < 62; x++)
                if (x % 16 > 1 && x % 16 < 14 && y % 16 > 1 && y % 16 < 14) sheet.pixels[y * 64 + x] = 0x102030u * (x / 16 + 1);
        qztest::WriteWholeFile(dir.file("data/jiki.bmp"), qztest::WriteBmp(sheet));
        // 16 by 16 cells of 12x12.
        qztest::BmpSpec font;
        font.width = 192;
        font.height = 192;
        font.pixels.assign(192 * 192, 0);
        for (int i = 0; i < 192 * 192; i++)
            if ((i / 192 + i % 192) % 3 == 0) font.pixels[i] = 0xFFFFFFu;
        qztest::WriteWholeFile(dir.file("data/font.bmp"), qztest::WriteBmp(font));
        qztest::WriteWholeFile(dir.file("data/hit.wav"),
                               soundtest::WaveFile(soundtest::Tone(1000, 44100, 8820, 2, 3000.0), 44100, 2));
        qztest::WriteWholeFile(dir.file("data/titl.mid"), soundtest::MidiFile(1.0));
    }

    Handles handles;
};

TEST_F(ApiTableTest, EveryEntryPointTakesTheLockGivesItBackAndPassesItsResultThrough) {
    ASSERT_EQ(Rows().size(), 38u);
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.name);
        const HolderOutcome outcome = CallAgainstHolder([&] { return row.call(handles); });
        if (row.takesLock) {
            EXPECT_TRUE(outcome.queued) << "asked for the lock";
            EXPECT_FALSE(outcome.returnedWhileHeld) << "came back only after the holder let go";
        } else {
            EXPECT_FALSE(outcome.queued) << "never asked for the lock";
            EXPECT_TRUE(outcome.returnedWhileHeld) << "came back while another thread held the lock";
        }
        ExpectLockFree("after the call");
        row.check(handles, outcome.result);
        for (const ErrorCall& error : row.errors) {
            if (error.fault == Fault::SoundNotStarted) continue;
            EXPECT_EQ(error.call(handles), error.expected) << "error path " << static_cast<int>(error.fault);
            ExpectLockFree("after the error path");
        }
    }
}

// With no sound device the sound system never starts; every sound call then fails, and
// still gives the lock back.
TEST_F(ApiTableTest, SoundCallsBeforeSoundIsStartedFailAndGiveTheLockBack) {
    ptest::FailCall("SoundDevice");
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    handles.sound = kStaleSound;
    int rows = 0;
    for (const Row& row : Rows()) {
        for (const ErrorCall& error : row.errors) {
            if (error.fault != Fault::SoundNotStarted) continue;
            SCOPED_TRACE(row.name);
            rows++;
            EXPECT_EQ(error.call(handles), error.expected);
            ExpectLockFree("after the call");
        }
    }
    EXPECT_EQ(rows, 8);
}

}  // namespace

}  // namespace QzApi_test
