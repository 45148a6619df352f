// Path translation without the file system: how a CP932 name splits and converts, and
// how a Linux path reads on drive C:.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "kernel/paths.h"

namespace paths_test {

namespace {

std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

TEST(PathTranslation, SplitsShiftJisAwareAndConverts) {
    const struct {
        std::string name;
        DWORD error;
        bool absolute;
        std::vector<std::string> parts;  // UTF-8
        bool trailing;
    } cases[] = {
        {"a\\b/c", 0, false, {"a", "b", "c"}, false},
        {"C:\\", 0, true, {}, false},
        {"c:", 0, false, {}, false},
        {"C:data\\x", 0, false, {"data", "x"}, false},
        {"\\\\a//b\\", 0, true, {"a", "b"}, true},
        // 0x5C and 0x7C as second bytes belong to their characters.
        {"\x83\x5C\x95\x5C\\x", 0, false, {U8(u8"ソ表"), "x"}, false},
        {"\x81\x7C", 0, false, {U8(u8"－")}, false},  // U+FF0D, as CP932 maps it
        {"\xB1\xB2", 0, false, {U8(u8"ｱｲ")}, false},  // single-byte katakana
        {"..\\.\\a", 0, false, {"..", ".", "a"}, false},
        {"D:\\a", ERROR_PATH_NOT_FOUND, false, {}, false},
        {"z:", ERROR_PATH_NOT_FOUND, false, {}, false},
        {"", ERROR_PATH_NOT_FOUND, false, {}, false},
        {"a\x83", ERROR_INVALID_NAME, false, {}, false},      // a lead byte at the end
        {"a\xFD", ERROR_INVALID_NAME, false, {}, false},      // not a CP932 character
        {"a|b", ERROR_INVALID_NAME, false, {}, false},
        {"a\\b:c", ERROR_INVALID_NAME, false, {}, false},
        {"a*", ERROR_INVALID_NAME, false, {}, false},
        {std::string("a\tb"), ERROR_INVALID_NAME, false, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.name));
        kernel::ParsedPath parsed;
        EXPECT_EQ(kernel::ParsePath(c.name, &parsed), c.error);
        if (c.error != 0) continue;
        EXPECT_EQ(parsed.absolute, c.absolute);
        EXPECT_EQ(parsed.parts, c.parts);
        EXPECT_EQ(parsed.trailingSeparator, c.trailing);
    }
}

TEST(PathTranslation, LinuxPathsReadOnDriveC) {
    const struct {
        std::string linuxPath;
        std::string shown;  // CP932
    } cases[] = {
        {"/", "C:\\"},
        {"/home/user", "C:\\home\\user"},
        {U8(u8"/ソ表/x"), "C:\\\x83\x5C\x95\x5C\\x"},
        {U8(u8"/a☃b"), "C:\\a?b"},     // not in CP932
        {"/bad\xFF", "C:\\bad?"},        // not UTF-8
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.linuxPath));
        EXPECT_EQ(kernel::DrivePathOf(c.linuxPath), c.shown);
    }
}

}  // namespace

}  // namespace paths_test
