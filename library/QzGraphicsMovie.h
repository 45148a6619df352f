// QzGraphicsMovie.h: movies shown as the picture of a graphic (handle kind 3, 100 slots,
// always the lowest free one): the loader's fallback for a file no image reader accepts,
// closing with the graphic that opened it, the frame update before each draw, overlay
// placement, play and pause, and releasing and re-opening the streams around a display
// rebuild. Main thread under the library lock.
#pragma once

#include <cstdint>

#include "QzDrawColorFormat.h"
#include "platform/ddraw.h"
#include "platform/dshow.h"
#include "platform/win32.h"

constexpr int kMovieTableSize = 100;

struct MovieData {
    int32_t checkNumber;
    RECT frameRect;  // the frame within the sample's surface
    IAMMultiMediaStream* multiMediaStream;
    IMediaStream* videoStream;
    IAMMediaStream* amVideoStream;
    IDirectDrawMediaStream* ddVideoStream;
    IDirectDrawStreamSample* sample;
    IDirectDrawSurface* sampleSurface;     // the surface the sample renders into
    IDirectDrawSurface7* overlaySurface;   // that surface, in mode 1
    IDirectDrawSurface4* frameSurface;     // that surface, in modes 0 and 2
    IDirectDraw4* directDraw4;
    IGraphBuilder* filterGraph;
    IMediaControl* mediaControl;
    IMediaSeeking* mediaSeeking;  // required of the graph, not used further
    IBasicAudio* basicAudio;      // likewise
    int64_t lastFrameCount;       // screen frame count at the last copy; -1 after opening
    int32_t lastCopyTime;         // milliseconds at the last copy; -1 after opening
    ColorFormat frameFormat;      // the frame surface's format
    int32_t width, height;
    int32_t isPlaying;
    // 0 frame surface in the screen's format in system memory; 1 overlay surface in video
    // memory; 2 24-bit RGB surface in system memory.
    int32_t mode;
    int64_t savedTime;  // stream time kept while the streams are released
    int32_t isTempCopy;
    char fileName[260];  // the file opened (the temporary copy's path when one was made)
    HANDLE frameEvent;   // manual reset; a sample update sets it when it completes
    int32_t updatePending;
    // The graphic that opened the movie and alone closes it; graphics derived from it
    // share the movie while it lives. -1 until the loader has made that graphic.
    int32_t ownerGraph;
};

// A movie handle, or -1 (logged, apart from a full table). The frame size goes to the
// out pointers when given.
int OpenMovieToGraph(const char* file, int* widthOut, int* heightOut, int mode);
// The stream set-up shared by the open and the re-open after a display rebuild; 0 or -1
// (logged, every interface released, a temporary copy made by this call deleted).
int OpenMovieStream(IDirectDraw7* directDraw, MovieData* movie, const char* file, int* widthOut, int* heightOut,
                    int mode);
// Records the graphic that shows the movie as its owner; 0, or -1 for a bad handle.
int SetMovieOwnerGraph(int movie, int graph);
// Closes a movie by its own handle (a loader whose graphic could not be made); 0 or -1.
int CloseMovie(int movie);
// The open movie's frame mode (0 frame surface in the screen's format, 1 overlay, 2 24-bit
// surface); -1 for a handle that names no movie.
int GetGraphMovieFrameMode(int movie);
MovieData* GetMovieData(int movie);  // null for a handle that names no movie
int GetMovieCount();                 // movies in the table

// Each takes a graphic handle; 0 for a graphic without a movie, -1 for an invalid graphic
// or movie handle. Closing from a graphic that did not open the movie leaves it alone.
int CloseGraphMovie(int graph);
int UpdateGraphMovieFrame(int graph);
int PlayGraphMovie(int graph);
int PauseGraphMovie(int graph);
// Restores the lost DirectDraw surfaces of the graphic's movie (pixels not reloaded).
int RestoreGraphMovieSurfaces(int graph);
// Shows (show 1) or hides an overlay movie at (x, y) zoomed by scale; 0.
int UpdateMovieOverlay(int x, int y, int scale, MovieData* movie, int show);
int PlayAllGraphMovies();      // 0
int PauseAllGraphMovies();     // 0
int ReleaseAllMovieStreams();  // 0; movies already released are passed over
int ReopenMovieStreams();      // 0, or -1 when a re-open fails
