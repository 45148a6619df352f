// d3d/direct3d.cpp: the Direct3D object: device, depth-format enumeration and device
// creation. What it enumerates is the platform's own list or a test's script
// (d3d/controls.cpp). Main thread.
#include <cstring>
#include <vector>

#include "com/unknown.h"
#include "d3d/controls.h"
#include "d3d/hook.h"
#include "kernel/diag.h"

const IID IID_IDirect3D7 = {0xF5049E77, 0x4861, 0x11D2, {0xA4, 0x07, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};
const IID IID_IDirect3DDevice7 = {0xF5049E79, 0x4861, 0x11D2, {0xA4, 0x07, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};
const IID IID_IDirect3DHALDevice = {0x84E63DE0, 0x46AA, 0x11CF, {0x81, 0x6F, 0x00, 0x00, 0xC0, 0x20, 0x15, 0x6E}};
const IID IID_IDirect3DTnLHalDevice = {0xF5049E78, 0x4861, 0x11D2, {0xA4, 0x07, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};

namespace d3d {

namespace {

uint64_t Address(const void* p) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)); }

HRESULT Logged(const char* method, std::vector<uint64_t> args, HRESULT result) {
    if (RecordingCalls()) {
        ptest::D3DCall call;
        call.method = method;
        call.args = std::move(args);
        call.result = result;
        NoteCall(std::move(call));
    }
    return result;
}

class Direct3D final : public IDirect3D7 {
public:
    explicit Direct3D(IDirectDraw7* owner) : owner_(owner) { owner_->AddRef(); }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerAs<IDirect3D7>(this, iid, object, {IID_IDirect3D7});
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0) {
            owner_->Release();
            delete this;
        }
        return left;
    }

    HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, LPVOID context) override {
        if (callback == nullptr) return Logged("EnumDevices", {}, DDERR_INVALIDPARAMS);
        if (kernel::ConsumeFault("EnumDevices")) return Logged("EnumDevices", {}, DDERR_GENERIC);
        for (const ptest::D3DDeviceScript& d : EnumeratedDevices()) {
            // The callback may write into what it is given: copies.
            std::vector<char> description(d.description.begin(), d.description.end());
            std::vector<char> name(d.name.begin(), d.name.end());
            description.push_back('\0');
            name.push_back('\0');
            D3DDEVICEDESC7 desc = d.desc;
            if (callback(description.data(), name.data(), &desc, context) == D3DENUMRET_CANCEL) break;
        }
        return Logged("EnumDevices", {}, D3D_OK);
    }

    HRESULT CreateDevice(REFCLSID guid, LPDIRECTDRAWSURFACE7 target, LPDIRECT3DDEVICE7* device) override {
        HRESULT hr = D3D_OK;
        if (device == nullptr) {
            hr = DDERR_INVALIDPARAMS;
        } else {
            *device = nullptr;
            bool known = false;
            for (const ptest::D3DDeviceScript& d : EnumeratedDevices()) known = known || d.desc.deviceGUID == guid;
            if (kernel::ConsumeFault("CreateDevice"))
                hr = DDERR_GENERIC;
            else if (!known)
                hr = DDERR_INVALIDPARAMS;
            else
                hr = CreateDeviceOn(this, target, device);
        }
        return Logged("CreateDevice", {Address(&guid), Address(target)}, hr);
    }

    HRESULT EnumZBufferFormats(REFCLSID guid, LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) override {
        if (callback == nullptr) return Logged("EnumZBufferFormats", {Address(&guid)}, DDERR_INVALIDPARAMS);
        if (kernel::ConsumeFault("EnumZBufferFormats")) return Logged("EnumZBufferFormats", {Address(&guid)}, DDERR_GENERIC);
        bool known = guid == IID_IDirect3DHALDevice || guid == IID_IDirect3DTnLHalDevice;
        for (const ptest::D3DDeviceScript& d : EnumeratedDevices()) known = known || d.desc.deviceGUID == guid;
        if (!known) return Logged("EnumZBufferFormats", {Address(&guid)}, DDERR_INVALIDPARAMS);
        for (DDPIXELFORMAT f : EnumeratedZBufferFormats())
            if (callback(&f, context) == D3DENUMRET_CANCEL) break;
        return Logged("EnumZBufferFormats", {Address(&guid)}, D3D_OK);
    }

private:
    ~Direct3D() = default;

    IDirectDraw7* owner_;
    ULONG refs_ = 1;
};

}  // namespace

HRESULT QueryDirect3D(IDirectDraw7* owner, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (kernel::ConsumeFault("QueryDirect3D")) return Logged("QueryInterface", {}, E_NOINTERFACE);
    *object = static_cast<IDirect3D7*>(new Direct3D(owner));
    return Logged("QueryInterface", {}, S_OK);
}

}  // namespace d3d
