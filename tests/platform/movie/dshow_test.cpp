// DirectShow multimedia streams over FFmpeg: frames into DirectDraw surfaces on the stream
// clock, pending updates and their events, pause, seeking, the end, the sound track in the
// mixer, the files that open and those that do not, and the set-up faults by name.
// Movies are written at test time; the clock is the fast one, moved by Sleep.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "CodecFixtures.h"
#include "MemoryWatch.h"
#include "../dshow_support.h"

namespace dshow_test {

using namespace movietest;

namespace {

const std::vector<int> kTenInOrder = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};

// The colours shown, a colour held over several frames counted once.
std::vector<int> Changes(const std::vector<int>& shown) {
    std::vector<int> out;
    for (int c : shown)
        if (out.empty() || out.back() != c)
            out.push_back(c);
    return out;
}

class Movies : public ::testing::Test {
protected:
    void SetUp() override {
        ptest::ResetControls();
        ptest::SetClockMode(ptest::ClockMode::Fast);
        clip = Write(dir, "clip.avi", ClipSpec());
    }
    void TearDown() override { EXPECT_EQ(ptest::GetLiveMovieObjects(), 0) << "objects left after the test"; }

    qztest::TempDir dir;
    std::string clip;
};

// ---- frames ---------------------------------------------------------------------------------------

struct PlayCase {
    const char* name;
    bool mpeg;             // the MPEG-1 file instead of clip.avi
    int screenBits;        // 0: window mode on the 32-bit desktop
    DDPIXELFORMAT format;  // the sample surface's
    bool ownSurface;       // the sample makes its surface (the format above is then the screen's)
};

TEST_F(Movies, PlaysTheTenColoursInOrderIntoEverySurfaceFormat) {
    Write(dir, "clip.mpg", MpegSpec());
    const PlayCase cases[] = {
        {"X8R8G8B8", false, 0, X8R8G8B8(), false},
        {"24-bit RGB", false, 16, R8G8B8(), false},
        {"R5G6B5", false, 16, R5G6B5(), false},
        {"X1R5G5B5", false, 16, X1R5G5B5(), false},
        {"own surface, 32-bit screen", false, 0, X8R8G8B8(), true},
        {"own surface, 16-bit screen", false, 16, R5G6B5(), true},
        {"MPEG-1, X8R8G8B8", true, 0, X8R8G8B8(), false},
        {"MPEG-1, 24-bit RGB", true, 16, R8G8B8(), false},
    };
    for (const PlayCase& c : cases) {
        SCOPED_TRACE(c.name);
        Screen screen(c.screenBits);
        Player p;
        ASSERT_EQ(p.Open(screen.dd, c.mpeg ? "clip.mpg" : "clip.avi", c.ownSurface ? nullptr : &c.format, !c.mpeg), 0);
        EXPECT_EQ(p.rect.right, 64);
        EXPECT_EQ(p.rect.bottom, 48);
        DDSURFACEDESC2 desc = {};
        desc.dwSize = sizeof desc;
        ASSERT_EQ(p.frame->GetSurfaceDesc(&desc), DD_OK);
        EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, c.format.dwRGBBitCount);
        EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, c.format.dwRBitMask);
        // Opened, the movie waits at its start.
        STREAM_STATE state = STREAMSTATE_RUN;
        ASSERT_EQ(p.stream->GetState(&state), S_OK);
        EXPECT_EQ(state, STREAMSTATE_STOP);
        EXPECT_EQ(p.sample->Update(0, p.event, nullptr, 0), MS_E_NOTRUNNING);

        ASSERT_EQ(p.stream->SetState(STREAMSTATE_RUN), S_OK);
        // clip.avi has one frame per colour, so every frame is shown once.
        std::vector<int> shown = p.PlayThrough();
        EXPECT_EQ(c.mpeg ? Changes(shown) : shown, kTenInOrder);
        // The last picture stays.
        EXPECT_EQ(ColourShown(p.frame), 9);
        p.Release();
    }
}


TEST_F(Movies, AnUpdateWaitsForItsFrameAndLateFramesAreDropped) {
    Screen screen;
    Player p;
    DDPIXELFORMAT format = X8R8G8B8();
    ASSERT_EQ(p.Open(screen.dd, "clip.avi", &format), 0);
    ASSERT_EQ(p.stream->SetState(STREAMSTATE_RUN), S_OK);
    ASSERT_EQ(p.sample->Update(0, p.event, nullptr, 0), S_OK);
    EXPECT_EQ(ColourShown(p.frame), 0);
    // Frame 1 is due at 100 ms: the update stays outstanding until then.
    ASSERT_EQ(p.sample->Update(0, p.event, nullptr, 0), MS_S_PENDING);
    EXPECT_EQ(p.sample->Update(0, p.event, nullptr, 0), MS_E_BUSY);
    Sleep(99);
    EXPECT_EQ(WaitForSingleObject(p.event, 0), WAIT_TIMEOUT);
    EXPECT_EQ(ColourShown(p.frame), 0);
    Sleep(1);
    // Testing the event is what completes it.
    EXPECT_EQ(ColourShown(p.frame), 0);
    EXPECT_EQ(WaitForSingleObject(p.event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(ColourShown(p.frame), 1);
    ResetEvent(p.event);
    // 450 ms: frames 2 and 3 came and went unseen; 4 is shown.
    Sleep(350);
    ASSERT_EQ(p.sample->Update(0, p.event, nullptr, 0), S_OK);
    EXPECT_EQ(ColourShown(p.frame), 4);
    // A timed wait on the event moves with the clock only as far as its own reads go, so
    // the frame a whole 100 ms away is still outstanding after a short real wait.
    ASSERT_EQ(p.sample->Update(0, p.event, nullptr, 0), MS_S_PENDING);
    EXPECT_EQ(WaitForSingleObject(p.event, 5), WAIT_TIMEOUT);
    // An update without an event waits for its frame on the platform clock.
    Sleep(60);
    EXPECT_EQ(WaitForSingleObject(p.event, 0), WAIT_OBJECT_0);
    ResetEvent(p.event);
    EXPECT_EQ(ColourShown(p.frame), 5);
    STREAM_TIME before = 0, after = 0;
    p.stream->GetTime(&before);
    ASSERT_EQ(p.sample->Update(0, nullptr, nullptr, 0), S_OK);
    p.stream->GetTime(&after);
    EXPECT_EQ(ColourShown(p.frame), 6);
    EXPECT_GE(after, 6000000);
    EXPECT_LT(after, 6000000 + 20000);
    EXPECT_GT(after, before);
}

TEST_F(Movies, PauseHoldsTheClockAndRunGoesOnFromThere) {
    Screen screen;
    Player p;
    ASSERT_EQ(p.Open(screen.dd, "clip.avi"), 0);
    STREAM_TIME t = -1;
    ASSERT_EQ(p.stream->GetTime(&t), S_OK);
    EXPECT_EQ(t, 0);
    ASSERT_EQ(p.stream->SetState(STREAMSTATE_RUN), S_OK);
    Sleep(250);
    ASSERT_EQ(p.stream->GetTime(&t), S_OK);
    EXPECT_GE(t, 2500000);
    EXPECT_LT(t, 2500000 + 10000);  // the clock's own read steps, microseconds each
    ASSERT_EQ(p.sample->Update(0, p.event, nullptr, 0), S_OK);
    EXPECT_EQ(ColourShown(p.frame), 2);

    ASSERT_EQ(p.control->Pause(), S_OK);
    STREAM_STATE state = STREAMSTATE_RUN;
    p.stream->GetState(&state);
    EXPECT_EQ(state, STREAMSTATE_STOP);
    STREAM_TIME held = 0, later = 0;
    p.stream->GetTime(&held);
    Sleep(500);
    p.stream->GetTime(&later);
    EXPECT_EQ(later, held);
    EXPECT_EQ(p.sample->Update(0, p.event, nullptr, 0), MS_E_NOTRUNNING);
    EXPECT_EQ(ColourShown(p.frame), 2);

    ASSERT_EQ(p.stream->SetState(STREAMSTATE_RUN), S_OK);
    p.stream->GetState(&state);
    EXPECT_EQ(state, STREAMSTATE_RUN);
    Sleep(100);
    ASSERT_EQ(p.sample->Update(0, p.event, nullptr, 0), S_OK);
    EXPECT_EQ(ColourShown(p.frame), 3);
    p.stream->GetTime(&later);
    EXPECT_GE(later, held + 1000000);
    EXPECT_LT(later, held + 1000000 + 10000);
}

TEST_F(Movies, SeekShowsTheFrameOfThatTimeInBothFiles) {
    Write(dir, "clip.mpg", MpegSpec());
    for (const char* name : {"clip.avi", "clip.mpg"}) {
        SCOPED_TRACE(name);
        Screen screen;
        Player p;
        ASSERT_EQ(p.Open(screen.dd, name, nullptr, false), 0);
        // Stopped: the clock takes the time, and the next run starts there.
        ASSERT_EQ(p.stream->Seek(5500000), S_OK);
        STREAM_TIME t = 0;
        p.stream->GetTime(&t);
        EXPECT_EQ(t, 5500000);
        ASSERT_EQ(p.stream->SetState(STREAMSTATE_RUN), S_OK);
        ASSERT_EQ(p.sample->Update(0, p.event, nullptr, 0), S_OK);
        EXPECT_EQ(ColourShown(p.frame), 5);
        // Back, forth, and past the end (the last frame, then the end) while running.
        const struct {
            STREAM_TIME time;
            int colour;
            bool thenEnd;
        } seeks[] = {{0, 0, false}, {3000000, 3, false}, {9800000, 9, true}, {20000000, 9, true}, {1000000, 1, false}};
        for (const auto& seek : seeks) {
            ASSERT_EQ(p.stream->Seek(seek.time), S_OK);
            ASSERT_EQ(p.sample->Update(0, p.event, nullptr, 0), S_OK) << "seek to " << seek.time;
            EXPECT_EQ(ColourShown(p.frame), seek.colour) << "seek to " << seek.time;
            HRESULT next = p.sample->Update(0, p.event, nullptr, 0);
            EXPECT_EQ(next == MS_S_ENDOFSTREAM, seek.thenEnd) << "seek to " << seek.time;
            if (next == MS_S_PENDING) {  // let it go: a seek leaves an outstanding update in place
                Sleep(200);
                EXPECT_EQ(WaitForSingleObject(p.event, 0), WAIT_OBJECT_0);
                ResetEvent(p.event);
            }
        }
        EXPECT_EQ(p.stream->Seek(-1), E_INVALIDARG);
    }
}

TEST_F(Movies, ReleasingTheSampleOrTheStreamCancelsAnOutstandingUpdate) {
    Screen screen;
    DDPIXELFORMAT format = X8R8G8B8();
    {
        Player p;
        ASSERT_EQ(p.Open(screen.dd, "clip.avi", &format), 0);
        p.stream->SetState(STREAMSTATE_RUN);
        ASSERT_EQ(p.sample->Update(0, p.event, nullptr, 0), S_OK);
        ASSERT_EQ(p.sample->Update(0, p.event, nullptr, 0), MS_S_PENDING);
        p.sample->Release();
        p.sample = nullptr;
        Sleep(300);
        EXPECT_EQ(WaitForSingleObject(p.event, 0), WAIT_TIMEOUT);
        EXPECT_EQ(ColourShown(p.frame), 0);
    }
    {
        Player p;
        ASSERT_EQ(p.Open(screen.dd, "clip.avi", &format), 0);
        p.stream->SetState(STREAMSTATE_RUN);
        ASSERT_EQ(p.sample->Update(0, p.event, nullptr, 0), S_OK);
        ASSERT_EQ(p.sample->Update(0, p.event, nullptr, 0), MS_S_PENDING);
        p.stream->Release();  // the multimedia stream's last reference
        p.stream = nullptr;
        Sleep(300);
        EXPECT_EQ(WaitForSingleObject(p.event, 0), WAIT_TIMEOUT);
        EXPECT_EQ(ColourShown(p.frame), 0);
        // What is left of it delivers nothing.
        EXPECT_EQ(p.sample->Update(0, p.event, nullptr, 0), MS_E_NOSTREAM);
        DDSURFACEDESC format0;
        std::memset(&format0, 0, sizeof format0);
        format0.dwSize = sizeof format0;
        EXPECT_EQ(p.ddVideo->GetFormat(nullptr, nullptr, &format0, nullptr), MS_E_NOSTREAM);
    }
}

// What the library does around a display change, ten times over: the time saved, every
// reference released with an update outstanding, the file opened again and sought.
TEST_F(Movies, ReleasedAndReopenedTenTimesLeavesNothingBehind) {
    Screen screen;
    STREAM_TIME saved = 0;
    bool playing = true;
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Player p;
        ASSERT_EQ(p.Open(screen.dd, "clip.avi"), 0);
        ASSERT_EQ(p.stream->Seek(saved), S_OK);
        if (playing) {
            ASSERT_EQ(p.stream->SetState(STREAMSTATE_RUN), S_OK);
        }
        // Paused rounds show nothing new; playing ones the frame of the saved time.
        HRESULT hr = p.sample->Update(0, p.event, nullptr, 0);
        if (playing) {
            ASSERT_EQ(hr, S_OK);
            EXPECT_EQ(ColourShown(p.frame), static_cast<int>(saved / 1000000) % 10);
            EXPECT_EQ(p.sample->Update(0, p.event, nullptr, 0), MS_S_PENDING);
        } else {
            EXPECT_EQ(hr, MS_E_NOTRUNNING);
        }
        Sleep(50);
        p.stream->GetTime(&saved);
        p.Release();
        EXPECT_EQ(ptest::GetLiveMovieObjects(), 0);
        playing = round % 3 != 1;
        if (saved >= 9000000)
            saved = 0;
    }
}

TEST_F(Movies, SoundTrackPlaysInTheMixerWhileTheClockRuns) {
    Screen screen;
    Player p;
    ASSERT_EQ(p.Open(screen.dd, "clip.avi"), 0);
    const int rate = ptest::GetAudioOutputFormat().rate;
    const int channels = ptest::GetAudioOutputFormat().channels;
    auto silent = [](const std::vector<int16_t>& samples) {
        for (int16_t s : samples)
            if (s != 0)
                return false;
        return true;
    };
    EXPECT_TRUE(silent(ptest::PullAudio(rate / 10))) << "stopped: nothing";
    p.stream->SetState(STREAMSTATE_RUN);
    std::vector<int16_t> tone = ptest::PullAudio(rate / 4);
    EXPECT_NEAR(qztest::DominantFrequency(tone, channels, rate), 440.0, 3.0);
    int peak = 0;
    for (int16_t s : tone)
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_NEAR(peak, 16384, 1000);  // the tone's half scale, resampled
    p.control->Pause();
    EXPECT_TRUE(silent(ptest::PullAudio(rate / 10))) << "paused: nothing";
    p.stream->SetState(STREAMSTATE_RUN);
    tone = ptest::PullAudio(rate / 4);
    EXPECT_NEAR(qztest::DominantFrequency(tone, channels, rate), 440.0, 3.0);
    // Half a second played: a seek to 0.9 s leaves a tenth of a second of the tone.
    p.stream->Seek(9000000);
    std::vector<int16_t> end = ptest::PullAudio(rate / 5);
    size_t lastSound = 0;
    for (size_t i = 0; i < end.size(); ++i)
        if (end[i] != 0)
            lastSound = i / channels;
    EXPECT_NEAR(static_cast<double>(lastSound), rate / 10.0, rate / 200.0);
    // Released, the voice leaves the mixer.
    p.Release();
    EXPECT_TRUE(silent(ptest::PullAudio(rate / 10)));
}

TEST_F(Movies, WithoutASoundDeviceTheDefaultRendererCannotBeAdded) {
    Screen screen;
    Player p;
    ptest::FailCall("SoundDevice");
    EXPECT_EQ(p.Open(screen.dd, "clip.avi"), 3);
    p.Release();
    // Without the renderer the movie plays silent.
    Player silent;
    ASSERT_EQ(silent.Open(screen.dd, "clip.avi", nullptr, false), 0);
    silent.stream->SetState(STREAMSTATE_RUN);
    for (int16_t s : ptest::PullAudio(4410))
        ASSERT_EQ(s, 0);
}

// ---- files ----------------------------------------------------------------------------------------

// A fresh multimedia stream with a video stream and the sound renderer: OpenFile's result.
HRESULT TryOpen(IDirectDraw7* dd, const std::string& cp932Name) {
    IAMMultiMediaStream* stream = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER, IID_IAMMultiMediaStream,
                               (void**)&stream),
              S_OK);
    EXPECT_EQ(stream->Initialize(STREAMTYPE_READ, AMMSF_NOGRAPHTHREAD, nullptr), S_OK);
    EXPECT_EQ(stream->AddMediaStream(dd, &MSPID_PrimaryVideo, 0, nullptr), S_OK);
    EXPECT_EQ(stream->AddMediaStream(nullptr, &MSPID_PrimaryAudio, AMMSF_ADDDEFAULTRENDERER, nullptr), S_OK);
    HRESULT hr = stream->OpenFile(Wide(cp932Name).data(), 0);
    stream->Release();
    return hr;
}

TEST_F(Movies, NamesResolveAsCreateFileAResolvesThem) {
    Screen screen;
    qztest::WriteWholeFile(dir.file("Mixed.AVI"), qztest::ReadWholeFile(clip));
    mkdir(dir.file("sub").c_str(), 0755);
    qztest::WriteWholeFile(dir.file("sub/inner.avi"), qztest::ReadWholeFile(clip));
    // A Japanese name: on disk in UTF-8, asked for in CP932 (this file's literals).
    qztest::WriteWholeFile(dir.file(reinterpret_cast<const char*>(u8"動画.avi")), qztest::ReadWholeFile(clip));
    char cwd[MAX_PATH] = {};
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, cwd), 0u);
    const std::string here = cwd;
    const struct {
        std::string name;
        HRESULT result;
    } cases[] = {
        {"clip.avi", S_OK},
        {"CLIP.avi", S_OK},
        {"mixed.avi", S_OK},
        {"sub\\INNER.avi", S_OK},
        {"sub/inner.avi", S_OK},
        {here + "\\clip.avi", S_OK},
        {here + "\\SUB\\inner.avi", S_OK},
        {"動画.avi", S_OK},
        {"missing.avi", VFW_E_NOT_FOUND},
        {"sub", VFW_E_NOT_FOUND},
        {"nowhere\\clip.avi", VFW_E_NOT_FOUND},
        {"D:\\clip.avi", VFW_E_NOT_FOUND},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TryOpen(screen.dd, c.name), c.result) << c.name;
}

TEST_F(Movies, OpenFileRefusesWhatIsNoMovie) {
    Screen screen;
    // A picture, whole and damaged: still images never open as one-frame movies.
    qztest::PngSpec png;
    png.width = 64;
    png.height = 48;
    png.rows = qztest::GradientRgb(64, 48);
    const std::string picture = qztest::WritePng(png);
    qztest::WriteWholeFile(dir.file("whole.png"), picture);
    qztest::WriteWholeFile(dir.file("damaged.png"), picture.substr(0, picture.size() / 2));
    std::string damaged = picture;
    for (size_t i = 40; i < damaged.size(); i += 7)
        damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
    qztest::WriteWholeFile(dir.file("scrambled.png"), damaged);
    const std::string jpeg = qztest::WriteJpeg(64, 48, 3, qztest::GradientRgb(64, 48));
    qztest::WriteWholeFile(dir.file("photo.jpg"), jpeg);
    qztest::WriteWholeFile(dir.file("cut.jpg"), jpeg.substr(0, jpeg.size() / 2));
    qztest::WriteWholeFile(dir.file("notes.txt"), "This is a text file, not a movie.\r\nSecond line.\r\n");
    std::string noise(4096, '\0');
    uint32_t seed = 12345;
    for (char& c : noise) {
        seed = seed * 1103515245 + 12345;
        c = static_cast<char>(seed >> 24);
    }
    qztest::WriteWholeFile(dir.file("noise.avi"), noise);
    qztest::WriteWholeFile(dir.file("half.avi"), qztest::ReadWholeFile(clip).substr(0, 200));
    qztest::WriteWholeFile(dir.file("empty.avi"), "");
    // An archive member is no real file: the platform never looks into archives.
    qztest::WriteWholeFile(dir.file("pack.qza"), "QZA archive bytes");

    const struct {
        const char* name;
        HRESULT result;
    } cases[] = {
        {"whole.png", VFW_E_UNSUPPORTED_STREAM},   {"damaged.png", VFW_E_UNSUPPORTED_STREAM},
        {"scrambled.png", VFW_E_UNSUPPORTED_STREAM}, {"photo.jpg", VFW_E_UNSUPPORTED_STREAM},
        {"cut.jpg", VFW_E_UNSUPPORTED_STREAM},     {"notes.txt", VFW_E_UNSUPPORTED_STREAM},
        {"noise.avi", VFW_E_UNSUPPORTED_STREAM},   {"half.avi", VFW_E_UNSUPPORTED_STREAM},
        {"empty.avi", VFW_E_UNSUPPORTED_STREAM},   {"pack\\clip.avi", VFW_E_NOT_FOUND},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TryOpen(screen.dd, c.name), c.result) << c.name;
}

TEST_F(Movies, ASoundOnlyFileOpensWithNoPicture) {
    qztest::MovieSpec spec = ClipSpec();
    spec.container = "wav";
    spec.videoCodec = "";
    Write(dir, "tone.wav", spec);
    Screen screen;
    Player p;
    EXPECT_EQ(p.Open(screen.dd, "tone.wav"), 6);  // GetFormat gives 0 x 0
    DDSURFACEDESC desired;
    std::memset(&desired, 0, sizeof desired);
    desired.dwSize = sizeof desired;
    ASSERT_EQ(p.ddVideo->GetFormat(nullptr, nullptr, &desired, nullptr), S_OK);
    EXPECT_EQ(desired.dwWidth, 0u);
    EXPECT_EQ(desired.dwHeight, 0u);
    IDirectDrawStreamSample* sample = nullptr;
    EXPECT_EQ(p.ddVideo->CreateSample(nullptr, nullptr, 0, &sample), MS_E_NOSTREAM);
    // Its sound plays all the same.
    p.stream->SetState(STREAMSTATE_RUN);
    const int rate = ptest::GetAudioOutputFormat().rate;
    EXPECT_NEAR(qztest::DominantFrequency(ptest::PullAudio(rate / 4), ptest::GetAudioOutputFormat().channels, rate),
                440.0, 3.0);
    // A second file on the same stream is refused.
    EXPECT_EQ(p.stream->OpenFile(Wide("clip.avi").data(), 0), MS_E_SOURCEALREADYDEFINED);
}

// Found by fuzzing: a sound-only file (a WAVE) whose track claims 1,935,955,490 samples
// a second. It opens and runs like any sound-only file, but its sound is not converted (a
// resampler for that rate would take seconds and gigabytes on the mixing thread): the mix
// stays silent and small. Made here from FFmpeg's WAVE with the rate and byte rate
// written over, as the fuzzer had them.
TEST_F(Movies, ASoundTrackOfAnAbsurdRateOpensAndStaysSilent) {
    qztest::MovieSpec spec = ClipSpec();
    spec.container = "wav";
    spec.videoCodec = "";
    std::string bytes = qztest::ReadWholeFile(Write(dir, "tone.wav", spec));
    ASSERT_GE(bytes.size(), 44u);
    ASSERT_EQ(bytes.compare(12, 4, "fmt "), 0);
    const uint32_t claimedRate = 1935955490u, byteRate = 0x5F765F74u;
    for (int i = 0; i < 4; i++) {
        bytes[24 + i] = static_cast<char>((claimedRate >> (8 * i)) & 0xFF);
        bytes[28 + i] = static_cast<char>((byteRate >> (8 * i)) & 0xFF);
    }
    qztest::WriteWholeFile(dir.file("absurd.avi"), bytes);
    Screen screen;
    Player p;
    EXPECT_EQ(p.Open(screen.dd, "absurd.avi"), 6);  // opened; no picture
    p.stream->SetState(STREAMSTATE_RUN);
    STREAM_STATE state = STREAMSTATE_STOP;
    EXPECT_EQ(p.stream->GetState(&state), S_OK);
    EXPECT_EQ(state, STREAMSTATE_RUN);
    const int rate = ptest::GetAudioOutputFormat().rate;
    qztest::AllocationWatch::Start();
    const std::vector<int16_t> mixed = ptest::PullAudio(rate / 2);
    EXPECT_TRUE(std::all_of(mixed.begin(), mixed.end(), [](int16_t s) { return s == 0; }));
    if (qztest::AllocationWatch::Available()) {
        EXPECT_LT(qztest::AllocationWatch::TotalBytes(), size_t(16) << 20) << "bytes allocated by the mix";
    }
}

// ---- sample surfaces --------------------------------------------------------------------------------

TEST_F(Movies, SampleSurfacesOfOtherFormatsOrTooSmallAreRefused) {
    Screen screen(16);
    Player p;
    ASSERT_EQ(p.Open(screen.dd, "clip.avi"), 0);
    const struct {
        const char* name;
        DDPIXELFORMAT format;
        int width, height;
    } refused[] = {
        {"X8B8G8R8", Rgb(32, 0xFF, 0xFF00, 0xFF0000), 64, 48},
        {"B5G6R5", Rgb(16, 0x1F, 0x7E0, 0xF800), 64, 48},
        {"8-bit", Rgb(8, 0, 0, 0), 64, 48},
        {"too narrow", X8R8G8B8(), 63, 48},
        {"too low", X8R8G8B8(), 64, 47},
    };
    for (const auto& c : refused) {
        IDirectDrawSurface* surface = screen.Surface(c.width, c.height, c.format);
        IDirectDrawStreamSample* sample = nullptr;
        EXPECT_EQ(p.ddVideo->CreateSample(surface, nullptr, DDSFF_PROGRESSIVERENDER, &sample), MS_E_INCOMPATIBLE)
            << c.name;
        EXPECT_EQ(sample, nullptr);
        surface->Release();
    }
    // A larger surface takes the frame at its top-left corner; a rectangle is not taken.
    IDirectDrawSurface* large = screen.Surface(100, 80, X8R8G8B8());
    RECT rect = {0, 0, 64, 48};
    IDirectDrawStreamSample* sample = nullptr;
    EXPECT_EQ(p.ddVideo->CreateSample(large, &rect, 0, &sample), E_INVALIDARG);
    ASSERT_EQ(p.ddVideo->CreateSample(large, nullptr, 0, &sample), S_OK);
    IDirectDrawSurface* got = nullptr;
    RECT frame = {};
    ASSERT_EQ(sample->GetSurface(&got, &frame), S_OK);
    EXPECT_EQ(got, large);  // the same view, as a new reference
    EXPECT_EQ(frame.right, 64);
    EXPECT_EQ(frame.bottom, 48);
    got->Release();
    p.stream->SetState(STREAMSTATE_RUN);
    ASSERT_EQ(sample->Update(0, p.event, nullptr, 0), S_OK);
    IDirectDrawSurface4* view = nullptr;
    ASSERT_EQ(large->QueryInterface(IID_IDirectDrawSurface4, (void**)&view), S_OK);
    EXPECT_EQ(qztest::NearestMovieColour(PixelAt(view, 63, 47)), 0);
    EXPECT_EQ(PixelAt(view, 64, 48), 0u);  // untouched outside the frame
    view->Release();
    sample->Release();
    large->Release();
}

TEST_F(Movies, OverlaySurfacesTakeFramesAsPackedYuv) {
    const struct {
        const char* name;
        int yOffset, uOffset, vOffset;  // within a two-pixel group
    } formats[] = {{"UYVY", 1, 0, 2}, {"YUY2", 0, 1, 3}};
    for (const auto& f : formats) {
        SCOPED_TRACE(f.name);
        ptest::AllowOverlayFormat(f.name);
        Screen screen;
        Player p;
        DDPIXELFORMAT format = FourCC(f.name[0], f.name[1], f.name[2], f.name[3]);
        ASSERT_EQ(p.Open(screen.dd, "clip.avi", &format, false, DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY), 0);
        ASSERT_NE(p.made, nullptr) << "the overlay surface was taken";
        p.stream->SetState(STREAMSTATE_RUN);
        ASSERT_EQ(p.sample->Update(0, p.event, nullptr, 0), S_OK);
        DDSURFACEDESC2 d = {};
        d.dwSize = sizeof d;
        ASSERT_EQ(p.frame->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr), DD_OK);
        const uint8_t* group = static_cast<const uint8_t*>(d.lpSurface) + 24 * d.lPitch + 32 * 2;
        // Pure red in video-range BT.601: Y 81, U 90, V 240.
        EXPECT_NEAR(group[f.yOffset], 81, 4);
        EXPECT_NEAR(group[f.uOffset], 90, 4);
        EXPECT_NEAR(group[f.vOffset], 240, 4);
        p.frame->Unlock(nullptr);
    }
}

// The bytes of every frame the sample is given while the movie plays through, with its
// surface in `format`.
std::vector<std::string> FrameBytes(const std::string& name, const DDPIXELFORMAT& format, DWORD caps) {
    Screen screen;
    Player p;
    std::vector<std::string> frames;
    EXPECT_EQ(p.Open(screen.dd, name, &format, false, caps), 0) << name;
    EXPECT_NE(p.made, nullptr) << name << ": the surface asked for was taken";
    if (p.made == nullptr)
        return frames;
    p.stream->SetState(STREAMSTATE_RUN);
    for (int step = 0; step < 40; ++step) {
        HRESULT hr = p.sample->Update(0, nullptr, nullptr, 0);  // waits for the frame
        if (hr != S_OK)
            break;
        DDSURFACEDESC2 d = {};
        d.dwSize = sizeof d;
        EXPECT_EQ(p.frame->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr), DD_OK);
        const size_t row = d.dwWidth * (format.dwFlags & DDPF_FOURCC ? 2 : format.dwRGBBitCount / 8);
        std::string bytes;
        for (DWORD y = 0; y < d.dwHeight; ++y)
            bytes.append(static_cast<const char*>(d.lpSurface) + y * d.lPitch, row);
        p.frame->Unlock(nullptr);
        frames.push_back(bytes);
    }
    EXPECT_FALSE(frames.empty()) << name;
    return frames;
}

// Frame conversions are set up once and kept from one movie to the next where that is
// exact: a movie's frames have the same bytes whether or not a movie of another colour
// space (BT.709) or range (MJPEG's full range) was converted before it.
TEST_F(Movies, FramesHaveTheSameBytesWhateverMoviePlayedBefore) {
    qztest::MovieSpec hd = MpegSpec();
    hd.videoCodec = "mpeg2video";
    hd.bt709 = true;
    Write(dir, "hd.mpg", hd);
    Write(dir, "clip.mpg", MpegSpec());
    ptest::AllowOverlayFormat("YUY2");
    const struct {
        const char* name;
        DDPIXELFORMAT format;
        DWORD caps;
    } targets[] = {
        {"X8R8G8B8", X8R8G8B8(), DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY},
        {"R5G6B5", R5G6B5(), DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY},
        {"YUY2 overlay", FourCC('Y', 'U', 'Y', '2'), DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY},
    };
    for (const auto& t : targets) {
        for (const char* name : {"clip.mpg", "clip.avi"}) {
            SCOPED_TRACE(std::string(t.name) + ", " + name);
            const std::vector<std::string> first = FrameBytes(name, t.format, t.caps);
            FrameBytes("hd.mpg", t.format, t.caps);
            FrameBytes(name == std::string("clip.mpg") ? "clip.avi" : "clip.mpg", t.format, t.caps);
            EXPECT_TRUE(FrameBytes(name, t.format, t.caps) == first) << "the frames differ";
        }
    }
}

// ---- faults ---------------------------------------------------------------------------------------------

TEST_F(Movies, FaultsByNameFailTheirSetUpStep) {
    const struct {
        const char* fault;
        const char* second;  // another fault at once, or null
        int secondNth;
        int step;
    } cases[] = {
        {"CreateFilterGraph", nullptr, 0, 2},
        {"CreateMultiMediaStream", nullptr, 0, 2},
        {"MultiMediaStreamInitialize", nullptr, 0, 2},
        {"QueryInterface:IMediaControl", nullptr, 0, 2},
        {"QueryInterface:IDirectDraw4", nullptr, 0, 2},
        {"AddMediaStream:Video", nullptr, 0, 3},
        {"AddMediaStream:Audio", nullptr, 0, 3},
        {"SoundDevice", nullptr, 0, 3},
        {"OpenFile", nullptr, 0, 4},
        {"QueryInterface:IMediaSeeking", nullptr, 0, 5},
        {"QueryInterface:IBasicAudio", nullptr, 0, 5},
        {"GetMediaStream", nullptr, 0, 5},
        {"QueryInterface:IAMMediaStream", nullptr, 0, 5},
        {"QueryInterface:IDirectDrawMediaStream", nullptr, 0, 5},
        {"GetFormat", nullptr, 0, 6},
        {"CreateSurface:Offscreen", nullptr, 0, 6},
        {"CreateSample", nullptr, 0, 0},  // retried without a surface, which works
        {"CreateSample", "CreateSurface:Offscreen", 2, 7},  // and the retry's own surface fails
        {"GetSurface", nullptr, 0, 8},
        {"QueryInterface:IDirectDrawSurface4", nullptr, 0, 9},
        {"CreateEventA", nullptr, 0, 10},
    };
    Screen screen;
    DDPIXELFORMAT format = R8G8B8();
    for (const auto& c : cases) {
        ptest::ClearFaults();
        ptest::FailCall(c.fault);
        if (c.second)
            ptest::FailCall(c.second, c.secondNth);
        Player p;
        EXPECT_EQ(p.Open(screen.dd, "clip.avi", &format), c.step) << c.fault << (c.second ? " + second" : "");
        p.Release();
        EXPECT_EQ(ptest::GetLiveMovieObjects(), 0) << c.fault;
    }
    ptest::ClearFaults();
    // Update's own fault stops a playing movie the way an error does.
    Player p;
    ASSERT_EQ(p.Open(screen.dd, "clip.avi", &format), 0);
    p.stream->SetState(STREAMSTATE_RUN);
    ptest::FailCall("SampleUpdate");
    EXPECT_EQ(p.sample->Update(0, p.event, nullptr, 0), E_FAIL);
    EXPECT_EQ(p.sample->Update(0, p.event, nullptr, 0), S_OK);
}

}  // namespace

}  // namespace dshow_test
