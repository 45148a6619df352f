// dshow/stream.cpp: the multimedia stream: initialisation on a graph, its video stream
// and default sound renderer, the opening of a file, and the stream's state, time and
// seeks. Main thread.
//
// OpenFile: the name is resolved as CreateFileA resolves it; FFmpeg opens the file; the
// first video frame is decoded at once. The file opens when its video or its sound track
// decodes. The video stream then owns the video track; the sound renderer opens the file
// again for the sound track (with the demuxer already chosen), so the two read at their own
// pace, or takes this open of a file without a picture.
#include <atomic>

#include "com/unknown.h"
#include "dshow/av.h"
#include "dshow/internal.h"
#include "dshow/objects.h"
#include "kernel/diag.h"
#include "platform/dmusic.h"  // WideCharToMultiByte

namespace dshow {
namespace {

class MultiMediaStream final : public IAMMultiMediaStream {
public:
    MultiMediaStream() { CountObject(1); }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerAs<IAMMultiMediaStream>(this, iid, object, {IID_IAMMultiMediaStream});
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT Initialize(STREAM_TYPE type, DWORD, IGraphBuilder* graph) override {
        if (kernel::ConsumeFault("MultiMediaStreamInitialize"))
            return E_FAIL;
        if (graph_ != nullptr)
            return E_FAIL;  // once only
        if (type != STREAMTYPE_READ)
            return E_INVALIDARG;
        if (graph == nullptr) {
            MakeGraph(&graph_);
        } else {
            if (!TimelineOfGraph(graph))
                return E_INVALIDARG;
            graph->AddRef();
            graph_ = graph;
        }
        timeline_ = TimelineOfGraph(graph_);
        movie_ = std::make_shared<Movie>(timeline_);
        return S_OK;
    }

    HRESULT AddMediaStream(IUnknown* object, const MSPID* purpose, DWORD flags, IMediaStream** stream) override {
        if (stream != nullptr)
            *stream = nullptr;
        if (purpose == nullptr)
            return E_POINTER;
        bool video = *purpose == MSPID_PrimaryVideo;
        bool audio = *purpose == MSPID_PrimaryAudio;
        if ((video && kernel::ConsumeFault("AddMediaStream:Video")) ||
            (audio && kernel::ConsumeFault("AddMediaStream:Audio")))
            return E_FAIL;
        if (graph_ == nullptr)
            return MS_E_NOTINIT;
        if (movie_->opened)
            return MS_E_SOURCEALREADYDEFINED;
        if (video) {
            if (video_ != nullptr)
                return MS_E_PURPOSEID;
            HRESULT hr = MakeVideoStream(movie_, object, &video_);
            if (FAILED(hr))
                return hr;
            if (stream != nullptr) {
                video_->AddRef();
                *stream = video_;
            }
            return S_OK;
        }
        // Sound: only the default renderer, which gives no stream of its own.
        if (!audio || object != nullptr || !(flags & AMMSF_ADDDEFAULTRENDERER) || sound_)
            return MS_E_PURPOSEID;
        return MakeSoundRenderer(timeline_, &sound_);
    }

    HRESULT GetMediaStream(REFMSPID purpose, IMediaStream** stream) override {
        if (stream == nullptr)
            return E_POINTER;
        *stream = nullptr;
        if (kernel::ConsumeFault("GetMediaStream"))
            return MS_E_NOSTREAM;
        if (purpose != MSPID_PrimaryVideo || video_ == nullptr)
            return MS_E_NOSTREAM;
        video_->AddRef();
        *stream = video_;
        return S_OK;
    }

    HRESULT OpenFile(LPCWSTR fileName, DWORD) override {
        if (kernel::ConsumeFault("OpenFile"))
            return E_FAIL;
        if (graph_ == nullptr)
            return MS_E_NOTINIT;
        if (movie_->opened)
            return MS_E_SOURCEALREADYDEFINED;
        std::string path;
        HRESULT hr = ResolveMovieName(fileName, &path);
        if (FAILED(hr))
            return Refuse(fileName, hr, "no such file");
        AVFormatContext* container = nullptr;
        hr = OpenContainer(path, &container);
        if (FAILED(hr))
            return Refuse(fileName, hr, "no movie");
        int videoIndex = FindVideoStream(container);
        int audioIndex = FindAudioStream(container);
        AVCodecContext* soundDecoder = OpenDecoder(container, audioIndex);
        const bool soundDecodes = soundDecoder != nullptr;
        const bool playsSound = sound_ && soundDecodes;
        if (!playsSound)
            g_av.avcodec_free_context(&soundDecoder);
        const AVInputFormat* format = container->iformat;
        // The sound renderer reads the file at its own pace: in a second open of it, or in
        // this one when there is no picture to read.
        AVFormatContext* soundContainer = nullptr;
        std::unique_ptr<VideoTrack> track;
        if (videoIndex >= 0)
            track = VideoTrack::Create(container, videoIndex, OpenDecoder(container, videoIndex));
        else if (playsSound)
            soundContainer = container;
        else
            CloseContainer(&container);
        if (!track && !soundDecodes)
            return Refuse(fileName, VFW_E_UNSUPPORTED_STREAM, "nothing in it decodes");
        if (playsSound)
            AttachSoundTrack(sound_.get(), path, format, soundContainer, soundDecoder);
        std::lock_guard<std::mutex> hold(movie_->lock);
        if (video_ != nullptr)
            movie_->video = std::move(track);
        movie_->opened = true;
        return S_OK;
    }

    HRESULT GetState(STREAM_STATE* state) override {
        if (state == nullptr)
            return E_POINTER;
        if (graph_ == nullptr)
            return MS_E_NOTINIT;
        *state = timeline_->Running() ? STREAMSTATE_RUN : STREAMSTATE_STOP;
        return S_OK;
    }

    HRESULT SetState(STREAM_STATE state) override {
        if (graph_ == nullptr)
            return MS_E_NOTINIT;
        if (state == STREAMSTATE_RUN)
            timeline_->Run();
        else if (state == STREAMSTATE_STOP)
            timeline_->Stop();
        else
            return E_INVALIDARG;
        return S_OK;
    }

    HRESULT GetTime(STREAM_TIME* time) override {
        if (time == nullptr)
            return E_POINTER;
        if (graph_ == nullptr)
            return MS_E_NOTINIT;
        *time = timeline_->Now();
        return S_OK;
    }

    HRESULT Seek(STREAM_TIME time) override {
        if (graph_ == nullptr)
            return MS_E_NOTINIT;
        if (time < 0)
            return E_INVALIDARG;
        std::lock_guard<std::mutex> hold(movie_->lock);
        if (!movie_->opened)
            return MS_E_NOSTREAM;
        // The clock first: the sound renderer follows its seeks at its next mix.
        timeline_->Seek(time);
        if (movie_->video)
            movie_->video->Seek(time);
        return S_OK;
    }

private:
    static HRESULT Refuse(LPCWSTR fileName, HRESULT result, const char* why) {
        char name[1024] = {};
        if (fileName != nullptr)
            WideCharToMultiByte(CP_UTF8, 0, fileName, -1, name, sizeof name - 1, nullptr, nullptr);
        kernel::Diag("dshow: OpenFile %s: %s", name, why);
        return result;
    }

    ~MultiMediaStream() {
        if (movie_)
            movie_->Close();
        sound_.reset();
        if (video_ != nullptr)
            video_->Release();
        if (graph_ != nullptr)
            graph_->Release();
        CountObject(-1);
    }

    std::atomic<ULONG> refs_{1};
    IGraphBuilder* graph_ = nullptr;  // set by Initialize
    std::shared_ptr<Timeline> timeline_;
    std::shared_ptr<Movie> movie_;
    IMediaStream* video_ = nullptr;
    SoundRendererPtr sound_;
};

}  // namespace

HRESULT CreateMultiMediaStream(REFIID iid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (kernel::ConsumeFault("CreateMultiMediaStream"))
        return E_FAIL;
    auto* stream = new MultiMediaStream();
    HRESULT hr = stream->QueryInterface(iid, object);
    stream->Release();
    return hr;
}

}  // namespace dshow
