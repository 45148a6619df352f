// main.cpp: makedata writes the game's data folder: 20 sheets, 15 effects, 10 MIDI files
// and 5 Ogg Vorbis loops, the same bytes on every run.
//
// Usage: makedata <folder>   (the folder is created; files in it are replaced)
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>

#include "Audio.h"
#include "Sheets.h"

namespace {

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "makedata: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: makedata <data folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    try {
        std::filesystem::create_directories(folder);
        bool ok = true;
        for (const makedata::SheetImage& sheet : makedata::BuildSheets()) {
            // The layout's paths are "data/<name>": the folder given is that data folder.
            const std::filesystem::path name = std::filesystem::path(GetSheetFile(sheet.sheet).path).filename();
            ok &= WriteFile(folder / name, sheet.canvas.EncodeBmp());
        }
        for (const makedata::NamedFile& effect : makedata::BuildEffects()) ok &= WriteFile(folder / effect.name, effect.bytes);
        static const char* const kTunes[5] = {"titl", "bgm01", "bgm02", "bgm03", "end"};
        static const char* const kOggs[5] = {"title", "bgm1", "bgm2", "bgm3", "end"};
        for (int track = 0; track < 5; ++track) {
            const std::string base = kTunes[track];
            ok &= WriteFile(folder / (base + ".mid"), makedata::EncodeMidi(makedata::MakeTune(track, false)));
            ok &= WriteFile(folder / (base + "z.mid"), makedata::EncodeMidi(makedata::MakeTune(track, true)));
            const std::vector<float> loop = makedata::RenderLoop(makedata::MakeTune(track, true));
            ok &= WriteFile(folder / ("zarnovik-" + std::string(kOggs[track]) + ".ogg"),
                            makedata::EncodeOgg(loop, 0x5A524E00 + track));
        }
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "makedata: %s\n", e.what());
        return 1;
    }
}
