// Fuzz target: arbitrary bytes as a hi-score, start or sound-mode file, and as a replay.
// A value is taken only when a whole number was read, so a failed read keeps the old one;
// a replay holds the file's bytes and 48 after them, never more than its 216000.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "GameTypes.h"
#include "SaveFiles.h"

namespace {

// One file per process, in the temporary folder, removed when the process ends.
struct InputFile {
    std::string path;
    InputFile() {
        char name[] = "/tmp/qz-save-files-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) std::abort();
        close(fd);
        path = name;
    }
    ~InputFile() { unlink(path.c_str()); }
};

const std::string& InputPath() {
    static const InputFile file;
    return file.path;
}

}  // namespace

QZ_FUZZ_TARGET(SaveFiles)(const uint8_t* data, size_t size) {
    FILE* file = std::fopen(InputPath().c_str(), "wb");
    if (!file) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);

    // The three readers' starting values: hi-scores and stages 0, the sound mode 1.
    for (int32_t initial : {0, 1}) {
        int32_t value = initial;
        if (!ReadValueFile(InputPath().c_str(), value) && value != initial) std::abort();
    }
    LoadReplayFile(InputPath());
    const size_t kept = size < sizeof ReplayBuffer ? size : sizeof ReplayBuffer;
    if (kept > 0 && std::memcmp(ReplayBuffer, data, kept) != 0) std::abort();
    for (size_t i = kept; i < sizeof ReplayBuffer; i++)
        if (ReplayBuffer[i] != 48) std::abort();
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
