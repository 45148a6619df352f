// input_support.h: a window in front and DirectInput objects for the input layer's tests
// on the headless backend.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "platform/dinput.h"
#include "platform/testing.h"
#include "platform/win32.h"

namespace inputtest {

struct Message {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline std::vector<Message>& Seen() {
    static std::vector<Message> seen;
    return seen;
}

inline LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Seen().push_back({message, wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

// Takes, translates and dispatches what the thread has.
inline void PumpAll() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The messages seen of these kinds, oldest first; clears what was seen.
inline std::vector<Message> Take(std::vector<UINT> kinds) {
    std::vector<Message> out;
    for (const Message& m : Seen())
        for (UINT k : kinds)
            if (m.message == k) out.push_back(m);
    Seen().clear();
    return out;
}

// A shown window, which the headless desktop puts in front; DirectInput with COM.
class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ptest::ResetControls();
        ptest::SetWindowLockFolder(dir_.path());
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = "QzInputTest";
        ASSERT_NE(RegisterClassExA(&wc), 0);
        window = CreateWindowExA(0, "QzInputTest", "input", WS_POPUP | WS_VISIBLE, 0, 0, 320, 240, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        PumpAll();
        Seen().clear();
        ASSERT_EQ(GetForegroundWindow(), window);
        CoInitialize(nullptr);
    }
    void TearDown() override {
        if (di) di->Release();
        CoUninitialize();
        ptest::ResetControls();
    }

    IDirectInput7A* Start() {
        EXPECT_EQ(CoCreateInstance(CLSID_DirectInput, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectInput7A,
                                   reinterpret_cast<void**>(&di)),
                  S_OK);
        EXPECT_EQ(di->Initialize(GetModuleHandleA(nullptr), 0x700), DI_OK);
        return di;
    }

    // The attached pads' instances, in enumeration order.
    std::vector<DIDEVICEINSTANCEA> Pads() {
        std::vector<DIDEVICEINSTANCEA> pads;
        di->EnumDevices(
            DIDEVTYPE_JOYSTICK,
            [](LPCDIDEVICEINSTANCEA instance, LPVOID context) -> BOOL {
                static_cast<std::vector<DIDEVICEINSTANCEA>*>(context)->push_back(*instance);
                return DIENUM_CONTINUE;
            },
            &pads, DIEDFL_ATTACHEDONLY);
        return pads;
    }

    // A pad device as the library sets one up: joystick format, exclusive foreground,
    // range -1000..1000 and a quarter dead zone on X and Y, acquired.
    IDirectInputDevice7A* OpenPad(int index, bool library = true) {
        std::vector<DIDEVICEINSTANCEA> pads = Pads();
        if (index >= static_cast<int>(pads.size())) return nullptr;
        IDirectInputDevice7A* device = nullptr;
        if (FAILED(di->CreateDeviceEx(pads[index].guidInstance, IID_IDirectInputDevice7A,
                                      reinterpret_cast<void**>(&device), nullptr)))
            return nullptr;
        EXPECT_EQ(device->SetDataFormat(&c_dfDIJoystick), DI_OK);
        EXPECT_EQ(device->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
        if (library) {
            for (DWORD axis : {DIJOFS_X, DIJOFS_Y}) {
                DIPROPRANGE range = {{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), axis, DIPH_BYOFFSET}, -1000, 1000};
                EXPECT_EQ(device->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
                DIPROPDWORD zone = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), axis, DIPH_BYOFFSET}, 2500};
                EXPECT_EQ(device->SetProperty(DIPROP_DEADZONE, &zone.diph), DI_OK);
            }
        }
        EXPECT_EQ(device->Acquire(), DI_OK);
        return device;
    }

    static DIJOYSTATE Read(IDirectInputDevice7A* device, HRESULT* result = nullptr) {
        DIJOYSTATE state;
        std::memset(&state, 0xCD, sizeof state);
        HRESULT r = device->GetDeviceState(sizeof state, &state);
        if (result) *result = r;
        return state;
    }

    qztest::TempDir dir_;
    HWND window = nullptr;
    IDirectInput7A* di = nullptr;
};

}  // namespace inputtest
