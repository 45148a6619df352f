// Temporary files and the file controls: the temporary folder in drive form, unique new
// files, drive C: mapped to a test's folder, and the record of opened names.
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include "TempDir.h"
#include "platform/testing.h"
#include "platform/win32.h"

namespace tempfiles_test {

namespace {

// The "C:\..." form of a Linux path made only of ASCII.
std::string DriveForm(const std::string& linuxPath) {
    std::string path = "C:" + linuxPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

class TempFiles : public ::testing::Test {
protected:
    void TearDown() override { ptest::ResetControls(); }
    qztest::TempDir dir;
};

TEST_F(TempFiles, TempPathIsTheFolderInDriveForm) {
    std::filesystem::create_directory(dir.file("t"));
    ptest::SetTempFolder(dir.file("t"));
    const std::string expected = DriveForm(std::filesystem::canonical(dir.file("t")).string()) + "\\";
    char buffer[256];
    EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), expected.size());
    EXPECT_EQ(buffer, expected);

    char small[4] = "abc";
    EXPECT_EQ(GetTempPathA(sizeof small, small), expected.size() + 1);
    EXPECT_STREQ(small, "abc");

    ptest::FailCall("GetTempPathA");
    EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 0u);
}

TEST_F(TempFiles, TempFileNamesMakeNewEmptyFiles) {
    std::filesystem::create_directory(dir.file("t"));
    const std::string folder = DriveForm(std::filesystem::canonical(dir.file("t")).string());
    char first[MAX_PATH], second[MAX_PATH];
    UINT a = GetTempFileNameA((folder + "\\").c_str(), "tmpfile", 0, first);
    UINT b = GetTempFileNameA(folder.c_str(), "tmp", 0, second);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_NE(std::string(first), std::string(second));
    for (const char* name : {first, second}) {
        std::string text = name;
        ASSERT_EQ(text.substr(0, folder.size() + 4), folder + "\\tmp");
        EXPECT_EQ(text.substr(text.size() - 4), ".tmp");
        EXPECT_NE(text.find_first_of("0123456789ABCDEF", folder.size() + 4), std::string::npos);
    }
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("t"))) {
        EXPECT_EQ(std::filesystem::file_size(entry.path()), 0u);
        files++;
    }
    EXPECT_EQ(files, 2);

    // A given number only makes the name.
    char named[MAX_PATH];
    EXPECT_EQ(GetTempFileNameA(folder.c_str(), "tmp", 0x2A, named), 0x2Au);
    EXPECT_EQ(std::string(named), folder + "\\tmp2A.tmp");
    EXPECT_FALSE(std::filesystem::exists(dir.file("t/tmp2A.tmp")));

    EXPECT_EQ(GetTempFileNameA((folder + "\\missing").c_str(), "tmp", 0, named), 0u);
    ptest::FailCall("GetTempFileNameA");
    EXPECT_EQ(GetTempFileNameA(folder.c_str(), "tmp", 0, named), 0u);
}

TEST_F(TempFiles, DriveCCanStandForATestFolder) {
    std::filesystem::create_directories(dir.file("GAME/Data"));
    qztest::WriteWholeFile(dir.file("GAME/Data/a.bin"), "abc");
    ptest::MapDriveC(dir.path());
    char current[MAX_PATH];
    EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, current), 3u);
    EXPECT_STREQ(current, "C:\\");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\game"));
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_STREQ(current, "C:\\GAME");

    ptest::RecordFileOpens(true);
    HANDLE file = CreateFileA("C:\\GAME\\DATA\\A.BIN", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(file, nullptr), 3u);
    CloseHandle(file);
    EXPECT_EQ(CreateFileA("C:.QZA", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(ptest::TakeRecordedFileOpens(), (std::vector<std::string>{"C:\\GAME\\DATA\\A.BIN", "C:.QZA"}));

    // A fault for one name leaves every other name alone.
    ptest::FailCall("CreateFileA:data\\a.bin");
    EXPECT_EQ(CreateFileA("data\\a.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    file = CreateFileA("data\\a.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

}  // namespace

}  // namespace tempfiles_test
