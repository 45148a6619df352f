// Qz3DStandIns.cpp: the Direct3D stand-ins (see Qz3DStandIns.h).
#include "Qz3DStandIns.h"

#include "QzStandIn.h"

int InitializeDirect3D() {
    return StandInCall("InitializeDirect3D", -1);
}

int TerminateDirect3D() {
    return StandInCall("TerminateDirect3D", 0);
}

int G_D3D_FlushVertexBatch() {
    return StandInCall("G_D3D_FlushVertexBatch", 0);
}

int G_D3D_EndScene() {
    return StandInCall("G_D3D_EndScene", 0);
}

int G_D3D_GetTextureFormatIndex(const uint8_t*) {
    return StandInCall("G_D3D_GetTextureFormatIndex", 0);
}

const ColorFormat* G_D3D_GetTextureColorFormat(int) {
    static const ColorFormat empty = {};
    StandInCall("G_D3D_GetTextureColorFormat", 0);
    return &empty;
}

const DDPIXELFORMAT* G_D3D_GetTexturePixelFormat(int) {
    static const DDPIXELFORMAT empty = {};
    StandInCall("G_D3D_GetTexturePixelFormat", 0);
    return &empty;
}

const DDPIXELFORMAT* G_D3D_GetZBufferPixelFormat() {
    static const DDPIXELFORMAT depth = [] {
        DDPIXELFORMAT f = {};
        f.dwSize = sizeof f;
        f.dwFlags = DDPF_ZBUFFER;
        f.dwZBufferBitDepth = 16;
        f.dwZBitMask = 0xFFFF;
        return f;
    }();
    return &depth;
}

Surface3DData* GetSurface3DData(int) {
    StandInCall("GetSurface3DData", 0);
    return nullptr;
}

int GetSurface3DDataPlacement(int, int*, int*, int*) {
    return StandInCall("GetSurface3DDataPlacement", -1);
}
