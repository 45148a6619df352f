// dshow.h: DirectShow multimedia streams as far as the library's movies use them,
// answered by platform/src/dshow over FFmpeg (libavformat, libavcodec, libswscale,
// libswresample). Main thread, like DirectDraw, whose surfaces the frames go to.
//
// Objects come from CoCreateInstance: CLSID_FilterGraph gives IGraphBuilder, which also
// answers IMediaControl, IMediaSeeking and IBasicAudio; CLSID_AMMultiMediaStream gives
// IAMMultiMediaStream. Every object is reference-counted; the last Release of them all
// frees everything, decoders included.
//
// The way through: Initialize(STREAMTYPE_READ, AMMSF_NOGRAPHTHREAD, graph); AddMediaStream of
// a DirectDraw object for MSPID_PrimaryVideo, and of NULL for MSPID_PrimaryAudio with
// AMMSF_ADDDEFAULTRENDERER (the platform's mixer plays the sound track); OpenFile; then the
// video stream's format, a sample over a surface, and Update for each frame.
//
// The stream clock runs in 100 ns units from SetState(STREAMSTATE_RUN) on the platform
// clock (real or fast), without the spans that IMediaControl::Pause held it; Seek sets it.
#pragma once

#include "platform/ddraw.h"
#include "platform/win32.h"

// ---- results -----------------------------------------------------------------------------------
#define MS_S_PENDING ((HRESULT)0x00040001)      // Update: the frame is not due; the event follows
#define MS_S_ENDOFSTREAM ((HRESULT)0x00040003)  // Update: the last frame has been delivered
#define MS_E_PURPOSEID ((HRESULT)0x80040402)    // no stream of that purpose can be made
#define MS_E_NOSTREAM ((HRESULT)0x80040403)     // no stream of that purpose, or no file
#define MS_E_INCOMPATIBLE ((HRESULT)0x80040405) // a sample surface the stream cannot fill
#define MS_E_BUSY ((HRESULT)0x80040406)         // an update is still outstanding
#define MS_E_NOTINIT ((HRESULT)0x80040407)      // Initialize has not been called
#define MS_E_SOURCEALREADYDEFINED ((HRESULT)0x80040408)  // a file is open already
#define MS_E_NOTRUNNING ((HRESULT)0x8004040A)   // the stream is stopped
#define VFW_E_NOT_FOUND ((HRESULT)0x80040216)   // the file does not exist
#define VFW_E_UNSUPPORTED_STREAM ((HRESULT)0x80040265)  // nothing in the file can be played

// ---- types and flags -----------------------------------------------------------------------------
typedef LONGLONG STREAM_TIME;  // 100 ns units
typedef GUID MSPID;
typedef const MSPID& REFMSPID;

enum STREAM_TYPE { STREAMTYPE_READ = 0, STREAMTYPE_WRITE = 1, STREAMTYPE_TRANSFORM = 2 };
enum STREAM_STATE { STREAMSTATE_STOP = 0, STREAMSTATE_RUN = 1 };

#define AMMSF_NOGRAPHTHREAD 0x00000001u       // Initialize: the caller drives the graph
#define AMMSF_ADDDEFAULTRENDERER 0x00000001u  // AddMediaStream: the default renderer plays it
#define DDSFF_PROGRESSIVERENDER 0x00000001u   // CreateSample: frames in order, top row first

typedef void(CALLBACK* PAPCFUNC)(ULONG_PTR data);

extern const CLSID CLSID_FilterGraph;
extern const CLSID CLSID_AMMultiMediaStream;
extern const IID IID_IGraphBuilder;
extern const IID IID_IMediaControl;
extern const IID IID_IMediaSeeking;
extern const IID IID_IBasicAudio;
extern const IID IID_IAMMultiMediaStream;
extern const IID IID_IMediaStream;
extern const IID IID_IAMMediaStream;
extern const IID IID_IDirectDrawMediaStream;
extern const IID IID_IDirectDrawStreamSample;
extern const MSPID MSPID_PrimaryVideo;
extern const MSPID MSPID_PrimaryAudio;

// ---- the filter graph ----------------------------------------------------------------------------
// The graph that a multimedia stream runs in; the library only asks it for its other views.
struct IGraphBuilder : IUnknown {
protected:
    ~IGraphBuilder() = default;
};

struct IMediaControl : IUnknown {
    // Holds the stream clock, the frames and the sound; the multimedia stream's state
    // reads STREAMSTATE_STOP until its next SetState(STREAMSTATE_RUN).
    virtual HRESULT Pause() = 0;

protected:
    ~IMediaControl() = default;
};

// Required of the graph by the library and not used further.
struct IMediaSeeking : IUnknown {
protected:
    ~IMediaSeeking() = default;
};
struct IBasicAudio : IUnknown {
protected:
    ~IBasicAudio() = default;
};

// ---- media streams and samples ----------------------------------------------------------------------
struct IDirectDrawStreamSample;

struct IMediaStream : IUnknown {
protected:
    ~IMediaStream() = default;
};

struct IAMMediaStream : IMediaStream {
protected:
    ~IAMMediaStream() = default;
};

// The video stream. A sample's surface is X8R8G8B8, R5G6B5, X1R5G5B5, 24-bit RGB (red in
// 0xFF0000) or an overlay's UYVY, YUY2, 5:5:5 or 5:6:5, at least the frame's size.
struct IDirectDrawMediaStream : IMediaStream {
    // `desired` (and `current`) get DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT:
    // the frame's size, both 0 for a file without video, in the screen's pixel format.
    // The palette is always NULL, the flags 0.
    virtual HRESULT GetFormat(DDSURFACEDESC* current, IDirectDrawPalette** palette, DDSURFACEDESC* desired,
                              DWORD* flags) = 0;
    // A sample that renders into the surface, or with a NULL surface into a system-memory
    // surface of its own in the screen's format (X8R8G8B8 on an 8-bit screen). Only a NULL
    // rectangle: the frame goes to the surface's top-left corner. Another surface fails
    // (MS_E_INCOMPATIBLE).
    virtual HRESULT CreateSample(IDirectDrawSurface* surface, const RECT* rect, DWORD flags,
                                 IDirectDrawStreamSample** sample) = 0;

protected:
    ~IDirectDrawMediaStream() = default;
};

struct IDirectDrawStreamSample : IUnknown {
    // The sample's surface as a new reference, and the frame's rectangle in it.
    virtual HRESULT GetSurface(IDirectDrawSurface** surface, RECT* rect) = 0;
    // Flags 0, no completion routine. When a frame's time has come, writes the latest such
    // frame (earlier ones are dropped) under the surface's lock and returns S_OK. Else, with
    // an event, returns MS_S_PENDING and sets the event once the next frame is due and
    // written (at the latest when the event is next tested); without one, waits for it.
    // After the last frame: MS_S_ENDOFSTREAM. MS_E_NOTRUNNING while the stream is stopped,
    // MS_E_BUSY while an update is outstanding. Releasing the sample or the multimedia
    // stream cancels an outstanding update: nothing is written or set after that.
    virtual HRESULT Update(DWORD flags, HANDLE event, PAPCFUNC apc, DWORD_PTR apcData) = 0;

protected:
    ~IDirectDrawStreamSample() = default;
};

// ---- the multimedia stream --------------------------------------------------------------------------
struct IAMMultiMediaStream : IUnknown {
    // STREAMTYPE_READ only; a NULL graph makes one of its own.
    virtual HRESULT Initialize(STREAM_TYPE type, DWORD flags, IGraphBuilder* graph) = 0;
    // MSPID_PrimaryVideo with a DirectDraw object (any of its views); MSPID_PrimaryAudio with
    // NULL and AMMSF_ADDDEFAULTRENDERER, which fails (DSERR_NODRIVER) without a sound device.
    // Before OpenFile; `stream` may be NULL.
    virtual HRESULT AddMediaStream(IUnknown* object, const MSPID* purpose, DWORD flags, IMediaStream** stream) = 0;
    virtual HRESULT GetMediaStream(REFMSPID purpose, IMediaStream** stream) = 0;
    // The name is resolved as CreateFileA resolves names (drive form, both separators,
    // a case-insensitive look-up). Succeeds when the file has a video or a sound track
    // that can be decoded; the first video frame is decoded at once. Fails for a missing
    // file (VFW_E_NOT_FOUND) and for still images and anything else that cannot be
    // played (VFW_E_UNSUPPORTED_STREAM). The stream is then stopped at time 0.
    virtual HRESULT OpenFile(LPCWSTR fileName, DWORD flags) = 0;
    virtual HRESULT GetState(STREAM_STATE* state) = 0;
    virtual HRESULT SetState(STREAM_STATE state) = 0;
    virtual HRESULT GetTime(STREAM_TIME* time) = 0;
    // The next frame delivered is the one shown at that time; the sound follows.
    virtual HRESULT Seek(STREAM_TIME time) = 0;

protected:
    ~IAMMultiMediaStream() = default;
};
