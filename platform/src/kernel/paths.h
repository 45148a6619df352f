// kernel/paths.h: Windows path names (CP932 bytes) to Linux paths (UTF-8), for every
// platform call that takes a file or folder name (files, the current directory, and
// later temporary files, archives and movies).
//
// Rules:
// - "\" and "/" both separate; they are found Shift-JIS-aware, so the 0x5C second byte
//   of a character such as 0x83 0x5C is part of the name.
// - "C:" is the Linux root (or the folder a test mapped it to): "C:\a" is "/a", "\a" is
//   "/a", "C:a" and "a" are relative to the current directory. Any other drive letter
//   names nothing (ERROR_PATH_NOT_FOUND).
// - A component not found exactly is matched ASCII-case-insensitively; of several
//   matches the first in byte order wins.
// - Characters Windows refuses in names (control characters and :*?"<>|) make the name
//   invalid (ERROR_INVALID_NAME); so do bytes that are not CP932 characters.
// Any thread. A lookup costs one stat() when the name exists as written, two when only
// its last component is missing; only then is a folder read, and the listing of a folder
// left unmodified is kept for the next lookup.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/win32.h"

namespace kernel {

struct ParsedPath {
    bool absolute = false;           // starts at the drive root
    std::vector<std::string> parts;  // UTF-8 components, "." and ".." kept as written
    bool trailingSeparator = false;  // the name ended in "\" or "/"
};

// Splits and converts a CP932 path without touching the file system. Returns 0, or
// ERROR_PATH_NOT_FOUND (empty name, another drive) or ERROR_INVALID_NAME (bytes that
// are not CP932 characters).
DWORD ParsePath(std::string_view cp932, ParsedPath* out);

// The Linux path the components spell: "/a/b", "a/b", "/" or ".".
std::string LinuxPathOf(const ParsedPath& parsed);

struct ResolvedPath {
    std::string path;          // the Linux path to use: the existing variant when found
    bool exists = false;       // an entry of this name exists (exactly or in another case)
    bool isDirectory = false;  // that entry is a folder
    bool trailingSeparator = false;  // the name ended in a separator: only a folder fits
};

// Finds what a CP932 path names. Returns 0 with `exists` false when only the last
// component is missing (`path` then spells it as written, for creating it), or the
// error when the path can name nothing: ERROR_PATH_NOT_FOUND for a missing folder on
// the way, and ParsePath's errors.
DWORD ResolvePath(const char* cp932, ResolvedPath* out);

// The "C:\..." form of an absolute Linux path, in CP932; characters CP932 cannot hold
// read as '?'.
std::string DrivePathOf(std::string_view linuxAbsolute);

// The Windows error for an errno of a file operation.
DWORD ErrorFromErrno(int error);

}  // namespace kernel
