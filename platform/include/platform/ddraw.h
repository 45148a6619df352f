// ddraw.h: the DirectDraw 7 services the library uses, answered by platform/src/ddraw.
// Every surface lives in memory; a write to the primary surface hands the frame to the
// backend. The records keep their fixed sizes (DDPIXELFORMAT 32 bytes, DDSURFACEDESC2
// 124, DDCAPS 380); the library fills dwSize with them.
//
// Objects come from CoCreateInstance(CLSID_DirectDraw7, ...) and Initialize(NULL). The
// object also answers IDirectDraw and IDirectDraw4; a surface answers IDirectDrawSurface7,
// IDirectDrawSurface4 and IDirectDrawSurface, views sharing one reference count.
// Calls are synchronous; wait flags are accepted and ignored. Main thread.
#pragma once

#include "platform/gdi.h"
#include "platform/win32.h"

// ---- results ---------------------------------------------------------------------------
#define DD_OK S_OK
#define DDENUMRET_CANCEL 0
#define DDENUMRET_OK 1
#define QZ_DDERR(code) ((HRESULT)(0x88760000u | (code)))
#define DDERR_ALREADYINITIALIZED QZ_DDERR(5)
#define DDERR_CANNOTATTACHSURFACE QZ_DDERR(10)
#define DDERR_CANNOTDETACHSURFACE QZ_DDERR(20)
#define DDERR_GENERIC E_FAIL
#define DDERR_INVALIDCAPS QZ_DDERR(100)
#define DDERR_INVALIDMODE QZ_DDERR(120)
#define DDERR_INVALIDOBJECT QZ_DDERR(130)
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_INVALIDPIXELFORMAT QZ_DDERR(145)
#define DDERR_INVALIDRECT QZ_DDERR(150)
#define DDERR_NOOVERLAYHW QZ_DDERR(180)
#define DDERR_NOCOLORKEY QZ_DDERR(215)
#define DDERR_NOTFOUND QZ_DDERR(255)
#define DDERR_OUTOFMEMORY E_OUTOFMEMORY
#define DDERR_OUTOFVIDEOMEMORY QZ_DDERR(380)
#define DDERR_SURFACEBUSY QZ_DDERR(430)
#define DDERR_SURFACELOST QZ_DDERR(450)
#define DDERR_UNSUPPORTED E_NOTIMPL
#define DDERR_VERTICALBLANKINPROGRESS QZ_DDERR(537)
#define DDERR_HWNDSUBCLASSED QZ_DDERR(570)
#define DDERR_HWNDALREADYSET QZ_DDERR(571)
#define DDERR_NOCLIPPERATTACHED QZ_DDERR(578)
#define DDERR_EXCLUSIVEMODEALREADYSET QZ_DDERR(581)
#define DDERR_NOTLOCKED QZ_DDERR(584)
#define DDERR_NOTAOVERLAYSURFACE QZ_DDERR(580)
#define DDERR_CANTCREATEDC QZ_DDERR(589)
#define DDERR_NOTINITIALIZED CO_E_NOTINITIALIZED

// ---- flags -------------------------------------------------------------------------------
#define DDSD_CAPS 0x00000001u
#define DDSD_HEIGHT 0x00000002u
#define DDSD_WIDTH 0x00000004u
#define DDSD_PITCH 0x00000008u
#define DDSD_BACKBUFFERCOUNT 0x00000020u
#define DDSD_LPSURFACE 0x00000800u
#define DDSD_PIXELFORMAT 0x00001000u
#define DDSD_CKSRCBLT 0x00010000u
#define DDSD_REFRESHRATE 0x00040000u
#define DDSD_TEXTURESTAGE 0x00100000u

#define DDSCAPS_BACKBUFFER 0x00000004u
#define DDSCAPS_COMPLEX 0x00000008u
#define DDSCAPS_FLIP 0x00000010u
#define DDSCAPS_FRONTBUFFER 0x00000020u
#define DDSCAPS_OFFSCREENPLAIN 0x00000040u
#define DDSCAPS_OVERLAY 0x00000080u
#define DDSCAPS_PALETTE 0x00000100u
#define DDSCAPS_PRIMARYSURFACE 0x00000200u
#define DDSCAPS_SYSTEMMEMORY 0x00000800u
#define DDSCAPS_TEXTURE 0x00001000u
#define DDSCAPS_3DDEVICE 0x00002000u
#define DDSCAPS_VIDEOMEMORY 0x00004000u
#define DDSCAPS_VISIBLE 0x00008000u
#define DDSCAPS_LOCALVIDMEM 0x10000000u
#define DDSCAPS_ZBUFFER 0x00020000u
#define DDSCAPS2_TEXTUREMANAGE 0x00000010u

#define DDLOCK_WAIT 0x00000001u
#define DDLOCK_READONLY 0x00000010u
#define DDLOCK_WRITEONLY 0x00000020u

#define DDBLT_ASYNC 0x00000200u
#define DDBLT_COLORFILL 0x00000400u
#define DDBLT_KEYSRC 0x00008000u
#define DDBLT_WAIT 0x01000000u
#define DDBLT_DEPTHFILL 0x02000000u

#define DDBLTFAST_NOCOLORKEY 0x00000000u
#define DDBLTFAST_SRCCOLORKEY 0x00000001u
#define DDBLTFAST_WAIT 0x00000010u

#define DDFLIP_WAIT 0x00000001u
#define DDFLIP_NOVSYNC 0x00000008u

#define DDCKEY_SRCBLT 0x00000008u

#define DDSCL_FULLSCREEN 0x00000001u
#define DDSCL_NORMAL 0x00000008u
#define DDSCL_EXCLUSIVE 0x00000010u
#define DDSCL_MULTITHREADED 0x00000400u

#define DDPCAPS_8BIT 0x00000004u
#define DDPCAPS_ALLOW256 0x00000040u

#define DDWAITVB_BLOCKBEGIN 0x00000001u

// DDCAPS.dwCaps: overlay rectangles must follow the alignment values of DDCAPS.
#define DDCAPS_ALIGNBOUNDARYDEST 0x00000002u
#define DDCAPS_ALIGNSIZEDEST 0x00000004u
#define DDCAPS_ALIGNBOUNDARYSRC 0x00000008u
#define DDCAPS_ALIGNSIZESRC 0x00000010u
#define DDCAPS_OVERLAY 0x00000800u

#define DDOVER_HIDE 0x00000200u
#define DDOVER_SHOW 0x00004000u

// ---- records ---------------------------------------------------------------------------------
#define DDPF_ALPHAPIXELS 0x00000001u
#define DDPF_FOURCC 0x00000004u
#define DDPF_PALETTEINDEXED8 0x00000020u
#define DDPF_RGB 0x00000040u
#define DDPF_ZBUFFER 0x00000400u

#define MAKEFOURCC(a, b, c, d) ((DWORD)(BYTE)(a) | ((DWORD)(BYTE)(b) << 8) | ((DWORD)(BYTE)(c) << 16) | ((DWORD)(BYTE)(d) << 24))

typedef struct _DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    union {
        DWORD dwRGBBitCount;
        DWORD dwYUVBitCount;
        DWORD dwZBufferBitDepth;
    };
    union {
        DWORD dwRBitMask;
        DWORD dwYBitMask;
        DWORD dwStencilBitDepth;
    };
    union {
        DWORD dwGBitMask;
        DWORD dwUBitMask;
        DWORD dwZBitMask;
    };
    union {
        DWORD dwBBitMask;
        DWORD dwVBitMask;
        DWORD dwStencilBitMask;
    };
    union {
        DWORD dwRGBAlphaBitMask;
        DWORD dwYUVAlphaBitMask;
        DWORD dwRGBZBitMask;
    };
} DDPIXELFORMAT, *LPDDPIXELFORMAT;
static_assert(sizeof(DDPIXELFORMAT) == 32, "DDPIXELFORMAT is 32 bytes");

typedef struct _DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
} DDCOLORKEY, *LPDDCOLORKEY;

typedef struct _DDSCAPS2 {
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCaps3;
    DWORD dwCaps4;
} DDSCAPS2, *LPDDSCAPS2;

// 124 bytes: the surface pointer takes the place of a reserved word and the record is
// packed to 4 bytes, so the size is the same as the library has always passed.
#pragma pack(push, 4)
typedef struct _DDSURFACEDESC2 {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    LONG lPitch;
    DWORD dwBackBufferCount;
    DWORD dwRefreshRate;
    DWORD dwAlphaBitDepth;
    LPVOID lpSurface;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS2 ddsCaps;
    DWORD dwTextureStage;
} DDSURFACEDESC2, *LPDDSURFACEDESC2;
#pragma pack(pop)
static_assert(sizeof(DDSURFACEDESC2) == 124, "DDSURFACEDESC2 is 124 bytes");

// The first surface description, 108 bytes, laid out like DDSURFACEDESC2 up to the pixel
// format, with one caps word. The first surface interface and the older object interface
// take it (the movie code uses them).
typedef struct _DDSCAPS {
    DWORD dwCaps;
} DDSCAPS, *LPDDSCAPS;

#pragma pack(push, 4)
typedef struct _DDSURFACEDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    LONG lPitch;
    DWORD dwBackBufferCount;
    DWORD dwRefreshRate;
    DWORD dwAlphaBitDepth;
    LPVOID lpSurface;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS ddsCaps;
} DDSURFACEDESC, *LPDDSURFACEDESC;
#pragma pack(pop)
static_assert(sizeof(DDSURFACEDESC) == 108, "DDSURFACEDESC is 108 bytes");

// Device capabilities, 380 bytes. Only the named words are answered; the rest read 0.
typedef struct _DDCAPS {
    DWORD dwSize;
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCKeyCaps;
    DWORD dwFXCaps;
    DWORD dwReservedCaps[10];
    DWORD dwVidMemTotal;
    DWORD dwVidMemFree;
    DWORD dwMaxVisibleOverlays;
    DWORD dwCurrVisibleOverlays;
    DWORD dwNumFourCCCodes;
    DWORD dwAlignBoundarySrc;
    DWORD dwAlignSizeSrc;
    DWORD dwAlignBoundaryDest;
    DWORD dwAlignSizeDest;
    DWORD dwAlignStrideAlign;
    DWORD dwRops[8];
    DWORD dwOldCaps;
    DWORD dwMinOverlayStretch;  // 1000 = 1.0
    DWORD dwMaxOverlayStretch;
    DWORD dwReservedTail[55];
    DDSCAPS2 ddsCaps;
} DDCAPS, *LPDDCAPS;
static_assert(sizeof(DDCAPS) == 380, "DDCAPS is 380 bytes");

typedef struct _DDBLTFX {
    DWORD dwSize;
    DWORD dwDDFX;
    DWORD dwFillColor;  // DDBLT_COLORFILL: the raw pixel value
    DWORD dwFillDepth;  // DDBLT_DEPTHFILL
    DDCOLORKEY ddckSrcColorkey;
} DDBLTFX, *LPDDBLTFX;

#define MAX_DDDEVICEID_STRING 512
typedef struct tagDDDEVICEIDENTIFIER2 {
    char szDriver[MAX_DDDEVICEID_STRING];
    char szDescription[MAX_DDDEVICEID_STRING];
    LARGE_INTEGER liDriverVersion;
    DWORD dwVendorId;
    DWORD dwDeviceId;
    DWORD dwSubSysId;
    DWORD dwRevision;
    GUID guidDeviceIdentifier;
    DWORD dwWHQLLevel;
} DDDEVICEIDENTIFIER2, *LPDDDEVICEIDENTIFIER2;

// UpdateOverlay's effects; only NULL is passed here.
typedef struct _DDOVERLAYFX DDOVERLAYFX, *LPDDOVERLAYFX;

// ---- interfaces --------------------------------------------------------------------------------
struct IDirectDrawSurface7;
struct IDirectDrawSurface4;
struct IDirectDrawSurface;
struct IDirectDrawClipper;
struct IDirectDrawPalette;
typedef IDirectDrawSurface7* LPDIRECTDRAWSURFACE7;
typedef IDirectDrawClipper* LPDIRECTDRAWCLIPPER;
typedef IDirectDrawPalette* LPDIRECTDRAWPALETTE;
typedef HRESULT(WINAPI* LPDDENUMSURFACESCALLBACK7)(IDirectDrawSurface7* surface, DDSURFACEDESC2* desc,
                                                    LPVOID context);

extern const CLSID CLSID_DirectDraw7;
extern const IID IID_IDirectDraw7;
extern const IID IID_IDirectDraw;
extern const IID IID_IDirectDraw4;
extern const IID IID_IDirectDrawSurface;
extern const IID IID_IDirectDrawSurface4;
extern const IID IID_IDirectDrawSurface7;

struct IDirectDraw7 : IUnknown {
    virtual HRESULT Initialize(GUID* driver) = 0;  // NULL: the primary display
    virtual HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer) = 0;
    virtual HRESULT CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** palette,
                                  IUnknown* outer) = 0;
    virtual HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, IUnknown* outer) = 0;
    virtual HRESULT GetCaps(DDCAPS* driver, DDCAPS* emulation) = 0;
    virtual HRESULT GetDisplayMode(DDSURFACEDESC2* desc) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD refreshRate,
                                   DWORD flags) = 0;
    virtual HRESULT RestoreDisplayMode() = 0;
    virtual HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) = 0;
    virtual HRESULT GetVerticalBlankStatus(BOOL* inBlank) = 0;
    virtual HRESULT GetScanLine(DWORD* line) = 0;
    virtual HRESULT GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) = 0;
    virtual HRESULT GetDeviceIdentifier(DDDEVICEIDENTIFIER2* identifier, DWORD flags) = 0;

protected:
    ~IDirectDraw7() = default;
};
typedef IDirectDraw7* LPDIRECTDRAW7;

// The older interface of the same object: capabilities, the overlay probe, and the movie
// surfaces, made from the first surface description and answered as first surfaces.
struct IDirectDraw : IUnknown {
    virtual HRESULT GetCaps(DDCAPS* driver, DDCAPS* emulation) = 0;
    virtual HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, IUnknown* outer) = 0;
    virtual HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface, IUnknown* outer) = 0;

protected:
    ~IDirectDraw() = default;
};
typedef IDirectDraw* LPDIRECTDRAW;

// The version-4 view of the same object: the multimedia streams (dshow.h) take the
// object through it and ask it for the other views.
struct IDirectDraw4 : IUnknown {
protected:
    ~IDirectDraw4() = default;
};
typedef IDirectDraw4* LPDIRECTDRAW4;

struct IDirectDrawSurface7 : IUnknown {
    virtual HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) = 0;
    virtual HRESULT Unlock(RECT* rect) = 0;
    virtual HRESULT Blt(RECT* dstRect, IDirectDrawSurface7* src, RECT* srcRect, DWORD flags, DDBLTFX* fx) = 0;
    virtual HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface7* src, RECT* srcRect, DWORD flags) = 0;
    virtual HRESULT Flip(IDirectDrawSurface7* target, DWORD flags) = 0;
    virtual HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** surface) = 0;
    virtual HRESULT AddAttachedSurface(IDirectDrawSurface7* surface) = 0;
    virtual HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface7* surface) = 0;
    // The callback is lent each attached surface for the call; it takes no reference.
    virtual HRESULT EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK7 callback) = 0;
    virtual HRESULT GetCaps(DDSCAPS2* caps) = 0;
    virtual HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) = 0;
    virtual HRESULT GetPixelFormat(DDPIXELFORMAT* format) = 0;
    virtual HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
    virtual HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
    virtual HRESULT SetClipper(IDirectDrawClipper* clipper) = 0;
    virtual HRESULT GetClipper(IDirectDrawClipper** clipper) = 0;
    virtual HRESULT SetPalette(IDirectDrawPalette* palette) = 0;
    virtual HRESULT GetPalette(IDirectDrawPalette** palette) = 0;
    virtual HRESULT IsLost() = 0;
    virtual HRESULT Restore() = 0;
    virtual HRESULT GetDC(HDC* dc) = 0;
    virtual HRESULT ReleaseDC(HDC dc) = 0;
    virtual HRESULT PageLock(DWORD flags) = 0;
    virtual HRESULT PageUnlock(DWORD flags) = 0;
    // Overlays: places this overlay surface's source rectangle (NULL: all of it) on the
    // primary's destination rectangle with DDOVER_SHOW, or takes it away with DDOVER_HIDE.
    // Overlays are a model: the last placement is kept for tests, nothing is shown.
    virtual HRESULT UpdateOverlay(RECT* srcRect, IDirectDrawSurface7* primary, RECT* dstRect, DWORD flags,
                                  DDOVERLAYFX* fx) = 0;

protected:
    ~IDirectDrawSurface7() = default;
};

// The older views of every surface, sharing its reference count. The first view locks
// with the first description, and its Unlock takes the locked pointer (NULL: the lock).
struct IDirectDrawSurface : IUnknown {
    virtual HRESULT Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event) = 0;
    virtual HRESULT Unlock(LPVOID lockedPointer) = 0;
    virtual HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) = 0;
    virtual HRESULT IsLost() = 0;
    virtual HRESULT Restore() = 0;

protected:
    ~IDirectDrawSurface() = default;
};
typedef IDirectDrawSurface* LPDIRECTDRAWSURFACE;

struct IDirectDrawSurface4 : IUnknown {
    virtual HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) = 0;
    virtual HRESULT Unlock(RECT* rect) = 0;
    virtual HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) = 0;
    virtual HRESULT IsLost() = 0;
    virtual HRESULT Restore() = 0;

protected:
    ~IDirectDrawSurface4() = default;
};
typedef IDirectDrawSurface4* LPDIRECTDRAWSURFACE4;

struct IDirectDrawClipper : IUnknown {
    virtual HRESULT SetHWnd(DWORD flags, HWND window) = 0;
    virtual HRESULT GetHWnd(HWND* window) = 0;

protected:
    ~IDirectDrawClipper() = default;
};

struct IDirectDrawPalette : IUnknown {
    virtual HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* entries) = 0;
    virtual HRESULT GetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* entries) = 0;

protected:
    ~IDirectDrawPalette() = default;
};
