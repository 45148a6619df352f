// Music.cpp: the five tunes as note lists, their standard MIDI files, their rendering
// into seamless loops, and the Ogg Vorbis encoding (libvorbisenc).
//
// A tune is eight bars over a four-chord progression played twice: bass in eighths,
// a sustained pad, a lead whose two-bar motif comes back varied, and drums. The notes
// come from fixed hashes, never from a clock or rand(), so every run writes the same
// files.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "Audio.h"
#include "Canvas.h"
#include "VorbisWriter.h"

namespace makedata {
namespace {

constexpr double kPi = 3.14159265358979;
constexpr int kTicks = 480;  // per beat

struct Chord {
    int root;  // MIDI note of the root in octave 3 (48 = C3)
    bool minor;
};

struct TuneStyle {
    int bpm;
    Chord chords[4];
    bool drums;
    bool halfTimeDrums;
    uint32_t seed;
};

const TuneStyle kStyles[5] = {
    {120, {{50, true}, {46, false}, {48, false}, {45, false}}, true, true, 11},    // title: Dm Bb C A
    {150, {{52, true}, {48, false}, {55, false}, {50, false}}, true, false, 22},   // stages 1-3: Em C G D
    {140, {{57, true}, {53, false}, {50, true}, {52, false}}, true, false, 33},    // stages 4-6: Am F Dm E
    {165, {{48, true}, {56, false}, {58, false}, {55, false}}, true, false, 44},   // stage 7: Cm Ab Bb G
    {100, {{48, false}, {55, false}, {57, true}, {53, false}}, false, false, 55},  // ending: C G Am F
};

int ChordTone(const Chord& c, int degree) {  // degree 0, 1, 2: root, third, fifth; wraps up octaves
    static const int kMajor[3] = {0, 4, 7}, kMinor[3] = {0, 3, 7};
    const int octave = degree >= 0 ? degree / 3 : (degree - 2) / 3;
    const int d = degree - octave * 3;
    return c.root + 12 * octave + (c.minor ? kMinor[d] : kMajor[d]);
}

std::vector<Note> Lead(const TuneStyle& style) {
    std::vector<Note> notes;
    // Two motifs of two bars: bars 0-1 and 4-5 take motif A (the second time varied at
    // its end), bars 2-3 motif B, bars 6-7 motif B resolved to the root. The line moves
    // by small steps over the chord tones, so it follows the chords without leaps.
    static const int kSteps[8] = {1, -1, 1, 0, -1, 2, -2, 1};
    int degree = 3;
    for (int bar = 0; bar < 8; ++bar) {
        const Chord& chord = style.chords[bar % 4];
        const int motif = (bar / 2) % 2;
        const int inMotif = bar % 2;
        if (inMotif == 0) degree = motif == 0 ? 3 : 4;  // each motif starts from its own note
        for (int slot = 0; slot < 8; ++slot) {
            const uint32_t h = Hash(style.seed, uint32_t(motif * 16 + inMotif * 8 + slot));
            const bool varied = bar >= 4 && inMotif == 1 && slot >= 4;
            const uint32_t v = varied ? Hash(style.seed, uint32_t(100 + bar * 8 + slot)) : h;
            if (slot % 2 == 1 && v % 3 == 0) continue;  // some offbeats rest
            if (slot == 7 && bar % 2 == 1) continue;    // breathe at the end of a phrase
            int length = (v % 5 == 0 && slot % 2 == 0 && slot < 6) ? 2 : 1;
            if (bar == 7 && slot == 0) length = 6;
            if (bar == 7 && slot > 0) break;
            degree = std::clamp(degree + kSteps[v % 8], 2, 6);
            if (bar == 7) degree = 3;  // home
            const int pitch = ChordTone(chord, degree) + 12;
            notes.push_back({(bar * 8 + slot) * kTicks / 2, length * kTicks / 2 - 20, pitch, 92 + int(v % 20)});
            slot += length - 1;
        }
    }
    return notes;
}

std::vector<Note> Bass(const TuneStyle& style) {
    std::vector<Note> notes;
    static const int kPattern[8] = {0, 0, 3, 0, 0, 0, 3, 2};  // chord degrees, 3 = the octave
    for (int bar = 0; bar < 8; ++bar) {
        const Chord& chord = style.chords[bar % 4];
        for (int slot = 0; slot < 8; ++slot)
            notes.push_back({(bar * 8 + slot) * kTicks / 2, kTicks / 2 - 40, ChordTone(chord, kPattern[slot]) - 12,
                             slot % 2 ? 84 : 100});
    }
    return notes;
}

std::vector<Note> Pad(const TuneStyle& style) {
    std::vector<Note> notes;
    for (int bar = 0; bar < 8; ++bar)
        for (int d = 0; d < 3; ++d)
            notes.push_back({bar * 4 * kTicks, 4 * kTicks - 30, ChordTone(style.chords[bar % 4], d) + 12, 64});
    return notes;
}

std::vector<Note> Drums(const TuneStyle& style) {
    constexpr int kKick = 36, kSnare = 38, kHat = 42, kCrash = 49;
    std::vector<Note> notes;
    for (int bar = 0; bar < 8; ++bar) {
        for (int slot = 0; slot < 8; ++slot) {
            const int t = (bar * 8 + slot) * kTicks / 2;
            if (bar == 0 && slot == 0) notes.push_back({t, kTicks / 2, kCrash, 90});
            const bool kick = style.halfTimeDrums ? slot == 0 || slot == 5 : slot == 0 || slot == 4 || slot == 3;
            const bool snare = style.halfTimeDrums ? slot == 4 : slot == 2 || slot == 6;
            if (kick) notes.push_back({t, kTicks / 4, kKick, 110});
            if (snare) notes.push_back({t, kTicks / 4, kSnare, 100});
            notes.push_back({t, kTicks / 8, kHat, slot % 2 ? 60 : 80});
        }
    }
    return notes;
}

// ---- MIDI ---------------------------------------------------------------------------------------
void PutVarLen(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t bytes[5];
    int n = 0;
    bytes[n++] = uint8_t(v & 0x7F);
    while (v >>= 7) bytes[n++] = uint8_t(0x80 | (v & 0x7F));
    while (n) out.push_back(bytes[--n]);
}

void PutChunk(std::vector<uint8_t>& out, const char* tag, const std::vector<uint8_t>& body) {
    out.insert(out.end(), tag, tag + 4);
    const uint32_t n = uint32_t(body.size());
    for (int k = 3; k >= 0; --k) out.push_back(uint8_t(n >> (8 * k)));
    out.insert(out.end(), body.begin(), body.end());
}

// ---- rendering ------------------------------------------------------------------------------------
double Frequency(int pitch) { return 440.0 * std::pow(2.0, (pitch - 69) / 12.0); }

struct LoopBuffer {
    std::vector<double> samples;
    void Add(size_t at, double v) { samples[at % samples.size()] += v; }
};

void RenderPitched(LoopBuffer& loop, size_t start, size_t length, int pitch, double gain, int kind) {
    const double f = Frequency(pitch);
    const size_t release = kSampleRate / 20;
    double phase = 0, phase2 = 0, filtered = 0;
    for (size_t i = 0; i < length + release; ++i) {
        const double t = double(i) / kSampleRate;
        double env = 0;
        if (kind == 2)  // pad: slow swell
            env = std::min(1.0, t / 0.25);
        else
            env = std::min(1.0, i / 60.0) * (kind == 0 ? 0.6 + 0.4 * std::exp(-t * 6) : std::exp(-t * 3));
        if (i >= length) env *= 1.0 - double(i - length) / release;
        const double vibrato = kind == 0 ? 1.0 + 0.004 * std::sin(2 * kPi * 5.5 * t) * std::min(1.0, t * 3) : 1.0;
        phase += f * vibrato / kSampleRate;
        phase -= std::floor(phase);
        double s = 0;
        if (kind == 0) {  // lead: a pulse of 30 % duty, its levels set for a mean of 0
            s = phase < 0.3 ? 0.7 : -0.3;
        } else if (kind == 1) {  // bass: filtered saw
            filtered += 0.18 * ((2 * phase - 1) - filtered);
            s = filtered;
        } else {  // pad: two detuned triangles
            phase2 += f * 1.006 / kSampleRate;
            phase2 -= std::floor(phase2);
            s = (1 - 4 * std::fabs(phase - 0.5)) * 0.5 + (1 - 4 * std::fabs(phase2 - 0.5)) * 0.5;
        }
        loop.Add(start + i, s * gain * env);
    }
}

void RenderDrum(LoopBuffer& loop, size_t start, int note, double gain, uint32_t seed) {
    uint32_t state = seed;
    auto noise = [&state] {
        state = state * 1664525u + 1013904223u;
        return int32_t(state) / 2147483648.0;
    };
    double phase = 0, low = 0;
    const double length = note == 36 ? 0.18 : note == 38 ? 0.14 : note == 49 ? 0.6 : 0.04;
    const size_t n = size_t(length * kSampleRate);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / n;
        double s = 0;
        if (note == 36) {
            phase += (45 + 80 * std::exp(-t * 12)) / kSampleRate;
            s = std::sin(2 * kPi * phase) * std::exp(-t * 4);
        } else if (note == 38) {
            phase += 190.0 / kSampleRate;
            s = (noise() * 0.7 + std::sin(2 * kPi * phase) * 0.4) * std::exp(-t * 5);
        } else {
            const double x = noise();
            low += 0.5 * (x - low);
            s = (x - low) * std::exp(-t * (note == 49 ? 4 : 6)) * (note == 49 ? 0.6 : 0.5);
        }
        loop.Add(start + i, s * gain);
    }
}

// A General MIDI synthesizer plays the notes about 7 dB under the rendered loops at the same
// velocities (the synthesizer's voices at channel volume 100): the files carry full channel
// volume and velocities a quarter higher, so that the MIDI modes sound as loud as the Ogg ones.
constexpr uint8_t kMidiChannelVolume = 127;
int MidiVelocity(int velocity) { return std::min(127, velocity * 5 / 4); }

size_t TickToSample(int64_t tick, int bpm) { return size_t(tick * 60 * kSampleRate / (int64_t(bpm) * kTicks)); }

}  // namespace

Tune MakeTune(int track, bool second) {
    const TuneStyle& style = kStyles[track];
    Tune tune{style.bpm, kTicks, 32, {}};
    // First arrangement: a band (flute or trumpet, fingered bass, strings); second: synths.
    const bool brass = track == 1 || track == 3;
    tune.voices.push_back({second ? 80 : (brass ? 56 : 73), 0, Lead(style)});
    tune.voices.push_back({second ? 38 : 33, 1, Bass(style)});
    tune.voices.push_back({second ? 88 : 48, 2, Pad(style)});
    if (style.drums) tune.voices.push_back({-1, 9, Drums(style)});
    return tune;
}

std::vector<uint8_t> EncodeMidi(const Tune& tune) {
    std::vector<uint8_t> out;
    const int tracks = 1 + int(tune.voices.size());
    PutChunk(out, "MThd", {0, 1, 0, uint8_t(tracks), uint8_t(tune.ticksPerBeat >> 8), uint8_t(tune.ticksPerBeat)});
    {
        std::vector<uint8_t> t;
        const uint32_t tempo = 60000000u / uint32_t(tune.bpm);
        t.insert(t.end(), {0, 0xFF, 0x51, 3, uint8_t(tempo >> 16), uint8_t(tempo >> 8), uint8_t(tempo)});
        t.insert(t.end(), {0, 0xFF, 0x58, 4, 4, 2, 24, 8});
        PutVarLen(t, uint32_t(tune.beats * tune.ticksPerBeat));
        t.insert(t.end(), {0xFF, 0x2F, 0});
        PutChunk(out, "MTrk", t);
    }
    for (const Voice& voice : tune.voices) {
        struct Event {
            int tick;
            bool on;
            int pitch, velocity;
        };
        std::vector<Event> events;
        for (const Note& n : voice.notes) {
            events.push_back({n.start, true, n.pitch, MidiVelocity(n.velocity)});
            events.push_back({n.start + n.length, false, n.pitch, 0});
        }
        // By time; at one tick, note-offs first, so a repeated note is not cut.
        std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
            return a.tick != b.tick ? a.tick < b.tick : (!a.on && b.on);
        });
        std::vector<uint8_t> t;
        if (voice.program >= 0) t.insert(t.end(), {0, uint8_t(0xC0 | voice.channel), uint8_t(voice.program)});
        t.insert(t.end(), {0, uint8_t(0xB0 | voice.channel), 7, kMidiChannelVolume});
        int now = 0;
        for (const Event& e : events) {
            PutVarLen(t, uint32_t(e.tick - now));
            now = e.tick;
            t.insert(t.end(), {uint8_t((e.on ? 0x90 : 0x80) | voice.channel), uint8_t(e.pitch), uint8_t(e.on ? e.velocity : 64)});
        }
        PutVarLen(t, uint32_t(std::max(0, tune.beats * tune.ticksPerBeat - now)));
        t.insert(t.end(), {0xFF, 0x2F, 0});
        PutChunk(out, "MTrk", t);
    }
    return out;
}

std::vector<float> RenderLoop(const Tune& tune) {
    LoopBuffer loop;
    loop.samples.assign(TickToSample(int64_t(tune.beats) * tune.ticksPerBeat, tune.bpm), 0.0);
    for (const Voice& voice : tune.voices) {
        const int kind = voice.channel;  // 0 lead, 1 bass, 2 pad, 9 drums
        uint32_t seed = 1;
        for (const Note& n : voice.notes) {
            const size_t start = TickToSample(n.start, tune.bpm);
            const double gain = n.velocity / 127.0;
            if (kind == 9)
                RenderDrum(loop, start, n.pitch, gain * 0.5, seed++);
            else
                RenderPitched(loop, start, TickToSample(n.length, tune.bpm), n.pitch,
                              gain * (kind == 0 ? 0.28 : kind == 1 ? 0.45 : 0.12), kind);
        }
    }
    // What offset is left (the drums' tails, notes cut by their envelopes) goes: a loop
    // with a mean of 0 neither thumps when it starts nor wastes headroom.
    double sum = 0;
    for (double s : loop.samples) sum += s;
    const double mean = sum / double(loop.samples.size());
    for (double& s : loop.samples) s -= mean;
    double peak = 1e-9;
    for (double s : loop.samples) peak = std::max(peak, std::fabs(s));
    std::vector<float> out(loop.samples.size());
    for (size_t i = 0; i < out.size(); ++i) out[i] = float(loop.samples[i] * 0.8 / peak);
    return out;
}

std::vector<uint8_t> EncodeOgg(const std::vector<float>& samples, int serial) {
    const std::string out = vorbiswriter::Encode(1, kSampleRate, int(samples.size()), serial,
                                                 [&samples](float** planes, int first, int count) {
                                                     std::memcpy(planes[0], samples.data() + first, size_t(count) * sizeof(float));
                                                 });
    if (out.empty()) throw std::runtime_error("vorbis: encoder set-up failed");
    return std::vector<uint8_t>(out.begin(), out.end());
}

}  // namespace makedata
