// kernel/controls.cpp: the environment variables behind testing.h's controls, and the
// reset of every control. This is the only file that reads the environment. Any thread.
#include "kernel/controls.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unistd.h>

#include "backend/null/null_backend.h"

#include "platform/testing.h"

namespace kernel {

bool EnvironmentAsksFastClock() {
    const char* clock = std::getenv("QZ_CLOCK");
    return clock != nullptr && std::strcmp(clock, "fast") == 0;
}

const char* EnvironmentTempFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr ? folder : "";
}

const char* EnvironmentAudioCapture() {
    const char* file = std::getenv("QZ_AUDIO_CAPTURE");
    return file != nullptr ? file : "";
}

const char* EnvironmentInputScript() {
    const char* file = std::getenv("QZ_INPUT");
    return file != nullptr ? file : "";
}

const char* EnvironmentCaptureFolder() {
    const char* folder = std::getenv("QZ_CAPTURE");
    return folder != nullptr ? folder : "";
}

const char* EnvironmentFrameHashLog() {
    const char* file = std::getenv("QZ_FRAMEHASH");
    return file != nullptr ? file : "";
}

const char* EnvironmentScreenshots() {
    const char* list = std::getenv("QZ_SCREENSHOT");
    return list != nullptr ? list : "";
}

}  // namespace kernel

namespace ptest {

const char* GetBackendName() {
    const char* name = std::getenv("QZ_BACKEND");
    return (name != nullptr && std::strcmp(name, "null") == 0) ? "null" : "sdl";
}

void ResetControls() {
    kernel::ResetClockControls();
    kernel::ResetDebugControls();
    kernel::ResetSystemControls();
    kernel::ResetCpuControls();
    kernel::ResetFileControls();
    kernel::ResetAudioControls();
    kernel::ResetWindowControls();
    kernel::ResetGraphicsControls();
    kernel::ResetD3DControls();
    kernel::ResetInputControls();
    kernel::ResetFontControls();
    kernel::ResetWinSockControls();
    kernel::ResetResolverControls();
    ClearFaults();
}

}  // namespace ptest

// ---- windows: the message box's answer and the second-instance lock folder ---------------
namespace {

std::mutex g_windowControlLock;
bool g_messageBoxAnswerSet = false;
ptest::MessageBoxAnswer g_messageBoxAnswer = ptest::MessageBoxAnswer::Show;
std::string g_windowLockFolder;  // "": the environment's

}  // namespace

namespace kernel {

void ResetWindowControls() {
    {
        std::lock_guard<std::mutex> hold(g_windowControlLock);
        g_messageBoxAnswerSet = false;
        g_windowLockFolder.clear();
    }
    backend::ResetNullDesktop();
}

}  // namespace kernel

namespace ptest {

void SetMessageBoxAnswer(MessageBoxAnswer answer) {
    std::lock_guard<std::mutex> hold(g_windowControlLock);
    g_messageBoxAnswer = answer;
    g_messageBoxAnswerSet = true;
}

MessageBoxAnswer GetMessageBoxAnswer() {
    std::lock_guard<std::mutex> hold(g_windowControlLock);
    if (g_messageBoxAnswerSet) return g_messageBoxAnswer;
    const char* answer = std::getenv("QZ_MSGBOX");
    if (answer != nullptr && std::strcmp(answer, "yes") == 0) return MessageBoxAnswer::Yes;
    if (answer != nullptr && std::strcmp(answer, "no") == 0) return MessageBoxAnswer::No;
    return MessageBoxAnswer::Show;
}

void SetWindowLockFolder(const std::string& folder) {
    std::lock_guard<std::mutex> hold(g_windowControlLock);
    g_windowLockFolder = folder;
}

std::string GetWindowLockFolder() {
    std::lock_guard<std::mutex> hold(g_windowControlLock);
    if (!g_windowLockFolder.empty()) return g_windowLockFolder;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') return runtime;
    return "/tmp/qzlib-" + std::to_string(getuid());
}

}  // namespace ptest
