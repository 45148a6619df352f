// ddraw/class.h: the DirectDraw class for CoCreateInstance (com/classes.cpp).
#pragma once

#include "platform/ddraw.h"

namespace ddraw {

// A new, uninitialised DirectDraw object answering iid (IID_IDirectDraw7, IID_IDirectDraw,
// IID_IUnknown).
HRESULT CreateDirectDrawClass(REFIID iid, void** object);

}  // namespace ddraw
