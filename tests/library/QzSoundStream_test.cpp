// Stream sounds on the null device, advanced in steps of 1/60 second with a refill after
// each step as the message pump would make it: sources come out sample for sample, in
// order and looped without gaps; the ring's zone, refill amounts, cursor counting, the
// faults of the refill and the silence after the end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SoundFixture.h"

namespace QzSoundStream_test {

namespace {

using namespace soundlib;

constexpr int kRate = 44100;
constexpr int kStep = 735;  // 1/60 s

// Mono samples no stretch of which repeats, so a gap or a repeat shows.
std::vector<int16_t> Pattern(int frames, int seed) {
    std::vector<int16_t> s(static_cast<size_t>(frames));
    uint32_t x = 2463534242u + static_cast<uint32_t>(seed);
    for (int i = 0; i < frames; i++) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s[i] = static_cast<int16_t>(static_cast<int>(x % 20001) - 10000);
    }
    return s;
}

std::vector<int16_t> Concat(std::initializer_list<const std::vector<int16_t>*> parts) {
    std::vector<int16_t> out;
    for (const auto* p : parts) out.insert(out.end(), p->begin(), p->end());
    return out;
}

class StreamTest : public SoundTest {
protected:
    // Pulls `frames` frames in 1/60 s steps with a refill after each; the left channel.
    std::vector<int16_t> Run(int frames) {
        std::vector<int16_t> out;
        while (frames > 0) {
            const int n = frames < kStep ? frames : kStep;
            const std::vector<int16_t> chunk = Left(ptest::PullAudio(n));
            out.insert(out.end(), chunk.begin(), chunk.end());
            RefillAllStreamSounds();
            frames -= n;
        }
        return out;
    }
    // The ring's bytes, read back through a lock.
    static std::string Ring(SoundData* sound) {
        void* p1 = nullptr;
        void* p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        EXPECT_EQ(sound->buffers[0]->Lock(0, static_cast<DWORD>(sound->ringSize), &p1, &n1, &p2, &n2, 0), DS_OK);
        std::string bytes(static_cast<const char*>(p1), n1);
        sound->buffers[0]->Unlock(p1, n1, p2, n2);
        return bytes;
    }
    // A stream sound of several sources (source type 2), not yet prepared.
    int MakeStream(const std::vector<std::pair<std::string, int>>& sources) {
        const int h = AddSoundData(-1);
        for (const auto& s : sources)
            EXPECT_EQ(AddMemoryToStreamSound(s.first.data(), static_cast<int>(s.first.size()), s.second, h, 2), 0);
        return h;
    }
};

TEST_F(StreamTest, TenSecondsComeOutSampleForSampleThenSilenceAndTheRingStops) {
    Start();
    const std::vector<int16_t> source = Pattern(kRate * 10, 1);
    const int h = LoadStream(WaveFile(source, kRate, 1));
    ASSERT_NE(h, -1);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    const std::vector<int16_t> out = Run(kRate * 11);
    ASSERT_EQ(std::vector<int16_t>(out.begin(), out.begin() + source.size()), source);
    EXPECT_TRUE(AllZero(std::vector<int16_t>(out.begin() + source.size(), out.end())));
    EXPECT_EQ(IsStreamSoundPlaying(h), 0);
    EXPECT_EQ(IsSoundHandlePlaying(h), 0);
}

TEST_F(StreamTest, AOneSecondSourceFillsOnceThenLoopsSeamlessly) {
    Start();
    const std::vector<int16_t> source = Pattern(kRate, 2);
    const int h = LoadStream(WaveFile(source, kRate, 1));
    ASSERT_NE(h, -1);
    SoundData* sound = GetSoundData(h);
    // The first fill, made at load: the second of PCM, then silence to the fill's end.
    const std::string ring = Ring(sound);
    const std::string pcm = Bytes(source);
    EXPECT_EQ(ring.substr(0, pcm.size()), pcm);
    EXPECT_EQ(ring.substr(pcm.size(), 3 * pcm.size()), std::string(3 * pcm.size(), '\0'));
    EXPECT_EQ(sound->writePos, 4 * sound->bytesPerSecond);

    ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
    const std::vector<int16_t> out = Run(kRate * 5 / 2);
    for (size_t i = 0; i < out.size(); i++) ASSERT_EQ(out[i], source[i % source.size()]) << i;
    EXPECT_EQ(IsStreamSoundPlaying(h), 1);
}

TEST_F(StreamTest, SourcesPlayInTurnWithTheirRepeats) {
    Start();
    const std::vector<int16_t> a = Pattern(kRate / 2, 3), b = Pattern(kRate / 3, 4);
    // Loop count 2, then 0: A three times, B once.
    int h = MakeStream({{WaveFile(a, kRate, 1), 2}, {WaveFile(b, kRate, 1), 0}});
    ASSERT_EQ(PrepareStreamSound(h), 0);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    std::vector<int16_t> out = Run(kRate * 3);
    const std::vector<int16_t> want = Concat({&a, &a, &a, &b});
    ASSERT_EQ(std::vector<int16_t>(out.begin(), out.begin() + want.size()), want);
    EXPECT_TRUE(AllZero(std::vector<int16_t>(out.begin() + want.size(), out.end())));
    DeleteSoundData(h, 0);

    // Looping: A B A B ... with nothing between them.
    h = MakeStream({{WaveFile(a, kRate, 1), 0}, {WaveFile(b, kRate, 1), 0}});
    ASSERT_EQ(PrepareStreamSound(h), 0);
    ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
    out = Run(kRate * 3);
    const std::vector<int16_t> cycle = Concat({&a, &b});
    for (size_t i = 0; i < out.size(); i++) ASSERT_EQ(out[i], cycle[i % cycle.size()]) << i;
}

TEST_F(StreamTest, RefusedSourcesLeaveTheSoundPlayable) {
    Start();
    const std::vector<int16_t> a = Pattern(kRate / 4, 5), b = Pattern(kRate / 4, 6), c = Pattern(kRate / 4, 7);
    const int h = MakeStream({{WaveFile(a, kRate, 1), 0}});
    const std::string other = WaveFile(Pattern(kRate / 4, 8), 22050, 1);
    EXPECT_EQ(AddMemoryToStreamSound(other.data(), static_cast<int>(other.size()), 0, h, 2), -1);
    EXPECT_NE(Log().find("フォーマットの違う音声データは同時に使うことは出来ません\r\n"), std::string::npos);
    const std::string second = WaveFile(b, kRate, 1), third = WaveFile(c, kRate, 1);
    EXPECT_EQ(AddMemoryToStreamSound(second.data(), static_cast<int>(second.size()), 0, h, 2), 0);
    EXPECT_EQ(AddMemoryToStreamSound(third.data(), static_cast<int>(third.size()), 0, h, 3), 0);
    EXPECT_EQ(AddMemoryToStreamSound(third.data(), static_cast<int>(third.size()), 0, h, 2), -1);
    EXPECT_NE(Log().find("ストリーム風サウンドの制御データ領域がいっぱいです\r\n"), std::string::npos);
    EXPECT_EQ(GetSoundData(h)->sourceCount, 3);

    ASSERT_EQ(PrepareStreamSound(h), 0);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    const std::vector<int16_t> want = Concat({&a, &b, &c});
    const std::vector<int16_t> out = Run(static_cast<int>(want.size()));
    EXPECT_EQ(out, want);
    // Nothing joins a playing ring, and a whole sound takes no source.
    ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
    EXPECT_EQ(AddMemoryToStreamSound(second.data(), static_cast<int>(second.size()), 0, h, 2), -1);
    EXPECT_NE(Log().find("既に再生中のストリームサウンドデータにデータを追加しようとしました\r\n"), std::string::npos);
    const int whole = Load(second);
    EXPECT_EQ(AddMemoryToStreamSound(second.data(), static_cast<int>(second.size()), 0, whole, 2), -1);
    EXPECT_NE(Log().find("ストリーム風サウンドではないサウンドデータが渡されました in AddSreamSound\r\n"),
              std::string::npos);
}

TEST_F(StreamTest, PlayedBytesAcrossTheWrapAndTheLoopPoint) {
    Start();
    const int h = LoadStream(WaveFile(Pattern(kRate * 8, 9), kRate, 1));
    SoundData* s = GetSoundData(h);
    const int r = s->ringSize;
    struct Case {
        const char* name;
        int last, cursor, pending, loopPoint;
        int played, pendingAfter;
    };
    const Case cases[] = {
        {"forward", 100, 500, 0, 0, 1000 + 400, 0},
        {"across the wrap", r - 100, 200, 0, 0, 1000 + 300, 0},
        {"still", 300, 300, 1, 200, 1000, 1},
        {"past the loop point", 100, 500, 1, 300, 200, 0},
        {"short of the loop point", 100, 500, 1, 600, 1000 + 400, 1},
        {"wrapped past a loop point before the wrap", r - 100, 200, 1, r - 50, 250, 0},
        {"wrapped past a loop point after it", r - 100, 200, 1, 100, 100, 0},
        {"wrapped short of the loop point", r - 100, 200, 1, 300, 1000 + 300, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        s->lastCursor = c.last;
        s->playedBytes = 1000;
        s->loopPointPending = c.pending;
        s->loopPointPos = c.loopPoint;
        ASSERT_EQ(UpdateStreamSoundCursor(h, c.cursor), 0);
        EXPECT_EQ(s->playedBytes, c.played);
        EXPECT_EQ(s->loopPointPending, c.pendingAfter);
        EXPECT_EQ(s->lastCursor, c.cursor);
    }
}

TEST_F(StreamTest, RefillAmountsAndRefusals) {
    Start();
    const int h = LoadStream(WaveFile(Pattern(kRate * 20, 10), kRate, 1));
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    SoundData* s = GetSoundData(h);
    const int b = s->bytesPerSecond;
    ASSERT_EQ(s->writePos, 4 * b);
    // The device holds still: the cursor stays where it is put.
    struct Case {
        const char* name;
        int leadEighths;  // the writer's lead over the cursor, in 1/8 s
        int result;
        int written;
    };
    const Case cases[] = {
        {"2 s lead: back to 3 s", 16, 0, b},
        {"3.5 s lead: an eighth in whole frames", 28, 0, b / 8 / 2 * 2},
        {"ahead of the writer", -1, -1, 0},
        {"behind the zone", 33, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int r = s->ringSize;
        const int w = s->writePos;
        s->buffers[0]->SetCurrentPosition(static_cast<DWORD>(((w - c.leadEighths * b / 8) % r + r) % r));
        const std::string before = Ring(s);
        const int delivered = s->sourcePos;
        EXPECT_EQ(RefillStreamSound(h), c.result);
        EXPECT_EQ((s->writePos - w + r) % r, c.written);
        EXPECT_EQ(s->sourcePos - delivered, c.written);
        if (c.result != 0) {
            EXPECT_EQ(Ring(s), before);
        }
    }
    // A refused lock writes nothing and moves nothing.
    const int w = s->writePos;
    s->buffers[0]->SetCurrentPosition(static_cast<DWORD>((w - 2 * b + s->ringSize) % s->ringSize));
    const std::string before = Ring(s);
    const int delivered = s->sourcePos;
    ptest::FailCall("LockSoundBuffer");
    EXPECT_EQ(RefillStreamSound(h), -1);
    EXPECT_EQ(s->writePos, w);
    EXPECT_EQ(s->sourcePos, delivered);
    EXPECT_EQ(Ring(s), before);
    EXPECT_EQ(RefillStreamSound(h), 0);
    EXPECT_EQ(s->writePos, (w + b) % s->ringSize);
}

TEST_F(StreamTest, AfterTheEndTheRingHoldsSilenceUpToTheWriterAndAPlayStartsAgain) {
    Start();
    // Longer than the ring, so every byte of it has held audio before the end.
    const std::vector<int16_t> source = Pattern(kRate * 7, 11);
    const int h = LoadStream(WaveFile(source, kRate, 1));
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    SoundData* s = GetSoundData(h);
    std::vector<int16_t> out;
    while (!s->endReached) {
        const std::vector<int16_t> step = Run(kStep);
        out.insert(out.end(), step.begin(), step.end());
        ASSERT_LT(out.size(), static_cast<size_t>(kRate) * 8);
    }
    const int r = s->ringSize;
    const std::string ring = Ring(s);
    for (int at = s->endPos; at != s->writePos; at = (at + 1) % r) ASSERT_EQ(ring[at], '\0') << "ring byte " << at;

    // A pump that stalls until the cursor reaches the writer hears the rest and silence.
    DWORD cursor = 0;
    s->buffers[0]->GetCurrentPosition(&cursor, nullptr);
    const int toWriter = ((s->writePos - static_cast<int>(cursor)) % r + r) % r / 2;
    const std::vector<int16_t> stalled = Left(ptest::PullAudio(toWriter));
    out.insert(out.end(), stalled.begin(), stalled.end());
    ASSERT_EQ(std::vector<int16_t>(out.begin(), out.begin() + source.size()), source);
    EXPECT_TRUE(AllZero(std::vector<int16_t>(out.begin() + source.size(), out.end())));
    EXPECT_EQ(RefillStreamSound(h), 0);
    EXPECT_EQ(IsStreamSoundPlaying(h), 0);

    // From the top again, though it was asked to go on.
    ASSERT_EQ(PlaySoundHandle(h, 1, 0), 0);
    EXPECT_EQ(Run(kRate), std::vector<int16_t>(source.begin(), source.begin() + kRate));
}

TEST_F(StreamTest, StopKeepsThePlaceAndFromTopZeroResumes) {
    Start();
    const std::vector<int16_t> source = Pattern(kRate * 3, 12);
    const int h = LoadStream(WaveFile(source, kRate, 1));
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    std::vector<int16_t> out = Run(kRate);
    ASSERT_EQ(StopSoundHandle(h), 0);
    EXPECT_TRUE(AllZero(Run(kStep * 3)));
    ASSERT_EQ(PlaySoundHandle(h, 1, 0), 0);
    const std::vector<int16_t> rest = Run(kRate * 2);
    out.insert(out.end(), rest.begin(), rest.end());
    EXPECT_EQ(out, source);
}

}  // namespace

}  // namespace QzSoundStream_test
