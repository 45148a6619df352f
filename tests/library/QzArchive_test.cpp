// QZA archives: LZ blocks, scrambling, search keys, absolute paths, the archive-aware
// file set (probing, the remembered archive, the open-file table), members, the cache and
// damaged archives. Archives are written by the tests' ArchiveWriter with the product's
// own keys; drive C: is mapped to the test's folder.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ArchiveWriter.h"
#include "QzArchive_FileSet.h"
#include "QzArchive_Key.h"
#include "QzArchive_LZ.h"
#include "QzArchive_Reader.h"
#include "QzWinFileAccess.h"
#include "QzWinLog.h"
#include "QzWinState.h"
#include "TempDir.h"
#include "platform/testing.h"

namespace QzArchive_test {

namespace {

std::string Mixed(size_t size, uint32_t seed) {
    std::string bytes;
    uint32_t x = seed;
    while (bytes.size() < size) {
        x = x * 1103515245u + 12345u;
        switch ((x >> 16) % 4) {
        case 0: bytes += "sprite row "; break;                        // text
        case 1: bytes.append((x >> 8) % 40, static_cast<char>(x)); break;  // runs
        case 2: bytes += bytes.substr(bytes.size() / 2, 32); break;   // repeats
        default:
            for (int i = 0; i < 16; i++) bytes.push_back(static_cast<char>((x >> (i % 24)) * 7));  // noise
        }
    }
    bytes.resize(size);
    return bytes;
}

std::string Decode(const std::string& block) {
    int size = DecodeArchiveLZ(block.data(), nullptr);
    if (size < 0) return "<refused header>";
    std::string out(static_cast<size_t>(size), '\0');
    if (DecodeArchiveLZ(block.data(), out.data()) != size) return "<damaged>";
    return out;
}

// ---- LZ -----------------------------------------------------------------------------------

TEST(ArchiveLZTest, WorkedExample) {
    const unsigned char block[] = {0x0C, 0, 0, 0, 0x0F, 0, 0, 0, 0xFF, 'a', 'b', 'c', 0xFF, 0x28, 0x02};
    EXPECT_EQ(DecodeArchiveLZ(block, nullptr), 12);
    char out[12];
    EXPECT_EQ(DecodeArchiveLZ(block, out), 12);
    EXPECT_EQ(std::string(out, 12), "abcabcabcabc");
}

// A token: literals, or a match (length, distance, distance bytes; 0 bytes = selector 3).
struct Token {
    std::string literals;
    int length = 0, distance = 0, distanceBytes = 0;
};

struct TokenCase {
    const char* name;
    uint8_t escape;
    std::vector<Token> tokens;
};

// What the tokens decode to, copied byte by byte as the format defines it.
std::string Reference(const std::vector<Token>& tokens) {
    std::string out;
    for (const Token& t : tokens) {
        out += t.literals;
        for (int i = 0; i < t.length; i++) out.push_back(out[out.size() - static_cast<size_t>(t.distance)]);
    }
    return out;
}

TEST(ArchiveLZTest, EveryTokenKindDecodes) {
    const std::string record300 = Mixed(300, 1), far = Mixed(70000, 2);
    const TokenCase cases[] = {
        {"doubled escape is a literal escape", 'e', {{"aeebe"}}},
        {"code above the escape stands for one less", 0x10, {{"abcdef"}, {"", 6, 3, 1}}},
        {"code below the escape", 0xF0, {{"abcdef"}, {"", 6, 3, 1}}},
        {"extra length byte", 0x00, {{"xy"}, {"", 100, 2, 1}}},
        {"longest match", 0x00, {{"z"}, {"", 8195, 1, 1}}},
        {"two-byte distance", 0xFF, {{record300}, {"", 10, 300, 2}}},
        {"three-byte distance", 0xFF, {{far}, {"", 8, 70000, 3}}},
        {"selector 3 repeats the previous distance", 0xFF,
         {{"abcdefgh"}, {"", 4, 8, 1}, {"12345678"}, {"", 4, 8, 0}, {"", 36, 8, 0}}},
        {"overlapping copy repeats", 0xFF, {{"ab"}, {"", 7, 2, 1}}},
        {"escape byte as a match code's neighbour", 0x28, {{"abc"}, {"", 9, 3, 1}}},
    };
    for (const TokenCase& c : cases) {
        SCOPED_TRACE(c.name);
        qztest::ArchiveLZBuilder builder(c.escape);
        for (const Token& t : c.tokens) {
            if (!t.literals.empty()) builder.Literals(t.literals);
            if (t.length > 0) builder.Match(t.length, t.distance, t.distanceBytes);
        }
        EXPECT_TRUE(Decode(builder.Block()) == Reference(c.tokens));
    }
}

TEST(ArchiveLZTest, EncoderRoundTrips) {
    for (size_t size : {0u, 1u, 5u, 4096u, 300000u}) {
        SCOPED_TRACE(size);
        std::string data = Mixed(size, static_cast<uint32_t>(size));
        std::string block = qztest::CompressArchiveLZ(data);
        EXPECT_TRUE(Decode(block) == data);
        if (size >= 4096) {
            EXPECT_LT(block.size(), data.size());
        }
    }
}

// One block per check of the decoder; each must be refused.
struct DamagedBlock {
    const char* name;
    std::string block;
    uint32_t plainSize;  // what an archive entry holding the block declares
};

std::vector<DamagedBlock> DamagedBlocks() {
    using B = qztest::ArchiveLZBuilder;
    return {
        {"block size below the header", B(0xFF).Literals("ab").Block(2, 8), 2},
        {"escape at the end", B(0xEE).Literals("ab").Raw("\xEE").Block(2), 2},
        {"extra length byte missing", B(0xFF).Literals("ab").Raw("\xFF\x04").Block(40), 40},
        {"distance field cut", B(0xFF).Literals("ab").Raw("\xFF\x02\x01").Block(6), 6},
        {"selector 3 before any match", B(0xFF).Literals("abcd").Match(4, 4, 0).Block(), 8},
        {"distance beyond the output", B(0xFF).Literals("ab").Match(4, 3, 1).Block(), 6},
        {"match past the plain size", B(0xFF).Literals("ab").Match(6, 2, 1).Block(4), 4},
        {"literals past the plain size", B(0xFF).Literals("abcdef").Block(4), 4},
        {"fewer bytes than declared", B(0xFF).Literals("abc").Block(5), 5},
        {"plain size above INT_MAX", B(0xFF).Literals("abc").Block(0x80000000ll), 0x80000000u},
    };
}

TEST(ArchiveLZTest, DamagedBlocksAreRefused) {
    for (const DamagedBlock& c : DamagedBlocks()) {
        SCOPED_TRACE(c.name);
        int size = DecodeArchiveLZ(c.block.data(), nullptr);
        if (size < 0) continue;
        // An output buffer of exactly the declared size: a write past it would be caught.
        std::vector<char> out(static_cast<size_t>(size));
        EXPECT_EQ(DecodeArchiveLZ(c.block.data(), out.data()), -1);
    }
}

// ---- scrambling and names ------------------------------------------------------------------

TEST(ArchiveKeyTest, KeyAppliesByFilePosition) {
    unsigned char key[kArchiveKeySize], second[kArchiveKeySize];
    MakeArchiveKey(nullptr, key);
    MakeArchiveSecondKey(second);
    EXPECT_NE(std::memcmp(key, second, kArchiveKeySize), 0);
    std::string data = Mixed(100, 3), whole = data, split = data;
    ApplyArchiveKey(whole.data(), 100, 7, key);
    ApplyArchiveKey(split.data(), 37, 7, key);
    ApplyArchiveKey(split.data() + 37, 63, 44, key);
    EXPECT_TRUE(whole == split);
    ApplyArchiveKey(whole.data(), 100, 7, key);
    EXPECT_TRUE(whole == data);
    // A key string is repeated to 12 bytes: "ab" and "abab" make the same key.
    unsigned char ab[kArchiveKeySize], abab[kArchiveKeySize];
    MakeArchiveKey("ab", ab);
    MakeArchiveKey("abab", abab);
    EXPECT_EQ(std::memcmp(ab, abab, kArchiveKeySize), 0);
}

TEST(ArchiveKeyTest, SearchKeys) {
    struct KeyCase {
        const char* text;
        std::string form;  // padded
        int taken;
    };
    const KeyCase cases[] = {
        {"a.bmp", std::string("A.BMP\0\0\0", 8), 5},
        {"abcd", std::string("ABCD\0\0\0\0", 8), 4},
        {"abc", std::string("ABC\0", 4), 3},
        {"ab\\cd", std::string("AB\0\0", 4), 2},
        {"Ｂa", std::string("\x82\x61" "A\0", 4), 3},   // the pair's trail byte 'a' stays
        {"ソx\\y", std::string("\x83\x5CX\0", 4), 3},  // a 0x5C trail byte does not end the name
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.text);
        ArchiveSearchKey key;
        int taken = -1;
        EXPECT_EQ(MakeArchiveSearchKey(&key, c.text, &taken), 0);
        EXPECT_EQ(taken, c.taken);
        EXPECT_EQ(key.length * 4, static_cast<int>(c.form.size()));
        EXPECT_EQ(std::string(reinterpret_cast<char*>(key.name), c.form.size()), c.form);
        unsigned sum = 0;
        for (char ch : c.form) sum += static_cast<uint8_t>(ch);
        EXPECT_EQ(key.checksum, sum & 0xFFFF);
    }
}

// ---- the file set ----------------------------------------------------------------------------

class ArchiveFileSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ptest::MapDriveC(dir.path());
        ClearArchiveTable();
        SetFileAccessTable(nullptr);
        baseline = g_windowSystem.tracker.count;
    }
    void TearDown() override { ptest::ResetControls(); }

    // Writes a file below the test folder, making its folders.
    void Put(const std::string& relative, const std::string& bytes) {
        std::filesystem::path path = dir.path() + "/" + relative;
        std::filesystem::create_directories(path.parent_path());
        qztest::WriteWholeFile(path.string(), bytes);
    }
    void Enter(const char* folder) {
        std::string linuxFolder = folder;
        for (char& c : linuxFolder)
            if (c == '\\') c = '/';
        std::filesystem::create_directories(dir.path() + "/" + linuxFolder);
        ASSERT_TRUE(SetCurrentDirectoryA((std::string("C:\\") + folder).c_str()));
    }
    static std::string ReadAll(FileHandle h, int piece = 7) {
        std::string out;
        std::vector<char> buffer(static_cast<size_t>(piece));
        for (;;) {
            int got = FileAccessRead(buffer.data(), 1, piece, h);
            if (got <= 0) break;
            out.append(buffer.data(), static_cast<size_t>(got));
        }
        return out;
    }
    // Opens and reads a whole file; "<none>" when the open fails.
    static std::string Slurp(const char* path) {
        FileHandle h = FileAccessOpen(path, 0, 1);
        if (h == 0) return "<none>";
        std::string bytes = ReadAll(h);
        FileAccessClose(h);
        return bytes;
    }
    void StartLog() {
        FileAccessGetDir(g_windowSystem.startupDir);
        CreateLogFile();
        ptest::CaptureDebugOutput(true);
    }

    qztest::TempDir dir;
    int baseline = 0;
};

TEST_F(ArchiveFileSetTest, ArchivesOfEveryVersionAndKeyOpen) {
    struct VersionCase {
        int version;
        qztest::ArchiveKey key;
        bool compressed;
    };
    const VersionCase cases[] = {
        {0, qztest::ArchiveKey::First, false}, {1, qztest::ArchiveKey::Second, false},
        {2, qztest::ArchiveKey::First, true},  {3, qztest::ArchiveKey::Second, true},
        {3, qztest::ArchiveKey::First, false},
    };
    Enter("GAME");
    const std::string content = Mixed(5000, 9);
    for (const VersionCase& c : cases) {
        SCOPED_TRACE("version " + std::to_string(c.version));
        qztest::ArchiveWriter writer(c.version);
        writer.AddFile("IMG\\A.BMP", content, c.compressed);
        Put("GAME/DATA.QZA", writer.Build(c.key));
        ClearArchiveTable();
        EXPECT_TRUE(Slurp("data\\img\\a.bmp") == content);
        FreeUnusedArchives();
    }
}

TEST_F(ArchiveFileSetTest, ForeignArchivesAreNotFound) {
    Enter("GAME");
    Put("GAME/DATA/IMG/A.BMP", "plain");
    qztest::ArchiveWriter writer(3);
    writer.AddFile("IMG\\A.BMP", "member");
    std::string image = writer.Image();
    struct ForeignCase {
        const char* name;
        std::string file;
    };
    std::string wrongMagic = image, version4 = image;
    wrongMagic[1] = 'X';
    qztest::Put16(&version4, 2, 4);
    const ForeignCase cases[] = {
        {"not scrambled", image},
        {"wrong magic, key 1", qztest::ArchiveWriter::Scramble(wrongMagic, qztest::ArchiveKey::First)},
        {"wrong magic, key 2", qztest::ArchiveWriter::Scramble(wrongMagic, qztest::ArchiveKey::Second)},
        {"version 4", qztest::ArchiveWriter::Scramble(version4, qztest::ArchiveKey::First)},
        {"shorter than a header", qztest::ArchiveWriter::Scramble(image, qztest::ArchiveKey::First).substr(0, 20)},
    };
    for (const ForeignCase& c : cases) {
        SCOPED_TRACE(c.name);
        Put("GAME/DATA.QZA", c.file);
        EXPECT_EQ(Slurp("data\\img\\a.bmp"), "plain");
        EXPECT_EQ(GetArchiveTable()->archiveCount, 0);
    }
    Put("GAME/DATA.QZA", qztest::ArchiveWriter::Scramble(image, qztest::ArchiveKey::First));
    EXPECT_EQ(Slurp("data\\img\\a.bmp"), "member");
}

TEST_F(ArchiveFileSetTest, AbsolutePaths) {
    Enter("A\\B");
    struct PathCase {
        const char* path;
        const char* absolute;  // null: -1
    };
    const std::string tooLong = std::string(250, 'x') + "\\yy";
    const PathCase cases[] = {
        {"..\\x", "C:\\A\\X"},
        {"\\y", "C:\\Y"},
        {"d:z", "D:\\Z"},
        {"a\\\\b", nullptr},
        {".\\x", "C:\\A\\B\\X"},
        {"x\\", "C:\\A\\B\\X"},
        {"x/./y", "C:\\A\\B\\X\\Y"},
        {"..\\..\\..\\..\\y", "C:\\Y"},
        {"x\\.", "C:\\A\\B\\X\\."},
        {"ｱa\\b", "C:\\A\\B\\ｱA\\B"},
        {"Ｂa", "C:\\A\\B\\Ｂ" "A"},
        {tooLong.c_str(), nullptr},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.path);
        char out[256];
        int result = MakeAbsolutePath(c.path, out);
        if (c.absolute == nullptr) {
            EXPECT_EQ(result, -1);
        } else {
            EXPECT_EQ(result, 0);
            EXPECT_STREQ(out, c.absolute);
        }
    }
    char out[256];
    EXPECT_EQ(MakeAbsolutePath(nullptr, out), 0);
    EXPECT_STREQ(out, "C:\\A\\B");
}

TEST_F(ArchiveFileSetTest, CurrentDirectoryOfTheSet) {
    Enter("GAME");
    char buffer[256] = "garbage";
    EXPECT_EQ(ArchiveGetCurrentDir(buffer), 0);
    EXPECT_STREQ(buffer, "C:\\GAME");
    EXPECT_EQ(ArchiveSetCurrentDir("C:\\MISSING"), -1);
    EXPECT_EQ(ArchiveSetCurrentDir("C:\\"), 0);
    // A current directory longer than 255 bytes does not fit: -1 and an empty name.
    std::string deep = std::string(120, 'x') + "/" + std::string(120, 'y') + "/" + std::string(30, 'z');
    std::filesystem::create_directories(dir.path() + "/" + deep);
    std::filesystem::current_path(dir.path() + "/" + deep);
    std::strcpy(buffer, "garbage");
    EXPECT_EQ(ArchiveGetCurrentDir(buffer), -1);
    EXPECT_STREQ(buffer, "");
    char absolute[256];
    EXPECT_EQ(MakeAbsolutePath("a.bmp", absolute), -1);
}

TEST_F(ArchiveFileSetTest, ArchivesStandInForDirectories) {
    Enter("GAME");
    qztest::ArchiveWriter writer;
    writer.AddFile("IMG\\A.BMP", "member a");
    writer.AddFile("Ｂa.BMP", "pair");
    Put("GAME/DATA.QZA", writer.Build(qztest::ArchiveKey::First));
    Put("GAME/DATA/IMG/B.BMP", "plain b");
    Put("GAME/DATA2/X.BMP", "plain x");

    ptest::RecordFileOpens(true);
    EXPECT_EQ(Slurp("data\\img\\a.bmp"), "member a");
    EXPECT_EQ(ptest::TakeRecordedFileOpens(),
              (std::vector<std::string>{"C:.QZA", "C:\\GAME.QZA", "C:\\GAME\\DATA.QZA"}));
    // The archive is remembered: nothing is probed, nothing is opened again.
    EXPECT_EQ(Slurp("DATA/Img/A.bmp"), "member a");
    EXPECT_EQ(ptest::TakeRecordedFileOpens(), std::vector<std::string>{});
    // An archive hides the directory it stands for.
    EXPECT_EQ(Slurp("data\\img\\b.bmp"), "<none>");
    EXPECT_EQ(Slurp("data\\img"), "<none>");
    EXPECT_EQ(Slurp("data\\img\\a.bmp\\x"), "<none>");
    // ASCII case is ignored, a Shift-JIS pair must match as it stands.
    EXPECT_EQ(Slurp("data\\Ｂa.bmp"), "pair");
    EXPECT_EQ(Slurp("data\\\x82\x41" "a.bmp"), "<none>");
    ptest::TakeRecordedFileOpens();
    // "C:\GAME\DATA2" begins with the remembered prefix, but no backslash follows it.
    EXPECT_EQ(Slurp("data2\\x.bmp"), "plain x");
    EXPECT_EQ(ptest::TakeRecordedFileOpens(),
              (std::vector<std::string>{"C:.QZA", "C:\\GAME.QZA", "C:\\GAME\\DATA2.QZA", "data2\\x.bmp"}));
    FreeUnusedArchives();
    EXPECT_EQ(g_windowSystem.tracker.count, baseline);
}

TEST_F(ArchiveFileSetTest, ShortestPrefixWins) {
    Enter("GAME");
    qztest::ArchiveWriter outer, inner;
    outer.AddFile("DATA\\IMG\\A.BMP", "outer");
    inner.AddFile("IMG\\A.BMP", "inner");
    Put("GAME.QZA", outer.Build(qztest::ArchiveKey::First));
    Put("GAME/DATA.QZA", inner.Build(qztest::ArchiveKey::Second));
    EXPECT_EQ(Slurp("data\\img\\a.bmp"), "outer");
    EXPECT_STREQ(GetArchiveTable()->rememberedPath, "C:\\GAME.QZA");
}

TEST_F(ArchiveFileSetTest, OpenFileTableLimit) {
    Enter("GAME");
    qztest::ArchiveWriter writer;
    writer.AddFile("A.BMP", "a");
    Put("GAME/DATA.QZA", writer.Build(qztest::ArchiveKey::First));
    StartLog();
    std::vector<FileHandle> open;
    for (int i = 0; i < kArchiveOpenFileSlots; i++) {
        open.push_back(FileAccessOpen("data\\a.bmp", 0, 1));
        ASSERT_NE(open.back(), 0u) << i;
    }
    EXPECT_EQ(open[511], 511u | 0xF0000000u);
    ptest::TakeDebugOutput();
    EXPECT_EQ(FileAccessOpen("data\\a.bmp", 0, 1), 0u);
    EXPECT_EQ(ptest::TakeDebugOutput(), "同時に開けるファイルの数が限界を超えました\r\n");
    EXPECT_EQ(GetArchiveTable()->archives[0]->userCount, 512);
    FileAccessClose(open[3]);
    FileHandle again = FileAccessOpen("data\\a.bmp", 0, 1);
    EXPECT_EQ(again, 3u | 0xF0000000u);  // the lowest empty slot
    open[3] = again;
    for (FileHandle h : open) EXPECT_EQ(FileAccessClose(h), 0);
    EXPECT_EQ(GetArchiveTable()->archives[0]->userCount, 0);

    // Empty or impossible slots.
    char buffer[4];
    for (FileHandle h : {FileHandle(0xF0000005u), FileHandle(0xF0000000u | 600u), FileHandle(0)}) {
        EXPECT_EQ(ArchiveFileClose(h), -1);
        EXPECT_EQ(ArchiveFileTell(h), -1);
        EXPECT_EQ(ArchiveFileSeek(h, 0, 0), -1);
        EXPECT_EQ(ArchiveFileRead(buffer, 1, 4, h), -1);
        EXPECT_EQ(ArchiveFileEof(h), -1);
    }
}

TEST_F(ArchiveFileSetTest, MemberReads) {
    Enter("GAME");
    const std::string content = Mixed(100, 4), other = Mixed(3000, 5);
    qztest::ArchiveWriter writer;
    writer.AddFile("STORED.BIN", content);
    writer.AddFile("PACKED.BIN", content, true);
    writer.AddFile("OTHER.BIN", other);
    Put("GAME/DATA.QZA", writer.Build(qztest::ArchiveKey::First));

    for (const char* name : {"data\\stored.bin", "data\\packed.bin"}) {
        SCOPED_TRACE(name);
        FileHandle h = FileAccessOpen(name, 0, 1);
        ASSERT_NE(h, 0u);
        char buffer[128];
        EXPECT_EQ(FileAccessSeek(h, 60, 0), 0);
        EXPECT_EQ(FileAccessRead(buffer, 1, 100, h), 40);
        EXPECT_TRUE(std::string(buffer, 40) == content.substr(60));
        EXPECT_EQ(FileAccessRead(buffer, 1, 100, h), 0);
        EXPECT_EQ(FileAccessEof(h), -1);
        EXPECT_EQ(FileAccessSeek(h, -10, 0), 0);
        EXPECT_EQ(FileAccessTell(h), 0);
        EXPECT_EQ(FileAccessEof(h), 0);
        EXPECT_EQ(FileAccessSeek(h, 30, 2), 0);
        EXPECT_EQ(FileAccessTell(h), 100);
        EXPECT_EQ(FileAccessSeek(h, -30, 1), 0);
        EXPECT_EQ(FileAccessRead(buffer, 4, 3, h), 12);  // bytes, not items
        EXPECT_TRUE(std::string(buffer, 12) == content.substr(70, 12));
        FileAccessClose(h);
    }

    // Two stored members of one archive file, read in turns.
    FileHandle a = FileAccessOpen("data\\stored.bin", 0, 1), b = FileAccessOpen("data\\other.bin", 0, 1);
    std::string gotA, gotB;
    char buffer[13];
    for (int i = 0; i < 300; i++) {
        int n = FileAccessRead(buffer, 1, 13, a);
        gotA.append(buffer, static_cast<size_t>(n > 0 ? n : 0));
        n = FileAccessRead(buffer, 1, 11, b);
        gotB.append(buffer, static_cast<size_t>(n > 0 ? n : 0));
    }
    EXPECT_TRUE(gotA == content);
    EXPECT_TRUE(gotB == other);
    FileAccessClose(b);

    // The archive file shrinks under an open member: a read gives what arrives.
    FileHandle c = FileAccessOpen("data\\other.bin", 0, 1);
    uint32_t dataStart = writer.layout().data.at("OTHER.BIN");
    std::filesystem::resize_file(dir.path() + "/GAME/DATA.QZA", dataStart + 1000);
    std::vector<char> big(3000);
    EXPECT_EQ(FileAccessRead(big.data(), 1, 3000, c), 1000);
    EXPECT_TRUE(std::string(big.data(), 1000) == other.substr(0, 1000));
    EXPECT_EQ(FileAccessRead(big.data(), 1, 3000, c), 0);
    EXPECT_EQ(FileAccessTell(c), 1000);
    FileAccessClose(c);
    FileAccessClose(a);
}

TEST_F(ArchiveFileSetTest, CacheCountsUsers) {
    qztest::ArchiveWriter writer;
    writer.AddFile("A.BMP", "a");
    const std::string archive = writer.Build(qztest::ArchiveKey::First);
    Put("ONE.QZA", archive);
    Put("TWO.QZA", archive);
    int one = OpenArchiveCached("C:\\ONE.QZA", -1);
    ASSERT_GE(one, 0);
    EXPECT_EQ(OpenArchiveCached("C:\\ONE.QZA", -1), one);
    EXPECT_EQ(OpenArchiveCached("C:\\ONE.QZA", one), one);
    EXPECT_EQ(GetArchiveTable()->archives[one]->userCount, 3);
    int two = OpenArchiveCached("C:\\TWO.QZA", -1);
    EXPECT_EQ(two, one + 1);
    EXPECT_EQ(OpenArchiveCached("C:\\MISSING.QZA", -1), -1);
    EXPECT_EQ(ReleaseArchive(two), 0);
    EXPECT_EQ(ReleaseArchive(two), -1);
    EXPECT_EQ(ReleaseArchive(500), -1);
    FreeUnusedArchives();
    EXPECT_EQ(GetArchiveTable()->archives[two], nullptr);
    ASSERT_NE(GetArchiveTable()->archives[one], nullptr);
    EXPECT_EQ(GetArchiveTable()->archiveCount, 1);
    for (int i = 0; i < 3; i++) ReleaseArchive(one);
    ReleaseUnusedArchives();
    EXPECT_EQ(GetArchiveTable()->archiveCount, 0);
    EXPECT_EQ(g_windowSystem.tracker.count, baseline);
}

TEST_F(ArchiveFileSetTest, FullCacheMakesRoomFromUnusedArchives) {
    qztest::ArchiveWriter writer;
    writer.AddFile("A.BMP", "a");
    const std::string archive = writer.Build(qztest::ArchiveKey::First);
    for (int i = 0; i <= kArchiveCacheSlots + 1; i++) Put("A" + std::to_string(i) + ".QZA", archive);
    for (int i = 0; i < kArchiveCacheSlots; i++)
        ASSERT_EQ(OpenArchiveCached(("C:\\A" + std::to_string(i) + ".QZA").c_str(), -1), i);
    EXPECT_EQ(OpenArchiveCached("C:\\A512.QZA", -1), -1);  // every one in use
    ReleaseArchive(7);
    EXPECT_EQ(OpenArchiveCached("C:\\A512.QZA", -1), 7);
    EXPECT_EQ(GetArchiveTable()->archiveCount, kArchiveCacheSlots);
    for (int i = 0; i < kArchiveCacheSlots; i++) ReleaseArchive(i);
    FreeUnusedArchives();
    EXPECT_EQ(g_windowSystem.tracker.count, baseline);
}

// ---- damaged archives ----------------------------------------------------------------------

struct DamageCase {
    const char* name;
    bool archiveFound;  // false: the archive is "not found" and the plain file opens
    std::function<void(std::string*, const qztest::ArchiveLayout&)> damage;
};

TEST_F(ArchiveFileSetTest, DamagedArchivesFailCleanly) {
    Enter("GAME");
    Put("GAME/DATA/IMG/A.BMP", "plain");
    using L = qztest::ArchiveLayout;
    const uint32_t kHuge = 0xFFFFFFF0u;
    const DamageCase cases[] = {
        {"table block past the end", false, [](std::string* i, const L& l) { qztest::Put32(i, 4, l.tableSize + 1); }},
        {"table offset past the end", false, [=](std::string* i, const L&) { qztest::Put32(i, 12, kHuge); }},
        {"table offset plus size wraps", false,
         [](std::string* i, const L&) { qztest::Put32(i, 4, 0xFFFFFFFFu); }},
        {"file table outside the block", false, [](std::string* i, const L& l) { qztest::Put32(i, 16, l.tableSize + 1); }},
        {"directory table outside the block", false,
         [](std::string* i, const L& l) { qztest::Put32(i, 20, l.tableSize + 4); }},
        {"root record cut by the block's end", true,
         [](std::string* i, const L& l) { qztest::Put32(i, 20, l.tableSize - 8); }},
        {"directory record outside the block", true,
         [=](std::string* i, const L& l) { qztest::Put32(i, l.entry.at("IMG") + 32, kHuge); }},
        {"entry count past the block", true,
         [](std::string* i, const L& l) { qztest::Put32(i, l.dirRecord.at("IMG") + 8, 0x10000000u); }},
        {"first entry past the block", true,
         [=](std::string* i, const L& l) { qztest::Put32(i, l.dirRecord.at("IMG") + 12, kHuge); }},
        {"name record outside the block", true,
         [=](std::string* i, const L& l) { qztest::Put32(i, l.entry.at("IMG\\A.BMP"), kHuge); }},
        {"name length past the block", true,
         [](std::string* i, const L& l) { qztest::Put16(i, l.nameRecord.at("IMG\\A.BMP"), 0xFFFF); }},
        {"member data past the end", true,
         [=](std::string* i, const L& l) { qztest::Put32(i, l.entry.at("IMG\\A.BMP") + 32, kHuge); }},
        {"plain size past the end", true,
         [](std::string* i, const L& l) { qztest::Put32(i, l.entry.at("IMG\\A.BMP") + 36, 0x7FFFFFF0u); }},
        {"plain size above INT_MAX", true,
         [](std::string* i, const L& l) { qztest::Put32(i, l.entry.at("IMG\\A.BMP") + 36, 0x90000000u); }},
        {"compressed size past the end", true,
         [](std::string* i, const L& l) { qztest::Put32(i, l.entry.at("IMG\\A.BMP") + 40, 0x7FFFFFF0u); }},
        {"compressed size below 9", true, [](std::string* i, const L& l) { qztest::Put32(i, l.entry.at("IMG\\A.BMP") + 40, 8); }},
        {"block size differs from the entry", true,
         [](std::string* i, const L& l) {
             uint32_t at = l.entry.at("IMG\\A.BMP") + 40;
             qztest::Put32(i, at, qztest::Get32(*i, at) - 1);
         }},
        {"plain size differs from the block", true,
         [](std::string* i, const L& l) { qztest::Put32(i, l.entry.at("IMG\\A.BMP") + 36, 5000); }},
        {"block's own plain size differs", true,
         [](std::string* i, const L& l) { qztest::Put32(i, l.data.at("IMG\\A.BMP"), 5000); }},
        {"block's first match reaches before the start", true,
         [](std::string* i, const L& l) {
             // An escape, the code of a 4-byte match with a one-byte distance, distance 256.
             size_t at = l.data.at("IMG\\A.BMP");
             char escape = (*i)[at + 8];
             (*i)[at + 9] = escape;
             (*i)[at + 10] = static_cast<uint8_t>(escape) == 0 ? 1 : 0;
             (*i)[at + 11] = '\xFF';
         }},
    };
    for (const DamageCase& c : cases) {
        SCOPED_TRACE(c.name);
        qztest::ArchiveWriter writer;
        writer.AddFile("IMG\\A.BMP", Mixed(4000, 6), true);
        writer.AddFile("IMG\\B.BMP", "b");
        std::string image = writer.Image();
        c.damage(&image, writer.layout());
        Put("GAME/DATA.QZA", qztest::ArchiveWriter::Scramble(image, qztest::ArchiveKey::First));
        ClearArchiveTable();
        EXPECT_EQ(Slurp("data\\img\\a.bmp"), c.archiveFound ? "<none>" : "plain");
        EXPECT_EQ(GetArchiveTable()->fileCount, 0);
        FreeUnusedArchives();
        EXPECT_EQ(g_windowSystem.tracker.count, baseline);
    }
}

TEST_F(ArchiveFileSetTest, DamagedBlocksFailTheMemberOpen) {
    Enter("GAME");
    for (const DamagedBlock& c : DamagedBlocks()) {
        SCOPED_TRACE(c.name);
        qztest::ArchiveWriter writer;
        writer.AddBlockFile("A.BIN", c.plainSize, c.block);
        Put("GAME/DATA.QZA", writer.Build(qztest::ArchiveKey::First));
        ClearArchiveTable();
        EXPECT_EQ(Slurp("data\\a.bin"), "<none>");
        FreeUnusedArchives();
        EXPECT_EQ(g_windowSystem.tracker.count, baseline);
    }
}

TEST_F(ArchiveFileSetTest, AllocationFailuresFailTheOpen) {
    Enter("GAME");
    qztest::ArchiveWriter writer;
    writer.AddFile("A.BIN", Mixed(3000, 8), true);
    Put("GAME/DATA.QZA", writer.Build(qztest::ArchiveKey::First));
    ASSERT_NE(Slurp("data\\a.bin"), "<none>");  // cached and remembered from now on
    const int cached = g_windowSystem.tracker.count;
    StartLog();
    // The open takes the slot's record, the plain copy, then the compressed block.
    for (int nth = 1; nth <= 3; nth++) {
        SCOPED_TRACE(nth);
        ptest::TakeDebugOutput();
        ptest::FailCall("HeapAlloc", nth);
        EXPECT_EQ(FileAccessOpen("data\\a.bin", 0, 1), 0u);
        EXPECT_EQ(g_windowSystem.tracker.count, cached);
        EXPECT_EQ(GetArchiveTable()->archives[0]->userCount, 0);
        if (nth == 1) {
            // The allocator dumps the live blocks first.
            EXPECT_NE(ptest::TakeDebugOutput().find("ファイルの情報を格納するメモリの確保に失敗しました\r\n"), std::string::npos);
        }
    }
    ptest::ClearFaults();
    EXPECT_EQ(Slurp("data\\a.bin"), Mixed(3000, 8));
}

// Damaged parent links are met only by ".." inside an archive, which the file set never
// passes (absolute paths have no "..").
TEST_F(ArchiveFileSetTest, DamagedParentLinkFailsTheMove) {
    qztest::ArchiveWriter writer;
    writer.AddFile("IMG\\SUB\\A.BMP", "a");
    std::string image = writer.Image();
    qztest::Put32(&image, writer.layout().dirRecord.at("IMG\\SUB") + 4, 0xFFFFFFF0u);
    Put("DATA.QZA", qztest::ArchiveWriter::Scramble(image, qztest::ArchiveKey::First));
    ArchiveState state;
    ClearArchiveState(&state);
    ASSERT_EQ(OpenArchiveFile(&state, "C:\\DATA.QZA", nullptr), 0);
    EXPECT_EQ(ChangeArchiveDirectory(&state, "IMG\\SUB", 1, nullptr), 0);
    EXPECT_EQ(ChangeArchiveDirectory(&state, "..", 1, nullptr), -1);
    EXPECT_EQ(ChangeArchiveDirectory(&state, "\\", 1, nullptr), 0);
    EXPECT_EQ(ChangeArchiveDirectory(&state, "..", 1, nullptr), -1);  // the root has no parent
    EXPECT_EQ(ChangeArchiveDirectory(&state, "IMG\\NONE\\X", 1, nullptr), -1);
    EXPECT_EQ(state.currentDir, 0u);  // put back
    EXPECT_NE(FindArchiveFileEntry(&state, "\\IMG\\SUB\\A.BMP"), nullptr);
    EXPECT_EQ(FindArchiveFileEntry(&state, "IMG\\SUB"), nullptr);
    CloseArchiveState(&state);
}

}  // namespace

}  // namespace QzArchive_test
