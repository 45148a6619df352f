// FFmpeg and FluidSynth are loaded at the first movie open and the first song, not at
// start: a process that plays neither never maps them, and a machine without them fails
// those opens cleanly. This program does not link either library, and CTest runs each
// case in a process of its own, so what is mapped is what the platform loaded.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "TempDir.h"
#include "dshow_support.h"
#include "platform/dmusic.h"
#include "platform/winmm.h"
#include "sound_support.h"

namespace load_on_first_use_test {

namespace {

bool Mapped(const std::string& library) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("/" + library) != std::string::npos)
            return true;
    return false;
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Two 8 x 8 grey frames in the plain YUV4MPEG2 format, which needs no encoder to write.
void WriteY4m(const std::string& path) {
    std::string bytes = "YUV4MPEG2 W8 H8 F10:1 Ip A1:1 C420jpeg\n";
    for (int frame = 0; frame < 2; ++frame)
        bytes += "FRAME\n" + std::string(64, '\x80') + std::string(32, '\x80');
    std::ofstream(path, std::ios::binary) << bytes;
}

IAMMultiMediaStream* NewMovieStream() {
    CoInitialize(nullptr);
    IAMMultiMediaStream* stream = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER, IID_IAMMultiMediaStream,
                               (void**)&stream),
              S_OK);
    if (stream != nullptr) {
        EXPECT_EQ(stream->Initialize(STREAMTYPE_READ, AMMSF_NOGRAPHTHREAD, nullptr), S_OK);
    }
    return stream;
}

MCIERROR OpenSong(const char* name) {
    MCI_OPEN_PARMSA open = {};
    open.lpstrDeviceType = "sequencer";
    open.lpstrElementName = name;
    const MCIERROR e = mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&open));
    if (e == 0)
        mciSendCommandA(open.wDeviceID, MCI_CLOSE, 0, 0);
    return e;
}

// What start-up maps shows only in a process that runs one test, as CTest runs each.
class OnFirstUse : public testing::Test {
protected:
    void SetUp() override {
        if (testing::UnitTest::GetInstance()->test_to_run_count() > 1) {
            GTEST_SKIP() << "run alone (as CTest does): other tests may have loaded the libraries";
        }
        ptest::ResetControls();
        for (const char* library : {"libavcodec.so", "libfluidsynth.so"})
            EXPECT_FALSE(Mapped(library)) << library << " is loaded at start";
        WriteY4m(dir.file("grey.y4m"));
        qztest::WriteWholeFile(dir.file("song.mid"), soundtest::MidiFile(0.5));
    }

    qztest::TempDir dir;
};

TEST_F(OnFirstUse, FfmpegLoadsAtTheFirstMovieOpen) {
    IAMMultiMediaStream* stream = NewMovieStream();
    ASSERT_NE(stream, nullptr);
    EXPECT_FALSE(Mapped("libavformat.so")) << "a stream without a file loads nothing";
    ASSERT_EQ(stream->OpenFile(movietest::Wide("grey.y4m").data(), 0), S_OK);
    for (const char* library : {"libavformat.so", "libavcodec.so", "libavutil.so", "libswscale.so", "libswresample.so"})
        EXPECT_TRUE(Mapped(library)) << library;
    stream->Release();
    EXPECT_EQ(ptest::GetLiveMovieObjects(), 0);
}

TEST_F(OnFirstUse, WithoutFfmpegEveryMovieOpenFailsWithOneLine) {
    ptest::FailCall("MovieLibraries");
    testing::internal::CaptureStderr();
    for (int open = 0; open < 2; ++open) {
        SCOPED_TRACE(open);
        IAMMultiMediaStream* stream = NewMovieStream();
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(stream->OpenFile(movietest::Wide("grey.y4m").data(), 0), VFW_E_UNSUPPORTED_STREAM);
        stream->Release();
    }
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Count(said, "dshow: FFmpeg: "), 1) << said;
    EXPECT_EQ(Count(said, "dshow: OpenFile grey.y4m: no movie"), 2) << said;
    EXPECT_FALSE(Mapped("libavcodec.so"));
    EXPECT_EQ(ptest::GetLiveMovieObjects(), 0);
}

TEST_F(OnFirstUse, FluidSynthLoadsAtTheFirstSong) {
    soundtest::Sound ds;
    EXPECT_FALSE(Mapped("libfluidsynth.so")) << "a sound device loads no synthesizer";
    EXPECT_EQ(OpenSong("song.mid"), 0u);
    EXPECT_TRUE(Mapped("libfluidsynth.so"));
}

TEST_F(OnFirstUse, WithoutFluidSynthNoSongOpensAndOneLineSaysWhy) {
    soundtest::Sound ds;
    ptest::FailCall("MidiLibrary");
    testing::internal::CaptureStderr();
    EXPECT_EQ(OpenSong("song.mid"), static_cast<MCIERROR>(MCIERR_INVALID_FILE));
    EXPECT_EQ(OpenSong("song.mid"), static_cast<MCIERROR>(MCIERR_INVALID_FILE));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Count(said, "midi: FluidSynth: "), 1) << said;
    EXPECT_FALSE(Mapped("libfluidsynth.so"));
}

}  // namespace

}  // namespace load_on_first_use_test
