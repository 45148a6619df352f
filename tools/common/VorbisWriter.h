// VorbisWriter.h: one Ogg Vorbis stream from float samples, through libvorbisenc (quality
// 0.3). Shared by makedata's music and the tests' codec fixtures.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vorbiswriter {

// Asks for `frames` frames of `channels` channels, a chunk at a time: fill(planes, first,
// count) writes planes[c][0..count) for frames first..first+count. An empty string when
// the encoder refuses the format.
using Fill = std::function<void(float** planes, int first, int count)>;
std::string Encode(int channels, int rate, int frames, int serial, const Fill& fill);

}  // namespace vorbiswriter
