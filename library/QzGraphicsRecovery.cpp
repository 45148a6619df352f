// QzGraphicsRecovery.cpp: device-loss recovery. The rebuild runs in this order: the
// Direct3D device and object released (their 3D data kept); the mask screen's parts
// freed; the main surfaces released; input ended (it starts again on first use); the 2D
// pieces' surfaces and the clipper released; the DirectDraw object released and made
// again, which sets the cooperative level and display mode again and re-creates the 2D
// pieces' surfaces and the clipper; the main surfaces and the screen palette; the draw
// target selected again; Direct3D made again; the target cleared and presented; the
// graphics recovered; the movies re-opened; the mask screen rebuilt. The movies' streams
// are released before all of it, with their time and playing state kept.
#include "QzGraphicsRecovery.h"

#include <cstring>

#include "Qz3DSystem.h"
#include "Qz3DTexture.h"
#include "QzDraw2D.h"
#include "QzDrawDevice.h"
#include "QzDrawPresent.h"
#include "QzDrawSurfaces.h"
#include "QzGraphicsData.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFont.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsImage.h"
#include "QzGraphicsMovie.h"
#include "QzGraphicsMask.h"
#include "QzGraphicsSystem.h"
#include "QzInput.h"
#include "QzUseCLib.h"
#include "QzWinFileAccess.h"
#include "QzWinLog.h"

namespace {
GraphRecoveryHandler g_handler = nullptr;
}

int SetGraphRecoveryHandler(GraphRecoveryHandler handler) {
    g_handler = handler != nullptr ? handler : ReloadGraphsFromFiles;
    return 0;
}

int HasGraphRecoveryHandler() {
    return g_handler != nullptr ? 1 : 0;
}

int RestoreOneGraphSurfaces(int handle) {
    GraphData* graph = GetGraphData(handle);
    if (graph == nullptr)
        return -1;
    const int result = graph->useTexture ? G_D3D_RestoreGraphTextures(graph) : RestoreGraphSurfaces2D(graph);
    if (graph->movie >= 0)
        RestoreGraphMovieSurfaces(handle);
    return result;
}

int RestoreAllGraphSurfaces() {
    if (!IsGraphDataInitialized())
        return 0;
    RestoreMainSurfaces();
    HandleTable* table = GetGraphTable();
    for (int slot = 0; slot < table->highWater; ++slot)
        if (table->records[slot] != nullptr)
            RestoreOneGraphSurfaces(GetSlotHandle(table, slot));
    return 0;
}

int RebuildGraphicsDevice() {
    // The movies' surfaces belong to the DirectDraw object released below; the window-mode
    // road has released them already, and those are passed over.
    ReleaseAllMovieStreams();
    ReleaseDirect3DObjects();
    FreeMaskScreenParts();
    ReleaseMainSurfaces();
    TerminateInputSystem();
    ReleaseAllSurface2DSurfaces();
    ReleaseClipper();
    ReleaseDirectDrawObjects();
    RecreateDirectDrawObjects();
    CreateMainSurfaces();
    RecreateScreenPalette();
    SetDrawTargetSurface(g_drawState.drawScreen);
    RecreateDirect3DObjects();
    ClearDrawTarget();
    PresentScreen();
    RecoverGraphicsAfterReset();
    ReopenMovieStreams();
    RebuildMaskScreen();
    return 0;
}

int RecoverGraphicsAfterReset() {
    RecreateAllFonts();
    HandleTable* table = GetGraphTable();
    for (int slot = 0, found = 0; slot < table->size && found < table->count; ++slot)
        if (auto* graph = (GraphData*)table->records[slot]) {
            graph->needsRestore = 1;
            ++found;
        }
    if (g_handler != nullptr)
        g_handler();
    return 0;
}

int ReloadGraphsFromFiles() {
    WriteLog("グラフィックを復帰します\n");
    char remembered[MAX_PATH + 1] = "";
    FileAccessGetDir(remembered);
    HandleTable* table = GetGraphTable();
    const int highWater = table->highWater;
    // The decode of the previous reloaded graphic, kept while the next ones come from
    // the same file.
    GraphImage image = {}, alphaImage = {};
    int alphaFound = 0;
    bool held = false;
    char heldName[sizeof GraphData::fileName] = "", heldDirectory[sizeof GraphData::directory] = "";
    int heldConvert = 0;
    for (int slot = 0; slot < highWater; ++slot) {
        auto* graph = (GraphData*)table->records[slot];
        if (graph == nullptr || graph->needsRestore != 1 || graph->fileName[0] == '\0')
            continue;
        if (std::strlen(graph->directory) > 128 || std::strlen(graph->fileName) > 64) {
            graph->needsRestore = 0;
            continue;
        }
        const bool same = held && std::strcmp(heldName, graph->fileName) == 0 &&
                          std::strcmp(heldDirectory, graph->directory) == 0 && heldConvert == graph->convertFlag;
        if (!same) {
            FreeGraphImage(&image);
            FreeGraphImage(&alphaImage);
            held = false;
            FileAccessSetDir(graph->directory);
            WriteLogFormat("パス:%s ファイル:%s をロードします", graph->directory, graph->fileName);
            alphaFound = DecodeGraphImageWithAlpha(graph->fileName, nullptr, 0, 0, nullptr, 0, 0, &image, &alphaImage, 0);
            CopyStringBounded(heldName, sizeof heldName, graph->fileName);
            CopyStringBounded(heldDirectory, sizeof heldDirectory, graph->directory);
            heldConvert = graph->convertFlag;
            held = alphaFound >= 0;
        }
        // A file that changed may no longer cover the graphic's rectangle.
        if (!held || graph->sourceX < 0 || graph->sourceY < 0 || (int64_t)graph->sourceX + graph->width > image.width ||
            (int64_t)graph->sourceY + graph->height > image.height) {
            WriteLogFormat("パス:%s ファイル:%s がロードできませんでした", graph->directory, graph->fileName);
            graph->needsRestore = 0;
            continue;
        }
        char name[sizeof GraphData::fileName];
        CopyStringBounded(name, sizeof name, graph->fileName);
        TransferImageToGraph(nullptr, nullptr, nullptr, name, 0, &image, alphaFound == 0 ? &alphaImage : nullptr,
                             graph->sourceX, graph->sourceY, GetGraphHandle(graph), graph->convertFlag);
        graph->needsRestore = 0;
    }
    FreeGraphImage(&image);
    FreeGraphImage(&alphaImage);
    FileAccessSetDir(remembered);
    return 0;
}
