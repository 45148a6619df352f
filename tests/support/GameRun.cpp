// GameRun.cpp: spawning game processes and reading what they leave.
#include "GameRun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "LogLines.h"
#include "PngRead.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace gamerun {

void Script::Change(int frame, Key key, bool down) { changes_.insert({frame, {key, down}}); }

std::string Script::Text() const {
    std::string text = "# written by the test\n";
    for (const auto& [frame, change] : changes_) {
        char line[48];
        std::snprintf(line, sizeof line, "%d key %02X %d\n", frame, static_cast<unsigned>(change.first),
                      change.second ? 1 : 0);
        text += line;
    }
    return text;
}

namespace {
const std::pair<Key, int> kPadKeys[] = {{kDown, 0x01}, {kLeft, 0x02}, {kRight, 0x04},
                                        {kUp, 0x08},   {kZ, 0x10},    {kX, 0x20}};
}  // namespace

int Script::PadBits(int frame) const {
    std::map<Key, bool> held;
    for (auto it = changes_.begin(); it != changes_.end() && it->first <= frame; ++it) held[it->second.first] = it->second.second;
    int bits = 0;
    for (const auto& [key, bit] : kPadKeys)
        if (held[key]) bits |= bit;
    return bits;
}

void Script::Pad(int frame, int bits) {
    const int now = padHeld_ >= 0 ? padHeld_ : PadBits(frame);
    padHeld_ = bits;
    for (const auto& [key, bit] : kPadKeys)
        if ((now ^ bits) & bit) Change(frame, key, (bits & bit) != 0);
}

void WriteStartFile(const std::string& folder, const std::string& name, const std::string& bytes) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    qztest::WriteWholeFile(folder + "/" + name, bytes);
}

std::vector<int> RunAll(const std::vector<Run>& runs) {
    std::vector<pid_t> children;
    for (const Run& run : runs) {
        fs::create_directories(run.folder);
        fs::remove(run.folder + "/data");
        if (!run.data.empty()) fs::create_directory_symlink(run.data, run.folder + "/data");
        qztest::WriteWholeFile(run.folder + "/input.txt", run.script.Text());
        // Each process its own runtime folder: the library refuses a second instance.
        std::vector<std::string> environment = {"QZ_BACKEND=null", "QZ_CLOCK=fast", "QZ_MSGBOX=no",
                                                "QZ_INPUT=" + run.folder + "/input.txt",
                                                "XDG_RUNTIME_DIR=" + run.folder};
        environment.insert(environment.end(), run.environment.begin(), run.environment.end());
        // The child must not write the parent's buffered output a second time.
        std::fflush(nullptr);
        pid_t child = fork();
        if (child == 0) {
            if (chdir(run.folder.c_str()) != 0) _exit(127);
            // The platform's diagnostics go to the folder, beside the log.
            if (!freopen("output.txt", "w", stdout) || dup2(fileno(stdout), 2) < 0) _exit(127);
            for (const std::string& e : environment) putenv(strdup(e.c_str()));
            execl(run.program.c_str(), run.program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        children.push_back(child);
    }
    std::vector<int> codes;
    for (pid_t child : children) {
        int status = 0;
        const bool waited = child > 0 && waitpid(child, &status, 0) == child;
        codes.push_back(waited && WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    return codes;
}

bool LogEndsWithEmptyDump(const std::string& folder) {
    return qztest::LastLogLines(ReadFile(folder + "/AppLog.txt"), 2) ==
           std::vector<std::string>{qztest::kEmptyDumpHeading, qztest::kEmptyDumpTotal};
}

Image ReadImage(const std::string& path) {
    Image image;
    image.pixels = qztest::ReadPngRgb(path, &image.width, &image.height);
    return image;
}

std::string ReadFile(const std::string& path) { return qztest::ReadWholeFile(path); }

std::vector<int16_t> WaveSamples(const std::string& wave, size_t* perSecond) {
    std::vector<int16_t> samples;
    *perSecond = 0;
    size_t at = 12;
    while (at + 8 <= wave.size()) {
        uint32_t size = 0;
        std::memcpy(&size, wave.data() + at + 4, 4);
        if (wave.compare(at, 4, "fmt ") == 0 && at + 16 <= wave.size()) {
            uint16_t channels = 0;
            uint32_t rate = 0;
            std::memcpy(&channels, wave.data() + at + 10, 2);
            std::memcpy(&rate, wave.data() + at + 12, 4);
            *perSecond = size_t{rate} * channels;
        }
        if (wave.compare(at, 4, "data") == 0) {
            size = std::min<uint32_t>(size, uint32_t(wave.size() - at - 8));
            samples.resize(size / 2);
            std::memcpy(samples.data(), wave.data() + at + 8, samples.size() * 2);
            break;
        }
        at += 8 + size + (size & 1);
    }
    return samples;
}

double Seconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

}  // namespace gamerun
