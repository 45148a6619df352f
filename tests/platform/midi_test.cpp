// MIDI through MCI's "sequencer" and DirectMusic, on the one FluidSynth player, with
// one-note songs written byte by byte, mixed on the null device advanced by hand.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/dmusic.h"
#include "platform/testing.h"
#include "platform/winmm.h"
#include "sound_support.h"

namespace midi_test {

using namespace soundtest;

namespace {

LRESULT CALLBACK QuietProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

// A window to be notified, in a lock folder of the test's own.
class NotifyWindow {
public:
    explicit NotifyWindow(const std::string& lockFolder) {
        ptest::SetWindowLockFolder(lockFolder);
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = QuietProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QzMidiTest";
        RegisterClassExA(&wc);
        window_ = CreateWindowExA(0, "QzMidiTest", "midi", 0, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
        EXPECT_NE(window_, nullptr);
    }
    ~NotifyWindow() { DestroyWindow(window_); }
    HWND get() const { return window_; }

    // The MM_MCINOTIFY messages waiting, taken off the queue.
    std::vector<MSG> TakeNotices() {
        std::vector<MSG> out;
        MSG msg;
        while (PeekMessageA(&msg, window_, MM_MCINOTIFY, MM_MCINOTIFY, PM_REMOVE)) out.push_back(msg);
        return out;
    }

private:
    HWND window_ = nullptr;
};

// Pulls `frames` in steps of `chunk`, until a notice comes; the frames pulled by then
// (-1: none came).
long PullUntilNotice(NotifyWindow& w, long frames, int chunk, std::vector<int16_t>* mixed = nullptr) {
    for (long done = 0; done < frames;) {
        const std::vector<int16_t> out = ptest::PullAudio(chunk);
        if (mixed != nullptr) mixed->insert(mixed->end(), out.begin(), out.end());
        done += chunk;
        if (!w.TakeNotices().empty()) return done;
    }
    return -1;
}

bool AnySound(const std::vector<int16_t>& s) {
    for (int16_t v : s)
        if (v != 0) return true;
    return false;
}

std::string DrivePath(const std::string& name) {
    char here[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, here);
    return std::string(here) + "\\" + name;
}

MCIDEVICEID OpenSequencer(const std::string& element, MCIERROR* error = nullptr) {
    MCI_OPEN_PARMSA open = {};
    open.lpstrDeviceType = "sequencer";
    open.lpstrElementName = element.c_str();
    const MCIERROR e = mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&open));
    if (error != nullptr) *error = e;
    return e == 0 ? open.wDeviceID : 0;
}

MCIERROR PlayNotify(MCIDEVICEID id, HWND window, bool fromStart) {
    MCI_PLAY_PARMS play = {};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(window);
    return mciSendCommandA(id, MCI_PLAY, MCI_NOTIFY | (fromStart ? MCI_FROM : 0), reinterpret_cast<DWORD_PTR>(&play));
}


// A chunk of a standard MIDI file: its id, its length, its bytes.
std::string Chunk(const std::string& id, const std::string& bytes) {
    const uint32_t n = static_cast<uint32_t>(bytes.size());
    const char length[4] = {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
                            static_cast<char>(n)};
    return id + std::string(length, 4) + bytes;
}

// The header of a file of `tracks` tracks, 480 ticks per quarter.
std::string Header(int tracks) {
    return Chunk("MThd", std::string("\x00\x01\x00", 3) + static_cast<char>(tracks) + std::string("\x01\xE0", 2));
}

// MidiFile's one track, without its chunk header.
std::string TrackOf(const std::string& song) { return song.substr(22); }

// ---- MCI -------------------------------------------------------------------------------------------

TEST(Mci, SongEndIsNotifiedAfterOneSecondOfMixAndRestarts) {
    qztest::TempDir dir;
    NotifyWindow w(dir.path());
    Sound ds;
    qztest::WriteWholeFile("song.mid", MidiFile(1.0));
    const MCIDEVICEID id = OpenSequencer(DrivePath("song.mid"));
    ASSERT_NE(id, 0u);
    MCI_STATUS_PARMS status = {};
    status.dwItem = MCI_SEQ_STATUS_PORT;
    ASSERT_EQ(mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status)), 0u);
    EXPECT_EQ(status.dwReturn & 0xFFFF, 0xFFFFu);

    ASSERT_EQ(PlayNotify(id, w.get(), false), 0u);
    std::vector<int16_t> mixed;
    EXPECT_EQ(PullUntilNotice(w, 44100 * 3, 441, &mixed), 44100 + 441);
    EXPECT_TRUE(AnySound(mixed));
    // The notice names the device and says the song ended well.
    ASSERT_EQ(PlayNotify(id, w.get(), true), 0u);
    ptest::PullAudio(44100 + 441);
    const std::vector<MSG> notices = w.TakeNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].wParam, static_cast<WPARAM>(MCI_NOTIFY_SUCCESSFUL));
    EXPECT_EQ(notices[0].lParam, static_cast<LPARAM>(id));
    EXPECT_EQ(mciSendCommandA(id, MCI_CLOSE, 0, 0), 0u);
}

TEST(Mci, StopCloseAndReplacedPlaysPostNothingAndSilenceFollows) {
    qztest::TempDir dir;
    NotifyWindow w(dir.path());
    Sound ds;
    qztest::WriteWholeFile("song.mid", MidiFile(1.0));
    const MCIDEVICEID id = OpenSequencer("song.mid");
    ASSERT_NE(id, 0u);
    ASSERT_EQ(PlayNotify(id, w.get(), false), 0u);
    ptest::PullAudio(22050);
    ASSERT_EQ(PlayNotify(id, w.get(), true), 0u);  // replaces the first play: it never ends
    ptest::PullAudio(22050);
    ASSERT_EQ(mciSendCommandA(id, MCI_CLOSE, 0, 0), 0u);
    const std::vector<int16_t> after = ptest::PullAudio(44100 * 2);
    EXPECT_FALSE(AnySound(after));
    EXPECT_TRUE(w.TakeNotices().empty());
    EXPECT_EQ(mciSendCommandA(id, MCI_PLAY, 0, 0), static_cast<MCIERROR>(MCIERR_INVALID_DEVICE_ID));
}

TEST(Mci, RefusesWhatIsNoSongAndReportsThePortFault) {
    qztest::TempDir dir;
    Sound ds;
    qztest::WriteWholeFile("noise.mid", std::string("RIFF\x10\0\0\0WAVEfmt ", 16));
    qztest::WriteWholeFile("cut.mid", MidiFile(1.0).substr(0, 20));
    qztest::WriteWholeFile("song.mid", MidiFile(0.5));
    MCIERROR error = 0;
    EXPECT_EQ(OpenSequencer("missing.mid", &error), 0u);
    EXPECT_EQ(error, static_cast<MCIERROR>(MCIERR_FILE_NOT_FOUND));
    EXPECT_EQ(OpenSequencer("noise.mid", &error), 0u);
    EXPECT_EQ(error, static_cast<MCIERROR>(MCIERR_INVALID_FILE));
    EXPECT_EQ(OpenSequencer("cut.mid", &error), 0u);
    EXPECT_EQ(error, static_cast<MCIERROR>(MCIERR_INVALID_FILE));
    MCI_OPEN_PARMSA open = {};
    open.lpstrDeviceType = "waveaudio";
    open.lpstrElementName = "song.mid";
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&open)),
              static_cast<MCIERROR>(MCIERR_INVALID_DEVICE_NAME));

    const MCIDEVICEID id = OpenSequencer("SONG.MID");  // names fold case as every file name does
    ASSERT_NE(id, 0u);
    ptest::FailCall("MciSequencerPort");
    MCI_STATUS_PARMS status = {};
    status.dwItem = MCI_SEQ_STATUS_PORT;
    ASSERT_EQ(mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status)), 0u);
    EXPECT_NE(status.dwReturn & 0xFFFF, 0xFFFFu);
    mciSendCommandA(id, MCI_CLOSE, 0, 0);
}

// FluidSynth's file reader, handed a whole file, took the word after an unknown chunk for
// a length without reading the next id, and lost its place after an event that runs past
// its track; a zero length and then -8 sent it back and forth for ever, holding the lock
// of the check that every open makes. Each file opens (as unplayable or as a song) in a
// child that must be done within 30 seconds, and a song opens after it.
TEST(Mci, FilesThatWouldLoseTheReaderOpenInBoundedTimeAndSongsOpenAfter) {
    qztest::TempDir dir;
    const std::string loop("\x00\x00\x00\x00\xFF\xFF\xFF\xF8", 8);
    const std::string endOfTrack("\x00\xFF\x2F\x00", 4);
    const struct {
        const char* name;
        std::string bytes;
    } files[] = {
        // 50 bytes: the reader skips "MTr\0", then reads the next chunk's id (4) and the
        // loop in its bytes as lengths.
        {"an unknown chunk before the track",
         Header(1) + Chunk(std::string("MTr\0", 4), "") + Chunk(std::string("\0\0\0\4", 4), loop) +
             Chunk("MTrk", endOfTrack)},
        // A system exclusive message 10 bytes long in a 5-byte track takes the next track's
        // chunk header; the reader then meets "abcd" and the loop.
        {"an event that runs past its track",
         Header(2) + Chunk("MTrk", std::string("\x00\xF0\x0A\x01\x02", 5)) + Chunk("MTrk", "abcd" + loop)},
    };
    qztest::WriteWholeFile("song.mid", MidiFile(0.5));
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        qztest::WriteWholeFile("odd.mid", f.bytes);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            MCIERROR error = 0;
            const MCIDEVICEID odd = OpenSequencer("odd.mid", &error);
            const bool oddDone = odd != 0 || error == MCIERR_INVALID_FILE;
            _exit(oddDone && OpenSequencer("song.mid") != 0 ? 0 : 1);
        }
        int status = 0;
        pid_t done = 0;
        for (int waited = 0; waited < 3000 && done == 0; ++waited) {
            done = waitpid(child, &status, WNOHANG);
            if (done == 0) usleep(10000);
        }
        if (done == 0) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            ADD_FAILURE() << "the open did not finish";
            continue;
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
}

// ---- DirectMusic ---------------------------------------------------------------------------------

template <typename T>
T* Create(const CLSID& cls, const IID& iid) {
    T* object = nullptr;
    EXPECT_EQ(CoCreateInstance(cls, nullptr, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void**>(&object)), S_OK);
    return object;
}

class Music {
public:
    Music() {
        ptest::PullAudio(0);  // only the test's own pulls mix
        CoInitialize(nullptr);
        loader = Create<IDirectMusicLoader8>(CLSID_DirectMusicLoader, IID_IDirectMusicLoader8);
        performance = Create<IDirectMusicPerformance8>(CLSID_DirectMusicPerformance, IID_IDirectMusicPerformance8);
        DMUS_AUDIOPARAMS params = {};
        params.dwSize = sizeof params;
        params.fInitNow = TRUE;
        params.dwValidData = DMUS_AUDIOPARAMS_FEATURES | DMUS_AUDIOPARAMS_SAMPLERATE;
        params.dwFeatures = DMUS_AUDIOF_ALL;
        params.dwSampleRate = 44100;
        EXPECT_EQ(performance->InitAudio(nullptr, &directSound, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64,
                                         DMUS_AUDIOF_ALL, &params),
                  S_OK);
    }
    ~Music() {
        performance->CloseDown();
        performance->Release();
        loader->Release();
        if (directSound != nullptr) directSound->Release();
        CoUninitialize();
    }
    IDirectMusicSegment8* Load(const std::string& bytes, HRESULT want = S_OK) {
        DMUS_OBJECTDESC desc = {};
        desc.dwSize = sizeof desc;
        desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
        desc.guidClass = CLSID_DirectMusicSegment;
        desc.pbMemData = reinterpret_cast<LPBYTE>(const_cast<char*>(bytes.data()));
        desc.llMemLength = static_cast<LONGLONG>(bytes.size());
        IDirectMusicSegment8* segment = nullptr;
        EXPECT_EQ(FAILED(loader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&segment))),
                  FAILED(want));
        return segment;
    }
    HRESULT Play(IDirectMusicSegment8* segment) {
        return performance->PlaySegmentEx(segment, nullptr, nullptr, DMUS_SEGF_REFTIME, 0, nullptr, nullptr, nullptr);
    }

    IDirectMusicLoader8* loader = nullptr;
    IDirectMusicPerformance8* performance = nullptr;
    IDirectSound* directSound = nullptr;
};

TEST(DirectMusic, InitAudioGivesAReadyDirectSoundOnTheSameMixer) {
    Music m;
    ASSERT_NE(m.directSound, nullptr);
    EXPECT_EQ(m.directSound->Initialize(nullptr), DSERR_ALREADYINITIALIZED);
    WAVEFORMATEX f = Pcm(44100, 2, 16);
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = 0x80E2;
    desc.dwBufferBytes = 400;
    desc.lpwfxFormat = &f;
    IDirectSoundBuffer* b = nullptr;
    ASSERT_EQ(m.directSound->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
    b->Release();
    EXPECT_EQ(m.performance->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64,
                                       DMUS_AUDIOF_ALL, nullptr),
              DMUS_E_ALREADY_INITED);
}

TEST(DirectMusic, OneOutputPortWithANameInTheAnsiCodePage) {
    CoInitialize(nullptr);
    IDirectMusic* dm = Create<IDirectMusic>(CLSID_DirectMusic, IID_IDirectMusic);
    IDirectMusic8* dm8 = nullptr;
    ASSERT_EQ(dm->QueryInterface(IID_IDirectMusic8, reinterpret_cast<void**>(&dm8)), S_OK);
    DMUS_PORTCAPS caps = {};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(dm8->EnumPort(0, &caps), S_OK);
    EXPECT_EQ(caps.dwClass, static_cast<DWORD>(DMUS_PC_OUTPUTCLASS));
    char name[256];
    ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, caps.wszDescription, -1, name, sizeof name, nullptr, nullptr), 0);
    EXPECT_STREQ(name, "Platform MIDI Synthesizer");
    EXPECT_EQ(dm8->EnumPort(1, &caps), S_FALSE);
    dm8->Release();
    dm->Release();
    CoUninitialize();
}

TEST(DirectMusic, WideTextBecomesCp932) {
    const WCHAR text[] = {0x30A2, 0x8868, 'A', 0};  // katakana a, the kanji whose second byte is 0x5C, 'A'
    char out[16] = {};
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr), 6);
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, out, sizeof out, nullptr, nullptr), 6);
    EXPECT_EQ(std::string(out, 6), std::string("\x83\x41\x95\x5C\x41\x00", 6));
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, out, 3, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(DirectMusic, LoaderAcceptsOnlyMidi) {
    Music m;
    qztest::TempDir dir;
    EXPECT_EQ(m.Load(WaveFile(Tone(440, 22050, 100, 1), 22050, 1), DMUS_E_UNSUPPORTED_STREAM), nullptr);
    EXPECT_EQ(m.Load(std::string("MThd\0\0\0\6\0\0\0\1\1\xE0MTrk\0\0\0\x40", 22), DMUS_E_UNSUPPORTED_STREAM), nullptr);
    IDirectMusicSegment8* segment = m.Load(MidiFile(0.5));
    ASSERT_NE(segment, nullptr);
    EXPECT_EQ(segment->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, nullptr), S_OK);
    EXPECT_EQ(segment->Download(m.performance), S_OK);
    EXPECT_EQ(segment->Unload(m.performance), S_OK);
    segment->Release();
}

// Real files carry chunks of other kinds beside their tracks; the song plays all the same.
TEST(DirectMusic, ASongWithAnUnknownChunkBeforeItsTrackPlays) {
    Music m;
    const std::string song = MidiFile(0.5);
    IDirectMusicSegment8* segment =
        m.Load(Header(1) + Chunk("MTxt", "written by hand\n") + Chunk("MTrk", TrackOf(song)));
    ASSERT_NE(segment, nullptr);
    ASSERT_EQ(m.Play(segment), S_OK);
    EXPECT_TRUE(AnySound(ptest::PullAudio(4410)));
    segment->Release();
}

TEST(DirectMusic, IsPlayingBeforeDuringAndAfterTheSegment) {
    Music m;
    IDirectMusicSegment8* segment = m.Load(MidiFile(1.0));
    ASSERT_NE(segment, nullptr);
    ASSERT_EQ(m.Play(segment), S_OK);
    EXPECT_EQ(m.performance->IsPlaying(segment, nullptr), S_FALSE);  // nothing mixed yet
    EXPECT_TRUE(AnySound(ptest::PullAudio(4410)));
    EXPECT_EQ(m.performance->IsPlaying(segment, nullptr), S_OK);
    ptest::PullAudio(44100 - 4410 - 441);
    EXPECT_EQ(m.performance->IsPlaying(segment, nullptr), S_OK);
    ptest::PullAudio(441 * 2);
    EXPECT_EQ(m.performance->IsPlaying(segment, nullptr), S_FALSE);
    segment->Release();
}

TEST(DirectMusic, InfiniteRepeatsStillSoundAfterThreeLengths) {
    Music m;
    IDirectMusicSegment8* segment = m.Load(MidiFile(0.5));
    ASSERT_NE(segment, nullptr);
    segment->SetRepeats(DMUS_SEG_REPEAT_INFINITE);
    ASSERT_EQ(m.Play(segment), S_OK);
    ptest::PullAudio(22050 * 3);
    const std::vector<int16_t> fourth = ptest::PullAudio(4410);
    EXPECT_TRUE(AnySound(fourth));
    EXPECT_EQ(m.performance->IsPlaying(segment, nullptr), S_OK);
    // StopEx acts at once: silence from the next mix.
    ASSERT_EQ(m.performance->StopEx(segment, 0, 0), S_OK);
    EXPECT_EQ(m.performance->IsPlaying(segment, nullptr), S_FALSE);
    EXPECT_FALSE(AnySound(ptest::PullAudio(4410)));
    segment->Release();
}

TEST(DirectMusic, PlaySegmentExReplacesThePlayingSegment) {
    Music m;
    IDirectMusicSegment8* first = m.Load(MidiFile(2.0, 60));
    IDirectMusicSegment8* second = m.Load(MidiFile(2.0, 72));
    ASSERT_EQ(m.Play(first), S_OK);
    ptest::PullAudio(4410);
    ASSERT_EQ(m.Play(second), S_OK);
    ptest::PullAudio(4410);
    EXPECT_EQ(m.performance->IsPlaying(first, nullptr), S_FALSE);
    EXPECT_EQ(m.performance->IsPlaying(second, nullptr), S_OK);
    first->Release();
    second->Release();
}

// Fresh processes making the same calls mix the same samples; after other pulls the
// song still starts on the first frame mixed after the play.
TEST(DirectMusic, SameCallsMixTheSameSamplesInEveryRun) {
    qztest::TempDir dir;
    const int before[3] = {1000, 1000, 1037};
    for (int run = 0; run < 3; ++run) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            Music m;
            IDirectMusicSegment8* segment = m.Load(MidiFile(0.3));
            m.Play(segment);
            ptest::PullAudio(before[run]);
            m.Play(segment);
            const std::vector<int16_t> out = ptest::PullAudio(22050);
            qztest::WriteWholeFile("run" + std::to_string(run),
                                   std::string(reinterpret_cast<const char*>(out.data()), out.size() * 2));
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<int16_t> runs[3];
    size_t onset[3] = {};
    for (int run = 0; run < 3; ++run) {
        runs[run] = Samples(qztest::ReadWholeFile("run" + std::to_string(run)));
        ASSERT_EQ(runs[run].size(), 22050u * 2);
        ASSERT_TRUE(AnySound(runs[run])) << "run " << run;
        while (runs[run][onset[run]] == 0) ++onset[run];
    }
    EXPECT_TRUE(runs[0] == runs[1]);
    EXPECT_LT(onset[0], 64u);
    EXPECT_EQ(onset[0], onset[2]);
}

TEST(DirectMusic, Faults) {
    CoInitialize(nullptr);
    void* object = nullptr;
    for (const char* name : {"CreateDirectMusicLoader", "CreateDirectMusicPerformance", "CreateDirectMusic"}) {
        ptest::FailCall(name);
        const CLSID& cls = std::string(name) == "CreateDirectMusicLoader"        ? CLSID_DirectMusicLoader
                           : std::string(name) == "CreateDirectMusicPerformance" ? CLSID_DirectMusicPerformance
                                                                                 : CLSID_DirectMusic;
        EXPECT_TRUE(FAILED(CoCreateInstance(cls, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object))) << name;
        EXPECT_EQ(object, nullptr);
    }
    CoUninitialize();

    Music m;
    IDirectMusicSegment8* segment = m.Load(MidiFile(0.5));
    ptest::FailCall("PlaySegmentEx");
    EXPECT_EQ(m.Play(segment), E_FAIL);
    ptest::FailCall("SegmentNeverStarts");
    EXPECT_EQ(m.Play(segment), S_OK);
    EXPECT_FALSE(AnySound(ptest::PullAudio(44100 * 2)));
    EXPECT_EQ(m.performance->IsPlaying(segment, nullptr), S_FALSE);
    segment->Release();

    IDirectMusicPerformance8* other =
        Create<IDirectMusicPerformance8>(CLSID_DirectMusicPerformance, IID_IDirectMusicPerformance8);
    IDirectSound* ds = nullptr;
    ptest::FailCall("SoundDevice");
    EXPECT_EQ(other->InitAudio(nullptr, &ds, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64, DMUS_AUDIOF_ALL, nullptr),
              DSERR_NODRIVER);
    EXPECT_EQ(ds, nullptr);
    other->Release();
}

}  // namespace

}  // namespace midi_test
