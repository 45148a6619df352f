// GameRun.h: the game as a process of its own, in a folder of its own, driven by an input
// script the test writes, with the platform's controls in its environment.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace gamerun {

// DirectInput codes of the keys the scripts press.
enum Key : int {
    kEsc = 0x01, kZ = 0x2C, kX = 0x2D, kSpace = 0x39, kUp = 0xC8, kLeft = 0xCB, kRight = 0xCD, kDown = 0xD0,
};

// Key changes by frame (counted in presents, from 0).
class Script {
public:
    void Down(int frame, Key key) { Change(frame, key, true); }
    void Up(int frame, Key key) { Change(frame, key, false); }
    // Held on one frame, released on the next.
    void Press(int frame, Key key) {
        Down(frame, key);
        Up(frame + 1, key);
    }
    void Hold(int from, int until, Key key) {
        Down(from, key);
        Up(until, key);
    }
    // From this frame on, exactly the keys of these input bits are held (see PadBits).
    // Calls come in rising frames, after every other change.
    void Pad(int frame, int bits);
    std::string Text() const;
    // The game's input bits (arrows, Z button 1, X button 2) held once the changes of
    // frames up to `frame` have taken effect.
    int PadBits(int frame) const;

private:
    void Change(int frame, Key key, bool down);
    std::multimap<int, std::pair<Key, bool>> changes_;
    int padHeld_ = -1;  // the bits Pad last set; -1: none yet
};

struct Run {
    std::string program;  // the executable
    std::string folder;   // made if missing; files written before are kept
    std::string data;     // the generated data folder, linked as folder/data
    Script script;
    std::vector<std::string> environment;  // added to the headless controls
};

// Writes a file into a run's folder before it starts (RunAll keeps what is there).
void WriteStartFile(const std::string& folder, const std::string& name, const std::string& bytes);

// Starts every run at once and waits for all; the exit codes (-1: did not end normally).
std::vector<int> RunAll(const std::vector<Run>& runs);

// "AppLog.txt" of the folder ends with the allocator's dump of no blocks.
bool LogEndsWithEmptyDump(const std::string& folder);

// Pixels of a PNG as 0x00RRGGBB with its width; empty when unreadable.
struct Image {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Image ReadImage(const std::string& path);

std::string ReadFile(const std::string& path);

// 16-bit samples of a WAVE's data chunk (QZ_AUDIO_CAPTURE writes one), and how many make a
// second (rate x channels).
std::vector<int16_t> WaveSamples(const std::string& wave, size_t* perSecond);

// A monotonic clock, for the closing note's times (<chrono> does not build under CP932).
double Seconds();

}  // namespace gamerun
