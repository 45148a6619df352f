// QzGraphicsLoad.cpp: loading files into graphics, building graphics from decoded images
// and cutting sheets. A cut piece is a derived graphic: it shares the sheet's pixel
// stores, so the whole sheet's graphic is deleted as soon as the pieces exist.
#include "QzGraphicsLoad.h"

#include "Qz3DScene.h"
#include "QzDrawScreen.h"
#include "QzGraphicsData.h"
#include "QzGraphicsMovie.h"
#include "QzGraphicsSystem.h"
#include "QzUseCLib.h"
#include "QzWinFileAccess.h"
#include "QzWinLog.h"
#include "QzWinMessage.h"

namespace {

// The log line of a file that could not be loaded, exactly as written.
int LogLoadFailure(const char* format, const char* fileName) {
    char line[kLogFormatBufferSize];
    FormatStringBounded(line, sizeof line, format, fileName);
    return WriteLog(line);
}

// A file no image reader accepts, as a movie graphic.
int LoadMovieToGraph(const char* fileName, int wantsTexture, int movieMode) {
    GraphCreateSettings& s = g_graphCreateSettings;
    const int alpha = s.alphaChannel, depth = s.colorBitDepth, system = s.systemMemory, use3D = s.use3D;
    FileHandle file = FileAccessOpen(fileName, 0, 1);
    if (file == 0)
        return WriteLogFormat("グラフィックファイル %s がありません", fileName);
    FileAccessClose(file);
    int width = 0, height = 0;
    const int movie = OpenMovieToGraph(fileName, &width, &height, movieMode);
    if (movie < 0)
        return LogLoadFailure("右記のグラフィックファイルのロードに失敗しました：%s \n", fileName);
    if (GetGraphMovieFrameMode(movie) != 0)
        s.use3D = 0;
    s.colorBitDepth = g_screen.graphicsBitDepth != 0 ? g_screen.graphicsBitDepth : 16;
    s.alphaChannel = 0;
    s.systemMemory = 1;
    const int handle = MakeEmptyGraph(width, height, wantsTexture, 0, 0);
    s.alphaChannel = alpha;
    s.colorBitDepth = depth;
    s.systemMemory = system;
    s.use3D = use3D;  // the caller's own setting, for the graphics made later
    if (handle < 0) {
        // The movie has no graphic to close it with.
        CloseMovie(movie);
        return WriteLogFormat("右記のグラフィックファイルの格納用グラフィック領域の作成に失敗しました：%s", fileName);
    }
    GetGraphData(handle)->movie = movie;
    SetMovieOwnerGraph(movie, handle);
    return handle;
}

void MirrorBoth(GraphImage* image, GraphImage* alphaImage) {
    MirrorGraphImage(image);
    if (alphaImage != nullptr && alphaImage->pixels != nullptr)
        MirrorGraphImage(alphaImage);
}

}  // namespace

int MakeGraphForImage(const GraphImage* image, const GraphImage* alphaImage, int wantsTexture) {
    G_D3D_EndScene();
    WaitForWindowActive();
    if (alphaImage != nullptr && (alphaImage->width != image->width || alphaImage->height != image->height))
        return -1;
    const int alpha = image->colorFormat.alphaWidth != 0 || alphaImage != nullptr ? 1 : 0;
    const int palette = image->colorFormat.pixelBytes == 1 && !alpha ? 1 : 0;
    return MakeEmptyGraph(image->width, image->height, wantsTexture, alpha, palette);
}

int BuildGraphFromGraphImage(GraphImage* image, GraphImage* alphaImage, int wantsTexture, int mirrorFlag,
                             int mirrorHere) {
    UpdateColorFormatFillMask(&image->colorFormat);
    if (alphaImage != nullptr)
        UpdateColorFormatFillMask(&alphaImage->colorFormat);
    G_D3D_EndScene();
    const bool mirrored = mirrorFlag == 1 && mirrorHere == 1;
    if (mirrored)
        MirrorBoth(image, alphaImage);
    const int handle = MakeGraphForImage(image, alphaImage, wantsTexture);
    if (handle >= 0)
        TransferImageToGraph(nullptr, nullptr, nullptr, nullptr, 0, image, alphaImage, 0, 0, handle, 0);
    if (mirrored)
        MirrorBoth(image, alphaImage);
    return handle;
}

int CreateDivGraphFromGraphImage(GraphImage* image, GraphImage* alphaImage, int total, int xCount, int yCount,
                                 int pieceWidth, int pieceHeight, int* handles, int wantsTexture, int mirrorFlag,
                                 int mirrorHere) {
    if (total < 1 || xCount < 1 || yCount < 1 || pieceWidth < 1 || pieceHeight < 1 ||
        (int64_t)total > (int64_t)xCount * yCount || handles == nullptr)
        return -1;
    const int whole = BuildGraphFromGraphImage(image, alphaImage, wantsTexture, mirrorFlag, mirrorHere);
    if (whole < 0)
        return -1;
    int made = 0;
    for (int row = 0; row < yCount && made < total; ++row) {
        for (int column = 0; column < xCount && made < total; ++column) {
            // Mirrored, a row is taken from the right so each number keeps its place.
            const int64_t x = (int64_t)(mirrorFlag == 1 ? xCount - 1 - column : column) * pieceWidth;
            const int64_t y = (int64_t)row * pieceHeight;
            const int piece = x <= INT32_MAX && y <= INT32_MAX
                                  ? DeriveGraph((int)x, (int)y, pieceWidth, pieceHeight, whole)
                                  : -1;
            if (piece < 0) {
                WriteLog("グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage\n");
                for (int i = 0; i < made; ++i)
                    DeleteOneGraph(handles[i], 0);
                DeleteOneGraph(whole, 0);
                return -1;
            }
            handles[made++] = piece;
        }
    }
    DeleteOneGraph(whole, 0);
    return 0;
}

int LoadFileToGraphCore(const char* fileName, int wantsTexture, int mirrorFlag, int movieMode) {
    G_D3D_EndScene();
    WaitForWindowActive();
    GraphImage image = {}, alphaImage = {};
    const int decoded =
        DecodeGraphImageWithAlpha(fileName, nullptr, 0, 0, nullptr, 0, 0, &image, &alphaImage, 0);
    if (decoded < 0)
        return LoadMovieToGraph(fileName, wantsTexture, movieMode);
    GraphImage* alpha = decoded == 0 ? &alphaImage : nullptr;
    if (mirrorFlag == 1)
        MirrorBoth(&image, alpha);
    const int handle = BuildGraphFromGraphImage(&image, alpha, wantsTexture, mirrorFlag, 0);
    if (handle >= 0)
        RecordGraphFileName(handle, fileName);
    FreeGraphImage(&image);
    FreeGraphImage(&alphaImage);
    return handle;
}

int LoadFileToGraph(const char* fileName) {
    return LoadFileToGraphCore(fileName, 1, 0, 0);
}

int LoadFileToDivGraphCore(const char* fileName, int total, int xCount, int yCount, int pieceWidth, int pieceHeight,
                           int* handles, int wantsTexture, int mirrorFlag) {
    WaitForWindowActive();
    GraphImage image = {}, alphaImage = {};
    const int decoded =
        DecodeGraphImageWithAlpha(fileName, nullptr, 0, 0, nullptr, 0, 0, &image, &alphaImage, 0);
    if (decoded < 0)
        return WriteLogFormat("右記のグラフィックファイルのロードに失敗しました：%s", fileName);
    GraphImage* alpha = decoded == 0 ? &alphaImage : nullptr;
    if (mirrorFlag == 1)
        MirrorBoth(&image, alpha);
    const int result = CreateDivGraphFromGraphImage(&image, alpha, total, xCount, yCount, pieceWidth, pieceHeight,
                                                    handles, wantsTexture, mirrorFlag, 0);
    if (result == 0)
        for (int i = 0; i < total; ++i)
            RecordGraphFileName(handles[i], fileName);
    FreeGraphImage(&image);
    FreeGraphImage(&alphaImage);
    return result;
}

int LoadFileToDivGraph(const char* fileName, int total, int xCount, int yCount, int pieceWidth, int pieceHeight,
                       int* handles) {
    return LoadFileToDivGraphCore(fileName, total, xCount, yCount, pieceWidth, pieceHeight, handles, 1, 0);
}
