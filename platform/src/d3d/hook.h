// d3d/hook.h: how the DirectDraw object answers QueryInterface(IID_IDirect3D7).
#pragma once

#include "platform/d3d.h"

namespace d3d {

// A new Direct3D object over the DirectDraw object (which it holds a reference to), or
// E_NOINTERFACE under the "QueryDirect3D" fault.
HRESULT QueryDirect3D(IDirectDraw7* owner, void** object);

// The device on a surface (device.cpp); the error when the surface cannot be a target.
HRESULT CreateDeviceOn(IDirect3D7* owner, IDirectDrawSurface7* target, IDirect3DDevice7** device);

}  // namespace d3d
