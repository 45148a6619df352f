// d3d/device.cpp: IDirect3DDevice7 over the DirectDraw layer's surfaces. It stores every
// state (a new device starts in Direct3D 7's defaults), refuses the values the rasterizer
// does not implement, keeps the scene bracket, and draws within each DrawPrimitive call
// through the rasterizer (d3d/raster.h), straight into the target's memory. Transforms,
// lights and the material are stored only: the vertices come transformed. Main thread.
//
// Refusals: a blend factor other than ZERO, ONE, SRCCOLOR, SRCALPHA, INVSRCALPHA and
// INVDESTCOLOR; addressing other than CLAMP; a stage operation other than DISABLE,
// SELECTARG1/2, MODULATE, MODULATE2X/4X, ADD and SUBTRACT; an argument other than
// DIFFUSE, CURRENT, TEXTURE, TFACTOR and SPECULAR (no modifiers). Drawing outside a
// scene, with another primitive type or layout, or with an index past the vertex count
// draws nothing. A target or texture that is lost gives DDERR_SURFACELOST, one held by
// Lock or GetDC DDERR_SURFACEBUSY, a texture that is the target DDERR_INVALIDPARAMS.
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "com/unknown.h"
#include "d3d/controls.h"
#include "d3d/hook.h"
#include "d3d/raster.h"
#include "d3d/surfaces.h"
#include "kernel/diag.h"

namespace d3d {

namespace {

constexpr int kRenderStates = 256;
constexpr int kStageStates = 25;

uint64_t Address(const void* p) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)); }

uint32_t FloatBits(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    return v;
}

class Device;
std::set<Device*>& LiveDevices() {
    static std::set<Device*> devices;
    return devices;
}

class Device final : public IDirect3DDevice7 {
public:
    Device(IDirect3D7* owner, IDirectDrawSurface7* target, const SurfaceInfo& info) : owner_(owner), target_(target) {
        owner_->AddRef();
        target_->AddRef();
        SetDefaults(HasAttachedZBuffer(target));
        viewport_ = {0, 0, static_cast<DWORD>(info.width), static_cast<DWORD>(info.height), 0.0f, 1.0f};
        LiveDevices().insert(this);
    }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerAs<IDirect3DDevice7>(this, iid, object, {IID_IDirect3DDevice7});
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0) {
            LiveDevices().erase(this);
            for (IDirectDrawSurface7*& t : textures_)
                if (t != nullptr) t->Release();
            target_->Release();
            owner_->Release();
            delete this;
        }
        return left;
    }

    // ---- enumeration and scenes ----
    HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) override {
        if (callback == nullptr) return Log("EnumTextureFormats", {}, DDERR_INVALIDPARAMS);
        if (kernel::ConsumeFault("EnumTextureFormats")) return Log("EnumTextureFormats", {}, DDERR_GENERIC);
        for (DDPIXELFORMAT f : EnumeratedTextureFormats())
            if (callback(&f, context) == D3DENUMRET_CANCEL) break;
        return Log("EnumTextureFormats", {}, D3D_OK);
    }

    HRESULT BeginScene() override {
        HRESULT hr = inScene_ ? D3DERR_SCENE_IN_SCENE : D3D_OK;
        if (hr == D3D_OK) inScene_ = true;
        return Log("BeginScene", {}, hr);
    }

    // With the primary surface as target, the end of the scene presents it like any
    // other write to the primary.
    HRESULT EndScene() override {
        HRESULT hr = inScene_ ? D3D_OK : D3DERR_SCENE_NOT_IN_SCENE;
        if (hr == D3D_OK) {
            inScene_ = false;
            AfterWrite(target_);
        }
        return Log("EndScene", {}, hr);
    }

    // ---- targets, viewport, stored-only states ----
    HRESULT SetRenderTarget(LPDIRECTDRAWSURFACE7 surface, DWORD flags) override {
        SurfaceInfo info;
        HRESULT hr = D3D_OK;
        if (!DescribeSurface(surface, &info))
            hr = DDERR_INVALIDPARAMS;
        else if (!info.formatKnown)
            hr = DDERR_INVALIDPIXELFORMAT;
        if (hr == D3D_OK && surface != target_) {
            surface->AddRef();
            target_->Release();
            target_ = surface;  // the viewport stays
        }
        return Log("SetRenderTarget", {Address(surface), flags}, hr);
    }

    HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, LPD3DMATRIX matrix) override {
        HRESULT hr = matrix == nullptr ? DDERR_INVALIDPARAMS : D3D_OK;
        if (hr == D3D_OK) transforms_[type] = *matrix;
        return Log("SetTransform", {static_cast<uint64_t>(type), Address(matrix)}, hr);
    }

    HRESULT SetViewport(LPD3DVIEWPORT7 viewport) override {
        HRESULT hr = D3D_OK;
        if (viewport == nullptr || viewport->dwWidth == 0 || viewport->dwHeight == 0)
            hr = DDERR_INVALIDPARAMS;
        else if (kernel::ConsumeFault("SetViewport"))
            hr = DDERR_GENERIC;
        if (hr == D3D_OK) viewport_ = *viewport;
        std::vector<uint64_t> args;
        if (viewport != nullptr)
            args = {viewport->dwX, viewport->dwY, viewport->dwWidth, viewport->dwHeight, FloatBits(viewport->dvMinZ),
                    FloatBits(viewport->dvMaxZ)};
        return Log("SetViewport", std::move(args), hr);
    }

    HRESULT SetMaterial(LPD3DMATERIAL7 material) override {
        HRESULT hr = material == nullptr ? DDERR_INVALIDPARAMS : D3D_OK;
        if (hr == D3D_OK) material_ = *material;
        return Log("SetMaterial", {Address(material)}, hr);
    }

    HRESULT SetLight(DWORD index, LPD3DLIGHT7 light) override {
        HRESULT hr = light == nullptr ? DDERR_INVALIDPARAMS : D3D_OK;
        if (hr == D3D_OK) lights_[index] = *light;
        return Log("SetLight", {index, Address(light)}, hr);
    }

    HRESULT LightEnable(DWORD index, BOOL enable) override {
        lightsOn_[index] = enable != 0;
        return Log("LightEnable", {index, static_cast<uint64_t>(enable)}, D3D_OK);
    }

    // ---- states ----
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
        HRESULT hr = D3D_OK;
        uint32_t index = static_cast<uint32_t>(state);
        if (index == 0 || index >= kRenderStates)
            hr = DDERR_INVALIDPARAMS;
        else if ((state == D3DRENDERSTATE_SRCBLEND || state == D3DRENDERSTATE_DESTBLEND) && !IsSupportedFactor(value))
            hr = DDERR_INVALIDPARAMS;
        if (hr == D3D_OK) rs_[index] = value;
        return Log("SetRenderState", {static_cast<uint64_t>(state), value}, hr);
    }

    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override {
        HRESULT hr = D3D_OK;
        uint32_t index = static_cast<uint32_t>(type);
        if (stage >= kStages || index == 0 || index >= kStageStates) {
            hr = DDERR_INVALIDPARAMS;
        } else if (kernel::ConsumeFault("SetTextureStageState")) {
            hr = DDERR_GENERIC;
        } else {
            switch (type) {
            case D3DTSS_COLOROP:
            case D3DTSS_ALPHAOP:
                if (!IsSupportedOp(value)) hr = DDERR_INVALIDPARAMS;
                break;
            case D3DTSS_COLORARG1:
            case D3DTSS_COLORARG2:
            case D3DTSS_ALPHAARG1:
            case D3DTSS_ALPHAARG2:
                if (!IsSupportedArg(value)) hr = DDERR_INVALIDPARAMS;
                break;
            case D3DTSS_ADDRESS:
            case D3DTSS_ADDRESSU:
            case D3DTSS_ADDRESSV:
                if (value != D3DTADDRESS_CLAMP) hr = DDERR_INVALIDPARAMS;
                break;
            default:
                break;
            }
        }
        if (hr == D3D_OK) {
            tss_[stage][index] = value;
            if (type == D3DTSS_ADDRESS) tss_[stage][D3DTSS_ADDRESSU] = tss_[stage][D3DTSS_ADDRESSV] = value;
        }
        return Log("SetTextureStageState", {stage, static_cast<uint64_t>(type), value}, hr);
    }

    HRESULT SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 texture) override {
        HRESULT hr = D3D_OK;
        SurfaceInfo info;
        if (stage >= kStages)
            hr = DDERR_INVALIDPARAMS;
        else if (texture != nullptr && !DescribeSurface(texture, &info))
            hr = DDERR_INVALIDPARAMS;
        else if (texture != nullptr && !info.formatKnown)
            hr = DDERR_INVALIDPIXELFORMAT;
        if (hr == D3D_OK && textures_[stage] != texture) {
            if (texture != nullptr) texture->AddRef();
            if (textures_[stage] != nullptr) textures_[stage]->Release();
            textures_[stage] = texture;
        }
        return Log("SetTexture", {stage, Address(texture)}, hr);
    }

    // ---- drawing ----
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD count, DWORD flags) override {
        HRESULT hr = Draw(type, fvf, vertices, count, nullptr, 0);
        if (RecordingCalls()) {
            ptest::D3DCall call{"DrawPrimitive", {static_cast<uint64_t>(type), fvf, count, flags}, hr, {}, {}};
            CopyVertices(&call, fvf, vertices, count);
            NoteCall(std::move(call));
        }
        return hr;
    }

    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD vertexCount, LPWORD indices,
                                 DWORD indexCount, DWORD flags) override {
        HRESULT hr = D3D_OK;
        if (indexCount > 0 && indices == nullptr) hr = DDERR_INVALIDPARAMS;
        for (DWORD k = 0; hr == D3D_OK && k < indexCount; ++k)
            if (indices[k] >= vertexCount) hr = DDERR_INVALIDPARAMS;
        if (hr == D3D_OK) hr = Draw(type, fvf, vertices, vertexCount, indices, indexCount);
        if (RecordingCalls()) {
            ptest::D3DCall call{"DrawIndexedPrimitive",
                                {static_cast<uint64_t>(type), fvf, vertexCount, indexCount, flags}, hr, {}, {}};
            CopyVertices(&call, fvf, vertices, vertexCount);
            if (indices != nullptr) call.indices.assign(indices, indices + indexCount);
            NoteCall(std::move(call));
        }
        return hr;
    }

    // A rectangle copy between two textures of one format.
    HRESULT Load(LPDIRECTDRAWSURFACE7 dst, LPPOINT point, LPDIRECTDRAWSURFACE7 src, LPRECT rect, DWORD flags) override {
        SurfaceInfo to, from;
        HRESULT hr = D3D_OK;
        if (!DescribeSurface(dst, &to) || !DescribeSurface(src, &from))
            hr = DDERR_INVALIDPARAMS;
        else if (!to.alive || !from.alive)
            hr = DDERR_INVALIDOBJECT;
        else if (ConsumeLoadBusy())
            hr = DDERR_SURFACEBUSY;
        else if (to.lost || from.lost)
            hr = DDERR_SURFACELOST;
        else if (to.busy || from.busy)
            hr = DDERR_SURFACEBUSY;
        else if (!to.formatKnown || !from.formatKnown || to.format != from.format)
            hr = DDERR_INVALIDPIXELFORMAT;
        RECT r = rect != nullptr ? *rect : RECT{0, 0, from.width, from.height};
        POINT p = point != nullptr ? *point : POINT{0, 0};
        if (hr == D3D_OK) {
            int64_t w = static_cast<int64_t>(r.right) - r.left, h = static_cast<int64_t>(r.bottom) - r.top;
            if (r.left < 0 || r.top < 0 || w <= 0 || h <= 0 || r.right > from.width || r.bottom > from.height ||
                p.x < 0 || p.y < 0 || p.x + w > to.width || p.y + h > to.height)
                hr = DDERR_INVALIDRECT;
        }
        if (hr == D3D_OK) {
            int bytes = BytesPerPixel(from.format);
            size_t rowBytes = static_cast<size_t>(r.right - r.left) * bytes;
            for (LONG y = r.top; y < r.bottom; ++y)
                std::memmove(to.pixels + static_cast<intptr_t>(p.y + (y - r.top)) * to.pitch + static_cast<intptr_t>(p.x) * bytes,
                             from.pixels + static_cast<intptr_t>(y) * from.pitch + static_cast<intptr_t>(r.left) * bytes,
                             rowBytes);
        }
        return Log("Load", {Address(dst), static_cast<uint64_t>(p.x), static_cast<uint64_t>(p.y), Address(src),
                            static_cast<uint64_t>(r.left), static_cast<uint64_t>(r.top),
                            static_cast<uint64_t>(r.right), static_cast<uint64_t>(r.bottom), flags},
                   hr);
    }

    void Describe(ptest::D3DDeviceState* out) const {
        std::copy(std::begin(rs_), std::end(rs_), out->renderStates);
        for (int k = 0; k < kStages; ++k) std::copy(std::begin(tss_[k]), std::end(tss_[k]), out->stageStates[k]);
        std::copy(std::begin(textures_), std::end(textures_), out->textures);
        out->target = target_;
        out->viewport = viewport_;
        out->inScene = inScene_;
    }

private:
    ~Device() = default;

    HRESULT Log(const char* method, std::vector<uint64_t> args, HRESULT result) {
        if (RecordingCalls()) NoteCall(ptest::D3DCall{method, std::move(args), result, {}, {}});
        return result;
    }

    static void CopyVertices(ptest::D3DCall* call, DWORD fvf, LPVOID vertices, DWORD count) {
        int stride = VertexStride(fvf);
        if (vertices != nullptr && stride > 0) {
            const uint8_t* b = static_cast<const uint8_t*>(vertices);
            call->vertices.assign(b, b + static_cast<size_t>(stride) * count);
        }
    }

    // Direct3D 7's defaults.
    void SetDefaults(bool depthBuffer) {
        std::fill(std::begin(rs_), std::end(rs_), 0u);
        rs_[D3DRENDERSTATE_TEXTUREPERSPECTIVE] = TRUE;
        rs_[D3DRENDERSTATE_ZENABLE] = depthBuffer ? D3DZB_TRUE : D3DZB_FALSE;
        rs_[D3DRENDERSTATE_FILLMODE] = 3;  // solid
        rs_[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
        rs_[D3DRENDERSTATE_ZWRITEENABLE] = TRUE;
        rs_[D3DRENDERSTATE_LASTPIXEL] = TRUE;
        rs_[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
        rs_[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
        rs_[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
        rs_[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
        rs_[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_ALWAYS;
        rs_[37] = FloatBits(1.0f);  // FOGEND
        rs_[38] = FloatBits(1.0f);  // FOGDENSITY
        rs_[56] = D3DCMP_ALWAYS;    // STENCILFUNC
        rs_[53] = rs_[54] = rs_[55] = 1;  // STENCILFAIL, STENCILZFAIL, STENCILPASS: KEEP
        rs_[58] = rs_[59] = 0xFFFFFFFFu;  // STENCILMASK, STENCILWRITEMASK
        rs_[D3DRENDERSTATE_TEXTUREFACTOR] = 0xFFFFFFFFu;
        rs_[D3DRENDERSTATE_CLIPPING] = TRUE;
        rs_[D3DRENDERSTATE_LIGHTING] = TRUE;
        rs_[D3DRENDERSTATE_COLORVERTEX] = TRUE;
        rs_[142] = TRUE;  // LOCALVIEWER
        rs_[145] = 1;     // DIFFUSEMATERIALSOURCE: COLOR1
        rs_[146] = 2;     // SPECULARMATERIALSOURCE: COLOR2
        for (int k = 0; k < kStages; ++k) {
            DWORD* s = tss_[k];
            std::fill(s, s + kStageStates, 0u);
            s[D3DTSS_COLOROP] = k == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
            s[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
            s[D3DTSS_COLORARG2] = D3DTA_CURRENT;
            s[D3DTSS_ALPHAOP] = k == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
            s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
            s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
            s[D3DTSS_TEXCOORDINDEX] = static_cast<DWORD>(k);
            s[D3DTSS_ADDRESS] = s[D3DTSS_ADDRESSU] = s[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
            s[D3DTSS_MAGFILTER] = D3DTFG_POINT;
            s[D3DTSS_MINFILTER] = D3DTFN_POINT;
            s[D3DTSS_MIPFILTER] = 1;  // none
            s[21] = 1;                // MAXANISOTROPY
        }
    }

    static bool ToPrimitive(D3DPRIMITIVETYPE type, Primitive* out) {
        switch (type) {
        case D3DPT_TRIANGLELIST: *out = Primitive::TriangleList; return true;
        case D3DPT_TRIANGLESTRIP: *out = Primitive::TriangleStrip; return true;
        case D3DPT_LINELIST: *out = Primitive::LineList; return true;
        default: return false;
        }
    }

    HRESULT Draw(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD vertexCount, const WORD* indices,
                 DWORD indexCount) {
        Primitives prims;
        if (!ToPrimitive(type, &prims.type) || VertexStride(fvf) == 0 || (vertices == nullptr && vertexCount > 0))
            return DDERR_INVALIDPARAMS;
        if (!inScene_) return D3DERR_SCENE_NOT_IN_SCENE;
        SurfaceInfo target;
        DescribeSurface(target_, &target);
        if (!target.alive) return DDERR_INVALIDOBJECT;
        if (target.lost) return DDERR_SURFACELOST;
        if (target.busy) return DDERR_SURFACEBUSY;

        RasterState st;
        for (int k = 0; k < kStages; ++k) {
            const DWORD* s = tss_[k];
            st.stages[k] = {s[D3DTSS_COLOROP],  s[D3DTSS_COLORARG1],          s[D3DTSS_COLORARG2],
                            s[D3DTSS_ALPHAOP],  s[D3DTSS_ALPHAARG1],          s[D3DTSS_ALPHAARG2],
                            s[D3DTSS_TEXCOORDINDEX] & 0xFFFF, s[D3DTSS_MAGFILTER], s[D3DTSS_MINFILTER]};
        }
        // Textures of the stages that run.
        for (int k = 0; k < kStages && st.stages[k].colorOp != D3DTOP_DISABLE; ++k) {
            if (textures_[k] == nullptr) continue;
            if (textures_[k] == target_) return DDERR_INVALIDPARAMS;
            SurfaceInfo tex;
            if (!DescribeSurface(textures_[k], &tex) || !tex.alive) return DDERR_INVALIDOBJECT;
            if (tex.lost) return DDERR_SURFACELOST;
            if (tex.busy) return DDERR_SURFACEBUSY;
            if (!tex.formatKnown) return DDERR_INVALIDPIXELFORMAT;
            st.textures[k] = {tex.pixels, tex.pitch, tex.width, tex.height, tex.format, tex.keyed, tex.key};
        }
        st.alphaTest = rs_[D3DRENDERSTATE_ALPHATESTENABLE] != 0;
        st.alphaRef = rs_[D3DRENDERSTATE_ALPHAREF];
        st.alphaFunc = rs_[D3DRENDERSTATE_ALPHAFUNC];
        st.blend = rs_[D3DRENDERSTATE_ALPHABLENDENABLE] != 0;
        st.srcBlend = rs_[D3DRENDERSTATE_SRCBLEND];
        st.destBlend = rs_[D3DRENDERSTATE_DESTBLEND];
        st.colorKey = rs_[D3DRENDERSTATE_COLORKEYENABLE] != 0;
        st.gouraud = rs_[D3DRENDERSTATE_SHADEMODE] != D3DSHADE_FLAT;
        st.textureFactor = rs_[D3DRENDERSTATE_TEXTUREFACTOR];
        st.viewX = viewport_.dwX;
        st.viewY = viewport_.dwY;
        st.viewWidth = viewport_.dwWidth;
        st.viewHeight = viewport_.dwHeight;

        prims.fvf = fvf;
        prims.vertices = vertices;
        prims.vertexCount = vertexCount;
        prims.indices = indices;
        prims.indexCount = indexCount;
        TargetView view{target.pixels, target.pitch, target.width, target.height, target.format};
        d3d::Draw(view, st, prims, DefaultRasterPath());
        return D3D_OK;
    }

    IDirect3D7* owner_;
    IDirectDrawSurface7* target_;
    IDirectDrawSurface7* textures_[kStages] = {};
    ULONG refs_ = 1;
    DWORD rs_[kRenderStates] = {};
    DWORD tss_[kStages][kStageStates] = {};
    D3DVIEWPORT7 viewport_ = {};
    bool inScene_ = false;
    std::map<int, D3DMATRIX> transforms_;
    std::map<DWORD, D3DLIGHT7> lights_;
    std::map<DWORD, bool> lightsOn_;
    D3DMATERIAL7 material_ = {};
};

}  // namespace

HRESULT CreateDeviceOn(IDirect3D7* owner, IDirectDrawSurface7* target, IDirect3DDevice7** device) {
    SurfaceInfo info;
    if (!DescribeSurface(target, &info)) return DDERR_INVALIDPARAMS;
    if (!info.alive) return DDERR_INVALIDOBJECT;
    if (!info.formatKnown) return DDERR_INVALIDPIXELFORMAT;
    if (info.lost) return DDERR_SURFACELOST;
    *device = new Device(owner, target, info);
    return D3D_OK;
}

}  // namespace d3d

namespace ptest {

bool GetD3DDeviceState(IDirect3DDevice7* device, D3DDeviceState* state) {
    for (d3d::Device* d : d3d::LiveDevices()) {
        if (static_cast<IDirect3DDevice7*>(d) == device) {
            d->Describe(state);
            return true;
        }
    }
    return false;
}

void MarkAllSurfacesLost() { d3d::MarkEverySurfaceLost(); }

}  // namespace ptest
