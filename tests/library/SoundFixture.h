// SoundFixture.h: the sound system started on its own (COM, the log and the streams, no
// window), on the null device that the test advances by hand; helpers that load sounds
// from bytes made at test time and read back what came out. Fixture writers (tones,
// WAVE files, sox, MIDI) are the platform tests' (sound_support.h).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../platform/sound_support.h"
#include "QzSoundData.h"
#include "QzSoundDecoder.h"
#include "QzSoundMusic.h"
#include "QzSoundStream.h"
#include "QzSoundSystem.h"
#include "QzWinFileAccess.h"
#include "QzWinFileStream.h"
#include "QzWinLog.h"
#include "QzWinState.h"
#include "TempDir.h"
#include "platform/testing.h"

namespace soundlib {

using soundtest::Pcm;
using soundtest::Tone;
using soundtest::WaveFile;

inline std::string Bytes(const std::vector<int16_t>& samples) {
    return std::string(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
}

// An 8-bit PCM WAVE file.
inline std::string Wave8(const std::string& bytes, int rate, int channels) {
    std::string f = "RIFF";
    soundtest::PutU32(f, static_cast<uint32_t>(36 + bytes.size()));
    f += "WAVEfmt ";
    soundtest::PutU32(f, 16);
    soundtest::PutU16(f, 1);
    soundtest::PutU16(f, static_cast<uint16_t>(channels));
    soundtest::PutU32(f, static_cast<uint32_t>(rate));
    soundtest::PutU32(f, static_cast<uint32_t>(rate * channels));
    soundtest::PutU16(f, static_cast<uint16_t>(channels));
    soundtest::PutU16(f, 8);
    f += "data";
    soundtest::PutU32(f, static_cast<uint32_t>(bytes.size()));
    return f + bytes;
}

// Frames [from, from + count) of interleaved stereo output, channel 0.
inline std::vector<int16_t> Left(const std::vector<int16_t>& out) {
    std::vector<int16_t> left(out.size() / 2);
    for (size_t i = 0; i < left.size(); i++) left[i] = out[2 * i];
    return left;
}

inline bool AllZero(const std::vector<int16_t>& s) {
    for (int16_t v : s)
        if (v != 0) return false;
    return true;
}

// The log's lines without their time prefix: (indentation, text).
inline std::vector<std::pair<int, std::string>> LogLines(const std::string& log) {
    std::vector<std::pair<int, std::string>> lines;
    size_t at = 0;
    while (at < log.size()) {
        size_t end = log.find("\r\n", at);
        if (end == std::string::npos) end = log.size();
        std::string line = log.substr(at, end - at);
        size_t colon = line.find(':');
        if (colon != std::string::npos && colon > 0 && line.find_first_not_of("0123456789") == colon)
            line = line.substr(colon + 1);
        int tabs = 0;
        while (tabs < static_cast<int>(line.size()) && line[tabs] == '\t') tabs++;
        lines.push_back({tabs, line.substr(tabs)});
        at = end + 2;
    }
    return lines;
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        ptest::ResetControls();
        ptest::SetClockMode(ptest::ClockMode::Fast);
        ptest::SetFastClockReadStep(0);
        ptest::CaptureDebugOutput(true);
        ptest::PullAudio(0);  // only the test's own pulls mix
        CoInitialize(nullptr);
        FileAccessGetDir(g_windowSystem.startupDir);
        CreateLogFile();
        SetupStreamFunctions();
        liveBlocks_ = g_windowSystem.tracker.count;
    }
    void TearDown() override {
        if (IsSoundStarted()) TerminateSoundSystem();
        SetSoundSystemMode(0);
        CoUninitialize();
        ptest::ResetControls();
    }

    // Starts sound in a mode; the log of the start is dropped from Log().
    void Start(int mode = 0) {
        SetSoundSystemMode(mode);
        ASSERT_EQ(InitializeSoundSystem(), 0);
    }
    int LiveBlocks() const { return g_windowSystem.tracker.count - liveBlocks_; }

    int Load(const std::string& file, int copies = 1) {
        return CreateSoundDataFromMemory(file.data(), static_cast<int>(file.size()), copies);
    }
    // A stream sound of a file image (source type 2), prepared.
    int LoadStream(const std::string& file) {
        g_soundSystem.createType = 2;
        const int handle = Load(file);
        g_soundSystem.createType = 0;
        return handle;
    }

    std::string Log() const { return qztest::ReadWholeFile(dir.file("AppLog.txt")); }

    qztest::TempDir dir;

private:
    int liveBlocks_ = 0;
};

}  // namespace soundlib
