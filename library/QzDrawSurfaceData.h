// QzDrawSurfaceData.h: SurfaceData, the pixel store behind the pieces of a graphic: a
// Direct3D texture, a DirectDraw offscreen surface, or an embedded MEMIMG in system
// memory. Pieces cut from one graphic share its stores, so each carries a reference
// count. A store also carries an optional depth buffer, the colour key made from the
// graphic's transparent colour, and a nested lock for CPU access.
//
// Handles are kind 7 (QzGraphicsHandle.h), 65536 slots. Main thread under the library
// lock.
#pragma once

#include <cstdint>

#include "QzDrawColorFormat.h"
#include "QzDrawMemImg.h"
#include "QzGraphicsHandle.h"
#include "platform/ddraw.h"

constexpr int kSurfaceDataTableSize = 65536;

struct SurfaceData {
    int32_t checkNumber;
    int32_t* deleteNotify;  // becomes 1 when the store is deleted
    // The graphic's eight flag bytes, normalised by AddSurfaceData.
    uint8_t useTexture;
    uint8_t alphaChannel;
    uint8_t drawValid;
    uint8_t systemMemory;
    uint8_t transColorUse;
    uint8_t colorBitDepth;
    uint8_t blendImage;
    uint8_t paletteImage;
    int32_t memImageStore;  // 1: the pixels live in memImage
    // Texture: 0-8 into the texture formats; DirectDraw surface: 9; MEMIMG: 10 (16-bit),
    // 11 (16-bit with alpha), 12 (32-bit), 13 (32-bit with alpha).
    int32_t formatIndex;
    int32_t zBufferWanted;
    IDirectDrawSurface7* surface;
    MEMIMG memImage;
    IDirectDrawSurface7* zSurface;
    MEMIMG zMemImage;
    uint32_t transColor;  // 0xRRGGBB
    uint16_t width;
    uint16_t height;
    int32_t refCount;
    int32_t lockPitch;
    void* lockPointer;
    int32_t lockCount;
    RECT lockRect;  // the first lock's rectangle, which nested locks must lie in
};

// The table (for the rebuild walks and tests).
HandleTable* GetSurfaceDataTable();

// A new store of width x height (1..65535) with its pixels and colour key; -1 when the
// table is full, memory runs out, the size is refused or the pixels cannot be made.
int AddSurfaceData(int initialRefCount, int width, int height, uint32_t transColor, const uint8_t flags[8]);
int DeleteSurfaceData(int handle);        // 0, -1 for an invalid handle
int IncSurfaceDataRefCount(int handle);   // the count after, -1 for an invalid handle
int DecSurfaceDataRefCount(int handle);
SurfaceData* GetSurfaceData(int handle);  // null for an invalid handle
int SetupSurfaceDataSurface(int handle);  // 0 or -1; 0 at once when the store exists
int ReleaseSurfaceDataSurface(int handle);
int SetSurfaceDataZBuffer(int handle, int wanted);
int SetSurfaceDataColorKey(int handle);
// 0, or -1 when the surface had been lost (now restored, pixels gone) or the handle is
// invalid.
int RestoreSurfaceData(int handle);
// 0 locked now, -2 already locked (nested: the pointer of the first lock moved to this
// rectangle's corner, which must lie inside the first lock), -1.
int LockSurfaceData(int handle, int* pitchOut, void** pointerOut, int writeOnly, const RECT* rect,
                    const ColorFormat** formatOut);
int UnlockSurfaceData(int handle, RECT* rect);
int FillSurfaceData(int handle, int r, int g, int b, int a);
// Deletes every store; its high-water index becomes 0. 0.
int DeleteAllSurfaceData();
