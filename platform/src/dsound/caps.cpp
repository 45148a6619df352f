// dsound/caps.cpp: what the device says it can do, and the test override of it.
#include <mutex>

#include "dsound/mixer.h"
#include "dsound/objects.h"
#include "platform/testing.h"

namespace dsound {
namespace {

std::mutex g_capsLock;
bool g_overridden = false;
DSCAPS g_override = {};

}  // namespace

DSCAPS CurrentCaps() {
    std::lock_guard<std::mutex> hold(g_capsLock);
    DSCAPS caps = {};
    if (g_overridden) {
        caps = g_override;
    } else {
        caps.dwFlags = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY8BIT | DSCAPS_PRIMARY16BIT |
                       DSCAPS_SECONDARYMONO | DSCAPS_SECONDARYSTEREO | DSCAPS_SECONDARY8BIT | DSCAPS_SECONDARY16BIT;
        caps.dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
        caps.dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
        caps.dwPrimaryBuffers = 1;
    }
    caps.dwSize = sizeof(DSCAPS);
    return caps;
}

void ResetCapsOverride() {
    std::lock_guard<std::mutex> hold(g_capsLock);
    g_overridden = false;
}

}  // namespace dsound

namespace ptest {

void OverrideSoundCaps(const DSCAPS* caps) {
    std::lock_guard<std::mutex> hold(dsound::g_capsLock);
    dsound::g_overridden = caps != nullptr;
    if (caps != nullptr) dsound::g_override = *caps;
}

AudioOutputFormat GetAudioOutputFormat() {
    dsound::OutputFormat f = dsound::GetOutputFormat();
    AudioOutputFormat out;
    out.rate = f.rate;
    out.channels = f.channels;
    out.bits = f.bits;
    return out;
}

}  // namespace ptest
