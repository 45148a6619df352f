// dsound/mixer.h: the one mixer every DirectSound buffer and the MIDI player feed, and
// the device below it (backend/audio.h). Rules, per playing voice: 8-bit data is
// (b - 128) x 256 and mono goes to both channels; it is resampled to the output rate
// by linear interpolation in 32.32 fixed point (a voice at that rate passes unchanged);
// it is scaled by its gain in 1/65536 (65536 exactly unity, 0 exactly silence); the
// voices are summed in 32 bits and clipped to 16.
//
// Threads: MixLock() guards every voice and the MIDI player; Render takes it itself.
// SyncDevice must be called without it, before a sound call looks at a voice.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/dsound.h"

namespace dsound {

// Sample memory shared by a buffer and its duplicates. A lock taken while none of them
// plays is handed out in place, straight into `bytes`, and counted in `writers`; a voice
// that starts while such a lock is out plays `held`, a copy taken as it starts, until
// the last of those locks is unlocked, so the mixer never reads what a caller writes.
struct SampleStore {
    std::vector<uint8_t> bytes;
    int writers = 0;
    std::vector<uint8_t> held;

    const uint8_t* MixData() const { return held.empty() ? bytes.data() : held.data(); }
};

struct Voice {
    std::shared_ptr<SampleStore> store;
    int channels = 2;     // 1 or 2
    int bits = 16;        // 8 or 16
    int rate = 44100;     // frames per second
    int blockAlign = 4;   // bytes per frame
    uint32_t frames = 0;  // whole frames in the store
    uint64_t position = 0;  // 32.32 frames
    bool playing = false;
    bool looping = false;
    int32_t gain = 65536;  // 1/65536
};

std::mutex& MixLock();

// Under MixLock.
void AddVoice(Voice* voice);
void RemoveVoice(Voice* voice);
// Whether any voice over this store is playing. Under MixLock.
bool IsStorePlaying(const SampleStore* store);

// A voice that makes its samples while it is mixed (a movie's sound track, dshow/): each
// Render asks it, under MixLock, to add `frames` frames in the output's channels and rate
// to the accumulators (nothing while it is silent). It takes only locks of its own and
// never calls back into the mixer.
class StreamVoice {
public:
    virtual void MixInto(int32_t* acc, int frames, int channels, int rate) = 0;

protected:
    ~StreamVoice() = default;
};

// Under MixLock.
void AddStreamVoice(StreamVoice* voice);
void RemoveStreamVoice(StreamVoice* voice);

// The gain of a DirectSound volume (hundredths of a decibel, -10000..0): 10^(v/2000),
// with 0 exactly unity and -10000 exactly silence.
int32_t GainOfVolume(LONG volume);

// Mixes one voice into 32-bit accumulators of `outChannels` channels at `outRate`,
// moving its position; a voice that does not loop stops at its end, at position 0.
// Under MixLock.
void MixVoice(Voice& voice, int32_t* acc, int frames, int outChannels, int outRate);

// Mixes every playing voice and the MIDI player into `out` in the output's format.
// Takes MixLock; what the MIDI player has to post goes out after it is released.
void Render(int16_t* out, int frames);

// The output's format and the device: the first user opens it, the last closes it.
struct OutputFormat {
    int rate = 44100;
    int channels = 2;
    int bits = 16;
};
OutputFormat GetOutputFormat();
// DS_OK, or DSERR_NODRIVER when there is no device.
HRESULT OpenDevice();
void CloseDevice();
// The primary buffer's SetFormat: the device follows the new format.
HRESULT SetOutputFormat(const OutputFormat& format);
// Lets the null device on the platform clock catch up; nothing for other devices.
void SyncDevice();

}  // namespace dsound
