// d3d/surfaces.h: what the Direct3D layer reads of the DirectDraw layer's surfaces: their
// memory, format, colour key, lock and loss state, and the present of the primary. The
// only file of this layer that knows the DirectDraw layer's inside is surfaces.cpp.
#pragma once

#include <cstdint>

#include "d3d/raster.h"
#include "platform/ddraw.h"

namespace d3d {

struct SurfaceInfo {
    bool alive = false;    // its DirectDraw object still exists
    bool lost = false;
    bool busy = false;     // held by Lock or GetDC
    bool primary = false;
    bool formatKnown = false;  // one of the six formats the rasterizer draws
    PixelFormat format = PixelFormat::X8R8G8B8;
    DDPIXELFORMAT pixelFormat = {};
    uint8_t* pixels = nullptr;  // the current block (a flip moves it)
    int32_t pitch = 0, width = 0, height = 0;
    bool keyed = false;     // a DDCKEY_SRCBLT key is set
    uint32_t key = 0;       // its low value
};

// False for anything that is not a live surface of the DirectDraw layer.
bool DescribeSurface(IDirectDrawSurface7* surface, SurfaceInfo* info);

// The rasterizer's format for a DirectDraw pixel format; false for any other.
bool FormatOf(const DDPIXELFORMAT& format, PixelFormat* out);

// A write to the primary shows it (the DirectDraw layer's present).
void AfterWrite(IDirectDrawSurface7* surface);

// True when a depth surface is attached to the surface.
bool HasAttachedZBuffer(IDirectDrawSurface7* surface);

// Device loss for tests: every surface of the DirectDraw layer reports lost.
void MarkEverySurfaceLost();

}  // namespace d3d
