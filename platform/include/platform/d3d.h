// d3d.h: the Direct3D 7 services the library uses, answered by platform/src/d3d: a
// software rasterizer for pre-transformed vertices drawing into the DirectDraw layer's
// in-memory surfaces. The records keep their Direct3D 7 sizes (D3DDEVICEDESC7 236 bytes)
// and the constants their Direct3D 7 values.
//
// IDirectDraw7::QueryInterface(IID_IDirect3D7) gives the Direct3D object; it holds a
// reference to its DirectDraw object until released. A device holds references to its
// render target and its bound textures. Calls are synchronous and draw within the call.
// A state value the rasterizer does not implement is refused with DDERR_INVALIDPARAMS.
// Main thread, like the DirectDraw layer.
#pragma once

#include "platform/ddraw.h"
#include "platform/win32.h"

// ---- results ---------------------------------------------------------------------------
#define D3D_OK DD_OK
#define D3DENUMRET_CANCEL DDENUMRET_CANCEL
#define D3DENUMRET_OK DDENUMRET_OK
#define D3DERR_SCENE_IN_SCENE QZ_DDERR(780)
#define D3DERR_SCENE_NOT_IN_SCENE QZ_DDERR(781)

// Pixel-format flags the texture and depth enumerations report.
#ifndef DDPF_ALPHA
#define DDPF_ALPHA 0x00000002u
#endif
#ifndef DDPF_LUMINANCE
#define DDPF_LUMINANCE 0x00020000u
#endif
#ifndef DDPF_BUMPLUMINANCE
#define DDPF_BUMPLUMINANCE 0x00040000u
#endif
#ifndef DDPF_BUMPDUDV
#define DDPF_BUMPDUDV 0x00080000u
#endif

// Render bit depths of a device.
#define DDBD_8 0x00000800u
#define DDBD_16 0x00000400u
#define DDBD_24 0x00000200u
#define DDBD_32 0x00000100u

extern const IID IID_IDirect3D7;
extern const IID IID_IDirect3DDevice7;
extern const IID IID_IDirect3DHALDevice;
extern const IID IID_IDirect3DTnLHalDevice;

// ---- records ---------------------------------------------------------------------------------
typedef float D3DVALUE;

typedef struct _D3DPrimCaps {
    DWORD dwSize;
    DWORD dwMiscCaps;
    DWORD dwRasterCaps;
    DWORD dwZCmpCaps;
    DWORD dwSrcBlendCaps;
    DWORD dwDestBlendCaps;
    DWORD dwAlphaCmpCaps;
    DWORD dwShadeCaps;
    DWORD dwTextureCaps;
    DWORD dwTextureFilterCaps;
    DWORD dwTextureBlendCaps;
    DWORD dwTextureAddressCaps;
    DWORD dwStippleWidth;
    DWORD dwStippleHeight;
} D3DPRIMCAPS, *LPD3DPRIMCAPS;
static_assert(sizeof(D3DPRIMCAPS) == 56, "D3DPRIMCAPS is 56 bytes");

#define D3DPTEXTURECAPS_POW2 0x00000002u
#define D3DPTEXTURECAPS_SQUAREONLY 0x00000020u

typedef struct _D3DDeviceDesc7 {
    DWORD dwDevCaps;
    D3DPRIMCAPS dpcLineCaps;
    D3DPRIMCAPS dpcTriCaps;
    DWORD dwDeviceRenderBitDepth;
    DWORD dwDeviceZBufferBitDepth;
    DWORD dwMinTextureWidth, dwMinTextureHeight;
    DWORD dwMaxTextureWidth, dwMaxTextureHeight;
    DWORD dwMaxTextureRepeat;
    DWORD dwMaxTextureAspectRatio;
    DWORD dwMaxAnisotropy;
    D3DVALUE dvGuardBandLeft, dvGuardBandTop, dvGuardBandRight, dvGuardBandBottom;
    D3DVALUE dvExtentsAdjust;
    DWORD dwStencilCaps;
    DWORD dwFVFCaps;
    DWORD dwTextureOpCaps;
    WORD wMaxTextureBlendStages;
    WORD wMaxSimultaneousTextures;
    DWORD dwMaxActiveLights;
    D3DVALUE dvMaxVertexW;
    GUID deviceGUID;
    WORD wMaxUserClipPlanes;
    WORD wMaxVertexBlendMatrices;
    DWORD dwVertexProcessingCaps;
    DWORD dwReserved1, dwReserved2, dwReserved3, dwReserved4;
} D3DDEVICEDESC7, *LPD3DDEVICEDESC7;
static_assert(sizeof(D3DDEVICEDESC7) == 236, "D3DDEVICEDESC7 is 236 bytes");

typedef struct _D3DVIEWPORT7 {
    DWORD dwX, dwY;
    DWORD dwWidth, dwHeight;
    D3DVALUE dvMinZ, dvMaxZ;
} D3DVIEWPORT7, *LPD3DVIEWPORT7;

typedef struct _D3DMATRIX {
    D3DVALUE _11, _12, _13, _14;
    D3DVALUE _21, _22, _23, _24;
    D3DVALUE _31, _32, _33, _34;
    D3DVALUE _41, _42, _43, _44;
} D3DMATRIX, *LPD3DMATRIX;

typedef struct _D3DCOLORVALUE {
    D3DVALUE r, g, b, a;
} D3DCOLORVALUE;

typedef struct _D3DVECTOR {
    D3DVALUE x, y, z;
} D3DVECTOR;

typedef enum _D3DLIGHTTYPE { D3DLIGHT_POINT = 1, D3DLIGHT_SPOT = 2, D3DLIGHT_DIRECTIONAL = 3 } D3DLIGHTTYPE;

typedef struct _D3DLIGHT7 {
    D3DLIGHTTYPE dltType;
    D3DCOLORVALUE dcvDiffuse, dcvSpecular, dcvAmbient;
    D3DVECTOR dvPosition, dvDirection;
    D3DVALUE dvRange, dvFalloff;
    D3DVALUE dvAttenuation0, dvAttenuation1, dvAttenuation2;
    D3DVALUE dvTheta, dvPhi;
} D3DLIGHT7, *LPD3DLIGHT7;
static_assert(sizeof(D3DLIGHT7) == 104, "D3DLIGHT7 is 104 bytes");

typedef struct _D3DMATERIAL7 {
    D3DCOLORVALUE dcvDiffuse, dcvAmbient, dcvSpecular, dcvEmissive;
    D3DVALUE dvPower;
} D3DMATERIAL7, *LPD3DMATERIAL7;
static_assert(sizeof(D3DMATERIAL7) == 68, "D3DMATERIAL7 is 68 bytes");

// ---- state types and values ------------------------------------------------------------------
typedef enum _D3DPRIMITIVETYPE {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
} D3DPRIMITIVETYPE;

typedef enum _D3DTRANSFORMSTATETYPE {
    D3DTRANSFORMSTATE_WORLD = 1,
    D3DTRANSFORMSTATE_VIEW = 2,
    D3DTRANSFORMSTATE_PROJECTION = 3,
} D3DTRANSFORMSTATETYPE;

typedef enum _D3DRENDERSTATETYPE {
    D3DRENDERSTATE_TEXTUREPERSPECTIVE = 4,
    D3DRENDERSTATE_ZENABLE = 7,
    D3DRENDERSTATE_FILLMODE = 8,
    D3DRENDERSTATE_SHADEMODE = 9,
    D3DRENDERSTATE_ZWRITEENABLE = 14,
    D3DRENDERSTATE_ALPHATESTENABLE = 15,
    D3DRENDERSTATE_LASTPIXEL = 16,
    D3DRENDERSTATE_SRCBLEND = 19,
    D3DRENDERSTATE_DESTBLEND = 20,
    D3DRENDERSTATE_CULLMODE = 22,
    D3DRENDERSTATE_ZFUNC = 23,
    D3DRENDERSTATE_ALPHAREF = 24,
    D3DRENDERSTATE_ALPHAFUNC = 25,
    D3DRENDERSTATE_DITHERENABLE = 26,
    D3DRENDERSTATE_ALPHABLENDENABLE = 27,
    D3DRENDERSTATE_FOGENABLE = 28,
    D3DRENDERSTATE_SPECULARENABLE = 29,
    D3DRENDERSTATE_COLORKEYENABLE = 41,
    D3DRENDERSTATE_TEXTUREFACTOR = 60,
    D3DRENDERSTATE_CLIPPING = 136,
    D3DRENDERSTATE_LIGHTING = 137,
    D3DRENDERSTATE_AMBIENT = 139,
    D3DRENDERSTATE_COLORVERTEX = 141,
    D3DRENDERSTATE_NORMALIZENORMALS = 143,
    D3DRENDERSTATE_COLORKEYBLENDENABLE = 144,
} D3DRENDERSTATETYPE;

typedef enum _D3DTEXTURESTAGESTATETYPE {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
    D3DTSS_ALPHAOP = 4,
    D3DTSS_ALPHAARG1 = 5,
    D3DTSS_ALPHAARG2 = 6,
    D3DTSS_TEXCOORDINDEX = 11,
    D3DTSS_ADDRESS = 12,
    D3DTSS_ADDRESSU = 13,
    D3DTSS_ADDRESSV = 14,
    D3DTSS_MAGFILTER = 16,
    D3DTSS_MINFILTER = 17,
    D3DTSS_MIPFILTER = 18,
} D3DTEXTURESTAGESTATETYPE;

typedef enum _D3DTEXTUREOP {
    D3DTOP_DISABLE = 1,
    D3DTOP_SELECTARG1 = 2,
    D3DTOP_SELECTARG2 = 3,
    D3DTOP_MODULATE = 4,
    D3DTOP_MODULATE2X = 5,
    D3DTOP_MODULATE4X = 6,
    D3DTOP_ADD = 7,
    D3DTOP_SUBTRACT = 10,
} D3DTEXTUREOP;

#define D3DTA_DIFFUSE 0x00000000u
#define D3DTA_CURRENT 0x00000001u
#define D3DTA_TEXTURE 0x00000002u
#define D3DTA_TFACTOR 0x00000003u
#define D3DTA_SPECULAR 0x00000004u

typedef enum _D3DBLEND {
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
    D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9,
    D3DBLEND_INVDESTCOLOR = 10,
} D3DBLEND;

typedef enum _D3DCMPFUNC {
    D3DCMP_NEVER = 1,
    D3DCMP_LESS = 2,
    D3DCMP_EQUAL = 3,
    D3DCMP_LESSEQUAL = 4,
    D3DCMP_GREATER = 5,
    D3DCMP_NOTEQUAL = 6,
    D3DCMP_GREATEREQUAL = 7,
    D3DCMP_ALWAYS = 8,
} D3DCMPFUNC;

typedef enum _D3DCULL { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 } D3DCULL;
typedef enum _D3DSHADEMODE { D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2 } D3DSHADEMODE;
typedef enum _D3DTEXTUREADDRESS { D3DTADDRESS_WRAP = 1, D3DTADDRESS_CLAMP = 3 } D3DTEXTUREADDRESS;
typedef enum _D3DTEXTUREMAGFILTER { D3DTFG_POINT = 1, D3DTFG_LINEAR = 2 } D3DTEXTUREMAGFILTER;
typedef enum _D3DTEXTUREMINFILTER { D3DTFN_POINT = 1, D3DTFN_LINEAR = 2 } D3DTEXTUREMINFILTER;
typedef enum _D3DZBUFFERTYPE { D3DZB_FALSE = 0, D3DZB_TRUE = 1 } D3DZBUFFERTYPE;

// Flexible vertex formats: the three layouts the rasterizer draws are 0x44, 0x144, 0x2C4.
#define D3DFVF_XYZRHW 0x004u
#define D3DFVF_DIFFUSE 0x040u
#define D3DFVF_SPECULAR 0x080u
#define D3DFVF_TEX1 0x100u
#define D3DFVF_TEX2 0x200u

// ---- interfaces --------------------------------------------------------------------------------
struct IDirect3DDevice7;
typedef IDirect3DDevice7* LPDIRECT3DDEVICE7;

typedef HRESULT(CALLBACK* LPD3DENUMDEVICESCALLBACK7)(LPSTR description, LPSTR name, LPD3DDEVICEDESC7 desc,
                                                     LPVOID context);
typedef HRESULT(CALLBACK* LPD3DENUMPIXELFORMATSCALLBACK)(LPDDPIXELFORMAT format, LPVOID context);

struct IDirect3D7 : IUnknown {
    virtual HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, LPVOID context) = 0;
    virtual HRESULT CreateDevice(REFCLSID deviceGuid, LPDIRECTDRAWSURFACE7 target, LPDIRECT3DDEVICE7* device) = 0;
    virtual HRESULT EnumZBufferFormats(REFCLSID deviceGuid, LPD3DENUMPIXELFORMATSCALLBACK callback,
                                       LPVOID context) = 0;

protected:
    ~IDirect3D7() = default;
};
typedef IDirect3D7* LPDIRECT3D7;

struct IDirect3DDevice7 : IUnknown {
    virtual HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT SetRenderTarget(LPDIRECTDRAWSURFACE7 surface, DWORD flags) = 0;
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, LPD3DMATRIX matrix) = 0;
    virtual HRESULT SetViewport(LPD3DVIEWPORT7 viewport) = 0;
    virtual HRESULT SetMaterial(LPD3DMATERIAL7 material) = 0;
    virtual HRESULT SetLight(DWORD index, LPD3DLIGHT7 light) = 0;
    virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD count, DWORD flags) = 0;
    virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD vertexCount,
                                         LPWORD indices, DWORD indexCount, DWORD flags) = 0;
    virtual HRESULT SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 texture) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
    // Copies a rectangle (null: all of src) to a point (null: 0, 0) between textures of one format.
    virtual HRESULT Load(LPDIRECTDRAWSURFACE7 dst, LPPOINT point, LPDIRECTDRAWSURFACE7 src, LPRECT rect,
                         DWORD flags) = 0;

protected:
    ~IDirect3DDevice7() = default;
};
