// dinput/objects.h: the DirectInput class behind dinput.h, for the COM factory.
#pragma once

#include "platform/dinput.h"

namespace input {

// CoCreateInstance(CLSID_DirectInput): an object still to be initialised.
HRESULT CreateDirectInput(REFIID iid, void** object);

}  // namespace input
