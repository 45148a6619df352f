// The library's sprite path: 2000 sprites per iteration at fixed-seed positions wholly
// inside the 640x480 X8R8G8B8 back screen, drawn through G_D3D_DrawGraph (and
// G_D3D_DrawScaleRotateGraph for the rotated row) with the states the front end sets,
// and flushed at the end. Beside it the same device replaying the vertices the library
// produced (recorded once), which is what the rasterizer costs alone, so the difference
// is the library's own work; and a row-by-row memcpy of the sprites' bytes as the
// ceiling. bench_d3d_raster sets the device beside SDL2 and pixman.
//
// Rows (32x32 and 64x64): opaque; colour-keyed as the game does it (the key turned into
// alpha, the alpha test) and through the device colour key; alpha-blended (texture
// alpha, mode 1); additive (mode 2); and a 32x32 alpha-blended sprite rotated 30 degrees.
// Before timing, each row checks that the replay gives the library's image. After the
// runs one table gives megapixels per second and the ratios.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "Qz3DDevice.h"
#include "Qz3DScene.h"
#include "Qz3DSprite.h"
#include "Qz3DSystem.h"
#include "Qz3DTexture.h"
#include "QzApi.h"
#include "QzDrawScreen.h"
#include "QzGraphicsData.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsSystem.h"
#include "QzWinLock.h"
#include "QzWinMemory.h"
#include "platform/testing.h"

namespace {

constexpr int kSprites = 2000;
constexpr uint32_t kKey = 0x00FF00FFu;

enum class Row { Opaque, KeyAlphaTest, KeyColor, Alpha, Additive, Rotated };
const char* const kRowNames[] = {"opaque", "keyed (alpha test)", "keyed (colour key)", "alpha blend", "additive",
                                 "alpha blend, rotated 30"};
enum class Impl { Library, Device, Memcpy };
const char* const kImplNames[] = {"library", "device", "memcpy"};

struct Key {
    int size;
    Row row;
    bool operator<(const Key& o) const { return size != o.size ? size < o.size : row < o.row; }
};
std::map<Key, std::map<int, double>> g_rates;
std::map<Key, std::string> g_checks;

// ---- the library, started headless ----------------------------------------------------------------
struct Library {
    char folder[64] = "/tmp/qz-bench-XXXXXX";
    bool started = false;
    Library() {
        setenv("QZ_BACKEND", "null", 0);
        if (mkdtemp(folder) == nullptr || chdir(folder) != 0)
            return;
        ptest::SetWindowLockFolder(folder);
        ptest::SetClockMode(ptest::ClockMode::Fast);
        g_screen.width = 640;
        g_screen.height = 480;
        g_screen.colorBitDepth = 32;
        ApiChangeWindowMode(1);
        started = ApiInitializeLibrary() == 0 && g_d3d.direct3D != nullptr;
        if (started) {
            g_graphCreateSettings.transColor = kKey;
            EnterLibraryLock();
            SelectDrawTarget(kDrawTargetBack);
        }
    }
    // Before the process's static objects go (the platform's among them).
    void Stop() {
        if (started) {
            LeaveLibraryLock();
            ApiTerminateLibrary();
            started = false;
        }
        unlink((std::string(folder) + "/AppLog.txt").c_str());
        rmdir(folder);
    }
};

Library& TheLibrary() {
    static Library library;
    return library;
}

// A texture graphic filled from a pixel function.
GraphData* MakeGraph(int size, bool alpha, bool keyed, uint32_t (*pixel)(int, int, int)) {
    auto* g = (GraphData*)AllocZeroedMemory((int)sizeof(GraphData), "bench", __LINE__);
    g->useTexture = 1;
    g->alphaChannel = alpha ? 1 : 0;
    g->transColorUse = keyed ? 1 : 0;
    g->colorBitDepth = 32;
    g->movie = -1;
    g->width = g->height = size;
    RegisterGraphData(g);
    if (G_D3D_BuildGraphPieces(g) != 0)
        return nullptr;
    std::vector<uint32_t> pixels((size_t)size * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            pixels[(size_t)y * size + x] = pixel(x, y, size);
    GraphImage image = {};
    FillColorFormat(&image.colorFormat, 32, 0xFF0000, 0xFF00, 0xFF, alpha ? 0xFF000000u : 0);
    image.width = image.height = size;
    image.pitch = size * 4;
    image.pixels = pixels.data();
    G_D3D_UploadImageToGraph(nullptr, nullptr, nullptr, 0, 0, g, 0, &image, nullptr);
    return g;
}

uint32_t Opaque(int x, int y, int) {
    return (uint32_t)(x * 7 & 0xFF) << 16 | (uint32_t)(y * 5 & 0xFF) << 8 | (uint32_t)((x + y) * 3 & 0xFF);
}
// The key outside a disc.
uint32_t Keyed(int x, int y, int size) {
    int dx = 2 * x + 1 - size, dy = 2 * y + 1 - size;
    return dx * dx + dy * dy > size * size ? kKey : Opaque(x, y, size);
}
uint32_t Ramp(int x, int y, int size) {
    return (uint32_t)(x * 255 / (size - 1)) << 24 | Opaque(x, y, size);
}

struct Sprite {
    GraphData* graph = nullptr;
    int mode = 0;
    int transparent = 0;
    bool rotated = false;
};

Sprite MakeSprite(int size, Row row) {
    Sprite s;
    switch (row) {
    case Row::Opaque: s.graph = MakeGraph(size, false, false, Opaque); break;
    case Row::KeyAlphaTest: s.graph = MakeGraph(size, false, true, Keyed), s.transparent = 1; break;
    case Row::KeyColor: s.graph = MakeGraph(size, false, false, Keyed), s.transparent = 1; break;
    case Row::Alpha: s.graph = MakeGraph(size, true, false, Ramp), s.mode = 1, s.transparent = 1; break;
    case Row::Additive: s.graph = MakeGraph(size, false, false, Opaque), s.mode = 2; break;
    case Row::Rotated: s.graph = MakeGraph(size, true, false, Ramp), s.mode = 1, s.transparent = 1, s.rotated = true; break;
    }
    return s;
}

std::vector<std::pair<int, int>> Positions(int size) {
    std::mt19937 random(12345);
    // A rotated sprite needs room for its diagonal.
    int margin = size;
    std::uniform_int_distribution<int> x(margin, 640 - 2 * margin), y(margin, 480 - 2 * margin);
    std::vector<std::pair<int, int>> out;
    for (int i = 0; i < kSprites; ++i)
        out.emplace_back(x(random), y(random));
    return out;
}

// One row in one implementation.
struct Runner {
    Sprite sprite;
    int size;
    std::vector<std::pair<int, int>> at;
    std::vector<ptest::D3DCall> replay;  // the library's draw calls
    std::vector<uint32_t> source;        // memcpy: the sprite's bytes
    std::vector<uint32_t> target;

    Runner(int size, Row row) : sprite(MakeSprite(size, row)), size(size), at(Positions(size)) {
        source.assign((size_t)size * size, 0x00808080u);
        target.assign(640 * 480, 0);
    }
    void DrawLibrary() {
        g_drawState.blendMode = sprite.mode;
        g_drawState.blendParam = 255;
        G_D3D_UpdateDiffuseColor2();
        for (const auto& p : at) {
            if (sprite.rotated)
                G_D3D_DrawScaleRotateGraph((float)p.first, (float)p.second, 1.0, M_PI / 6, sprite.graph,
                                           sprite.transparent, 0);
            else
                G_D3D_DrawGraph(p.first, p.second, sprite.graph, sprite.transparent, 1);
        }
        G_D3D_EndScene();
    }
    void Record() {
        ptest::RecordD3DCalls(true);
        DrawLibrary();
        for (ptest::D3DCall& c : ptest::TakeD3DCalls())
            if (c.method == "DrawPrimitive")
                replay.push_back(std::move(c));
        ptest::RecordD3DCalls(false);
    }
    void DrawDevice() {
        IDirect3DDevice7* device = G_D3D_GetCurrentDevice();
        device->BeginScene();
        for (ptest::D3DCall& c : replay)
            device->DrawPrimitive((D3DPRIMITIVETYPE)c.args[0], (DWORD)c.args[1], c.vertices.data(), (DWORD)c.args[2],
                                  0);
        device->EndScene();
    }
    void DrawMemcpy() {
        for (const auto& p : at)
            for (int y = 0; y < size; ++y)
                std::memcpy(&target[(size_t)(p.second + y) * 640 + p.first], &source[(size_t)y * size], (size_t)size * 4);
    }
    void Draw(Impl impl) {
        switch (impl) {
        case Impl::Library: DrawLibrary(); break;
        case Impl::Device: DrawDevice(); break;
        case Impl::Memcpy: DrawMemcpy(); break;
        }
    }
};

std::vector<uint32_t> BackScreen() {
    std::vector<uint32_t> out(640 * 480);
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    IDirectDrawSurface7* back = GetBackSurface();
    if (back->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK)
        return out;
    for (int y = 0; y < 480; ++y)
        std::memcpy(&out[(size_t)y * 640], (uint8_t*)d.lpSurface + (size_t)y * d.lPitch, 640 * 4);
    back->Unlock(nullptr);
    return out;
}

void ClearBackScreen() {
    DDBLTFX fx = {};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x00304050;
    GetBackSurface()->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

std::map<Key, Runner*>& Runners() {
    static std::map<Key, Runner*> runners;
    return runners;
}

void BM_Sprites(benchmark::State& state, int size, Row row, Impl impl) {
    Runner* runner = Runners()[{size, row}];
    if (runner == nullptr || runner->sprite.graph == nullptr) {
        state.SkipWithError("no Direct3D");
        return;
    }
    for (auto _ : state) {
        runner->Draw(impl);
        benchmark::ClobberMemory();
    }
    double pixels = double(kSprites) * size * size;
    state.counters["Mpx_per_s"] =
        benchmark::Counter(pixels / 1e6 * double(state.iterations()), benchmark::Counter::kIsRate);
}

class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto it = run.counters.find("Mpx_per_s");
            if (it == run.counters.end() || run.error_occurred)
                continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
                continue;
            auto where = names_.find(run.run_name.str());
            if (where == names_.end())
                continue;
            double& slot = g_rates[where->second.first][where->second.second];
            if (run.run_type == Run::RT_Aggregate || slot == 0.0)
                slot = it->second.value;
        }
    }
    std::map<std::string, std::pair<Key, int>> names_;
};

}  // namespace

int main(int argc, char** argv) {
    Library& library = TheLibrary();
    if (!library.started) {
        std::fprintf(stderr, "bench_d3d_sprites: the library did not start with Direct3D\n");
        library.Stop();
        return 1;
    }
    const Row rows[] = {Row::Opaque, Row::KeyAlphaTest, Row::KeyColor, Row::Alpha, Row::Additive, Row::Rotated};
    TableReporter reporter;
    for (int size : {32, 64}) {
        for (Row row : rows) {
            if (row == Row::Rotated && size != 32)
                continue;
            auto* runner = new Runner(size, row);
            Runners()[{size, row}] = runner;
            // The replay must give the library's image.
            ClearBackScreen();
            runner->Record();
            std::vector<uint32_t> ours = BackScreen();
            ClearBackScreen();
            runner->DrawDevice();
            g_checks[{size, row}] = BackScreen() == ours ? "" : "replay differs";
            for (Impl impl : {Impl::Library, Impl::Device, Impl::Memcpy}) {
                std::string name = "Sprites/" + std::to_string(size) + "/" + kRowNames[int(row)] + "/" +
                                   kImplNames[int(impl)];
                benchmark::RegisterBenchmark(name.c_str(), BM_Sprites, size, row, impl)->Unit(benchmark::kMillisecond);
                reporter.names_[name] = {{size, row}, int(impl)};
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nMegapixels per second (2000 sprites per iteration, 640x480 X8R8G8B8 back screen); library:\n"
                "G_D3D_DrawGraph / G_D3D_DrawScaleRotateGraph and the flush; device: the same device replaying\n"
                "the library's vertices\n");
    std::printf("%-34s %9s %9s %9s  %14s %14s  %s\n", "row", "library", "device", "memcpy", "library/device",
                "library/memcpy", "checks");
    for (auto& entry : g_rates) {
        auto rate = [&](Impl i) {
            auto it = entry.second.find(int(i));
            return it == entry.second.end() ? 0.0 : it->second;
        };
        std::string name = std::to_string(entry.first.size) + "x" + std::to_string(entry.first.size) + " " +
                           kRowNames[int(entry.first.row)];
        double device = rate(Impl::Device), memcpyRate = rate(Impl::Memcpy);
        std::printf("%-34s %9.0f %9.0f %9.0f  %14.2f %14.2f  %s\n", name.c_str(), rate(Impl::Library), device,
                    memcpyRate, device > 0 ? rate(Impl::Library) / device : 0.0,
                    memcpyRate > 0 ? rate(Impl::Library) / memcpyRate : 0.0, g_checks[entry.first].c_str());
    }
    for (auto& r : Runners()) {
        if (r.second->sprite.graph) {
            G_D3D_DeleteGraphPieces(r.second->sprite.graph);
            UnregisterGraphData(r.second->sprite.graph->handle);
            FreeMemory(r.second->sprite.graph);
        }
        delete r.second;
    }
    library.Stop();
    return 0;
}
