// dmusic/text.cpp: WideCharToMultiByte, for DirectMusic's wide port names: UTF-16 to
// CP932 (the ANSI and OEM code pages here) or UTF-8. Any thread.
#include <string>

#include "kernel/diag.h"
#include "kernel/text.h"
#include "platform/dmusic.h"

namespace {

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const WCHAR* w, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = w[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (w[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR wide, int wideCount, LPSTR out, int outBytes, LPCSTR,
                        LPBOOL usedDefault) {
    if (wide == nullptr || wideCount == 0 || outBytes < 0 || (outBytes > 0 && out == nullptr))
        return kernel::Fail(ERROR_INVALID_PARAMETER, 0);
    if (codePage != CP_ACP && codePage != CP_OEMCP && codePage != 932 && codePage != CP_UTF8)
        return kernel::Fail(ERROR_INVALID_PARAMETER, 0);
    size_t n = 0;
    if (wideCount < 0) {
        while (wide[n] != 0) ++n;
        ++n;  // the terminator is converted too
    } else {
        n = static_cast<size_t>(wideCount);
    }
    const std::string utf8 = Utf16ToUtf8(wide, n);
    const std::string text = codePage == CP_UTF8 ? utf8 : kernel::Utf8ToCp932(utf8);
    if (usedDefault != nullptr) *usedDefault = FALSE;
    if (outBytes == 0) return static_cast<int>(text.size());
    if (text.size() > static_cast<size_t>(outBytes)) return kernel::Fail(ERROR_INSUFFICIENT_BUFFER, 0);
    text.copy(out, text.size());
    return static_cast<int>(text.size());
}
