// dshow/internal.h: what the parts of the multimedia streams share: the stream clock, the
// opened file's video and sound tracks, and the count of live objects.
//
// Ownership: the multimedia stream holds its graph, its video stream and the Movie (the
// open file); the video stream and every sample share the Movie, so no object holds the
// one that made it and the last Release frees everything. Releasing the multimedia stream
// closes the Movie at once: its decoders go, and samples left behind deliver nothing.
//
// Threads: the library's thread makes every call; the sound track is decoded on the thread
// that mixes. Locks, taken in this order only: the mixer's, a Movie's or a sound track's,
// the clock's, the kernel's event-poll table.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow.h"

struct AVFormatContext;
struct AVInputFormat;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace ddraw {
class Surface;
}

namespace dshow {

// ---- live objects -----------------------------------------------------------------------------
void CountObject(int delta);  // every object, decoder and sound track counts itself

// ---- the stream clock -----------------------------------------------------------------------------
// The graph's time in 100 ns units: the platform clock's time since the last run, plus the
// time held at that run. Shared by the graph (IMediaControl::Pause), the multimedia stream
// and its sound track.
class Timeline {
public:
    bool Running() const;
    void Run();   // time moves from now on
    void Stop();  // time holds
    void Seek(STREAM_TIME time);
    STREAM_TIME Now() const;  // reads the platform clock while running
    // How many seeks there have been, and the last one's time.
    uint64_t Seeks(STREAM_TIME* lastTarget) const;

private:
    mutable std::mutex lock_;
    bool running_ = false;
    STREAM_TIME held_ = 0;     // the time at the last run, stop or seek
    uint64_t startUs_ = 0;     // the platform clock at the last run or seek while running
    uint64_t seeks_ = 0;
    STREAM_TIME seekTarget_ = 0;
};

// ---- files -----------------------------------------------------------------------------------------
// The Linux path a wide name stands for, resolved as CreateFileA resolves names;
// VFW_E_NOT_FOUND for anything that is no existing file.
HRESULT ResolveMovieName(LPCWSTR name, std::string* linuxPath);

// Opens a file with FFmpeg's demuxers and reads its stream information. Still images,
// text art and files that name other files are refused. VFW_E_UNSUPPORTED_STREAM when
// nothing usable opens. `format`, when given, is the demuxer an earlier open of the same
// file chose: the probe, which would choose it again, is skipped.
HRESULT OpenContainer(const std::string& linuxPath, AVFormatContext** out, const AVInputFormat* format = nullptr);
void CloseContainer(AVFormatContext** context);
// The next decoded frame of one stream of the container into `frame`, reading packets as
// the decoder needs them (`packet` is scratch). Damaged packets and frames are skipped;
// false at the decoder's end, or when nothing but damage comes. `draining` says the
// demuxer is done; it starts false.
bool DecodeNextFrame(AVFormatContext* container, AVCodecContext* decoder, int stream, AVPacket* packet,
                     AVFrame* frame, bool* draining);
// The best stream of a kind (video: attached pictures skipped), or -1.
int FindVideoStream(AVFormatContext* context);
int FindAudioStream(AVFormatContext* context);
// A decoder opened for the stream, or null.
AVCodecContext* OpenDecoder(AVFormatContext* context, int stream);

// ---- video ---------------------------------------------------------------------------------------
// The video track of an open file: frames decoded in order, each timed on the stream
// clock (the stream's start is time 0). Under its Movie's lock.
class VideoTrack {
public:
    // Takes the container and decoder (freed on failure too) and decodes the first frame;
    // null when no frame decodes.
    static std::unique_ptr<VideoTrack> Create(AVFormatContext* container, int stream, AVCodecContext* decoder);
    ~VideoTrack();
    VideoTrack(const VideoTrack&) = delete;
    VideoTrack& operator=(const VideoTrack&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }

    // Writes the latest frame due at `now` into the surface (under its lock): S_OK;
    // MS_S_PENDING when none is due; MS_S_ENDOFSTREAM after the last; a lock failure as
    // the surface gave it (the frame is kept for the next try).
    HRESULT Deliver(ddraw::Surface* surface, STREAM_TIME now);
    // Moves to `time`: the next delivery is the frame shown then.
    void Seek(STREAM_TIME time);

    // The sizes and pixel formats a scaler converts between.
    struct ScalerShape {
        int srcWidth = 0, srcHeight = 0, srcFormat = -1, width = 0, height = 0, format = -1;
        bool operator==(const ScalerShape&) const = default;
    };

private:
    VideoTrack() = default;
    bool Decode(AVFrame* frame, STREAM_TIME* time);  // the next frame; false at the end
    HRESULT Write(AVFrame* frame, ddraw::Surface* surface);

    AVFormatContext* container_ = nullptr;
    AVCodecContext* decoder_ = nullptr;
    SwsContext* scaler_ = nullptr;
    ScalerShape scalerShape_;          // what the scaler was built for
    int stream_ = -1;
    int width_ = 0, height_ = 0;
    int64_t startPts_ = 0;             // the stream's first time, in its time base
    bool startKnown_ = false;
    STREAM_TIME frameDuration_ = 0;    // for frames without a time
    STREAM_TIME lastTime_ = -1;        // the last decoded frame's time, -1 after a seek
    bool draining_ = false;            // the demuxer is done; the decoder gives what it holds
    bool ended_ = false;
    AVFrame* pending_ = nullptr;       // the first frame not delivered yet
    STREAM_TIME pendingTime_ = 0;
    bool havePending_ = false;
    bool counted_ = false;             // whole, and so counted as a live object
    AVFrame* ahead_ = nullptr;         // the frame after it, when already decoded
    STREAM_TIME aheadTime_ = 0;
    bool haveAhead_ = false;
};

// The FFmpeg pixel format a sample surface is written in, or -1 (AV_PIX_FMT_NONE) for a
// surface the stream cannot fill.
int PixelFormatOfSurface(const DDPIXELFORMAT& format);

// ---- the open file ----------------------------------------------------------------------------------
// A sample's side of an outstanding update, under its Movie's lock.
struct SampleCore {
    ddraw::Surface* surface = nullptr;  // the sample holds its reference
    bool pending = false;               // an update waits for its frame
    HANDLE event = nullptr;             // set when it is written
};

struct Movie {
    explicit Movie(std::shared_ptr<Timeline> clock) : timeline(std::move(clock)) { CountObject(1); }
    ~Movie() { CountObject(-1); }
    Movie(const Movie&) = delete;
    Movie& operator=(const Movie&) = delete;
    std::mutex lock;  // guards everything below and every sample's core
    const std::shared_ptr<Timeline> timeline;
    bool opened = false;                // OpenFile succeeded
    bool closed = false;                // the multimedia stream is gone
    std::unique_ptr<VideoTrack> video;  // null without a video stream or video track
    std::vector<std::shared_ptr<SampleCore>> samples;  // the live samples

    // Once the multimedia stream goes: the decoders are freed, outstanding updates are
    // cancelled (nothing written or set after this), and their polls taken away.
    void Close();
};

// The video stream of a multimedia stream, over the DirectDraw object `directDraw` (any
// of its views): E_NOINTERFACE for anything else.
HRESULT MakeVideoStream(std::shared_ptr<Movie> movie, IUnknown* directDraw, IMediaStream** stream);

// ---- sound ------------------------------------------------------------------------------------------
// The default sound renderer: one voice of the platform's mixer that decodes the sound
// track while it is mixed, converted to the mixer's format, following the clock's run,
// stop and seeks. It holds the sound device from its making to its end.
class SoundRenderer;
void DestroySoundRenderer(SoundRenderer* renderer);
struct SoundRendererDeleter {
    void operator()(SoundRenderer* renderer) const { DestroySoundRenderer(renderer); }
};
using SoundRendererPtr = std::unique_ptr<SoundRenderer, SoundRendererDeleter>;
// DS_OK, or the device's failure (DSERR_NODRIVER: no sound device).
HRESULT MakeSoundRenderer(std::shared_ptr<Timeline> timeline, SoundRendererPtr* out);
// Starts decoding the file's sound track into the mixer; false when it has none that
// decodes (the renderer then stays silent). What the caller already made of the file is
// taken over (and freed on failure): `container`, the file opened and read no further,
// when nothing else will read it (else the file is opened again, as `format`), and
// `decoder`, opened for its sound track; either may be null.
bool AttachSoundTrack(SoundRenderer* renderer, const std::string& linuxPath, const AVInputFormat* format,
                      AVFormatContext* container, AVCodecContext* decoder);

// ---- the graph ----------------------------------------------------------------------------------------
// The clock of one of our graphs, or null for anything else.
std::shared_ptr<Timeline> TimelineOfGraph(IGraphBuilder* graph);
HRESULT MakeGraph(IGraphBuilder** graph);

}  // namespace dshow
