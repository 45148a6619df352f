// GameRoad.h: the library driven exactly as ZARNOVIK drives it at start-up and for one
// frame: the fixture files under the game's names, the call sequence itself, and the
// images and samples a player should get, worked out by plain loops over the fixtures
// (cells copied with black skipped, quarter turns, nearest-neighbour doubling, box fills,
// the blend formulas), never by library code. Shared by the in-process test and the
// driver program that runs the same sequence headless and in a window.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "LogLines.h"

namespace road {

constexpr int kWidth = 640, kHeight = 480;

// ---- fixtures ---------------------------------------------------------------------------
// Cells of "data/jiki.bmp", as the game cuts them with ApiDeriveGraph.
struct Cell {
    int x, y, w, h;
};
enum Sprite { kShip, kRotor, kShield, kOdd, kSmall, kSpriteCount };
extern const Cell kCells[kSpriteCount];

// 0x00RRGGBB of the sheets; 0 is pure black, the colour key.
uint32_t JikiPixel(int x, int y);
uint32_t FontPixel(int code, int x, int y);  // a pixel of glyph `code`'s 12x12 cell

// Writes data/jiki.bmp, data/font.bmp, data/hit.wav, data/zarnovik-title.ogg and
// data/titl.mid below `folder`.
void WriteFixtures(const std::string& folder);

// The sounds as the mixer should give them: 44100 Hz stereo, 16 bits, interleaved.
std::vector<int16_t> HitSamples();   // 0.2 s of 1 kHz
std::vector<int16_t> MusicSamples(); // the Ogg loop decoded with libvorbisfile
constexpr double kHitGain = 0.17782794100389228;  // volume 8500: -15 dB

// ---- the call sequence ------------------------------------------------------------------
// Points of the road where a caller looks at what came out.
enum class Milestone {
    LoadingText,      // "NOW LOADING" on the front screen
    LoadingOutline,   // the bar's frame
    LoadingBar140,    // the bar after the music
    LoadingBar620,    // the bar after the effects
    MusicStarted,     // the title music playing, nothing drawn since
    FrameDrawn,       // the frame in the back screen and the effect started, before EndFrame
    FramePresented,   // inside that frame's EndFrame, right after the present
    FrameEnded,       // after that EndFrame (back screen cleared)
    SwitchedMode1,    // music handle stopped and played again, then one frame
    SwitchedMidi,     // modes 2 and 3: the MIDI file under both sound modes, then one frame
    MidiStopped,      // the MIDI file stopped before the mode-4 switch
    SwitchedMode4,    // the Ogg file played as the single sound file, then one frame
    ShutDown,         // after ApiTerminateLibrary
};
const char* MilestoneName(Milestone m);

// What the game keeps of the library while the road runs.
struct Handles {
    int sheet = -1;
    int sprites[kSpriteCount] = {-1, -1, -1, -1, -1};
    int font[255] = {};
    int music = -1;
    int hit = -1;
};

class Hooks {
public:
    virtual ~Hooks() = default;
    // Called at every milestone; false stops the road there (it then still shuts down).
    virtual bool At(Milestone milestone, const Handles& handles) = 0;
    // Right before ApiProcessMessage of every EndFrame.
    virtual void BeforePump(int frame) { (void)frame; }
    // After ApiProcessMessage of every EndFrame: the frame's number from 0, and whether
    // the key and pad reads saw Space.
    virtual void FramePumped(int frame, int spaceKey, int padBits) {
        (void)frame, (void)spaceKey, (void)padBits;
    }
};

// Runs the whole road, start-up to shutdown, with the current folder holding data/.
// Returns 0, or -1 when start-up failed or a hook stopped the road; `failure` says where.
int RunRoad(Hooks& hooks, std::string* failure);

// ---- expected images ---------------------------------------------------------------------
// An image as the model makes it: exact pixels, and for blended pixels the ideal value
// that the library must meet within one step per channel.
struct Expected {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(kWidth * kHeight, 0);
    std::vector<uint8_t> blended = std::vector<uint8_t>(kWidth * kHeight, 0);
    std::vector<std::array<float, 3>> ideal = std::vector<std::array<float, 3>>(kWidth * kHeight);
};
Expected ExpectedLoading(Milestone stage);  // LoadingText .. LoadingBar620
Expected ExpectedFrame();                   // the presented frame
Expected ExpectedBlack();

// "" when `got` (0x00RRGGBB, top row first) matches; else the count and the first few
// differing pixels with both values.
std::string Compare(const Expected& want, const std::vector<uint32_t>& got, int width, int height);

// ---- the log: tests/support/LogLines.h --------------------------------------------------------
using qztest::kEmptyDumpHeading;
using qztest::kEmptyDumpTotal;
using qztest::LastLogLines;

}  // namespace road
