// QzGraphicsLoad.h: graphics made from pictures: loading a file (with its "_a" alpha
// companion, and a movie as the fallback for a file no image reader accepts), building a
// graphic from a decoded image, and cutting a sheet into numbered sub-images that share
// its pixels. Main thread under the library lock.
#pragma once

#include "QzGraphicsImage.h"

// A new graphic holding the file's picture (mirrored left to right with mirrorFlag 1),
// or a movie graphic; -1 (logged) when neither can be made.
int LoadFileToGraphCore(const char* fileName, int wantsTexture, int mirrorFlag, int movieMode);
int LoadFileToGraph(const char* fileName);
// Cuts the file's picture into total pieces of pieceWidth x pieceHeight, row by row, at
// most xCount per row and yCount rows, writing their handles. With mirrorFlag 1 the
// picture is mirrored and the pieces of a row taken from the right, so that each number
// keeps its place. 0, or -1 with nothing made.
int LoadFileToDivGraphCore(const char* fileName, int total, int xCount, int yCount, int pieceWidth, int pieceHeight,
                           int* handles, int wantsTexture, int mirrorFlag);
int LoadFileToDivGraph(const char* fileName, int total, int xCount, int yCount, int pieceWidth, int pieceHeight,
                       int* handles);

// A graphic holding the image; both mirror flags 1 mirror it for the upload only.
int BuildGraphFromGraphImage(GraphImage* image, GraphImage* alphaImage, int wantsTexture, int mirrorFlag,
                             int mirrorHere);
int CreateDivGraphFromGraphImage(GraphImage* image, GraphImage* alphaImage, int total, int xCount, int yCount,
                                 int pieceWidth, int pieceHeight, int* handles, int wantsTexture, int mirrorFlag,
                                 int mirrorHere);
// An empty graphic of the image's size: with alpha when the image has alpha bits or an
// alpha image is given (-1 when its size differs), an 8-bit palette image otherwise for
// one byte per pixel.
int MakeGraphForImage(const GraphImage* image, const GraphImage* alphaImage, int wantsTexture);
