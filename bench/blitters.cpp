// The software image engine's blitters against pixman on the same pixels: sprites at
// fixed-seed positions wholly inside a 640x480 X8R8G8B8 target, about two million
// pixels per iteration.
//
// Rows: PutMEMIMG copy (32x32, 128x128), keyed copy, alpha at parameter 128 and 200,
// per-pixel alpha (the general loop and the run tables, keyed as sprites are drawn, and
// unkeyed), add at 255 (both MMX flags) and 128, subtract at 255, multiply;
// PutMEMIMGScaled at 2x (opaque and per-pixel alpha); PutMEMIMGRotated at 30 degrees
// and PutMEMIMGQuad on the same corners; copy, alpha 200, add at 255 (both MMX flags)
// and subtract at 255 on an R5G6B5 target.
// Columns: ours (fast paths), general (the fast paths switched off: the loops every
// fast path is tested against, as the blitters drew before them), pixman (SRC for
// copies, OVER with premultiplied texels for alpha and keys, ADD on a8r8g8b8 for add
// (through a solid mask of the parameter's alpha below 255)
// (on r5g6b5 for the R5G6B5 add, whose formula differs from ours: no byte check),
// nearest-filtered transforms for scale and rotation), memcpy of the sprites' rows.
//
// Before timing, each row is drawn once by ours and by the general path (their bytes
// must be the same) and by pixman where the formulas agree (copies, the keyed copy and
// the saturating add): a differing byte is reported beside the row. The table takes the
// median of the repetitions.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "QzDraw2D.h"
#include "QzDrawBlit.h"
#include "QzDrawBlitFast.h"
#include "QzDrawDevice.h"
#include "QzDrawMemImg.h"
#include "QzDrawPrimitive.h"
#include "QzDrawScreen.h"
#include "QzGraphicsDrawState.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr double kPixelsPerIteration = 2'000'000;

enum class Row {
    Copy32, Copy128, Key32, Alpha128, Alpha200, PixelAlpha, PixelAlphaRuns, Add255, Add255Mmx, Add128,
    Sub255, Multiply, Scaled2x, Scaled2xAlpha, Rotated, Quad, PixelAlphaUnkeyed, Copy16, Alpha200x16,
    Add255x16, Add255Mmx16, Sub255x16, Count
};
const char* const kRowNames[] = {
    "copy 32x32",        "copy 128x128",       "keyed copy 32x32", "alpha P128 32x32",     "alpha P200 32x32",
    "per-pixel alpha",   "per-pixel alpha runs", "add P255",        "add P255 MMX",         "add P128",
    "subtract P255",     "multiply",           "scaled 2x opaque", "scaled 2x pixel alpha", "rotated 30 deg",
    "quad 30 deg",       "per-pixel alpha unkeyed", "copy 32x32 R5G6B5", "alpha P200 R5G6B5",
    "add P255 R5G6B5",   "add P255 MMX R5G6B5", "subtract P255 R5G6B5",
};
enum class Impl { Ours, General, Pixman, Memcpy, Count };
const char* const kImplNames[] = {"ours", "general", "pixman", "memcpy"};

bool Is16(Row r) {
    return r == Row::Copy16 || r == Row::Alpha200x16 || r == Row::Add255x16 || r == Row::Add255Mmx16 ||
           r == Row::Sub255x16;
}

int SpriteSize(Row r) {
    return r == Row::Copy128 ? 128 : 32;
}
// Destination pixels one sprite covers.
int Covered(Row r) {
    int s = SpriteSize(r);
    return r == Row::Scaled2x || r == Row::Scaled2xAlpha ? 4 * s * s : s * s;
}

struct Sprite {
    MEMIMG img{};
    std::vector<uint32_t> premultiplied;  // pixman's a8r8g8b8 copy
    std::vector<uint16_t> rgb565;         // pixman's r5g6b5 copy (16-bit sprites)
};

// Opaque texels (fourth byte 0xFF), a keyed variant with a disc of opaque texels, and a
// per-pixel alpha variant: opaque inside the disc, translucent near its edge, clear
// outside.
struct Sprites {
    Sprite opaque, keyed, alpha, opaque16;
    explicit Sprites(int s) {
        std::mt19937 rng(7);
        SetupMEMIMG(&opaque.img, s, s, -1, 0, 1, 0, 0, 0);
        SetupMEMIMG(&keyed.img, s, s, -1, 0x00FF00FF, 1, 0, 0, 0);
        SetupMEMIMG(&alpha.img, s, s, -1, 0, 1, 0, 1, 1);
        for (int y = 0; y < s; ++y)
            for (int x = 0; x < s; ++x) {
                uint32_t c = rng() & 0xFFFFFF;
                double r = std::hypot(x + 0.5 - s / 2.0, y + 0.5 - s / 2.0) / (s / 2.0);
                uint32_t a = r < 0.75 ? 255 : r < 1 ? (uint32_t)((1 - r) * 4 * 255) : 0;
                Put(opaque, x, y, c | 0xFF000000u, c | 0xFF000000u);
                Put(keyed, x, y, a == 0 ? 0x00FF00FFu : c | 0xFF000000u, a == 0 ? 0 : c | 0xFF000000u);
                uint32_t pr = ((c >> 16 & 0xFF) * a + 127) / 255, pg = ((c >> 8 & 0xFF) * a + 127) / 255,
                         pb = ((c & 0xFF) * a + 127) / 255;
                Put(alpha, x, y, c | a << 24, a << 24 | pr << 16 | pg << 8 | pb);
            }
        BuildMEMIMGRuns(&alpha.img);
        alpha.img.runsValid = 1;
        SetupMEMIMG(&opaque16.img, s, s, -1, 0, 0, 0, 0, 0);
        opaque16.premultiplied = opaque.premultiplied;
        for (int y = 0; y < s; ++y)
            for (int x = 0; x < s; ++x) {
                uint32_t c = opaque.premultiplied[(size_t)y * s + x];
                uint16_t v = (uint16_t)((c >> 8 & 0xF800) | (c >> 5 & 0x07E0) | (c >> 3 & 0x001F));
                std::memcpy(opaque16.img.pixels + y * opaque16.img.pitch + x * 2, &v, 2);
                opaque16.rgb565.push_back(v);
            }
    }
    static void Put(Sprite& sp, int x, int y, uint32_t ours, uint32_t peer) {
        std::memcpy(sp.img.pixels + y * sp.img.pitch + x * 4, &ours, 4);
        if (sp.premultiplied.empty())
            sp.premultiplied.resize((size_t)sp.img.width * sp.img.height);
        sp.premultiplied[(size_t)y * sp.img.width + x] = peer;
    }
};

Sprites& SpritesOf(int size) {
    static Sprites s32(32), s128(128);
    return size == 32 ? s32 : s128;
}

struct Target {
    MEMIMG img{};
    explicit Target(bool is16) {
        SetupMEMIMG(&img, kWidth, kHeight, kWidth * (is16 ? 2 : 4), 0, is16 ? 0 : 1, 0, 0, 0);
        for (int i = 0; i < kWidth * kHeight * (is16 ? 2 : 4) / 4; ++i) {
            uint32_t v = (uint32_t)(i * 2654435761u) >> 8;
            std::memcpy(img.pixels + i * 4, &v, 4);
        }
    }
    std::vector<uint8_t> Bytes() const { return {img.pixels, img.pixels + (size_t)img.pitch * kHeight}; }
};

// One row drawn by one implementation: n sprites at fixed-seed positions.
class Runner {
public:
    Runner(Row row, Impl impl) : row_(row), impl_(impl), target_(Is16(row)) {
        const int s = SpriteSize(row), cover = row == Row::Scaled2x || row == Row::Scaled2xAlpha ? 2 * s : s;
        const int n = (int)(kPixelsPerIteration / Covered(row));
        std::mt19937 rng(11);
        for (int i = 0; i < n; ++i) {
            int margin = row == Row::Rotated || row == Row::Quad ? s : 0;
            int x = margin + (int)(rng() % (uint32_t)(kWidth - cover - 2 * margin));
            int y = margin + (int)(rng() % (uint32_t)(kHeight - cover - 2 * margin));
            positions_.push_back({x, y});
        }
        Sprites& set = SpritesOf(s);
        const bool alpha = row == Row::PixelAlpha || row == Row::PixelAlphaRuns || row == Row::Scaled2xAlpha ||
                           row == Row::PixelAlphaUnkeyed;
        sprite_ = row == Row::Key32 ? &set.keyed : alpha ? &set.alpha : Is16(row) ? &set.opaque16 : &set.opaque;
        if (impl == Impl::Pixman)
            MakePixman();
    }
    ~Runner() {
        if (src_ != nullptr)
            pixman_image_unref(src_);
        if (mask_ != nullptr)
            pixman_image_unref(mask_);
        if (dst_ != nullptr)
            pixman_image_unref(dst_);
    }
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;

    bool Usable() const {
        if (impl_ != Impl::Pixman)
            return true;
        return row_ != Row::Sub255 && row_ != Row::Multiply && row_ != Row::Sub255x16;
    }

    void Draw() {
        if (impl_ == Impl::Pixman)
            return DrawPixman();
        if (impl_ == Impl::Memcpy)
            return DrawMemcpy();
        g_blitGeneralOnly = impl_ == Impl::General;
        SetState();
        const MEMIMG* src = &sprite_->img;
        const int s = SpriteSize(row_);
        const float angle = (float)(30 * M_PI / 180);
        // Per-pixel alpha sources are drawn with the key flag, where the alpha decides (0
        // skips, 255 copies), as sprites are; the unkeyed row mixes even alpha 255.
        const int transparent = row_ == Row::Key32 || row_ == Row::PixelAlpha ? 2 : row_ == Row::PixelAlphaRuns ? 1 : 0;
        for (auto [x, y] : positions_) {
            if (row_ == Row::Scaled2x || row_ == Row::Scaled2xAlpha) {
                RECT r = {x, y, x + 2 * s, y + 2 * s};
                PutMEMIMGScaled(&target_.img, src, &r, 0, nullptr);
            } else if (row_ == Row::Rotated) {
                PutMEMIMGRotated(&target_.img, src, x + s / 2, y + s / 2, angle, 1.0f, 0, 0, nullptr);
            } else if (row_ == Row::Quad) {
                MEMIMGPoint c[4];
                Corners(x + s / 2.0, y + s / 2.0, s, c);
                PutMEMIMGQuad(&target_.img, src, c, 0, nullptr);
            } else {
                PutMEMIMG(&target_.img, src, x, y, transparent, nullptr);
            }
        }
        g_blitGeneralOnly = false;
    }

    Target& target() { return target_; }

private:
    void SetState() {
        g_drawState.drawArea = {0, 0, kWidth, kHeight};
        g_drawState.brightColor = 0xFFFFFF;
        g_screen.mmxAvailable = row_ == Row::Add255Mmx || row_ == Row::Add255Mmx16 ? 1 : 0;
        int mode = 0, P = 255;
        switch (row_) {
        case Row::Alpha128: mode = 1, P = 128; break;
        case Row::Alpha200:
        case Row::Alpha200x16: mode = 1, P = 200; break;
        case Row::Add255:
        case Row::Add255Mmx:
        case Row::Add255x16:
        case Row::Add255Mmx16: mode = 2; break;
        case Row::Add128: mode = 2, P = 128; break;
        case Row::Sub255:
        case Row::Sub255x16: mode = 3; break;
        case Row::Multiply: mode = 4; break;
        default: break;
        }
        g_drawState.blendMode = mode;
        g_drawState.blendParam = P;
    }

    static void Corners(double cx, double cy, int s, MEMIMGPoint c[4]) {
        const double a = 30 * M_PI / 180, h = s / 2.0;
        const double dx[4] = {-h, h, -h, h}, dy[4] = {-h, -h, h, h};
        for (int i = 0; i < 4; ++i)
            c[i] = {(int)std::lround(cx + dx[i] * std::cos(a) - dy[i] * std::sin(a)),
                    (int)std::lround(cy + dx[i] * std::sin(a) + dy[i] * std::cos(a))};
    }

    void DrawMemcpy() {
        const int s = SpriteSize(row_), cover = Covered(row_) == s * s ? s : 2 * s;
        const size_t bytes = Is16(row_) ? 2 : 4;
        if (rowBytes_.empty())
            rowBytes_.assign((size_t)cover * cover, 0x00808080u);
        for (auto [x, y] : positions_)
            for (int r = 0; r < cover; ++r)
                std::memcpy(target_.img.pixels + (size_t)(y + r) * target_.img.pitch + (size_t)x * bytes,
                            rowBytes_.data() + (size_t)r * cover, (size_t)cover * bytes);
    }

    void MakePixman() {
        const bool additive = row_ == Row::Add255 || row_ == Row::Add255Mmx || row_ == Row::Add128 ||
                              row_ == Row::Add255x16 || row_ == Row::Add255Mmx16;
        dst_ = pixman_image_create_bits(Is16(row_) ? PIXMAN_r5g6b5 : additive ? PIXMAN_a8r8g8b8 : PIXMAN_x8r8g8b8, kWidth,
                                        kHeight, (uint32_t*)target_.img.pixels, target_.img.pitch);
        const int s = SpriteSize(row_);
        peerTexels_ = sprite_->premultiplied;
        if (row_ == Row::Alpha128 || row_ == Row::Alpha200 || row_ == Row::Alpha200x16) {
            // Constant alpha as premultiplied texels of that alpha: OVER does the same work.
            const uint32_t a = row_ == Row::Alpha128 ? 128u : 200u;
            for (uint32_t& t : peerTexels_) {
                uint32_t r = ((t >> 16 & 0xFF) * a + 127) / 255, g = ((t >> 8 & 0xFF) * a + 127) / 255,
                         b = ((t & 0xFF) * a + 127) / 255;
                t = a << 24 | r << 16 | g << 8 | b;
            }
        }
        if (row_ == Row::Add128) {
            // Add at a parameter is pixman's ADD through a solid mask of that alpha: the
            // same work, the source weighted before it is added. (Texels halved in
            // advance would leave pixman a plain ADD and skip the weighting.)
            const pixman_color_t weight = {0, 0, 0, 128 * 257};
            mask_ = pixman_image_create_solid_fill(&weight);
        }
        const bool opaqueCopy = row_ == Row::Copy32 || row_ == Row::Copy128 || row_ == Row::Scaled2x ||
                                row_ == Row::Rotated || row_ == Row::Quad;
        if (Is16(row_) && row_ != Row::Alpha200x16) {
            src_ = pixman_image_create_bits(PIXMAN_r5g6b5, s, s, (uint32_t*)sprite_->rgb565.data(), s * 2);
            op_ = additive ? PIXMAN_OP_ADD : PIXMAN_OP_SRC;
            return;
        }
        src_ = pixman_image_create_bits(opaqueCopy ? PIXMAN_x8r8g8b8 : PIXMAN_a8r8g8b8, s, s, peerTexels_.data(), s * 4);
        op_ = additive ? PIXMAN_OP_ADD : opaqueCopy ? PIXMAN_OP_SRC : PIXMAN_OP_OVER;
        if (row_ == Row::Scaled2x || row_ == Row::Scaled2xAlpha) {
            pixman_transform_t t;
            pixman_transform_init_scale(&t, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
            pixman_image_set_transform(src_, &t);
            pixman_image_set_filter(src_, PIXMAN_FILTER_NEAREST, nullptr, 0);
        }
        if (row_ == Row::Rotated || row_ == Row::Quad) {
            // The sprite turned about its centre into a box of twice its size; OVER so
            // that the corners outside the sprite stay.
            const double a = 30 * M_PI / 180;
            pixman_transform_t t;
            pixman_transform_init_identity(&t);
            pixman_transform_translate(&t, nullptr, pixman_double_to_fixed(-s), pixman_double_to_fixed(-s));
            pixman_transform_rotate(&t, nullptr, pixman_double_to_fixed(std::cos(a)), pixman_double_to_fixed(-std::sin(a)));
            pixman_transform_translate(&t, nullptr, pixman_double_to_fixed(s / 2.0), pixman_double_to_fixed(s / 2.0));
            pixman_image_set_transform(src_, &t);
            pixman_image_set_filter(src_, PIXMAN_FILTER_NEAREST, nullptr, 0);
            op_ = PIXMAN_OP_OVER;
            pixman_image_unref(src_);
            src_ = pixman_image_create_bits(PIXMAN_a8r8g8b8, s, s, peerTexels_.data(), s * 4);
            pixman_image_set_transform(src_, &t);
            pixman_image_set_filter(src_, PIXMAN_FILTER_NEAREST, nullptr, 0);
        }
    }

    void DrawPixman() {
        const int s = SpriteSize(row_);
        for (auto [x, y] : positions_) {
            if (row_ == Row::Scaled2x || row_ == Row::Scaled2xAlpha)
                pixman_image_composite32(op_, src_, nullptr, dst_, 0, 0, 0, 0, x, y, 2 * s, 2 * s);
            else if (row_ == Row::Rotated || row_ == Row::Quad)
                pixman_image_composite32(op_, src_, nullptr, dst_, 0, 0, 0, 0, x - s / 2, y - s / 2, 2 * s, 2 * s);
            else
                pixman_image_composite32(op_, src_, mask_, dst_, 0, 0, 0, 0, x, y, s, s);
        }
    }

    Row row_;
    Impl impl_;
    Target target_;
    std::vector<std::pair<int, int>> positions_;
    Sprite* sprite_ = nullptr;
    std::vector<uint32_t> peerTexels_;
    std::vector<uint32_t> rowBytes_;
    pixman_image_t* src_ = nullptr;
    pixman_image_t* mask_ = nullptr;
    pixman_image_t* dst_ = nullptr;
    pixman_op_t op_ = PIXMAN_OP_SRC;
};

// Whether pixman's formula is ours for the row: then its colour bytes must match.
bool PeerAgrees(Row r) {
    return r == Row::Copy32 || r == Row::Copy128 || r == Row::Key32 || r == Row::Add255Mmx || r == Row::Scaled2x ||
           r == Row::Copy16;
}

std::map<int, std::map<int, double>> g_rates;  // row, implementation: megapixels per second
std::map<int, std::string> g_checks;

std::string Differences(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, bool colourOnly) {
    size_t bad = 0;
    for (size_t i = 0; i < a.size(); ++i)
        if ((!colourOnly || i % 4 != 3) && a[i] != b[i])
            ++bad;
    return bad == 0 ? "" : std::to_string(bad) + " bytes differ";
}

void Check(Row row) {
    std::string out;
    Runner ours(row, Impl::Ours), general(row, Impl::General);
    ours.Draw();
    general.Draw();
    std::string d = Differences(ours.target().Bytes(), general.target().Bytes(), false);
    if (!d.empty())
        out += "general: " + d + "; ";
    if (PeerAgrees(row)) {
        Runner peer(row, Impl::Pixman);
        peer.Draw();
        d = Differences(ours.target().Bytes(), peer.target().Bytes(), row != Row::Add255Mmx && !Is16(row));
        if (!d.empty())
            out += "pixman: " + d + "; ";
    }
    g_checks[(int)row] = out.empty() ? (PeerAgrees(row) ? "general, pixman match" : "general matches") : out;
}

void BM_Row(benchmark::State& state, Row row, Impl impl) {
    Runner runner(row, impl);
    for (auto _ : state) {
        runner.Draw();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed((int64_t)(state.iterations() * kPixelsPerIteration));
}

class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median)
                continue;
            auto where = names.find(run.run_name.function_name);
            if (where == names.end())
                continue;
            double seconds = run.GetAdjustedRealTime() / 1e3;  // registered in milliseconds
            double& slot = g_rates[where->second.first][where->second.second];
            if (median || slot == 0.0)
                slot = kPixelsPerIteration / 1e6 / seconds;
        }
    }
    std::map<std::string, std::pair<int, int>> names;
};

}  // namespace

int main(int argc, char** argv) {
    BuildBlendLookupTables();
    for (int g = 0; g < 256; ++g)
        BlendGraphTable[g] = (uint8_t)g;
    TableReporter reporter;
    for (int r = 0; r < (int)Row::Count; ++r) {
        Check((Row)r);
        for (int i = 0; i < (int)Impl::Count; ++i) {
            Runner probe((Row)r, (Impl)i);
            if (!probe.Usable())
                continue;
            std::string name = std::string("Blit/") + kRowNames[r] + "/" + kImplNames[i];
            for (char& ch : name)
                if (ch == ' ')
                    ch = '_';
            benchmark::RegisterBenchmark(name.c_str(), BM_Row, (Row)r, (Impl)i)
                ->Unit(benchmark::kMillisecond)
                ->Repetitions(3);
            reporter.names[name] = {r, i};
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nMegapixels per second, medians of the repetitions (about 2 Mpx of sprites per iteration on a\n"
                "640x480 X8R8G8B8 target); general: the fast paths switched off\n");
    std::printf("%-24s %8s %8s %8s %8s  %10s %10s %10s  %s\n", "row", "ours", "general", "pixman", "memcpy",
                "ours/pixm", "gen/pixm", "ours/mcpy", "checks");
    for (auto& [r, rates] : g_rates) {
        auto rate = [&](Impl i) {
            auto it = rates.find((int)i);
            return it == rates.end() ? 0.0 : it->second;
        };
        double peer = rate(Impl::Pixman), mc = rate(Impl::Memcpy);
        std::printf("%-24s %8.0f %8.0f %8.0f %8.0f  %10.2f %10.2f %10.2f  %s\n", kRowNames[r], rate(Impl::Ours),
                    rate(Impl::General), peer, mc, peer > 0 ? rate(Impl::Ours) / peer : 0.0,
                    peer > 0 ? rate(Impl::General) / peer : 0.0, mc > 0 ? rate(Impl::Ours) / mc : 0.0,
                    g_checks[r].c_str());
    }
    benchmark::Shutdown();
    return 0;
}
