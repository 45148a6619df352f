// QzWinFilePath.cpp: the path walker shared by MakeFullPath and the archive set's
// MakeAbsolutePath (rules in QzWinFilePath.h). No state; any thread.
#include "QzWinFilePath.h"

#include <cstring>

#include "QzUseCLib.h"
#include "QzWinFileAccess.h"

namespace {

constexpr int kMaxComponent = 255;
constexpr int kFullPathSize = 260;

bool IsSeparator(unsigned char c) { return c == '\\' || c == '/'; }

unsigned char UpperAscii(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c; }

// Length of the character at text: 2 for a lead byte followed by a byte, else 1.
int CharLength(const unsigned char* text) { return IsShiftJisLeadByte(text[0]) && text[1] != 0 ? 2 : 1; }

// The output being built, bounded by its size.
struct PathBuilder {
    char* out;
    int size;
    int length;
    bool upperCase;
};

bool Append(PathBuilder* b, const unsigned char* text, int length) {
    if (b->length + length >= b->size) return false;
    for (int i = 0; i < length;) {
        int n = CharLength(text + i);
        if (i + n > length) n = length - i;
        b->out[b->length++] = static_cast<char>(n == 1 && b->upperCase ? UpperAscii(text[i]) : text[i]);
        if (n == 2) b->out[b->length++] = static_cast<char>(text[i + 1]);
        i += n;
    }
    b->out[b->length] = '\0';
    return true;
}

// "..": back to the last '\', '/' or ':' (found character by character); a drive stays.
void CutLastComponent(PathBuilder* b) {
    const unsigned char* text = reinterpret_cast<const unsigned char*>(b->out);
    int cut = 0;
    for (int i = 0; i < b->length; i += CharLength(text + i)) {
        if (IsSeparator(text[i])) cut = i;
        if (text[i] == ':') cut = i + 1;
    }
    b->length = cut;
    b->out[cut] = '\0';
}

bool AppendComponent(PathBuilder* b, const unsigned char* component, int length) {
    return Append(b, reinterpret_cast<const unsigned char*>("\\"), 1) && Append(b, component, length);
}

// Length of base without one trailing separator (a real one, not a second byte).
int BaseLengthWithoutSeparator(const unsigned char* base) {
    int length = 0;
    int lastChar = -1;
    while (base[length] != 0) {
        lastChar = length;
        length += CharLength(base + length);
    }
    if (lastChar >= 0 && length - lastChar == 1 && IsSeparator(base[lastChar])) return lastChar;
    return length;
}

// The walk itself; false when the path fails.
bool WalkInto(PathBuilder* b, const unsigned char* p, const unsigned char* base) {
    bool rooted;
    if (IsSeparator(p[0])) {
        // The base's drive: its first two characters.
        int driveLength = base[0] == 0 ? 0 : base[1] == 0 ? 1 : 2;
        rooted = Append(b, base, driveLength);
        p += 1;
    } else if (p[0] != 0 && p[1] == ':') {
        rooted = Append(b, p, 2);
        p += 2;
        if (IsSeparator(p[0])) p += 1;
    } else {
        rooted = Append(b, base, BaseLengthWithoutSeparator(base));
    }
    if (!rooted) return false;

    for (;;) {
        const unsigned char* start = p;
        while (*p != 0 && !IsSeparator(*p)) p += CharLength(p);
        int length = static_cast<int>(p - start);
        if (length > kMaxComponent) return false;
        if (*p == 0) return length == 0 || AppendComponent(b, start, length);
        p += 1;
        if (length == 0) return false;
        if (length == 1 && start[0] == '.') continue;
        if (length == 2 && start[0] == '.' && start[1] == '.') {
            CutLastComponent(b);
            continue;
        }
        if (!AppendComponent(b, start, length)) return false;
    }
}

}  // namespace

int WalkPath(const char* path, const char* base, int options, char* out, int outSize) {
    if (out == nullptr || outSize <= 0) return -1;
    out[0] = '\0';
    if (path == nullptr || base == nullptr) return -1;
    PathBuilder b = {out, outSize, 0, (options & kPathWalkUpperCase) != 0};
    if (!WalkInto(&b, reinterpret_cast<const unsigned char*>(path), reinterpret_cast<const unsigned char*>(base))) {
        out[0] = '\0';
        return -1;
    }
    return 0;
}

int MakeFullPath(const char* path, char* out, const char* base) {
    char current[kFullPathSize];
    if (base == nullptr) {
        current[0] = '\0';
        FileAccessGetDir(current);
        base = current;
    }
    if (path == nullptr) {
        if (CopyStringBounded(out, kFullPathSize, base) != static_cast<int>(std::strlen(base))) {
            out[0] = '\0';
            return -1;
        }
        return 0;
    }
    return WalkPath(path, base, 0, out, kFullPathSize);
}
