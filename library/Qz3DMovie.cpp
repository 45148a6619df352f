// Qz3DMovie.cpp: a movie frame into a graphic's texture pieces. The frame surface is read
// in place under its lock; each piece converts its rectangle of the frame (a graphic
// derived from the movie's graphic has pieces whose source lies inside the frame).
#include "Qz3DMovie.h"

#include <cstring>

#include "Qz3DTexture.h"

int G_D3D_UploadMovieFrame(const MovieFrameSource* movie, GraphData* graph) {
    if (movie == nullptr || movie->frameSurface == nullptr || graph == nullptr)
        return -1;
    DDSURFACEDESC2 frame;
    std::memset(&frame, 0, sizeof frame);
    frame.dwSize = sizeof frame;
    if (movie->frameSurface->Lock(nullptr, &frame, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK)
        return -1;
    GraphImage image;
    std::memset(&image, 0, sizeof image);
    image.colorFormat = *movie->format;
    image.width = movie->width;
    image.height = movie->height;
    image.pitch = frame.lPitch;
    image.pixels = frame.lpSurface;
    for (int i = 0; i < graph->pieceCount && i < kGraphMaxPieces; ++i) {
        const Surface3DData* piece = GetSurface3DData(graph->pieces[i]);
        if (piece == nullptr)
            continue;
        RECT source = {piece->sourceX, piece->sourceY, piece->sourceX + piece->width, piece->sourceY + piece->height};
        G_D3D_UploadTexturePiece(nullptr, nullptr, nullptr, &source, piece->textureX, piece->textureY,
                                 graph->pieces[i], 0, &image, nullptr, 0);
    }
    movie->frameSurface->Unlock(nullptr);
    return 0;
}
