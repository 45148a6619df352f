// What the entry points cost the game. First one call: ApiGetMillisecondTime uncontended
// against GetMillisecondTime called directly, with a std::recursive_mutex lock and
// unlock pair as the yardstick of a lock round trip. Then a game-sized frame on the null
// backend: 1500 sprites (500 plain, 500 rotated, 500 additive at 200), 20 filled boxes
// and 300 text cells (12x12 cells drawn by DrawScaleRotateGraph at scale 1, as the
// game's text is), then the frame's end (pump, present, back screen selected and
// cleared), once through the entry points and once as the same operations called
// directly under one lock for the whole frame (the message thread must not run beside
// them). After the runs: the ratios, and each frame's time as a share of the game's
// 17 ms frame.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "BenchRatios.h"
#include "MutexBaseline.h"
#include "QzApi.h"
#include "QzDrawPresent.h"
#include "QzDrawScreenColor.h"
#include "QzGraphicsDraw.h"
#include "QzGraphicsFront.h"
#include "QzWinLock.h"
#include "QzWinMessage.h"
#include "QzWinTime.h"
#include "platform/testing.h"

namespace {

constexpr int kSpritesPerKind = 500;
constexpr int kBoxes = 20;
constexpr int kTextCells = 300;
constexpr double kFrameMs = 17.0;

// ---- fixtures ---------------------------------------------------------------------------------
void PutLe(std::string* out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; i++) out->push_back(static_cast<char>(v >> (8 * i) & 0xFF));
}

// A 24-bit BMP, top row first in `pixels` (0xRRGGBB).
std::string Bmp(int width, int height, const std::vector<uint32_t>& pixels) {
    const int rowBytes = (width * 3 + 3) / 4 * 4;
    std::string data;
    for (int y = height - 1; y >= 0; y--) {
        std::string row(static_cast<size_t>(rowBytes), '\0');
        for (int x = 0; x < width; x++) {
            const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
            row[3 * x] = static_cast<char>(p & 0xFF);
            row[3 * x + 1] = static_cast<char>(p >> 8 & 0xFF);
            row[3 * x + 2] = static_cast<char>(p >> 16 & 0xFF);
        }
        data += row;
    }
    std::string file = "BM";
    PutLe(&file, static_cast<uint32_t>(54 + data.size()), 4);
    PutLe(&file, 0, 4);
    PutLe(&file, 54, 4);
    PutLe(&file, 40, 4);
    PutLe(&file, static_cast<uint32_t>(width), 4);
    PutLe(&file, static_cast<uint32_t>(height), 4);
    PutLe(&file, 1, 2);
    PutLe(&file, 24, 2);
    PutLe(&file, 0, 4);
    PutLe(&file, static_cast<uint32_t>(data.size()), 4);
    PutLe(&file, 2835, 4);
    PutLe(&file, 2835, 4);
    PutLe(&file, 0, 4);
    PutLe(&file, 0, 4);
    return file + data;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// A 256x64 sheet of 32x32 sprites, each a disc of its own colour on black; and the
// 192x192 font sheet of 12x12 cells.
bool WriteSheets() {
    std::vector<uint32_t> sheet(256 * 64, 0);
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 256; x++) {
            const int cell = y / 32 * 8 + x / 32, dx = x % 32 * 2 - 31, dy = y % 32 * 2 - 31;
            if (dx * dx + dy * dy < 30 * 30) sheet[y * 256 + x] = 0x203040u + 0x0F0B07u * static_cast<uint32_t>(cell);
        }
    std::vector<uint32_t> font(192 * 192, 0);
    for (int y = 0; y < 192; y++)
        for (int x = 0; x < 192; x++)
            if ((x % 12 + y % 12 + (x / 12) * (y / 12)) % 3 == 0) font[y * 192 + x] = 0xFFFFFFu;
    mkdir("data", 0755);
    return WriteFile("data/jiki.bmp", Bmp(256, 64, sheet)) && WriteFile("data/font.bmp", Bmp(192, 192, font));
}

// ---- the library, started headless --------------------------------------------------------------
struct Library {
    char folder[64] = "/tmp/qz-bench-XXXXXX";
    bool started = false;
    int sprites[16] = {};
    int font[255] = {};
    uint32_t colors[kBoxes] = {};

    Library() {
        setenv("QZ_BACKEND", "null", 0);
        if (mkdtemp(folder) == nullptr || chdir(folder) != 0 || !WriteSheets()) return;
        ptest::SetWindowLockFolder(folder);
        // Waits end at once, so a frame costs its work and nothing else.
        ptest::SetClockMode(ptest::ClockMode::Fast);
        ApiSetWindowCaption("ZARNOVIK");
        ApiChangeWindowMode(1);
        ApiSetWindowResizableFlag(1);
        if (ApiInitializeLibrary() != 0) return;
        ApiSetScreenMode(640, 480, 32, 60);
        const int sheet = ApiLoadFileToGraph("data/jiki.bmp");
        if (sheet == -1 || ApiLoadFileToDivGraph("data/font.bmp", 255, 16, 16, 12, 12, font) != 0) return;
        for (int i = 0; i < 16; i++)
            if ((sprites[i] = ApiDeriveGraph(i % 8 * 32, i / 8 * 32, 32, 32, sheet)) == -1) return;
        for (int i = 0; i < kBoxes; i++) colors[i] = ApiGetScreenColorValue(40 * (i % 6), 200 - 9 * i, 13 * i);
        ApiSelectDrawTarget(-2);
        started = true;
    }
    // Before the process's static objects go (the platform's among them).
    void Stop() {
        if (g_windowSystem.libraryInitialized) {
            ApiDeleteAllGraphs(0);
            ApiTerminateLibrary();
        }
        for (const char* name : {"data/jiki.bmp", "data/font.bmp", "AppLog.txt"}) unlink(name);
        rmdir("data");
        if (chdir("/") == 0) rmdir(folder);
        started = false;
    }
};

Library& TheLibrary() {
    static Library library;
    return library;
}

// One frame's calls, with their arguments fixed once from a fixed seed.
struct Frame {
    struct Sprite {
        int x, y, graph;
        double angle;
    };
    std::vector<Sprite> plain, rotated, additive;
    struct Box {
        int x1, y1, x2, y2;
        uint32_t color;
    };
    std::vector<Box> boxes;
    struct Cell {
        int x, y, glyph;
    };
    std::vector<Cell> text;

    explicit Frame(const Library& library) {
        std::mt19937 random(12345);
        auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
        for (auto* list : {&plain, &rotated, &additive})
            for (int i = 0; i < kSpritesPerKind; i++)
                list->push_back({pick(608), pick(448), library.sprites[pick(16)], pick(628) / 100.0});
        for (int i = 0; i < kBoxes; i++) {
            const int x = pick(560), y = pick(440);
            boxes.push_back({x, y, x + 16 + pick(64), y + 8 + pick(32), library.colors[i]});
        }
        // Ten lines of thirty characters, as the game's score and menu text.
        for (int i = 0; i < kTextCells; i++) text.push_back({20 + 12 * (i % 30) + 6, 40 + 16 * (i / 30) + 6, 1 + pick(254)});
    }
};

template <bool kThroughApi>
void DrawFrame(const Frame& f) {
    if constexpr (kThroughApi) {
        ApiSetBlendMode(0, 100);
        for (const auto& s : f.plain) ApiDrawPlainGraph(s.x, s.y, s.graph, 1);
        for (const auto& s : f.rotated) ApiDrawScaleRotateGraph(s.x + 16, s.y + 16, 1.0, s.angle, s.graph, 1, 0);
        ApiSetBlendMode(2, 200);
        for (const auto& s : f.additive) ApiDrawPlainGraph(s.x, s.y, s.graph, 1);
        ApiSetBlendMode(0, 100);
        for (const auto& b : f.boxes) ApiDrawRectangle(b.x1, b.y1, b.x2, b.y2, b.color, 1);
        for (const auto& c : f.text) ApiDrawScaleRotateGraph(c.x, c.y, 1.0, 0.0, TheLibrary().font[c.glyph], 1, 0);
        ApiProcessMessage();
        ApiPresentScreen();
        ApiSelectDrawTarget(-2);
        ApiClearDrawTarget();
    } else {
        EnterLibraryLock();
        SetBlendMode(0, 100);
        for (const auto& s : f.plain) DrawPlainGraph(s.x, s.y, s.graph, 1);
        for (const auto& s : f.rotated) DrawScaleRotateGraph(s.x + 16, s.y + 16, 1.0, s.angle, s.graph, 1, 0);
        SetBlendMode(2, 200);
        for (const auto& s : f.additive) DrawPlainGraph(s.x, s.y, s.graph, 1);
        SetBlendMode(0, 100);
        for (const auto& b : f.boxes) DrawRectangle(b.x1, b.y1, b.x2, b.y2, b.color, 1);
        for (const auto& c : f.text) DrawScaleRotateGraph(c.x, c.y, 1.0, 0.0, TheLibrary().font[c.glyph], 1, 0);
        ProcessMessage();
        PresentScreen();
        SelectDrawTarget(-2);
        ClearDrawTarget();
        LeaveLibraryLock();
    }
}

// ---- benchmarks ---------------------------------------------------------------------------------
void BM_ApiGetMillisecondTime(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(ApiGetMillisecondTime(0));
}

void BM_GetMillisecondTime(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(GetMillisecondTime(0));
}

void BM_FrameThroughEntryPoints(benchmark::State& state) {
    const Frame frame(TheLibrary());
    for (auto _ : state) DrawFrame<true>(frame);
}

void BM_FrameCalledDirectly(benchmark::State& state) {
    const Frame frame(TheLibrary());
    for (auto _ : state) DrawFrame<false>(frame);
}

}  // namespace

int main(int argc, char** argv) {
    Library& library = TheLibrary();
    if (!library.started) {
        std::fprintf(stderr, "bench_api_entry: the library did not start headless\n");
        library.Stop();
        return 1;
    }
    benchmark::RegisterBenchmark("BM_ApiGetMillisecondTime", BM_ApiGetMillisecondTime);
    benchmark::RegisterBenchmark("BM_GetMillisecondTime", BM_GetMillisecondTime);
    benchmark::RegisterBenchmark("BM_RecursiveMutexLockUnlock", qzbench::BM_RecursiveMutexLockUnlock);
    benchmark::RegisterBenchmark("BM_FrameThroughEntryPoints", BM_FrameThroughEntryPoints)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_FrameCalledDirectly", BM_FrameCalledDirectly)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    qzbench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    auto time = [&](const char* name) { return reporter.Time(name); };
    const double api = time("BM_ApiGetMillisecondTime"), direct = time("BM_GetMillisecondTime");
    const double mutex = time("BM_RecursiveMutexLockUnlock");
    const double apiFrame = time("BM_FrameThroughEntryPoints"), directFrame = time("BM_FrameCalledDirectly");
    if (api > 0 && direct > 0)
        std::printf("ratio %-58s %7.2f\n", "ApiGetMillisecondTime / GetMillisecondTime", api / direct);
    if (api > 0 && direct > 0 && mutex > 0)
        std::printf("ratio %-58s %7.2f\n", "entry point's own cost / recursive_mutex lock+unlock",
                    (api - direct) / mutex);
    if (apiFrame > 0 && directFrame > 0) {
        std::printf("ratio %-58s %7.3f\n", "frame through the entry points / called directly", apiFrame / directFrame);
        // Frame times are in milliseconds.
        std::printf("share %-58s %6.1f %%\n", "of the 17 ms frame, through the entry points", 100.0 * apiFrame / kFrameMs);
        std::printf("share %-58s %6.1f %%\n", "of the 17 ms frame, called directly", 100.0 * directFrame / kFrameMs);
        std::printf("calls %-58s %7d\n", "entry-point calls per frame",
                    3 * kSpritesPerKind + kBoxes + kTextCells + 3 + 4);
    }
    library.Stop();
    benchmark::Shutdown();
    return 0;
}
