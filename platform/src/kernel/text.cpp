// kernel/text.cpp: CP932 <-> UTF-8 over glibc's iconv. Any thread: an iconv descriptor
// keeps conversion state, so each thread opens its own, once. ASCII needs no iconv at
// all, which keeps the common file name cheap.
#include "kernel/text.h"

#include <cerrno>
#include <iconv.h>

namespace kernel {
namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `in`; on a sequence the target or source cannot take, appends `bad`
    // when it is not 0 and skips the sequence (its length from `skip`), else fails.
    template <typename Skip>
    bool Run(std::string_view in, std::string* out, char bad, Skip skip) {
        out->clear();
        if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        out->resize(in.size() * 3 + 8);
        size_t used = 0;
        while (srcLeft > 0) {
            char* dst = out->data() + used;
            size_t dstLeft = out->size() - used;
            size_t done = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            used = out->size() - dstLeft;
            if (done != static_cast<size_t>(-1)) break;
            if (errno == E2BIG) {
                out->resize(out->size() * 2);
                continue;
            }
            // EILSEQ or EINVAL (a character cut off at the end): one unusable sequence.
            if (bad == 0) return false;
            size_t length = skip(reinterpret_cast<const unsigned char*>(src), srcLeft);
            src += length;
            srcLeft -= length;
            if (used == out->size()) out->resize(out->size() * 2);
            (*out)[used++] = bad;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        out->resize(used);
        return true;
    }

private:
    iconv_t cd_;
};

bool IsAscii(std::string_view text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

size_t SkipCp932(const unsigned char* p, size_t left) { return (left >= 2 && IsSjisLeadByte(p[0])) ? 2 : 1; }

size_t SkipUtf8(const unsigned char* p, size_t left) {
    size_t length = 1;
    if (p[0] >= 0xC0 && p[0] <= 0xDF) length = 2;
    else if (p[0] >= 0xE0 && p[0] <= 0xEF) length = 3;
    else if (p[0] >= 0xF0 && p[0] <= 0xF7) length = 4;
    // Only a well-formed sequence counts as one character; a broken one is one bad byte.
    for (size_t i = 1; i < length; ++i)
        if (i >= left || (p[i] & 0xC0) != 0x80) return 1;
    return length;
}

Converter& FromCp932() {
    thread_local Converter converter("UTF-8", "CP932");
    return converter;
}

Converter& ToCp932() {
    thread_local Converter converter("CP932", "UTF-8");
    return converter;
}

}  // namespace

bool Cp932ToUtf8Strict(std::string_view cp932, std::string* utf8) {
    if (IsAscii(cp932)) {
        utf8->assign(cp932);
        return true;
    }
    return FromCp932().Run(cp932, utf8, 0, SkipCp932);
}

std::string Cp932ToUtf8(std::string_view cp932) {
    std::string utf8;
    if (IsAscii(cp932)) return std::string(cp932);
    if (!FromCp932().Run(cp932, &utf8, '?', SkipCp932)) return std::string(cp932.size(), '?');
    return utf8;
}

std::string Utf8ToCp932(std::string_view utf8) {
    std::string cp932;
    if (IsAscii(utf8)) return std::string(utf8);
    if (!ToCp932().Run(utf8, &cp932, '?', SkipUtf8)) return std::string(utf8.size(), '?');
    return cp932;
}

}  // namespace kernel
