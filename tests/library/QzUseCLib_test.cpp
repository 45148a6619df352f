// The library's string, memory, number and list helpers and its Mersenne Twister.
#include <cfenv>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QzUseCLib.h"
#include "platform/testing.h"

namespace QzUseCLib_test {

namespace {

// Offset of a found pointer in its text, -1 for null.
long OffsetIn(const char* text, const char* found) {
    return found == nullptr ? -1 : static_cast<long>(found - text);
}

// ---- Shift-JIS-aware searches ---------------------------------------------------------

struct SearchCase {
    const char* name;
    const char* text;
    int c;
    long first;
    long last;
};

// "\x83" "\x5C" is ソ and "\x95" "\x5C" is 表: their second byte is a backslash.
const SearchCase kSearchCases[] = {
    {"plain", "a\\b\\c", '\\', 1, 3},
    {"trail 5C then a real one", "\x83" "\x5C" "\\x", '\\', 2, 2},
    {"trail 5C only", "C:\x95" "\x5C", '\\', -1, -1},
    {"trail 5C around a real one", "\x95" "\x5C" "a\\" "\x83" "\x5C", '\\', 3, 3},
    {"lead E0-FC", "\xE0" "\x5C" "\xFC" "\x5C" "\\", '\\', 4, 4},
    {"trail equals the wanted letter", "\x83" "A" "A", 'A', 2, 2},
    {"a lead byte is never found", "\x83" "\x41", 0x83, -1, -1},
    {"half-width kana is one byte", "\xB1" "\\", '\\', 1, 1},
    {"0x80, 0xA0, 0xFD lead nothing", "\x80" "\\" "\xA0" "\\" "\xFD" "\\", '\\', 1, 5},
    {"only the low byte of c counts", "a/b/", 0x12F, 1, 3},
    {"not present", "abc", 'z', -1, -1},
    {"the terminator is not searched", "abc", 0, -1, -1},
    {"empty", "", 'a', -1, -1},
};

TEST(SjisSearch, FirstAndLastStepOverDoubleByteCharacters) {
    for (const SearchCase& t : kSearchCases) {
        SCOPED_TRACE(t.name);
        EXPECT_EQ(OffsetIn(t.text, FindFirstChar(t.text, t.c)), t.first);
        EXPECT_EQ(OffsetIn(t.text, FindLastChar(t.text, t.c)), t.last);
    }
}

TEST(SjisSearch, LeadByteBeforeTheTerminatorEndsTheScan) {
    // A backslash and a letter lie past the terminator; a scan that took the terminator
    // as the lead byte's partner would find them.
    char text[] = {'a', '\x83', '\0', '\\', 'b', '\0'};
    EXPECT_EQ(FindFirstChar(text, '\\'), nullptr);
    EXPECT_EQ(FindLastChar(text, '\\'), nullptr);
    EXPECT_EQ(FindFirstChar(text, 'a'), text);
    EXPECT_EQ(FindLastChar(text, 'a'), text);
    UpperCaseString(text);
    EXPECT_EQ(text[0], 'A');
    EXPECT_EQ(text[4], 'b');
    EXPECT_EQ(GetShiftJisCutLength(text, 10), 2);
}

TEST(SjisSearch, UpperCaseLeavesSecondBytesAlone) {
    // 0x83 0x61 is a double-byte character whose second byte reads as 'a'.
    char text[] = "abc\x83" "a" "xyz\x82" "\xA0" "q";
    UpperCaseString(text);
    EXPECT_STREQ(text, "ABC\x83" "a" "XYZ\x82" "\xA0" "Q");
}

// ---- strings -------------------------------------------------------------------------------

TEST(StringHelpers, FindStringIsBytewise) {
    struct Case {
        const char* str;
        const char* sub;
        long offset;
    };
    const Case cases[] = {
        {"abcabc", "ca", 2},
        {"abc", "", 0},                // empty sub: found at str
        {"", "", -1},                  // nothing is found in an empty str
        {"", "a", -1},
        {"ab", "abc", -1},
        {"\x83" "\x5C", "\x5C", 1},  // not Shift-JIS-aware
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(std::string(t.str) + " / " + t.sub);
        EXPECT_EQ(OffsetIn(t.str, FindString(t.str, t.sub)), t.offset);
    }
}

TEST(StringHelpers, ComparisonsAnswerOnlyEqualOrNot) {
    EXPECT_EQ(CompareStrings("abc", "abd"), 1);
    EXPECT_EQ(CompareStrings("abd", "abc"), 1);
    EXPECT_EQ(CompareStrings("abc", "abc"), 0);
    EXPECT_EQ(CompareStrings("ab", "abc"), 1);
    EXPECT_EQ(CompareStrings("", ""), 0);

    // Bytes past the terminators are compared when n reaches them.
    const char a[] = {'a', 'b', '\0', 'x'};
    const char b[] = {'a', 'b', '\0', 'y'};
    EXPECT_EQ(CompareStringsN(a, b, 3), 0);
    EXPECT_EQ(CompareStringsN(a, b, 4), 1);
    EXPECT_EQ(CompareStringsN(b, a, 4), 1);
    EXPECT_EQ(CompareStringsN(a, b, 0), 0);
}

TEST(StringHelpers, ConvertStringToInt) {
    struct Case {
        const char* text;
        int value;
    };
    const Case cases[] = {
        {"x-12y", -12},
        {"abc", -1},
        {"", -1},
        {"-", 0},
        {"--5", 0},
        {"007", 7},
        {"HTTP/1.0 200 OK", 1},
        {" 200 OK", 200},
        {"2147483647", INT_MAX},
        {"-2147483647", -INT_MAX},
        {"2147483648", INT_MIN},   // wraps in 32 bits
        {"-2147483648", INT_MIN},
        {"4294967297", 1},
        {"99999999999", 1215752191},  // 99999999999 mod 2^32
        {"00000000000000000000000000000000" "5", 0},  // at most 32 digits are read
        {"-0000000000000000000000000000000" "9", -9},  // the minus is not a digit
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.text);
        EXPECT_EQ(ConvertStringToInt(t.text), t.value);
    }
}

TEST(StringHelpers, ConvertIntToString) {
    struct Case {
        int value;
        int base;
        const char* text;
    };
    const Case cases[] = {
        {-255, 16, "-ff"},
        {0, 10, "0"},
        {0, 2, "0"},
        {5, 2, "101"},
        {35, 36, "z"},
        {INT_MAX, 36, "zik0zj"},
        {INT_MAX, 10, "2147483647"},
        {INT_MIN, 10, "-2147483648"},
        {INT_MIN, 16, "-80000000"},
        {INT_MIN, 2, "-10000000000000000000000000000000"},
        {-1, 8, "-1"},
        {7, 1, ""},   // no such base: nothing, not a crash
        {7, 37, ""},
        {7, 0, ""},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(std::to_string(t.value) + " base " + std::to_string(t.base));
        char buffer[40];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(ConvertIntToString(t.value, buffer, t.base), buffer);
        EXPECT_STREQ(buffer, t.text);
    }
}

TEST(StringHelpers, CopyAppendAndFormat) {
    char buffer[64];
    CopyString(buffer, "abc");
    AppendString(buffer, "de");
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(FormatString(buffer, "%s=%d %.1f", "x", -12, 2.25), 0);
    EXPECT_STREQ(buffer, "x=-12 2.2");
}

// The bounded forms: text that does not fit is cut on a character boundary and the
// bytes after the buffer stay untouched.
TEST(StringHelpers, BoundedCopyAppendFormatCutOnCharacterBoundaries) {
    struct Case {
        const char* name;
        int which;  // 0 copy, 1 append to "ab", 2 format "%s"
        const char* src;
        int size;
        const char* expected;
    };
    const Case cases[] = {
        {"copy fits", 0, "abc", 4, "abc"},
        {"copy cut", 0, "abcd", 4, "abc"},
        {"copy cut before a split character", 0, "ab\x83" "\x41", 4, "ab"},
        {"copy whole character fits", 0, "ab\x83" "\x41", 5, "ab\x83" "\x41"},
        {"copy size 1", 0, "abc", 1, ""},
        {"append fits", 1, "cd", 5, "abcd"},
        {"append cut", 1, "cdef", 5, "abcd"},
        {"append cut before a split character", 1, "c\x83" "\x41", 5, "abc"},
        {"format fits", 2, "abc\x83" "\x41", 6, "abc\x83" "\x41"},
        {"format cut", 2, "abcdef", 4, "abc"},
        {"format cut before a split character", 2, "abcd\x83" "\x41" "xyz", 6, "abcd"},
        {"format cut after a whole character", 2, "\x83" "\x41" "\x83" "\x41" "z", 5, "\x83" "\x41" "\x83" "\x41"},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        char buffer[32];
        std::memset(buffer, '#', sizeof buffer);
        int length = 0;
        if (t.which == 0) {
            length = CopyStringBounded(buffer, t.size, t.src);
        } else if (t.which == 1) {
            std::memcpy(buffer, "ab", 3);
            length = AppendStringBounded(buffer, t.size, t.src);
        } else {
            length = FormatStringBounded(buffer, t.size, "%s", t.src);
        }
        EXPECT_STREQ(buffer, t.expected);
        EXPECT_EQ(length, static_cast<int>(std::strlen(t.expected)));
        for (int i = t.size; i < static_cast<int>(sizeof buffer); i++) EXPECT_EQ(buffer[i], '#') << i;
    }
    char untouched = '#';
    EXPECT_EQ(CopyStringBounded(&untouched, 0, "abc"), 0);
    EXPECT_EQ(untouched, '#');
}

// ---- memory ----------------------------------------------------------------------------------

TEST(ByteHelpers, FillCopyMoveCompare) {
    unsigned char bytes[16];
    FillBytes(bytes, 0x1A5, 16);
    for (unsigned char b : bytes) EXPECT_EQ(b, 0xA5);
    FillBytes(bytes, 0, 0);
    EXPECT_EQ(bytes[0], 0xA5);

    unsigned char copy[16] = {};
    EXPECT_EQ(CopyBytes(copy, bytes, 16), copy);
    EXPECT_EQ(CompareBytes(copy, bytes, 16), 0);
    copy[15] = 0;
    EXPECT_EQ(CompareBytes(copy, bytes, 16), 1);
    EXPECT_EQ(CompareBytes(bytes, copy, 16), 1);
    EXPECT_EQ(CompareBytes(copy, bytes, 15), 0);
    EXPECT_EQ(CompareBytes(copy, "zzz", 0), 0);
}

TEST(ByteHelpers, MoveBytesKeepsOverlappingAreasIntact) {
    const char original[] = "0123456789abcdef";
    char buffer[17];

    std::memcpy(buffer, original, 17);
    EXPECT_EQ(MoveBytes(buffer + 3, buffer, 10), buffer + 3);  // upward: copied from the end
    EXPECT_EQ(std::string(buffer, 16), "0120123456789def");

    std::memcpy(buffer, original, 17);
    MoveBytes(buffer, buffer + 3, 10);  // downward: copied from the start
    EXPECT_EQ(std::string(buffer, 16), "3456789abcabcdef");

    std::memcpy(buffer, original, 17);
    MoveBytes(buffer, buffer, 10);
    EXPECT_EQ(std::string(buffer, 16), std::string(original, 16));
}

// ---- numbers ---------------------------------------------------------------------------------

const int kRoundingModes[] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};

TEST(NumberHelpers, ConversionsTruncateInEveryRoundingModeAndSaturateToTheMostNegative) {
    const float nanF = std::numeric_limits<float>::quiet_NaN();
    const double nanD = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct FloatCase {
        float in;
        int out;
    };
    const FloatCase floatCases[] = {
        {-2.7f, -2}, {2.7f, 2}, {-0.5f, 0}, {0.5f, 0}, {1.0f, 1},
        {2147483520.0f, 2147483520},  // the largest float below 2^31
        {-2147483648.0f, INT_MIN},
        {3e9f, INT_MIN}, {-3e9f, INT_MIN}, {2147483648.0f, INT_MIN},
        {nanF, INT_MIN}, {static_cast<float>(inf), INT_MIN}, {static_cast<float>(-inf), INT_MIN},
    };
    struct DoubleCase {
        double in;
        int out;
    };
    const DoubleCase doubleCases[] = {
        {2.7, 2}, {-2.7, -2}, {2147483647.9, INT_MAX}, {-2147483648.9, INT_MIN},
        {2147483648.0, INT_MIN}, {-2147483649.0, INT_MIN}, {3e9, INT_MIN}, {nanD, INT_MIN}, {inf, INT_MIN},
    };
    struct Int64Case {
        double in;
        int64_t out;
    };
    const Int64Case int64Cases[] = {
        {2.7, 2}, {-2.7, -2}, {3e9, 3000000000LL}, {9.2e18, 9200000000000000000LL},
        {-9223372036854775808.0, INT64_MIN}, {9223372036854775808.0, INT64_MIN},
        {1e19, INT64_MIN}, {-1e19, INT64_MIN}, {nanD, INT64_MIN}, {-inf, INT64_MIN},
    };

    for (int mode : kRoundingModes) {
        ASSERT_EQ(std::fesetround(mode), 0);
        for (const FloatCase& t : floatCases) {
            volatile float in = t.in;
            EXPECT_EQ(ConvertFloatToInt(in), t.out) << "float " << t.in << " mode " << mode;
        }
        for (const DoubleCase& t : doubleCases) {
            volatile double in = t.in;
            EXPECT_EQ(ConvertDoubleToInt(in), t.out) << "double " << t.in << " mode " << mode;
        }
        for (const Int64Case& t : int64Cases) {
            volatile double in = t.in;
            EXPECT_EQ(ConvertDoubleToInt64(in), t.out) << "int64 " << t.in << " mode " << mode;
        }
        const double rect[4] = {1.9, -1.9, 1e10, nanD};
        int out[4] = {};
        ConvertDoubleRectToIntRect(rect, out);
        EXPECT_EQ(out[0], 1);
        EXPECT_EQ(out[1], -1);
        EXPECT_EQ(out[2], INT_MIN);
        EXPECT_EQ(out[3], INT_MIN);
        EXPECT_EQ(std::fegetround(), mode);  // the caller's mode is left as it was
    }
    std::fesetround(FE_TONEAREST);
}

TEST(NumberHelpers, AbsSqrtSinCos) {
    EXPECT_EQ(GetAbsInt(-5), 5);
    EXPECT_EQ(GetAbsInt(5), 5);
    EXPECT_EQ(GetAbsInt(0), 0);
    EXPECT_EQ(GetAbsInt(INT_MAX), INT_MAX);
    EXPECT_EQ(GetAbsInt(-INT_MAX), INT_MAX);
    EXPECT_EQ(GetAbsInt(INT_MIN), INT_MIN);  // the most negative value stays as it is

    EXPECT_EQ(GetAbsFloat(-1.5f), 1.5f);
    EXPECT_FALSE(std::signbit(GetAbsFloat(-0.0f)));
    EXPECT_EQ(GetSqrtFloat(16.0f), 4.0f);
    EXPECT_EQ(GetSqrtFloat(2.0f), 1.41421354f);

    float s = 9.0f, c = 9.0f;
    GetSinCos(0.0f, &s, &c);
    EXPECT_EQ(s, 0.0f);
    EXPECT_EQ(c, 1.0f);
    GetSinCos(1.0f, &s, &c);
    EXPECT_EQ(s, static_cast<float>(0.8414709848078965));
    EXPECT_EQ(c, static_cast<float>(0.5403023058681398));
}

// ---- lists -------------------------------------------------------------------------------------

std::vector<int> Walk(const HandleListNode& first) {
    std::vector<int> handles;
    for (const HandleListNode* n = first.next; n->handle != -1; n = n->next) {
        EXPECT_EQ(n->next->prev, n) << "broken back link after handle " << n->handle;
        handles.push_back(n->handle);
    }
    return handles;
}

TEST(HandleLists, NewestFirstAndRelinking) {
    HandleListNode first, last, a, b, c;
    std::memset(&first, 0x55, sizeof first);
    std::memset(&last, 0x55, sizeof last);
    EXPECT_EQ(InitHandleList(&first, &last), 0);
    EXPECT_EQ(first.handle, -1);
    EXPECT_EQ(last.handle, -1);
    EXPECT_EQ(first.data, nullptr);
    EXPECT_EQ(last.data, nullptr);
    EXPECT_EQ(first.prev, nullptr);
    EXPECT_EQ(first.next, &last);
    EXPECT_EQ(last.prev, &first);
    EXPECT_EQ(last.next, nullptr);
    EXPECT_TRUE(Walk(first).empty());

    int payload = 0;
    EXPECT_EQ(InsertHandleListNode(&first, &a, 1, &payload), 0);
    InsertHandleListNode(&first, &b, 2, nullptr);
    InsertHandleListNode(&first, &c, 3, nullptr);
    EXPECT_EQ(Walk(first), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(a.data, &payload);
    EXPECT_EQ(first.prev, nullptr);
    EXPECT_EQ(last.next, nullptr);

    // The middle node: its neighbours join, its own links stay.
    EXPECT_EQ(RemoveHandleListNode(&b), 0);
    EXPECT_EQ(Walk(first), (std::vector<int>{3, 1}));
    EXPECT_EQ(b.prev, &c);
    EXPECT_EQ(b.next, &a);

    // Relinked, it comes first again.
    InsertHandleListNode(&first, &b, 2, nullptr);
    EXPECT_EQ(Walk(first), (std::vector<int>{2, 3, 1}));

    RemoveHandleListNode(&a);  // the oldest
    RemoveHandleListNode(&b);  // the newest
    EXPECT_EQ(Walk(first), (std::vector<int>{3}));
    RemoveHandleListNode(&c);
    EXPECT_EQ(first.next, &last);
    EXPECT_EQ(last.prev, &first);

    // Inserting after a live node places the new one behind it.
    InsertHandleListNode(&first, &a, 1, nullptr);
    InsertHandleListNode(&a, &b, 2, nullptr);
    EXPECT_EQ(Walk(first), (std::vector<int>{1, 2}));
}

// ---- Mersenne Twister ----------------------------------------------------------------------------

// The 1998 seeding, as its words are defined.
std::vector<uint32_t> SeededWords(uint32_t seed) {
    std::vector<uint32_t> words(kMersenneTwisterWords);
    uint32_t x = seed;
    for (uint32_t& w : words) {
        uint32_t x1 = 69069u * x + 1u;
        w = (x & 0xFFFF0000u) | (x1 >> 16);
        x = 69069u * x1 + 1u;
    }
    return words;
}

TEST(MersenneTwister, SeedingRegeneratesOnce) {
    // The reference words above agree with the one example the seeding gives.
    EXPECT_EQ(SeededWords(1)[0], 1u);  // 0 | (69070 >> 16)

    g_mersenneTwister.index = 5;
    SeedMersenneTwister(1);
    EXPECT_EQ(g_mersenneTwister.initialised, 1);
    EXPECT_EQ(g_mersenneTwister.index, 0);
    MersenneTwisterState once = g_mersenneTwister;
    SeedMersenneTwister(1);
    EXPECT_EQ(std::memcmp(g_mersenneTwister.output, once.output, sizeof once.output), 0);
    SeedMersenneTwister(2);
    EXPECT_NE(std::memcmp(g_mersenneTwister.output, once.output, sizeof once.output), 0);
}

TEST(MersenneTwister, TemperedTableEqualsTheStandardEngine) {
    for (uint32_t seed : {0u, 1u, 4357u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(seed);
        SeedMersenneTwister(seed);

        // The standard engine's stream state is its 624 words and its position; at
        // position 624 its next draw regenerates all of them, as seeding does.
        std::ostringstream state;
        for (uint32_t w : SeededWords(seed)) state << w << ' ';
        state << kMersenneTwisterWords;
        std::mt19937 engine;
        std::istringstream in(state.str());
        in >> engine;
        ASSERT_FALSE(in.fail());

        for (int i = 0; i < kMersenneTwisterWords; i++) {
            ASSERT_EQ(g_mersenneTwister.output[i], engine()) << "word " << i;
        }
        // The state words themselves also match the engine's after its regeneration.
        std::ostringstream after;
        after << engine;
        std::istringstream words(after.str());
        for (int i = 0; i < kMersenneTwisterWords; i++) {
            uint32_t w = 0;
            words >> w;
            ASSERT_EQ(g_mersenneTwister.state[i], w) << "state word " << i;
        }
    }
}

TEST(MersenneTwister, SimdRowGivesThePlainRowsWords) {
    for (uint32_t seed : {0u, 1u, 4357u, 0x9E3779B9u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(seed);
        SeedMersenneTwister(seed);
        MersenneTwisterState start = g_mersenneTwister;
        for (int round = 0; round < 3; round++) {
            MersenneTwisterState plain = start;
            g_mersenneTwister = start;
            RegenerateMersenneTwisterPlain();
            plain = g_mersenneTwister;

            g_mersenneTwister = start;
            g_mersenneTwister.index = 77;
            RegenerateMersenneTwisterMMX();
            EXPECT_EQ(std::memcmp(g_mersenneTwister.state, plain.state, sizeof plain.state), 0) << round;
            EXPECT_EQ(std::memcmp(g_mersenneTwister.output, plain.output, sizeof plain.output), 0) << round;
            EXPECT_EQ(g_mersenneTwister.index, 0);
            start = plain;
        }
    }
}

TEST(MersenneTwister, MmxFlagFollowsTheProcessor) {
    SeedMersenneTwister(5);
    EXPECT_EQ(g_mersenneTwister.mmxFlag, 1);  // every x86-64 processor reports MMX
    EXPECT_EQ(CheckCpuMMX(), 1);
    MersenneTwisterState withMmx = g_mersenneTwister;

    ptest::CpuOverride noMmx;
    noMmx.noMmx = true;
    ptest::OverrideCpu(noMmx);
    EXPECT_EQ(CheckCpuMMX(), 0);
    SeedMersenneTwister(5);
    EXPECT_EQ(g_mersenneTwister.mmxFlag, 0);
    EXPECT_EQ(std::memcmp(g_mersenneTwister.output, withMmx.output, sizeof withMmx.output), 0);

    ptest::CpuOverride noCpuid;
    noCpuid.noCpuid = true;
    ptest::OverrideCpu(noCpuid);
    EXPECT_EQ(CheckCpuMMX(), 0);
    ptest::ResetControls();
}

}  // namespace

}  // namespace QzUseCLib_test
