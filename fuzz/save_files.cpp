// Fuzz target: arbitrary bytes as a hi-score, start or sound-mode file, and as a replay.
// A value is taken only when a whole number was read, so a failed read keeps the old one;
// a replay holds the file's bytes and 48 after them, never more than its 216000.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "GameTypes.h"
#include "MemoryFile.h"
#include "SaveFiles.h"

namespace {

// One file per process, in memory.
const qzfuzz::MemoryFile& Input() {
    static const qzfuzz::MemoryFile file("qz-save-files");
    return file;
}

// What a replay holds past the file's bytes.
const uint8_t* Padding() {
    static const std::vector<uint8_t> padding(sizeof ReplayBuffer, 48);
    return padding.data();
}

}  // namespace

QZ_FUZZ_TARGET(SaveFiles)(const uint8_t* data, size_t size) {
    Input().Write(data, size);

    // The three readers' starting values: hi-scores and stages 0, the sound mode 1.
    for (int32_t initial : {0, 1}) {
        int32_t value = initial;
        if (!ReadValueFile(Input().Path().c_str(), value) && value != initial) std::abort();
    }
    LoadReplayFile(Input().Path());
    const size_t kept = size < sizeof ReplayBuffer ? size : sizeof ReplayBuffer;
    if (kept > 0 && std::memcmp(ReplayBuffer, data, kept) != 0) std::abort();
    if (std::memcmp(ReplayBuffer + kept, Padding(), sizeof ReplayBuffer - kept) != 0) std::abort();
    return 0;
}

QZ_FUZZ_SEEDS(SaveFiles) {
    return {
        "",
        "12345\r\n",
        "-7",
        "99999999999999999999\r\n",
        "  3 trailing words",
        "garbage",
        std::string(216100, '\x30'),  // longer than a replay
        std::string(1000, '\x11'),
    };
}
