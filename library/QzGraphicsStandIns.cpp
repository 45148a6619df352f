// QzGraphicsStandIns.cpp: stand-ins for the graphics parts (see the header).
#include "QzGraphicsStandIns.h"

#include "QzDrawScreen.h"
#include "QzGraphicsDrawState.h"
#include "QzStandIn.h"

int PlayAllGraphMovies() { return StandInCall("PlayAllGraphMovies", 0); }
int PauseAllGraphMovies() { return StandInCall("PauseAllGraphMovies", 0); }
int ReleaseAllMovieStreams() { return StandInCall("ReleaseAllMovieStreams", 0); }
int ReopenMovieStreams() { return StandInCall("ReopenMovieStreams", 0); }
int EnableMaskDraw(int) { return StandInCall("EnableMaskDraw", -1); }
int GetMaskDrawFlag() { return StandInCall("GetMaskDrawFlag", 0); }

int G_D3D_RestoreAllTextures() { return StandInCall("G_D3D_RestoreAllTextures", 0); }

int CreateBlankGraph(int, int) { return StandInCall("CreateBlankGraph", -1); }
int DeleteOneGraph(int, int) { return StandInCall("DeleteOneGraph", -1); }

int SetDrawClipArea(int, int, int, int) { return StandInCall("SetDrawClipArea", 0); }
int SetDrawOriginRect(const RECT*) { return StandInCall("SetDrawOriginRect", 0); }
int SetNewGraphDrawValidFlag(int) { return StandInCall("SetNewGraphDrawValidFlag", 0); }
int RebuildGraphicsDevice() { return StandInCall("RebuildGraphicsDevice", 0); }
int RestoreAllGraphSurfaces() { return StandInCall("RestoreAllGraphSurfaces", 0); }
int SetGraphRecoveryHandler(void (*)()) { return StandInCall("SetGraphRecoveryHandler", 0); }
int HasGraphRecoveryHandler() { return StandInCall("HasGraphRecoveryHandler", 0); }

int GetScreenModeInfo(int* width, int* height, int* colorBitDepth) {
    GetScreenSize(width, height);
    if (colorBitDepth) *colorBitDepth = GetScreenBitDepth();
    return StandInCall("GetScreenModeInfo", 0);
}
