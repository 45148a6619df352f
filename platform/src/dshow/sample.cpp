// dshow/sample.cpp: the video stream and its samples. A sample renders the open file's
// frames into one DirectDraw surface. An update whose frame is not due yet stays
// outstanding: the event it was given carries a poll (kernel/eventpoll.h) that writes the
// frame and sets the event at the first test of the event once the frame is due, so the
// same calls show the same frames on every run and no thread waits on the clock.
// Main thread, like DirectDraw; the Movie's lock guards the decoder and the cores.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "com/unknown.h"
#include "ddraw/internal.h"
#include "dshow/internal.h"
#include "kernel/diag.h"
#include "kernel/eventpoll.h"

namespace dshow {
namespace {

// The format of a sample's own surface: the screen's, X8R8G8B8 for a palette screen.
DDPIXELFORMAT OwnSurfaceFormat(IDirectDraw7* directDraw) {
    DDSURFACEDESC2 mode = {};
    mode.dwSize = sizeof mode;
    if (directDraw->GetDisplayMode(&mode) == DD_OK && PixelFormatOfSurface(mode.ddpfPixelFormat) >= 0)
        return mode.ddpfPixelFormat;
    DDPIXELFORMAT x8r8g8b8 = {};
    x8r8g8b8.dwSize = sizeof x8r8g8b8;
    x8r8g8b8.dwFlags = DDPF_RGB;
    x8r8g8b8.dwRGBBitCount = 32;
    x8r8g8b8.dwRBitMask = 0xFF0000;
    x8r8g8b8.dwGBitMask = 0xFF00;
    x8r8g8b8.dwBBitMask = 0xFF;
    return x8r8g8b8;
}

// The poll of an outstanding update's event.
void CompletePending(Movie& movie, SampleCore& core) {
    std::lock_guard<std::mutex> hold(movie.lock);
    if (!core.pending)
        return;
    HRESULT hr = MS_E_NOSTREAM;
    if (!movie.closed && movie.video) {
        hr = movie.video->Deliver(core.surface, movie.timeline->Now());
        // Not due, or the library holds the surface: the next test tries again.
        if (hr == MS_S_PENDING || hr == DDERR_SURFACEBUSY)
            return;
    }
    core.pending = false;
    kernel::SetEventPoll(core.event, nullptr);
    // Done, or it can never be: the caller learns which from its next Update.
    SetEvent(core.event);
}

class Sample final : public IDirectDrawStreamSample {
public:
    Sample(std::shared_ptr<Movie> movie, ddraw::Surface* surface, int width, int height)
        : movie_(std::move(movie)), core_(std::make_shared<SampleCore>()), width_(width), height_(height) {
        core_->surface = surface;
        movie_->samples.push_back(core_);  // under the Movie's lock (CreateSample)
        CountObject(1);
    }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerAs<IDirectDrawStreamSample>(this, iid, object, {IID_IDirectDrawStreamSample});
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT GetSurface(IDirectDrawSurface** surface, RECT* rect) override {
        if (kernel::ConsumeFault("GetSurface"))
            return E_FAIL;
        if (surface != nullptr)
            core_->surface->QueryInterface(IID_IDirectDrawSurface, (void**)surface);
        if (rect != nullptr)
            *rect = RECT{0, 0, width_, height_};
        return S_OK;
    }

    HRESULT Update(DWORD flags, HANDLE event, PAPCFUNC apc, DWORD_PTR) override {
        if (kernel::ConsumeFault("SampleUpdate"))
            return E_FAIL;
        if (flags != 0 || apc != nullptr)
            return E_INVALIDARG;
        for (;;) {
            {
                std::lock_guard<std::mutex> hold(movie_->lock);
                if (movie_->closed || !movie_->video)
                    return MS_E_NOSTREAM;
                if (core_->pending)
                    return MS_E_BUSY;
                if (!movie_->timeline->Running())
                    return MS_E_NOTRUNNING;
                HRESULT hr = movie_->video->Deliver(core_->surface, movie_->timeline->Now());
                if (hr != MS_S_PENDING)
                    return hr;
                if (event != nullptr) {
                    core_->pending = true;
                    core_->event = event;
                    auto poll = std::make_shared<const kernel::EventPoll>(
                        [movie = movie_, core = core_] { CompletePending(*movie, *core); });
                    kernel::SetEventPoll(event, std::move(poll));
                    return MS_S_PENDING;
                }
            }
            // No event: the caller waits here, on the platform clock.
            Sleep(1);
        }
    }

private:
    ~Sample() {
        HANDLE cancelled = nullptr;
        {
            std::lock_guard<std::mutex> hold(movie_->lock);
            auto& samples = movie_->samples;
            samples.erase(std::remove(samples.begin(), samples.end(), core_), samples.end());
            if (core_->pending) {
                core_->pending = false;
                cancelled = core_->event;
            }
        }
        if (cancelled != nullptr)
            kernel::SetEventPoll(cancelled, nullptr);
        core_->surface->Release();
        CountObject(-1);
    }

    std::atomic<ULONG> refs_{1};
    std::shared_ptr<Movie> movie_;
    std::shared_ptr<SampleCore> core_;
    int width_, height_;
};

class VideoStream final : public IAMMediaStream, public IDirectDrawMediaStream {
public:
    VideoStream(std::shared_ptr<Movie> movie, IDirectDraw7* directDraw)
        : movie_(std::move(movie)), directDraw_(directDraw) {
        CountObject(1);
    }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerFrom(
            this, iid, object,
            {{IID_IMediaStream, static_cast<IMediaStream*>(static_cast<IAMMediaStream*>(this))},
             {IID_IAMMediaStream, static_cast<IAMMediaStream*>(this), "QueryInterface:IAMMediaStream"},
             {IID_IDirectDrawMediaStream, static_cast<IDirectDrawMediaStream*>(this),
              "QueryInterface:IDirectDrawMediaStream"}});
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT GetFormat(DDSURFACEDESC* current, IDirectDrawPalette** palette, DDSURFACEDESC* desired,
                      DWORD* flags) override {
        if (kernel::ConsumeFault("GetFormat"))
            return E_FAIL;
        for (DDSURFACEDESC* desc : {current, desired})
            if (desc != nullptr && desc->dwSize != sizeof(DDSURFACEDESC))
                return E_INVALIDARG;
        int width = 0, height = 0;
        {
            std::lock_guard<std::mutex> hold(movie_->lock);
            if (!movie_->opened || movie_->closed)
                return MS_E_NOSTREAM;
            if (movie_->video) {
                width = movie_->video->width();
                height = movie_->video->height();
            }
        }
        DDSURFACEDESC format;
        std::memset(&format, 0, sizeof format);
        format.dwSize = sizeof format;
        format.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        format.dwWidth = static_cast<DWORD>(width);
        format.dwHeight = static_cast<DWORD>(height);
        format.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        format.ddpfPixelFormat = OwnSurfaceFormat(directDraw_);
        if (current != nullptr)
            *current = format;
        if (desired != nullptr)
            *desired = format;
        if (palette != nullptr)
            *palette = nullptr;
        if (flags != nullptr)
            *flags = 0;
        return S_OK;
    }

    HRESULT CreateSample(IDirectDrawSurface* surface, const RECT* rect, DWORD, IDirectDrawStreamSample** sample) override {
        if (sample == nullptr)
            return E_POINTER;
        *sample = nullptr;
        if (kernel::ConsumeFault("CreateSample"))
            return E_FAIL;
        if (rect != nullptr)
            return E_INVALIDARG;
        std::lock_guard<std::mutex> hold(movie_->lock);
        if (!movie_->opened || movie_->closed || !movie_->video)
            return MS_E_NOSTREAM;
        int width = movie_->video->width(), height = movie_->video->height();
        ddraw::Surface* target = nullptr;
        if (surface != nullptr) {
            target = ddraw::SurfaceOfView(surface);
            if (target == nullptr || PixelFormatOfSurface(target->format()) < 0 || target->width() < width ||
                target->height() < height)
                return MS_E_INCOMPATIBLE;
            target->AddRef();
        } else {
            DDSURFACEDESC2 desc = {};
            desc.dwSize = sizeof desc;
            desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
            desc.dwWidth = static_cast<DWORD>(width);
            desc.dwHeight = static_cast<DWORD>(height);
            desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
            desc.ddpfPixelFormat = OwnSurfaceFormat(directDraw_);
            IDirectDrawSurface7* made = nullptr;
            HRESULT hr = directDraw_->CreateSurface(&desc, &made, nullptr);
            if (FAILED(hr))
                return hr;
            target = ddraw::AsSurface(made);
        }
        *sample = new Sample(movie_, target, width, height);
        return S_OK;
    }

private:
    ~VideoStream() {
        directDraw_->Release();
        CountObject(-1);
    }

    std::atomic<ULONG> refs_{1};
    std::shared_ptr<Movie> movie_;
    IDirectDraw7* directDraw_;
};

}  // namespace

void Movie::Close() {
    std::vector<HANDLE> cancelled;
    {
        std::lock_guard<std::mutex> hold(lock);
        closed = true;
        video.reset();
        for (const std::shared_ptr<SampleCore>& core : samples)
            if (core->pending) {
                core->pending = false;
                cancelled.push_back(core->event);
            }
    }
    for (HANDLE event : cancelled)
        kernel::SetEventPoll(event, nullptr);
}

HRESULT MakeVideoStream(std::shared_ptr<Movie> movie, IUnknown* directDraw, IMediaStream** stream) {
    IDirectDraw7* object = nullptr;
    if (directDraw == nullptr || directDraw->QueryInterface(IID_IDirectDraw7, (void**)&object) != S_OK)
        return E_NOINTERFACE;
    auto* made = new VideoStream(std::move(movie), object);
    *stream = static_cast<IMediaStream*>(static_cast<IAMMediaStream*>(made));
    return S_OK;
}

}  // namespace dshow
