// GameRun.cpp: spawning game processes and reading what they leave.
#include "GameRun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "PngRead.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace gamerun {

std::string Script::Line(int frame, Key key, int value) {
    char line[48];
    std::snprintf(line, sizeof line, "%d key %02X %d\n", frame, static_cast<unsigned>(key), value);
    return line;
}

std::string Script::Text() const {
    std::string text = "# written by the acceptance test\n";
    for (const auto& [frame, lines] : lines_) text += lines;
    return text;
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
    const std::string log = ReadFile(folder + "/AppLog.txt");
    // Lines carry a time prefix ("12345:"); the dump is the last two non-empty ones.
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < log.size()) {
        size_t end = log.find('\n', at);
        if (end == std::string::npos) end = log.size();
        std::string line = log.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t colon = line.find(':');
        if (colon != std::string::npos && colon > 0 && line.find_first_not_of("0123456789") == colon)
            line.erase(0, colon + 1);
        if (!line.empty()) lines.push_back(line);
        at = end + 1;
    }
    return lines.size() >= 2 && lines[lines.size() - 2] == "Alloc memory dump" &&
           lines.back() == "\tTotal size:0(0.000kb)  Alloc num:0";
}

Image ReadImage(const std::string& path) {
    Image image;
    image.pixels = qztest::ReadPngRgb(path, &image.width, &image.height);
    return image;
}

std::string ReadFile(const std::string& path) { return qztest::ReadWholeFile(path); }

double Seconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

}  // namespace gamerun
