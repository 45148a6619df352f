// Qz3DDevice.cpp: the Direct3D device table, its state cache and vertex batches.
//
// Rules of the cache:
// - A setter compares with the slot's cached value and sends only a change, unless the
//   slot's force flag is set; a change that alters how pending vertices would be drawn
//   first draws the batch.
// - G_D3D_ApplyStates resolves the pending blend mode, alpha kind, modulation flags and
//   blend graphic into render states and a texture-stage record, and sends what differs
//   (everything when forced). It only runs with an empty batch, because it may switch the
//   batch's vertex format.
// - A slot whose device was lost keeps its caches; re-creation resends them with force on
//   and brings every texture back, empty.
#include "Qz3DDevice.h"

#include <cstring>

#include "Qz3DSprite.h"
#include "Qz3DSystem.h"
#include "Qz3DTexture.h"
#include "QzDrawSurfaceData.h"
#include "QzGraphicsData.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsSystem.h"
#include "QzWinLog.h"

const DWORD kD3DBatchFvf[3] = {kD3DFvfColor, kD3DFvfTex1, kD3DFvfTex2};
const int kD3DBatchCapacity[3] = {kD3DBatchColor, kD3DBatchTex1, kD3DBatchTex2};

namespace {

D3DDeviceSlot g_slots[kD3DDeviceSlots];

// ---- the blend table and the texture-stage records ----------------------------------------
// Rows by blend mode: SRCBLEND, DESTBLEND; -1 leaves the factor as it is.
const int kBlendTable[7][2] = {
    {-1, -1},
    {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
    {D3DBLEND_SRCALPHA, D3DBLEND_ONE},
    {D3DBLEND_INVDESTCOLOR, D3DBLEND_ZERO},
    {D3DBLEND_ZERO, D3DBLEND_SRCCOLOR},
    {D3DBLEND_SRCALPHA, D3DBLEND_ONE},
    {-1, -1},
};

constexpr int16_t K = -1;  // leave the argument as it is
constexpr int16_t TEX = D3DTA_TEXTURE, DIF = D3DTA_DIFFUSE, CUR = D3DTA_CURRENT, TF = D3DTA_TFACTOR,
                  SPEC = D3DTA_SPECULAR;
constexpr int16_t OFF = D3DTOP_DISABLE, SEL1 = D3DTOP_SELECTARG1, SEL2 = D3DTOP_SELECTARG2, MOD = D3DTOP_MODULATE,
                  MOD2X = D3DTOP_MODULATE2X, MOD4X = D3DTOP_MODULATE4X, ADD = D3DTOP_ADD, SUB = D3DTOP_SUBTRACT;

struct StageOps {
    int16_t alphaArg1, alphaArg2, alphaOp, colorArg1, colorArg2, colorOp;
};
struct StageRecord {
    int stages;
    StageOps stage[4];
};

// Written as alpha op(arg1, arg2), colour op(arg1, arg2).
constexpr StageOps S(int16_t aop, int16_t a1, int16_t a2, int16_t cop, int16_t c1, int16_t c2) {
    return StageOps{a1, a2, aop, c1, c2, cop};
}
constexpr StageOps kStageOff = {K, K, OFF, K, K, OFF};
// Stage 0 of every record with a blend graphic: the blend texture's alpha offset by the
// factor; the ramp below may turn ADD into SUBTRACT.
constexpr StageOps B0 = S(ADD, TEX, TF, SEL2, K, DIF);

// Index: 12 x blend texture + 6 x modulate colour + 3 x modulate alpha + alpha kind
// (0 none, 1 alpha channel, 2 alpha test). In records 12 and 18 stage 1's alpha takes
// DIFFUSE as its second argument (alpha 255 there), so the ramp's MODULATEnX never reads
// whatever an earlier draw left in that argument.
const StageRecord kStageRecords[24] = {
    {1, {S(SEL2, K, DIF, SEL1, TEX, K)}},
    {1, {S(SEL1, TEX, K, SEL1, TEX, K)}},
    {1, {S(SEL1, TEX, K, SEL1, TEX, K)}},
    {1, {S(SEL2, K, DIF, SEL1, TEX, K)}},
    {1, {S(MOD, TEX, DIF, SEL1, TEX, K)}},
    {1, {S(MOD, TEX, DIF, SEL1, TEX, K)}},
    {1, {S(SEL2, K, DIF, MOD, TEX, DIF)}},
    {1, {S(SEL1, TEX, K, MOD, TEX, DIF)}},
    {1, {S(SEL1, TEX, K, MOD, TEX, DIF)}},
    {1, {S(SEL2, K, DIF, MOD, TEX, DIF)}},
    {1, {S(MOD, TEX, DIF, MOD, TEX, DIF)}},
    {1, {S(MOD, TEX, DIF, MOD, TEX, DIF)}},
    {2, {B0, S(SEL1, CUR, DIF, SEL1, TEX, K)}},
    {3, {B0, S(MOD, SPEC, CUR, SEL1, CUR, K), S(MOD, TEX, CUR, SEL1, TEX, K)}},
    {2, {B0, S(MOD, TEX, CUR, SEL1, TEX, K)}},
    {2, {B0, S(MOD, DIF, CUR, SEL1, TEX, K)}},
    {4, {B0, S(MOD, SPEC, CUR, SEL1, CUR, K), S(MOD, TEX, CUR, SEL1, TEX, K), S(MOD, DIF, CUR, SEL1, CUR, K)}},
    {3, {B0, S(MOD, TEX, CUR, SEL1, TEX, K), S(MOD, DIF, CUR, SEL1, CUR, K)}},
    {2, {B0, S(SEL1, CUR, DIF, MOD, TEX, DIF)}},
    {3, {B0, S(MOD, SPEC, CUR, SEL1, CUR, K), S(MOD, TEX, CUR, MOD, TEX, DIF)}},
    {2, {B0, S(MOD, TEX, CUR, MOD, TEX, DIF)}},
    {2, {B0, S(MOD, DIF, CUR, MOD, TEX, DIF)}},
    {4, {B0, S(MOD, SPEC, CUR, SEL1, CUR, K), S(MOD, TEX, CUR, MOD, TEX, DIF), S(MOD, DIF, CUR, SEL1, CUR, K)}},
    {3, {B0, S(MOD, TEX, CUR, MOD, TEX, DIF), S(MOD, DIF, CUR, SEL1, CUR, K)}},
};

// Every untextured draw: the vertex colour and alpha pass straight to the blend, so a box
// never takes the colour of a stage left reading an empty texture.
const StageRecord kUntexturedRecord = {1, {S(SEL2, K, DIF, SEL1, DIF, K)}};

bool ValidIndex(int slot) {
    return slot >= 0 && slot < kD3DDeviceSlots;
}

void FlushSlot(D3DDeviceSlot* s, bool honourSuppress = true) {
    if (s->batchCount > 0 && !(honourSuppress && s->suppressDraw))
        s->device->DrawPrimitive((D3DPRIMITIVETYPE)s->batchPrimitive, kD3DBatchFvf[s->batchFormat],
                                 s->batchBase[s->batchFormat], (DWORD)s->batchCount, 0);
    s->batchCount = 0;
    s->batchWrite = s->batchBase[s->batchFormat];
}

void PrefillBatches(D3DDeviceSlot* s) {
    for (D3DVertexColor& v : s->batchColor) {
        v.z = 0.0f;
        v.rhw = 1.0f;
    }
    for (D3DVertexTex1& v : s->batchTex1) {
        v.z = 0.0f;
        v.rhw = 1.0f;
    }
    for (D3DVertexTex2& v : s->batchTex2) {
        v.z = 0.0f;
        v.rhw = 1.0f;
        v.specular = 0xFFFFFFFFu;
    }
    s->batchBase[0] = (uint8_t*)s->batchColor;
    s->batchBase[1] = (uint8_t*)s->batchTex1;
    s->batchBase[2] = (uint8_t*)s->batchTex2;
}

// The cached and pending values of a new slot.
void SetStartValues(D3DDeviceSlot* s) {
    s->borderParam = -1;
    s->borderRange = 0;
    s->stateDirty = 1;
    s->textureDirty = 0;
    for (D3DStageCache& c : s->stages)
        c = D3DStageCache{nullptr, TEX, DIF, OFF, TEX, DIF, OFF};
    s->zEnable = 1;
    s->zWriteEnable = 1;
    s->shadeMode = D3DSHADE_FLAT;
    s->addressMode = D3DTADDRESS_CLAMP;
    s->batchFormat = 1;
    s->batchWrite = s->batchBase[1];
}

// A render state through the cache: sent when forced or different.
void SendRenderState(D3DDeviceSlot* s, D3DRENDERSTATETYPE state, int32_t value, int32_t* cache) {
    if (s->force || *cache != value) {
        s->device->SetRenderState(state, (DWORD)value);
        *cache = value;
    }
}

// A stage state through the cache. An argument the record leaves as it is (K) is sent
// only when forced, with the cached value: a new device starts in its own defaults, and
// the cache must tell the truth about it.
void SendStageState(D3DDeviceSlot* s, int stage, D3DTEXTURESTAGESTATETYPE type, int16_t value, int16_t* cache) {
    if (value == K) {
        if (!s->force)
            return;
        value = *cache;
    }
    if (s->force || *cache != value) {
        s->device->SetTextureStageState((DWORD)stage, type, (DWORD)(uint16_t)value);
        *cache = value;
    }
}

int ClampByte(int v) {
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

}  // namespace

D3DDeviceSlot* GetUsedD3DDeviceSlot(int slot) {
    return ValidIndex(slot) && g_slots[slot].inUse ? &g_slots[slot] : nullptr;
}

D3DDeviceSlot* GetLiveD3DDeviceSlot(int slot) {
    if (g_d3d.direct3D == nullptr)
        return nullptr;
    D3DDeviceSlot* s = GetUsedD3DDeviceSlot(slot);
    return s && s->device ? s : nullptr;
}

// ---- lifetime ---------------------------------------------------------------------------------

int G_D3D_CreateDevice(IDirectDrawSurface7* target) {
    if (g_d3d.direct3D == nullptr)
        return -1;
    int index = 0;
    while (index < kD3DDeviceSlots && g_slots[index].inUse)
        ++index;
    if (index == kD3DDeviceSlots)
        return -1;
    D3DDeviceSlot* s = &g_slots[index];
    std::memset(s, 0, sizeof *s);
    WriteLog("３Ｄデバイスを作成します... ");
    if (g_d3d.direct3D->CreateDevice(g_d3d.deviceDesc.deviceGUID, target, &s->device) != D3D_OK) {
        s->device = nullptr;
        return WriteLog("３Ｄデバイスの作成に失敗しました\n");
    }
    PrefillBatches(s);
    IDirect3DDevice7* d = s->device;
    for (DWORD k = 0; k < 4; ++k)
        d->SetTextureStageState(k, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
    for (DWORD k = 0; k < 4; ++k) {
        d->SetTextureStageState(k, D3DTSS_MAGFILTER, D3DTFG_POINT);
        d->SetTextureStageState(k, D3DTSS_MINFILTER, D3DTFN_POINT);
    }
    d->SetRenderState(D3DRENDERSTATE_COLORKEYBLENDENABLE, FALSE);
    d->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    d->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    d->SetRenderState(D3DRENDERSTATE_TEXTUREPERSPECTIVE, FALSE);
    d->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    d->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, FALSE);
    d->SetRenderState(D3DRENDERSTATE_DITHERENABLE, FALSE);
    SetStartValues(s);
    s->inUse = 1;
    s->defaultTarget = target;
    G_D3D_ResendAllStates(index);
    WriteLog("３Ｄデバイスの作成に成功しました\n");
    return index;
}

int G_D3D_DeleteDevice(int slot) {
    D3DDeviceSlot* s = GetUsedD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    if (s->device)
        s->device->Release();
    std::memset(s, 0, sizeof *s);
    WriteLog("３Ｄデバイスの削除は正常に終了しました\n");
    return 0;
}

int G_D3D_DeleteAllDevices() {
    for (int i = 0; i < kD3DDeviceSlots; ++i)
        if (g_slots[i].inUse)
            G_D3D_DeleteDevice(i);
    return 0;
}

int G_D3D_ReleaseDevice(int slot) {
    D3DDeviceSlot* s = GetUsedD3DDeviceSlot(slot);
    if (s == nullptr || g_d3d.direct3D == nullptr)
        return -1;
    if (s->device == nullptr)
        return 0;
    G_D3D_FlushAndEndScene(slot);
    HandleTable* pieces = GetSurface3DTable();
    for (int i = 0; i < pieces->highWater; ++i)
        if (auto* piece = (Surface3DData*)pieces->records[i])
            ReleaseSurfaceDataSurface(piece->surfaceData);
    s->device->Release();
    s->device = nullptr;
    // The textures just released must never reach the new device: the graphic texture
    // goes at re-creation, the blend texture here (re-creation selects it again).
    s->blendTexture = nullptr;
    s->sceneOpen = 0;
    WriteLog("Ｄｉｒｅｃｔ３Ｄデバイスを削除しました\n");
    return 0;
}

int G_D3D_RecreateDevice(int slot) {
    D3DDeviceSlot* s = GetUsedD3DDeviceSlot(slot);
    if (s == nullptr || g_d3d.direct3D == nullptr)
        return -1;
    if (s->device != nullptr)
        return 0;
    WriteLog("３Ｄデバイスを作成します... ");
    if (g_d3d.direct3D->CreateDevice(g_d3d.deviceDesc.deviceGUID, s->defaultTarget, &s->device) != D3D_OK) {
        s->device = nullptr;
        return WriteLog("３Ｄデバイスの作成に失敗しました\n");
    }
    s->device->SetRenderState(D3DRENDERSTATE_DITHERENABLE, FALSE);
    WriteLog("３Ｄデバイスの作成に成功しました\n");

    s->force = 1;
    if (s->currentTarget != s->defaultTarget)
        G_D3D_SetRenderTarget(s->currentTarget, slot);
    s->texture = nullptr;
    s->batchCount = 0;
    s->batchWrite = s->batchBase[s->batchFormat];
    G_D3D_SetBlendState(s->blendMode, s->alphaTest, s->alphaChannel, slot);
    G_D3D_ApplyStates(slot);
    G_D3D_SetCullMode(0, slot);
    G_D3D_SetFilterStates(s->filterMode, slot);
    FlushSlot(s);
    s->device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, (DWORD)s->colorKeyEnable);
    G_D3D_SetClipViewport(&g_drawState.drawArea);
    G_D3D_ResendAllStates(slot);

    HandleTable* pieces = GetSurface3DTable();
    for (int i = 0; i < pieces->highWater; ++i) {
        if (auto* piece = (Surface3DData*)pieces->records[i]) {
            SetupSurfaceDataSurface(piece->surfaceData);
            SetSurfaceDataColorKey(piece->surfaceData);
        }
    }
    // The blend graphic's texture is a new surface now.
    if (g_drawState.blendGraph != -1) {
        s->force = 1;
        G_D3D_SelectBlendGraph(GetGraphData(g_drawState.blendGraph), -1, -1);
    }
    s->force = 0;
    return 0;
}

int G_D3D_ResendFixedStates(int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    FlushSlot(s);
    IDirect3DDevice7* d = s->device;
    for (DWORD k = 0; k < 4; ++k)
        d->SetTextureStageState(k, D3DTSS_ADDRESS, (DWORD)s->addressMode);
    static const DWORD kCoordIndex[4] = {0, 1, 1, 0};
    for (DWORD k = 0; k < 4; ++k)
        d->SetTextureStageState(k, D3DTSS_TEXCOORDINDEX, kCoordIndex[k]);
    d->SetRenderState(D3DRENDERSTATE_TEXTUREPERSPECTIVE, (DWORD)s->texturePerspective);
    d->SetRenderState(D3DRENDERSTATE_SHADEMODE, (DWORD)s->shadeMode);
    d->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, (DWORD)s->colorKeyEnable);
    d->SetRenderState(D3DRENDERSTATE_LIGHTING, (DWORD)s->lighting);
    d->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    d->SetRenderState(D3DRENDERSTATE_DITHERENABLE, FALSE);
    return 0;
}

int G_D3D_ResendAllStates(int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    s->force = 1;
    D3DVIEWPORT7 viewport = s->viewport;
    G_D3D_SetViewport(&viewport, slot);
    G_D3D_SetColorKeyEnable(s->colorKeyEnable, slot);
    G_D3D_SetColorKeyEnable(0, slot);
    G_D3D_ResendFixedStates(slot);
    G_D3D_SetFilterStates(s->filterMode, slot);
    G_D3D_ApplyStates(slot);
    G_D3D_SetZEnable(s->zEnable, slot);
    G_D3D_SetZWriteEnable(s->zWriteEnable, slot);
    G_D3D_SetTexturePerspective(s->texturePerspective, slot);
    G_D3D_SetShadeMode(s->shadeMode, slot);
    s->force = 0;
    return 0;
}

int G_D3D_CopyDeviceStates(int destination, int source) {
    D3DDeviceSlot* d = GetLiveD3DDeviceSlot(destination);
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(source);
    if (d == nullptr || s == nullptr)
        return -1;
    G_D3D_SetBlendState(s->blendMode, s->alphaTest, s->alphaChannel, destination);
    G_D3D_SetFilterStates(s->filterMode, destination);
    if (s->texture != d->texture || d->force) {
        FlushSlot(d);
        d->textureDirty = 1;
        if (s->texture == nullptr || d->texture == nullptr)
            d->stateDirty = 1;
        d->texture = s->texture;
    }
    G_D3D_ApplyStates(destination);
    return 0;
}

// ---- states ------------------------------------------------------------------------------------------

int G_D3D_SetBlendState(int blendMode, int alphaTest, int alphaChannel, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    if (s->blendMode == blendMode && s->alphaTest == alphaTest && s->alphaChannel == alphaChannel)
        return 0;
    FlushSlot(s);
    s->blendMode = blendMode;
    s->alphaTest = alphaTest;
    s->alphaChannel = alphaChannel;
    s->stateDirty = 1;
    return 0;
}

int G_D3D_SetModulateColorFlag(int flag, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    if (s->modulateColor != flag || s->force) {
        FlushSlot(s);
        s->modulateColor = flag;
        s->stateDirty = 1;
    }
    return 0;
}

int G_D3D_SetModulateAlphaFlag(int flag, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    if (s->modulateAlpha != flag || s->force) {
        FlushSlot(s);
        s->modulateAlpha = flag;
        s->stateDirty = 1;
    }
    return 0;
}

int G_D3D_BindTexture(IDirectDrawSurface7* texture, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    if (s->texture == texture && !s->force)
        return 0;
    FlushSlot(s);
    s->textureDirty = 1;
    if ((s->texture == nullptr) != (texture == nullptr))
        s->stateDirty = 1;
    s->texture = texture;
    return 0;
}

int G_D3D_ApplyStates(int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    bool forced = s->force != 0;
    if (!forced && !s->stateDirty && !s->textureDirty)
        return -1;
    if (!forced && !s->stateDirty) {
        int stage = s->blendTexture ? (s->alphaChannel ? 2 : 1) : 0;
        s->device->SetTexture((DWORD)stage, s->texture);
        s->stages[stage].texture = s->texture;
        s->textureDirty = 0;
        return 0;
    }
    s->stateDirty = 0;
    s->textureDirty = 0;

    int mode = s->blendMode >= 0 && s->blendMode <= 6 ? s->blendMode : 0;
    int srcBlend = kBlendTable[mode][0], destBlend = kBlendTable[mode][1];
    bool blending = mode != 0 && mode != 6;
    int kind = s->alphaChannel ? 1 : s->alphaTest ? 2 : 0;
    int alphaTestEnable = 0, alphaRef = s->alphaRef, alphaFunc = s->alphaFunc, alphaBlendEnable;
    int32_t textureFactor = (int32_t)0xFFFFFFFFu;
    IDirectDrawSurface7* textures[4] = {};
    StageRecord record;
    int format;

    if (s->texture == nullptr) {
        format = 0;
        s->suppressDraw = 0;
        record = kUntexturedRecord;
        textureFactor = s->textureFactor;
        alphaBlendEnable = blending;
    } else if (s->blendTexture == nullptr) {
        format = 1;
        s->suppressDraw = 0;
        record = kStageRecords[6 * (s->modulateColor ? 1 : 0) + 3 * (s->modulateAlpha ? 1 : 0) + kind];
        if (kind == 2) {
            alphaTestEnable = 1;
            alphaRef = 128;
            alphaFunc = D3DCMP_GREATER;
        } else if (kind == 1 && !blending) {
            srcBlend = kBlendTable[1][0];
            destBlend = kBlendTable[1][1];
        }
        alphaBlendEnable = kind == 1 || blending;
        textures[0] = s->texture;
    } else {
        format = 2;
        record = kStageRecords[12 + 6 * (s->modulateColor ? 1 : 0) + 3 * (s->modulateAlpha ? 1 : 0) + kind];
        if (!blending) {
            srcBlend = kBlendTable[1][0];
            destBlend = kBlendTable[1][1];
        }
        int p = s->borderParam, r = s->borderRange;
        s->suppressDraw = p == 255;
        if (r <= 1) {
            alphaTestEnable = 1;
            alphaRef = p == 0 && (s->alphaChannel || s->alphaTest) ? 1 : p;
            alphaFunc = D3DCMP_GREATEREQUAL;
            alphaBlendEnable = 0;
            textureFactor = 0x00FFFFFF;
        } else {
            // The border ramp: the blend graphic's alpha, offset by the factor and scaled by
            // 4, 2 or 1 as the range narrows, sweeps the visible edge across it with p.
            int t, factor, scaleOp;
            bool subtract;
            if (r <= 64) {
                t = 1280 - p * 1280 / 255;
                scaleOp = MOD4X;
                subtract = t < 1024;
                factor = subtract ? 255 - t * 255 / 1024 : (t - 1024) / 4;
            } else if (r <= 128) {
                t = 768 - p * 768 / 255;
                scaleOp = MOD2X;
                subtract = t < 512;
                factor = subtract ? 255 - t * 255 / 512 : (t - 512) / 2;
            } else {
                t = 512 - p * 512 / 255;
                scaleOp = MOD;
                subtract = t < 256;
                factor = subtract ? 255 - t * 255 / 256 : (t * 255 - 65280) / 256;
            }
            record.stage[0].alphaOp = subtract ? SUB : ADD;
            record.stage[1].alphaOp = (int16_t)scaleOp;
            textureFactor = (int32_t)((uint32_t)ClampByte(factor) << 24 | 0xFFFFFFu);
            alphaBlendEnable = 1;
        }
        textures[0] = s->blendTexture;
        textures[kind == 1 ? 2 : 1] = s->texture;
    }
    s->batchFormat = format;
    s->batchWrite = s->batchBase[format];
    for (int k = record.stages; k < 4; ++k)
        record.stage[k] = kStageOff;

    if (record.stages != s->stagesInUse) {
        s->stagesInUse = record.stages;
        int saved = s->force;
        s->force = 1;
        G_D3D_SetFilterStates(s->filterMode, slot);
        s->force = saved;
    }

    SendRenderState(s, D3DRENDERSTATE_ALPHAFUNC, alphaFunc, &s->alphaFunc);
    SendRenderState(s, D3DRENDERSTATE_ALPHAREF, alphaRef, &s->alphaRef);
    SendRenderState(s, D3DRENDERSTATE_ALPHATESTENABLE, alphaTestEnable, &s->alphaTestEnable);
    SendRenderState(s, D3DRENDERSTATE_ALPHABLENDENABLE, alphaBlendEnable, &s->alphaBlendEnable);
    SendRenderState(s, D3DRENDERSTATE_TEXTUREFACTOR, textureFactor, &s->textureFactor);
    if (srcBlend != -1)
        SendRenderState(s, D3DRENDERSTATE_SRCBLEND, srcBlend, &s->srcBlend);
    if (destBlend != -1)
        SendRenderState(s, D3DRENDERSTATE_DESTBLEND, destBlend, &s->destBlend);

    // The stages the record uses and the one after, which switches the cascade off; when
    // forced, all four, so a new device holds exactly what the cache says.
    for (int k = 0; k < 4; ++k) {
        if (!forced && k >= 2 && record.stage[k - 1].alphaOp == OFF)
            break;
        D3DStageCache& c = s->stages[k];
        const StageOps& o = record.stage[k];
        if (forced || c.texture != textures[k]) {
            s->device->SetTexture((DWORD)k, textures[k]);
            c.texture = textures[k];
        }
        SendStageState(s, k, D3DTSS_ALPHAOP, o.alphaOp, &c.alphaOp);
        SendStageState(s, k, D3DTSS_ALPHAARG1, o.alphaArg1, &c.alphaArg1);
        SendStageState(s, k, D3DTSS_ALPHAARG2, o.alphaArg2, &c.alphaArg2);
        SendStageState(s, k, D3DTSS_COLOROP, o.colorOp, &c.colorOp);
        SendStageState(s, k, D3DTSS_COLORARG1, o.colorArg1, &c.colorArg1);
        SendStageState(s, k, D3DTSS_COLORARG2, o.colorArg2, &c.colorArg2);
    }
    return 0;
}

int G_D3D_SetFilterStates(int mode, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    if (s->filterMode == mode && !s->force)
        return 0;
    FlushSlot(s);
    if (mode != 0 && mode != 1)
        return -1;
    for (int k = 0; k < s->stagesInUse; ++k) {
        s->device->SetTextureStageState((DWORD)k, D3DTSS_MAGFILTER, mode == 0 ? D3DTFG_POINT : D3DTFG_LINEAR);
        s->device->SetTextureStageState((DWORD)k, D3DTSS_MINFILTER, mode == 0 ? D3DTFN_POINT : D3DTFN_LINEAR);
    }
    s->filterMode = mode;
    return 0;
}

int G_D3D_SetRenderTarget(IDirectDrawSurface7* surface, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    if (surface == s->currentTarget && !s->force)
        return 0;
    if (surface != nullptr) {
        FlushSlot(s);
        s->device->SetRenderTarget(surface, 0);
    } else if (s->currentTarget != nullptr) {
        FlushSlot(s);
        s->device->SetRenderTarget(s->defaultTarget, 0);
        surface = s->defaultTarget;
    }
    s->currentTarget = surface;
    return 0;
}

int G_D3D_SetViewport(const D3DVIEWPORT7* viewport, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr || viewport == nullptr || s->currentTarget == nullptr)
        return -1;
    const D3DVIEWPORT7& c = s->viewport;
    if (!s->force && c.dwX == viewport->dwX && c.dwY == viewport->dwY && c.dwWidth == viewport->dwWidth &&
        c.dwHeight == viewport->dwHeight)
        return 0;
    FlushSlot(s);
    D3DVIEWPORT7 sent = *viewport;
    if (s->device->SetViewport(&sent) != D3D_OK)
        return WriteLog("ビューポートのセットに失敗しました\n");
    // Only a viewport the device took is cached, so the same rectangle can be retried.
    s->viewport = *viewport;
    return 0;
}

int G_D3D_SetZEnable(int flag, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    if (s->zEnable != flag || s->force) {
        FlushSlot(s);
        s->device->SetRenderState(D3DRENDERSTATE_ZENABLE, flag == 1 ? D3DZB_TRUE : D3DZB_FALSE);
        s->zEnable = flag;
    }
    return 0;
}

int G_D3D_SetZWriteEnable(int flag, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    if (s->zWriteEnable != flag || s->force) {
        FlushSlot(s);
        s->device->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, (DWORD)flag);
        s->zWriteEnable = flag;
    }
    return 0;
}

int G_D3D_SetColorKeyEnable(int flag, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    if (s->colorKeyEnable != flag || s->force) {
        FlushSlot(s);
        s->device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, (DWORD)flag);
        s->colorKeyEnable = flag;
    }
    return 0;
}

int G_D3D_SetShadeMode(int mode, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    if (s->shadeMode != mode || s->force) {
        FlushSlot(s);
        if (s->device->SetRenderState(D3DRENDERSTATE_SHADEMODE, (DWORD)mode) != D3D_OK)
            return -1;
        s->shadeMode = mode;
    }
    return 0;
}

int G_D3D_SetTextureAddress(int mode, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    if (s->addressMode != mode || s->force) {
        FlushSlot(s);
        HRESULT hr = D3D_OK;
        for (int k = 3; k >= 0; --k)
            hr = s->device->SetTextureStageState((DWORD)k, D3DTSS_ADDRESS, (DWORD)mode);
        if (hr != D3D_OK)
            return -1;
        s->addressMode = mode;
    }
    return 0;
}

int G_D3D_SetTexturePerspective(int flag, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    if (s->texturePerspective != flag || s->force) {
        s->texturePerspective = flag;
        if (s->device->SetRenderState(D3DRENDERSTATE_TEXTUREPERSPECTIVE, (DWORD)flag) != D3D_OK)
            return -1;
    }
    return 0;
}

int G_D3D_SetLighting(int flag, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    if (s->lighting != flag || s->force) {
        s->lighting = flag;
        if (s->device->SetRenderState(D3DRENDERSTATE_LIGHTING, (DWORD)flag) != D3D_OK)
            return -1;
    }
    return 0;
}

int G_D3D_SetCullMode(int flag, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    return s->device->SetRenderState(D3DRENDERSTATE_CULLMODE, flag ? D3DCULL_CCW : D3DCULL_NONE) == D3D_OK ? 0 : -1;
}

int G_D3D_SetAmbient(uint32_t value, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    return s->device->SetRenderState(D3DRENDERSTATE_AMBIENT, value) == D3D_OK ? 0 : -1;
}

int G_D3D_SetNormalizeNormals(int flag, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    FlushSlot(s);
    return s->device->SetRenderState(D3DRENDERSTATE_NORMALIZENORMALS, (DWORD)flag) == D3D_OK ? 0 : -1;
}

int G_D3D_SetLight(DWORD index, D3DLIGHT7* light, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    return s->device->SetLight(index, light) == D3D_OK ? 0 : -1;
}

int G_D3D_LightEnable(DWORD index, BOOL enable, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    return s->device->LightEnable(index, enable) == D3D_OK ? 0 : -1;
}

int G_D3D_SetMaterial(D3DMATERIAL7* material, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    return s->device->SetMaterial(material) == D3D_OK ? 0 : -1;
}

namespace {

int SetTransform(D3DTRANSFORMSTATETYPE type, const Matrix* matrix, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr || matrix == nullptr)
        return -1;
    // Matrix is 4 x 4 floats, row-major, exactly D3DMATRIX's layout.
    static_assert(sizeof(Matrix) == sizeof(D3DMATRIX), "matrix layouts");
    D3DMATRIX m;
    std::memcpy(&m, matrix, sizeof m);
    s->device->SetTransform(type, &m);
    return 0;
}

}  // namespace

int G_D3D_SetWorldTransform(const Matrix* matrix, int slot) {
    return SetTransform(D3DTRANSFORMSTATE_WORLD, matrix, slot);
}

int G_D3D_SetViewTransform(const Matrix* matrix, int slot) {
    return SetTransform(D3DTRANSFORMSTATE_VIEW, matrix, slot);
}

int G_D3D_SetProjectionTransform(const Matrix* matrix, int slot) {
    return SetTransform(D3DTRANSFORMSTATE_PROJECTION, matrix, slot);
}

// ---- scene and batches ----------------------------------------------------------------------------------

int G_D3D_BeginScene(int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    if (!s->sceneOpen)
        s->device->BeginScene();
    s->sceneOpen = 1;
    return 0;
}

int G_D3D_FlushAndEndScene(int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    if (s->sceneOpen) {
        FlushSlot(s);
        s->device->EndScene();
        s->sceneOpen = 0;
    }
    return 0;
}

int G_D3D_FlushSlotVertexBatch(int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    FlushSlot(s);
    return 0;
}

int G_D3D_FlushVertexBatch() {
    return G_D3D_FlushSlotVertexBatch(g_d3d.currentSlot);
}

void* G_D3D_ReserveVertices(int slot, int n) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return nullptr;
    if (s->stateDirty || s->textureDirty)
        G_D3D_ApplyStates(slot);
    int capacity = kD3DBatchCapacity[s->batchFormat];
    if (n < 0 || n > capacity)
        return nullptr;
    if (s->batchPrimitive == D3DPT_TRIANGLELIST && s->batchCount + n <= capacity)
        return s->batchWrite;
    FlushSlot(s);
    s->batchPrimitive = D3DPT_TRIANGLELIST;
    return s->batchWrite;
}

int G_D3D_DrawVertexGrid(const D3DVertexTex1* vertices, int columns, int rows, int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr || vertices == nullptr)
        return -1;
    constexpr int kMaxIndices = 1000;
    // One row pair must fit the list, and every vertex must be reachable by a 16-bit index.
    if (columns < 2 || rows < 2 || 2 * columns + 2 > kMaxIndices || (int64_t)columns * rows > 65536)
        return -1;
    FlushSlot(s);
    WORD list[kMaxIndices];
    int length = 0;
    // Border parameter 255 discards the grid as it discards the batch.
    auto draw = [&] {
        if (length > 0 && !s->suppressDraw)
            s->device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, kD3DFvfTex1, (void*)vertices,
                                            (DWORD)(columns * rows), list, (DWORD)length, 0);
        length = 0;
    };
    for (int row = 0; row + 1 < rows; ++row) {
        int n = row * columns;
        if (length + 2 * columns + 2 > kMaxIndices)
            draw();
        if (length > 0)
            list[length++] = (WORD)(n + columns);
        for (int i = 0; i < columns; ++i) {
            list[length++] = (WORD)(n + columns + i);
            list[length++] = (WORD)(n + i);
        }
        if (row + 2 < rows) {
            list[length] = list[length - 1];
            ++length;
        }
    }
    draw();
    return 0;
}

IDirect3DDevice7* G_D3D_GetSlotDevice(int slot) {
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    return s ? s->device : nullptr;
}

IDirect3DDevice7* G_D3D_GetCurrentDevice() {
    return G_D3D_GetSlotDevice(g_d3d.currentSlot);
}

// ---- drawing set-up ------------------------------------------------------------------------------------------

int G_D3D_SetupDrawGraphStates(const Surface3DData* piece, int flags) {
    int slot = g_d3d.currentSlot;
    D3DDeviceSlot* s = GetLiveD3DDeviceSlot(slot);
    if (s == nullptr)
        return -1;
    SetupSlotDrawGraphStates(s, slot, piece ? GetSurface3DStore(piece) : nullptr, flags);
    return 0;
}

void SetupSlotDrawGraphStates(D3DDeviceSlot* s, int slot, const SurfaceData* store, int flags) {
    const DrawState& ds = g_drawState;
    IDirectDrawSurface7* texture = store ? store->surface : nullptr;

    int colorKey = 0, alphaChannel = 0, alphaTest = 0;
    if ((flags & 1) && store) {
        if (!store->transColorUse && !store->alphaChannel)
            colorKey = 1;
        else if (ds.blendMode != 0 || (ds.filterMode == 1 && !(flags & 2)))
            alphaChannel = 1;
        else {
            alphaTest = store->transColorUse;
            alphaChannel = store->alphaChannel;
        }
    }
    int modulateColor = (flags & 0x20) || (ds.brightColor & 0xFFFFFF) != 0xFFFFFF ? 1 : 0;
    int modulateAlpha = (flags & 0x40) || ds.blendMode != 0 ? 1 : 0;
    int shade = (flags & 8) ? D3DSHADE_GOURAUD : D3DSHADE_FLAT;
    int perspective = (flags & 0x10) ? 1 : 0;

    if (s->texturePerspective != perspective)
        G_D3D_SetTexturePerspective(perspective, slot);
    if (s->modulateColor != modulateColor)
        G_D3D_SetModulateColorFlag(modulateColor, slot);
    if (s->modulateAlpha != modulateAlpha)
        G_D3D_SetModulateAlphaFlag(modulateAlpha, slot);
    if (s->texture != texture)
        G_D3D_BindTexture(texture, slot);
    if (s->shadeMode != shade)
        G_D3D_SetShadeMode(shade, slot);
    // The two setters leave unchanged values alone; asked first, a run of sprites skips
    // their slot look-ups.
    if (s->blendMode != ds.blendMode || s->alphaTest != alphaTest || s->alphaChannel != alphaChannel)
        G_D3D_SetBlendState(ds.blendMode, alphaTest, alphaChannel, slot);
    if (s->stateDirty || s->textureDirty)
        G_D3D_ApplyStates(slot);
    if (s->colorKeyEnable != colorKey || s->force)
        G_D3D_SetColorKeyEnable(colorKey, slot);

    if (flags & 4) {
        if (s->zEnable != ds.zEnable)
            G_D3D_SetZEnable(ds.zEnable, slot);
        if (s->zWriteEnable != ds.zWriteEnable)
            G_D3D_SetZWriteEnable(ds.zWriteEnable, slot);
    } else if (s->zEnable) {
        G_D3D_SetZEnable(0, slot);
    }
}
