// QzGraphicsMovie.cpp: movies as the picture of a graphic, through the platform's
// multimedia streams.
//
// A movie renders into a DirectDraw surface of its own (mode 0 in the screen's format,
// mode 2 in 24-bit RGB, mode 1 an overlay that shows itself). Before each draw of its
// graphic the frame update asks the sample for the frame due now, asynchronously with
// an event, and copies at most one frame per screen frame or 17 ms into the graphic's
// pixels (at most two copies per call). A file no stream source opens directly (an
// archive member) is copied whole into a temporary file first, which lives until the
// movie is closed; a copy that came out short is deleted and never opened.
//
// Around a display rebuild every movie's interfaces are released with its stream time
// kept, and the movies are opened again from the same file with that time and their
// playing state. The record, its file name and its event outlive the release; a
// re-open closes the old event before it makes a new one.
//
// Only the graphic that opened a movie closes it; graphics derived from that graphic
// read the same frames while it lives and see no movie once it is gone.
// Main thread under the library lock.
#include "QzGraphicsMovie.h"

#include <algorithm>
#include <cstring>

#include "Qz3DMovie.h"
#include "QzDraw2D.h"
#include "QzDrawDevice.h"
#include "QzDrawMemImg.h"
#include "QzDrawPresent.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "QzGraphicsData.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsHandle.h"
#include "QzUseCLib.h"
#include "QzWinFileAccess.h"
#include "QzWinFileTemp.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "QzWinTime.h"
#include "QzWinWindow.h"

namespace {

constexpr int kCopyChunk = 1048576;  // the temporary copy goes through one buffer of this size
constexpr int kCopyInterval = 17;    // ms: a new copy within the same screen frame waits this long

void* g_records[kMovieTableSize];
HandleTable g_table = {kHandleKindMovie, kMovieTableSize, g_records, 0, 0, 0, true, 0};

template <typename T>
void Drop(T*& object) {
    if (object != nullptr)
        object->Release();
    object = nullptr;
}

bool HasSurface(const MovieData* movie) {
    return movie->overlaySurface != nullptr || movie->frameSurface != nullptr;
}

// Every interface of the movie; the record, its file, mode, state and event stay.
void ReleaseInterfaces(MovieData* movie) {
    Drop(movie->frameSurface);
    Drop(movie->overlaySurface);
    Drop(movie->sampleSurface);
    Drop(movie->sample);
    Drop(movie->ddVideoStream);
    Drop(movie->amVideoStream);
    Drop(movie->videoStream);
    Drop(movie->basicAudio);
    Drop(movie->mediaSeeking);
    Drop(movie->mediaControl);
    Drop(movie->multiMediaStream);
    Drop(movie->directDraw4);
    Drop(movie->filterGraph);
    movie->updatePending = 0;
}

// The movie a graphic names, or null; `graphOut` gets the graphic (null when invalid).
MovieData* MovieOfGraph(int handle, GraphData** graphOut) {
    GraphData* graph = GetGraphData(handle);
    *graphOut = graph;
    return graph != nullptr && graph->movie >= 0 ? GetMovieData(graph->movie) : nullptr;
}

// A graphic's movie call: -1 for an invalid graphic or movie, 0 for no movie, else the
// call's own result.
template <typename Call>
int WithGraphMovie(int handle, Call call) {
    GraphData* graph = nullptr;
    MovieData* movie = MovieOfGraph(handle, &graph);
    if (graph == nullptr)
        return -1;
    if (graph->movie < 0)
        return 0;
    if (movie == nullptr)
        return -1;
    return call(graph, movie);
}

// Copies `file` through the file layer (archive members included) into a new temporary
// file whose path goes to `pathOut`. False, with nothing left behind, when the source
// cannot be read whole, the buffer or the file cannot be had, or a write comes out short.
bool CopyToTemporaryFile(const char* file, char* pathOut) {
    FileHandle source = FileAccessOpen(file, 0, 1);
    if (source == 0)
        return false;
    int64_t left = -1;
    if (FileAccessSeek(source, 0, kSeekFromEnd) == 0) {
        left = FileAccessTell(source);
        if (FileAccessSeek(source, 0, kSeekFromStart) != 0)
            left = -1;
    }
    void* buffer = left >= 0 ? AllocMemory(kCopyChunk, "QzGraphics", __LINE__) : nullptr;
    HANDLE copy = buffer != nullptr ? CreateTemporaryFile(pathOut) : nullptr;
    bool whole = copy != nullptr && copy != INVALID_HANDLE_VALUE;
    while (whole && left > 0) {
        const int chunk = (int)std::min<int64_t>(kCopyChunk, left);
        DWORD written = 0;
        whole = FileAccessRead(buffer, 1, chunk, source) == chunk &&
                WriteFile(copy, buffer, (DWORD)chunk, &written, nullptr) && written == (DWORD)chunk;
        left -= chunk;
    }
    if (copy != nullptr && copy != INVALID_HANDLE_VALUE) {
        CloseHandle(copy);
        if (!whole)
            DeleteFileA(pathOut);
    }
    if (buffer != nullptr)
        FreeMemory(buffer);
    FileAccessClose(source);
    return whole;
}

// The file's name as the stream takes it.
void WideName(const char* file, WCHAR (&wide)[MAX_PATH]) {
    std::memset(wide, 0, sizeof wide);
    if (MultiByteToWideChar(CP_ACP, 0, file, -1, wide, MAX_PATH) == 0)
        wide[0] = 0;
}

// The surface a sample renders into, in the mode's format; null when it cannot be made.
IDirectDrawSurface* CreateFrameSurface(IDirectDraw7* directDraw, const DDSURFACEDESC& desired, int mode) {
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.dwWidth = desired.dwWidth;
    desc.dwHeight = desired.dwHeight;
    if (mode == 1) {
        desc.ddsCaps.dwCaps = DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY;
        desc.ddpfPixelFormat = *GetOverlayPixelFormat();
    } else {
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        if (mode == 2) {
            desc.ddpfPixelFormat.dwSize = sizeof desc.ddpfPixelFormat;
            desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
            desc.ddpfPixelFormat.dwRGBBitCount = 24;
            desc.ddpfPixelFormat.dwRBitMask = 0xFF0000;
            desc.ddpfPixelFormat.dwGBitMask = 0xFF00;
            desc.ddpfPixelFormat.dwBBitMask = 0xFF;
        } else if (g_screen.softwareRender && g_screen.colorBitDepth != 8) {
            desc.ddpfPixelFormat =
                *GetMEMIMGPixelFormat(g_screen.colorBitDepth == 16 ? kMemImgRgb565 : kMemImgXrgb8888, 0, 0);
        } else {
            desc.ddpfPixelFormat = *GetScreenPixelFormat();
        }
    }
    IDirectDraw* older = nullptr;
    IDirectDrawSurface* surface = nullptr;
    if (directDraw->QueryInterface(IID_IDirectDraw, (void**)&older) != S_OK || older == nullptr)
        return nullptr;
    if (older->CreateSurface(&desc, &surface, nullptr) != DD_OK)
        surface = nullptr;
    older->Release();
    return surface;
}

// Brings the graphic's pixels up to the frame the sample holds now.
void CopyFrame(MovieData* movie, GraphData* graph) {
    if (movie->mode != 1) {
        const MovieFrameSource source = {movie->frameSurface, &movie->frameFormat, movie->mode, movie->width,
                                         movie->height};
        if (graph->useTexture)
            G_D3D_UploadMovieFrame(&source, graph);
        else
            CopyMovieFrameToSurface2D(&source, graph);
    }
    movie->lastFrameCount = (int64_t)GetFrameCount();
    movie->lastCopyTime = GetMillisecondTime(0);
    ResetEvent(movie->frameEvent);
    movie->updatePending = 0;
}

// Frees a record and empties its slot; graphics still naming the movie lose it.
void FreeMovie(int handle, MovieData* movie) {
    if (movie->isTempCopy) {
        DeleteFileA(movie->fileName);
        movie->isTempCopy = 0;
    }
    if (movie->mode == 1 && movie->overlaySurface != nullptr)
        UpdateMovieOverlay(0, 0, 1, movie, 0);
    ReleaseInterfaces(movie);
    if (movie->frameEvent != nullptr)
        CloseHandle(movie->frameEvent);
    movie->frameEvent = nullptr;
    HandleTable* graphs = GetGraphTable();
    if (graphs != nullptr && graphs->records != nullptr)
        for (int slot = 0; slot < graphs->highWater; ++slot)
            if (auto* graph = (GraphData*)graphs->records[slot]; graph != nullptr && graph->movie == handle)
                graph->movie = -1;
    ReleaseHandleSlot(&g_table, GetHandleSlot(handle));
    g_records[GetHandleSlot(handle)] = nullptr;
    FreeMemory(movie);
}

template <typename Each>
void ForEachMovie(Each each) {
    for (int slot = 0; slot < kMovieTableSize; ++slot)
        if (auto* movie = (MovieData*)g_records[slot])
            if (!each(movie))
                return;
}

template <typename Each>
void ForEachGraphWithMovie(Each each) {
    HandleTable* graphs = GetGraphTable();
    if (graphs == nullptr || graphs->records == nullptr)
        return;
    for (int slot = 0; slot < graphs->highWater; ++slot)
        if (auto* graph = (GraphData*)graphs->records[slot]; graph != nullptr && graph->movie >= 0)
            each(GetSlotHandle(graphs, slot));
}

}  // namespace

MovieData* GetMovieData(int movie) {
    return (MovieData*)GetHandleRecord(&g_table, movie);
}

int GetMovieCount() {
    return g_table.count;
}

int GetGraphMovieFrameMode(int movie) {
    MovieData* record = GetMovieData(movie);
    return record != nullptr ? record->mode : -1;
}

int SetMovieOwnerGraph(int movie, int graph) {
    MovieData* record = GetMovieData(movie);
    if (record == nullptr)
        return -1;
    record->ownerGraph = graph;
    return 0;
}

int CloseMovie(int movie) {
    MovieData* record = GetMovieData(movie);
    if (record == nullptr)
        return -1;
    FreeMovie(movie, record);
    return 0;
}

int OpenMovieToGraph(const char* file, int* widthOut, int* heightOut, int mode) {
    const int slot = ChooseHandleSlot(&g_table);
    if (slot < 0)
        return -1;
    auto* movie = (MovieData*)AllocZeroedMemory((int)sizeof(MovieData), "QzGraphics", __LINE__);
    if (movie == nullptr)
        return WriteLog("メモリの確保に失敗しました in OpenMovieToGraph");
    movie->isTempCopy = 0;
    movie->ownerGraph = -1;
    if (OpenMovieStream(GetDirectDrawObject(), movie, file, widthOut, heightOut, mode) != 0) {
        if (movie->frameEvent != nullptr)
            CloseHandle(movie->frameEvent);
        FreeMemory(movie);
        return WriteLogFormat("ムービーファイルオープン処理時にエラーが発生しました");
    }
    movie->isPlaying = 0;
    return TakeHandleSlot(&g_table, slot, movie);
}

int OpenMovieStream(IDirectDraw7* directDraw, MovieData* movie, const char* file, int* widthOut, int* heightOut,
                    int mode) {
    // The name is kept apart: a re-open passes the record's own name, which a temporary
    // copy would overwrite.
    char name[MAX_PATH];
    CopyStringBounded(name, sizeof name, file != nullptr ? file : "");
    bool madeCopy = false;
    auto fail = [&](const char* message) {
        ReleaseInterfaces(movie);
        if (madeCopy) {
            DeleteFileA(movie->fileName);
            movie->isTempCopy = 0;
        }
        return WriteLog(message);
    };
    if (directDraw == nullptr)
        return fail("DirectDraw4オブジェクトを取得できませんでした");

    // 1. The mode this machine can give.
    const int depth = g_screen.graphicsBitDepth != 0 ? g_screen.graphicsBitDepth : 16;
    if (mode == 1 && GetOverlayPixelFormat() == nullptr)
        mode = 2;
    if (mode == 2 && depth == 32)
        mode = 0;

    // 2. The graph, the multimedia stream and DirectDraw as the streams take it.
    if (CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                         (void**)&movie->filterGraph) != S_OK)
        return fail("CLSID_FilterGraph の作成に失敗しました");
    if (CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER, IID_IAMMultiMediaStream,
                         (void**)&movie->multiMediaStream) != S_OK)
        return fail("IAMMultimediaインターフェイスを取得できませんでした！");
    if (movie->multiMediaStream->Initialize(STREAMTYPE_READ, AMMSF_NOGRAPHTHREAD, movie->filterGraph) != S_OK)
        return fail("ストリームを読み取り用にセットアップできませんでした！");
    if (movie->filterGraph->QueryInterface(IID_IMediaControl, (void**)&movie->mediaControl) != S_OK)
        return fail("IID_IMediaControlインターフェイスの取得に失敗しました");
    if (directDraw->QueryInterface(IID_IDirectDraw4, (void**)&movie->directDraw4) != S_OK)
        return fail("DirectDraw4オブジェクトを取得できませんでした");

    // 3. The picture and the sound track.
    if (movie->multiMediaStream->AddMediaStream(movie->directDraw4, &MSPID_PrimaryVideo, 0, nullptr) != S_OK)
        return fail("プライマリビデオストリームを追加できませんでした！");
    if (movie->multiMediaStream->AddMediaStream(nullptr, &MSPID_PrimaryAudio, AMMSF_ADDDEFAULTRENDERER, nullptr) !=
        S_OK)
        return fail("デフォルトサウンドレンダラを追加できませんでした！\n");

    // 4. The file, else a temporary copy of what the file layer reads.
    if (movie->fileName != file)
        CopyStringBounded(movie->fileName, sizeof movie->fileName, name);
    WCHAR wide[MAX_PATH];
    WideName(movie->fileName, wide);
    if (movie->multiMediaStream->OpenFile(wide, 0) != S_OK) {
        char message[kLogFormatBufferSize];
        FormatStringBounded(message, sizeof message, "ファイル:%s が開けませんでした", name);
        if (movie->isTempCopy)
            return fail(message);
        if (!CopyToTemporaryFile(name, movie->fileName)) {
            CopyStringBounded(movie->fileName, sizeof movie->fileName, name);
            return fail(message);
        }
        movie->isTempCopy = 1;
        madeCopy = true;
        WideName(movie->fileName, wide);
        if (movie->multiMediaStream->OpenFile(wide, 0) != S_OK)
            return fail(message);
    }

    // 5. The graph's other views and the video stream's.
    if (movie->filterGraph->QueryInterface(IID_IMediaSeeking, (void**)&movie->mediaSeeking) != S_OK)
        return fail("メディアシーキングインターフェースの取得に失敗しました");
    if (movie->filterGraph->QueryInterface(IID_IBasicAudio, (void**)&movie->basicAudio) != S_OK)
        return fail("BasicAudio インターフェースの取得に失敗しました");
    if (movie->multiMediaStream->GetMediaStream(MSPID_PrimaryVideo, &movie->videoStream) != S_OK ||
        movie->videoStream == nullptr)
        return fail("プライマリビデオストリームインターフェイスを取得できませんでした！");
    if (movie->videoStream->QueryInterface(IID_IAMMediaStream, (void**)&movie->amVideoStream) != S_OK)
        return fail("AMMediaStreamインターフェイスの取得に失敗しました");
    if (movie->videoStream->QueryInterface(IID_IDirectDrawMediaStream, (void**)&movie->ddVideoStream) != S_OK)
        return fail("DirectDrawメディアストリームインターフェイスを取得できませんでした！");

    // 6. A surface of the frame's size.
    DDSURFACEDESC desired;
    std::memset(&desired, 0, sizeof desired);
    desired.dwSize = sizeof desired;
    if (movie->ddVideoStream->GetFormat(nullptr, nullptr, &desired, nullptr) != S_OK || desired.dwWidth == 0 ||
        desired.dwHeight == 0)
        return fail("動画ファイルではない可能性があります！");
    IDirectDrawSurface* surface = CreateFrameSurface(directDraw, desired, mode);
    if (surface == nullptr)
        return fail("DirectDrawSurface オブジェクトの作成に失敗しました");

    // 7. The sample, else one over a surface of the stream's own making.
    movie->mode = mode;
    if (movie->ddVideoStream->CreateSample(surface, nullptr, DDSFF_PROGRESSIVERENDER, &movie->sample) != S_OK) {
        Drop(surface);
        movie->mode = 0;
        if (movie->ddVideoStream->CreateSample(nullptr, nullptr, DDSFF_PROGRESSIVERENDER, &movie->sample) != S_OK)
            return fail("ストリームサンプルを作成できませんでした！");
    }
    Drop(surface);

    // 8. The surface frames arrive in, and their size.
    if (movie->sample->GetSurface(&movie->sampleSurface, &movie->frameRect) != S_OK || movie->sampleSurface == nullptr)
        return fail("ストリームサンプルからIDirectDrawSurfaceインターフェイスを取得できませんでした！");
    movie->width = movie->frameRect.right - movie->frameRect.left;
    movie->height = movie->frameRect.bottom - movie->frameRect.top;
    if (widthOut != nullptr)
        *widthOut = movie->width;
    if (heightOut != nullptr)
        *heightOut = movie->height;

    // 9. The view the mode reads it through, and its format.
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    if (movie->mode == 1) {
        if (movie->sampleSurface->QueryInterface(IID_IDirectDrawSurface7, (void**)&movie->overlaySurface) != S_OK)
            return fail("IDirectDrawSurface7インターフェイスを取得できませんでした！");
        movie->overlaySurface->GetSurfaceDesc(&desc);
    } else {
        if (movie->sampleSurface->QueryInterface(IID_IDirectDrawSurface4, (void**)&movie->frameSurface) != S_OK)
            return fail("IDirectDrawSurface4インターフェイスを取得できませんでした！");
        movie->frameSurface->GetSurfaceDesc(&desc);
    }
    SetColorFormatFromPixelFormat(&desc.ddpfPixelFormat, &movie->frameFormat);

    // 10. The event updates signal; the old one of a re-open goes first.
    if (movie->frameEvent != nullptr)
        CloseHandle(movie->frameEvent);
    movie->frameEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (movie->frameEvent == nullptr) {
        // No line of its own: the layers above say the open failed.
        ReleaseInterfaces(movie);
        if (madeCopy) {
            DeleteFileA(movie->fileName);
            movie->isTempCopy = 0;
        }
        return -1;
    }
    movie->updatePending = 0;
    movie->lastFrameCount = -1;
    movie->lastCopyTime = -1;
    return 0;
}

int CloseGraphMovie(int graph) {
    return WithGraphMovie(graph, [&](GraphData*, MovieData* movie) {
        if (movie->ownerGraph == graph)
            FreeMovie(GetGraphData(graph)->movie, movie);
        return 0;
    });
}

int UpdateGraphMovieFrame(int handle) {
    return WithGraphMovie(handle, [](GraphData* graph, MovieData* movie) {
        if (!HasSurface(movie) || !movie->isPlaying)
            return 0;
        STREAM_STATE state = STREAMSTATE_STOP;
        if (movie->multiMediaStream->GetState(&state) != S_OK || state != STREAMSTATE_RUN)
            return 0;
        if ((int64_t)GetFrameCount() == movie->lastFrameCount &&
            (int64_t)GetMillisecondTime(0) - movie->lastCopyTime <= kCopyInterval)
            return 0;
        int copies = 0;
        if (movie->updatePending) {
            if (WaitForSingleObject(movie->frameEvent, 0) != WAIT_OBJECT_0)
                return 0;
            CopyFrame(movie, graph);
            ++copies;
        }
        while (copies < 2) {
            const HRESULT result = movie->sample->Update(0, movie->frameEvent, nullptr, 0);
            if (result == MS_S_PENDING) {
                movie->updatePending = 1;
                break;
            }
            if (result != S_OK) {
                movie->isPlaying = 0;
                break;
            }
            CopyFrame(movie, graph);
            ++copies;
        }
        return 0;
    });
}

int UpdateMovieOverlay(int x, int y, int scale, MovieData* movie, int show) {
    if (movie == nullptr || movie->overlaySurface == nullptr)
        return 0;
    if (scale < 1)
        scale = 1;
    RECT client;
    GetWindowClientRect(&client);
    RECT source = {0, 0, movie->width, movie->height};
    const RECT placed = {client.left + x, client.top + y, client.left + x + movie->width * scale,
                         client.top + y + movie->height * scale};
    RECT dest = placed;
    ClipRect(&dest, &client);
    if (dest.right <= dest.left || dest.bottom <= dest.top)
        return 0;
    source.left += (dest.left - placed.left) / scale;
    source.top += (dest.top - placed.top) / scale;
    source.right -= (placed.right - dest.right) / scale;
    source.bottom -= (placed.bottom - dest.bottom) / scale;

    DDCAPS caps;
    CopyDirectDrawCaps(&caps);
    if ((caps.dwCaps & DDCAPS_ALIGNBOUNDARYSRC) && caps.dwAlignBoundarySrc != 0)
        source.left -= source.left % (LONG)caps.dwAlignBoundarySrc;
    if ((caps.dwCaps & DDCAPS_ALIGNSIZESRC) && caps.dwAlignSizeSrc != 0)
        source.right -= (source.right - source.left) % (LONG)caps.dwAlignSizeSrc;
    if ((caps.dwCaps & DDCAPS_ALIGNBOUNDARYDEST) && caps.dwAlignBoundaryDest != 0)
        dest.left -= dest.left % (LONG)caps.dwAlignBoundaryDest;
    if ((caps.dwCaps & DDCAPS_ALIGNSIZEDEST) && caps.dwAlignSizeDest != 0)
        dest.right -= (dest.right - dest.left) % (LONG)caps.dwAlignSizeDest;
    if (dest.right - dest.left <= 0)
        return 0;
    if (show == 0)
        movie->overlaySurface->UpdateOverlay(nullptr, GetPrimarySurface(), nullptr, DDOVER_HIDE, nullptr);
    else
        movie->overlaySurface->UpdateOverlay(&source, GetPrimarySurface(), &dest, DDOVER_SHOW, nullptr);
    return 0;
}

int PlayGraphMovie(int graph) {
    return WithGraphMovie(graph, [](GraphData*, MovieData* movie) {
        if (!HasSurface(movie) || movie->isPlaying)
            return 0;
        movie->multiMediaStream->SetState(STREAMSTATE_RUN);
        movie->isPlaying = 1;
        return 0;
    });
}

int PauseGraphMovie(int graph) {
    return WithGraphMovie(graph, [](GraphData*, MovieData* movie) {
        if (!movie->isPlaying || movie->mediaControl == nullptr)
            return 0;
        movie->mediaControl->Pause();
        movie->isPlaying = 0;
        return 0;
    });
}

int PlayAllGraphMovies() {
    ForEachGraphWithMovie(PlayGraphMovie);
    return 0;
}

int PauseAllGraphMovies() {
    ForEachGraphWithMovie(PauseGraphMovie);
    return 0;
}

int RestoreGraphMovieSurfaces(int graph) {
    return WithGraphMovie(graph, [](GraphData*, MovieData* movie) {
        if (movie->sampleSurface != nullptr && movie->sampleSurface->IsLost() != DD_OK)
            movie->sampleSurface->Restore();
        if (movie->frameSurface != nullptr && movie->frameSurface->IsLost() != DD_OK)
            movie->frameSurface->Restore();
        if (movie->overlaySurface != nullptr && movie->overlaySurface->IsLost() != DD_OK)
            movie->overlaySurface->Restore();
        return 0;
    });
}

int ReleaseAllMovieStreams() {
    ForEachMovie([](MovieData* movie) {
        if (HasSurface(movie)) {
            STREAM_TIME time = 0;
            if (movie->multiMediaStream->GetTime(&time) == S_OK)
                movie->savedTime = time;
            ReleaseInterfaces(movie);
        }
        return true;
    });
    return 0;
}

int ReopenMovieStreams() {
    int result = 0;
    ForEachMovie([&](MovieData* movie) {
        if (HasSurface(movie))
            return true;
        if (OpenMovieStream(GetDirectDrawObject(), movie, movie->fileName, nullptr, nullptr, movie->mode) != 0) {
            result = -1;
            return false;
        }
        movie->multiMediaStream->Seek(movie->savedTime);
        if (movie->isPlaying)
            movie->multiMediaStream->SetState(STREAMSTATE_RUN);
        return true;
    });
    return result;
}
