// QzGraphicsData.cpp: the graphic table: creating, deleting and deriving graphics, the
// file a graphic came from, filling its pieces, and the memory-block table.
//
// Rules: a graphic takes the texture path only when asked, when new graphics may use 3D,
// when Direct3D drawing was usable at graphics start-up and the screen is not rendered in
// software. With the draw-valid setting on, a graphic can be a draw target and then has
// no alpha channel and no transparent colour. A graphic whose pieces cannot be made is
// deleted again, so a failure never keeps a slot. A full graphic table ends the program.
#include "QzGraphicsData.h"

#include <cstddef>
#include <cstring>

#include "Qz3DScene.h"
#include "Qz3DTexture.h"
#include "QzDraw2D.h"
#include "QzDrawScreen.h"
#include "QzDrawSurfaceData.h"
#include "QzGraphicsMovie.h"
#include "QzGraphicsSystem.h"
#include "QzUseCLib.h"
#include "QzWinFileAccess.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"

namespace {

void* g_records[kGraphTableSize];
HandleTable g_table = {kHandleKindGraph, kGraphTableSize, g_records, 0, 0, 0, false, 0};

MemBlockData g_memBlocks[kMemBlockTableSize];
InlineHandleTable g_memBlockTable = {kHandleKindMemBlock,
                                     kMemBlockTableSize,
                                     g_memBlocks,
                                     sizeof(MemBlockData),
                                     offsetof(MemBlockData, inUse),
                                     offsetof(MemBlockData, checkNumber),
                                     0,
                                     0,
                                     0,
                                     false};

// Builds the graphic's pieces: texture pieces, or the one 2D piece.
int BuildPieces(GraphData* graph) {
    return graph->useTexture ? G_D3D_BuildGraphPieces(graph) : CreateGraphSurface2D(graph);
}

// Takes a graphic out of the table and frees it, without touching its pieces.
void DropRecord(GraphData* graph) {
    ReleaseHandleSlot(&g_table, GetHandleSlot(graph->handle));
    FreeMemory(graph);
}

}  // namespace

GraphData* GetGraphData(int32_t handle) {
    return (GraphData*)GetHandleRecord(&g_table, handle);
}

int32_t GetGraphHandle(const GraphData* graph) {
    return graph->handle;
}

HandleTable* GetGraphTable() {
    return &g_table;
}

int32_t RegisterGraphData(GraphData* record) {
    int slot = ChooseHandleSlot(&g_table);
    if (record == nullptr || slot < 0)
        return -1;
    record->handle = TakeHandleSlot(&g_table, slot, record);
    return record->handle;
}

int UnregisterGraphData(int32_t handle) {
    if (GetGraphData(handle) == nullptr)
        return -1;
    ReleaseHandleSlot(&g_table, GetHandleSlot(handle));
    return 0;
}

int ResetGraphTable() {
    // Graphics end deleted every graphic; the table only forgets its bookkeeping.
    ResetHandleTable(&g_table);
    ResetHandleTable(&g_memBlockTable);
    HandleTable* stores = GetSurfaceDataTable();
    if (stores->count == 0) {
        stores->highWater = 0;
        stores->checkCounter = 0;
    }
    return 0;
}

int AddGraphData(int width, int height, int wantsTexture, int, GraphData** out, int alpha, int palette) {
    if (width < 1 || height < 1)
        return -1;
    if (g_table.count >= kGraphTableSize)
        ExitWithFatalError("グラフィックの数が許容量を越えました終了します");
    int slot = ChooseHandleSlot(&g_table);
    GraphData* graph = (GraphData*)AllocZeroedMemory((int)sizeof(GraphData), "QzGraphics", __LINE__);
    if (graph == nullptr)
        ExitWithFatalError("メモリの確保に失敗しました");
    const GraphCreateSettings& s = g_graphCreateSettings;
    graph->handle = TakeHandleSlot(&g_table, slot, graph);
    graph->width = width;
    graph->height = height;
    graph->movie = -1;
    graph->blendImageSetting = s.blendImage;
    graph->deleteNotify = nullptr;
    graph->useTexture =
        wantsTexture && s.use3D && IsDirect3DDrawingUsable() && !g_screen.softwareRender ? 1 : 0;
    if (s.drawValid == 1) {
        graph->drawValid = 1;
        graph->alphaChannel = 0;
        graph->transColorUse = 0;
        graph->blendImage = 0;
    } else {
        graph->drawValid = 0;
        graph->alphaChannel = (uint8_t)(alpha ? 1 : 0);
        graph->transColorUse = (uint8_t)(s.transColorUse ? 1 : 0);
        graph->blendImage = (uint8_t)(graph->blendImageSetting ? 1 : 0);
    }
    graph->paletteImage = 0;
    const int screenDepth = g_screen.graphicsBitDepth != 0 ? g_screen.graphicsBitDepth : 16;
    if (graph->useTexture) {
        graph->colorBitDepth = (uint8_t)(s.colorBitDepth != 0 ? s.colorBitDepth : alpha == 1 ? 32 : screenDepth);
        graph->systemMemory = 0;
    } else {
        graph->colorBitDepth = (uint8_t)(s.colorBitDepth != 0 ? s.colorBitDepth : screenDepth);
        graph->systemMemory = (uint8_t)(s.systemMemory ? 1 : 0);
        graph->paletteImage = (uint8_t)(palette ? 1 : 0);
    }
    if (out != nullptr)
        *out = graph;
    return graph->handle;
}

int MakeEmptyGraph(int width, int height, int wantsTexture, int alpha, int palette) {
    GraphData* graph = nullptr;
    int handle = AddGraphData(width, height, wantsTexture, 0, &graph, alpha, palette);
    if (handle < 0)
        return -1;
    if (BuildPieces(graph) != 0) {
        DropRecord(graph);
        return WriteLog("グラフィックの作成に失敗しました\n");
    }
    return handle;
}

int CreateBlankGraph(int width, int height) {
    return MakeEmptyGraph(width, height, 1, g_graphCreateSettings.alphaChannel, 0);
}

int DeleteOneGraph(int handle, int logFlag) {
    GraphData* graph = GetGraphData(handle);
    if (graph == nullptr)
        return -1;
    CloseGraphMovie(handle);
    if (graph->useTexture)
        G_D3D_DeleteGraphPieces(graph);
    else
        DeleteGraphSurfaces2D(graph);
    if (logFlag)
        WriteLogFormat("グラフィック %s の削除", graph->fileName);
    if (graph->deleteNotify != nullptr)
        *graph->deleteNotify = 1;
    DropRecord(graph);
    return 0;
}

int DeleteAllGraphs(int logFlag) {
    if (!IsGraphDataInitialized())
        return 0;
    for (int slot = 0; slot < g_table.highWater; ++slot)
        if (g_records[slot] != nullptr)
            DeleteOneGraph(GetSlotHandle(&g_table, slot), logFlag);
    return 0;
}

int SetGraphDeleteNotify(int handle, int32_t* notify) {
    GraphData* graph = GetGraphData(handle);
    if (graph == nullptr)
        return -1;
    graph->deleteNotify = notify;
    if (notify != nullptr)
        *notify = 0;
    return 0;
}

int RecordGraphFileName(int handle, const char* fileName) {
    GraphData* graph = GetGraphData(handle);
    if (graph == nullptr)
        return -1;
    char directory[MAX_PATH + 1] = "";
    FileAccessGetDir(directory);
    const char* name = fileName ? fileName : "";
    // A name cut short could reload another file: such a graphic records none.
    if (std::strlen(name) >= sizeof graph->fileName || std::strlen(directory) >= sizeof graph->directory) {
        graph->fileName[0] = '\0';
        graph->directory[0] = '\0';
        return 0;
    }
    CopyStringBounded(graph->directory, sizeof graph->directory, directory);
    CopyStringBounded(graph->fileName, sizeof graph->fileName, name);
    return 0;
}

int DeriveGraph(int x, int y, int width, int height, int sourceHandle) {
    GraphData* source = GetGraphData(sourceHandle);
    if (source == nullptr)
        return -1;
    if (x < 0 || y < 0 || x >= source->width || y >= source->height || width < 1 || height < 1)
        return -1;
    if (width > source->width - x)
        width = source->width - x;
    if (height > source->height - y)
        height = source->height - y;
    GraphData* graph = nullptr;
    int handle = AddGraphData(width, height, source->useTexture, 1, &graph, source->alphaChannel, source->paletteImage);
    if (handle < 0)
        return -1;
    graph->movie = source->movie;
    std::memcpy(graph->fileName, source->fileName, sizeof graph->fileName);
    std::memcpy(graph->directory, source->directory, sizeof graph->directory);
    std::memcpy(&graph->useTexture, &source->useTexture, 8);
    graph->convertFlag = source->convertFlag;
    graph->sourceX = source->sourceX + x;
    graph->sourceY = source->sourceY + y;
    int built;
    if (graph->useTexture) {
        built = G_D3D_BuildDerivedGraphPieces(graph, x, y, width, height, source);
    } else {
        Surface2D* parent = source->pieceCount > 0 ? GetSurface2D(source->pieces[0]) : nullptr;
        built = parent ? DeriveGraphSurface2D(graph, parent->xInStore + x, parent->yInStore + y, width, height, source)
                       : -1;
    }
    if (built != 0) {
        DropRecord(graph);
        return WriteLog("グラフィックの派生に失敗しました終了します");
    }
    return handle;
}

int GetGraphDimensions(int handle, int* width, int* height) {
    if (handle == -4 || handle == -2)
        return GetScreenSize(width, height);
    GraphData* graph = GetGraphData(handle);
    if (graph == nullptr)
        return -1;
    if (width != nullptr)
        *width = graph->width;
    if (height != nullptr)
        *height = graph->height;
    return 0;
}

int TransferImageToGraph(const ColorFormat* bitmapFormat, HBITMAP bitmap, HBITMAP alphaBitmap, const char* fileName,
                         int bitmapFlag, const GraphImage* image, const GraphImage* alphaImage, int sourceX,
                         int sourceY, int handle, int convertFlag) {
    GraphData* graph = GetGraphData(handle);
    if (graph == nullptr)
        return -1;
    RecordGraphFileName(handle, fileName);
    graph->sourceX = sourceX;
    graph->sourceY = sourceY;
    graph->convertFlag = convertFlag;
    if (graph->useTexture)
        return G_D3D_UploadImageToGraph(bitmapFormat, bitmap, alphaBitmap, sourceX, sourceY, graph, bitmapFlag, image,
                                        alphaImage);
    return TransferImageToGraphSurfaces(bitmapFormat, bitmap, alphaBitmap, sourceX, sourceY, graph, bitmapFlag,
                                        const_cast<GraphImage*>(image), const_cast<GraphImage*>(alphaImage));
}

int TransferBitmapToGraph(const GraphImage* image, HBITMAP bitmap, HBITMAP alphaBitmap, const char* fileName,
                          int bitmapFlag, const GraphImage* sameImage, const GraphImage* alphaImage,
                          const RECT* sourceRect, int destX, int destY, int handle, int convertFlag) {
    GraphData* graph = GetGraphData(handle);
    if (graph == nullptr || sourceRect == nullptr)
        return -1;
    RecordGraphFileName(handle, fileName);
    graph->convertFlag = convertFlag;
    const ColorFormat* bitmapFormat = image ? &image->colorFormat : nullptr;
    if (graph->useTexture)
        return G_D3D_UploadImageRegionToGraph(bitmapFormat, bitmap, alphaBitmap, sourceRect, destX, destY, graph,
                                              bitmapFlag, sameImage, alphaImage);
    return TransferImageRegionToGraphSurfaces(bitmapFormat, bitmap, alphaBitmap, sourceRect, destX, destY, graph,
                                              bitmapFlag, const_cast<GraphImage*>(sameImage),
                                              const_cast<GraphImage*>(alphaImage));
}

// ---- memory blocks ------------------------------------------------------------------------------

InlineHandleTable* GetMemBlockTable() {
    return &g_memBlockTable;
}

int DeleteMemBlockData(int handle) {
    MemBlockData* entry = (MemBlockData*)GetHandleRecord(&g_memBlockTable, handle);
    if (entry == nullptr)
        return -1;
    if (entry->block != nullptr)
        FreeMemory(entry->block);
    ReleaseHandleSlot(&g_memBlockTable, GetHandleSlot(handle));
    return 0;
}

int DeleteAllMemBlockData() {
    for (int slot = 0; slot < kMemBlockTableSize; ++slot) {
        int32_t handle = GetSlotHandle(&g_memBlockTable, slot);
        if (handle >= 0)
            DeleteMemBlockData(handle);
    }
    return 0;
}
