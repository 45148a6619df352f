// QzDraw2D.h: 2D surface pieces. A graphic without texture pieces keeps its pixels in
// one Surface2D: a rectangle of a reference-counted pixel store (QzDrawSurfaceData.h),
// a DirectDraw offscreen surface or a MEMIMG. A derived graphic shares its source's
// store at an offset. This file owns the Surface2D table (kind 5, 32768 slots), the
// transfers of images, bitmaps and movie frames into pieces, the capture of the draw
// target, the fill and restore of a graphic's pieces, BlendGraphTable, and the 2D
// layer's empty hooks. Drawing a piece is in QzDraw2DDraw.cpp.
//
// Main thread under the library lock.
#pragma once

#include <cstdint>

#include "QzDrawColorFormat.h"
#include "QzGraphicsData.h"
#include "QzGraphicsHandle.h"
#include "QzGraphicsImage.h"
#include "platform/ddraw.h"
#include "platform/gdi.h"

constexpr int kSurface2DTableSize = 32768;

struct Surface2D {
    int32_t checkNumber;
    int32_t* deleteNotify;  // becomes 1 when the piece is deleted
    uint16_t xInGraphic, yInGraphic;
    uint16_t xInStore, yInStore;  // the piece's pixel (0, 0) in its store
    uint16_t width, height;
    int32_t owner;  // the graphic's handle, -1 for none
    int32_t store;  // SurfaceData handle, shared with the piece it was derived from
};

// What a movie hands over of its current frame (the movie record keeps more).
struct MovieFrameSource {
    IDirectDrawSurface4* frameSurface;
    const ColorFormat* format;  // the frame's format
    int mode;                   // the movie's mode; 2 always converts
    int width, height;          // the frame's size
};

extern uint8_t BlendGraphTable[256];

HandleTable* GetSurface2DTable();

// A new piece of width x height (1..65535): sharing parent's store, or with a new store.
// -1 without a DirectDraw object, with a full table or when memory runs out.
int AddSurface2D(int width, int height, int xInGraphic, int yInGraphic, int owner, Surface2D* parent, int xInStore,
                 int yInStore, const uint8_t flags[8]);
int DeleteSurface2D(int handle);  // 0, also for an invalid handle
int DeleteAllSurface2D();         // 0; -1 without a DirectDraw object
int DeleteAllSurface2DIfReady();  // the same, only when a DirectDraw object exists
Surface2D* GetSurface2D(int handle);
Surface2D* GetSurface2D2(int handle);
int SetSurface2DDeleteNotify(int handle, int32_t* notify);

// The 2D layer's steps of the front end's setters: nothing to do. Each returns 0.
struct Matrix;
int EmptySurface2DHook();
int Surface2DSetClipArea(const RECT* rect);
int Surface2DEnableMask(int flag);
int Surface2DSetWorldMatrix(const Matrix* matrix);
int Surface2DSetViewMatrix(const Matrix* matrix);
int Surface2DSetProjectionMatrix(const Matrix* matrix);

// A graphic's pieces.
int CreateGraphSurface2D(GraphData* graph);
int DeriveGraphSurface2D(GraphData* graph, int xInStore, int yInStore, int width, int height, GraphData* source);
int DeleteGraphSurfaces2D(GraphData* graph);
int RestoreGraphSurfaces2D(GraphData* graph);
int FillGraphSurfaces2D(GraphData* graph, int r, int g, int b, int a);

// Transfers. In bitmap mode (bitmapFlag 1) the pixels come from the bitmap in the given
// format, else from the image.
int TransferImageToGraphSurfaces(const ColorFormat* format, HBITMAP bitmap, HBITMAP alphaBitmap, int srcX, int srcY,
                                 GraphData* graph, int bitmapFlag, GraphImage* image, GraphImage* alphaImage);
int TransferImageRegionToGraphSurfaces(const ColorFormat* format, HBITMAP bitmap, HBITMAP alphaBitmap,
                                       const RECT* srcRect, int dstX, int dstY, GraphData* graph, int bitmapFlag,
                                       GraphImage* image, GraphImage* alphaImage);
int TransferImageToSurface2D(const ColorFormat* format, HBITMAP bitmap, HBITMAP alphaBitmap, int srcX, int srcY,
                             int piece, int bitmapFlag, GraphImage* image, GraphImage* alphaImage, int option);
// Copies srcRect of the image (or bitmap) to (dstX, dstY) of the piece's store. The
// rectangle is clipped to the image and the store first; nothing left gives -1.
int CopyImageToSurface2D(const ColorFormat* bitmapFormat, HBITMAP bitmap, HBITMAP alphaBitmap, const RECT* srcRect,
                         int dstX, int dstY, int piece, int bitmapFlag, GraphImage* image, GraphImage* alphaImage,
                         int option);
int CopyMovieFrameToSurface2D(const MovieFrameSource* movie, GraphData* graph);
// Copies (x1, y1)-(x2, y2) of the draw target into the graphic's piece, at the piece's
// place in its store.
int CaptureDrawTargetToSurface2D(int x1, int y1, int x2, int y2, GraphData* graph);

int BeginMaskedDraw(int x1, int y1, int x2, int y2);
int EndMaskedDraw(int x1, int y1, int x2, int y2);
int SetupBlendGraphTable(GraphData* blendGraph, int border, int range);
