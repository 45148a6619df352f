// Effects.cpp: the 15 sound effects, synthesized from tones, sweeps and noise.
// Noise comes from a fixed linear congruential sequence, so every run writes the same
// bytes.
#include <algorithm>
#include <cmath>

#include "Audio.h"

namespace makedata {
namespace {

constexpr double kPi = 3.14159265358979;

class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed) {}
    double Next() {  // -1 .. 1
        state_ = state_ * 1664525u + 1013904223u;
        return int32_t(state_) / 2147483648.0;
    }

private:
    uint32_t state_;
};

// One effect: a sum of layers over `seconds`.
struct Synth {
    std::vector<double> out;
    explicit Synth(double seconds) : out(size_t(seconds * kSampleRate), 0.0) {}
    size_t Size() const { return out.size(); }
    double T(size_t i) const { return double(i) / kSampleRate; }

    // A tone sweeping from f0 to f1 (exponentially), shape: 0 sine, 1 square, 2 saw.
    void Tone(double start, double length, double f0, double f1, double gain, int shape, double decay) {
        double phase = 0;
        const size_t a = size_t(start * kSampleRate), n = size_t(length * kSampleRate);
        for (size_t i = 0; i < n && a + i < Size(); ++i) {
            const double t = double(i) / n;
            const double f = f0 * std::pow(f1 / f0, t);
            phase += f / kSampleRate;
            phase -= std::floor(phase);
            double s = 0;
            switch (shape) {
            case 0: s = std::sin(2 * kPi * phase); break;
            case 1: s = phase < 0.5 ? 0.6 : -0.6; break;
            default: s = (2 * phase - 1) * 0.7; break;
            }
            const double env = std::exp(-decay * t) * std::min(1.0, i / 40.0);
            out[a + i] += s * gain * env;
        }
    }
    // Noise through a one-pole low-pass whose cut-off falls from c0 to c1 (0..1).
    void Burst(double start, double length, double c0, double c1, double gain, double decay, uint32_t seed) {
        Noise noise(seed);
        double y = 0;
        const size_t a = size_t(start * kSampleRate), n = size_t(length * kSampleRate);
        for (size_t i = 0; i < n && a + i < Size(); ++i) {
            const double t = double(i) / n;
            const double c = c0 + (c1 - c0) * t;
            y += c * (noise.Next() - y);
            out[a + i] += y * gain * std::exp(-decay * t) * std::min(1.0, i / 20.0);
        }
    }
};

std::vector<uint8_t> EncodeWav(const std::vector<double>& samples) {
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    std::vector<uint8_t> out;
    auto put = [&out](uint32_t v, int bytes) {
        for (int k = 0; k < bytes; ++k) out.push_back(uint8_t(v >> (8 * k)));
    };
    auto tag = [&out](const char* t) {
        for (int k = 0; k < 4; ++k) out.push_back(uint8_t(t[k]));
    };
    tag("RIFF");
    put(36 + dataBytes, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2);  // PCM
    put(1, 2);  // mono
    put(kSampleRate, 4);
    put(kSampleRate * 2, 4);
    put(2, 2);
    put(16, 2);
    tag("data");
    put(dataBytes, 4);
    double peak = 1e-9;
    for (double s : samples) peak = std::max(peak, std::fabs(s));
    const double gain = 0.9 / peak;  // every effect normalised to the same peak
    for (double s : samples) put(uint32_t(uint16_t(int16_t(std::lround(std::clamp(s * gain, -1.0, 1.0) * 32767)))), 2);
    return out;
}

}  // namespace

std::vector<NamedFile> BuildEffects() {
    std::vector<NamedFile> files;
    auto add = [&files](const char* name, const Synth& s) { files.push_back({name, EncodeWav(s.out)}); };
    {  // a shot or napalm hits: a short metallic tick
        Synth s(0.08);
        s.Tone(0, 0.08, 1800, 900, 0.5, 1, 6);
        s.Burst(0, 0.05, 0.9, 0.4, 0.6, 5, 1);
        add("hit.wav", s);
    }
    {  // the player is hit: a heavy low boom
        Synth s(0.8);
        s.Burst(0, 0.8, 0.5, 0.05, 1.0, 4, 2);
        s.Tone(0, 0.6, 120, 40, 0.8, 0, 3);
        add("bak1.wav", s);
    }
    {  // an enemy bullet: a quick falling chirp
        Synth s(0.12);
        s.Tone(0, 0.12, 1400, 600, 0.6, 1, 5);
        add("tekitama.wav", s);
    }
    {  // napalm launch, fat shot: a whoosh with a thump
        Synth s(0.35);
        s.Burst(0, 0.35, 0.1, 0.6, 0.8, 3, 3);
        s.Tone(0, 0.2, 220, 80, 0.6, 0, 4);
        add("jikitama.wav", s);
    }
    {  // an enemy destroyed: a crunchy mid explosion
        Synth s(0.5);
        s.Burst(0, 0.5, 0.7, 0.1, 1.0, 5, 4);
        s.Tone(0, 0.3, 300, 60, 0.5, 2, 5);
        add("bak2.wav", s);
    }
    {  // a game starts: a rising arpeggio
        Synth s(0.7);
        const double notes[] = {392, 523.25, 659.25, 783.99};
        for (int k = 0; k < 4; ++k) s.Tone(k * 0.12, k == 3 ? 0.34 : 0.14, notes[k], notes[k], 0.5, 1, 3);
        add("bak3.wav", s);
    }
    {  // a menu item is confirmed: two bright beeps
        Synth s(0.22);
        s.Tone(0, 0.09, 880, 880, 0.5, 1, 2);
        s.Tone(0.1, 0.12, 1318.5, 1318.5, 0.5, 1, 3);
        add("cursol.wav", s);
    }
    {  // a shot: a short soft zap
        Synth s(0.09);
        s.Tone(0, 0.09, 2400, 700, 0.5, 2, 5);
        add("shot.wav", s);
    }
    {  // the napalm bursts: a deep rolling rumble
        Synth s(0.9);
        s.Burst(0, 0.9, 0.25, 0.03, 1.0, 3, 5);
        s.Burst(0.1, 0.5, 0.6, 0.1, 0.4, 4, 6);
        s.Tone(0, 0.7, 90, 35, 0.7, 0, 3);
        add("gure.wav", s);
    }
    {  // a power-up: a rising sweep
        Synth s(0.4);
        s.Tone(0, 0.4, 300, 1600, 0.5, 1, 1.5);
        add("power.wav", s);
    }
    {  // the shield reaches its maximum: a triple chime
        Synth s(0.8);
        const double notes[] = {1046.5, 1318.5, 1568};
        for (int k = 0; k < 3; ++k) s.Tone(k * 0.1, 0.6, notes[k], notes[k], 0.4, 0, 4);
        add("maxim.wav", s);
    }
    {  // a bonus: a coin-like two-note ping
        Synth s(0.45);
        s.Tone(0, 0.07, 987.77, 987.77, 0.5, 1, 1);
        s.Tone(0.07, 0.38, 1318.5, 1318.5, 0.5, 1, 4);
        add("bonus.wav", s);
    }
    {  // heavy gun bullets: a rapid triple crack
        Synth s(0.3);
        for (int k = 0; k < 3; ++k) s.Burst(k * 0.08, 0.07, 0.9, 0.3, 0.9, 6, 7 + k);
        s.Tone(0, 0.25, 180, 90, 0.4, 2, 5);
        add("gun.wav", s);
    }
    {  // an extra life: a little fanfare
        Synth s(0.9);
        const double notes[] = {523.25, 659.25, 783.99, 1046.5, 783.99, 1046.5};
        for (int k = 0; k < 6; ++k) s.Tone(k * 0.11, k == 5 ? 0.3 : 0.12, notes[k], notes[k], 0.45, 1, 2);
        add("ext.wav", s);
    }
    {  // a laser emitter fires: a buzzing downward beam
        Synth s(0.7);
        s.Tone(0, 0.7, 1200, 200, 0.4, 2, 1.5);
        s.Tone(0, 0.7, 1212, 204, 0.4, 2, 1.5);
        s.Burst(0, 0.7, 0.3, 0.3, 0.2, 2, 11);
        add("laser.wav", s);
    }
    return files;
}

}  // namespace makedata
