// MovieWriter.h: small movies made at test time with FFmpeg's own encoders and muxers
// (libavcodec, libavformat, libswscale), for tests and fuzz seeds. Each video frame is
// one flat colour, so a frame shown anywhere tells which one it is within a few levels.
// Single-threaded use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qztest {

struct MovieSpec {
    std::string container = "avi";      // a muxer name: "avi", "mpeg", "mp4", "wav" ...
    std::string videoCodec = "mjpeg";   // an encoder name ("mjpeg", "mpeg1video" ...); "": no video
    int width = 64;
    int height = 48;
    int fps = 10;
    std::vector<uint32_t> frames;       // one 0xRRGGBB colour per video frame
    bool bt709 = false;                 // the picture is marked as BT.709 (where the codec can say so)
    int repeat = 1;                     // each colour is held for this many frames
    std::string audioCodec = "pcm_s16le";  // "": no sound track
    int audioRate = 22050;
    int audioChannels = 1;
    double toneHz = 440.0;              // a sine at half of full scale
    double toneSeconds = 1.0;
};

// Writes the movie to a Linux path; false (with FFmpeg's reason in `error`) when an
// encoder or muxer is missing or refuses the spec.
bool WriteMovie(const std::string& path, const MovieSpec& spec, std::string* error = nullptr);

// Ten hues far apart (0xRRGGBB), saturated enough to survive 4:2:0 chroma.
const std::vector<uint32_t>& MovieColours();

// The index of the colour of `kColours` nearest to a pixel (0xRRGGBB), and how far it is
// (the largest channel difference).
int NearestMovieColour(uint32_t rgb, int* distance = nullptr);

// The frequency (Hz) with the most energy in 16-bit samples of `channels` channels at
// `rate`, by a scan of 1 Hz steps from `fromHz` to `toHz` over the first channel.
double DominantFrequency(const std::vector<int16_t>& samples, int channels, int rate, double fromHz = 50,
                         double toHz = 2000);

}  // namespace qztest
