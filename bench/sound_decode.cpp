// Decoding one minute of sound, in one run, as seconds of audio per CPU-second
// ("audio_s_per_cpu_s"): the library's whole load into a sound handle (decode and copy
// into a DirectSound buffer) and its bare decode (SoundDecoder to one PCM block), against
// peers on the same bytes:
//   PCM WAVE    memcpy of the PCM (the limit)
//   IMA, MS ADPCM, MP3, Ogg   libavformat + libavcodec
//   MP3         bare libmpg123 (feed and read), the cost of our ACM and scan layers
//   Ogg         a bare ov_read loop, the cost of our decoder layer
// The library's rows carry their ratios to the peers (x_memcpy, x_libavcodec, x_bare:
// the peer's CPU time over ours, above 1 when we are faster).
// ADPCM and MP3 inputs are encoded by sox at start-up from a tone written here; without
// sox those rows are skipped.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}
#include <mpg123.h>

#include "CodecFixtures.h"
#include "QzSoundData.h"
#include "QzSoundDecoder.h"
#include "QzSoundSystem.h"
#include "QzWinFileStream.h"
#include "QzWinMemory.h"
#include "QzWinState.h"
#include "platform/objbase.h"
#include "platform/testing.h"

namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 60;

// Headless: the benchmark needs no sound card. Set before the platform's first use.
const int g_headless = setenv("QZ_BACKEND", "null", 0);

void PutU16(std::string& s, int v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void PutU32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; i++) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string ToneWave(int seconds) {
    std::string pcm;
    for (int i = 0; i < kRate * seconds; i++) {
        const int v = static_cast<int>(12000 * std::sin(2 * M_PI * 440.0 * i / kRate) + 3000 * std::sin(0.001 * i));
        PutU16(pcm, v);
        PutU16(pcm, v / 2);
    }
    std::string f = "RIFF";
    PutU32(f, static_cast<uint32_t>(36 + pcm.size()));
    f += "WAVEfmt ";
    PutU32(f, 16);
    PutU16(f, 1);
    PutU16(f, 2);
    PutU32(f, kRate);
    PutU32(f, kRate * 4);
    PutU16(f, 4);
    PutU16(f, 16);
    f += "data";
    PutU32(f, static_cast<uint32_t>(pcm.size()));
    return f + pcm;
}

std::string ReadFile(const std::string& path) {
    std::string out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return out;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
    std::fclose(f);
    return out;
}

// The inputs, made once: PCM WAVE, sox's encodings of it, and an Ogg Vorbis stream.
struct Inputs {
    std::string pcm, ima, ms, mp3, ogg;
    Inputs() {
        av_log_set_level(AV_LOG_QUIET);
        pcm = ToneWave(kSeconds);
        char folder[] = "/tmp/qzbench-XXXXXX";
        if (mkdtemp(folder) != nullptr) {
            const std::string dir = folder;
            FILE* f = std::fopen((dir + "/tone.wav").c_str(), "wb");
            if (f != nullptr) {
                std::fwrite(pcm.data(), 1, pcm.size(), f);
                std::fclose(f);
            }
            auto sox = [&](const std::string& args, const std::string& out) {
                const std::string command = "cd " + dir + " && sox tone.wav " + args + " " + out + " 2>/dev/null";
                return std::system(command.c_str()) == 0 ? ReadFile(dir + "/" + out) : std::string();
            };
            ima = sox("-e ima-adpcm", "ima.wav");
            ms = sox("-e ms-adpcm", "ms.wav");
            mp3 = sox("-C 128", "tone.mp3");
            const std::string clean = "rm -rf " + dir;
            if (std::system(clean.c_str()) != 0) std::fprintf(stderr, "bench: could not remove %s\n", folder);
        }
        ogg = qztest::WriteOggVorbis(2, kRate, kRate * kSeconds);
    }
};

const Inputs& GetInputs() {
    static Inputs inputs;
    return inputs;
}

const std::string& Input(int format) {
    const Inputs& in = GetInputs();
    switch (format) {
    case 0: return in.pcm;
    case 1: return in.ima;
    case 2: return in.ms;
    case 3: return in.mp3;
    default: return in.ogg;
    }
}
const char* const kNames[] = {"pcm", "ima", "ms", "mp3", "ogg"};

double CpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// CPU seconds per decode of each peer, by format, from the peers' rows (run first).
double g_memcpy = 0, g_av[5] = {}, g_bare[5] = {};

// Seconds of audio per CPU-second, and the ratios to the peers measured so far (above 1:
// faster than the peer).
void Report(benchmark::State& state, int format, double started, double* record = nullptr) {
    state.SetLabel(kNames[format]);
    state.counters["audio_s_per_cpu_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kSeconds, benchmark::Counter::kIsRate);
    if (state.iterations() == 0) return;
    const double each = (CpuSeconds() - started) / static_cast<double>(state.iterations());
    if (record != nullptr) {
        *record = each;
        return;
    }
    if (format == 0 && g_memcpy > 0) state.counters["x_memcpy"] = g_memcpy / each;
    if (g_av[format] > 0) state.counters["x_libavcodec"] = g_av[format] / each;
    if (g_bare[format] > 0) state.counters["x_bare"] = g_bare[format] / each;
}

bool Usable(benchmark::State& state, int format) {
    if (!Input(format).empty()) return true;
    state.SkipWithError("no input (sox missing?)");
    return false;
}

// The sound system on the null device, started once; the log writes nothing.
void StartSound() {
    static bool started = [] {
        g_windowSystem.logOff = 1;
        CoInitialize(nullptr);
        SetupStreamFunctions();
        ptest::PullAudio(0);
        return InitializeSoundSystem() == 0;
    }();
    (void)started;
}

void BM_Decode(benchmark::State& state) {
    const int format = static_cast<int>(state.range(0));
    if (!Usable(state, format)) return;
    SetupStreamFunctions();
    const std::string& bytes = Input(format);
    const double started = CpuSeconds();
    for (auto _ : state) {
        MemoryStream* memory = OpenMemoryStream(bytes.data(), static_cast<int>(bytes.size()));
        ReadStream stream;
        MakeMemoryReadStream(&stream, memory);
        static SoundDecoder decoder;
        WAVEFORMATEX f;
        void* pcm = nullptr;
        int size = 0;
        if (OpenSoundDecoder(&stream, &decoder) != 0 || DecodeWholeSound(&decoder, &f, &pcm, &size) != 0) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(std::as_const(pcm));
        FreeMemory(pcm);
        CloseSoundDecoder(&decoder);
        CloseMemoryStream(memory);
    }
    Report(state, format, started);
}

void BM_IntoHandle(benchmark::State& state) {
    const int format = static_cast<int>(state.range(0));
    if (!Usable(state, format)) return;
    StartSound();
    const std::string& bytes = Input(format);
    const double started = CpuSeconds();
    for (auto _ : state) {
        const int handle = CreateSoundDataFromMemory(bytes.data(), static_cast<int>(bytes.size()), 1);
        if (handle == -1) {
            state.SkipWithError("load failed");
            break;
        }
        DeleteSoundData(handle, 0);
    }
    Report(state, format, started);
}

void BM_Memcpy(benchmark::State& state) {
    const std::string& bytes = Input(0);
    std::vector<char> out(bytes.size());
    const double started = CpuSeconds();
    for (auto _ : state) {
        std::memcpy(out.data(), bytes.data() + 44, bytes.size() - 44);
        benchmark::DoNotOptimize(out.data());
    }
    Report(state, 0, started, &g_memcpy);
}

// libavformat reads from memory through this.
struct MemoryReader {
    const std::string* bytes;
    int64_t at;
};
int ReadPacket(void* opaque, uint8_t* buffer, int size) {
    auto* r = static_cast<MemoryReader*>(opaque);
    const int64_t left = static_cast<int64_t>(r->bytes->size()) - r->at;
    if (left <= 0) return AVERROR_EOF;
    const int n = static_cast<int>(left < size ? left : size);
    std::memcpy(buffer, r->bytes->data() + r->at, static_cast<size_t>(n));
    r->at += n;
    return n;
}
int64_t SeekPacket(void* opaque, int64_t offset, int whence) {
    auto* r = static_cast<MemoryReader*>(opaque);
    if (whence == AVSEEK_SIZE) return static_cast<int64_t>(r->bytes->size());
    const int64_t base = whence == SEEK_CUR ? r->at : whence == SEEK_END ? static_cast<int64_t>(r->bytes->size()) : 0;
    r->at = base + offset;
    return r->at;
}

// Demuxes and decodes the whole input; the samples produced.
int64_t DecodeWithAv(const std::string& bytes) {
    MemoryReader reader = {&bytes, 0};
    const int ioSize = 65536;
    auto* ioBuffer = static_cast<uint8_t*>(av_malloc(ioSize));
    AVIOContext* io = avio_alloc_context(ioBuffer, ioSize, 0, &reader, ReadPacket, nullptr, SeekPacket);
    AVFormatContext* format = avformat_alloc_context();
    format->pb = io;
    int64_t samples = -1;
    if (avformat_open_input(&format, nullptr, nullptr, nullptr) == 0 && avformat_find_stream_info(format, nullptr) >= 0) {
        const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        const AVCodec* codec = index >= 0 ? avcodec_find_decoder(format->streams[index]->codecpar->codec_id) : nullptr;
        AVCodecContext* context = codec != nullptr ? avcodec_alloc_context3(codec) : nullptr;
        if (context != nullptr && avcodec_parameters_to_context(context, format->streams[index]->codecpar) >= 0 &&
            avcodec_open2(context, codec, nullptr) == 0) {
            samples = 0;
            AVPacket* packet = av_packet_alloc();
            AVFrame* frame = av_frame_alloc();
            while (av_read_frame(format, packet) >= 0) {
                if (packet->stream_index == index && avcodec_send_packet(context, packet) == 0)
                    while (avcodec_receive_frame(context, frame) == 0) samples += frame->nb_samples;
                av_packet_unref(packet);
            }
            avcodec_send_packet(context, nullptr);
            while (avcodec_receive_frame(context, frame) == 0) samples += frame->nb_samples;
            av_frame_free(&frame);
            av_packet_free(&packet);
        }
        avcodec_free_context(&context);
        avformat_close_input(&format);
    } else {
        avformat_free_context(format);
    }
    av_freep(&io->buffer);
    avio_context_free(&io);
    return samples;
}

void BM_Libavcodec(benchmark::State& state) {
    const int format = static_cast<int>(state.range(0));
    if (!Usable(state, format)) return;
    const std::string& bytes = Input(format);
    const double started = CpuSeconds();
    for (auto _ : state) {
        if (DecodeWithAv(bytes) <= 0) {
            state.SkipWithError("libavcodec could not decode");
            break;
        }
    }
    Report(state, format, started, &g_av[format]);
}

void BM_BareMpg123(benchmark::State& state) {
    if (!Usable(state, 3)) return;
    const std::string& bytes = Input(3);
    std::vector<unsigned char> out(1 << 16);
    const double started = CpuSeconds();
    for (auto _ : state) {
        mpg123_handle* h = mpg123_new(nullptr, nullptr);
        mpg123_open_feed(h);
        mpg123_feed(h, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        size_t done = 0, total = 0;
        int result;
        while ((result = mpg123_read(h, out.data(), out.size(), &done)) == MPG123_OK || result == MPG123_NEW_FORMAT)
            total += done;
        benchmark::DoNotOptimize(std::as_const(total));
        mpg123_delete(h);
    }
    Report(state, 3, started, &g_bare[3]);
}

size_t OggRead(void* buffer, size_t size, size_t count, void* source) {
    auto* r = static_cast<MemoryReader*>(source);
    const int64_t left = static_cast<int64_t>(r->bytes->size()) - r->at;
    const size_t items = left <= 0 ? 0 : std::min(count, static_cast<size_t>(left) / size);
    std::memcpy(buffer, r->bytes->data() + r->at, items * size);
    r->at += static_cast<int64_t>(items * size);
    return items;
}
int OggSeek(void* source, ogg_int64_t offset, int whence) {
    SeekPacket(source, offset, whence);
    return 0;
}
long OggTell(void* source) { return static_cast<long>(static_cast<MemoryReader*>(source)->at); }

void BM_BareOvRead(benchmark::State& state) {
    const std::string& bytes = Input(4);
    std::vector<char> out(4096);
    const ov_callbacks callbacks = {OggRead, OggSeek, nullptr, OggTell};
    const double started = CpuSeconds();
    for (auto _ : state) {
        OggVorbis_File file;
        MemoryReader reader = {&bytes, 0};
        if (ov_open_callbacks(&reader, &file, nullptr, 0, callbacks) != 0) {
            state.SkipWithError("not Ogg Vorbis");
            break;
        }
        int section = 0;
        long got, total = 0;
        while ((got = ov_read(&file, out.data(), static_cast<int>(out.size()), 0, 2, 1, &section)) != 0)
            if (got > 0) total += got;
        benchmark::DoNotOptimize(std::as_const(total));
        ov_clear(&file);
    }
    Report(state, 4, started, &g_bare[4]);
}

// The peers first, so that the library's rows can give their ratios.
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libavcodec)->DenseRange(1, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareMpg123)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareOvRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IntoHandle)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace
