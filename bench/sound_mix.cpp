// The mixer's cost per second of output, with N = 1, 8, 32 and 64 playing buffers:
// 16-bit stereo at the output rate (the peer, SDL_MixAudioFormat, sums the same buffers),
// and a mixed set (8-bit mono at 22050 Hz resampled, every other buffer at another
// volume), which the peer cannot do. Read the ratio of BM_MixSameRate to
// BM_SdlMixAudioFormat at each N; "audio_s_per_cpu_s" is seconds of output per CPU-second.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "dsound/mixer.h"
#include "platform/dsound.h"

namespace {

constexpr int kRate = 44100;

std::vector<uint8_t> Tone16(int frames, int seed) {
    std::vector<uint8_t> bytes(static_cast<size_t>(frames) * 4);
    for (int i = 0; i < frames; ++i) {
        const auto v = static_cast<int16_t>(6000 * std::sin(0.01 * (seed + 1) * i));
        std::memcpy(&bytes[static_cast<size_t>(i) * 4], &v, 2);
        std::memcpy(&bytes[static_cast<size_t>(i) * 4 + 2], &v, 2);
    }
    return bytes;
}

std::vector<uint8_t> Tone8(int frames, int seed) {
    std::vector<uint8_t> bytes(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) bytes[i] = static_cast<uint8_t>(128 + 40 * std::sin(0.02 * (seed + 1) * i));
    return bytes;
}

dsound::Voice MakeVoice(std::vector<uint8_t> bytes, int rate, int channels, int bits, LONG volume) {
    dsound::Voice v;
    v.store = std::make_shared<dsound::SampleStore>();
    v.store->bytes = std::move(bytes);
    v.rate = rate;
    v.channels = channels;
    v.bits = bits;
    v.blockAlign = channels * bits / 8;
    v.frames = static_cast<uint32_t>(v.store->bytes.size() / v.blockAlign);
    v.playing = true;
    v.looping = true;
    v.gain = dsound::GainOfVolume(volume);
    return v;
}

void Mix(benchmark::State& state, std::vector<dsound::Voice>& voices) {
    std::vector<int32_t> acc(static_cast<size_t>(kRate) * 2);
    std::vector<int16_t> out(acc.size());
    for (auto _ : state) {
        std::fill(acc.begin(), acc.end(), 0);
        for (dsound::Voice& v : voices) dsound::MixVoice(v, acc.data(), kRate, 2, kRate);
        for (size_t i = 0; i < acc.size(); ++i)
            out[i] = static_cast<int16_t>(acc[i] < -32768 ? -32768 : acc[i] > 32767 ? 32767 : acc[i]);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["audio_s_per_cpu_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_MixSameRate(benchmark::State& state) {
    std::vector<dsound::Voice> voices;
    for (int i = 0; i < state.range(0); ++i) voices.push_back(MakeVoice(Tone16(kRate, i), kRate, 2, 16, 0));
    Mix(state, voices);
}
BENCHMARK(BM_MixSameRate)->Arg(1)->Arg(8)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);

void BM_MixResampledAndScaled(benchmark::State& state) {
    std::vector<dsound::Voice> voices;
    for (int i = 0; i < state.range(0); ++i) {
        if (i % 2 == 0)
            voices.push_back(MakeVoice(Tone8(22050, i), 22050, 1, 8, -600));
        else
            voices.push_back(MakeVoice(Tone16(kRate, i), kRate, 2, 16, i % 4 == 1 ? 0 : -1200));
    }
    Mix(state, voices);
}
BENCHMARK(BM_MixResampledAndScaled)->Arg(1)->Arg(8)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);

void BM_SdlMixAudioFormat(benchmark::State& state) {
    std::vector<std::vector<uint8_t>> buffers;
    for (int i = 0; i < state.range(0); ++i) buffers.push_back(Tone16(kRate, i));
    std::vector<uint8_t> out(static_cast<size_t>(kRate) * 4);
    for (auto _ : state) {
        std::memset(out.data(), 0, out.size());
        for (const auto& b : buffers)
            SDL_MixAudioFormat(out.data(), b.data(), AUDIO_S16SYS, static_cast<Uint32>(out.size()), SDL_MIX_MAXVOLUME);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["audio_s_per_cpu_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SdlMixAudioFormat)->Arg(1)->Arg(8)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace
