// QzInputStandIns.cpp: stand-ins for the input devices and key input (see the header).
#include "QzInputStandIns.h"

#include <mutex>

#include "QzStandIn.h"

namespace {

std::mutex& PushedLock() {
    static std::mutex& lock = *new std::mutex;
    return lock;
}

std::vector<int>& Pushed() {
    static auto& pushed = *new std::vector<int>;
    return pushed;
}

}  // namespace

int InitializeInputSystem() { return StandInCall("InitializeInputSystem", 0); }
int TerminateInputSystem() { return StandInCall("TerminateInputSystem", 0); }
int ReacquireInputDevices() { return StandInCall("ReacquireInputDevices", 0); }
int ApplyPadVibration() { return StandInCall("ApplyPadVibration", 0); }
int UpdatePadVibrationTimers() { return StandInCall("UpdatePadVibrationTimers", 0); }

int InitializeCharCodeBuffer() { return StandInCall("InitializeCharCodeBuffer", 0); }

int PushInputChar(int byte) {
    {
        std::lock_guard<std::mutex> hold(PushedLock());
        Pushed().push_back(byte);
    }
    return StandInCall("PushInputChar", 0);
}

int IsInputCharBufferFull() { return StandInCall("IsInputCharBufferFull", 0); }

LRESULT HandleImeMessage(HWND, UINT, WPARAM, LPARAM) { return StandInCall("HandleImeMessage", 0); }

int ProcessActiveTextInput() { return StandInCall("ProcessActiveTextInput", 0); }
int DeleteAllTextInputData() { return StandInCall("DeleteAllTextInputData", 0); }

std::vector<int> StandInPushedChars() {
    std::lock_guard<std::mutex> hold(PushedLock());
    return Pushed();
}

void ClearStandInPushedChars() {
    std::lock_guard<std::mutex> hold(PushedLock());
    Pushed().clear();
}
