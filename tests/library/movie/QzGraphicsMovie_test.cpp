// Movies as graphics: a video file loaded through the ordinary loader plays into its
// graphic on the Direct3D and the 2D path; frame pacing, pause and focus; the display
// rebuild on both roads; an archive member through a temporary copy; every failure with
// its log lines and nothing left behind; modes and overlay placement; the table limit;
// derived graphics; and the sound track in the null device's output.
// Movies are written at test time; the fast clock is moved with Sleep.
#include <filesystem>
#include <string>
#include <vector>

#include "../../platform/dshow_support.h"
#include "../GraphFixture.h"
#include "ArchiveWriter.h"
#include "CodecFixtures.h"
#include "QzDrawPresent.h"
#include "QzDrawScreenColor.h"
#include "QzDrawScreenMode.h"
#include "QzGraphicsDraw.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsMovie.h"
#include "QzGraphicsRecovery.h"
#include "QzGraphicsSystem.h"
#include "QzWinFileAccess.h"
#include "QzWinMessage.h"
#include "QzWinWindow.h"

namespace QzGraphicsMovie_test {

namespace {

const std::vector<int> kTenInOrder = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};

class MovieTest : public GraphTest {
protected:
    void SetUp() override {
        GraphTest::SetUp();
        movietest::Write(dir, "clip.avi", movietest::ClipSpec());
        temp = dir.file("temp");
        std::filesystem::create_directories(temp);
        ptest::SetTempFolder(temp);
    }
    void TearDown() override {
        GraphTest::TearDown();
        EXPECT_EQ(ptest::GetLiveMovieObjects(), 0) << "stream objects left after the library ended";
    }

    // A started library on a screen of that depth; the clock then moves only as the test
    // says, so frames come due exactly when it sleeps past them.
    void StartScreen(int windowMode, int bits) {
        Start(windowMode);
        ASSERT_EQ(SetScreenMode(640, 480, bits, 60), 0);
        ptest::SetFastClockReadStep(10);
    }
    void Restart(int windowMode, int bits) {
        LeaveLibraryLock();
        locked_ = false;
        ApiTerminateLibrary();
        EXPECT_EQ(ptest::GetLiveMovieObjects(), 0);
        StartScreen(windowMode, bits);
    }
    // For a table of cases: the first starts the library, each later one restarts it.
    void ScreenForCase(int windowMode, int bits) {
        if (started_)
            Restart(windowMode, bits);
        else
            StartScreen(windowMode, bits);
        started_ = true;
    }
    bool started_ = false;

    static MovieData* MovieOf(int graph) {
        GraphData* g = GetGraphData(graph);
        return g != nullptr ? GetMovieData(g->movie) : nullptr;
    }
    static int Colour(uint32_t rgb) {
        int distance = 0;
        const int index = qztest::NearestMovieColour(rgb & 0xFFFFFF, &distance);
        return distance <= 40 ? index : -1;
    }
    // Draws the graphic at (100, 100) on the back screen, presents, and reads the colour of
    // the presented frame at the picture's centre.
    static int DrawAndPresent(int graph) {
        SelectDrawTarget(kDrawTargetBack);
        ClearDrawTarget();
        DrawPlainGraph(100, 100, graph, 0);
        PresentScreen();
        const ptest::PresentedFrame frame = ptest::GetLastPresentedFrame();
        if (frame.pixels.empty()) return -2;
        return Colour(frame.pixels[(size_t)124 * frame.width + 132]);
    }
    // Plays to the end, a draw and present every 100 ms: the colours shown, each once.
    static std::vector<int> PlayThrough(int graph) {
        EXPECT_EQ(PlayGraphMovie(graph), 0);
        std::vector<int> shown;
        for (int i = 0; i < 30 && MovieOf(graph) != nullptr && MovieOf(graph)->isPlaying; ++i) {
            const int c = DrawAndPresent(graph);
            if (shown.empty() || shown.back() != c) shown.push_back(c);
            Sleep(100);
        }
        return shown;
    }
    // Files whose names start with "tmp" in the temporary folder.
    int TempFiles() const {
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(temp))
            if (entry.path().filename().string().rfind("tmp", 0) == 0) ++n;
        return n;
    }
    static int LiveBlocks() { return g_windowSystem.tracker.count; }

    std::string temp;
};

// ---- playing ----------------------------------------------------------------------------------

TEST_F(MovieTest, PlaysTheTenColoursIntoAGraphicOnBothPathsAndForMpeg1) {
    movietest::Write(dir, "clip.mpg", movietest::MpegSpec());
    const struct {
        const char* name;
        const char* file;
        int bits;
        int movieMode;
        int useTexture;  // the path the graphic takes
        int frameMode;   // the movie's
    } cases[] = {
        {"Direct3D, 32-bit screen", "clip.avi", 32, 0, 1, 0},
        {"2D, 16-bit screen, 24-bit frames", "clip.avi", 16, 2, 0, 2},
        {"MPEG-1 on Direct3D", "clip.mpg", 32, 0, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScreenForCase(0, c.bits);
        const int graph = LoadFileToGraphCore(c.file, 1, 0, c.movieMode);
        ASSERT_GE(graph, 0);
        EXPECT_EQ(GetGraphData(graph)->width, 64);
        EXPECT_EQ(GetGraphData(graph)->height, 48);
        EXPECT_EQ(GetGraphData(graph)->useTexture, c.useTexture);
        MovieData* movie = MovieOf(graph);
        ASSERT_NE(movie, nullptr);
        EXPECT_EQ(movie->mode, c.frameMode);
        EXPECT_EQ(movie->isPlaying, 0) << "a movie opens paused";
        EXPECT_EQ(PlayThrough(graph), kTenInOrder);
        EXPECT_EQ(movie->isPlaying, 0) << "the end stops the movie";
        EXPECT_EQ(Colour(GraphPixel(graph, 32, 24)), 9) << "the graphic keeps the last picture";
        EXPECT_EQ(DeleteOneGraph(graph, 0), 0);
        EXPECT_EQ(GetMovieCount(), 0);
    }
}

// A frame copied into a 2D store of another layout is converted into the store's own: the
// same frames copied into an X1R5G5B5 store and into an R5G6B5 one keep red and blue bit
// for bit, and green loses exactly the lowest of its six bits. A movie's own graphic lives
// in system memory (the library's 16-bit layout is fixed), so the frames go to a second,
// video-memory graphic, which takes the screen's layout.
TEST_F(MovieTest, AFrameConvertsIntoX1R5G5B5AndR5G6B5ExactlyAsTheFormatsDiffer) {
    struct Copied {
        std::vector<uint32_t> pixels;  // every frame's picture, 0xRRGGBB as the store holds it
        int greenWidth = 0;
    };
    auto copyFrames = [&](ptest::Display16 format) {
        Copied out;
        ptest::SetDisplay16Format(format);
        ScreenForCase(0, 16);
        EXPECT_EQ(SetHardwareRenderMode(1), 0);
        out.greenWidth = GetScreenColorFormat()->greenWidth;
        const int graph = LoadFileToGraphCore("clip.avi", 1, 0, 2);
        SetNewGraphSystemMemFlag(0);
        const int target = MakeEmptyGraph(64, 48, 0, 0, 0);
        SetNewGraphSystemMemFlag(1);
        EXPECT_GE(graph, 0);
        EXPECT_GE(target, 0);
        if (graph < 0 || target < 0) return out;
        GraphData* copy = GetGraphData(target);
        EXPECT_EQ(GetSurfaceData(GetSurface2D(copy->pieces[0])->store)->memImageStore, 0);
        EXPECT_EQ(PlayGraphMovie(graph), 0);
        for (int frame = 0; frame < 10; ++frame) {
            EXPECT_EQ(DrawPlainGraph(0, 0, graph, 0), 0);  // takes the frame now due
            const MovieData* movie = MovieOf(graph);
            const MovieFrameSource source = {movie->frameSurface, &movie->frameFormat, movie->mode, movie->width,
                                             movie->height};
            EXPECT_EQ(CopyMovieFrameToSurface2D(&source, copy), 0);
            for (int y = 0; y < 48; ++y)
                for (int x = 0; x < 64; ++x) out.pixels.push_back(GraphPixel(target, x, y));
            Sleep(100);
        }
        EXPECT_EQ(DeleteOneGraph(target, 0), 0);
        EXPECT_EQ(DeleteOneGraph(graph, 0), 0);
        return out;
    };
    const Copied wide = copyFrames(ptest::Display16::R5G6B5);
    const Copied narrow = copyFrames(ptest::Display16::X1R5G5B5);
    ASSERT_EQ(wide.greenWidth, 6);
    ASSERT_EQ(narrow.greenWidth, 5);
    ASSERT_EQ(wide.pixels.size(), size_t{10 * 64 * 48});
    ASSERT_EQ(narrow.pixels.size(), wide.pixels.size());
    int greenLowBits = 0;
    for (size_t i = 0; i < wide.pixels.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i / (64 * 48)) + ", pixel " + std::to_string(i % (64 * 48)));
        ASSERT_EQ(narrow.pixels[i], wide.pixels[i] & 0xF8F8F8u);
        if (wide.pixels[i] & 0x000400u) ++greenLowBits;
    }
    // The copies reached the last colour, and some greens need the sixth bit.
    EXPECT_EQ(Colour(wide.pixels.back()), 9);
    EXPECT_GT(greenLowBits, 0);
}

TEST_F(MovieTest, ASecondDrawInTheSameFrameCopiesNothingAndAPendingUpdateCopiesLater) {
    StartScreen(1, 32);
    const int graph = LoadFileToGraph("clip.avi");
    ASSERT_GE(graph, 0);
    MovieData* movie = MovieOf(graph);
    ASSERT_EQ(PlayGraphMovie(graph), 0);
    EXPECT_EQ(DrawPlainGraph(0, 0, graph, 0), 0);
    const int64_t frame = movie->lastFrameCount;
    const int32_t time = movie->lastCopyTime;
    EXPECT_EQ(frame, (int64_t)GetFrameCount());
    EXPECT_EQ(movie->updatePending, 1) << "the next frame is asked for at once";
    EXPECT_EQ(Colour(GraphPixel(graph, 32, 24)), 0);

    Sleep(5);
    EXPECT_EQ(DrawPlainGraph(0, 0, graph, 0), 0);
    EXPECT_EQ(movie->lastFrameCount, frame);
    EXPECT_EQ(movie->lastCopyTime, time);
    EXPECT_EQ(movie->updatePending, 1);

    // Past 17 ms in the same screen frame: the pending update is still not due.
    Sleep(30);
    EXPECT_EQ(DrawPlainGraph(0, 0, graph, 0), 0);
    EXPECT_EQ(movie->lastCopyTime, time);
    // Its frame due: the later draw copies it (same screen frame, but 17 ms have passed).
    Sleep(70);
    EXPECT_EQ(DrawPlainGraph(0, 0, graph, 0), 0);
    EXPECT_EQ(movie->lastFrameCount, frame);
    EXPECT_GT(movie->lastCopyTime, time + 17);
    EXPECT_EQ(Colour(GraphPixel(graph, 32, 24)), 1);
    EXPECT_EQ(movie->updatePending, 1);
}

TEST_F(MovieTest, PauseHoldsThePictureAndFocusPausesAndResumesEveryMovie) {
    StartScreen(1, 32);
    const int graph = LoadFileToGraph("clip.avi");
    ASSERT_GE(graph, 0);
    MovieData* movie = MovieOf(graph);
    ASSERT_EQ(PlayGraphMovie(graph), 0);
    for (int i = 0; i < 3; ++i) {
        DrawAndPresent(graph);
        Sleep(100);
    }
    EXPECT_EQ(DrawAndPresent(graph), 3);
    EXPECT_EQ(PauseGraphMovie(graph), 0);
    EXPECT_EQ(movie->isPlaying, 0);
    for (int i = 0; i < 5; ++i) {
        Sleep(100);
        EXPECT_EQ(DrawAndPresent(graph), 3) << "paused, after " << (i + 1) * 100 << " ms";
    }
    EXPECT_EQ(PlayGraphMovie(graph), 0);
    Sleep(100);
    EXPECT_EQ(DrawAndPresent(graph), 4) << "play goes on from the frame it held";

    HWND window = GetMainWindowHwnd();
    // The pump does not wait for the focus to come back.
    g_windowSystem.runAlways = 1;
    ptest::InjectFocus(window, false);
    ApiProcessMessage();
    EXPECT_EQ(movie->isPlaying, 0) << "focus lost";
    Sleep(500);
    ptest::InjectFocus(window, true);
    ApiProcessMessage();
    EXPECT_EQ(movie->isPlaying, 1) << "focus regained";
    Sleep(100);
    EXPECT_EQ(DrawAndPresent(graph), 5);
    // Calls on graphics without a movie, and on bad handles.
    const int blank = CreateBlankGraph(8, 8);
    EXPECT_EQ(PlayGraphMovie(blank), 0);
    EXPECT_EQ(PauseGraphMovie(blank), 0);
    EXPECT_EQ(UpdateGraphMovieFrame(blank), 0);
    EXPECT_EQ(CloseGraphMovie(blank), 0);
    EXPECT_EQ(PlayGraphMovie(-1), -1);
    EXPECT_EQ(PauseGraphMovie(12345), -1);
}

TEST_F(MovieTest, LostMovieSurfacesAreRestoredWithTheGraphic) {
    StartScreen(1, 32);
    const int graph = LoadFileToGraph("clip.avi");
    ASSERT_GE(graph, 0);
    MovieData* movie = MovieOf(graph);
    IDirectDrawSurface7* frame = nullptr;
    ASSERT_EQ(movie->frameSurface->QueryInterface(IID_IDirectDrawSurface7, (void**)&frame), S_OK);
    ptest::MarkSurfaceLost(frame);
    EXPECT_EQ(movie->frameSurface->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(RestoreOneGraphSurfaces(graph), 0);
    EXPECT_EQ(movie->frameSurface->IsLost(), DD_OK);
    EXPECT_EQ(movie->sampleSurface->IsLost(), DD_OK);
    frame->Release();
}

// ---- display rebuild --------------------------------------------------------------------------

TEST_F(MovieTest, ARebuildOnEitherRoadKeepsTimeAndPlayingAndTenLeaveNothingBehind) {
    for (int windowMode : {0, 1}) {
        SCOPED_TRACE(windowMode ? "window mode" : "full screen");
        if (windowMode == 0)
            StartScreen(0, 32);
        else
            Restart(1, 32);
        const int graph = LoadFileToGraph("clip.avi");
        ASSERT_GE(graph, 0);
        const int paused = LoadFileToGraph("clip.avi");
        ASSERT_GE(paused, 0);
        ASSERT_EQ(PlayGraphMovie(graph), 0);
        for (int i = 0; i < 3; ++i) {
            DrawAndPresent(graph);
            Sleep(100);
        }
        HWND window = GetMainWindowHwnd();
        int blocks = -1, objects = -1;
        for (int round = 0; round < 10; ++round) {
            SCOPED_TRACE("rebuild " + std::to_string(round + 1));
            HANDLE oldEvent = MovieOf(graph)->frameEvent;
            if (windowMode) {
                ptest::MarkAllSurfacesLost();
                ptest::InjectDisplayChange(round % 2 ? 1024 : 1280, 768, 32);
            } else {
                ptest::InjectFocus(window, false);
                ptest::MarkAllSurfacesLost();
                ptest::InjectFocus(window, true);
            }
            for (int i = 0; i < 5; ++i) ApiProcessMessage();
            MovieData* movie = MovieOf(graph);
            ASSERT_NE(movie, nullptr) << "the handle stays valid";
            ASSERT_NE(movie->frameSurface, nullptr) << "the streams were opened again";
            EXPECT_EQ(movie->isPlaying, 1);
            EXPECT_EQ(MovieOf(paused)->isPlaying, 0);
            EXPECT_NE(MovieOf(paused)->frameSurface, nullptr);
            // The old event is closed (or its handle went to the new one).
            if (movie->frameEvent != oldEvent) {
                EXPECT_EQ(WaitForSingleObject(oldEvent, 0), WAIT_FAILED);
            }
            if (round == 0) {
                // The frame at the saved time comes next.
                const int expected = (int)(movie->savedTime / 1000000);
                EXPECT_GE(expected, 3);
                EXPECT_EQ(DrawAndPresent(graph), expected);
                blocks = LiveBlocks();
                objects = ptest::GetLiveMovieObjects();
            }
        }
        EXPECT_EQ(LiveBlocks(), blocks);
        EXPECT_EQ(ptest::GetLiveMovieObjects(), objects);
        Sleep(100);
        EXPECT_GE(DrawAndPresent(graph), 0) << "still playing";
    }
}

// ---- archive member ---------------------------------------------------------------------------

TEST_F(MovieTest, AnArchiveMemberPlaysFromATemporaryCopyThatGoesWithTheGraphic) {
    qztest::ArchiveWriter writer;
    writer.AddFile("CLIP.AVI", qztest::ReadWholeFile(dir.file("clip.avi")));
    qztest::WriteWholeFile(dir.file("packed.qza"), writer.Build(qztest::ArchiveKey::First));
    ptest::MapDriveC(dir.path());
    StartScreen(1, 32);
    const int graph = LoadFileToGraph("packed\\clip.avi");
    ASSERT_GE(graph, 0);
    MovieData* movie = MovieOf(graph);
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->isTempCopy, 1);
    EXPECT_NE(std::string(movie->fileName).find("\\tmp"), std::string::npos) << movie->fileName;
    EXPECT_EQ(TempFiles(), 1);
    EXPECT_EQ(PlayGraphMovie(graph), 0);
    EXPECT_EQ(DrawAndPresent(graph), 0);
    Sleep(100);
    EXPECT_EQ(DrawAndPresent(graph), 1);
    EXPECT_EQ(DeleteOneGraph(graph, 0), 0);
    EXPECT_EQ(TempFiles(), 0);
    EXPECT_EQ(GetMovieCount(), 0);
}

// ---- failures ---------------------------------------------------------------------------------

TEST_F(MovieTest, EveryFailureLogsItsLinesAndLeavesNothingBehind) {
    const std::string kOpen = "ムービーファイルオープン処理時にエラーが発生しました";
    qztest::MovieSpec sound = movietest::ClipSpec();
    sound.container = "wav";
    sound.videoCodec = "";
    movietest::Write(dir, "tone.wav", sound);
    qztest::WriteWholeFile(dir.file("notes.txt"), "Plain text, no movie.\r\n");
    qztest::PngSpec png;
    png.width = 16;
    png.height = 16;
    png.rows = qztest::GradientRgb(16, 16);
    const std::string picture = qztest::WritePng(png);
    qztest::WriteWholeFile(dir.file("bad.png"), picture.substr(0, picture.size() / 2));
    qztest::ArchiveWriter writer;
    writer.AddFile("CLIP.AVI", qztest::ReadWholeFile(dir.file("clip.avi")));
    qztest::WriteWholeFile(dir.file("packed.qza"), writer.Build(qztest::ArchiveKey::First));
    ptest::MapDriveC(dir.path());
    StartScreen(1, 32);

    const struct {
        const char* fault;   // null: none
        const char* second;  // a second fault, failing its nth next call
        int secondNth;
        const char* file;
        const char* line;  // the failing step's line; null: none of its own
        bool copyTried;    // a temporary copy was made and deleted
    } cases[] = {
        {"CreateFilterGraph", nullptr, 0, "clip.avi", "CLSID_FilterGraph の作成に失敗しました", false},
        {"CreateMultiMediaStream", nullptr, 0, "clip.avi", "IAMMultimediaインターフェイスを取得できませんでした！", false},
        {"MultiMediaStreamInitialize", nullptr, 0, "clip.avi", "ストリームを読み取り用にセットアップできませんでした！",
         false},
        {"QueryInterface:IMediaControl", nullptr, 0, "clip.avi", "IID_IMediaControlインターフェイスの取得に失敗しました",
         false},
        {"QueryInterface:IDirectDraw4", nullptr, 0, "clip.avi", "DirectDraw4オブジェクトを取得できませんでした", false},
        {"AddMediaStream:Video", nullptr, 0, "clip.avi", "プライマリビデオストリームを追加できませんでした！", false},
        {"AddMediaStream:Audio", nullptr, 0, "clip.avi", "デフォルトサウンドレンダラを追加できませんでした！\r\n", false},
        {"SoundDevice", nullptr, 0, "clip.avi", "デフォルトサウンドレンダラを追加できませんでした！\r\n", false},
        {nullptr, nullptr, 0, "notes.txt", "ファイル:notes.txt が開けませんでした", true},
        // Half of the member written: the truncated copy is never opened.
        {"WriteFileShort", nullptr, 0, "packed\\clip.avi", "ファイル:packed\\clip.avi が開けませんでした", true},
        {"QueryInterface:IMediaSeeking", nullptr, 0, "clip.avi", "メディアシーキングインターフェースの取得に失敗しました",
         false},
        {"QueryInterface:IBasicAudio", nullptr, 0, "clip.avi", "BasicAudio インターフェースの取得に失敗しました", false},
        {"GetMediaStream", nullptr, 0, "clip.avi", "プライマリビデオストリームインターフェイスを取得できませんでした！",
         false},
        {"QueryInterface:IAMMediaStream", nullptr, 0, "clip.avi", "AMMediaStreamインターフェイスの取得に失敗しました",
         false},
        {"QueryInterface:IDirectDrawMediaStream", nullptr, 0, "clip.avi",
         "DirectDrawメディアストリームインターフェイスを取得できませんでした！", false},
        {"GetFormat", nullptr, 0, "clip.avi", "動画ファイルではない可能性があります！", false},
        {nullptr, nullptr, 0, "tone.wav", "動画ファイルではない可能性があります！", false},
        {"CreateSurface:Offscreen", nullptr, 0, "clip.avi", "DirectDrawSurface オブジェクトの作成に失敗しました", false},
        {"CreateSample", "CreateSurface:Offscreen", 2, "clip.avi", "ストリームサンプルを作成できませんでした！", false},
        {"GetSurface", nullptr, 0, "clip.avi",
         "ストリームサンプルからIDirectDrawSurfaceインターフェイスを取得できませんでした！", false},
        {"QueryInterface:IDirectDrawSurface4", nullptr, 0, "clip.avi",
         "IDirectDrawSurface4インターフェイスを取得できませんでした！", false},
        {"CreateEventA", nullptr, 0, "clip.avi", nullptr, false},
        {nullptr, nullptr, 0, "bad.png", "ファイル:bad.png が開けませんでした", true},
    };
    // The archive's table stays loaded once it has been read.
    FileAccessClose(FileAccessOpen("packed\\clip.avi", 0, 1));
    const int blocks = LiveBlocks();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fault ? c.fault : "no fault") + (c.second ? " + " + std::string(c.second) : "") +
                     ", " + c.file);
        const size_t logAt = Log().size();
        ptest::ClearFaults();
        if (c.fault) ptest::FailCall(c.fault);
        if (c.second) ptest::FailCall(c.second, c.secondNth);
        ptest::RecordFileOpens(true);
        EXPECT_EQ(LoadFileToGraph(c.file), -1);
        ptest::ClearFaults();
        const std::string log = Log().substr(logAt);
        std::vector<std::string> lines;
        if (c.line) lines.push_back(c.line);
        lines.push_back(kOpen);
        lines.push_back(std::string("右記のグラフィックファイルのロードに失敗しました：") + c.file + " \r\n");
        std::string missing;
        EXPECT_TRUE(InOrder(log, lines, &missing)) << "missing: " << missing << "\nlog:\n" << log;
        EXPECT_EQ(Count(log, kOpen), 1);
        EXPECT_EQ(GetMovieCount(), 0);
        EXPECT_EQ(TempFiles(), 0);
        EXPECT_EQ(LiveBlocks(), blocks);
        EXPECT_EQ(ptest::GetLiveMovieObjects(), 0);
        bool copied = false;
        for (const std::string& name : ptest::TakeRecordedFileOpens())
            if (name.find("\\tmp") != std::string::npos) copied = true;
        EXPECT_EQ(copied, c.copyTried);
    }

    const size_t logAt = Log().size();
    EXPECT_EQ(LoadFileToGraph("missing.avi"), -1);
    const std::string log = Log().substr(logAt);
    EXPECT_NE(log.find("グラフィックファイル missing.avi がありません\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find(kOpen), std::string::npos) << log;
    EXPECT_EQ(log.find("右記"), std::string::npos) << log;
}

// A machine without FFmpeg: both opens, of the file and of its temporary copy, fail as for a
// file that is no movie, and the library goes on.
TEST_F(MovieTest, WithoutTheMovieLibrariesTheOpenFailsWithItsLines) {
    ptest::MapDriveC(dir.path());
    StartScreen(1, 32);
    ptest::FailCall("MovieLibraries");
    const size_t logAt = Log().size();
    EXPECT_EQ(LoadFileToGraph("clip.avi"), -1);
    const std::string log = Log().substr(logAt);
    const std::vector<std::string> lines = {"ファイル:clip.avi が開けませんでした",
                                            "ムービーファイルオープン処理時にエラーが発生しました",
                                            "右記のグラフィックファイルのロードに失敗しました：clip.avi \r\n"};
    std::string missing;
    EXPECT_TRUE(InOrder(log, lines, &missing)) << "missing: " << missing << "\nlog:\n" << log;
    EXPECT_EQ(GetMovieCount(), 0);
    EXPECT_EQ(TempFiles(), 0);
}

// ---- modes and overlay ------------------------------------------------------------------------

TEST_F(MovieTest, ModesFallBackWhereTheMachineCannotGiveThem) {
    const struct {
        const char* name;
        int bits;
        int asked;
        const char* fault;
        int mode;
    } cases[] = {
        {"overlay without an overlay format, 16-bit screen", 16, 1, nullptr, 2},
        {"overlay without an overlay format, 32-bit screen", 32, 1, nullptr, 0},
        {"24-bit frames on a 32-bit screen", 32, 2, nullptr, 0},
        {"a sample refused over the surface is made over its own", 16, 2, "CreateSample", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScreenForCase(0, c.bits);
        if (c.fault) ptest::FailCall(c.fault);
        int width = 0, height = 0;
        const int movie = OpenMovieToGraph("clip.avi", &width, &height, c.asked);
        ASSERT_GE(movie, 0);
        EXPECT_EQ(GetGraphMovieFrameMode(movie), c.mode);
        EXPECT_EQ(width, 64);
        EXPECT_EQ(height, 48);
        EXPECT_NE(GetMovieData(movie)->frameSurface, nullptr);
        EXPECT_EQ(GetMovieData(movie)->overlaySurface, nullptr);
        EXPECT_EQ(CloseMovie(movie), 0);
    }
}

// With 3D graphics unusable (software rendering), loading a movie as a graphic leaves the
// caller's 3D setting as it was, for the graphics made later.
TEST_F(MovieTest, TheMovieFallbackKeepsTheCallers3DSetting) {
    SetNewGraph3DFlag(0);
    StartScreen(1, 32);
    ASSERT_EQ(g_screen.softwareRender, 1);
    ASSERT_EQ(SetNewGraph3DFlag(1), 0);
    ASSERT_EQ(IsGraph3DUsable(), 0);
    const int graph = LoadFileToGraph("clip.avi");
    ASSERT_GE(graph, 0);
    EXPECT_EQ(GetGraphData(graph)->useTexture, 0);
    EXPECT_EQ(g_graphCreateSettings.use3D, 1);
    EXPECT_EQ(DeleteOneGraph(graph, 0), 0);
}

class OverlayTest : public MovieTest {
protected:
    void SetUp() override {
        MovieTest::SetUp();
        ptest::AllowOverlayFormat("YUY2");
        ptest::OverlayCaps caps;
        caps.alignFlags = DDCAPS_ALIGNSIZEDEST;
        caps.sizeDest = 8;
        ptest::SetOverlayCaps(caps);
        StartScreen(1, 32);
        graph = LoadFileToGraphCore("clip.avi", 1, 0, 1);
        ASSERT_GE(graph, 0);
        movie = MovieOf(graph);
        ASSERT_NE(movie, nullptr);
        GetWindowClientRect(&client);
    }
    RECT At(int left, int top, int right, int bottom) const {
        return RECT{client.left + left, client.top + top, client.left + right, client.top + bottom};
    }
    int graph = -1;
    MovieData* movie = nullptr;
    RECT client = {};
};

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
std::string Show(const RECT& r) {
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
           std::to_string(r.bottom) + ")";
}

TEST_F(OverlayTest, AnOverlayMovieIsPlacedInsteadOfDrawn) {
    EXPECT_EQ(movie->mode, 1);
    EXPECT_NE(movie->overlaySurface, nullptr);
    EXPECT_EQ(movie->frameSurface, nullptr);
    EXPECT_EQ(GetGraphData(graph)->useTexture, 0) << "an overlay movie's graphic takes the 2D path";
    EXPECT_EQ(PlayGraphMovie(graph), 0);
    EXPECT_EQ(DrawPlainGraph(10, 20, graph, 0), -1);
    ptest::OverlayPlacement placed = ptest::GetLastOverlayPlacement();
    EXPECT_TRUE(placed.shown);
    EXPECT_TRUE(SameRect(placed.source, RECT{0, 0, 64, 48})) << Show(placed.source);
    EXPECT_TRUE(SameRect(placed.destination, At(10, 20, 74, 68))) << Show(placed.destination);
    EXPECT_EQ(DrawStretchedGraph(0, 0, 128, 96, graph, 0), -1);
    placed = ptest::GetLastOverlayPlacement();
    EXPECT_TRUE(SameRect(placed.destination, At(0, 0, 128, 96))) << Show(placed.destination);
    // Closing hides it.
    EXPECT_EQ(DeleteOneGraph(graph, 0), 0);
    EXPECT_FALSE(ptest::GetLastOverlayPlacement().shown);
}

TEST_F(OverlayTest, PlacementClipsScalesAndAligns) {
    const int w = client.right - client.left, h = client.bottom - client.top;
    const struct {
        const char* name;
        int x, y, scale, show;
        DWORD alignFlags;
        DWORD alignValue;
        bool placed;  // false: nothing changes
        RECT source;
        RECT destination;  // client-relative
    } cases[] = {
        {"inside", 10, 20, 1, 1, 0, 0, true, {0, 0, 64, 48}, {10, 20, 74, 68}},
        {"cut left and top at scale 2", -10, -6, 2, 1, 0, 0, true, {5, 3, 64, 48}, {0, 0, 118, 90}},
        {"cut right and bottom at scale 2", w - 100, h - 20, 2, 1, 0, 0, true, {0, 0, 50, 10},
         {w - 100, h - 20, w, h}},
        {"source boundary", -10, 0, 2, 1, DDCAPS_ALIGNBOUNDARYSRC, 4, true, {4, 0, 64, 48}, {0, 0, 118, 96}},
        {"source size", -10, 0, 2, 1, DDCAPS_ALIGNSIZESRC, 8, true, {5, 0, 61, 48}, {0, 0, 118, 96}},
        {"destination boundary", 13, 0, 1, 1, DDCAPS_ALIGNBOUNDARYDEST, 16, true, {0, 0, 64, 48}, {13, 0, 77, 48}},
        {"destination size", 10, 0, 1, 1, DDCAPS_ALIGNSIZEDEST, 12, true, {0, 0, 64, 48}, {10, 0, 70, 48}},
        {"a zero alignment value is ignored", 13, 0, 1, 1, DDCAPS_ALIGNBOUNDARYDEST, 0, true, {0, 0, 64, 48},
         {13, 0, 77, 48}},
        {"outside the client area", w + 5, 0, 1, 1, 0, 0, false, {}, {}},
        {"hidden", 10, 20, 1, 0, 0, 0, true, {}, {}},
    };
    DDCAPS& caps = g_screen.caps;
    const DDCAPS saved = caps;
    // Start-up saved what the platform reports.
    EXPECT_EQ(saved.dwCaps & DDCAPS_ALIGNSIZEDEST, DDCAPS_ALIGNSIZEDEST);
    EXPECT_EQ(saved.dwAlignSizeDest, 8u);
    caps.dwCaps &= ~(DDCAPS_ALIGNBOUNDARYSRC | DDCAPS_ALIGNSIZESRC | DDCAPS_ALIGNBOUNDARYDEST | DDCAPS_ALIGNSIZEDEST);
    const DDCAPS plain = caps;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The capabilities saved at start-up, as the overlay placement reads them.
        caps = plain;
        caps.dwCaps |= c.alignFlags;
        caps.dwAlignBoundarySrc = caps.dwAlignSizeSrc = caps.dwAlignBoundaryDest = caps.dwAlignSizeDest =
            c.alignValue;
        // A known placement first, so that "nothing changes" shows.
        UpdateMovieOverlay(1, 1, 1, movie, 1);
        const ptest::OverlayPlacement before = ptest::GetLastOverlayPlacement();
        EXPECT_EQ(UpdateMovieOverlay(c.x, c.y, c.scale, movie, c.show), 0);
        const ptest::OverlayPlacement after = ptest::GetLastOverlayPlacement();
        if (!c.placed) {
            EXPECT_EQ(after.updates, before.updates);
            EXPECT_TRUE(after.shown);
            continue;
        }
        EXPECT_EQ(after.updates, before.updates + 1);
        EXPECT_EQ(after.shown, c.show == 1);
        if (c.show == 0) continue;
        EXPECT_TRUE(SameRect(after.source, c.source)) << Show(after.source);
        const RECT& d = c.destination;
        RECT expected = At(d.left, d.top, d.right, d.bottom);
        // The boundary is one of the screen: the left edge moves down to its multiple.
        if ((c.alignFlags & DDCAPS_ALIGNBOUNDARYDEST) && c.alignValue != 0) {
            ASSERT_NE(expected.left % (LONG)c.alignValue, 0) << "the row must start off the boundary";
            expected.left -= expected.left % (LONG)c.alignValue;
        }
        EXPECT_TRUE(SameRect(after.destination, expected)) << Show(after.destination);
    }
    caps = saved;
}

// ---- table, derived graphics, sound -------------------------------------------------------------

TEST_F(MovieTest, TheHundredAndFirstMovieIsRefusedWithoutALine) {
    StartScreen(1, 32);
    std::vector<int> movies;
    for (int i = 0; i < kMovieTableSize; ++i) {
        const int movie = OpenMovieToGraph("clip.avi", nullptr, nullptr, 0);
        ASSERT_GE(movie, 0) << i;
        EXPECT_EQ(GetHandleSlot(movie), i) << "the lowest free slot";
        movies.push_back(movie);
    }
    const size_t logAt = Log().size();
    EXPECT_EQ(OpenMovieToGraph("clip.avi", nullptr, nullptr, 0), -1);
    EXPECT_EQ(Log().size(), logAt);
    EXPECT_EQ(GetMovieCount(), kMovieTableSize);
    // A freed slot in the middle is the next one taken.
    EXPECT_EQ(CloseMovie(movies[40]), 0);
    movies[40] = OpenMovieToGraph("clip.avi", nullptr, nullptr, 0);
    EXPECT_EQ(GetHandleSlot(movies[40]), 40);
    for (int movie : movies) EXPECT_EQ(CloseMovie(movie), 0);
    EXPECT_EQ(GetMovieCount(), 0);
    EXPECT_EQ(ptest::GetLiveMovieObjects(), 0);
}

TEST_F(MovieTest, OnlyTheGraphicThatOpenedAMovieClosesIt) {
    for (int bits : {32, 16}) {
        SCOPED_TRACE(bits == 32 ? "Direct3D" : "2D");
        if (bits == 32)
            StartScreen(0, 32);
        else
            Restart(0, 16);
        const int graph = LoadFileToGraphCore("clip.avi", 1, 0, bits == 16 ? 2 : 0);
        ASSERT_GE(graph, 0);
        const int part = DeriveGraph(16, 8, 32, 24, graph);
        ASSERT_GE(part, 0);
        EXPECT_EQ(GetGraphData(part)->movie, GetGraphData(graph)->movie);
        ASSERT_EQ(PlayGraphMovie(graph), 0);
        // The derived graphic reads the frames while its parent lives.
        EXPECT_EQ(DrawPlainGraph(0, 0, part, 0), 0);
        EXPECT_EQ(Colour(GraphPixel(part, 10, 10)), 0);
        EXPECT_EQ(DeleteOneGraph(part, 0), 0);
        MovieData* movie = MovieOf(graph);
        ASSERT_NE(movie, nullptr) << "deleting the derived graphic left the movie";
        EXPECT_EQ(movie->isPlaying, 1);
        Sleep(100);
        EXPECT_EQ(DrawAndPresent(graph), 1);

        // Once the owner is gone, a derived graphic has no movie.
        const int orphan = DeriveGraph(0, 0, 16, 16, graph);
        ASSERT_GE(orphan, 0);
        EXPECT_EQ(DeleteOneGraph(graph, 0), 0);
        EXPECT_EQ(GetMovieCount(), 0);
        EXPECT_EQ(GetGraphData(orphan)->movie, -1);
        EXPECT_EQ(UpdateGraphMovieFrame(orphan), 0);
        EXPECT_EQ(DeleteOneGraph(orphan, 0), 0);
    }
}

TEST_F(MovieTest, TheSoundTrackReachesTheMixerWhilePlaying) {
    StartScreen(1, 32);
    const int graph = LoadFileToGraph("clip.avi");
    ASSERT_GE(graph, 0);
    const ptest::AudioOutputFormat format = ptest::GetAudioOutputFormat();
    auto silent = [](const std::vector<int16_t>& samples) {
        for (int16_t s : samples)
            if (s != 0) return false;
        return true;
    };
    EXPECT_TRUE(silent(ptest::PullAudio(format.rate / 10))) << "paused after the open";
    ASSERT_EQ(PlayGraphMovie(graph), 0);
    const std::vector<int16_t> tone = ptest::PullAudio(format.rate / 4);
    EXPECT_NEAR(qztest::DominantFrequency(tone, format.channels, format.rate), 440.0, 3.0);
    ASSERT_EQ(PauseGraphMovie(graph), 0);
    EXPECT_TRUE(silent(ptest::PullAudio(format.rate / 10))) << "paused";
}

}  // namespace

}  // namespace QzGraphicsMovie_test
