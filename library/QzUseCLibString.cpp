// QzUseCLibString.cpp: the library's string functions and formatting wrappers.
// The searches and the upper-casing step over Shift-JIS double-byte characters with
// the fixed lead-byte ranges; a lead byte directly before the terminator ends the
// scan there rather than taking the terminator as its second byte.
// Pure functions; no state.
#include <cstdio>
#include <cstring>

#include "QzUseCLib.h"

namespace {

// Length of the longest prefix of text[0..length) that ends on a character boundary,
// for a text that goes on past length: a lead byte in the last place lost its second
// byte and is dropped.
int CharBoundaryBefore(const char* text, int length) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    int i = 0;
    while (i < length) {
        if (IsShiftJisLeadByte(bytes[i])) {
            if (i + 1 >= length) break;
            i += 2;
        } else {
            i += 1;
        }
    }
    return i;
}

// Bytes of text before its terminator, looking at no more than limit + 1 bytes.
int BoundedLength(const char* text, int limit) {
    int n = 0;
    while (n <= limit && text[n] != '\0') n++;
    return n;
}

}  // namespace

int GetShiftJisCutLength(const char* text, int maxBytes) {
    if (maxBytes <= 0) return 0;
    int length = BoundedLength(text, maxBytes);
    if (length <= maxBytes) return length;
    return CharBoundaryBefore(text, maxBytes);
}

char* CopyString(char* dst, const char* src) {
    std::memmove(dst, src, std::strlen(src) + 1);
    return dst;
}

char* AppendString(char* dst, const char* src) {
    CopyString(dst + std::strlen(dst), src);
    return dst;
}

const char* FindString(const char* str, const char* sub) {
    if (str[0] == '\0') return nullptr;
    return std::strstr(str, sub);
}

const char* FindFirstChar(const char* str, int c) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(str);
    const unsigned char wanted = static_cast<unsigned char>(c);
    while (*p != 0) {
        if (IsShiftJisLeadByte(*p)) {
            if (p[1] == 0) break;
            p += 2;
            continue;
        }
        if (*p == wanted) return reinterpret_cast<const char*>(p);
        p++;
    }
    return nullptr;
}

const char* FindLastChar(const char* str, int c) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(str);
    const unsigned char wanted = static_cast<unsigned char>(c);
    const unsigned char* found = nullptr;
    while (*p != 0) {
        if (IsShiftJisLeadByte(*p)) {
            if (p[1] == 0) break;
            p += 2;
            continue;
        }
        if (*p == wanted) found = p;
        p++;
    }
    return reinterpret_cast<const char*>(found);
}

int CompareStrings(const char* a, const char* b) {
    return std::strcmp(a, b) == 0 ? 0 : 1;
}

int CompareStringsN(const char* a, const char* b, int n) {
    if (n <= 0) return 0;
    return std::memcmp(a, b, static_cast<size_t>(n)) == 0 ? 0 : 1;
}

char* UpperCaseString(char* str) {
    unsigned char* p = reinterpret_cast<unsigned char*>(str);
    while (*p != 0) {
        if (IsShiftJisLeadByte(*p)) {
            if (p[1] == 0) break;
            p += 2;
            continue;
        }
        if (*p >= 'a' && *p <= 'z') *p = static_cast<unsigned char>(*p - 'a' + 'A');
        p++;
    }
    return str;
}

// The value wraps in 32 bits; unsigned arithmetic makes that wrap defined.
int ConvertStringToInt(const char* str) {
    const char* p = str;
    while (*p != '\0' && *p != '-' && !(*p >= '0' && *p <= '9')) p++;
    if (*p == '\0') return -1;

    bool negative = false;
    if (*p == '-') {
        negative = true;
        p++;
    }
    uint32_t value = 0;
    for (int digits = 0; digits < 32 && *p >= '0' && *p <= '9'; digits++, p++) {
        value = value * 10u + static_cast<uint32_t>(*p - '0');
    }
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

bool ReadSaturatedDecimal(const char* str, int64_t* value) {
    const char* p = str;
    while (*p != '\0' && *p != '-' && !(*p >= '0' && *p <= '9')) p++;
    const bool negative = *p == '-';
    if (negative) p++;
    if (!(*p >= '0' && *p <= '9')) return false;
    constexpr int64_t kLimit = int64_t{1} << 40;
    int64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; p++) magnitude = magnitude >= kLimit ? kLimit : magnitude * 10 + (*p - '0');
    *value = negative ? -magnitude : magnitude;
    return true;
}

char* ConvertIntToString(int value, char* buffer, int base) {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    // A base the digits cannot express gives an empty text rather than a division by zero.
    if (base < 2 || base > 36) {
        buffer[0] = '\0';
        return buffer;
    }
    // The magnitude in unsigned arithmetic, so INT_MIN needs no negation of an int.
    uint32_t magnitude = static_cast<uint32_t>(value);
    if (value < 0) magnitude = 0u - magnitude;

    char reversed[33];
    int count = 0;
    do {
        reversed[count++] = kDigits[magnitude % static_cast<uint32_t>(base)];
        magnitude /= static_cast<uint32_t>(base);
    } while (magnitude != 0);

    char* out = buffer;
    if (value < 0) *out++ = '-';
    while (count > 0) *out++ = reversed[--count];
    *out = '\0';
    return buffer;
}

int FormatString(char* buffer, const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatStringV(buffer, format, args);
    va_end(args);
    return 0;
}

int FormatStringV(char* buffer, const char* format, va_list args) {
    return std::vsprintf(buffer, format, args);
}

int CopyStringBounded(char* dst, int size, const char* src) {
    if (size <= 0) return 0;
    int length = GetShiftJisCutLength(src, size - 1);
    std::memmove(dst, src, static_cast<size_t>(length));
    dst[length] = '\0';
    return length;
}

int AppendStringBounded(char* dst, int size, const char* src) {
    if (size <= 0) return 0;
    int length = BoundedLength(dst, size - 1);
    if (length > size - 1) {
        // dst itself was never terminated inside the buffer: cut it first.
        length = CharBoundaryBefore(dst, size - 1);
        dst[length] = '\0';
        return length;
    }
    return length + CopyStringBounded(dst + length, size - length, src);
}

int FormatStringBounded(char* buffer, int size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int length = FormatStringBoundedV(buffer, size, format, args);
    va_end(args);
    return length;
}

int FormatStringBoundedV(char* buffer, int size, const char* format, va_list args) {
    if (size <= 0) return 0;
    int full = std::vsnprintf(buffer, static_cast<size_t>(size), format, args);
    if (full < 0) {
        buffer[0] = '\0';
        return -1;
    }
    if (full < size) return full;
    // Cut: the text went on past the buffer, so a lead byte in the last place is half
    // a character.
    int length = CharBoundaryBefore(buffer, static_cast<int>(std::strlen(buffer)));
    buffer[length] = '\0';
    return length;
}
