// QzGraphicsData.h: GraphData, the record behind a graphic handle (kind 1), and the
// graphic table's look-up. A graphic's pixels live in pieces: one 2D surface piece
// (QzDraw2D) or up to 64 texture pieces. Main thread under the library lock.
#pragma once

#include <cstdint>

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

// The graphic a handle names, or null. Until the graphic table exists no handle is
// valid, so this is null for every handle.
GraphData* GetGraphData(int32_t handle);

// Deletes every graphic; 0. Nothing to delete while no graphic table exists.
int DeleteAllGraphs(int logFlag);
