// kernel/widechar.cpp: MultiByteToWideChar, CP932 (the ANSI and OEM code pages) or UTF-8
// to UTF-16, for the library's wide names (movie files). CP932 goes through iconv
// (kernel/text.h) to UTF-8 first. Any thread.
#include <string>
#include <vector>

#include "kernel/diag.h"
#include "kernel/text.h"

namespace {

// UTF-8 to UTF-16; false at the first sequence that is not UTF-8 when `strict`, else
// that sequence becomes U+FFFD.
bool Utf8ToUtf16(std::string_view in, bool strict, std::vector<WCHAR>* out) {
    out->clear();
    size_t i = 0;
    while (i < in.size()) {
        unsigned char c = static_cast<unsigned char>(in[i]);
        uint32_t code = 0;
        size_t length = 0;
        if (c < 0x80) {
            code = c;
            length = 1;
        } else if (c >= 0xC2 && c <= 0xDF) {
            code = c & 0x1F;
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            code = c & 0x0F;
            length = 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            code = c & 0x07;
            length = 4;
        }
        bool good = length > 0 && i + length <= in.size();
        for (size_t k = 1; good && k < length; ++k) {
            unsigned char next = static_cast<unsigned char>(in[i + k]);
            if ((next & 0xC0) != 0x80)
                good = false;
            code = code << 6 | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not characters.
        if (good && ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
                     (code >= 0xD800 && code <= 0xDFFF)))
            good = false;
        if (!good) {
            if (strict)
                return false;
            out->push_back(0xFFFD);
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out->push_back(static_cast<WCHAR>(0xD800 + (code >> 10)));
            out->push_back(static_cast<WCHAR>(0xDC00 + (code & 0x3FF)));
        } else {
            out->push_back(static_cast<WCHAR>(code));
        }
        i += length;
    }
    return true;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int bytes, LPWSTR out, int outChars) {
    if (text == nullptr || bytes == 0 || bytes < -1 || outChars < 0 || (outChars > 0 && out == nullptr))
        return kernel::Fail(ERROR_INVALID_PARAMETER, 0);
    if (codePage != CP_ACP && codePage != CP_OEMCP && codePage != 932 && codePage != CP_UTF8)
        return kernel::Fail(ERROR_INVALID_PARAMETER, 0);
    size_t length = 0;
    if (bytes < 0) {
        while (text[length] != '\0')
            ++length;
        ++length;  // the terminator is converted too
    } else {
        length = static_cast<size_t>(bytes);
    }
    const bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
    std::string_view input(text, length);
    std::string utf8;
    if (codePage == CP_UTF8) {
        utf8.assign(input);
    } else if (strict) {
        if (!kernel::Cp932ToUtf8Strict(input, &utf8))
            return kernel::Fail(ERROR_NO_UNICODE_TRANSLATION, 0);
    } else {
        utf8 = kernel::Cp932ToUtf8(input);
    }
    std::vector<WCHAR> wide;
    if (!Utf8ToUtf16(utf8, strict, &wide))
        return kernel::Fail(ERROR_NO_UNICODE_TRANSLATION, 0);
    if (outChars == 0)
        return static_cast<int>(wide.size());
    if (wide.size() > static_cast<size_t>(outChars))
        return kernel::Fail(ERROR_INSUFFICIENT_BUFFER, 0);
    for (size_t i = 0; i < wide.size(); ++i)
        out[i] = wide[i];
    return static_cast<int>(wide.size());
}
