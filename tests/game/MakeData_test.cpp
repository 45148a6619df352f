// The generated data folder: its 50 names, the sheets as the library loads and cuts them
// along the sprite layout, what the fonts and tiles must hold, the effects, the music in
// both forms, and the same bytes from a second run of makedata.
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "../library/LibraryFixture.h"
#include "QzGraphicsData.h"
#include "SpriteLayout.h"

namespace MakeData_test {

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kDataNames = {
    "waku.bmp", "jiki.bmp", "bonus.bmp", "baku.BMP", "font.bmp", "font2.bmp", "teki.bmp", "teki2.bmp",
    "boss.bmp", "boss2.bmp", "tama_01.bmp", "tama_02.bmp", "titleback.bmp", "haikei1.bmp", "haikei2.bmp",
    "haikei3.bmp", "haikei4.bmp", "haikei5.bmp", "haikei6.bmp", "haikei7.bmp",
    "hit.wav", "bak1.wav", "tekitama.wav", "jikitama.wav", "bak2.wav", "bak3.wav", "cursol.wav", "shot.wav",
    "gure.wav", "power.wav", "maxim.wav", "bonus.wav", "gun.wav", "ext.wav", "laser.wav",
    "titlz.mid", "bgm01z.mid", "bgm02z.mid", "bgm03z.mid", "endz.mid",
    "titl.mid", "bgm01.mid", "bgm02.mid", "bgm03.mid", "end.mid",
    "zarnovik-title.ogg", "zarnovik-bgm1.ogg", "zarnovik-bgm2.ogg", "zarnovik-bgm3.ogg", "zarnovik-end.ogg",
};

std::string DataFile(const std::string& name) { return std::string(QZ_DATA_DIR) + "/" + name; }

std::string Bytes(const std::string& name) { return qztest::ReadWholeFile(DataFile(name)); }

uint32_t Le(const std::string& b, size_t at, int n) {
    uint32_t v = 0;
    for (int k = n - 1; k >= 0; --k) v = v << 8 | uint8_t(b[at + k]);
    return v;
}

uint32_t Be(const std::string& b, size_t at, int n) {
    uint32_t v = 0;
    for (int k = 0; k < n; ++k) v = v << 8 | uint8_t(b[at + k]);
    return v;
}

// A 24-bit bottom-up BMP read by hand, for the pixel rules.
struct Bmp {
    int width = 0, height = 0;
    std::string bytes;
    size_t offset = 0, rowBytes = 0;
    explicit Bmp(const std::string& name) : bytes(Bytes(name)) {
        if (bytes.size() < 54) return;
        width = int(Le(bytes, 18, 4)), height = int(Le(bytes, 22, 4));
        offset = Le(bytes, 10, 4);
        rowBytes = (size_t(width) * 3 + 3) & ~size_t(3);
    }
    bool Black(int x, int y) const {
        const size_t at = offset + size_t(height - 1 - y) * rowBytes + size_t(x) * 3;
        return bytes[at] == 0 && bytes[at + 1] == 0 && bytes[at + 2] == 0;
    }
    int OpaqueIn(int x0, int y0, int w, int h) const {
        int n = 0;
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) n += !Black(x, y);
        return n;
    }
};

// Each sheet read once for the whole program.
const Bmp& SheetBmp(Sheet sheet) {
    static std::map<Sheet, Bmp> cache;
    auto found = cache.find(sheet);
    if (found == cache.end())
        found = cache.emplace(sheet, Bmp(fs::path(GetSheetFile(sheet).path).filename().string())).first;
    return found->second;
}

template <typename Visit>
void ForEachCell(Visit visit) {
    for (int k = 0; k < kStartupStepCount; ++k)
        for (int c = 0; c < kStartupSteps[k].cellCount; ++c) visit(kStartupSteps[k], kStartupSteps[k].cells[c]);
    for (int k = 0; k < kBackgroundGroupFirst[3]; ++k)
        for (int c = 0; c < kBackgroundSteps[k].cellCount; ++c) visit(kBackgroundSteps[k], kBackgroundSteps[k].cells[c]);
}

std::string Where(const SheetStep& step, const SpriteCell& cell) {
    return std::string(GetSheetFile(step.sheet).path) + " table " + std::to_string(int(cell.table)) + " [" +
           std::to_string(cell.row) + "][" + std::to_string(cell.frame) + "]";
}

TEST(MakeData, WritesExactlyTheFiftyNames) {
    std::set<std::string> found;
    for (const fs::directory_entry& e : fs::directory_iterator(QZ_DATA_DIR)) found.insert(e.path().filename().string());
    const std::set<std::string> want(kDataNames.begin(), kDataNames.end());
    EXPECT_EQ(want.size(), 50u);
    EXPECT_EQ(found, want);
}

// ---- the layout ------------------------------------------------------------------------------------

TEST(SpriteLayout, EveryCellLiesInsideItsSheetAndItsTable) {
    ForEachCell([](const SheetStep& step, const SpriteCell& cell) {
        const SheetFile& sheet = GetSheetFile(step.sheet);
        const SpriteTableShape& shape = GetTableShape(cell.table);
        EXPECT_TRUE(cell.x >= 0 && cell.y >= 0 && cell.w >= 0 && cell.h >= 0 && cell.x + cell.w <= sheet.width &&
                    cell.y + cell.h <= sheet.height)
            << Where(step, cell);
        EXPECT_TRUE(cell.row >= 0 && cell.row < shape.rows && cell.frame >= 0 && cell.frame < shape.frames)
            << Where(step, cell);
    });
    for (int k = 0; k < kStartupStepCount; ++k) {
        const SheetStep& s = kStartupSteps[k];
        if (s.how != SheetLoad::Divide) continue;
        EXPECT_LE(s.across * s.cellW, GetSheetFile(s.sheet).width);
        EXPECT_LE(s.down * s.cellH, GetSheetFile(s.sheet).height);
        EXPECT_LE(s.total, GetTableShape(s.divTable).frames);
    }
}

// Every entry an enemy's behaviour draws (its type's row, its body and sub-sprite frames)
// has a cell of 15x15 to 248x196; ground row 40 alone is the zero-size cut.
TEST(SpriteLayout, EveryEnemyFrameTheBehavioursDrawHasACell) {
    std::map<std::tuple<int, int, int>, std::pair<int, int>> cells;
    ForEachCell([&](const SheetStep&, const SpriteCell& c) {
        cells[{int(c.table), c.row, c.frame}] = {c.w, c.h};
    });
    struct Want {
        SpriteTable table;
        std::vector<int> rows, frames;
    };
    using T = SpriteTable;
    std::vector<int> groundTypes, partTypes;
    for (int t = 1; t <= 44; ++t) groundTypes.push_back(t);
    for (int t = 0; t <= 31; ++t) partTypes.push_back(t);
    const Want wants[] = {
        {T::GroundEnemySprites, groundTypes, {0}},
        {T::GroundEnemySprites, {16, 20, 22, 28, 32, 37, 41}, {0, 1}},       // bosses, whole and broken
        {T::GroundEnemySprites, {5, 14, 18, 19}, {0, 1, 2, 3}},              // grid shooters
        {T::GroundEnemySprites, {4, 16, 22, 28, 36, 37, 41, 42}, {8, 9, 10, 11}},  // hatches
        {T::GroundEnemySprites, {15, 33}, {8}},                              // turning sub-sprites
        {T::GroundPartSprites, partTypes, {0}},
        {T::GroundPartSprites, {13, 24, 30}, {8, 9, 10, 11}},
        {T::AirEnemySprites, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {0}},
        {T::AirEnemySprites, {1}, {0, 1, 2, 3}},
        {T::AirEnemySprites, {2, 10}, {0, 1}},
        {T::AirEnemySprites, {3}, {8, 9, 10, 11}},
        {T::AirEnemySprites, {5}, {8, 9, 10}},
        {T::AirEnemySprites, {8, 9}, {8, 9}},
        {T::AirPartSprites, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {0}},
    };
    for (const Want& want : wants) {
        for (int row : want.rows) {
            for (int frame : want.frames) {
                const auto found = cells.find({int(want.table), row, frame});
                const std::string what = "table " + std::to_string(int(want.table)) + " [" + std::to_string(row) +
                                         "][" + std::to_string(frame) + "]";
                ASSERT_NE(found, cells.end()) << what;
                const auto [w, h] = found->second;
                if (want.table == T::GroundEnemySprites && row == 40 && frame == 0) {
                    EXPECT_EQ(w * h, 0) << what;
                    continue;
                }
                EXPECT_TRUE(w >= 15 && h >= 15 && w <= 248 && h <= 196) << what << ": " << w << "x" << h;
            }
        }
    }
    for (int row : {5, 14, 18, 19}) {
        for (int frame = 0; frame < 4; ++frame) {
            const std::pair<int, int> size = cells[{int(T::GroundEnemySprites), row, frame}];
            EXPECT_EQ(size, std::make_pair(81, 68)) << row;
        }
    }
}

// ---- the sheets through the library -----------------------------------------------------------------

class MakeDataLibrary : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        fs::create_directory_symlink(QZ_DATA_DIR, dir.file("data"));
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        ApiSetScreenMode(640, 480, 32, 60);
    }
};

// Each sheet loads at its size, and the walk the start-up makes (load, then cut or divide
// every cell) gives a graphic for every cell but the zero-size one.
TEST_F(MakeDataLibrary, EverySheetLoadsAtItsSizeAndEveryCellCuts) {
    for (int s = 0; s < kSheetCount; ++s) {
        const SheetFile& file = kSheetFiles[s];
        const int handle = ApiLoadFileToGraph(file.path);
        ASSERT_NE(handle, -1) << file.path;
        int w = 0, h = 0;
        Locked([&] { return GetGraphDimensions(handle, &w, &h); });
        EXPECT_EQ(w, file.width) << file.path;
        EXPECT_EQ(h, file.height) << file.path;
        ApiDeleteOneGraph(handle, 0);
    }
    auto walk = [](const SheetStep& step) {
        if (step.how == SheetLoad::Divide) {
            std::vector<int> handles(size_t(step.total), -1);
            EXPECT_EQ(ApiLoadFileToDivGraph(GetSheetFile(step.sheet).path, step.total, step.across, step.down, step.cellW,
                                            step.cellH, handles.data()),
                      0)
                << GetSheetFile(step.sheet).path;
            return;
        }
        const int sheet = ApiLoadFileToGraph(GetSheetFile(step.sheet).path);
        ASSERT_NE(sheet, -1);
        for (int c = 0; c < step.cellCount; ++c) {
            const SpriteCell& cell = step.cells[c];
            const int handle = ApiDeriveGraph(cell.x, cell.y, cell.w, cell.h, sheet);
            if (cell.w > 0 && cell.h > 0) {
                EXPECT_NE(handle, -1) << Where(step, cell);
            }
        }
    };
    for (int k = 0; k < kStartupStepCount; ++k) walk(kStartupSteps[k]);
    for (int k = 0; k < kBackgroundGroupFirst[3]; ++k) walk(kBackgroundSteps[k]);
    ApiDeleteAllGraphs(0);
}

bool Sounds(const std::vector<int16_t>& mix) {
    return std::any_of(mix.begin(), mix.end(), [](int16_t s) { return std::abs(int(s)) > 500; });
}

// The music plays through the library as the game's sound modes play it: every MIDI file
// of both arrangements under the music system, every Ogg loop as a looping sound.
TEST_F(MakeDataLibrary, TheMusicPlaysThroughTheLibrary) {
    ApiSetSoundSystemMode(1);
    ptest::PullAudio(0);  // only these pulls mix
    for (const std::string& name : kDataNames) {
        if (name.substr(name.size() - 4) != ".mid") continue;
        SCOPED_TRACE(name);
        ASSERT_EQ(ApiPlaySingleMusicFile(("data/" + name).c_str(), 3), 0);
        ptest::PullAudio(4410);
        EXPECT_TRUE(Sounds(ptest::PullAudio(22050)));
        ApiStopSingleMusicFile();
    }
    for (const std::string& name : kDataNames) {
        if (name.substr(name.size() - 4) != ".ogg") continue;
        SCOPED_TRACE(name);
        const int handle = ApiLoadFileToSound(("data/" + name).c_str(), 1);
        ASSERT_NE(handle, -1);
        ASSERT_EQ(ApiPlaySoundHandle(handle, 3, 1), 0);
        EXPECT_TRUE(Sounds(ptest::PullAudio(22050)));
        ApiStopSoundHandle(handle);
    }
    ApiDeleteAllSounds(0);
}

TEST(MakeData, FontCellsAreBlankOnlyAtZeroAndSpace) {
    for (const char* name : {"font.bmp", "font2.bmp"}) {
        const Bmp font(name);
        ASSERT_EQ(font.width, 192) << name;
        for (int n = 0; n < 255; ++n) {
            const int opaque = font.OpaqueIn(12 * (n % 16), 12 * (n / 16), 12, 12);
            if (n == 0 || n == 32)
                EXPECT_EQ(opaque, 0) << name << " cell " << n;
            else
                EXPECT_GT(opaque, 0) << name << " cell " << n;
        }
    }
    // The second font has its own colour: the same glyph differs in its pixels.
    const Bmp a("font.bmp"), b("font2.bmp");
    EXPECT_NE(a.bytes, b.bytes);
}

TEST(MakeData, TilesAreOpaqueAndSpritesHaveTransparentSurroundings) {
    for (int k = 0; k < kBackgroundGroupFirst[3]; ++k) {
        const SheetStep& step = kBackgroundSteps[k];
        const Bmp& sheet = SheetBmp(step.sheet);
        for (int c = 0; c < step.cellCount; ++c) {
            const SpriteCell& cell = step.cells[c];
            if (cell.table != SpriteTable::BgTileSprites) continue;
            EXPECT_EQ(sheet.OpaqueIn(cell.x, cell.y, cell.w, cell.h), cell.w * cell.h) << Where(step, cell);
        }
    }
    // Each drawn sprite shows something, and a round one leaves its corners transparent.
    ForEachCell([](const SheetStep& step, const SpriteCell& cell) {
        if (cell.w == 0 || cell.table == SpriteTable::BgTileSprites) return;
        const Bmp& sheet = SheetBmp(step.sheet);
        EXPECT_GT(sheet.OpaqueIn(cell.x, cell.y, cell.w, cell.h), 0) << Where(step, cell);
    });
    const Bmp jiki("jiki.bmp");
    EXPECT_TRUE(jiki.Black(185, 0) && jiki.Black(248, 63)) << "the shield's corners";
}

// ---- sounds -----------------------------------------------------------------------------------------------

TEST(MakeData, EffectsAreShortDistinctSixteenBitMonoPcm) {
    std::set<std::string> payloads;
    for (const std::string& name : kDataNames) {
        if (name.size() < 4 || name.substr(name.size() - 4) != ".wav") continue;
        SCOPED_TRACE(name);
        const std::string b = Bytes(name);
        ASSERT_GE(b.size(), 44u);
        EXPECT_EQ(b.substr(0, 4), "RIFF");
        EXPECT_EQ(Le(b, 4, 4), b.size() - 8);
        EXPECT_EQ(b.substr(8, 8), "WAVEfmt ");
        EXPECT_EQ(Le(b, 20, 2), 1u);      // PCM
        EXPECT_EQ(Le(b, 22, 2), 1u);      // mono
        EXPECT_EQ(Le(b, 24, 4), 22050u);  // rate
        EXPECT_EQ(Le(b, 34, 2), 16u);     // bits
        EXPECT_EQ(b.substr(36, 4), "data");
        const uint32_t data = Le(b, 40, 4);
        EXPECT_EQ(data, b.size() - 44);
        EXPECT_LT(data, 22050u * 2);  // under a second
        int peak = 0;
        for (size_t at = 44; at + 1 < b.size(); at += 2) peak = std::max(peak, std::abs(int(int16_t(Le(b, at, 2)))));
        EXPECT_GT(peak, 8000);
        payloads.insert(b.substr(44));
    }
    EXPECT_EQ(payloads.size(), 15u);
}

std::vector<int16_t> DecodeOgg(const std::string& path, vorbis_info* infoOut, long* serial) {
    std::vector<int16_t> pcm;
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) return pcm;
    *infoOut = *ov_info(&vf, -1);
    *serial = ov_serialnumber(&vf, -1);
    char buffer[8192];
    int section = 0;
    for (;;) {
        const long n = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &section);
        if (n <= 0) break;
        const int16_t* s = reinterpret_cast<const int16_t*>(buffer);
        pcm.insert(pcm.end(), s, s + n / 2);
    }
    ov_clear(&vf);
    return pcm;
}

// The loops decode, last at most 20 s, are not silent, and run from their end into their
// start without a jump larger than the music's own steps.
TEST(MakeData, OggLoopsDecodeAndJoinWithoutASeam) {
    std::set<long> serials;
    for (const char* name : {"zarnovik-title.ogg", "zarnovik-bgm1.ogg", "zarnovik-bgm2.ogg", "zarnovik-bgm3.ogg",
                             "zarnovik-end.ogg"}) {
        SCOPED_TRACE(name);
        vorbis_info info{};
        long serial = 0;
        const std::vector<int16_t> pcm = DecodeOgg(DataFile(name), &info, &serial);
        ASSERT_GT(pcm.size(), 0u);
        EXPECT_LE(double(pcm.size()) / info.channels / info.rate, 20.0);
        serials.insert(serial);
        int peak = 0;
        double sum = 0;
        std::vector<int> steps;
        for (size_t i = 0; i < pcm.size(); ++i) {
            peak = std::max(peak, std::abs(int(pcm[i])));
            sum += pcm[i];
            if (i + 1 < pcm.size()) steps.push_back(std::abs(pcm[i + 1] - pcm[i]));
        }
        EXPECT_GT(peak, 10000);
        EXPECT_LT(std::fabs(sum / double(pcm.size()) / 32768.0), 0.001) << "DC offset";
        std::sort(steps.begin(), steps.end());
        const int typical = steps[steps.size() * 99 / 100];
        EXPECT_LE(std::abs(pcm.front() - pcm.back()), typical);
    }
    EXPECT_EQ(serials.size(), 5u);
}

// A standard MIDI file: the header, then exactly its tracks, each a run of well-formed
// events ending in one end-of-track; melodic tracks pick a General MIDI program first.
std::string CheckMidi(const std::string& b) {
    if (b.size() < 14 || b.substr(0, 4) != "MThd" || Be(b, 4, 4) != 6) return "no MThd of 6 bytes";
    const uint32_t format = Be(b, 8, 2), tracks = Be(b, 10, 2), division = Be(b, 12, 2);
    if (format != 1 || tracks < 2 || division == 0 || division & 0x8000) return "bad header values";
    size_t at = 14;
    int programs = 0, notes = 0;
    for (uint32_t t = 0; t < tracks; ++t) {
        if (at + 8 > b.size() || b.substr(at, 4) != "MTrk") return "track " + std::to_string(t) + " missing";
        const size_t end = at + 8 + Be(b, at + 4, 4);
        if (end > b.size()) return "track " + std::to_string(t) + " runs past the file";
        at += 8;
        std::map<int, int> open;
        bool ended = false;
        while (at < end && !ended) {
            for (int k = 0; k < 4 && (uint8_t(b[at]) & 0x80); ++k) ++at;  // delta time
            ++at;
            const uint8_t status = uint8_t(b[at++]);
            if (status == 0xFF) {
                const uint8_t type = uint8_t(b[at++]);
                const uint8_t length = uint8_t(b[at++]);
                at += length;
                ended = type == 0x2F && length == 0;
            } else if ((status & 0xF0) == 0xC0) {
                if (uint8_t(b[at++]) > 127) return "program out of range";
                ++programs;
            } else if ((status & 0xF0) == 0x90 || (status & 0xF0) == 0x80 || (status & 0xF0) == 0xB0) {
                const uint8_t key = uint8_t(b[at]), value = uint8_t(b[at + 1]);
                if (key > 127 || value > 127) return "data byte out of range";
                if ((status & 0xF0) == 0x90 && value > 0) ++open[key], ++notes;
                if ((status & 0xF0) == 0x80) --open[key];
                at += 2;
            } else {
                return "unexpected status " + std::to_string(status);
            }
        }
        if (!ended || at != end) return "track " + std::to_string(t) + " does not end with its end-of-track";
        for (const auto& [key, count] : open)
            if (count != 0) return "note " + std::to_string(key) + " left on";
    }
    if (at != b.size()) return "bytes after the last track";
    if (programs < 2 || notes < 50) return "too few programs or notes";
    return "";
}

TEST(MakeData, MidiFilesAreWellFormedAndTheTwoArrangementsDiffer) {
    for (const char* base : {"titl", "bgm01", "bgm02", "bgm03", "end"}) {
        const std::string plain = Bytes(std::string(base) + ".mid"), z = Bytes(std::string(base) + "z.mid");
        EXPECT_EQ(CheckMidi(plain), "") << base << ".mid";
        EXPECT_EQ(CheckMidi(z), "") << base << "z.mid";
        EXPECT_NE(plain, z) << base;
    }
}

TEST(MakeData, ASecondRunWritesTheSameBytes) {
    qztest::TempDir again;
    const std::string command = std::string("'") + QZ_MAKEDATA + "' '" + again.file("data") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const std::string& name : kDataNames) EXPECT_TRUE(qztest::ReadWholeFile(again.file("data/" + name)) == Bytes(name)) << name;
}

}  // namespace

}  // namespace MakeData_test
