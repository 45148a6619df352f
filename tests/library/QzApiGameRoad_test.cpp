// The game's road in-process: start-up, the loading screen, music, one frame of every
// draw kind and the effect, the music switches of every sound mode and shutdown, all
// through the entry points exactly as the game calls them. What the null backend presents
// and what the null sound device gives (pulled by hand) must equal what the model works
// out from the fixtures; the log must end with an empty allocation dump.
#include <cmath>
#include <string>
#include <vector>

#include "LibraryFixture.h"
#include "road/GameRoad.h"

namespace QzApiGameRoad_test {

namespace {

using road::Milestone;

class GameRoadTest : public LibraryTest {};

// Every sample of `got` within 1 of `want`; else the count and the first few.
std::string CompareSamples(const std::vector<int16_t>& got, const std::vector<double>& want) {
    if (got.size() != want.size())
        return "got " + std::to_string(got.size()) + " samples, want " + std::to_string(want.size());
    std::string report;
    int bad = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        if (std::fabs(got[i] - want[i]) <= 1.0) continue;
        if (++bad <= 6)
            report += "\n  sample " + std::to_string(i) + ": got " + std::to_string(got[i]) + ", want " +
                      std::to_string(want[i]);
    }
    return bad ? std::to_string(bad) + " samples differ:" + report : "";
}

double Rms(const std::vector<int16_t>& s, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += (double)s[i] * s[i];
    return to > from ? std::sqrt(sum / (double)(to - from)) : 0.0;
}

class InProcess : public road::Hooks {
public:
    const std::vector<int16_t> music = road::MusicSamples();
    const std::vector<int16_t> hit = road::HitSamples();
    std::string logPath;

    bool At(Milestone m, const road::Handles& h) override {
        SCOPED_TRACE(road::MilestoneName(m));
        switch (m) {
        case Milestone::LoadingText:
        case Milestone::LoadingOutline:
        case Milestone::LoadingBar140:
        case Milestone::LoadingBar620:
            ExpectShown(road::ExpectedLoading(m));
            break;
        case Milestone::MusicStarted: {
            ptest::AudioOutputFormat format = ptest::GetAudioOutputFormat();
            EXPECT_EQ(format.rate, 44100);
            EXPECT_EQ(format.channels, 2);
            ExpectMusic(4410, 0, false);
            break;
        }
        case Milestone::FrameDrawn:
            // The effect from its play on, over the music going on.
            ExpectMusic(11025, 4410, true);
            break;
        case Milestone::FramePresented:
            ExpectShown(road::ExpectedFrame());
            break;
        case Milestone::FrameEnded:
            oldHit_ = h.hit;
            oldMusic_ = h.music;
            break;
        case Milestone::SwitchedMode1:
            ExpectShown(road::ExpectedBlack());
            ExpectMusic(4410, 0, false);  // the track again from its start
            break;
        case Milestone::SwitchedMidi: {
            ExpectShown(road::ExpectedBlack());
            EXPECT_EQ(ApiPlaySoundHandle(oldHit_, 1, 1), -1);
            EXPECT_EQ(ApiPlaySoundHandle(oldMusic_, 3, 1), -1);
            EXPECT_EQ(ApiSetSoundHandleVolume(8500, oldHit_), -1);
            std::vector<int16_t> note = ptest::PullAudio(22050);
            EXPECT_GT(Rms(note, note.size() / 2, note.size()), 200.0) << "the MIDI note is silent";
            EXPECT_EQ(ApiPlaySoundHandle(h.hit, 1, 1), 0);
            break;
        }
        case Milestone::MidiStopped: {
            // The reloaded effect and the note's release run out.
            std::vector<int16_t> tail = ptest::PullAudio(88200);
            EXPECT_GT(Rms(tail, 0, 17640), 200.0) << "the reloaded effect is silent";
            EXPECT_LT(Rms(tail, tail.size() - 8820, tail.size()), 1.0) << "still sounding two seconds on";
            break;
        }
        case Milestone::SwitchedMode4:
            ExpectShown(road::ExpectedBlack());
            ExpectMusic(4410, 0, false);
            break;
        case Milestone::ShutDown: {
            std::vector<std::string> last = road::LastLogLines(qztest::ReadWholeFile(logPath), 2);
            EXPECT_EQ(last, (std::vector<std::string>{road::kEmptyDumpHeading, road::kEmptyDumpTotal}));
            break;
        }
        }
        return !::testing::Test::HasFatalFailure();
    }

private:
    void ExpectShown(const road::Expected& want) {
        ptest::PresentedFrame frame = ptest::GetLastPresentedFrame();
        EXPECT_EQ(road::Compare(want, frame.pixels, frame.width, frame.height), "");
    }

    // Pulls `frames` frames: the music from its frame `musicFrom` on, looping, plus the
    // effect at -15 dB from the first pulled frame when `withHit`.
    void ExpectMusic(int frames, int musicFrom, bool withHit) {
        ASSERT_FALSE(music.empty());
        std::vector<double> want((size_t)frames * 2);
        size_t loop = music.size() / 2;
        for (int i = 0; i < frames; ++i)
            for (int c = 0; c < 2; ++c) {
                double v = music[((size_t)(musicFrom + i) % loop) * 2 + c];
                if (withHit && (size_t)i * 2 < hit.size()) v += hit[(size_t)i * 2 + c] * road::kHitGain;
                want[(size_t)i * 2 + c] = v;
            }
        EXPECT_EQ(CompareSamples(ptest::PullAudio(frames), want), "");
    }

    int oldHit_ = -1, oldMusic_ = -1;
};

TEST_F(GameRoadTest, StartUpLoadingFrameMusicSwitchesAndShutdownAsThePlayerSeesAndHears) {
    road::WriteFixtures(dir.path());
    ptest::SetMessageBoxAnswer(ptest::MessageBoxAnswer::No);
    ptest::PullAudio(0);  // only the hooks' pulls mix
    InProcess hooks;
    hooks.logPath = dir.file("AppLog.txt");
    std::string failure;
    EXPECT_EQ(road::RunRoad(hooks, &failure), 0) << failure;
}

}  // namespace

}  // namespace QzApiGameRoad_test
