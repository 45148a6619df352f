// kernel/text.h: the platform's CP932 <-> UTF-8 conversions, where Shift-JIS text from
// the library meets Linux (file names, debugger output). Any thread: each thread keeps
// its own converters.
#pragma once

#include <string>
#include <string_view>

namespace kernel {

// A byte that starts a two-byte Shift-JIS character; the byte after it is its second
// half even when that byte is 0x5C ('\') or 0x2F ('/').
inline bool IsSjisLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// CP932 to UTF-8 for names: false when some byte sequence is not a CP932 character.
bool Cp932ToUtf8Strict(std::string_view cp932, std::string* utf8);

// CP932 to UTF-8 for display: what CP932 does not define becomes '?'.
std::string Cp932ToUtf8(std::string_view cp932);

// UTF-8 to CP932: characters CP932 cannot hold, and bytes that are not UTF-8, become '?'.
std::string Utf8ToCp932(std::string_view utf8);

}  // namespace kernel
