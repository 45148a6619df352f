// A play that waits until done, through its entry point: it returns once the effect has
// ended, the null device advancing by hand at every pump pass; a stream sound playing
// beside it is refilled by the caller's own pumping meanwhile, and comes out without a
// gap, the effect added on top from its play on.
#include <sys/stat.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "CodecFixtures.h"
#include "LibraryFixture.h"
#include "QzSoundData.h"
#include "QzSoundSystem.h"
#include "../platform/sound_support.h"

namespace QzApiSound_test {

namespace {

// The Ogg file's PCM as libvorbisfile gives it: 16-bit little-endian, interleaved.
std::vector<int16_t> DecodeOgg(const std::string& file) {
    struct Source {
        const std::string* bytes;
        size_t at;
    } source{&file, 0};
    ov_callbacks callbacks = {};
    callbacks.read_func = [](void* out, size_t size, size_t count, void* s) -> size_t {
        auto* src = static_cast<Source*>(s);
        const size_t n = std::min(size * count, src->bytes->size() - src->at);
        std::memcpy(out, src->bytes->data() + src->at, n);
        src->at += n;
        return size == 0 ? 0 : n / size;
    };
    OggVorbis_File vf;
    std::vector<int16_t> pcm;
    if (ov_open_callbacks(&source, &vf, nullptr, 0, callbacks) != 0) return pcm;
    char buffer[4096];
    int section = 0;
    for (;;) {
        const long n = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &section);
        if (n <= 0) break;
        const size_t at = pcm.size();
        pcm.resize(at + static_cast<size_t>(n) / 2);
        std::memcpy(pcm.data() + at, buffer, static_cast<size_t>(n));
    }
    ov_clear(&vf);
    return pcm;
}

class ApiSoundTest : public LibraryTest {
protected:
    // Every pump pass mixes this many frames and nothing else does.
    static constexpr int kPass = 735;

    void SetUp() override {
        LibraryTest::SetUp();
        ApiChangeWindowMode(1);
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        ::mkdir(dir.file("data").c_str(), 0755);
    }
    // What the pump passes have mixed since the last call, appended to `out`; the frames.
    static size_t Collect(std::vector<int16_t>* out) {
        const std::vector<int16_t> mixed = ptest::TakeMixedAudio();
        out->insert(out->end(), mixed.begin(), mixed.end());
        return mixed.size() / 2;
    }
};

TEST_F(ApiSoundTest, APlayThatWaitsReturnsAtTheEffectsEndWhileTheStreamStaysFed) {
    const std::string ogg = qztest::WriteOggVorbis(2, 44100, 44100 * 3);
    const std::vector<int16_t> loop = DecodeOgg(ogg);
    ASSERT_EQ(loop.size(), 44100u * 3 * 2);
    const int effectFrames = 22050;  // 0.5 s
    const std::vector<int16_t> effect = soundtest::Tone(1000, 44100, effectFrames, 2, 4000.0);
    qztest::WriteWholeFile(dir.file("data/loop.ogg"), ogg);
    qztest::WriteWholeFile(dir.file("data/effect.wav"), soundtest::WaveFile(effect, 44100, 2));

    // Held across the test, so the message thread pumps nothing between the test's calls
    // and every mixed frame is one of the test's own passes.
    EnterLibraryLock();
    g_soundSystem.createType = 2;  // the next load is a stream sound
    const int stream = ApiLoadFileToSound("data/loop.ogg", 1);
    g_soundSystem.createType = 0;
    const int hit = ApiLoadFileToSound("data/effect.wav", 1);
    ASSERT_NE(stream, -1);
    ASSERT_NE(hit, -1);
    ASSERT_TRUE(GetSoundData(stream)->isStream);

    ptest::SetAudioFramesPerPumpPass(kPass);
    ptest::TakeMixedAudio();
    std::vector<int16_t> out;
    ASSERT_EQ(ApiPlaySoundHandle(stream, 3, 1), 0);
    // A second of the game's frames first; one pump's share of frames, measured.
    size_t perPump = 0;
    for (int frame = 0; frame < 60; frame++) {
        ASSERT_EQ(ApiProcessMessage(), 0);
        perPump = Collect(&out);
    }
    ASSERT_GT(perPump, 0u);
    const size_t effectStart = out.size() / 2;
    const int writeBefore = GetSoundData(stream)->writePos;

    ASSERT_EQ(ApiPlaySoundHandle(hit, 0, 1), 0);
    const size_t waited = Collect(&out);
    EXPECT_EQ(ApiPlaySoundHandle(hit, 0, 1), 0);  // and again, from its start
    const size_t waitedAgain = Collect(&out);
    EXPECT_EQ(IsSoundHandlePlaying(hit), 0);
    // It pumped until the effect had ended, and not a pump longer.
    for (size_t w : {waited, waitedAgain}) {
        EXPECT_GE(w, static_cast<size_t>(effectFrames));
        EXPECT_LT(w, effectFrames + perPump);
    }
    EXPECT_NE(GetSoundData(stream)->writePos, writeBefore) << "the wait's own pumping refilled the stream";

    // Four seconds more: past the stream's first fill, so only refills can keep it going.
    for (int frame = 0; frame < 240; frame++) {
        ASSERT_EQ(ApiProcessMessage(), 0);
        Collect(&out);
    }
    LeaveLibraryLock();

    // The loop, sample for sample and without a gap, plus both plays of the effect.
    const size_t secondStart = effectStart + waited;
    auto effectAt = [&](size_t frame, size_t start, int channel) -> int {
        return frame >= start && frame - start < static_cast<size_t>(effectFrames) ? effect[2 * (frame - start) + channel]
                                                                                   : 0;
    };
    const size_t frames = out.size() / 2;
    ASSERT_GT(frames, static_cast<size_t>(44100 * 5));
    int bad = 0;
    for (size_t f = 0; f < frames && bad < 5; f++) {
        for (int c = 0; c < 2; c++) {
            const int want = loop[(2 * f + c) % loop.size()] + effectAt(f, effectStart, c) + effectAt(f, secondStart, c);
            const int got = out[2 * f + c];
            if (got < want - 1 || got > want + 1) {
                ADD_FAILURE() << "frame " << f << " channel " << c << ": " << got << ", expected " << want;
                bad++;
            }
        }
    }
}

}  // namespace

}  // namespace QzApiSound_test
