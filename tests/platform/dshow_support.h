// dshow_support.h: what the multimedia-stream tests share: movies written at test time,
// a DirectDraw object, and a player that makes the same set-up calls as the library's
// movie code, in the same order, with each step numbered as the library numbers them.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "MovieWriter.h"
#include "TempDir.h"
#include "platform/ddraw.h"
#include "platform/dshow.h"
#include "platform/testing.h"

namespace movietest {

// clip.avi: 64 x 48, ten flat colours at 10 frames a second (MJPEG), and a one-second
// 440 Hz tone as 16-bit PCM at 22050 Hz, mono.
inline qztest::MovieSpec ClipSpec() {
    qztest::MovieSpec spec;
    spec.frames = qztest::MovieColours();
    return spec;
}

// The same picture as MPEG-1 video in an MPEG program stream, without sound. MPEG-1 has
// no 10 fps rate: 30 fps with every colour held for three frames shows the same.
inline qztest::MovieSpec MpegSpec() {
    qztest::MovieSpec spec;
    spec.container = "mpeg";
    spec.videoCodec = "mpeg1video";
    spec.fps = 30;
    spec.repeat = 3;
    spec.frames = qztest::MovieColours();
    spec.audioCodec = "";
    return spec;
}

inline std::string Write(const qztest::TempDir& dir, const std::string& name, const qztest::MovieSpec& spec) {
    std::string error;
    EXPECT_TRUE(qztest::WriteMovie(dir.file(name), spec, &error)) << name << ": " << error;
    return dir.file(name);
}

// A UTF-16 name from CP932 bytes, as the library makes it.
inline std::vector<WCHAR> Wide(const std::string& cp932) {
    int n = MultiByteToWideChar(CP_ACP, 0, cp932.c_str(), -1, nullptr, 0);
    std::vector<WCHAR> wide(static_cast<size_t>(n > 0 ? n : 1), 0);
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, cp932.c_str(), -1, wide.data(), n);
    return wide;
}

// A DirectDraw object in window mode on the null desktop (32-bit), or full screen at a depth.
struct Screen {
    IDirectDraw7* dd = nullptr;
    explicit Screen(int bits = 0) {
        CoInitialize(nullptr);
        EXPECT_EQ(CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, (void**)&dd), S_OK);
        EXPECT_EQ(dd->Initialize(nullptr), DD_OK);
        EXPECT_EQ(dd->SetCooperativeLevel(nullptr, bits ? DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN : DDSCL_NORMAL), DD_OK);
        if (bits) {
            EXPECT_EQ(dd->SetDisplayMode(640, 480, bits, 0, 0), DD_OK);
        }
    }
    ~Screen() {
        if (dd)
            dd->Release();
        CoUninitialize();
    }
    // A surface made as the library makes movie surfaces: the older interface, the first
    // description.
    IDirectDrawSurface* Surface(int width, int height, const DDPIXELFORMAT& format,
                                DWORD caps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY) {
        IDirectDraw* older = nullptr;
        EXPECT_EQ(dd->QueryInterface(IID_IDirectDraw, (void**)&older), S_OK);
        DDSURFACEDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = width;
        desc.dwHeight = height;
        desc.ddsCaps.dwCaps = caps;
        desc.ddpfPixelFormat = format;
        IDirectDrawSurface* surface = nullptr;
        HRESULT hr = older->CreateSurface(&desc, &surface, nullptr);
        older->Release();
        EXPECT_EQ(hr, DD_OK);
        return surface;
    }
};

inline DDPIXELFORMAT Rgb(int bits, DWORD r, DWORD g, DWORD b) {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_RGB;
    f.dwRGBBitCount = bits;
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    return f;
}
inline DDPIXELFORMAT X8R8G8B8() { return Rgb(32, 0xFF0000, 0xFF00, 0xFF); }
inline DDPIXELFORMAT R8G8B8() { return Rgb(24, 0xFF0000, 0xFF00, 0xFF); }
inline DDPIXELFORMAT R5G6B5() { return Rgb(16, 0xF800, 0x7E0, 0x1F); }
inline DDPIXELFORMAT X1R5G5B5() { return Rgb(16, 0x7C00, 0x3E0, 0x1F); }
inline DDPIXELFORMAT FourCC(char a, char b, char c, char d) {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_FOURCC;
    f.dwFourCC = MAKEFOURCC(a, b, c, d);
    return f;
}

// A channel widened to 8 bits.
inline uint32_t Widen(uint32_t value, uint32_t mask) {
    if (mask == 0)
        return 0;
    int shift = 0, width = 0;
    while (!(mask >> shift & 1))
        ++shift;
    while (shift + width < 32 && (mask >> (shift + width) & 1))
        ++width;
    uint32_t c = (value & mask) >> shift;
    return width >= 8 ? c >> (width - 8) : (c << (8 - width)) | (c >> (2 * width - 8 > 0 ? 2 * width - 8 : 0));
}

// The colour (0xRRGGBB) of an RGB surface's pixel.
inline uint32_t PixelAt(IDirectDrawSurface4* surface, int x, int y) {
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    EXPECT_EQ(surface->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr), DD_OK);
    const DDPIXELFORMAT& f = d.ddpfPixelFormat;
    int bytes = static_cast<int>(f.dwRGBBitCount / 8);
    uint32_t v = 0;
    std::memcpy(&v, static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch + x * bytes, bytes);
    surface->Unlock(nullptr);
    return Widen(v, f.dwRBitMask) << 16 | Widen(v, f.dwGBitMask) << 8 | Widen(v, f.dwBBitMask);
}

// Which of the movie colours a frame surface shows (its centre), -1 when none is near.
inline int ColourShown(IDirectDrawSurface4* surface, int width = 64, int height = 48, int tolerance = 40) {
    int distance = 0;
    int index = qztest::NearestMovieColour(PixelAt(surface, width / 2, height / 2), &distance);
    return distance <= tolerance ? index : -1;
}

// The set-up steps of the library's movie open, numbered as it numbers them, and the
// frame update it makes before each draw.
struct Player {
    IGraphBuilder* graph = nullptr;
    IAMMultiMediaStream* stream = nullptr;
    IMediaControl* control = nullptr;
    IDirectDraw4* dd4 = nullptr;
    IMediaSeeking* seeking = nullptr;
    IBasicAudio* audio = nullptr;
    IMediaStream* video = nullptr;
    IAMMediaStream* amVideo = nullptr;
    IDirectDrawMediaStream* ddVideo = nullptr;
    IDirectDrawSurface* made = nullptr;
    IDirectDrawStreamSample* sample = nullptr;
    IDirectDrawSurface* sampleSurface = nullptr;
    IDirectDrawSurface4* frame = nullptr;
    RECT rect = {};
    HANDLE event = nullptr;
    bool pending = false;

    // The step that failed (2-10), or 0. `target`: the sample's surface format (null: the
    // sample's own surface); a failed CreateSample is retried without a surface.
    int Open(IDirectDraw7* dd, const std::string& cp932Name, const DDPIXELFORMAT* target = nullptr,
             bool sound = true, DWORD targetCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY) {
        if (CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, (void**)&graph) != S_OK)
            return 2;
        if (CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER, IID_IAMMultiMediaStream,
                             (void**)&stream) != S_OK)
            return 2;
        if (stream->Initialize(STREAMTYPE_READ, AMMSF_NOGRAPHTHREAD, graph) != S_OK)
            return 2;
        if (graph->QueryInterface(IID_IMediaControl, (void**)&control) != S_OK)
            return 2;
        if (dd->QueryInterface(IID_IDirectDraw4, (void**)&dd4) != S_OK)
            return 2;
        if (stream->AddMediaStream(dd4, &MSPID_PrimaryVideo, 0, nullptr) != S_OK)
            return 3;
        if (sound && stream->AddMediaStream(nullptr, &MSPID_PrimaryAudio, AMMSF_ADDDEFAULTRENDERER, nullptr) != S_OK)
            return 3;
        if (stream->OpenFile(Wide(cp932Name).data(), 0) != S_OK)
            return 4;
        if (graph->QueryInterface(IID_IMediaSeeking, (void**)&seeking) != S_OK)
            return 5;
        if (graph->QueryInterface(IID_IBasicAudio, (void**)&audio) != S_OK)
            return 5;
        if (stream->GetMediaStream(MSPID_PrimaryVideo, &video) != S_OK)
            return 5;
        if (video->QueryInterface(IID_IAMMediaStream, (void**)&amVideo) != S_OK)
            return 5;
        if (video->QueryInterface(IID_IDirectDrawMediaStream, (void**)&ddVideo) != S_OK)
            return 5;
        DDSURFACEDESC desired;
        std::memset(&desired, 0, sizeof desired);
        desired.dwSize = sizeof desired;
        if (ddVideo->GetFormat(nullptr, nullptr, &desired, nullptr) != S_OK || desired.dwWidth == 0 ||
            desired.dwHeight == 0)
            return 6;
        if (target != nullptr) {
            IDirectDraw* older = nullptr;
            dd->QueryInterface(IID_IDirectDraw, (void**)&older);
            DDSURFACEDESC desc;
            std::memset(&desc, 0, sizeof desc);
            desc.dwSize = sizeof desc;
            desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
            desc.dwWidth = desired.dwWidth;
            desc.dwHeight = desired.dwHeight;
            desc.ddsCaps.dwCaps = targetCaps;
            desc.ddpfPixelFormat = *target;
            HRESULT hr = older->CreateSurface(&desc, &made, nullptr);
            older->Release();
            if (hr != DD_OK)
                return 6;
        }
        if (ddVideo->CreateSample(made, nullptr, DDSFF_PROGRESSIVERENDER, &sample) != S_OK) {
            if (made)
                made->Release();
            made = nullptr;
            if (ddVideo->CreateSample(nullptr, nullptr, DDSFF_PROGRESSIVERENDER, &sample) != S_OK)
                return 7;
        }
        if (sample->GetSurface(&sampleSurface, &rect) != S_OK)
            return 8;
        if (sampleSurface->QueryInterface(IID_IDirectDrawSurface4, (void**)&frame) != S_OK)
            return 9;
        event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (event == nullptr)
            return 10;
        return 0;
    }

    // The library's frame update: a signalled outstanding update is copied; then updates
    // are asked for, at most two copies in all. Returns the colours copied; `ended` is
    // set at the end of the stream (or on an error).
    std::vector<int> Draw(bool* ended) {
        std::vector<int> copied;
        if (pending) {
            if (WaitForSingleObject(event, 0) != WAIT_OBJECT_0)
                return copied;
            copied.push_back(ColourShown(frame));
            ResetEvent(event);
            pending = false;
        }
        while (copied.size() < 2) {
            HRESULT hr = sample->Update(0, event, nullptr, 0);
            if (hr == S_OK) {
                copied.push_back(ColourShown(frame));
                continue;
            }
            if (hr == MS_S_PENDING)
                pending = true;
            else
                *ended = true;
            break;
        }
        return copied;
    }

    // Draws every `stepMs` until the end: every colour copied, in order.
    std::vector<int> PlayThrough(int stepMs = 100, int maxSteps = 40) {
        std::vector<int> shown;
        bool ended = false;
        for (int i = 0; i < maxSteps && !ended; ++i) {
            for (int c : Draw(&ended))
                shown.push_back(c);
            Sleep(stepMs);
        }
        EXPECT_TRUE(ended);
        return shown;
    }

    void Release() {
        auto drop = [](auto*& p) {
            if (p)
                p->Release();
            p = nullptr;
        };
        drop(frame);
        drop(sampleSurface);
        drop(sample);
        drop(made);
        drop(ddVideo);
        drop(amVideo);
        drop(video);
        drop(audio);
        drop(seeking);
        drop(dd4);
        drop(control);
        drop(stream);
        drop(graph);
        if (event)
            CloseHandle(event);
        event = nullptr;
        pending = false;
    }
    ~Player() { Release(); }
};

}  // namespace movietest
