// Qz3DStandIns.h: stand-ins for the Direct3D parts the DirectDraw screen calls, until
// those parts exist: start-up and end, the vertex batch and the scene, the texture
// formats and texture pieces. Each keeps its part's name and signature, does the least
// that part allows and reports to QzStandIn.h. Delete a declaration here when its part
// lands.
#pragma once

#include <cstdint>

#include "QzDrawColorFormat.h"
#include "platform/ddraw.h"

// -1: Direct3D does not start, and the screen-mode change goes on without it.
int InitializeDirect3D();
int TerminateDirect3D();       // 0
int G_D3D_FlushVertexBatch();  // 0
int G_D3D_EndScene();          // 0

// Texture formats: the index a graphic's eight flag bytes choose (0) and that entry's
// formats (an empty entry: bit depth 0).
int G_D3D_GetTextureFormatIndex(const uint8_t flags[8]);
const ColorFormat* G_D3D_GetTextureColorFormat(int index);
const DDPIXELFORMAT* G_D3D_GetTexturePixelFormat(int index);
// The 16-bit depth format Direct3D start-up finds: DDPF_ZBUFFER, 16 bits, mask 0xFFFF.
const DDPIXELFORMAT* G_D3D_GetZBufferPixelFormat();

// Texture pieces: no piece exists, so no handle names one.
struct Surface3DData;
Surface3DData* GetSurface3DData(int handle);  // null
// The pixel store and position in it of a texture piece; -1 for every handle.
int GetSurface3DDataPlacement(int handle, int* storeHandle, int* x, int* y);
