// MultiByteToWideChar: CP932 (this file's literals) and UTF-8 to UTF-16, with the
// counting, terminator, buffer and invalid-byte rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32.h"

namespace widechar_test {

namespace {

std::vector<WCHAR> Convert(UINT codePage, DWORD flags, const std::string& text, int bytes, int* result) {
    std::vector<WCHAR> out(64, 0xEEEE);
    *result = MultiByteToWideChar(codePage, flags, text.data(), bytes, out.data(), static_cast<int>(out.size()));
    out.resize(*result > 0 ? static_cast<size_t>(*result) : 0);
    return out;
}

TEST(MultiByteToWideChar, ConvertsCp932AndUtf8) {
    const struct {
        const char* name;
        UINT codePage;
        std::string text;
        std::vector<WCHAR> wide;
    } cases[] = {
        {"ASCII", CP_ACP, "a\\b.avi", {'a', '\\', 'b', '.', 'a', 'v', 'i'}},
        {"kana and kanji", CP_ACP, "動画ソ", {0x52D5, 0x753B, 0x30BD}},  // ソ ends in 0x5C
        {"half-width kana", CP_OEMCP, "\xB1\xB2", {0xFF71, 0xFF72}},
        {"UTF-8", CP_UTF8, reinterpret_cast<const char*>(u8"動😀"), {0x52D5, 0xD83D, 0xDE00}},
        {"bad CP932 byte", CP_ACP, "a\x80z", {'a', '?', 'z'}},
        {"bad UTF-8", CP_UTF8, "a\xC0z", {'a', 0xFFFD, 'z'}},
    };
    for (const auto& c : cases) {
        int result = 0;
        std::vector<WCHAR> got = Convert(c.codePage, 0, c.text, static_cast<int>(c.text.size()), &result);
        EXPECT_EQ(got, c.wide) << c.name;
        // The count alone, without a buffer.
        EXPECT_EQ(MultiByteToWideChar(c.codePage, 0, c.text.data(), static_cast<int>(c.text.size()), nullptr, 0),
                  static_cast<int>(c.wide.size()))
            << c.name;
    }
}

TEST(MultiByteToWideChar, TerminatorBufferAndErrors) {
    int result = 0;
    std::vector<WCHAR> got = Convert(CP_ACP, 0, "動画", -1, &result);
    EXPECT_EQ(got, (std::vector<WCHAR>{0x52D5, 0x753B, 0}));  // -1 converts the terminator too

    WCHAR small[2];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, small, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "a\x80z", 3, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 0, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 3, nullptr, 0), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, 3, nullptr, 0), 0);
}

}  // namespace

}  // namespace widechar_test
