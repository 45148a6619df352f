// Qz3DSystem.h: start and end of the Direct3D renderer, and what it finds at start-up:
// the device, the 16-bit depth format, the nine texture formats and the texture size
// limits. The screen-mode change starts the renderer after the main surfaces exist and
// ends it before they go; a lost device releases and re-acquires the Direct3D object
// around the rebuild of the DirectDraw side.
//
// The texture format table is indexed by a graphic's flag bytes:
//   0 16-bit no alpha, 1 32-bit no alpha, 2 16-bit alpha channel, 3 32-bit alpha channel,
//   4 16-bit alpha test, 5 32-bit alpha test, 6 16-bit render target, 7 32-bit render
//   target, 8 render target with alpha.
// Entries the device does not offer are copies of others (1 <- 0, 3 <- 2, 4 <- 2,
// 5 <- 3, 6 <- 0, 7 <- 1, 8 <- 3, in that order); an entry of bit depth 0 is empty.
//
// Main thread under the library lock.
#pragma once

#include <cstdint>

#include "QzDrawColorFormat.h"
#include "platform/d3d.h"

struct TextureFormat {
    DDPIXELFORMAT pixelFormat;
    ColorFormat colorFormat;  // long form
};
constexpr int kTextureFormatCount = 9;

// The renderer's state. Everything in it is zeroed at the start of InitializeDirect3D
// (the device slots and texture pieces live in their own files).
struct Direct3DState {
    IDirect3D7* direct3D;  // null while the renderer is not started (or lost)
    int32_t currentSlot;   // the device slot made at start-up; all drawing uses it
    D3DDEVICEDESC7 deviceDesc;  // the accepted device; its GUID makes devices
    int32_t deviceFound;
    TextureFormat textureFormats[kTextureFormatCount];
    int32_t frontTarget;  // the front buffer is the draw target: every draw ends the scene
    int32_t cpuTarget;    // the draw target is a graphic Direct3D cannot draw into
    int32_t textureSizeLimit;  // split options nothing in the library sets
    int32_t singleTexture;
    DDPIXELFORMAT depthFormat;
    int32_t depthFound;
    int32_t minTextureSize, maxTextureSize;
    int32_t captureMethod[2];  // remembered read-back methods: plain, alpha graphics
    int32_t freeQuadOption;    // nothing sets it
    int32_t started;           // from a successful start-up to the end, across a loss
};

extern Direct3DState g_d3d;

int InitializeDirect3D();  // 0, or -1 (logged; the object stays null)
int TerminateDirect3D();   // 0, or -1 when not started
int ReleaseDirect3DObjects();   // device loss: 0, or -1 when not started
int RecreateDirect3DObjects();  // 0 (also when not started), or -1
int DeleteAllSurface3DDataIfReady();  // 0, or -1 without the Direct3D object

int G_D3D_GetTextureFormatIndex(const uint8_t flags[8]);
const DDPIXELFORMAT* G_D3D_GetTexturePixelFormat(int index);
const ColorFormat* G_D3D_GetTextureColorFormat(int index);
const ColorFormat* G_D3D_GetFormatColorFormat(const uint8_t flags[8]);
const ColorFormat* G_D3D_SelectTextureColorFormat(int alphaChannel, int alphaTest, int use32Bit, int drawValid);
const DDPIXELFORMAT* G_D3D_GetZBufferPixelFormat(int depth);
