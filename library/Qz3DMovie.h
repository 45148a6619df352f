// Qz3DMovie.h: the movie frame copy of the Direct3D path: the movie's current frame into
// every texture piece of a graphic, each piece taking its own part of the frame. The 2D
// path's copy is CopyMovieFrameToSurface2D (QzDraw2D.h). Main thread under the library lock.
#pragma once

#include "QzDraw2D.h"
#include "QzGraphicsData.h"

// 0, or -1 when the frame surface cannot be locked; upload failures are not reported.
int G_D3D_UploadMovieFrame(const MovieFrameSource* movie, GraphData* graph);
