// QzGraphicsMovieStandIns.cpp: the movie calls until movies are built: no movie exists,
// so every call answers "none". Each reports to QzStandIn.h. Delete this file when the
// movies land.
#include "QzGraphicsData.h"
#include "QzGraphicsMovie.h"
#include "QzStandIn.h"

int OpenMovieToGraph(const char*, int*, int*, int) { return StandInCall("OpenMovieToGraph", -1); }
int GetGraphMovieFrameMode(int) { return StandInCall("GetGraphMovieFrameMode", -1); }

MovieData* GetMovieData(int) {
    StandInCall("GetMovieData", 0);
    return nullptr;
}
int UpdateMovieOverlay(int, int, int, MovieData*, int) { return StandInCall("UpdateMovieOverlay", 0); }

int CloseGraphMovie(int graph) {
    return StandInCall("CloseGraphMovie", GetGraphData(graph) ? 0 : -1);
}
int UpdateGraphMovieFrame(int graph) {
    return StandInCall("UpdateGraphMovieFrame", GetGraphData(graph) ? 0 : -1);
}
int PlayGraphMovie(int graph) { return StandInCall("PlayGraphMovie", GetGraphData(graph) ? 0 : -1); }
int PauseGraphMovie(int graph) { return StandInCall("PauseGraphMovie", GetGraphData(graph) ? 0 : -1); }
int PlayAllGraphMovies() { return StandInCall("PlayAllGraphMovies", 0); }
int PauseAllGraphMovies() { return StandInCall("PauseAllGraphMovies", 0); }
int ReleaseAllMovieStreams() { return StandInCall("ReleaseAllMovieStreams", 0); }
int ReopenMovieStreams() { return StandInCall("ReopenMovieStreams", 0); }
