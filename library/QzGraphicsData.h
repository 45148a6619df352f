// QzGraphicsData.h: GraphData, the record behind a graphic handle (kind 1), and the
// graphic table (32768 slots): creating, deleting and deriving graphics, recording the
// file a graphic was loaded from, and filling a graphic's pieces from a decoded image.
// Loading and cutting files are QzGraphicsLoad.h. A graphic's pixels live in pieces: one
// 2D surface piece (QzDraw2D) or up to 64 texture pieces (Qz3DTexture); which path a
// graphic takes is decided when it is made and never changes. Also the memory-block
// table (kind 8), of which this system only deletes.
//
// Main thread under the library lock. Every operation returns 0 or a handle, or -1 for
// an invalid handle or a failure.
#pragma once

#include <cstdint>

#include "QzDrawColorFormat.h"
#include "QzGraphicsHandle.h"
#include "QzGraphicsImage.h"
#include "platform/gdi.h"

constexpr int kGraphTableSize = 32768;
constexpr int kGraphMaxPieces = 64;

struct GraphData {
    int32_t checkNumber;
    int32_t* deleteNotify;  // becomes 1 when the graphic is deleted
    int32_t handle;
    // The eight flag bytes, copied as a block into derived graphics and pixel stores.
    uint8_t useTexture;     // 1: texture pieces; 0: one 2D surface piece
    uint8_t alphaChannel;
    uint8_t drawValid;      // can be a draw target
    uint8_t systemMemory;   // 2D path: the piece lives in system memory
    uint8_t transColorUse;
    uint8_t colorBitDepth;
    uint8_t blendImage;
    uint8_t paletteImage;   // 2D path: an 8-bit palette image
    int32_t convertFlag;
    int32_t blendImageSetting;
    int32_t pieces[kGraphMaxPieces];  // Surface2D or Surface3DData handles
    int32_t pieceCount;
    char fileName[64];
    char directory[256];
    int32_t sourceX, sourceY;
    int32_t width, height;
    int32_t movie;  // -1 when none
    int32_t needsRestore;
};

// The graphic a handle names, or null.
GraphData* GetGraphData(int32_t handle);
int32_t GetGraphHandle(const GraphData* graph);
HandleTable* GetGraphTable();

// For tests that build a record by hand: puts it into the table under a new handle (also
// written to record->handle; -1 when the table is full), and takes it out again. The
// record stays the maker's.
int32_t RegisterGraphData(GraphData* record);
int UnregisterGraphData(int32_t handle);

// A new graphic with an empty record (no pieces): flags from the creation settings, the
// texture path when asked for and Direct3D drawing is usable. -1 for a size below 1; a
// full table is fatal.
int AddGraphData(int width, int height, int wantsTexture, int unused, GraphData** out, int alpha, int palette);
// A graphic with its pieces made and empty; -1 (logged) when they cannot be made.
int MakeEmptyGraph(int width, int height, int wantsTexture, int alpha, int palette);
int CreateBlankGraph(int width, int height);
int DeleteOneGraph(int handle, int logFlag);
// Every graphic; nothing before graphics start-up. 0.
int DeleteAllGraphs(int logFlag);
// The int becomes 0 now and 1 when the graphic is deleted (null: none).
int SetGraphDeleteNotify(int handle, int32_t* notify);
// Records the current directory and the file name ("" for null). A name of 64 bytes or
// more, or a directory of 256 or more, is not stored cut short: the graphic then records
// no name at all.
int RecordGraphFileName(int handle, const char* fileName);
// A new graphic showing (x, y, width, height) of the source, sharing its pixels; the
// size is cut to the source.
int DeriveGraph(int x, int y, int width, int height, int source);
// Size of a graphic, or of the screen for -4 and -2 (640 x 480 while no mode is set).
int GetGraphDimensions(int handle, int* width, int* height);

// Fills every piece of the graphic from the image, the graphic's top-left pixel taken from
// (sourceX, sourceY) of it, after recording the file name, source position and conversion
// flag. With bitmapFlag 1 the pixels come from the bitmaps in bitmapFormat instead.
int TransferImageToGraph(const ColorFormat* bitmapFormat, HBITMAP bitmap, HBITMAP alphaBitmap, const char* fileName,
                         int bitmapFlag, const GraphImage* image, const GraphImage* alphaImage, int sourceX,
                         int sourceY, int handle, int convertFlag);
// Copies sourceRect of the image to (destX, destY) of the graphic, into the pieces it
// meets, after recording the current directory, the file name and the conversion flag.
int TransferBitmapToGraph(const GraphImage* image, HBITMAP bitmap, HBITMAP alphaBitmap, const char* fileName,
                          int bitmapFlag, const GraphImage* sameImage, const GraphImage* alphaImage,
                          const RECT* sourceRect, int destX, int destY, int handle, int convertFlag);

// Graphics management start and end (QzGraphicsSystem.cpp) empty the table and restart
// its check counter; the pixel-store counters restart with it while that table is empty.
int ResetGraphTable();

// ---- memory blocks (kind 8) ----------------------------------------------------------------
constexpr int kMemBlockTableSize = 512;
struct MemBlockData {
    int32_t checkNumber;
    void* block;  // tracked allocation or null
    int32_t unused[4];
    int32_t inUse;
};
InlineHandleTable* GetMemBlockTable();
int DeleteMemBlockData(int handle);  // frees the block and clears the entry; 0 or -1
int DeleteAllMemBlockData();         // 0
