// Fuzz target: the archive reader through the archive-aware file set. The input is an
// unscrambled archive image; it is scrambled with the first built-in key, written as
// C:\F\DATA.QZA (drive C: mapped to a private folder), and a few paths below C:\F\DATA
// are opened and read to their end in pieces, with seeks between. Nothing may read or
// write outside its buffers, and every open file and cached archive is released again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ArchiveWriter.h"
#include "FuzzSupport.h"
#include "QzArchive_FileSet.h"
#include "QzWinFileAccess.h"
#include "QzWinState.h"
#include "platform/testing.h"

namespace {

const char* const kPaths[] = {"C:\\F\\DATA\\A.BMP", "C:\\F\\DATA\\IMG\\B.PNG", "C:\\F\\DATA\\IMG\\SUB\\C.OGG",
                              "C:\\F\\DATA\\IMG", "C:\\F\\DATA\\img\\b.png\\x", "C:\\F\\DATA\\\x83\x5C.BIN"};

// The folder drive C: stands for, made once per process; in memory where the system has
// a memory file system, since the archive is written anew for every input.
const std::string& Folder() {
    static const std::string folder = [] {
        char memoryPattern[] = "/dev/shm/qzfuzz-archive-XXXXXX";
        char diskPattern[] = "/tmp/qzfuzz-archive-XXXXXX";
        char* pattern = mkdtemp(memoryPattern) != nullptr ? memoryPattern : diskPattern;
        if (pattern == diskPattern && mkdtemp(diskPattern) == nullptr) std::abort();
        std::string made = pattern;
        std::string inner = made + "/F";
        if (mkdir(inner.c_str(), 0700) != 0) std::abort();
        const int archive = open((inner + "/DATA.QZA").c_str(), O_CREAT | O_WRONLY, 0600);
        if (archive < 0) std::abort();
        close(archive);
        // The archive is rewritten in place, so neither folder changes again. Dated a
        // minute back, both count as settled from the first input, and a lookup that
        // has to compare names ignoring case reads each listing once, not per open.
        const timespec past[2] = {{time(nullptr) - 60, 0}, {time(nullptr) - 60, 0}};
        if (utimensat(AT_FDCWD, inner.c_str(), past, 0) != 0 || utimensat(AT_FDCWD, made.c_str(), past, 0) != 0)
            std::abort();
        return made;
    }();
    static const bool removedAtExit = std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(Folder(), ignored);
    }) == 0;
    (void)removedAtExit;
    return folder;
}

// The archive file, open for the whole process and rewritten in place for every input.
void WriteArchive(const std::string& bytes) {
    static const int file = [] {
        const int opened = open((Folder() + "/F/DATA.QZA").c_str(), O_WRONLY);
        if (opened < 0) std::abort();
        return opened;
    }();
    if (ftruncate(file, 0) != 0) std::abort();
    if (!bytes.empty() && pwrite(file, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
        std::abort();
}

}  // namespace

QZ_FUZZ_SMALL_QUARANTINE();

QZ_FUZZ_TARGET(ArchiveReader)(const uint8_t* data, size_t size) {
    ptest::MapDriveC(Folder());
    const int liveBlocks = g_windowSystem.tracker.count;
    std::string image(reinterpret_cast<const char*>(data), size);
    WriteArchive(qztest::ArchiveWriter::Scramble(image, qztest::ArchiveKey::First));
    ClearArchiveTable();
    SetFileAccessTable(nullptr);

    char buffer[700];
    for (const char* path : kPaths) {
        FileHandle file = FileAccessOpen(path, 0, 1);
        if (file == 0) continue;
        for (int piece = 1, steps = 0; steps < 2000; piece = piece * 3 % 701 + 1, steps++) {
            if (FileAccessRead(buffer, 1, piece, file) <= 0) break;
        }
        FileAccessSeek(file, -5, 2);
        FileAccessRead(buffer, 4, 3, file);
        FileAccessSeek(file, 3, 0);
        FileAccessRead(buffer, 1, sizeof buffer, file);
        FileAccessEof(file);
        FileAccessClose(file);
    }
    FreeUnusedArchives();
    // Every member, archive and table went back.
    if (GetArchiveTable()->archiveCount != 0 || GetArchiveTable()->fileCount != 0 ||
        g_windowSystem.tracker.count != liveBlocks)
        std::abort();
    return 0;
}

QZ_FUZZ_SEEDS(ArchiveReader) {
    std::vector<std::string> seeds;
    std::string text;
    for (int i = 0; i < 300; i++) text += "row " + std::to_string(i % 17) + ";";
    for (int version = 0; version <= 3; version++) {
        qztest::ArchiveWriter writer(version);
        bool compress = version >= 2;
        writer.AddFile("A.BMP", text, compress);
        writer.AddFile("IMG\\B.PNG", std::string(100, 'b'));
        writer.AddFile("IMG\\SUB\\C.OGG", text.substr(0, 500), compress);
        writer.AddFile("\x83\x5C.BIN", "pair");
        writer.AddDirectory("EMPTY");
        seeds.push_back(writer.Image());
    }
    return seeds;
}
