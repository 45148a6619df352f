// game_road_check: runs game_road_driver as the game runs, a process of its own with the
// platform's controls in its environment, and checks what it left behind.
//
//   game_road_check <driver> <folder>            headless: QZ_BACKEND=null, twice
//   game_road_check <driver> <folder> --window   a real window on $DISPLAY: QZ_BACKEND=sdl
//
// Headless, each run exits with 0; the captured frames of the loading screen and of the
// frame, read back with libpng, equal the model's images; the frames after the back
// screen's clear are black; "AppLog.txt" ends with the empty allocation dump; the key and
// pad reads see Space exactly on the frame the input script holds it; and the two runs
// leave byte-identical PNG files.
// In a window, the driver's screenshot of the X screen at the client rectangle equals the
// captured frame pixel for pixel, the window is titled "ZARNOVIK" with a 640x480 client
// area, and without a sound device the log shows DirectSound's start-up failing.
// The folders are kept, screenshot included, for a look after a failure.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "GameRoad.h"
#include "PngRead.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

int g_failures = 0;

void Fail(const std::string& what) {
    std::fprintf(stderr, "FAIL: %s\n", what.c_str());
    ++g_failures;
}

struct Pump {
    int frame;
    unsigned long long presents;
    int space, pad;
};

struct Report {
    std::map<std::string, unsigned long long> milestones;
    std::vector<Pump> pumps;
    std::vector<std::string> lines;
};

Report ReadReport(const std::string& path) {
    Report r;
    std::istringstream in(qztest::ReadWholeFile(path));
    std::string line;
    while (std::getline(in, line)) {
        r.lines.push_back(line);
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "milestone") {
            std::string name;
            unsigned long long count = 0;
            words >> name >> count;
            r.milestones[name] = count;
        } else if (kind == "pump") {
            Pump p{};
            words >> p.frame >> p.presents >> p.space >> p.pad;
            r.pumps.push_back(p);
        }
    }
    return r;
}

// Runs the driver in `folder` with the environment added; its exit code, or -1.
int Spawn(const std::string& driver, const std::string& folder, const std::vector<std::string>& environment,
          const std::vector<std::string>& arguments) {
    pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (chdir(folder.c_str()) != 0) _exit(127);
        for (const std::string& e : environment) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(driver.c_str()));
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(driver.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string FramePath(const std::string& folder, unsigned long long index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06llu.png", index);
    return folder + "/frames/" + name;
}

// The captured frame that was the last one presented at a milestone, against the model.
void CheckCapture(const std::string& folder, const Report& r, const char* milestone, const road::Expected& want) {
    auto it = r.milestones.find(milestone);
    if (it == r.milestones.end() || it->second == 0) return Fail(std::string("no frame presented by ") + milestone);
    std::string path = FramePath(folder, it->second - 1);
    int width = 0, height = 0;
    std::vector<uint32_t> got = qztest::ReadPngRgb(path, &width, &height);
    std::string diff = road::Compare(want, got, width, height);
    if (!diff.empty()) Fail(std::string(milestone) + " (" + path + "): " + diff);
}

void CheckEmptyDump(const std::string& folder) {
    std::vector<std::string> last = road::LastLogLines(qztest::ReadWholeFile(folder + "/AppLog.txt"), 2);
    if (last != std::vector<std::string>{road::kEmptyDumpHeading, road::kEmptyDumpTotal})
        Fail(folder + "/AppLog.txt does not end with the empty allocation dump");
}

void Fresh(const std::string& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder + "/frames");
}

// The platform's controls for one run. The run's own folder also holds the window's
// second-instance lock (the platform takes $XDG_RUNTIME_DIR), so runs going on at the same
// time, these or any other program's, never refuse each other.
std::vector<std::string> BaseEnvironment(const std::string& folder, const char* backend) {
    return {std::string("QZ_BACKEND=") + backend, "QZ_CLOCK=fast", "QZ_CAPTURE=" + folder + "/frames",
            "QZ_MSGBOX=no", "QZ_INPUT=" + folder + "/input.txt", "XDG_RUNTIME_DIR=" + folder};
}

// Space (DirectInput 0x39) held from `down` presented frames to `up`.
void WriteScript(const std::string& folder, unsigned long long down, unsigned long long up) {
    qztest::WriteWholeFile(folder + "/input.txt", "# Space for one frame\n" + std::to_string(down) + " key 39 1\n" +
                                                      std::to_string(up) + " key 39 0\n");
}

Report RunHeadless(const std::string& driver, const std::string& folder, unsigned long long down,
                   unsigned long long up) {
    Fresh(folder);
    WriteScript(folder, down, up);
    int code = Spawn(driver, folder, BaseEnvironment(folder, "null"), {});
    if (code != 0) Fail(folder + ": the driver exited with " + std::to_string(code));
    Report r = ReadReport(folder + "/road-report.txt");
    const char* loading[] = {"loading-text", "loading-outline", "loading-bar-140", "loading-bar-620"};
    const road::Milestone stages[] = {road::Milestone::LoadingText, road::Milestone::LoadingOutline,
                                      road::Milestone::LoadingBar140, road::Milestone::LoadingBar620};
    for (int i = 0; i < 4; ++i) CheckCapture(folder, r, loading[i], road::ExpectedLoading(stages[i]));
    CheckCapture(folder, r, "frame-presented", road::ExpectedFrame());
    for (const char* m : {"switched-mode-1", "switched-midi", "switched-mode-4"})
        CheckCapture(folder, r, m, road::ExpectedBlack());
    CheckEmptyDump(folder);
    if (r.pumps.size() != 4) Fail(folder + ": " + std::to_string(r.pumps.size()) + " frames ended, want 4");
    for (const Pump& p : r.pumps) {
        int held = p.presents >= down && p.presents < up;
        if (p.space != held || (p.pad & 0x2000) != (held ? 0x2000 : 0))
            Fail(folder + ": frame " + std::to_string(p.frame) + " after " + std::to_string(p.presents) +
                 " presents read Space " + std::to_string(p.space) + ", pad bits " + std::to_string(p.pad) +
                 "; the script holds it from " + std::to_string(down) + " to " + std::to_string(up));
    }
    return r;
}

void Headless(const std::string& driver, const std::string& folder) {
    // The first run holds Space before any frame ends; the second on the third frame only.
    Report first = RunHeadless(driver, folder + "/run1", 1, 2);
    if (first.pumps.size() < 3) return;
    unsigned long long third = first.pumps[2].presents;
    Report second = RunHeadless(driver, folder + "/run2", third, third + 1);
    if (second.pumps.size() >= 3 && second.pumps[2].space != 1) Fail("the second run's third frame missed Space");

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder + "/run1/frames")) names.push_back(entry.path().filename());
    size_t others = 0;
    for (const auto& entry : fs::directory_iterator(folder + "/run2/frames")) (void)entry, ++others;
    if (names.empty() || names.size() != others)
        Fail("the runs captured " + std::to_string(names.size()) + " and " + std::to_string(others) + " frames");
    for (const std::string& name : names)
        if (qztest::ReadWholeFile(folder + "/run1/frames/" + name) != qztest::ReadWholeFile(folder + "/run2/frames/" + name))
            Fail(name + " differs between the two runs");
}

void InWindow(const std::string& driver, const std::string& folder) {
    const std::string run = folder + "/window";
    Fresh(run);
    WriteScript(run, 1, 2);
    const std::string shot = run + "/window-screenshot.png";
    int code = Spawn(driver, run, BaseEnvironment(run, "sdl"), {"--screenshot", shot});
    if (code != 0) Fail("the driver exited with " + std::to_string(code));
    Report r = ReadReport(run + "/road-report.txt");
    bool titled = false, client = false;
    for (const std::string& line : r.lines) {
        if (line == "window ZARNOVIK 640 480") titled = true;
        if (line.rfind("client ", 0) == 0 && line.size() > 8 && line.substr(line.size() - 8) == " 640 480") client = true;
        if (line.rfind("x11 ", 0) == 0 || line.rfind("failure ", 0) == 0) Fail(line);
    }
    if (!titled) Fail("no window titled ZARNOVIK of 640x480 on the X server");
    if (!client) Fail("the client rectangle is not 640x480");

    auto it = r.milestones.find("frame-presented");
    if (it == r.milestones.end() || it->second == 0) return Fail("the frame was not presented");
    int fw = 0, fh = 0, sw = 0, sh = 0;
    std::vector<uint32_t> frame = qztest::ReadPngRgb(FramePath(run, it->second - 1), &fw, &fh);
    std::vector<uint32_t> screen = qztest::ReadPngRgb(shot, &sw, &sh);
    std::string diff = road::Compare(road::ExpectedFrame(), frame, fw, fh);
    if (!diff.empty()) Fail("the captured frame: " + diff);
    if (screen.empty() || sw != fw || sh != fh) {
        Fail("the screenshot is " + std::to_string(sw) + "x" + std::to_string(sh));
    } else {
        int bad = 0;
        for (size_t i = 0; i < frame.size(); ++i)
            if (frame[i] != screen[i] && ++bad <= 8) {
                char line[128];
                std::snprintf(line, sizeof line, "screen (%zu, %zu): %06X, captured %06X", i % (size_t)fw,
                              i / (size_t)fw, screen[i], frame[i]);
                Fail(line);
            }
        if (bad) Fail(std::to_string(bad) + " pixels of the screenshot differ from the captured frame");
    }
    CheckEmptyDump(run);

    // Where the machine has no sound device, sound start-up fails and says so.
    const std::string log = qztest::ReadWholeFile(run + "/AppLog.txt");
    if (log.find("DirectSound の初期化は正常に終了しました") == std::string::npos) {
        bool said = log.find("DirectSound") != std::string::npos && log.find("失敗しました") != std::string::npos;
        if (!said) Fail("sound did not start and the log has no DirectSound failure line");
        std::printf("no sound device: DirectSound start-up failed, as logged\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || (argc == 4 && std::strcmp(argv[3], "--window") != 0) || argc > 4) {
        std::fprintf(stderr, "usage: game_road_check <driver> <folder> [--window]\n");
        return 2;
    }
    const std::string driver = fs::absolute(argv[1]);
    const std::string folder = fs::absolute(argv[2]);
    if (argc == 4)
        InWindow(driver, folder);
    else
        Headless(driver, folder);
    if (g_failures) std::fprintf(stderr, "%d failures; the runs are kept in %s\n", g_failures, folder.c_str());
    else std::printf("game road: all checks passed (%s)\n", folder.c_str());
    return g_failures ? 1 : 0;
}
