// d3d/controls.h: the Direct3D layer's test controls (declared for tests in testing.h):
// what the enumerations answer, the forced general path, busy Loads and the call log.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d.h"
#include "platform/testing.h"

namespace d3d {

// ptest::ForceD3DGeneralPath: draws take the reference path (scalar, no fast paths).
bool GeneralPathForced();

// The devices, depth formats and texture formats the enumerations give: the scripted
// ones, else the platform's own.
std::vector<ptest::D3DDeviceScript> EnumeratedDevices();
std::vector<DDPIXELFORMAT> EnumeratedZBufferFormats();
std::vector<DDPIXELFORMAT> EnumeratedTextureFormats();

// True while ptest::SetD3DLoadBusy still has Loads to refuse (counts one down).
bool ConsumeLoadBusy();

// The call log.
bool RecordingCalls();
void NoteCall(ptest::D3DCall call);

}  // namespace d3d
