// Fuzz target: a standard MIDI file through the platform's player, as MCI and the
// DirectMusic loader take it: refused, or played for one second of mix (the mix costs
// by the frame, and a second reaches every event of a short song). A malformed file must
// be refused, never crash or hang.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "dmusic/player.h"
#include "dsound/mixer.h"

namespace {

std::string Song(const std::string& events, int format = 0, int division = 480) {
    std::string f = "MThd";
    f += std::string("\0\0\0\6\0", 5) + static_cast<char>(format) + std::string("\0\1", 2);
    f += static_cast<char>(division >> 8);
    f += static_cast<char>(division & 0xFF);
    f += "MTrk";
    const uint32_t n = static_cast<uint32_t>(events.size());
    for (int shift = 24; shift >= 0; shift -= 8) f += static_cast<char>((n >> shift) & 0xFF);
    return f + events;
}

}  // namespace

QZ_FUZZ_TARGET(MidiPlayer)(const uint8_t* data, size_t size) {
    if (!midi::IsPlayable(data, size)) return 0;
    auto song = std::make_shared<const std::vector<uint8_t>>(data, data + size);
    const uint64_t ticket = midi::Start(song, 2, [] {});
    std::vector<int16_t> out(4410 * 2);
    for (int i = 0; i < 10 && midi::GetState(ticket) != midi::State::Ended; ++i) dsound::Render(out.data(), 4410);
    midi::Stop(ticket);
    return 0;
}

QZ_FUZZ_SEEDS(MidiPlayer) {
    const std::string note = std::string("\0\x90\x45\x70\x83\x60\x80\x45\0", 9);
    const std::string end = std::string("\0\xFF\x2F\0", 4);
    const std::string tempo = std::string("\0\xFF\x51\x03\x07\xA1\x20", 7);
    const std::string running = std::string("\0\x90\x40\x60\x10\x43\x60\x10\x40\0\x10\x43\0", 13);
    // Found by fuzzing: a chunk list that does not add up once made FluidSynth's reader
    // loop for ever.
    const std::string badChunks = std::string("MThd\0\0\0\6\0\1\0\1\0\x60MTr", 17) + std::string(93, '\0') +
                                  std::string("\xFF\xFF\xFF\xF8", 4) + std::string(23, '\0') +
                                  std::string("\x6B\0\0\0\x18\x20\xD0\x40\x60\x10\x43\x60\x10\x40\0\x10\xB1\0\0", 19) +
                                  std::string("\xFF\xF1\xFF\xFF\xFF\x2F\0", 7);
    // An unknown chunk before the track, whose bytes then read as a zero length and -8;
    // and an event that runs past its track into the next one's chunk header.
    const std::string loop("\0\0\0\0\xFF\xFF\xFF\xF8", 8);
    const std::string unknownChunk = std::string("MThd\0\0\0\6\0\1\0\1\1\xE0MTr\0\0\0\0\0\0\0\0\4\0\0\0\x08", 30) +
                                     loop + "MTrk" + std::string("\0\0\0\4", 4) + end;
    const std::string overrun = std::string("MThd\0\0\0\6\0\1\0\2\1\xE0MTrk\0\0\0\5\0\xF0\x0A\1\2MTrk\0\0\0\x0C", 35) +
                                "abcd" + loop;
    return {Song(note + end), Song(tempo + running + end, 1, 96), Song(std::string("\0\xC0\x05", 3) + note + end),
            badChunks, unknownChunk, overrun};
}
