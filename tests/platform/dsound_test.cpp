// DirectSound on the null device: the mixing rules, buffers, the device and its faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "backend/audio.h"
#include "platform/dsound.h"
#include "platform/testing.h"
#include "sound_support.h"

namespace dsound_test {

using namespace soundtest;

namespace {

// ---- mixing: tones in, samples out ------------------------------------------------------------

TEST(Mixer, NothingPlayingGivesExactZeros) {
    Sound ds;
    const std::vector<int16_t> out = ptest::PullAudio(4410);
    ASSERT_EQ(out.size(), 8820u);
    for (int16_t s : out) ASSERT_EQ(s, 0);
}

TEST(Mixer, OutputFormatBufferAtVolumeZeroComesOutBitForBit) {
    Sound ds;
    const std::vector<int16_t> tone = Tone(1000, 44100, 44100, 2, 32767.0);
    IDirectSoundBuffer* b = ds.Buffer(Pcm(44100, 2, 16), tone);
    ASSERT_EQ(b->SetVolume(0), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> out = ptest::PullAudio(1000);  // an odd split across pulls
    const std::vector<int16_t> rest = ptest::PullAudio(44100);
    out.insert(out.end(), rest.begin(), rest.end());
    for (size_t i = 0; i < tone.size(); ++i) ASSERT_EQ(out[i], tone[i]) << "sample " << i;
    for (size_t i = tone.size(); i < out.size(); ++i) ASSERT_EQ(out[i], 0) << "after the end, sample " << i;
    b->Release();
}

TEST(Mixer, MonoGoesToBothChannels) {
    Sound ds;
    const std::vector<int16_t> tone = Tone(1000, 44100, 4410, 1);
    IDirectSoundBuffer* b = ds.Buffer(Pcm(44100, 1, 16), tone);
    b->Play(0, 0, 0);
    const std::vector<int16_t> out = ptest::PullAudio(4410);
    for (size_t i = 0; i < tone.size(); ++i) {
        ASSERT_EQ(out[2 * i], tone[i]) << "frame " << i;
        ASSERT_EQ(out[2 * i + 1], tone[i]) << "frame " << i;
    }
    b->Release();
}

TEST(Mixer, EightBitIsOffsetAndScaled) {
    Sound ds;
    const std::vector<uint8_t> bytes = {0, 1, 64, 127, 128, 129, 200, 255};
    IDirectSoundBuffer* b = ds.Buffer(Pcm(44100, 1, 8), bytes.data(), static_cast<DWORD>(bytes.size()));
    b->Play(0, 0, 0);
    const std::vector<int16_t> out = ptest::PullAudio(static_cast<int>(bytes.size()));
    for (size_t i = 0; i < bytes.size(); ++i)
        EXPECT_EQ(out[2 * i], (bytes[i] - 128) * 256) << "byte " << int(bytes[i]);
    b->Release();
}

TEST(Mixer, HalfRateToneKeepsItsPitchOverTwiceTheFrames) {
    Sound ds;
    const std::vector<int16_t> tone = Tone(1000, 22050, 22050, 2);  // one second
    IDirectSoundBuffer* b = ds.Buffer(Pcm(22050, 2, 16), tone);
    b->Play(0, 0, 0);
    const std::vector<int16_t> out = ptest::PullAudio(44100 + 100);
    EXPECT_NEAR(RisingCrossings(out, 2, 0, 44100), 1000, 1);
    // It lasts its second at the output rate, then stops.
    EXPECT_NE(out[2 * 44000], 0);
    for (int i = 44100; i < 44200; ++i) EXPECT_EQ(out[2 * i], 0) << "frame " << i;
    DWORD status = 1;
    b->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    b->Release();
}

TEST(Mixer, VolumeScalesByTenToTheVolumeOverTwoThousand) {
    struct Case {
        LONG volume;
        double gain;
    };
    const Case cases[] = {{0, 1.0}, {-1000, 0.316227766}, {-1500, 0.177827941}, {-6000, 0.001}, {-10000, 0.0}};
    for (const Case& c : cases) {
        Sound ds;
        const std::vector<int16_t> tone = Tone(1000, 44100, 441, 2, 30000.0);
        IDirectSoundBuffer* b = ds.Buffer(Pcm(44100, 2, 16), tone);
        ASSERT_EQ(b->SetVolume(c.volume), DS_OK);
        b->Play(0, 0, 0);
        const std::vector<int16_t> out = ptest::PullAudio(441);
        for (size_t i = 0; i < tone.size(); ++i) {
            const double want = tone[i] * c.gain;
            ASSERT_NEAR(out[i], want, 1.0) << "volume " << c.volume << " sample " << i;
            if (c.volume == 0) {
                ASSERT_EQ(out[i], tone[i]);
            }
            if (c.volume == -10000) {
                ASSERT_EQ(out[i], 0);
            }
        }
        b->Release();
    }
}

TEST(Mixer, LoopingQuarterSecondGivesFourSeamlessCopies) {
    Sound ds;
    const std::vector<int16_t> tone = Tone(440, 44100, 11025, 2);
    IDirectSoundBuffer* b = ds.Buffer(Pcm(44100, 2, 16), tone);
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    const std::vector<int16_t> out = ptest::PullAudio(44100);
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], tone[i % tone.size()]) << "sample " << i;
    DWORD status = 0;
    b->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    b->Release();
}

TEST(Mixer, BuffersAreSummedAndClipped) {
    Sound ds;
    const std::vector<int16_t> a = {30000, -30000, 100, -100};
    const std::vector<int16_t> c = {30000, -30000, 200, 50};
    IDirectSoundBuffer* b1 = ds.Buffer(Pcm(44100, 2, 16), a);
    IDirectSoundBuffer* b2 = ds.Buffer(Pcm(44100, 2, 16), c);
    b1->Play(0, 0, 0);
    b2->Play(0, 0, 0);
    const std::vector<int16_t> out = ptest::PullAudio(2);
    EXPECT_EQ(out, (std::vector<int16_t>{32767, -32768, 300, -50}));
    b1->Release();
    b2->Release();
}

// ---- buffers -----------------------------------------------------------------------------------

TEST(Buffer, CreationRefusesWhatNoBufferTakes) {
    struct Case {
        const char* name;
        DWORD flags;
        int rate, channels, bits;
        DWORD bytes;
        HRESULT result;
    };
    const Case cases[] = {
        {"static copy", 0x80E2, 44100, 2, 16, 4000, DS_OK},
        {"plain static", 0xC2, 22050, 1, 8, 100, DS_OK},
        {"stream ring", 0x180E2, 100, 1, 16, 600, DS_OK},
        {"keep-alive", 0x8002, 200000, 2, 16, 400, DS_OK},
        {"other flags", 0x80E0, 44100, 2, 16, 4000, DSERR_INVALIDPARAM},
        {"24-bit", 0x80E2, 44100, 2, 24, 6000, DSERR_INVALIDPARAM},
        {"6 channels", 0x80E2, 44100, 6, 16, 6000, DSERR_INVALIDPARAM},
        {"rate 99", 0x80E2, 99, 1, 16, 400, DSERR_INVALIDPARAM},
        {"rate 200001", 0x80E2, 200001, 1, 16, 400, DSERR_INVALIDPARAM},
        {"3 bytes", 0x80E2, 44100, 1, 8, 3, DSERR_INVALIDPARAM},
        {"under a frame", 0x80E2, 44100, 2, 16, 3, DSERR_INVALIDPARAM},
        {"too large", 0x80E2, 44100, 2, 16, 0x10000000, DSERR_INVALIDPARAM},
    };
    Sound ds;
    for (const Case& c : cases) {
        WAVEFORMATEX f = Pcm(c.rate, c.channels, c.bits);
        DSBUFFERDESC desc = {};
        desc.dwSize = sizeof desc;
        desc.dwFlags = c.flags;
        desc.dwBufferBytes = c.bytes;
        desc.lpwfxFormat = &f;
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), c.result) << c.name;
        EXPECT_EQ(b != nullptr, c.result == DS_OK) << c.name;
        if (b != nullptr) b->Release();
    }
    // A wrong structure size, and a format whose block alignment lies.
    WAVEFORMATEX f = Pcm(44100, 2, 16);
    DSBUFFERDESC desc = {};
    desc.dwSize = 36;
    desc.dwFlags = 0x80E2;
    desc.dwBufferBytes = 400;
    desc.lpwfxFormat = &f;
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DSERR_INVALIDPARAM);
    desc.dwSize = sizeof desc;
    f.nBlockAlign = 2;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DSERR_INVALIDPARAM);
}

TEST(Buffer, LockWrapsIntoTwoPartsAndChecksItsSpan) {
    Sound ds;
    std::vector<int16_t> zeros(100 * 2, 0);  // 400 bytes
    IDirectSoundBuffer* b = ds.Buffer(Pcm(44100, 2, 16), zeros);
    void *p1 = nullptr, *p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    ASSERT_EQ(b->Lock(300, 200, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 100u);
    EXPECT_EQ(n2, 100u);
    std::memset(p1, 0x11, n1);
    std::memset(p2, 0x22, n2);
    ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    const std::vector<int16_t> out = ptest::PullAudio(100);
    EXPECT_EQ(out[0], 0x2222);    // frame 0: the wrapped part
    EXPECT_EQ(out[49], 0x2222);   // the last wrapped frame (byte 196)
    EXPECT_EQ(out[50], 0);        // byte 200: untouched
    EXPECT_EQ(out[150], 0x1111);  // byte 300: the first part
    const struct {
        DWORD offset, bytes;
    } bad[] = {{400, 4}, {0, 401}, {0, 0}, {500, 10}};
    for (const auto& c : bad)
        EXPECT_EQ(b->Lock(c.offset, c.bytes, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM)
            << c.offset << "+" << c.bytes;
    // A span that wraps needs the second part.
    EXPECT_EQ(b->Lock(300, 200, &p1, &n1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
    b->Release();
}

TEST(Buffer, NewBufferHoldsSilenceInItsFormatWhateverTheMemoryHeldBefore) {
    struct Case {
        const char* name;
        int bits;
        uint8_t silence;
    };
    const Case cases[] = {{"16-bit", 16, 0x00}, {"8-bit", 8, 0x80}};
    constexpr DWORD kBytes = 1 << 20;
    Sound ds;
    for (const Case& c : cases) {
        // A buffer of the same size filled and released first leaves its memory dirty.
        const std::vector<uint8_t> dirty(kBytes, 0x5A);
        ds.Buffer(Pcm(44100, 2, c.bits), dirty.data(), kBytes)->Release();
        WAVEFORMATEX f = Pcm(44100, 2, c.bits);
        DSBUFFERDESC desc = {};
        desc.dwSize = sizeof desc;
        desc.dwFlags = 0x80E2;
        desc.dwBufferBytes = kBytes;
        desc.lpwfxFormat = &f;
        IDirectSoundBuffer* b = nullptr;
        ASSERT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DS_OK) << c.name;
        // Heard before anything was written...
        ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
        for (int16_t s : ptest::PullAudio(static_cast<int>(kBytes / f.nBlockAlign))) ASSERT_EQ(s, 0) << c.name;
        b->Stop();
        // ...and read through a lock.
        void *p1 = nullptr, *p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        ASSERT_EQ(b->Lock(0, kBytes, &p1, &n1, &p2, &n2, 0), DS_OK) << c.name;
        ASSERT_EQ(n1, kBytes);
        const auto* bytes = static_cast<const uint8_t*>(p1);
        for (DWORD i = 0; i < n1; ++i) ASSERT_EQ(bytes[i], c.silence) << c.name << " byte " << i;
        EXPECT_EQ(b->Unlock(p1, 0, nullptr, 0), DS_OK);
        b->Release();
    }
}

TEST(Buffer, LocksFromOneOffsetUnlockInAnyOrderWithinTheirOwnSpans) {
    Sound ds;
    IDirectSoundBuffer* b = ds.Buffer(Pcm(44100, 2, 16), std::vector<int16_t>(200, 0));
    void *p = nullptr, *q = nullptr, *p2 = nullptr;
    DWORD n = 0, m = 0, n2 = 0;
    ASSERT_EQ(b->Lock(0, 100, &p, &n, &p2, &n2, 0), DS_OK);
    ASSERT_EQ(b->Lock(0, 400, &q, &m, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(b->Unlock(q, 400, nullptr, 0), DS_OK);
    EXPECT_EQ(b->Unlock(p, 200, nullptr, 0), DSERR_INVALIDPARAM);  // more than its lock
    EXPECT_EQ(b->Unlock(p, 100, nullptr, 0), DS_OK);
    EXPECT_EQ(b->Unlock(p, 100, nullptr, 0), DSERR_INVALIDPARAM);  // no lock left
    b->Release();
}

// A looping buffer of one constant sample on both channels, 100 frames.
IDirectSoundBuffer* ConstantLoop(Sound& ds, int16_t value) {
    return ds.Buffer(Pcm(44100, 2, 16), std::vector<int16_t>(200, value));
}

void FillSamples(void* part, DWORD bytes, int16_t value) {
    const std::vector<int16_t> samples(bytes / 2, value);
    std::memcpy(part, samples.data(), bytes);
}

// What 100 output frames (one pass of the loop) hold on the left channel, frame by frame.
std::vector<int16_t> OneLoop() {
    const std::vector<int16_t> out = ptest::PullAudio(100);
    std::vector<int16_t> left;
    for (size_t i = 0; i < out.size(); i += 2) left.push_back(out[i]);
    return left;
}

TEST(Buffer, WritesUnderALockAreHeardWhenItIsUnlockedAndNotBefore) {
    const std::vector<int16_t> old(100, 1000), half = [] {
        std::vector<int16_t> v(100, 1000);
        std::fill(v.begin(), v.begin() + 50, 2000);
        return v;
    }();
    // Locked while playing: the voice goes on with the old samples until the unlock.
    {
        Sound ds;
        IDirectSoundBuffer* b = ConstantLoop(ds, 1000);
        ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
        EXPECT_EQ(OneLoop(), old);
        void *p1 = nullptr, *p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        ASSERT_EQ(b->Lock(0, 400, &p1, &n1, &p2, &n2, 0), DS_OK);
        EXPECT_EQ(static_cast<const int16_t*>(p1)[0], 1000);  // the lock reads what the buffer holds
        FillSamples(p1, 200, 2000);
        EXPECT_EQ(OneLoop(), old);
        FillSamples(static_cast<uint8_t*>(p1) + 200, 200, 3000);
        ASSERT_EQ(b->Unlock(p1, 200, nullptr, 0), DS_OK);  // only the first half counts
        EXPECT_EQ(OneLoop(), half);
        b->Release();
    }
    // Locked while stopped, then played: the voice plays the samples as they were when it
    // started until the unlock, then all that was written.
    {
        Sound ds;
        IDirectSoundBuffer* b = ConstantLoop(ds, 1000);
        void *p1 = nullptr, *p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        ASSERT_EQ(b->Lock(0, 400, &p1, &n1, &p2, &n2, 0), DS_OK);
        FillSamples(p1, 200, 2000);
        ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
        EXPECT_EQ(OneLoop(), half);
        FillSamples(static_cast<uint8_t*>(p1) + 200, 200, 2000);
        EXPECT_EQ(OneLoop(), half);
        ASSERT_EQ(b->Unlock(p1, n1, nullptr, 0), DS_OK);
        EXPECT_EQ(OneLoop(), std::vector<int16_t>(100, 2000));
        // A second lock, taken while playing, still stages.
        ASSERT_EQ(b->Lock(0, 400, &p1, &n1, &p2, &n2, 0), DS_OK);
        FillSamples(p1, n1, 3000);
        EXPECT_EQ(OneLoop(), std::vector<int16_t>(100, 2000));
        ASSERT_EQ(b->Unlock(p1, n1, nullptr, 0), DS_OK);
        EXPECT_EQ(OneLoop(), std::vector<int16_t>(100, 3000));
        b->Release();
    }
    // A buffer released with its lock still out ends the lock: its duplicate, started
    // during the lock, then plays what was written.
    {
        Sound ds;
        IDirectSoundBuffer* a = ConstantLoop(ds, 1000);
        IDirectSoundBuffer* d = nullptr;
        ASSERT_EQ(ds->DuplicateSoundBuffer(a, &d), DS_OK);
        void *p1 = nullptr, *p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        ASSERT_EQ(a->Lock(0, 400, &p1, &n1, &p2, &n2, 0), DS_OK);
        ASSERT_EQ(d->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
        FillSamples(p1, n1, 2000);
        EXPECT_EQ(OneLoop(), old);
        a->Release();
        EXPECT_EQ(OneLoop(), std::vector<int16_t>(100, 2000));
        d->Release();
    }
}

TEST(Buffer, NonLoopingBufferStopsAtItsEndWithItsCursorAtZero) {
    Sound ds;
    const std::vector<int16_t> tone = Tone(1000, 44100, 1000, 2);
    IDirectSoundBuffer* b = ds.Buffer(Pcm(44100, 2, 16), tone);
    b->Play(0, 0, 0);
    ptest::PullAudio(400);
    DWORD play = 0, status = 0;
    b->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 1600u);
    b->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_PLAYING);
    ptest::PullAudio(600);
    b->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    b->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 0u);
    b->Release();
}

TEST(Buffer, StopKeepsThePositionAndSetCurrentPositionMovesIt) {
    Sound ds;
    std::vector<int16_t> ramp(2000);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i);
    IDirectSoundBuffer* b = ds.Buffer(Pcm(44100, 2, 16), ramp);
    b->Play(0, 0, 0);
    ptest::PullAudio(300);
    b->Stop();
    EXPECT_EQ(ptest::PullAudio(10), std::vector<int16_t>(20, 0));
    b->Play(0, 0, 0);
    EXPECT_EQ(ptest::PullAudio(1)[0], 600);  // resumes at frame 300
    ASSERT_EQ(b->SetCurrentPosition(40), DS_OK);  // frame 10
    EXPECT_EQ(ptest::PullAudio(1)[0], 20);
    EXPECT_EQ(b->SetCurrentPosition(4000), DSERR_INVALIDPARAM);
    b->Release();
}

TEST(Buffer, VolumeOutsideItsRangeIsRefused) {
    Sound ds;
    std::vector<int16_t> s(8, 1000);
    IDirectSoundBuffer* b = ds.Buffer(Pcm(44100, 2, 16), s);
    EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetVolume(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetVolume(-10000), DS_OK);
    b->Release();
    IDirectSoundBuffer* quiet = ds.Buffer(Pcm(44100, 2, 16), s, 0x8002);  // no volume control
    EXPECT_EQ(quiet->SetVolume(0), DSERR_CONTROLUNAVAIL);
    quiet->Release();
}

TEST(Buffer, DuplicateSharesSamplesWithItsOwnPositionStatusAndVolume) {
    Sound ds;
    std::vector<int16_t> ramp(2000);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i * 10);
    IDirectSoundBuffer* a = ds.Buffer(Pcm(44100, 2, 16), ramp);
    IDirectSoundBuffer* d = nullptr;
    ASSERT_EQ(ds->DuplicateSoundBuffer(a, &d), DS_OK);
    // Memory written through the original is heard through the duplicate.
    void *p1, *p2;
    DWORD n1, n2;
    a->Lock(0, 4, &p1, &n1, &p2, &n2, 0);
    const int16_t marker[2] = {7, 7};
    std::memcpy(p1, marker, 4);
    a->Unlock(p1, 4, nullptr, 0);
    d->SetVolume(-10000);
    a->Play(0, 0, 0);
    std::vector<int16_t> out = ptest::PullAudio(2);
    EXPECT_EQ(out[0], 7);
    DWORD status = 0;
    d->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    a->Stop();
    d->SetVolume(0);
    d->Play(0, 0, 0);
    out = ptest::PullAudio(1);
    EXPECT_EQ(out[0], 7);  // from its own start
    DWORD pa = 0, pd = 0;
    a->GetCurrentPosition(&pa, nullptr);
    d->GetCurrentPosition(&pd, nullptr);
    EXPECT_EQ(pa, 8u);
    EXPECT_EQ(pd, 4u);
    // The original goes; the duplicate keeps the samples.
    a->Release();
    EXPECT_EQ(ptest::PullAudio(1)[0], 20);
    d->Release();
}

TEST(Buffer, ReleasedPlayingBufferStops) {
    Sound ds;
    IDirectSoundBuffer* b = ds.Buffer(Pcm(44100, 2, 16), Tone(500, 44100, 4410, 2));
    b->Play(0, 0, DSBPLAY_LOOPING);
    EXPECT_NE(ptest::PullAudio(100)[20], 0);
    b->AddRef();
    EXPECT_EQ(b->Release(), 1u);
    EXPECT_EQ(b->Release(), 0u);
    for (int16_t s : ptest::PullAudio(100)) ASSERT_EQ(s, 0);
}

// ---- the device --------------------------------------------------------------------------------

TEST(Device, CapsPrimaryFormatAndUninitialisedCalls) {
    CoInitialize(nullptr);
    IDirectSound* ds = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound, reinterpret_cast<void**>(&ds)),
              S_OK);
    DSCAPS caps = {};
    caps.dwSize = sizeof caps;
    EXPECT_EQ(ds->GetCaps(&caps), DSERR_UNINITIALIZED);
    ASSERT_EQ(ds->Initialize(nullptr), DS_OK);
    EXPECT_EQ(ds->Initialize(nullptr), DSERR_ALREADYINITIALIZED);
    ASSERT_EQ(ds->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
    caps.dwSize = 95;
    EXPECT_EQ(ds->GetCaps(&caps), DSERR_INVALIDPARAM);
    caps.dwSize = sizeof caps;
    ASSERT_EQ(ds->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwFlags, 0xF0Fu);
    EXPECT_EQ(caps.dwMinSecondarySampleRate, 100u);
    EXPECT_EQ(caps.dwMaxSecondarySampleRate, 200000u);
    EXPECT_EQ(caps.dwTotalHwMemBytes, 0u);
    EXPECT_EQ(caps.dwFreeHwMemBytes, 0u);

    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    IDirectSoundBuffer* primary = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &primary, nullptr), DS_OK);
    WAVEFORMATEX f = Pcm(22050, 1, 16);
    ASSERT_EQ(primary->SetFormat(&f), DS_OK);
    EXPECT_EQ(ptest::GetAudioOutputFormat().rate, 22050);
    EXPECT_EQ(ptest::GetAudioOutputFormat().channels, 1);
    EXPECT_EQ(ptest::PullAudio(10).size(), 10u);  // mono output
    f = Pcm(44100, 2, 24);
    EXPECT_EQ(primary->SetFormat(&f), DSERR_INVALIDPARAM);
    void *p1, *p2;
    DWORD n1, n2;
    EXPECT_EQ(primary->Lock(0, 4, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDCALL);
    primary->Release();
    ds->Release();
    CoUninitialize();
}

TEST(Device, OverriddenCapsAreAnswered) {
    DSCAPS mine = {};
    mine.dwFlags = DSCAPS_PRIMARY8BIT | DSCAPS_PRIMARYMONO;
    mine.dwMaxSecondarySampleRate = 48000;
    ptest::OverrideSoundCaps(&mine);
    Sound ds;
    DSCAPS caps = {};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(ds->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwFlags, mine.dwFlags);
    EXPECT_EQ(caps.dwMaxSecondarySampleRate, 48000u);
    ptest::ResetControls();
    ASSERT_EQ(ds->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwMaxSecondarySampleRate, 200000u);
}

TEST(Device, FaultsByName) {
    CoInitialize(nullptr);
    IDirectSound* ds = nullptr;
    ptest::FailCall("CreateDirectSound");
    EXPECT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound, reinterpret_cast<void**>(&ds)),
              E_FAIL);
    ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound, reinterpret_cast<void**>(&ds)),
              S_OK);
    ptest::FailCall("SoundDevice");
    EXPECT_EQ(ds->Initialize(nullptr), DSERR_NODRIVER);
    ASSERT_EQ(ds->Initialize(nullptr), DS_OK);

    WAVEFORMATEX f = Pcm(44100, 2, 16);
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = 0x80E2;
    desc.dwBufferBytes = 400;
    desc.lpwfxFormat = &f;
    IDirectSoundBuffer* b = nullptr;
    ptest::FailCall("CreateSoundBuffer:80E2");
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DSERR_ALLOCATED);
    desc.dwFlags = 0xC2;  // the retry with other flags goes through
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);

    IDirectSoundBuffer* dup[3] = {};
    ptest::FailCall("DuplicateSoundBuffer", 2);
    EXPECT_EQ(ds->DuplicateSoundBuffer(b, &dup[0]), DS_OK);
    EXPECT_EQ(ds->DuplicateSoundBuffer(b, &dup[1]), DSERR_ALLOCATED);
    EXPECT_EQ(dup[1], nullptr);
    EXPECT_EQ(ds->DuplicateSoundBuffer(b, &dup[2]), DS_OK);

    void *p1 = nullptr, *p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    ptest::FailCall("LockSoundBuffer");
    EXPECT_EQ(b->Lock(0, 400, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDCALL);
    EXPECT_EQ(b->Lock(0, 400, &p1, &n1, &p2, &n2, 0), DS_OK);
    b->Unlock(p1, n1, p2, n2);

    dup[0]->Release();
    dup[2]->Release();
    b->Release();
    ds->Release();
    CoUninitialize();
}

// ---- "DSOUND.DLL" and its device list -------------------------------------------------------------

struct Listed {
    bool nullGuid;
    std::string description, module;
};

BOOL CALLBACK Collect(LPGUID guid, LPCSTR description, LPCSTR module, LPVOID context) {
    static_cast<std::vector<Listed>*>(context)->push_back({guid == nullptr, description, module});
    return TRUE;
}

TEST(Module, DsoundDllListsThePrimaryDriverThenTheNullDevice) {
    HMODULE dll = LoadLibraryA("dsound.dll");
    ASSERT_NE(dll, nullptr);
    FARPROC proc = GetProcAddress(dll, "DirectSoundEnumerateA");
    ASSERT_NE(proc, nullptr);
    EXPECT_EQ(GetProcAddress(dll, "DirectSoundCreate"), nullptr);
    auto enumerate = reinterpret_cast<HRESULT(WINAPI*)(LPDSENUMCALLBACKA, LPVOID)>(reinterpret_cast<void (*)()>(proc));
    std::vector<Listed> listed;
    ASSERT_EQ(enumerate(Collect, &listed), DS_OK);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_TRUE(listed[0].nullGuid);
    EXPECT_EQ(listed[0].description, "Primary Sound Driver");
    EXPECT_FALSE(listed[1].nullGuid);
    EXPECT_EQ(listed[1].description, "Null Audio Device");
    EXPECT_EQ(listed[1].module, "null");
    EXPECT_TRUE(FreeLibrary(dll));
    EXPECT_EQ(LoadLibraryA("ddraw.dll"), nullptr);
}

TEST(Module, LoadAndLookUpFaults) {
    ptest::FailCall("LoadLibraryA:DSOUND.DLL");
    EXPECT_EQ(LoadLibraryA("DSOUND.DLL"), nullptr);
    HMODULE dll = LoadLibraryA("DSOUND.DLL");
    ASSERT_NE(dll, nullptr);
    ptest::FailCall("GetProcAddress:DirectSoundEnumerateA");
    EXPECT_EQ(GetProcAddress(dll, "DirectSoundEnumerateA"), nullptr);
    EXPECT_NE(GetProcAddress(dll, "DirectSoundEnumerateA"), nullptr);
}

// ---- the null device's own clock and capture -------------------------------------------------------

TEST(NullDevice, FramesPerPumpPassAreKept) {
    Sound ds;
    std::vector<int16_t> ramp(400);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i + 1);
    IDirectSoundBuffer* b = ds.Buffer(Pcm(44100, 2, 16), ramp);
    b->Play(0, 0, 0);
    ptest::SetAudioFramesPerPumpPass(50);
    for (int i = 0; i < 4; ++i) backend::AudioPumpPass();
    const std::vector<int16_t> kept = ptest::TakeMixedAudio();
    ASSERT_EQ(kept.size(), 400u);
    EXPECT_EQ(kept, ramp);
    DWORD status = 1;
    b->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    b->Release();
}

TEST(NullDevice, FollowsTheFastClockUntilTakenOver) {
    ptest::SetClockMode(ptest::ClockMode::Fast);
    CoInitialize(nullptr);
    IDirectSound* ds = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound, reinterpret_cast<void**>(&ds)),
              S_OK);
    ASSERT_EQ(ds->Initialize(nullptr), DS_OK);
    WAVEFORMATEX f = Pcm(44100, 2, 16);
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = 0x80E2;
    desc.dwBufferBytes = 44100 * 4;
    desc.lpwfxFormat = &f;
    IDirectSoundBuffer* b = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
    b->Play(0, 0, 0);
    ptest::AdvanceFastClock(100000);  // 100 ms: 4410 frames
    DWORD play = 0;
    b->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 4410u * 4);
    // Pump passes catch up too.
    ptest::AdvanceFastClock(50000);
    backend::AudioPumpPass();
    ptest::PullAudio(0);  // taken over: the clock no longer moves it
    ptest::AdvanceFastClock(50000);
    b->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 6615u * 4);
    b->Release();
    ds->Release();
    CoUninitialize();
}

TEST(NullDevice, CaptureWritesTheMixAsAWave) {
    qztest::TempDir dir;
    setenv("QZ_AUDIO_CAPTURE", dir.file("mix.wav").c_str(), 1);
    Sound ds;
    const std::vector<int16_t> tone = Tone(1000, 44100, 441, 2);
    IDirectSoundBuffer* b = ds.Buffer(Pcm(44100, 2, 16), tone);
    b->Play(0, 0, 0);
    ptest::PullAudio(300);
    ptest::PullAudio(300);
    const std::string file = qztest::ReadWholeFile(dir.file("mix.wav"));
    const std::string fmt = Chunk(file, "fmt ");
    ASSERT_EQ(fmt.size(), 16u);
    EXPECT_EQ(GetU16(fmt, 2), 2);
    EXPECT_EQ(GetU32(fmt, 4), 44100u);
    EXPECT_EQ(GetU16(fmt, 14), 16);
    EXPECT_EQ(GetU32(file, 4), file.size() - 8);
    std::vector<int16_t> want = tone;
    want.resize(1200, 0);
    EXPECT_EQ(Samples(Chunk(file, "data")), want);
    b->Release();
    unsetenv("QZ_AUDIO_CAPTURE");
}

}  // namespace

}  // namespace dsound_test
