// Fuzz target: the library's Shift-JIS-aware string helpers on arbitrary bytes.
// The text is copied to a heap block of exactly its length plus the terminator, so a
// scan that steps past the terminator (a lead byte in the last place) reads outside the
// block and the address sanitizer stops it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "QzUseCLib.h"

namespace {

char* TerminatedCopy(const uint8_t* data, size_t size) {
    char* text = static_cast<char*>(std::malloc(size + 1));
    std::memcpy(text, data, size);
    text[size] = '\0';
    return text;
}

// Bytes of the character at p: a lead byte and its partner, unless the partner is the
// terminator.
size_t CharacterLength(const char* p) {
    return IsShiftJisLeadByte(static_cast<uint8_t>(p[0])) && p[1] != '\0' ? 2 : 1;
}

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first byte picks the character searched for and the bounded size; the rest,
    // split at the second byte, is the text and a second text.
    const int c = data[0];
    const size_t split = data[1] % (size - 1);
    char* text = TerminatedCopy(data + 2, size - 2);
    char* other = TerminatedCopy(data + 2, split);
    const size_t length = std::strlen(text);

    const char* first = FindFirstChar(text, c);
    const char* last = FindLastChar(text, c);
    Check((first == nullptr) == (last == nullptr));
    if (first != nullptr) {
        Check(first <= last && last < text + length);
        Check(static_cast<uint8_t>(*first) == static_cast<uint8_t>(c));
        Check(!IsShiftJisLeadByte(static_cast<uint8_t>(c)));
    }

    const char* found = FindString(text, other);
    if (found != nullptr) Check(std::strncmp(found, other, std::strlen(other)) == 0);

    int value = ConvertStringToInt(text);
    char digits[40];
    ConvertIntToString(value, digits, 2 + c % 35);
    Check(std::strlen(digits) <= 33);

    const int bound = 1 + c % 64;
    std::vector<char> buffer(static_cast<size_t>(bound) + 1, '#');
    int copied = CopyStringBounded(buffer.data(), bound, text);
    Check(copied >= 0 && copied < bound && buffer[static_cast<size_t>(bound)] == '#');
    Check(std::memcmp(buffer.data(), text, static_cast<size_t>(copied)) == 0);
    // The copy ends on a character boundary, and the character after it did not fit.
    size_t boundary = 0;
    while (boundary < static_cast<size_t>(copied)) boundary += CharacterLength(text + boundary);
    Check(boundary == static_cast<size_t>(copied));
    if (boundary < length) Check(boundary + CharacterLength(text + boundary) > static_cast<size_t>(bound - 1));
    int appended = AppendStringBounded(buffer.data(), bound, other);
    Check(appended >= copied && appended < bound && buffer[static_cast<size_t>(bound)] == '#');
    int formatted = FormatStringBounded(buffer.data(), bound, "%s|%s", text, other);
    Check(formatted >= 0 && formatted < bound && buffer[static_cast<size_t>(bound)] == '#');

    UpperCaseString(text);
    Check(std::strlen(text) == length);

    std::free(other);
    std::free(text);
    return 0;
}
