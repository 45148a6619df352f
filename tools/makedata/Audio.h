// Audio.h: the game's sound effects (WAVE) and its five tunes, written both as standard
// MIDI files (two arrangements) and as rendered Ogg Vorbis loops.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace makedata {

constexpr int kSampleRate = 22050;

struct NamedFile {
    std::string name;  // under data/
    std::vector<uint8_t> bytes;
};

// The 15 effects, "hit.wav" to "laser.wav", 16-bit mono PCM.
std::vector<NamedFile> BuildEffects();

struct Note {
    int start, length;  // in ticks
    int pitch, velocity;
};

struct Voice {
    int program;  // General MIDI program, 0-based; -1 for the drum channel
    int channel;  // 0-15; 9 is the drums
    std::vector<Note> notes;
};

struct Tune {
    int bpm;
    int ticksPerBeat;
    int beats;  // the loop's length
    std::vector<Voice> voices;
};

// Tunes 0-4: title, stages 1-3, stages 4-6, stage 7, ending. The second arrangement
// (the "z" files) plays the same notes on other instruments.
Tune MakeTune(int track, bool secondArrangement);

std::vector<uint8_t> EncodeMidi(const Tune& tune);
// The tune rendered as a mono loop at kSampleRate: its end runs into its start without a
// seam (notes still sounding at the end wrap to the beginning). serial: the Ogg stream's.
std::vector<float> RenderLoop(const Tune& tune);
std::vector<uint8_t> EncodeOgg(const std::vector<float>& samples, int serial);

}  // namespace makedata
