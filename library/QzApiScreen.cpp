// QzApiScreen.cpp: the entry points of the screen and graphics, and the library-only ones.
#include "QzApi.h"
#include "QzApiCall.h"
#include "QzApiInternal.h"
#include "QzDrawPresent.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "QzDrawScreenMode.h"
#include "QzGraphicsData.h"
#include "QzGraphicsDraw.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsLoad.h"

int ApiSetScreenMode(int width, int height, int bits, int refresh) {
    return UnderLibraryLock([=] { return SetScreenMode(width, height, bits, refresh); });
}
uint32_t ApiGetScreenColorValue(int r, int g, int b) {
    return UnderLibraryLock([=] { return GetScreenColorValue(r, g, b); });
}
int ApiPresentScreen() { return UnderLibraryLock([] { return PresentScreen(); }); }
int ApiSelectDrawTarget(int target) { return UnderLibraryLock([=] { return SelectDrawTarget(target); }); }
int ApiClearDrawTarget() { return UnderLibraryLock([] { return ClearDrawTarget(); }); }

int ApiLoadFileToGraph(const char* fileName) { return UnderLibraryLock([=] { return LoadFileToGraph(fileName); }); }
int ApiLoadFileToDivGraph(const char* fileName, int total, int xCount, int yCount, int pieceWidth,
                          int pieceHeight, int* handles) {
    return UnderLibraryLock(
        [=] { return LoadFileToDivGraph(fileName, total, xCount, yCount, pieceWidth, pieceHeight, handles); });
}
int ApiDeriveGraph(int x, int y, int width, int height, int source) {
    return UnderLibraryLock([=] { return DeriveGraph(x, y, width, height, source); });
}
int ApiDeleteOneGraph(int handle, int logFlag) {
    return UnderLibraryLock([=] { return DeleteOneGraph(handle, logFlag); });
}
int ApiDeleteAllGraphs(int logFlag) { return UnderLibraryLock([=] { return DeleteAllGraphs(logFlag); }); }

int ApiDrawPlainGraph(int x, int y, int handle, int transparent) {
    return UnderLibraryLock([=] { return DrawPlainGraph(x, y, handle, transparent); });
}
int ApiDrawScaleRotateGraph(int x, int y, double scale, double angle, int handle, int transparent,
                            int mirror) {
    return UnderLibraryLock(
        [=] { return DrawScaleRotateGraph(x, y, scale, angle, handle, transparent, mirror); });
}
int ApiDrawRectangle(int x1, int y1, int x2, int y2, uint32_t color, int fill) {
    return UnderLibraryLock([=] { return DrawRectangle(x1, y1, x2, y2, color, fill); });
}
int ApiSetBlendMode(int mode, int parameter) {
    return UnderLibraryLock([=] { return SetBlendMode(mode, parameter); });
}

int ApiGetScreenSize(int* width, int* height) {
    return UnderLibraryLock([=] { return GetScreenSize(width, height); });
}
const DDPIXELFORMAT* ApiGetScreenPixelFormat() { return UnderLibraryLock([] { return GetScreenPixelFormat(); }); }

int ApiFillColorFormat(ColorFormat* out, int bits, unsigned redMask, unsigned greenMask, unsigned blueMask,
                       unsigned alphaMask) {
    return FillColorFormat(out, bits, redMask, greenMask, blueMask, alphaMask);
}
int ApiFillDDPixelFormat(DDPIXELFORMAT* out, int bits, unsigned redMask, unsigned greenMask, unsigned blueMask,
                         unsigned alphaMask) {
    return FillDDPixelFormat(out, bits, redMask, greenMask, blueMask, alphaMask);
}
int ApiClipRect(RECT* rect, const RECT* clip) { return ClipRect(rect, clip); }
