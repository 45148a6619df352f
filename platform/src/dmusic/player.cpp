// dmusic/player.cpp: the one MIDI player over FluidSynth (see player.h). The synth
// state lives under the mixer's lock; the synthesizer itself is made once, outside it,
// because loading the sound font takes a while.
#include "dmusic/player.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "dmusic/fluid.h"
#include "dsound/mixer.h"
#include "kernel/diag.h"

namespace midi {
namespace {

constexpr const char* kSoundFont = "/usr/share/sounds/sf2/default-GM.sf2";
constexpr const char* kSoundFontFallback = "/usr/share/sounds/sf2/TimGM6mb.sf2";

void Quiet(int, const char*, void*) {}

fluid_settings_t* NewSettings(int rate) {
    fluid_settings_t* settings = g_fluid.new_fluid_settings();
    if (settings == nullptr) return nullptr;
    // The player advances with the samples the synthesizer renders, never with the
    // wall clock; no threads of its own, and no effects whose tails outlive a stop.
    g_fluid.fluid_settings_setstr(settings, "player.timing-source", "sample");
    g_fluid.fluid_settings_setint(settings, "synth.cpu-cores", 1);
    g_fluid.fluid_settings_setint(settings, "synth.threadsafe-api", 0);
    g_fluid.fluid_settings_setnum(settings, "synth.sample-rate", rate);
    g_fluid.fluid_settings_setint(settings, "synth.reverb.active", 0);
    g_fluid.fluid_settings_setint(settings, "synth.chorus.active", 0);
    // FluidSynth's own default (0.2) leaves a single instrument barely audible beside
    // the sound effects.
    g_fluid.fluid_settings_setnum(settings, "synth.gain", 0.5);
    return settings;
}

void SilenceFluidLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_ERR; level < LAST_LOG_LEVEL; ++level)
            g_fluid.fluid_set_log_function(level, Quiet, nullptr);
    });
}

struct Synth {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    int rate = 0;
};

// The playing synthesizer: made at the first start and kept for the process.
std::mutex g_synthMakeLock;
Synth* g_synth = nullptr;  // set once, read under the mixer's lock

Synth* MakeSynth(int rate) {
    std::lock_guard<std::mutex> hold(g_synthMakeLock);
    if (g_synth != nullptr) return g_synth;
    if (!LoadFluid()) return nullptr;
    SilenceFluidLog();
    auto* s = new Synth();
    s->settings = NewSettings(rate);
    s->synth = s->settings != nullptr ? g_fluid.new_fluid_synth(s->settings) : nullptr;
    if (s->synth == nullptr) {
        if (s->settings != nullptr) g_fluid.delete_fluid_settings(s->settings);
        delete s;
        kernel::Diag("midi: the synthesizer cannot start");
        return nullptr;
    }
    s->rate = rate;
    struct stat info;
    const char* font = stat(kSoundFont, &info) == 0 ? kSoundFont
                       : stat(kSoundFontFallback, &info) == 0 ? kSoundFontFallback
                                                              : nullptr;
    if (font == nullptr || g_fluid.fluid_synth_sfload(s->synth, font, 1) == FLUID_FAILED)
        kernel::Diag("midi: no General MIDI sound font in /usr/share/sounds/sf2; MIDI plays silence");
    std::lock_guard<std::mutex> mix(dsound::MixLock());
    g_synth = s;
    return s;
}

// Under the mixer's lock.
struct Play {
    uint64_t ticket = 0;
    SongData song;
    fluid_player_t* player = nullptr;
    int plays = 1;        // -1: endless
    int playsDone = 0;    // completed passes through the song
    int lastTick = 0;
    State state = State::Pending;
    bool rendering = true;  // false once FluidSynth's player is done and the synth is quiet
    std::function<void()> onEnd;
};

Play g_play;                      // ticket 0: nothing plays
uint64_t g_nextTicket = 1;
std::vector<std::function<void()>> g_toPost;  // onEnd of plays that ended
// Rendered ahead in whole 64-frame blocks, FluidSynth's own unit, so a new song always
// starts at the very next mixed frame, whatever the mixes before asked for.
constexpr int kBlock = 64;
std::vector<float> g_left, g_right;
size_t g_ahead = 0;  // frames of g_left/g_right not mixed yet, at their end

// Under the mixer's lock.
void EndCurrent() {
    if (g_play.player != nullptr) {
        g_fluid.fluid_player_stop(g_play.player);
        g_fluid.delete_fluid_player(g_play.player);
    }
    if (g_synth != nullptr) {
        g_fluid.fluid_synth_all_sounds_off(g_synth->synth, -1);
        g_fluid.fluid_synth_system_reset(g_synth->synth);
    }
    g_play = Play();
    g_ahead = 0;
}

uint32_t ReadBe32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// How much of a track FluidSynth's reader reads event by event without passing the
// track's end: through its end-of-track event, else to the end of its last event that
// fits. An event whose reading is in doubt ends the walk: a data byte where no channel
// status runs (the reader would take it after a system or meta event differently), and
// the system messages other than F0 and FF, which the reader refuses.
size_t WholeEvents(const uint8_t* track, size_t size) {
    size_t at = 0, whole = 0;
    uint8_t running = 0;
    // A variable-length number of at most four bytes, as the reader takes it.
    auto number = [&](uint32_t* value) {
        *value = 0;
        for (int i = 0; i < 4 && at < size; i++) {
            const uint8_t c = track[at++];
            *value = (*value << 7) | (c & 0x7F);
            if ((c & 0x80) == 0) return true;
        }
        return false;
    };
    for (;;) {
        uint32_t value = 0;
        if (!number(&value) || at >= size) return whole;  // the delta time
        uint8_t status = track[at];
        if (status & 0x80) {
            ++at;
            running = status;
        } else if (running == 0 || running >= 0xF0) {
            return whole;
        } else {
            status = running;
        }
        if (status == 0xF0) {
            if (!number(&value) || value > size - at) return whole;
            at += value;
        } else if (status == 0xFF) {
            if (at >= size) return whole;
            const uint8_t type = track[at++];
            if (!number(&value) || value > size - at) return whole;
            at += value;
            if (type == 0x2F) return at;  // end of track: the reader skips what follows
        } else if (status > 0xF0) {
            return whole;
        } else {
            const size_t params = (status & 0xE0) == 0xC0 ? 1 : 2;
            if (params > size - at) return whole;
            at += params;
        }
        whole = at;
    }
}

void PutBe32(std::vector<uint8_t>& out, size_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// What FluidSynth's reader is given of a standard MIDI file: the header, as the 6 bytes it
// reads, and as many "MTrk" chunks as the header announces, each cut after its last whole
// event. Empty unless the file has a header and chunks that each fit in the file, among
// them those tracks.
// The reader takes the word after an unknown chunk for a length without reading the next
// id, and loses its place when an event runs past its track: either can send it back and
// forth through the file for ever. On this copy every read and skip moves forward, so
// its work is bounded by the copy's size.
std::vector<uint8_t> TracksOnly(const uint8_t* data, size_t size) {
    if (data == nullptr || size < 14 || std::memcmp(data, "MThd", 4) != 0) return {};
    const uint32_t headerBytes = ReadBe32(data + 4);
    if (headerBytes < 6 || headerBytes > size - 8) return {};
    const unsigned tracks = (unsigned{data[10]} << 8) | data[11];
    if (tracks == 0) return {};
    std::vector<uint8_t> out(data, data + 8);
    out[4] = out[5] = out[6] = 0;
    out[7] = 6;
    out.insert(out.end(), data + 8, data + 14);
    unsigned found = 0;
    size_t at = 8 + headerBytes;
    while (found < tracks) {
        if (size - at < 8) return {};
        const uint32_t bytes = ReadBe32(data + at + 4);
        if (bytes > size - at - 8) return {};
        if (std::memcmp(data + at, "MTrk", 4) == 0) {
            ++found;
            const size_t kept = WholeEvents(data + at + 8, bytes);
            out.insert(out.end(), data + at, data + at + 4);
            PutBe32(out, kept);
            out.insert(out.end(), data + at + 8, data + at + 8 + kept);
        }
        at += 8 + bytes;
    }
    return out;
}

}  // namespace

bool IsPlayable(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> tracks = TracksOnly(data, size);
    if (tracks.empty() || !LoadFluid()) return false;
    // FluidSynth reads the file when its player first runs: a quiet synthesizer of its
    // own (no sound font) runs one block and tells whether the file loaded. Its work is
    // bounded by the copy's size, so the lock is never held for long.
    static std::mutex lock;
    static Synth probe;
    std::lock_guard<std::mutex> hold(lock);
    if (probe.synth == nullptr) {
        SilenceFluidLog();
        probe.settings = NewSettings(44100);
        if (probe.settings == nullptr) return false;
        probe.synth = g_fluid.new_fluid_synth(probe.settings);
        if (probe.synth == nullptr) return false;
    }
    fluid_player_t* player = g_fluid.new_fluid_player(probe.synth);
    if (player == nullptr) return false;
    bool loaded = false;
    if (g_fluid.fluid_player_add_mem(player, tracks.data(), tracks.size()) == FLUID_OK &&
        g_fluid.fluid_player_play(player) == FLUID_OK) {
        float left[64], right[64];
        g_fluid.fluid_synth_write_float(probe.synth, 64, left, 0, 1, right, 0, 1);
        loaded = g_fluid.fluid_player_get_status(player) == FLUID_PLAYER_PLAYING || g_fluid.fluid_player_get_total_ticks(player) > 0;
    }
    g_fluid.fluid_player_stop(player);
    g_fluid.delete_fluid_player(player);
    g_fluid.fluid_synth_system_reset(probe.synth);
    return loaded;
}

uint64_t Start(SongData song, int plays, std::function<void()> onEnd) {
    if (!song) return 0;
    song = std::make_shared<const std::vector<uint8_t>>(TracksOnly(song->data(), song->size()));
    if (song->empty()) return 0;
    Synth* synth = MakeSynth(dsound::GetOutputFormat().rate);
    if (synth == nullptr) return 0;
    std::lock_guard<std::mutex> hold(dsound::MixLock());
    EndCurrent();
    fluid_player_t* player = g_fluid.new_fluid_player(synth->synth);
    if (player == nullptr) return 0;
    if (g_fluid.fluid_player_add_mem(player, song->data(), song->size()) != FLUID_OK ||
        g_fluid.fluid_player_set_loop(player, plays < 0 ? -1 : std::max(plays, 1)) != FLUID_OK ||
        g_fluid.fluid_player_play(player) != FLUID_OK) {
        g_fluid.delete_fluid_player(player);
        return 0;
    }
    g_play.ticket = g_nextTicket++;
    g_play.song = std::move(song);
    g_play.player = player;
    g_play.plays = plays < 0 ? -1 : std::max(plays, 1);
    g_play.onEnd = std::move(onEnd);
    return g_play.ticket;
}

void Stop(uint64_t ticket) {
    std::lock_guard<std::mutex> hold(dsound::MixLock());
    if (ticket != 0 && g_play.ticket == ticket) EndCurrent();
}

State GetState(uint64_t ticket) {
    std::lock_guard<std::mutex> hold(dsound::MixLock());
    if (ticket == 0 || g_play.ticket != ticket) return State::Gone;
    return g_play.state;
}

void RenderInto(int32_t* acc, int frames, int channels, int rate) {
    if (g_play.ticket == 0 || g_play.player == nullptr || !g_play.rendering || g_synth == nullptr) return;
    if (rate != g_synth->rate) return;  // the synthesizer keeps the rate it was made with
    if (g_ahead < static_cast<size_t>(frames)) {
        const size_t blocks = (static_cast<size_t>(frames) - g_ahead + kBlock - 1) / kBlock;
        const size_t fresh = blocks * kBlock;
        // Keep only the unmixed tail, then render whole blocks after it.
        g_left.erase(g_left.begin(), g_left.end() - static_cast<ptrdiff_t>(g_ahead));
        g_right.erase(g_right.begin(), g_right.end() - static_cast<ptrdiff_t>(g_ahead));
        g_left.resize(g_ahead + fresh);
        g_right.resize(g_ahead + fresh);
        g_fluid.fluid_synth_write_float(g_synth->synth, static_cast<int>(fresh), g_left.data() + g_ahead, 0, 1,
                                g_right.data() + g_ahead, 0, 1);
        g_ahead += fresh;
    }
    const float* left = g_left.data() + (g_left.size() - g_ahead);
    const float* right = g_right.data() + (g_right.size() - g_ahead);
    for (int i = 0; i < frames; ++i) {
        const int32_t l = static_cast<int32_t>(std::lrint(std::clamp(left[i], -1.0f, 1.0f) * 32767.0f));
        const int32_t r = static_cast<int32_t>(std::lrint(std::clamp(right[i], -1.0f, 1.0f) * 32767.0f));
        if (channels == 2) {
            acc[2 * i] += l;
            acc[2 * i + 1] += r;
        } else {
            acc[i] += (l + r) >> 1;
        }
    }
    g_ahead -= static_cast<size_t>(frames);
    if (g_play.state == State::Pending) g_play.state = State::Playing;
    const int tick = g_fluid.fluid_player_get_current_tick(g_play.player);
    const int total = g_fluid.fluid_player_get_total_ticks(g_play.player);
    const int status = g_fluid.fluid_player_get_status(g_play.player);
    if (tick < g_play.lastTick) ++g_play.playsDone;  // looped back to the start
    g_play.lastTick = tick;
    const bool lastPass = g_play.plays > 0 && g_play.playsDone >= g_play.plays - 1;
    if (g_play.state == State::Playing && ((lastPass && tick >= total) || status == FLUID_PLAYER_DONE)) {
        g_play.state = State::Ended;
        if (g_play.onEnd) g_toPost.push_back(std::move(g_play.onEnd));
        g_play.onEnd = nullptr;
    }
    // After its end FluidSynth's player lets the last notes ring out, then finishes;
    // once that is mixed nothing more is rendered, so the output is exact silence.
    if (status == FLUID_PLAYER_DONE && g_ahead == 0) g_play.rendering = false;
}

void PostNotifications() {
    std::vector<std::function<void()>> due;
    {
        std::lock_guard<std::mutex> hold(dsound::MixLock());
        if (g_toPost.empty()) return;
        due.swap(g_toPost);
    }
    for (auto& f : due) f();
}

}  // namespace midi
