// sound_support.h: fixtures the sound tests make at test time: tones, WAVE files written
// byte by byte, RIFF chunks read back, files encoded by sox (independently of our
// decoders), standard MIDI files, and a DirectSound object on the null device.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "TempDir.h"
#include "platform/dsound.h"
#include "platform/testing.h"
#include "platform/win32.h"

namespace soundtest {

inline void PutU16(std::string& s, uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}
inline void PutU32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline uint16_t GetU16(const std::string& s, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8));
}
inline uint32_t GetU32(const std::string& s, size_t at) {
    return GetU16(s, at) | (static_cast<uint32_t>(GetU16(s, at + 2)) << 16);
}

// A sine of `hz` at `rate`, `frames` frames, amplitude `amp`, the same on every channel.
inline std::vector<int16_t> Tone(int hz, int rate, int frames, int channels = 2, double amp = 12000.0) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i) {
        const auto v = static_cast<int16_t>(std::lround(amp * std::sin(2.0 * M_PI * hz * i / rate)));
        for (int c = 0; c < channels; ++c) out[static_cast<size_t>(i) * channels + c] = v;
    }
    return out;
}

inline WAVEFORMATEX Pcm(int rate, int channels, int bits) {
    WAVEFORMATEX f = {};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<WORD>(channels);
    f.nSamplesPerSec = static_cast<DWORD>(rate);
    f.wBitsPerSample = static_cast<WORD>(bits);
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
    return f;
}

// A 16-bit PCM WAVE file, byte by byte.
inline std::string WaveFile(const std::vector<int16_t>& samples, int rate, int channels) {
    std::string body;
    for (int16_t s : samples) PutU16(body, static_cast<uint16_t>(s));
    std::string f = "RIFF";
    PutU32(f, static_cast<uint32_t>(36 + body.size()));
    f += "WAVEfmt ";
    PutU32(f, 16);
    PutU16(f, 1);
    PutU16(f, static_cast<uint16_t>(channels));
    PutU32(f, static_cast<uint32_t>(rate));
    PutU32(f, static_cast<uint32_t>(rate * channels * 2));
    PutU16(f, static_cast<uint16_t>(channels * 2));
    PutU16(f, 16);
    f += "data";
    PutU32(f, static_cast<uint32_t>(body.size()));
    return f + body;
}

// The body of the first chunk with this id in a RIFF WAVE file; "" when there is none.
inline std::string Chunk(const std::string& file, const char* id) {
    size_t at = 12;
    while (at + 8 <= file.size()) {
        const uint32_t size = GetU32(file, at + 4);
        if (file.compare(at, 4, id) == 0) return file.substr(at + 8, size);
        at += 8 + size + (size & 1);
    }
    return "";
}

// Runs sox over files of the current folder; fails the test when sox fails.
inline bool Sox(const std::string& arguments) {
    const std::string command = "sox " + arguments + " 2>sox.err";
    if (std::system(command.c_str()) != 0) {
        ADD_FAILURE() << command << ": " << qztest::ReadWholeFile("sox.err");
        return false;
    }
    return true;
}

inline std::vector<int16_t> Samples(const std::string& pcmBytes) {
    std::vector<int16_t> out(pcmBytes.size() / 2);
    std::memcpy(out.data(), pcmBytes.data(), out.size() * 2);
    return out;
}

// Signal to noise ratio in dB of `got` against `want` (the same length).
inline double SnrDb(const std::vector<int16_t>& want, const std::vector<int16_t>& got) {
    double signal = 0, noise = 0;
    for (size_t i = 0; i < want.size() && i < got.size(); ++i) {
        signal += double(want[i]) * want[i];
        const double d = double(want[i]) - got[i];
        noise += d * d;
    }
    return 10.0 * std::log10(signal / (noise + 1e-9));
}

// Rising zero crossings of channel 0 between frames [from, to): a tone's cycles.
inline int RisingCrossings(const std::vector<int16_t>& s, int channels, int from, int to) {
    int n = 0;
    for (int i = from + 1; i < to; ++i)
        if (s[static_cast<size_t>(i - 1) * channels] < 0 && s[static_cast<size_t>(i) * channels] >= 0) ++n;
    return n;
}

// A one-note standard MIDI file (format 0, 480 ticks per quarter at 120 bpm, so 960
// ticks a second): the note sounds from 0 for `seconds`, and the song ends there.
inline std::string MidiFile(double seconds, int note = 69, int program = 0) {
    std::string track;
    auto delta = [&track](uint32_t d) {
        std::string v(1, static_cast<char>(d & 0x7F));
        while (d >>= 7) v.insert(v.begin(), static_cast<char>(0x80 | (d & 0x7F)));
        track += v;
    };
    delta(0);
    track += std::string("\xC0", 1) + static_cast<char>(program);
    delta(0);
    track += std::string("\x90", 1) + static_cast<char>(note) + static_cast<char>(110);
    delta(static_cast<uint32_t>(std::lround(seconds * 960)));
    track += std::string("\x80", 1) + static_cast<char>(note) + std::string("\x00", 1);
    delta(0);
    track += std::string("\xFF\x2F\x00", 3);
    std::string f = "MThd";
    f += std::string("\x00\x00\x00\x06\x00\x00\x00\x01\x01\xE0", 10);
    f += "MTrk";
    const uint32_t n = static_cast<uint32_t>(track.size());
    f += static_cast<char>(n >> 24);
    f += static_cast<char>(n >> 16);
    f += static_cast<char>(n >> 8);
    f += static_cast<char>(n);
    return f + track;
}

// A DirectSound object initialised on the null device, released at the end of scope.
class Sound {
public:
    // Takes the null device over first, so only the test's own pulls mix.
    Sound() {
        ptest::PullAudio(0);
        CoInitialize(nullptr);
        EXPECT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound,
                                   reinterpret_cast<void**>(&ds_)),
                  S_OK);
        if (ds_ != nullptr) {
            EXPECT_EQ(ds_->Initialize(nullptr), DS_OK);
        }
    }
    ~Sound() {
        if (ds_ != nullptr) ds_->Release();
        CoUninitialize();
    }
    IDirectSound* operator->() { return ds_; }
    IDirectSound* get() { return ds_; }

    // A secondary buffer holding these bytes.
    IDirectSoundBuffer* Buffer(const WAVEFORMATEX& format, const void* bytes, DWORD size, DWORD flags = 0x80E2) {
        WAVEFORMATEX f = format;
        DSBUFFERDESC desc = {};
        desc.dwSize = sizeof desc;
        desc.dwFlags = flags;
        desc.dwBufferBytes = size;
        desc.lpwfxFormat = &f;
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(ds_->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
        if (b == nullptr) return nullptr;
        void *p1 = nullptr, *p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        EXPECT_EQ(b->Lock(0, size, &p1, &n1, &p2, &n2, 0), DS_OK);
        std::memcpy(p1, bytes, n1);
        EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
        return b;
    }
    IDirectSoundBuffer* Buffer(const WAVEFORMATEX& format, const std::vector<int16_t>& samples, DWORD flags = 0x80E2) {
        return Buffer(format, samples.data(), static_cast<DWORD>(samples.size() * 2), flags);
    }

private:
    IDirectSound* ds_ = nullptr;
};

}  // namespace soundtest
