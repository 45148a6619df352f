// GameRoad.cpp: the fixtures, the game's call sequence and the model of what it shows.
// The sequence calls only the game's entry points (and the platform's message box, as
// the game's start-up does); the model knows nothing of the library.
//
// Placement rules the model follows (the Direct3D sprite path puts pixel centres on
// integers):
// - a plain draw puts the cell's pixel (i, j) on (x + i, y + j);
// - a centred draw at scale 1 turns about a pivot that depends on the cell's sizes: both
//   even, the pivot (w / 2, h / 2) with the centre moved up-left by half a pixel; both odd,
//   the pivot (w / 2, h / 2) as it is; one even, one odd, the pivot moved half a pixel back
//   on the even axis; at any other scale the pivot is the middle and the centre moves up-left
//   by half a pixel;
// - a box covers [x1, x2) x [y1, y2); an outline its first and last rows and columns;
// - addition: dest + src x p / 255, saturating; alpha: src x p / 255 + dest x (255 - p) / 255.
#include "GameRoad.h"

#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "../../platform/sound_support.h"
#include "CodecFixtures.h"
#include "QzApi.h"
#include "platform/win32.h"

namespace road {

const Cell kCells[kSpriteCount] = {
    {0, 0, 69, 48},    // ship: odd width, even height
    {70, 0, 58, 58},   // rotor: even
    {130, 0, 64, 64},  // shield: even
    {0, 64, 33, 29},   // odd
    {40, 64, 20, 14},  // small, not square, so a turn shows its direction
};
constexpr int kSheetW = 200, kSheetH = 100;
constexpr int kMusicFrames = 22050;  // the Ogg loop: 0.5 s
constexpr int kHitFrames = 8820;     // 0.2 s


// ---- fixtures ---------------------------------------------------------------------------

uint32_t JikiPixel(int x, int y) {
    for (int k = 0; k < kSpriteCount; ++k) {
        const Cell& c = kCells[k];
        int i = x - c.x, j = y - c.y;
        if (i < 0 || j < 0 || i >= c.w || j >= c.h) continue;
        // Holes of pure black inside every cell, where the colour key must show through.
        if ((i * 3 + j * 5 + k) % 7 == 0) return 0;
        uint32_t r = 60 + 40 * k, g = (uint32_t)(i * 3 + 20) & 0xFF, b = (uint32_t)(j * 4 + 9) & 0xFF;
        return r << 16 | g << 8 | (b ? b : 1);
    }
    return 0;
}

uint32_t FontPixel(int code, int x, int y) {
    if (code < 0 || code >= 255) return 0;
    // The code's bits along the top row, a code-dependent lattice below: every glyph differs.
    bool lit = y == 0 ? ((code >> (x % 8)) & 1) != 0 : ((x ^ y ^ code) & 3) != 0;
    if (!lit) return 0;
    return (uint32_t)(code + 1) << 16 | (uint32_t)(255 - x * 10) << 8 | (uint32_t)(100 + y * 10);
}

namespace {

void Put16(std::string& s, uint32_t v) {
    s += (char)(v & 0xFF);
    s += (char)(v >> 8 & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

// A 24-bit bottom-up BMP of a pixel function.
template <typename Pixel>
std::string Bmp24(int w, int h, Pixel pixel) {
    int stride = (w * 3 + 3) & ~3;
    std::string f = "BM";
    Put32(f, (uint32_t)(54 + stride * h));
    Put32(f, 0);
    Put32(f, 54);
    Put32(f, 40);
    Put32(f, (uint32_t)w);
    Put32(f, (uint32_t)h);
    Put16(f, 1);
    Put16(f, 24);
    Put32(f, 0);
    Put32(f, (uint32_t)(stride * h));
    Put32(f, 2835);
    Put32(f, 2835);
    Put32(f, 0);
    Put32(f, 0);
    for (int y = h - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < w; ++x) {
            uint32_t v = pixel(x, y);
            row += (char)(v & 0xFF);
            row += (char)(v >> 8 & 0xFF);
            row += (char)(v >> 16 & 0xFF);
        }
        row.resize((size_t)stride, '\0');
        f += row;
    }
    return f;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
}

const std::string& OggBytes() {
    static const std::string bytes = qztest::WriteOggVorbis(2, 44100, kMusicFrames);
    return bytes;
}

struct MemoryFile {
    const std::string* bytes;
    size_t at;
};

size_t ReadMemory(void* out, size_t size, size_t count, void* source) {
    auto* m = static_cast<MemoryFile*>(source);
    size_t n = std::min(size * count, m->bytes->size() - m->at);
    std::memcpy(out, m->bytes->data() + m->at, n);
    m->at += n;
    return size ? n / size : 0;
}

}  // namespace

void WriteFixtures(const std::string& folder) {
    std::filesystem::create_directories(folder + "/data");
    WriteFile(folder + "/data/jiki.bmp", Bmp24(kSheetW, kSheetH, JikiPixel));
    WriteFile(folder + "/data/font.bmp", Bmp24(192, 192, [](int x, int y) {
                  return FontPixel(y / 12 * 16 + x / 12, x % 12, y % 12);
              }));
    WriteFile(folder + "/data/hit.wav", soundtest::WaveFile(HitSamples(), 44100, 2));
    WriteFile(folder + "/data/zarnovik-title.ogg", OggBytes());
    WriteFile(folder + "/data/titl.mid", soundtest::MidiFile(8.0, 60));
}

std::vector<int16_t> HitSamples() {
    return soundtest::Tone(1000, 44100, kHitFrames, 2, 12000.0);
}

std::vector<int16_t> MusicSamples() {
    MemoryFile file{&OggBytes(), 0};
    ov_callbacks callbacks = {ReadMemory, nullptr, nullptr, nullptr};
    OggVorbis_File vf;
    std::vector<int16_t> out;
    if (ov_open_callbacks(&file, &vf, nullptr, 0, callbacks) != 0) return out;
    char buffer[8192];
    int section = 0;
    for (;;) {
        long got = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &section);
        if (got <= 0) break;
        size_t at = out.size();
        out.resize(at + (size_t)got / 2);
        std::memcpy(out.data() + at, buffer, (size_t)got);
    }
    ov_clear(&vf);
    return out;
}

// ---- the call sequence ------------------------------------------------------------------

const char* MilestoneName(Milestone m) {
    switch (m) {
    case Milestone::LoadingText: return "loading-text";
    case Milestone::LoadingOutline: return "loading-outline";
    case Milestone::LoadingBar140: return "loading-bar-140";
    case Milestone::LoadingBar620: return "loading-bar-620";
    case Milestone::MusicStarted: return "music-started";
    case Milestone::FrameDrawn: return "frame-drawn";
    case Milestone::FramePresented: return "frame-presented";
    case Milestone::FrameEnded: return "frame-ended";
    case Milestone::SwitchedMode1: return "switched-mode-1";
    case Milestone::SwitchedMidi: return "switched-midi";
    case Milestone::MidiStopped: return "midi-stopped";
    case Milestone::SwitchedMode4: return "switched-mode-4";
    case Milestone::ShutDown: return "shut-down";
    }
    return "?";
}

namespace {

// What the frame draws, in order: the road makes these calls through the entry points and
// the model paints them with its loops.
enum class Op { Blend, Box, Plain, Centred, Text, Number };
struct Step {
    Op op;
    int a = 0, b = 0;       // x, y; Blend: mode, parameter
    int sprite = 0;         // Plain, Centred
    double scale = 1.0;     // Centred
    int quarterTurns = 0;   // Centred: 0 or 1
    int x2 = 0, y2 = 0;     // Box
    uint32_t rgb = 0;       // Box
    const char* text = "";  // Text
    int value = 0, places = 0;  // Number
};

std::vector<Step> FrameSteps() {
    auto blend = [](int mode, int param) { return Step{Op::Blend, mode, param}; };
    auto box = [](int x1, int y1, int x2, int y2, uint32_t rgb) {
        Step s{Op::Box, x1, y1};
        s.x2 = x2, s.y2 = y2, s.rgb = rgb;
        return s;
    };
    auto plain = [](int x, int y, int sprite) {
        Step s{Op::Plain, x, y};
        s.sprite = sprite;
        return s;
    };
    auto centred = [](int x, int y, int sprite, double scale, int turns) {
        Step s{Op::Centred, x, y};
        s.sprite = sprite, s.scale = scale, s.quarterTurns = turns;
        return s;
    };
    auto text = [](int x, int y, const char* t) {
        Step s{Op::Text, x, y};
        s.text = t;
        return s;
    };
    auto number = [](int x, int y, int value, int places) {
        Step s{Op::Number, x, y};
        s.value = value, s.places = places;
        return s;
    };
    return {
        blend(0, 100),
        // The side panel's ground and gauges, as the panel boxes are drawn.
        box(480, 0, 640, 480, 0x232C38),
        box(499, 303, 514, 313, 0xFF0000),
        box(515, 303, 530, 313, 0xFF0000),
        box(499, 333, 514, 343, 0xFEBF72),
        box(499, 363, 546, 373, 0x00FFFF),
        box(630, 470, 629, 460, 0xFFFFFF),  // corners in any order: (629, 460)-(630, 470)
        // Plain sprites, top-left placed.
        plain(10, 10, kShip),
        plain(100, 10, kOdd),
        // Centred at scale 1: even, odd and mixed sizes.
        centred(200, 50, kRotor, 1.0, 0),
        centred(280, 40, kOdd, 1.0, 0),
        centred(380, 40, kShip, 1.0, 0),
        // A quarter turn of each kind of size.
        centred(60, 150, kSmall, 1.0, 1),
        centred(150, 150, kOdd, 1.0, 1),
        centred(280, 150, kShip, 1.0, 1),
        // Scale 2.
        centred(60, 250, kSmall, 2.0, 0),
        centred(180, 260, kOdd, 2.0, 0),
        // Additive 200 and 255 over the panel, 255 over black; alpha 128 over the panel.
        blend(2, 200),
        centred(560, 60, kShield, 1.0, 0),
        blend(2, 255),
        centred(560, 180, kRotor, 1.0, 0),
        plain(400, 250, kOdd),
        blend(1, 128),
        centred(560, 260, kOdd, 1.0, 0),
        // Text and numbers with blend off again.
        blend(0, 100),
        text(20, 440, "ZARNOVIK \x81!"),
        number(495, 120, 1234567, 10),
        number(591, 150, 123, 1),  // wider than its cells: keeps "23"
    };
}

constexpr double kPi = 3.14159265358979323846;

// The game's bitmap text: each character centred on its 12-px cell, then the NUL; bytes of
// 0x80 and above, and the NUL, draw glyph 0.
void DrawFontText(const Handles& h, int x, int y, const char* text) {
    size_t n = std::strlen(text);
    for (size_t i = 0; i <= n; ++i) {
        unsigned char c = (unsigned char)text[i];
        int glyph = c >= 0x80 ? 0 : c;
        ApiDrawScaleRotateGraph(x + 12 * (int)i + 6, y + 6, 1.0, 0.0, h.font[glyph], 1, 0);
    }
}

int DecimalDigits(int value) {
    int n = 1;
    while (value >= 10) value /= 10, ++n;
    return n;
}

void DrawFontNumber(const Handles& h, int x, int y, int value, int places) {
    int n = DecimalDigits(value);
    for (int j = 0; j <= places; ++j) {
        if (j >= n) break;
        ApiDrawScaleRotateGraph(x + (places - j) * 12 + 6, y + 6, 1.0, 0.0, h.font[48 + value % 10], 1, 0);
        value /= 10;
    }
}

uint32_t Colour(uint32_t rgb) {
    return ApiGetScreenColorValue((int)(rgb >> 16 & 0xFF), (int)(rgb >> 8 & 0xFF), (int)(rgb & 0xFF));
}

int g_frameNumber = 0;
int g_frameClock = 0;

bool EndFrame(Hooks& hooks, const Handles& h, bool presentedHook) {
    hooks.BeforePump(g_frameNumber);
    if (ApiProcessMessage() == -1) return false;
    hooks.FramePumped(g_frameNumber++, ApiGetKeyPressFlag(57), ApiGetPadInputBits(0x1001));
    ApiPresentScreen();
    bool go = !presentedHook || hooks.At(Milestone::FramePresented, h);
    ApiSelectDrawTarget(-2);
    ApiClearDrawTarget();
    while (ApiGetMillisecondTime(0) - g_frameClock <= 16) {
    }
    g_frameClock = ApiGetMillisecondTime(0);
    return go;
}

void LoadEffect(Handles& h) {
    h.hit = ApiLoadFileToSound("data/hit.wav", 3);
    ApiSetSoundHandleVolume(8500, h.hit);
}

// Start-up, loading screen, music, the frame and the music switches; false stops.
bool Road(Hooks& hooks, Handles& h, std::string* failure) {
    auto fail = [&](const std::string& what) {
        *failure = what;
        return false;
    };
    auto at = [&](Milestone m) {
        if (hooks.At(m, h)) return true;
        return fail(std::string("stopped at ") + MilestoneName(m));
    };

    ApiSetWindowCaption("ZARNOVIK");
    if (MessageBoxA(nullptr, "FULL SCREEN GO", "フルスクリーンで起動しますか？", MB_YESNO | MB_ICONQUESTION) != IDYES) {
        ApiChangeWindowMode(1);
        ApiSetWindowResizableFlag(1);
    }
    if (ApiInitializeLibrary() == -1) return fail("ApiInitializeLibrary gave -1");
    ApiSetScreenMode(640, 480, 32, 60);

    h.sheet = ApiLoadFileToGraph("data/jiki.bmp");
    if (h.sheet == -1) return fail("data/jiki.bmp did not load");
    for (int k = 0; k < kSpriteCount; ++k)
        h.sprites[k] = ApiDeriveGraph(kCells[k].x, kCells[k].y, kCells[k].w, kCells[k].h, h.sheet);
    if (ApiLoadFileToDivGraph("data/font.bmp", 255, 16, 16, 12, 12, h.font) == -1)
        return fail("data/font.bmp did not divide");

    // The loading screen, on the front screen that start-up leaves selected.
    const uint32_t barColour = ApiGetScreenColorValue(254, 191, 114);
    DrawFontText(h, 200, 240, "NOW LOADING");
    if (!at(Milestone::LoadingText)) return false;
    ApiDrawRectangle(20, 300, 620, 320, barColour, 0);
    if (!at(Milestone::LoadingOutline)) return false;
    ApiSetSoundSystemMode(1);
    ApiDeleteAllSounds(0);
    h.music = ApiLoadFileToSound("data/zarnovik-title.ogg", 3);
    ApiSetSoundHandleVolume(10000, h.music);
    ApiDrawRectangle(20, 300, 140, 320, barColour, 1);
    if (!at(Milestone::LoadingBar140)) return false;
    LoadEffect(h);
    ApiDrawRectangle(20, 300, 620, 320, barColour, 1);
    if (!at(Milestone::LoadingBar620)) return false;

    ApiPlaySoundHandle(h.music, 3, 1);
    if (!at(Milestone::MusicStarted)) return false;

    // One frame into the back screen.
    ApiSelectDrawTarget(-2);
    ApiClearDrawTarget();
    for (const Step& s : FrameSteps()) {
        switch (s.op) {
        case Op::Blend: ApiSetBlendMode(s.a, s.b); break;
        case Op::Box: ApiDrawRectangle(s.a, s.b, s.x2, s.y2, Colour(s.rgb), 1); break;
        case Op::Plain: ApiDrawPlainGraph(s.a, s.b, h.sprites[s.sprite], 1); break;
        case Op::Centred:
            // The game's angles: a x pi / 512 for a in 0..1023.
            ApiDrawScaleRotateGraph(s.a, s.b, s.scale, 256 * s.quarterTurns * kPi / 512, h.sprites[s.sprite], 1, 0);
            break;
        case Op::Text: DrawFontText(h, s.a, s.b, s.text); break;
        case Op::Number: DrawFontNumber(h, s.a, s.b, s.value, s.places); break;
        }
    }
    ApiPlaySoundHandle(h.hit, 1, 1);
    if (!at(Milestone::FrameDrawn)) return false;
    if (!EndFrame(hooks, h, true)) return fail("the frame's EndFrame");
    if (!at(Milestone::FrameEnded)) return false;

    // Music switches, each followed by one frame. Mode 1: the preloaded track again.
    ApiStopSoundHandle(h.music);
    ApiPlaySoundHandle(h.music, 3, 1);
    if (!EndFrame(hooks, h, false) || !at(Milestone::SwitchedMode1)) return false;

    // Modes 2 and 3: the MIDI file under the MCI mode, then for good under the music system,
    // with every effect loaded again.
    ApiStopSingleMusicFile();
    ApiSetSoundSystemMode(0);
    ApiPlaySingleMusicFile("data/titl.mid", 3);
    ApiStopSingleMusicFile();
    ApiSetSoundSystemMode(1);
    ApiDeleteAllSounds(0);
    LoadEffect(h);
    ApiPlaySingleMusicFile("data/titl.mid", 3);
    if (!EndFrame(hooks, h, false) || !at(Milestone::SwitchedMidi)) return false;

    // Mode 4: the track decoded whole into the single sound file. A mode-4 game has no
    // MIDI playing, so the one left by the switch above is stopped first.
    ApiStopSingleMusicFile();
    if (!at(Milestone::MidiStopped)) return false;
    ApiStopSingleSoundFile();
    ApiPlaySingleSoundFile("data/zarnovik-title.ogg", 3);
    if (!EndFrame(hooks, h, false) || !at(Milestone::SwitchedMode4)) return false;
    return true;
}

}  // namespace

int RunRoad(Hooks& hooks, std::string* failure) {
    g_frameNumber = 0;
    g_frameClock = 0;
    failure->clear();
    Handles h;
    bool ok = Road(hooks, h, failure);
    if (!ok && failure->rfind("ApiInitializeLibrary", 0) == 0) return -1;
    ApiDeleteAllGraphs(0);
    ApiDeleteAllSounds(0);
    ApiTerminateLibrary();
    if (!hooks.At(Milestone::ShutDown, h) && ok) {
        *failure = "stopped at shut-down";
        ok = false;
    }
    return ok ? 0 : -1;
}

// ---- the model ----------------------------------------------------------------------------

namespace {

struct Painter {
    Expected e;
    int mode = 0, param = 255;

    void Put(int x, int y, uint32_t src) {
        if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return;
        size_t at = (size_t)y * kWidth + x;
        if (mode == 0) {
            e.pixels[at] = src;
            e.blended[at] = 0;
            return;
        }
        uint32_t dest = e.pixels[at];
        std::array<float, 3> ideal;
        uint32_t out = 0;
        bool exact = mode == 2 && param == 255;
        for (int c = 0; c < 3; ++c) {
            int shift = 16 - 8 * c;
            double s = src >> shift & 0xFF, d = dest >> shift & 0xFF, v;
            if (mode == 2)
                v = std::min(255.0, d + s * param / 255.0);
            else
                v = s * param / 255.0 + d * (255 - param) / 255.0;
            ideal[c] = (float)v;
            out |= (uint32_t)std::lround(v) << shift;
        }
        e.pixels[at] = out;
        e.ideal[at] = ideal;
        e.blended[at] = exact ? 0 : 1;
    }

    // A cell of a sheet given by a pixel function, black skipped.
    template <typename Pixel>
    void Plain(int x, int y, int w, int h, Pixel pixel) {
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i)
                if (uint32_t v = pixel(i, j)) Put(x + i, y + j, v);
    }

    // Scale 1: the pivot rules; then an exact quarter turn clockwise on screen if asked.
    template <typename Pixel>
    void Centred1(int cx, int cy, int w, int h, int turns, Pixel pixel) {
        // Pivot and centre in half pixels, so every position stays an integer.
        int pivotX2 = w, pivotY2 = h, centreX2 = 2 * cx, centreY2 = 2 * cy;
        bool evenW = w % 2 == 0, evenH = h % 2 == 0;
        if (evenW && evenH) {
            centreX2 -= 1, centreY2 -= 1;
        } else if (evenW != evenH) {
            if (evenW) pivotX2 -= 1;
            if (evenH) pivotY2 -= 1;
        }
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
                uint32_t v = pixel(i, j);
                if (!v) continue;
                // The texel's centre relative to the pivot, in half pixels.
                int qx = 2 * i + 1 - pivotX2, qy = 2 * j + 1 - pivotY2;
                int sx = turns ? -qy : qx, sy = turns ? qx : qy;
                Put((centreX2 + sx) / 2, (centreY2 + sy) / 2, v);
            }
    }

    // Scale 2 about the middle, the centre half a pixel up-left: each texel on two by two
    // pixels starting at (cx - w + 2i, cy - h + 2j).
    template <typename Pixel>
    void Doubled(int cx, int cy, int w, int h, Pixel pixel) {
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i)
                if (uint32_t v = pixel(i, j))
                    for (int b = 0; b < 2; ++b)
                        for (int a = 0; a < 2; ++a) Put(cx - w + 2 * i + a, cy - h + 2 * j + b, v);
    }

    void Box(int x1, int y1, int x2, int y2, uint32_t rgb) {
        for (int y = std::min(y1, y2); y < std::max(y1, y2); ++y)
            for (int x = std::min(x1, x2); x < std::max(x1, x2); ++x) Put(x, y, rgb);
    }
    void Outline(int x1, int y1, int x2, int y2, uint32_t rgb) {
        for (int x = x1; x < x2; ++x) Put(x, y1, rgb), Put(x, y2 - 1, rgb);
        for (int y = y1; y < y2; ++y) Put(x1, y, rgb), Put(x2 - 1, y, rgb);
    }

    void Glyph(int x, int y, int code) {
        Plain(x, y, 12, 12, [code](int i, int j) { return FontPixel(code, i, j); });
    }
    void Text(int x, int y, const char* text) {
        size_t n = std::strlen(text);
        for (size_t i = 0; i <= n; ++i) {
            unsigned char c = (unsigned char)text[i];
            Glyph(x + 12 * (int)i, y, c >= 0x80 ? 0 : c);
        }
    }
    void Number(int x, int y, int value, int places) {
        int n = DecimalDigits(value);
        for (int j = 0; j <= places && j < n; ++j, value /= 10) Glyph(x + (places - j) * 12, y, 48 + value % 10);
    }
};

auto SpritePixel(int sprite) {
    const Cell c = kCells[sprite];
    return [c](int i, int j) { return JikiPixel(c.x + i, c.y + j); };
}

}  // namespace

Expected ExpectedBlack() {
    return Expected();
}

Expected ExpectedLoading(Milestone stage) {
    Painter p;
    p.Text(200, 240, "NOW LOADING");
    if (stage == Milestone::LoadingText) return p.e;
    p.Outline(20, 300, 620, 320, 0xFEBF72);
    if (stage == Milestone::LoadingOutline) return p.e;
    p.Box(20, 300, 140, 320, 0xFEBF72);
    if (stage == Milestone::LoadingBar140) return p.e;
    p.Box(20, 300, 620, 320, 0xFEBF72);
    return p.e;
}

Expected ExpectedFrame() {
    Painter p;
    for (const Step& s : FrameSteps()) {
        const Cell& c = kCells[s.sprite];
        switch (s.op) {
        case Op::Blend: p.mode = s.a, p.param = s.b; break;
        case Op::Box: p.Box(s.a, s.b, s.x2, s.y2, s.rgb); break;
        case Op::Plain: p.Plain(s.a, s.b, c.w, c.h, SpritePixel(s.sprite)); break;
        case Op::Centred:
            if (s.scale == 1.0)
                p.Centred1(s.a, s.b, c.w, c.h, s.quarterTurns, SpritePixel(s.sprite));
            else
                p.Doubled(s.a, s.b, c.w, c.h, SpritePixel(s.sprite));
            break;
        case Op::Text: p.Text(s.a, s.b, s.text); break;
        case Op::Number: p.Number(s.a, s.b, s.value, s.places); break;
        }
    }
    return p.e;
}

std::string Compare(const Expected& want, const std::vector<uint32_t>& got, int width, int height) {
    if (width != kWidth || height != kHeight || got.size() != (size_t)kWidth * kHeight) {
        char text[96];
        std::snprintf(text, sizeof text, "size %dx%d (%zu pixels), want 640x480", width, height, got.size());
        return text;
    }
    std::string report;
    int bad = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            size_t at = (size_t)y * kWidth + x;
            uint32_t g = got[at] & 0xFFFFFF;
            bool ok = true;
            if (want.blended[at]) {
                for (int c = 0; c < 3; ++c)
                    if (std::fabs((double)(g >> (16 - 8 * c) & 0xFF) - want.ideal[at][c]) > 1.0) ok = false;
            } else {
                ok = g == want.pixels[at];
            }
            if (ok) continue;
            if (++bad <= 8) {
                char line[128];
                std::snprintf(line, sizeof line, "\n  (%d, %d): got %06X, want %06X%s", x, y, g, want.pixels[at],
                              want.blended[at] ? " within 1" : "");
                report += line;
            }
        }
    if (bad == 0) return "";
    return std::to_string(bad) + " pixels differ:" + report;
}

}  // namespace road
