// dsound/mixer.cpp: mixes every playing buffer and the MIDI player into the one output
// (rules in mixer.h), and opens the device below it. Render runs on the device's
// thread (SDL's audio thread, or whoever steps the null device); every other dsound
// file touches a voice only under MixLock. Conversion lives in acm/, MIDI in dmusic/.
#include "dsound/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "backend/audio.h"
#include "dmusic/player.h"
#include "kernel/diag.h"

namespace dsound {
namespace {

std::mutex g_mixLock;
std::vector<Voice*> g_voices;
std::vector<StreamVoice*> g_streamVoices;

std::mutex g_deviceLock;  // taken before g_mixLock, never after it
int g_deviceUsers = 0;
OutputFormat g_format;

constexpr uint64_t kOne = uint64_t{1} << 32;

template <int Bits>
inline int32_t Sample(const uint8_t* p) {
    if constexpr (Bits == 8)
        return (static_cast<int32_t>(*p) - 128) * 256;
    else
        return static_cast<int16_t>(p[0] | (p[1] << 8));
}

inline int32_t Scale(int32_t s, int32_t gain) {
    return gain == 65536 ? s : static_cast<int32_t>((static_cast<int64_t>(s) * gain + 32768) >> 16);
}

inline int32_t Lerp(int32_t a, int32_t b, uint32_t frac) {
    return a + static_cast<int32_t>((static_cast<int64_t>(b - a) * (frac >> 16)) >> 16);
}

// One voice into the accumulators. Exact: the voice is at the output rate, so every
// output frame is one source frame and nothing is interpolated.
template <int Bits, int Channels, int OutChannels, bool Exact>
void MixRun(Voice& v, int32_t* acc, int frames, uint64_t step) {
    constexpr int kBytes = Bits / 8;
    const uint8_t* data = v.store->MixData();
    const uint32_t n = v.frames;
    const int32_t gain = v.gain;
    uint64_t pos = v.position;
    int i = 0;
    while (i < frames) {
        uint32_t idx = static_cast<uint32_t>(pos >> 32);
        if (idx >= n) {
            if (!v.looping) {
                v.playing = false;
                pos = 0;
                break;
            }
            pos -= static_cast<uint64_t>(n) * kOne * (idx / n);
            idx = static_cast<uint32_t>(pos >> 32);
        }
        if constexpr (Exact) {
            const int run = static_cast<int>(std::min<uint64_t>(frames - i, n - idx));
            const uint8_t* p = data + static_cast<size_t>(idx) * Channels * kBytes;
            int32_t* a = acc + static_cast<size_t>(i) * OutChannels;
            for (int k = 0; k < run; ++k, p += Channels * kBytes, a += OutChannels) {
                const int32_t l = Scale(Sample<Bits>(p), gain);
                const int32_t r = Channels == 2 ? Scale(Sample<Bits>(p + kBytes), gain) : l;
                if constexpr (OutChannels == 2) {
                    a[0] += l;
                    a[1] += r;
                } else {
                    a[0] += Channels == 2 ? (l + r) >> 1 : l;
                }
            }
            i += run;
            pos += static_cast<uint64_t>(run) * kOne;
        } else {
            uint32_t next = idx + 1;
            if (next >= n) next = v.looping ? 0 : idx;
            const uint32_t frac = static_cast<uint32_t>(pos);
            const uint8_t* p0 = data + static_cast<size_t>(idx) * Channels * kBytes;
            const uint8_t* p1 = data + static_cast<size_t>(next) * Channels * kBytes;
            int32_t l = Lerp(Sample<Bits>(p0), Sample<Bits>(p1), frac);
            int32_t r = Channels == 2 ? Lerp(Sample<Bits>(p0 + kBytes), Sample<Bits>(p1 + kBytes), frac) : l;
            l = Scale(l, gain);
            r = Channels == 2 ? Scale(r, gain) : l;
            int32_t* a = acc + static_cast<size_t>(i) * OutChannels;
            if constexpr (OutChannels == 2) {
                a[0] += l;
                a[1] += r;
            } else {
                a[0] += Channels == 2 ? (l + r) >> 1 : l;
            }
            ++i;
            pos += step;
        }
    }
    // A voice that ran exactly to its end stops now, so its cursor reads 0 at once.
    if (v.playing && !v.looping && (pos >> 32) >= n) {
        v.playing = false;
        pos = 0;
    }
    v.position = pos;
}

template <int Bits, int Channels, int OutChannels>
void MixAtRate(Voice& v, int32_t* acc, int frames, int outRate) {
    const uint64_t step = (static_cast<uint64_t>(v.rate) << 32) / static_cast<uint64_t>(outRate);
    if (step == kOne)
        MixRun<Bits, Channels, OutChannels, true>(v, acc, frames, step);
    else
        MixRun<Bits, Channels, OutChannels, false>(v, acc, frames, step);
}

template <int OutChannels>
void MixAny(Voice& v, int32_t* acc, int frames, int outRate) {
    if (v.bits == 8) {
        if (v.channels == 1) MixAtRate<8, 1, OutChannels>(v, acc, frames, outRate);
        else MixAtRate<8, 2, OutChannels>(v, acc, frames, outRate);
    } else {
        if (v.channels == 1) MixAtRate<16, 1, OutChannels>(v, acc, frames, outRate);
        else MixAtRate<16, 2, OutChannels>(v, acc, frames, outRate);
    }
}

}  // namespace

std::mutex& MixLock() { return g_mixLock; }

void AddVoice(Voice* voice) { g_voices.push_back(voice); }

void RemoveVoice(Voice* voice) { g_voices.erase(std::remove(g_voices.begin(), g_voices.end(), voice), g_voices.end()); }

bool IsStorePlaying(const SampleStore* store) {
    return std::any_of(g_voices.begin(), g_voices.end(),
                       [store](const Voice* v) { return v->playing && v->store.get() == store; });
}

void AddStreamVoice(StreamVoice* voice) { g_streamVoices.push_back(voice); }

void RemoveStreamVoice(StreamVoice* voice) {
    g_streamVoices.erase(std::remove(g_streamVoices.begin(), g_streamVoices.end(), voice), g_streamVoices.end());
}

int32_t GainOfVolume(LONG volume) {
    if (volume >= 0) return 65536;
    if (volume <= DSBVOLUME_MIN) return 0;
    return static_cast<int32_t>(std::lround(65536.0 * std::pow(10.0, volume / 2000.0)));
}

void MixVoice(Voice& voice, int32_t* acc, int frames, int outChannels, int outRate) {
    if (!voice.playing || voice.frames == 0 || frames <= 0) return;
    if (outChannels == 2)
        MixAny<2>(voice, acc, frames, outRate);
    else
        MixAny<1>(voice, acc, frames, outRate);
}

void Render(int16_t* out, int frames) {
    if (frames <= 0) return;
    thread_local std::vector<int32_t> acc;
    int channels;
    {
        std::lock_guard<std::mutex> hold(g_mixLock);
        channels = g_format.channels;
        acc.assign(static_cast<size_t>(frames) * channels, 0);
        for (Voice* v : g_voices) MixVoice(*v, acc.data(), frames, channels, g_format.rate);
        for (StreamVoice* s : g_streamVoices) s->MixInto(acc.data(), frames, channels, g_format.rate);
        midi::RenderInto(acc.data(), frames, channels, g_format.rate);
    }
    const size_t count = static_cast<size_t>(frames) * channels;
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<int16_t>(std::clamp(acc[i], -32768, 32767));
    midi::PostNotifications();
}

OutputFormat GetOutputFormat() {
    std::lock_guard<std::mutex> hold(g_mixLock);
    return g_format;
}

HRESULT OpenDevice() {
    std::lock_guard<std::mutex> hold(g_deviceLock);
    if (kernel::ConsumeFault("SoundDevice")) return kernel::Fail(0, DSERR_NODRIVER, "dsound: no sound device (injected)");
    if (g_deviceUsers == 0) {
        backend::AudioFormat format;
        {
            std::lock_guard<std::mutex> mix(g_mixLock);
            format.rate = g_format.rate;
            format.channels = g_format.channels;
        }
        if (!backend::CurrentAudio().open(format, Render)) return DSERR_NODRIVER;
    }
    ++g_deviceUsers;
    return DS_OK;
}

void CloseDevice() {
    std::lock_guard<std::mutex> hold(g_deviceLock);
    if (g_deviceUsers == 0) return;
    if (--g_deviceUsers == 0) backend::CurrentAudio().close();
}

HRESULT SetOutputFormat(const OutputFormat& format) {
    std::lock_guard<std::mutex> hold(g_deviceLock);
    {
        std::lock_guard<std::mutex> mix(g_mixLock);
        if (format.rate == g_format.rate && format.channels == g_format.channels && format.bits == g_format.bits)
            return DS_OK;
    }
    if (g_deviceUsers > 0) backend::CurrentAudio().close();
    {
        std::lock_guard<std::mutex> mix(g_mixLock);
        g_format = format;
    }
    if (g_deviceUsers > 0 && !backend::CurrentAudio().open({format.rate, format.channels}, Render)) {
        g_deviceUsers = 0;
        return kernel::Fail(0, DSERR_NODRIVER, "dsound: the device refused %d Hz, %d channels", format.rate,
                            format.channels);
    }
    return DS_OK;
}

void SyncDevice() { backend::CurrentAudio().sync(); }

}  // namespace dsound
