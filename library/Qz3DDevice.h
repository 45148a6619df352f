// Qz3DDevice.h: the Direct3D device table. Each of its four slots holds a device, its
// default and current render target, a cache of every render and texture-stage state
// the renderer sets, the blend settings the next draw needs, and three vertex batches
// (one per vertex format) that the drawing code fills with pre-transformed vertices.
//
// Setters compare with the cache and talk to the device only on a change, or when the
// slot's force flag asks for a full resend (after creation and re-creation). Anything
// that changes how pending vertices would be drawn flushes the batch first, so the
// drawing order is kept. G_D3D_ApplyStates turns the pending blend mode, alpha kind,
// modulation flags and blend graphic into states from the blend table and the
// texture-stage records.
//
// Every operation takes the slot last and returns -1 without a Direct3D object or on a
// slot without a device (release, re-creation and deletion accept a slot in use whose
// device is gone). Main thread under the library lock.
#pragma once

#include <cstdint>

#include "platform/d3d.h"

struct Surface3DData;
struct SurfaceData;
struct Matrix;

// ---- vertex formats -----------------------------------------------------------------------
// z is always 0.0 and rhw 1.0; the batches are prefilled with them when a device is made.
struct D3DVertexColor {  // format 0, untextured
    float x, y, z, rhw;
    uint32_t diffuse;
};
struct D3DVertexTex1 {  // format 1, one texture
    float x, y, z, rhw;
    uint32_t diffuse;
    float u, v;
};
struct D3DVertexTex2 {  // format 2: the blend graphic's coordinates, then the graphic's own
    float x, y, z, rhw;
    uint32_t diffuse, specular;
    float u1, v1, u2, v2;
};
static_assert(sizeof(D3DVertexColor) == 20 && sizeof(D3DVertexTex1) == 28 && sizeof(D3DVertexTex2) == 40,
              "vertex layouts");

constexpr DWORD kD3DFvfColor = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;                       // 0x44
constexpr DWORD kD3DFvfTex1 = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;          // 0x144
constexpr DWORD kD3DFvfTex2 = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2;  // 0x2C4
constexpr int kD3DBatchColor = 3225;
constexpr int kD3DBatchTex1 = 2340;
constexpr int kD3DBatchTex2 = 1638;
extern const DWORD kD3DBatchFvf[3];
extern const int kD3DBatchCapacity[3];

// ---- the slot -------------------------------------------------------------------------------
constexpr int kD3DDeviceSlots = 4;

// Per texture stage: the texture and the six stage states last sent.
struct D3DStageCache {
    IDirectDrawSurface7* texture;
    int16_t alphaArg1, alphaArg2, alphaOp, colorArg1, colorArg2, colorOp;
};

struct D3DDeviceSlot {
    int32_t inUse;
    IDirect3DDevice7* device;            // null after a device loss
    IDirectDrawSurface7* defaultTarget;  // the surface the device was made on
    IDirectDrawSurface7* currentTarget;  // null until a target is set
    IDirectDrawSurface7* texture;        // the graphic texture of the next draws
    IDirectDrawSurface7* blendTexture;   // the blend graphic's texture, or null
    int32_t modulateColor, modulateAlpha;
    int32_t blendMode;  // 0-6, the blend table's row
    int32_t borderParam, borderRange;
    int32_t alphaChannel, alphaTest;  // the texture's alpha kind
    int32_t stateDirty, textureDirty;
    int32_t suppressDraw;  // border parameter 255: flushes discard the batch
    int32_t force;         // every setter sends, whatever the cache says
    // Render states last sent.
    int32_t alphaTestEnable, alphaRef, alphaFunc, alphaBlendEnable, textureFactor, srcBlend, destBlend;
    int32_t stagesInUse;
    D3DStageCache stages[4];
    int32_t sceneOpen;
    int32_t filterMode;  // 0 point, 1 linear
    int32_t zEnable, zWriteEnable;
    int32_t shadeMode;    // D3DSHADE_FLAT or D3DSHADE_GOURAUD
    int32_t addressMode;  // of all four stages
    int32_t texturePerspective, lighting, colorKeyEnable;
    uint8_t* batchWrite;  // where the next vertex goes
    int32_t batchCount;
    int32_t batchFormat;     // 0, 1 or 2
    int32_t batchPrimitive;  // D3DPRIMITIVETYPE of the pending vertices
    D3DVIEWPORT7 viewport;   // last sent
    uint8_t* batchBase[3];
    D3DVertexColor batchColor[kD3DBatchColor];
    D3DVertexTex1 batchTex1[kD3DBatchTex1];
    D3DVertexTex2 batchTex2[kD3DBatchTex2];
};

// The slot when the Direct3D object exists and the slot holds a device, else null.
D3DDeviceSlot* GetLiveD3DDeviceSlot(int slot);
// The slot when it is in use (with or without its device), else null.
D3DDeviceSlot* GetUsedD3DDeviceSlot(int slot);

// ---- device lifetime ----------------------------------------------------------------------------
int G_D3D_CreateDevice(IDirectDrawSurface7* target);  // the slot, or -1
int G_D3D_DeleteDevice(int slot);
int G_D3D_DeleteAllDevices();
int G_D3D_ReleaseDevice(int slot);   // device loss: the textures' surfaces and the device go
int G_D3D_RecreateDevice(int slot);  // after a loss: every state resent, textures back empty
int G_D3D_ResendFixedStates(int slot);
int G_D3D_ResendAllStates(int slot);
int G_D3D_CopyDeviceStates(int destination, int source);

// ---- states --------------------------------------------------------------------------------------
int G_D3D_SetBlendState(int blendMode, int alphaTest, int alphaChannel, int slot);
int G_D3D_SetModulateColorFlag(int flag, int slot);
int G_D3D_SetModulateAlphaFlag(int flag, int slot);
int G_D3D_BindTexture(IDirectDrawSurface7* texture, int slot);
int G_D3D_ApplyStates(int slot);  // 0, or -1 when nothing was pending
int G_D3D_SetFilterStates(int mode, int slot);
int G_D3D_SetRenderTarget(IDirectDrawSurface7* surface, int slot);
int G_D3D_SetViewport(const D3DVIEWPORT7* viewport, int slot);
int G_D3D_SetZEnable(int flag, int slot);
int G_D3D_SetZWriteEnable(int flag, int slot);
int G_D3D_SetColorKeyEnable(int flag, int slot);
int G_D3D_SetShadeMode(int mode, int slot);
int G_D3D_SetTextureAddress(int mode, int slot);
int G_D3D_SetTexturePerspective(int flag, int slot);
int G_D3D_SetLighting(int flag, int slot);
int G_D3D_SetCullMode(int flag, int slot);
int G_D3D_SetAmbient(uint32_t value, int slot);
int G_D3D_SetNormalizeNormals(int flag, int slot);
int G_D3D_SetLight(DWORD index, D3DLIGHT7* light, int slot);
int G_D3D_LightEnable(DWORD index, BOOL enable, int slot);
int G_D3D_SetMaterial(D3DMATERIAL7* material, int slot);
int G_D3D_SetWorldTransform(const Matrix* matrix, int slot);
int G_D3D_SetViewTransform(const Matrix* matrix, int slot);
int G_D3D_SetProjectionTransform(const Matrix* matrix, int slot);

// ---- scene and batches ------------------------------------------------------------------------------
int G_D3D_BeginScene(int slot);
int G_D3D_FlushAndEndScene(int slot);
int G_D3D_FlushSlotVertexBatch(int slot);
int G_D3D_FlushVertexBatch();  // on the current slot
// Room for n vertices of the slot's format in a triangle-list batch: the write pointer
// (the caller writes the vertices and advances pointer and count), or null.
void* G_D3D_ReserveVertices(int slot, int n);
// Draws columns x rows format-1 vertices as indexed triangle strips, at most 1000
// indices per call. -1 for fewer than 2 columns or rows, for a row pair that needs more
// than 1000 indices and for more vertices than 16-bit indices reach.
int G_D3D_DrawVertexGrid(const D3DVertexTex1* vertices, int columns, int rows, int slot);

IDirect3DDevice7* G_D3D_GetSlotDevice(int slot);
IDirect3DDevice7* G_D3D_GetCurrentDevice();

// Prepares the current slot for drawing a graphic whose first piece is given (null: an
// untextured draw). Flag bits: 1 transparent, 2 integer coordinates, 4 depth buffer,
// 8 Gouraud shading, 0x10 perspective, 0x20 modulate colour, 0x40 modulate alpha.
int G_D3D_SetupDrawGraphStates(const Surface3DData* piece, int flags);
// The same on a live slot `s` (number `slot`) for the first piece's store (null: untextured),
// for a draw that has looked both up already.
void SetupSlotDrawGraphStates(D3DDeviceSlot* s, int slot, const SurfaceData* store, int flags);
