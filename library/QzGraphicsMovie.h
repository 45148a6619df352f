// QzGraphicsMovie.h: movies shown as the picture of a graphic (handle kind 3, 100 slots):
// the loader's fallback for a file no image reader accepts, closing with the graphic,
// the frame update before each draw, play and pause, and releasing and re-opening the
// streams around a display rebuild. Main thread under the library lock.
//
// Until movies are built every call here answers "none": no movie opens (and nothing is
// logged for it), and every graphic has none.
#pragma once

struct MovieData;

// A movie handle, or -1. The frame size goes to the out pointers when given.
int OpenMovieToGraph(const char* file, int* widthOut, int* heightOut, int mode);
// The open movie's frame mode (0 frame surface in the screen's format, 1 overlay, 2 24-bit
// surface); -1 for a handle that names no movie.
int GetGraphMovieFrameMode(int movie);
// Each takes a graphic handle; 0 for a graphic without a movie, -1 for an invalid one.
int CloseGraphMovie(int graph);
MovieData* GetMovieData(int movie);  // null for a handle that names no movie
// Shows (show 1) or hides an overlay movie at (x, y) zoomed by scale; 0.
int UpdateMovieOverlay(int x, int y, int scale, MovieData* movie, int show);
int UpdateGraphMovieFrame(int graph);
int PlayGraphMovie(int graph);
int PauseGraphMovie(int graph);
int PlayAllGraphMovies();      // 0
int PauseAllGraphMovies();     // 0
int ReleaseAllMovieStreams();  // 0
int ReopenMovieStreams();      // 0, or -1 when a re-open fails
