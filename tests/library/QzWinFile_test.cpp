// The file layer: the direct set in plain and read-ahead thread mode, memory streams and
// archive members side by side, the installed table, temporary files and the path walker.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ArchiveWriter.h"
#include "QzArchive_FileSet.h"
#include "QzWinFileAccess.h"
#include "QzWinFileDirect.h"
#include "QzWinFilePath.h"
#include "QzWinFileStream.h"
#include "QzWinFileTemp.h"
#include "QzWinLog.h"
#include "QzWinState.h"
#include "TempDir.h"
#include "platform/testing.h"

namespace QzWinFile_test {

namespace {

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; i++) bytes[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
    return bytes;
}

class FileLayerTest : public ::testing::Test {
protected:
    void TearDown() override { ptest::ResetControls(); }
    qztest::TempDir dir;
};

// One readable source of the three kinds, behind the same six operations.
struct Source {
    std::function<int(void*, int, int)> read;
    std::function<int(int, int)> seek;
    std::function<int()> tell;
    std::function<int()> eof;
    std::function<void()> close;
};

// The same bytes as a plain file, a memory stream and an archive member.
class ThreeSources {
public:
    explicit ThreeSources(const qztest::TempDir& dir, const std::string& bytes) : bytes_(bytes) {
        qztest::WriteWholeFile(dir.file("plain.bin"), bytes);
        qztest::ArchiveWriter writer;
        writer.AddFile("MEMBER.BIN", bytes);
        qztest::WriteWholeFile(dir.file("pack.qza"), writer.Build(qztest::ArchiveKey::First));
        ClearArchiveTable();
    }

    Source Direct() {
        DirectFile* f = DirectFileOpen("plain.bin", 0, 1);
        EXPECT_NE(f, nullptr);
        return {[f](void* b, int s, int c) { return DirectFileRead(b, s, c, f); },
                [f](int o, int origin) { return DirectFileSeek(f, o, origin); },
                [f] { return DirectFileTell(f); }, [f] { return DirectFileEof(f); }, [f] { DirectFileClose(f); }};
    }
    Source Memory() {
        MemoryStream* m = OpenMemoryStream(bytes_.data(), static_cast<int>(bytes_.size()));
        EXPECT_NE(m, nullptr);
        return {[m](void* b, int s, int c) { return MemoryStreamRead(b, s, c, m); },
                [m](int o, int origin) { return MemoryStreamSeek(m, o, origin); },
                [m] { return MemoryStreamTell(m); }, [m] { return MemoryStreamEof(m); }, [m] { CloseMemoryStream(m); }};
    }
    Source Member() {
        FileHandle h = ArchiveFileOpen("pack\\member.bin", 0, 1);
        EXPECT_NE(h, 0u);
        return {[h](void* b, int s, int c) { return ArchiveFileRead(b, s, c, h); },
                [h](int o, int origin) { return ArchiveFileSeek(h, o, origin); },
                [h] { return ArchiveFileTell(h); }, [h] { return ArchiveFileEof(h); }, [h] { ArchiveFileClose(h); }};
    }

private:
    std::string bytes_;
};

struct ReadCase {
    const char* name;
    int size, count;
    int result[3];     // direct, memory, member
    int delivered[3];  // bytes the read moved the position by
    int eof[3];        // end-of-file afterwards
};

TEST_F(FileLayerTest, ReadResultsDifferBySourceAsSpecified) {
    ThreeSources sources(dir, Pattern(10));
    const ReadCase cases[] = {
        {"3 items of 4, 10 left", 4, 3, {2, 2, 10}, {8, 8, 10}, {0, 0, 0}},
        {"1 item of 16, 10 left", 16, 1, {0, 1, 10}, {0, 10, 10}, {-1, 0, 0}},
        {"0 items", 4, 0, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
        {"size x count past 2^32", 65536, 65536, {0, 1, 10}, {0, 10, 10}, {-1, 0, 0}},
    };
    for (const ReadCase& c : cases) {
        Source all[3] = {sources.Direct(), sources.Memory(), sources.Member()};
        for (int k = 0; k < 3; k++) {
            SCOPED_TRACE(std::string(c.name) + (k == 0 ? " / direct" : k == 1 ? " / memory" : " / member"));
            std::vector<char> buffer(64, '\x55');
            EXPECT_EQ(all[k].read(buffer.data(), c.size, c.count), c.result[k]);
            EXPECT_EQ(all[k].tell(), c.delivered[k]);
            EXPECT_EQ(std::string(buffer.data(), c.delivered[k]), Pattern(10).substr(0, c.delivered[k]));
            EXPECT_EQ(all[k].eof(), c.eof[k]);
            all[k].close();
        }
    }
    FreeUnusedArchives();
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
}

TEST_F(FileLayerTest, EndOfDataAndSeeks) {
    ThreeSources sources(dir, Pattern(10));
    const int endFlag[3] = {-1, 1, -1};
    Source all[3] = {sources.Direct(), sources.Memory(), sources.Member()};
    for (int k = 0; k < 3; k++) {
        SCOPED_TRACE(k == 0 ? "direct" : k == 1 ? "memory" : "member");
        char buffer[16];
        ASSERT_EQ(all[k].seek(0, 2), 0);
        EXPECT_EQ(all[k].read(buffer, 1, 1), 0);
        EXPECT_EQ(all[k].eof(), endFlag[k]);
        EXPECT_EQ(all[k].seek(-4, 1), 0);
        EXPECT_EQ(all[k].eof(), 0);
        EXPECT_EQ(all[k].tell(), 6);
    }
    // Memory streams and members clip their seeks; the direct set does not.
    EXPECT_EQ(all[1].seek(-5, 0), 0);
    EXPECT_EQ(all[1].tell(), 0);
    EXPECT_EQ(all[1].seek(10, 2), 0);
    EXPECT_EQ(all[1].tell(), 10);
    EXPECT_EQ(all[2].seek(-10, 0), 0);
    EXPECT_EQ(all[2].tell(), 0);

    char buffer[16];
    EXPECT_EQ(all[0].seek(25, 0), 0);
    EXPECT_EQ(all[0].read(buffer, 1, 4), 0);
    EXPECT_EQ(all[0].tell(), 25);
    EXPECT_EQ(all[0].eof(), -1);
    EXPECT_EQ(all[0].seek(-30, 1), -1);
    EXPECT_EQ(all[0].tell(), 25);
    EXPECT_EQ(all[0].eof(), -1);
    for (Source& s : all) s.close();
}

TEST_F(FileLayerTest, PlainReadsReportWhatTheSystemDelivered) {
    qztest::WriteWholeFile(dir.file("data.bin"), Pattern(1000));
    DirectFile* f = DirectFileOpen("data.bin", 0, 1);
    ASSERT_NE(f, nullptr);
    std::vector<char> buffer(1000);
    ptest::FailCall("ReadFileShort");
    EXPECT_EQ(DirectFileRead(buffer.data(), 1, 100, f), 50);
    EXPECT_EQ(DirectFileTell(f), 50);
    ptest::FailCall("ReadFile");
    EXPECT_EQ(DirectFileRead(buffer.data(), 1, 100, f), 0);
    EXPECT_EQ(DirectFileTell(f), 50);
    EXPECT_EQ(DirectFileRead(buffer.data(), 10, 5, f), 5);
    EXPECT_EQ(std::string(buffer.data(), 50), Pattern(1000).substr(50, 50));
    ptest::FailCall("SetFilePointer");
    EXPECT_EQ(DirectFileSeek(f, 0, 0), -1);
    EXPECT_EQ(DirectFileTell(f), 100);
    ptest::FailCall("CloseHandle");
    EXPECT_EQ(DirectFileClose(f), -1);
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
}

// One sequence of reads and seeks, applied to a file of either mode; returns what each
// step gave and the bytes delivered.
std::vector<std::string> RunSequence(DirectFile* f, bool idle) {
    std::vector<std::string> log;
    std::vector<char> buffer(200 * 1024);
    auto read = [&](int size, int count) {
        int result = DirectFileRead(buffer.data(), size, count, f);
        log.push_back(std::to_string(result) + "@" + std::to_string(DirectFileTell(f)) + ":" +
                      std::string(buffer.data(), static_cast<size_t>(result) * size));
    };
    auto seek = [&](int offset, int origin) {
        log.push_back("seek " + std::to_string(DirectFileSeek(f, offset, origin)) + " eof " + std::to_string(DirectFileEof(f)));
    };
    read(1, 1000);
    if (idle) Sleep(350);  // the thread fills its cache in idle slices
    read(4, 50000);        // across the 128 KiB cache
    read(1, 10);
    seek(100000, 0);
    read(16, 100);
    if (idle) Sleep(250);
    read(1000, 200);  // runs into the end: whole items only
    read(1, 5000);
    seek(-10, 2);
    read(3, 10);
    read(1, 1);
    seek(500000, 0);
    read(1, 1);
    return log;
}

TEST_F(FileLayerTest, ThreadModeReadsLikePlainMode) {
    qztest::WriteWholeFile(dir.file("big.bin"), Pattern(300 * 1024));
    DirectFile* plain = DirectFileOpen("big.bin", 0, 1);
    ASSERT_NE(plain, nullptr);
    std::vector<std::string> expected = RunSequence(plain, false);
    EXPECT_EQ(DirectFileClose(plain), 0);

    DirectFile* threaded = DirectFileOpen("big.bin", 1, 1);
    ASSERT_NE(threaded, nullptr);
    EXPECT_EQ(threaded->threadMode, 1);
    std::vector<std::string> got = RunSequence(threaded, true);
    // The sequence ends with a seek, which the thread runs while the caller goes on: on a
    // busy machine it may not have run yet. It must end within moments.
    int idle = DirectFileIdle(threaded);
    for (int waited = 0; idle == 0 && waited < 5000; waited += 5) {
        Sleep(5);
        idle = DirectFileIdle(threaded);
    }
    EXPECT_EQ(idle, 1);
    EXPECT_EQ(DirectFileClose(threaded), 0);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); i++) EXPECT_TRUE(got[i] == expected[i]) << "step " << i;
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
}

TEST_F(FileLayerTest, ThreadModeCountsShortReadsTruly) {
    const std::string content = Pattern(20000);
    qztest::WriteWholeFile(dir.file("data.bin"), content);
    DirectFile* f = DirectFileOpen("data.bin", 1, 1);
    ASSERT_NE(f, nullptr);
    // Wherever the short read lands (a request or a read-ahead), the bytes delivered and
    // the results agree, so reading on gives the file exactly.
    ptest::FailCall("ReadFileShort");
    std::string got;
    std::vector<char> buffer(3000);
    for (int steps = 0; steps < 100; steps++) {
        int before = DirectFileTell(f);
        int result = DirectFileRead(buffer.data(), 1, 3000, f);
        ASSERT_EQ(DirectFileTell(f) - before, result);
        if (result == 0) break;
        got.append(buffer.data(), static_cast<size_t>(result));
    }
    EXPECT_TRUE(got == content);
    DirectFileClose(f);
}

TEST_F(FileLayerTest, ThreadModeOpenFailuresAreLogged) {
    FileAccessGetDir(g_windowSystem.startupDir);
    CreateLogFile();
    ptest::CaptureDebugOutput(true);
    EXPECT_EQ(DirectFileOpen("missing.bin", 1, 1), nullptr);  // measuring fails: no line
    EXPECT_EQ(ptest::TakeDebugOutput(), "");
    qztest::WriteWholeFile(dir.file("data.bin"), "x");
    ptest::FailCall("CreateThread");
    EXPECT_EQ(DirectFileOpen("data.bin", 1, 1), nullptr);
    EXPECT_NE(ptest::TakeDebugOutput().find("ファイルアクセス専用スレッドの作成に失敗しました"), std::string::npos);
    ptest::FailCall("CreateFileA:data.bin", 2);  // the thread's own open
    EXPECT_EQ(DirectFileOpen("data.bin", 1, 1), nullptr);
    EXPECT_NE(ptest::TakeDebugOutput().find("ファイルのオープンに失敗しました"), std::string::npos);
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
}

TEST_F(FileLayerTest, OpenFindsCaseVariantsAndRefusesDirectories) {
    qztest::WriteWholeFile(dir.file("Data.Bin"), "abc");
    std::filesystem::create_directory(dir.file("folder"));
    EXPECT_EQ(DirectFileOpen("missing.bin", 0, 1), nullptr);
    EXPECT_EQ(DirectFileOpen("folder", 0, 1), nullptr);
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
    DirectFile* f = DirectFileOpen("DATA.BIN", 0, 1);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->size, 3);
    DirectFileClose(f);
}

TEST_F(FileLayerTest, InstalledSetsAndStreamTables) {
    qztest::WriteWholeFile(dir.file("data.bin"), Pattern(10));
    SetFileAccessTable(nullptr);
    FileHandle h = FileAccessOpen("data.bin", 0, 1);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(h & 0xF0000000u, 0xF0000000u);
    ReadStream stream;
    SetupStreamFunctions();
    MakeFileReadStream(&stream, h);
    char buffer[10];
    EXPECT_EQ(stream.functions.read(buffer, 5, 2, stream.data), 2);
    EXPECT_EQ(stream.functions.tell(stream.data), 10);
    EXPECT_EQ(stream.functions.close(stream.data), 0);

    // With the archives-off setting the direct set answers: its handles are addresses.
    g_windowSystem.archivesOff = 1;
    SetFileAccessTable(nullptr);
    h = FileAccessOpen("data.bin", 0, 1);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(reinterpret_cast<DirectFile*>(h)->size, 10);
    EXPECT_EQ(FileAccessClose(h), 0);
}

TEST_F(FileLayerTest, MemoryStreamWritesWholeItems) {
    char block[10] = {};
    MemoryStream* m = OpenMemoryStream(block, 10);
    EXPECT_EQ(MemoryStreamWrite("abcd", 4, 1, m), 1);
    EXPECT_EQ(MemoryStreamWrite("efghijkl", 4, 2, m), 1);  // only one more whole item fits
    EXPECT_EQ(MemoryStreamWrite("xy", 2, 1, m), 1);
    EXPECT_EQ(MemoryStreamWrite("z", 1, 1, m), 0);
    EXPECT_EQ(MemoryStreamEof(m), 1);
    EXPECT_EQ(std::string(block, 10), "abcdefghxy");
    CloseMemoryStream(m);
}

TEST_F(FileLayerTest, TemporaryFilesAreNewEmptyAndWritable) {
    std::filesystem::create_directory(dir.file("tmp"));
    ptest::SetTempFolder(dir.file("tmp"));
    char folder[256];
    ASSERT_GT(GetTempPathA(sizeof folder, folder), 0u);
    char path[MAX_PATH] = {};
    HANDLE file = CreateTemporaryFile(path);
    ASSERT_NE(file, nullptr);
    std::string name = path;
    EXPECT_EQ(name.substr(0, std::string(folder).size()), folder);
    EXPECT_EQ(name.substr(std::string(folder).size(), 3), "tmp");
    std::vector<std::filesystem::path> made;
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("tmp"))) made.push_back(entry.path());
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(std::filesystem::file_size(made[0]), 0u);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "data", 4, &written, nullptr));
    EXPECT_EQ(written, 4u);
    CloseHandle(file);
    EXPECT_EQ(qztest::ReadWholeFile(made[0].string()), "data");

    char untouched[MAX_PATH] = "untouched";
    ptest::FailCall("GetTempFileNameA");
    EXPECT_EQ(CreateTemporaryFile(untouched), nullptr);
    ptest::FailCall("GetTempPathA");
    EXPECT_EQ(CreateTemporaryFile(untouched), nullptr);
    EXPECT_STREQ(untouched, "untouched");
}

struct WalkCase {
    const char* path;
    const char* base;
    const char* full;  // MakeFullPath's result, or null for -1
};

TEST(PathWalkTest, FullPathsByComponentRules) {
    const std::string longName(256, 'n');
    const WalkCase cases[] = {
        {"..\\x", "C:\\a\\b", "C:\\a\\x"},
        {"\\x", "C:\\a", "C:\\x"},
        {"d:z", "C:\\a", "d:\\z"},
        {"a\\\\b", "C:\\a", nullptr},
        {"..\\..\\..\\x", "C:\\a", "C:\\x"},
        {".\\x\\.", "C:\\a\\", "C:\\a\\x\\."},
        {"x\\", "C:\\a", "C:\\a\\x"},
        {"a/b\\c", "C:\\", "C:\\a\\b\\c"},
        {"ソ\\表", "C:\\a", "C:\\a\\ソ\\表"},  // 0x5C second bytes never split
        {longName.c_str(), "C:\\a", nullptr},
    };
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " on " + c.base);
        char out[MAX_PATH];
        int result = MakeFullPath(c.path, out, c.base);
        if (c.full == nullptr) {
            EXPECT_EQ(result, -1);
        } else {
            EXPECT_EQ(result, 0);
            EXPECT_STREQ(out, c.full);
        }
    }
    char out[MAX_PATH];
    std::string deep = "C:\\" + std::string(250, 'd');
    EXPECT_EQ(MakeFullPath("0123456789", out, deep.c_str()), -1);  // the result would pass 259 bytes
    EXPECT_EQ(MakeFullPath(nullptr, out, "C:\\a"), 0);
    EXPECT_STREQ(out, "C:\\a");
}

}  // namespace

}  // namespace QzWinFile_test
