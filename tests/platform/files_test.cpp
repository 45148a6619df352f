// Files and the current directory: Windows names (CP932, either separator, drive C:,
// any ASCII case) reach the right Linux files.
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TempDir.h"
#include "platform/win32.h"

namespace files_test {

namespace {

using qztest::ReadWholeFile;
using qztest::WriteWholeFile;

std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// The "C:\..." form of a Linux path made only of ASCII.
std::string DriveForm(const std::string& linux_path) {
    std::string path = "C:" + linux_path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string ReadThrough(HANDLE file) {
    char buffer[64];
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) return "<read failed>";
    return std::string(buffer, got);
}

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.file("Data"));
        WriteWholeFile(dir.file("Data/Image.PNG"), "png");
        // ソ表: both characters end in 0x5C, which must not split the name.
        std::filesystem::create_directories(dir.file(U8(u8"ソ表")));
        WriteWholeFile(dir.file(U8(u8"ソ表/file.txt")), "sjis");
        std::filesystem::create_directories(dir.file("Case"));
        WriteWholeFile(dir.file("Case/aB.txt"), "aB");
        WriteWholeFile(dir.file("Case/Ab.txt"), "Ab");  // first in byte order
        mkfifo(dir.file("pipe").c_str(), 0600);  // no Windows name reaches a pipe
    }
    qztest::TempDir dir;
};

TEST_F(Files, NamesResolveThroughDriveSeparatorsAndCase) {
    const std::string root = DriveForm(dir.path());
    const struct {
        std::string name;
        std::string content;  // empty: the open fails with `error`
        DWORD error;
    } cases[] = {
        {"Data\\Image.PNG", "png", 0},
        {"data/image.png", "png", 0},
        {"DATA\\IMAGE.png", "png", 0},
        {"Data/./../data\\Image.PNG", "png", 0},
        {"\x83\x5C\x95\x5C\\file.txt", "sjis", 0},
        {"\x83\x5C\x95\x5C/FILE.TXT", "sjis", 0},
        {"case\\AB.TXT", "Ab", 0},
        {"Case\\aB.txt", "aB", 0},
        {root + "\\data\\image.png", "png", 0},
        {"c" + root.substr(1) + "\\Data\\Image.PNG", "png", 0},
        {root.substr(2) + "\\Data\\Image.PNG", "png", 0},
        {"C:data\\Image.PNG", "png", 0},
        {"D:\\Data\\Image.PNG", "", ERROR_PATH_NOT_FOUND},
        {"Data", "", ERROR_ACCESS_DENIED},
        {"Data\\", "", ERROR_ACCESS_DENIED},
        {"PIPE", "", ERROR_ACCESS_DENIED},
        {"Data\\Image.PNG\\", "", ERROR_INVALID_NAME},
        {"missing.txt", "", ERROR_FILE_NOT_FOUND},
        {"nofolder\\x.txt", "", ERROR_PATH_NOT_FOUND},
        {"Data\\Image.PNG\\x", "", ERROR_PATH_NOT_FOUND},
        {"", "", ERROR_PATH_NOT_FOUND},
        {"bad\x83", "", ERROR_INVALID_NAME},
        {"what?.txt", "", ERROR_INVALID_NAME},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("name: " + c.name);
        SetLastError(0);
        HANDLE file = CreateFileA(c.name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (c.content.empty()) {
            EXPECT_EQ(file, INVALID_HANDLE_VALUE);
            EXPECT_EQ(GetLastError(), c.error);
            continue;
        }
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << "error " << GetLastError();
        EXPECT_EQ(ReadThrough(file), c.content);
        EXPECT_TRUE(CloseHandle(file));
    }
}

// An existing case variant is the file itself: nothing is created beside it.
TEST_F(Files, DispositionsTreatACaseVariantAsTheFile) {
    const struct {
        const char* label;
        DWORD disposition;
        bool exists;
        bool opens;
        DWORD error;          // last error after the call
        const char* content;  // of the one file afterwards; null: no file
    } cases[] = {
        {"CREATE_NEW over a variant", CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
        {"CREATE_NEW", CREATE_NEW, false, true, 0, ""},
        {"CREATE_ALWAYS over a variant", CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
        {"CREATE_ALWAYS", CREATE_ALWAYS, false, true, 0, ""},
        {"OPEN_EXISTING a variant", OPEN_EXISTING, true, true, 0, "old"},
        {"OPEN_EXISTING", OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {"OPEN_ALWAYS a variant", OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
        {"OPEN_ALWAYS", OPEN_ALWAYS, false, true, 0, ""},
        {"TRUNCATE_EXISTING a variant", TRUNCATE_EXISTING, true, true, 0, ""},
        {"TRUNCATE_EXISTING", TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::filesystem::remove(dir.file("AppLog.txt"));
        std::filesystem::remove(dir.file("applog.txt"));
        if (c.exists) WriteWholeFile(dir.file("AppLog.txt"), "old");
        const std::string kept = c.exists ? "AppLog.txt" : "applog.txt";

        HANDLE file = CreateFileA("applog.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr, c.disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.opens);
        EXPECT_EQ(GetLastError(), c.error);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);

        int files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) files += entry.is_regular_file();
        EXPECT_EQ(files, c.content ? 1 : 0);
        if (c.content) {
            EXPECT_EQ(ReadWholeFile(dir.file(kept)), c.content);
        }
    }
}

// Folders left alone for a while have their listings kept; a name added later must
// still be found as a case variant, or OPEN_ALWAYS would make a second file beside it.
// Whole-second stamps (as on FAT) need seconds to settle, stamps with a fraction of a
// second a fraction: folders stamped an hour, a second and a moment ago.
TEST_F(Files, ANewVariantInASettledFolderIsFound) {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const struct {
        const char* name;
        timespec stamp;
    } cases[] = {
        {"an hour ago", {now.tv_sec - 3600, 0}},
        {"half a second ago", {now.tv_nsec >= 500'000'000 ? now.tv_sec : now.tv_sec - 1,
                               now.tv_nsec >= 500'000'000 ? now.tv_nsec - 500'000'000 : now.tv_nsec + 500'000'000}},
        {"a second ago, whole", {now.tv_sec - 1, 0}},
        {"just now", {now.tv_sec, now.tv_nsec > 0 ? now.tv_nsec : 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const timespec stamps[2] = {c.stamp, c.stamp};
        ASSERT_EQ(utimensat(AT_FDCWD, dir.file("Data").c_str(), stamps, 0), 0);
        HANDLE file = CreateFileA("data\\applog.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(file, INVALID_HANDLE_VALUE);

        WriteWholeFile(dir.file("Data/AppLog.txt"), "log");
        file = CreateFileA("data\\applog.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
        EXPECT_EQ(ReadThrough(file), "log");
        CloseHandle(file);
        EXPECT_FALSE(std::filesystem::exists(dir.file("Data/applog.txt")));

        std::filesystem::remove(dir.file("Data/AppLog.txt"));
        EXPECT_FALSE(DeleteFileA("data\\APPLOG.TXT"));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    }
}

TEST_F(Files, DeleteFindsAVariantAndRefusesFolders) {
    WriteWholeFile(dir.file("AppLog.txt"), "log");
    EXPECT_TRUE(DeleteFileA("applog.TXT"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("AppLog.txt")));
    EXPECT_FALSE(DeleteFileA("applog.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(DeleteFileA("data"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(DeleteFileA("none\\x"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(Files, MoveReplacesOnlyWhenAskedAndRefusesWhatItCannotMove) {
    WriteWholeFile(dir.file("New.part"), "new");
    WriteWholeFile(dir.file("Target.bin"), "old");
    EXPECT_FALSE(MoveFileExA("new.PART", "target.bin", 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(ReadWholeFile(dir.file("Target.bin")), "old");
    // A case variant of an existing name is that file, replaced in one step.
    EXPECT_TRUE(MoveFileExA("new.PART", "target.BIN", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(ReadWholeFile(dir.file("Target.bin")), "new");
    EXPECT_FALSE(std::filesystem::exists(dir.file("New.part")));
    EXPECT_TRUE(MoveFileExA("Target.bin", "Data\\Moved.bin", 0));
    EXPECT_EQ(ReadWholeFile(dir.file("Data/Moved.bin")), "new");

    EXPECT_FALSE(MoveFileExA("gone.bin", "x.bin", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(MoveFileExA("Data\\Moved.bin", "Data", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(MoveFileExA("Data\\Moved.bin", "none\\x.bin", 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(ReadWholeFile(dir.file("Data/Moved.bin")), "new");
}

TEST_F(Files, ReadWriteAndSeekReportWhatMoved) {
    HANDLE file = CreateFileA("f.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD moved = 99;
    EXPECT_TRUE(WriteFile(file, "hello", 5, &moved, nullptr));
    EXPECT_EQ(moved, 5u);

    // Reading at the end succeeds with nothing.
    char buffer[16];
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &moved, nullptr));
    EXPECT_EQ(moved, 0u);

    // A negative target fails and leaves the position.
    EXPECT_EQ(SetFilePointer(file, -6, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 5u);

    // Past the end is allowed; writing there fills the gap with zeros.
    EXPECT_EQ(SetFilePointer(file, 8, nullptr, FILE_BEGIN), 8u);
    EXPECT_EQ(GetFileSize(file, nullptr), 5u);
    EXPECT_TRUE(WriteFile(file, "!", 1, &moved, nullptr));
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(file, &high), 9u);
    EXPECT_EQ(high, 0u);

    // With the high half, the two halves are one signed 64-bit distance: -4 is -1:-4.
    LONG distanceHigh = -1;
    EXPECT_EQ(SetFilePointer(file, -4, &distanceHigh, FILE_CURRENT), 5u);
    EXPECT_EQ(distanceHigh, 0);
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &moved, nullptr));
    EXPECT_EQ(std::string(buffer, moved), std::string("\0\0\0!", 4));

    EXPECT_EQ(SetFilePointer(file, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(ReadFile(file, buffer, 1, &moved, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(ReadWholeFile(dir.file("f.bin")), std::string("hello\0\0\0!", 9));

    // A read-only handle does not write.
    file = CreateFileA("F.BIN", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteFile(file, "x", 1, &moved, nullptr));
    EXPECT_EQ(moved, 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(file);
}

TEST_F(Files, CurrentDirectoryIsShownOnDriveC) {
    const std::string expected = DriveForm(dir.path());
    const DWORD length = static_cast<DWORD>(expected.size());
    char buffer[1024];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), length);
    EXPECT_EQ(std::string(buffer), expected);

    // Too small by one: the size with the terminator, and the buffer untouched.
    std::string small(length, 'x');
    EXPECT_EQ(GetCurrentDirectoryA(length, small.data()), length + 1);
    EXPECT_EQ(small, std::string(length, 'x'));
    EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), length + 1);
    std::string exact(length + 1, 'x');
    EXPECT_EQ(GetCurrentDirectoryA(length + 1, exact.data()), length);
    EXPECT_EQ(exact, expected + '\0');
}

TEST_F(Files, SetCurrentDirectoryTakesEveryForm) {
    const std::string root = DriveForm(dir.path());
    const struct {
        std::string name;
        std::string linuxAfter;  // empty: refused with `error`, the folder unchanged
        DWORD error;
    } cases[] = {
        {"data", dir.file("Data"), 0},
        {"..", std::filesystem::path(dir.path()).parent_path().string(), 0},
        {"data\\..\\case", dir.file("Case"), 0},
        {root + "\\CASE", dir.file("Case"), 0},
        {root.substr(2) + "\\\x83\x5C\x95\x5C\\", dir.file(U8(u8"ソ表")), 0},
        {"C:\\", "/", 0},
        {"D:\\", "", ERROR_PATH_NOT_FOUND},
        {"q:", "", ERROR_PATH_NOT_FOUND},
        {"nothing", "", ERROR_FILE_NOT_FOUND},
        {"nothing\\deeper", "", ERROR_PATH_NOT_FOUND},
        {"Case\\Ab.txt", "", ERROR_DIRECTORY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("name: " + c.name);
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
        BOOL done = SetCurrentDirectoryA(c.name.c_str());
        EXPECT_EQ(done, c.linuxAfter.empty() ? FALSE : TRUE);
        if (!done) {
            EXPECT_EQ(GetLastError(), c.error);
        }
        EXPECT_EQ(std::filesystem::current_path().string(), c.linuxAfter.empty() ? dir.path() : c.linuxAfter);
    }
}

// Characters CP932 cannot hold read as '?'; Japanese reads as its Shift-JIS bytes.
TEST_F(Files, CurrentDirectoryOutsideCp932ReadsAsQuestionMarks) {
    // Kept out of the assertion macros, whose texts are in the CP932 execution set.
    const std::string snowman = U8(u8"ソ表☃");
    std::filesystem::create_directories(dir.file(snowman));
    ASSERT_EQ(chdir(snowman.c_str()), 0);
    char buffer[1024];
    GetCurrentDirectoryA(sizeof buffer, buffer);
    EXPECT_EQ(std::string(buffer), DriveForm(dir.path()) + "\\\x83\x5C\x95\x5C?");
}

}  // namespace

}  // namespace files_test
