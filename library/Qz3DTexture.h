// Qz3DTexture.h: texture pieces. A graphic drawn through Direct3D keeps its pixels in a
// grid of at most 64 pieces, because textures have power-of-two sides and a device
// maximum. Each piece (Surface3DData, handle kind 6, 65536 slots) names a region of one
// texture store (SurfaceData) and carries the four pre-transformed corners the drawing
// code copies. A graphic cut from another gets pieces of its own that point into the
// parent's textures, sharing (and counting references to) its stores.
//
// Also here: the rule that splits a size into texture sides, the building of the pieces
// of new and derived graphics, uploads of image pixels into pieces, their deletion and
// the restoring of lost textures. Main thread under the library lock.
#pragma once

#include <cstdint>

#include "Qz3DDevice.h"
#include "QzDrawColorFormat.h"
#include "QzGraphicsData.h"
#include "QzGraphicsHandle.h"
#include "QzGraphicsImage.h"
#include "platform/gdi.h"

constexpr int kSurface3DTableSize = 65536;

struct Surface3DData {
    int32_t checkNumber;
    int32_t* deleteNotify;  // becomes 1 when the piece is deleted
    int16_t x, y;           // the piece's top-left pixel in its graphic
    uint16_t textureX, textureY;  // its region in the texture
    uint16_t sourceX, sourceY;    // its pixels in the image the graphic shows
    uint16_t width, height;       // visible size (the region may be larger)
    // Top-left, top-right, bottom-left, bottom-right: graphic pixels, texture 0..1.
    D3DVertexTex1 vertices[4];
    // Per corner: 1 when it lies on or above the line from the graphic's bottom-left to
    // its top-right corner.
    uint8_t cornerFlags[4];
    int32_t ownerGraph;
    int32_t surfaceData;  // the texture store, shared with the parent piece
};

HandleTable* GetSurface3DTable();

// A new piece; with a parent, x/y texture and source arguments are offsets inside it and
// the texture size arguments are not used. Handle or -1 (logged).
int AddSurface3DData(int textureWidth, int textureHeight, int x, int y, int width, int height, int sourceX,
                     int sourceY, int ownerGraph, const Surface3DData* parent, int textureX, int textureY,
                     const uint8_t flags[8]);
int DeleteSurface3DData(int handle);  // 0, or -1 for an invalid handle
int DeleteAllSurface3DData();         // 0, or -1 without the Direct3D object
// Every piece, with or without the Direct3D object (the end of a renderer that was lost).
int DeleteEverySurface3DData();
Surface3DData* GetSurface3DData(int handle);

// Splits one dimension into texture sides (whole: one texture when the device allows,
// for render targets and blend images). The number of sides written, or -1 when more
// than 64 would be needed (nothing is written past 64).
int G_D3D_SplitTextureSize(int size, int sides[64], int whole);
int G_D3D_BuildGraphPieces(GraphData* graph);
int G_D3D_BuildDerivedGraphPieces(GraphData* graph, int x, int y, int width, int height, const GraphData* source);
int G_D3D_DeleteGraphPieces(GraphData* graph);

// Converts sourceRect of the image (or, with useBitmaps 1, of the bitmap in
// bitmapFormat) into the piece's texture at (textureX, textureY). -1, writing nothing,
// when the rectangle does not lie inside the source or the texture.
int G_D3D_UploadTexturePiece(const ColorFormat* bitmapFormat, HBITMAP colorBitmap, HBITMAP alphaBitmap,
                             const RECT* sourceRect, int textureX, int textureY, int piece, int useBitmaps,
                             const GraphImage* image, const GraphImage* alphaImage, int alphaFromRed);
int G_D3D_UploadImageToGraph(const ColorFormat* bitmapFormat, HBITMAP colorBitmap, HBITMAP alphaBitmap, int sourceX,
                             int sourceY, GraphData* graph, int useBitmaps, const GraphImage* image,
                             const GraphImage* alphaImage);
int G_D3D_UploadImageRegionToGraph(const ColorFormat* bitmapFormat, HBITMAP colorBitmap, HBITMAP alphaBitmap,
                                   const RECT* sourceRect, int destX, int destY, GraphData* graph, int useBitmaps,
                                   const GraphImage* image, const GraphImage* alphaImage);

int G_D3D_LockTexture(int piece, int* pitchOut, void** pointerOut, int writeOnly, const RECT* rect,
                      const ColorFormat** formatOut);
int G_D3D_UnlockTexture(int piece, RECT* rect);
int G_D3D_RestoreGraphTextures(GraphData* graph);  // 0 nothing lost; -1 lost, bad piece, no Direct3D
int G_D3D_RestoreAllTextures();                    // 0, or -1 without Direct3D

// The store of a piece, or null.
struct SurfaceData;
SurfaceData* GetSurface3DStore(const Surface3DData* piece);

// A system-memory texture of a store's size and texture format, for copies in and out of
// a piece that cannot be locked itself; null with the creation's result otherwise.
IDirectDrawSurface7* CreateTemporaryTexture(const SurfaceData* sd, HRESULT* result);
