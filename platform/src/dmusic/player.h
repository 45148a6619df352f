// dmusic/player.h: the one MIDI player, serving both MCI's "sequencer" and DirectMusic.
// It is FluidSynth's own standard MIDI file player, driven by the synthesizer's sample
// timer, and the synthesizer renders inside the mixer (dsound/mixer.h): so every event
// falls at a sample-exact time of the mixer's clock, identically in every run. One song
// sounds at a time; starting one replaces the last from the next mix on.
//
// Sound font: /usr/share/sounds/sf2/default-GM.sf2, else TimGM6mb.sf2 beside it.
// Without one, songs play silence with the same timing, and one line goes to standard
// error.
//
// Threads: any, never while holding the mixer's lock, except the two calls marked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace midi {

using SongData = std::shared_ptr<const std::vector<uint8_t>>;

// True for a standard MIDI file ("MThd") that FluidSynth's player loads.
bool IsPlayable(const uint8_t* data, size_t size);

// Plays a song from its start, replacing whatever sounds, from the next mix on.
// `plays`: how many times it plays through without a gap, or -1 for ever. `onEnd` runs
// once, on the thread that mixes but outside the mixer's lock, when the last play
// reaches the song's end (the player's end of song). Returns the play's ticket, 0 when
// the player cannot start.
uint64_t Start(SongData song, int plays, std::function<void()> onEnd);

// Silences the play at once when it is still the current one; its onEnd never runs.
void Stop(uint64_t ticket);

enum class State {
    Gone,     // stopped or replaced (or never started)
    Pending,  // started, not mixed yet
    Playing,  // mixed, before its end
    Ended,    // reached its end
};
State GetState(uint64_t ticket);

// Under the mixer's lock: renders the current song into the accumulators.
void RenderInto(int32_t* acc, int frames, int channels, int rate);
// Without the mixer's lock, after each mix: runs the onEnd of plays that ended.
void PostNotifications();

}  // namespace midi
