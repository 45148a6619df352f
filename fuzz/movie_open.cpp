// Fuzz target: a multimedia stream over arbitrary bytes in a file kept in memory:
// OpenFile, and for what opens, two frames into a sample's own surface with a seek between
// them, and the sound track into the mixer, all on the fast clock. Pictures
// above a million pixels only have their format read: a damaged header declares one from
// a few bytes, and its surface, made and cleared for every such input, decodes nothing a
// smaller one does not.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "MemoryFile.h"
#include "MovieWriter.h"
#include "platform/ddraw.h"
#include "platform/dshow.h"
#include "platform/testing.h"

namespace {

// Where the seeds are written by the movie writer.
std::string ScratchFile(const char* name) {
    static const std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return folder + "/qz-fuzz-" + std::to_string(getpid()) + "-" + name;
}

std::string ReadFile(const std::string& path) {
    std::string bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return bytes;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
}

// The event an outstanding update sets, made once per process and cleared for each input.
HANDLE UpdateEvent() {
    static const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return event;
}

void Play(IAMMultiMediaStream* stream) {
    IMediaStream* video = nullptr;
    IDirectDrawMediaStream* ddVideo = nullptr;
    if (stream->GetMediaStream(MSPID_PrimaryVideo, &video) != S_OK)
        return;
    video->QueryInterface(IID_IDirectDrawMediaStream, (void**)&ddVideo);
    DDSURFACEDESC desired = {};
    desired.dwSize = sizeof desired;
    IDirectDrawStreamSample* sample = nullptr;
    if (ddVideo && ddVideo->GetFormat(nullptr, nullptr, &desired, nullptr) == S_OK && desired.dwWidth > 0 &&
        static_cast<uint64_t>(desired.dwWidth) * desired.dwHeight <= 1u << 20)
        ddVideo->CreateSample(nullptr, nullptr, DDSFF_PROGRESSIVERENDER, &sample);
    stream->SetState(STREAMSTATE_RUN);
    const HANDLE event = UpdateEvent();
    ResetEvent(event);
    // Two updates with a seek between reach the decoding of both tracks (the first update
    // decodes the frame after its own as well), the seek in both, and the decoding after
    // it; more only decode more of the same frames.
    for (int i = 0; i < 2; ++i) {
        if (sample) {
            HRESULT hr = sample->Update(0, event, nullptr, 0);
            if (hr == MS_S_PENDING) {
                // Until the frame is written (a frame more than a second away is not
                // waited for): an update still outstanding would refuse the next one.
                for (int waits = 0; waits < 25 && WaitForSingleObject(event, 0) != WAIT_OBJECT_0; ++waits)
                    Sleep(40);
                ResetEvent(event);
            } else if (hr != S_OK) {
                break;
            }
        }
        ptest::PullAudio(256);
        if (i == 0)
            stream->Seek(0);
    }
    if (sample)
        sample->Release();
    if (ddVideo)
        ddVideo->Release();
    video->Release();
}

// The DirectDraw object the video streams draw into, made once per process.
IDirectDraw7* DirectDraw() {
    static IDirectDraw7* const dd = [] {
        // Headless, as the unit tests run: the null sound device always exists, so the
        // sound track is decoded too (unless the caller chose a backend).
        setenv("QZ_BACKEND", "null", 0);
        ptest::SetClockMode(ptest::ClockMode::Fast);
        CoInitialize(nullptr);
        IDirectDraw7* made = nullptr;
        if (CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, (void**)&made) != S_OK)
            std::abort();
        made->Initialize(nullptr);
        made->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
        return made;
    }();
    return dd;
}

// The input, in memory for the whole process.
const qzfuzz::MemoryFile& Input() {
    static const qzfuzz::MemoryFile file("qz-movie");
    return file;
}

// Its name as OpenFile takes it.
const WCHAR* InputName() {
    static const std::vector<WCHAR> name = [] {
        const std::string& path = Input().Path();
        std::vector<WCHAR> wide(path.begin(), path.end());
        wide.push_back(0);
        return wide;
    }();
    return name.data();
}

}  // namespace

QZ_FUZZ_SMALL_QUARANTINE();

QZ_FUZZ_TARGET(MovieOpen)(const uint8_t* data, size_t size) {
    IDirectDraw7* dd = DirectDraw();
    Input().Write(data, size);
    IAMMultiMediaStream* stream = nullptr;
    CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER, IID_IAMMultiMediaStream,
                     (void**)&stream);
    if (stream != nullptr && stream->Initialize(STREAMTYPE_READ, AMMSF_NOGRAPHTHREAD, nullptr) == S_OK &&
        stream->AddMediaStream(dd, &MSPID_PrimaryVideo, 0, nullptr) == S_OK) {
        stream->AddMediaStream(nullptr, &MSPID_PrimaryAudio, AMMSF_ADDDEFAULTRENDERER, nullptr);
        if (stream->OpenFile(InputName(), 0) == S_OK)
            Play(stream);
    }
    if (stream)
        stream->Release();
    return 0;
}

QZ_FUZZ_SEEDS(MovieOpen) {
    std::vector<std::string> seeds;
    const std::string path = ScratchFile("seed.bin");
    qztest::MovieSpec clip;
    clip.width = 16;
    clip.height = 16;
    clip.frames = {0xFF0000, 0x00FF00, 0x0000FF};
    clip.toneSeconds = 0.3;
    qztest::MovieSpec mpeg = clip;
    mpeg.container = "mpeg";
    mpeg.videoCodec = "mpeg1video";
    mpeg.fps = 30;
    mpeg.audioCodec = "";
    qztest::MovieSpec wav = clip;
    wav.container = "wav";
    wav.videoCodec = "";
    for (const qztest::MovieSpec& spec : {clip, mpeg, wav}) {
        if (qztest::WriteMovie(path, spec))
            seeds.push_back(ReadFile(path));
        std::remove(path.c_str());
    }
    return seeds;
}
