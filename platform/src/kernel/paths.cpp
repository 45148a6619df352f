// kernel/paths.cpp: CP932 Windows paths to Linux paths, with the drive, the two
// separators and the case-insensitive fallback (rules in kernel/paths.h). Any thread.
#include "kernel/paths.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <mutex>
#include <sys/stat.h>
#include <unordered_map>

#include "kernel/filecontrols.h"
#include "kernel/text.h"

namespace kernel {
namespace {

bool IsSeparator(unsigned char c) { return c == '\\' || c == '/'; }

bool IsAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

unsigned char FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

// Characters Windows refuses in a name. Only single-byte characters are checked: the
// second byte of a Shift-JIS character may be 0x7C ('|') and is part of the name.
bool IsRefusedInName(unsigned char c) { return c < 0x20 || std::strchr(":*?\"<>|", c) != nullptr; }

// Case-folded names of one folder, each with its first variant in byte order.
struct Listing {
    dev_t device;
    ino_t inode;
    timespec modified;
    timespec changed;
    std::unordered_map<std::string, std::string> firstByFolded;
};

// Only ASCII letters fold: UTF-8 multibyte sequences are all bytes >= 0x80, so folding
// byte by byte leaves them as they are.
std::string FoldName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) c = static_cast<char>(FoldAscii(static_cast<unsigned char>(c)));
    return folded;
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

bool ReadListing(const std::string& folder, Listing* listing) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return false;
    while (dirent* entry = readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        auto [it, added] = listing->firstByFolded.try_emplace(FoldName(name), name);
        if (!added && name < std::string_view(it->second)) it->second = name;
    }
    closedir(dir);
    return true;
}

bool EqualsFolded(std::string_view name, std::string_view folded) {
    if (name.size() != folded.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (FoldAscii(static_cast<unsigned char>(name[i])) != static_cast<unsigned char>(folded[i])) return false;
    return true;
}

// The first entry in byte order that folds to `folded`, read from the folder itself:
// for a folder whose listing would not be kept, nothing else is worth building.
bool ScanForVariant(const std::string& folder, std::string_view folded, std::string* variant) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return false;
    bool found = false;
    while (dirent* entry = readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == ".." || !EqualsFolded(name, folded)) continue;
        if (!found || name < std::string_view(*variant)) *variant = name;
        found = true;
    }
    closedir(dir);
    return found;
}

// Folders whose listing is known. A folder's modification and change times move with
// every entry added, removed or renamed, so a listing stays valid while they stand.
// Only folders not modified for a while before the listing was read are kept: the file
// system stamps times from a coarse clock (a tick of at most 10 ms, rounded down to the
// file system's own step: whole seconds, two on FAT, 10 ms on exFAT, finer elsewhere),
// and a change within the same tick as the listing would go unseen; a change after a
// settled time always gives a new modification time. A stamp with a fraction of a
// second comes from a file system that keeps fractions, whose tick and step stay well
// below the short wait; a whole-second stamp waits the long one. A folder such as /tmp,
// changed every second or so, is thus listed about once per change, not per look-up.
constexpr size_t kMaxListings = 64;
constexpr int64_t kSettledNanoseconds = 2'000'000'000;
constexpr int64_t kSettledFineNanoseconds = 50'000'000;
std::mutex g_listingLock;
std::vector<Listing> g_listings;  // guarded by g_listingLock

int64_t Nanoseconds(const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

// Whether a listing read from `listedAt` on can be kept for a folder modified at `modified`.
bool IsSettled(const timespec& modified, const timespec& listedAt) {
    const int64_t wait = modified.tv_nsec != 0 ? kSettledFineNanoseconds : kSettledNanoseconds;
    return Nanoseconds(modified) + wait < Nanoseconds(listedAt);
}

// The first entry of the folder in byte order that equals `name` ignoring ASCII case.
// `info` is the folder's stat().
bool FindCaseVariant(const std::string& folder, const struct stat& info, const std::string& name, std::string* variant) {
    std::string folded = FoldName(name);
    {
        std::lock_guard<std::mutex> hold(g_listingLock);
        for (const Listing& listing : g_listings) {
            if (listing.device != info.st_dev || listing.inode != info.st_ino) continue;
            if (!SameTime(listing.modified, info.st_mtim) || !SameTime(listing.changed, info.st_ctim)) break;
            auto it = listing.firstByFolded.find(folded);
            if (it == listing.firstByFolded.end()) return false;
            *variant = it->second;
            return true;
        }
    }
    // The time is taken before the folder is read: whatever changes after it stamps a
    // later time than a settled folder's.
    timespec listedAt;
    clock_gettime(CLOCK_REALTIME, &listedAt);
    if (!IsSettled(info.st_mtim, listedAt)) return ScanForVariant(folder, folded, variant);
    Listing listing{info.st_dev, info.st_ino, info.st_mtim, info.st_ctim, {}};
    if (!ReadListing(folder, &listing)) return false;
    auto it = listing.firstByFolded.find(folded);
    bool found = it != listing.firstByFolded.end();
    if (found) *variant = it->second;

    std::lock_guard<std::mutex> hold(g_listingLock);
    std::erase_if(g_listings, [&](const Listing& old) { return old.device == info.st_dev && old.inode == info.st_ino; });
    if (g_listings.size() >= kMaxListings) g_listings.erase(g_listings.begin());
    g_listings.push_back(std::move(listing));
    return found;
}

// Whether a kept listing of the folder (`info` its stat()) shows that no entry is `name`
// in any case. Without a listing nothing is known.
bool IsKnownAbsent(const struct stat& info, const std::string& name) {
    if (name == "." || name == "..") return false;
    const std::string folded = FoldName(name);
    std::lock_guard<std::mutex> hold(g_listingLock);
    for (const Listing& listing : g_listings) {
        if (listing.device != info.st_dev || listing.inode != info.st_ino) continue;
        if (!SameTime(listing.modified, info.st_mtim) || !SameTime(listing.changed, info.st_ctim)) return false;
        return !listing.firstByFolded.contains(folded);
    }
    return false;
}

// Finds the entry `part` of `folder` (a folder path ending in '/', or empty for the
// current one; `folderInfo` its stat()), exactly or as a case variant. Returns the
// entry's path with its stat(), or false with `error` 0 when it is missing.
// `missing` names a path already found missing, which is not asked for again.
bool FindEntry(const std::string& folder, const struct stat& folderInfo, const std::string& part,
               const std::string& missing, std::string* path, struct stat* info, DWORD* error) {
    *error = 0;
    *path = folder + part;
    // A name missing from a settled folder is answered without asking the file system:
    // a game asks for archives and companions that do not exist on every load.
    if (IsKnownAbsent(folderInfo, part)) return false;
    if (*path == missing) {
        errno = ENOENT;
    } else if (stat(path->c_str(), info) == 0) {
        return true;
    }
    if (errno != ENOENT) {
        *error = ErrorFromErrno(errno);
        return false;
    }
    std::string variant;
    if (part == "." || part == ".." || !FindCaseVariant(folder, folderInfo, part, &variant)) return false;
    *path = folder + variant;
    if (stat(path->c_str(), info) == 0) return true;
    // The variant went away between the listing and now.
    *path = folder + part;
    return false;
}

}  // namespace

DWORD ParsePath(std::string_view cp932, ParsedPath* out) {
    *out = ParsedPath();
    size_t end = cp932.find('\0');
    if (end != std::string_view::npos) cp932 = cp932.substr(0, end);
    if (cp932.empty()) return ERROR_PATH_NOT_FOUND;

    const auto* bytes = reinterpret_cast<const unsigned char*>(cp932.data());
    size_t length = cp932.size();
    size_t at = 0;
    if (length >= 2 && bytes[1] == ':' && IsAsciiLetter(bytes[0])) {
        if (FoldAscii(bytes[0]) != 'c') return ERROR_PATH_NOT_FOUND;
        at = 2;
    }
    out->absolute = at < length && IsSeparator(bytes[at]);

    std::string part;
    std::string converted;
    size_t start = at;
    while (start <= length) {
        size_t stop = start;
        bool refused = false;
        while (stop < length && !IsSeparator(bytes[stop])) {
            if (IsSjisLeadByte(bytes[stop]) && stop + 1 < length) {
                stop += 2;
                continue;
            }
            refused |= IsRefusedInName(bytes[stop]);
            ++stop;
        }
        if (stop > start) {
            if (refused) return ERROR_INVALID_NAME;
            part.assign(cp932.substr(start, stop - start));
            if (!Cp932ToUtf8Strict(part, &converted)) return ERROR_INVALID_NAME;
            out->parts.push_back(converted);
        }
        if (stop == length) {
            out->trailingSeparator = stop > at && IsSeparator(bytes[stop - 1]) && !out->parts.empty();
            break;
        }
        start = stop + 1;
    }
    return 0;
}

std::string LinuxPathOf(const ParsedPath& parsed) {
    // The drive root prefix is never empty, so only a relative path without parts is ".".
    if (!parsed.absolute && parsed.parts.empty()) return std::string(1, '.');
    std::string path = parsed.absolute ? DriveRootPrefix() : std::string();
    for (size_t i = 0; i < parsed.parts.size(); ++i) {
        if (i > 0) path += '/';
        path += parsed.parts[i];
    }
    return path;
}

DWORD ResolvePath(const char* cp932, ResolvedPath* out) {
    *out = ResolvedPath();
    if (cp932 == nullptr) return ERROR_PATH_NOT_FOUND;
    ParsedPath parsed;
    if (DWORD error = ParsePath(cp932, &parsed)) return error;
    out->trailingSeparator = parsed.trailingSeparator;

    // The name as written: one stat() answers the common case.
    struct stat info;
    std::string literal = LinuxPathOf(parsed);
    if (stat(literal.c_str(), &info) == 0) {
        out->path = std::move(literal);
        out->exists = true;
        out->isDirectory = S_ISDIR(info.st_mode);
        return 0;
    }
    if (errno != ENOENT && errno != ENOTDIR) return ErrorFromErrno(errno);

    // Something along the way differs. Most often only the last component does: try
    // the folder as written first, then walk from the start, falling back to a case
    // variant wherever the exact name is missing.
    // The name as written is known missing; so is its folder when that is the cause.
    std::string missing = errno == ENOENT ? literal : std::string();
    ParsedPath folderOnly = parsed;
    folderOnly.parts.pop_back();  // not empty: a path without components always exists
    std::string folder = LinuxPathOf(folderOnly);
    size_t first = parsed.parts.size() - 1;
    struct stat folderInfo;
    const bool folderFound = stat(folder.c_str(), &folderInfo) == 0;
    if (!folderFound || !S_ISDIR(folderInfo.st_mode)) {
        if (!folderFound && errno == ENOENT) missing = folder;
        first = 0;
        folderOnly.parts.clear();
        folder = LinuxPathOf(folderOnly);
        if (stat(folder.c_str(), &folderInfo) != 0) return ErrorFromErrno(errno);
    }
    // Entries are found as prefix + name: "" for the current folder.
    std::string prefix = folder == "." && !parsed.absolute ? "" : folder.back() == '/' ? folder : folder + "/";

    for (size_t i = first; i < parsed.parts.size(); ++i) {
        bool last = i + 1 == parsed.parts.size();
        std::string path;
        DWORD error = 0;
        if (!FindEntry(prefix, folderInfo, parsed.parts[i], missing, &path, &info, &error)) {
            if (error != 0) return error;
            if (!last) return ERROR_PATH_NOT_FOUND;
            out->path = std::move(path);
            return 0;
        }
        if (last) {
            out->path = std::move(path);
            out->exists = true;
            out->isDirectory = S_ISDIR(info.st_mode);
            return 0;
        }
        if (!S_ISDIR(info.st_mode)) return ERROR_PATH_NOT_FOUND;
        prefix = path + "/";
        folderInfo = info;
    }
    return ERROR_PATH_NOT_FOUND;  // not reached: the last component always returns
}

std::string DrivePathOf(std::string_view linuxAbsolute) {
    // After conversion a 0x2F byte is always a '/' of its own: it is never the second
    // byte of a Shift-JIS character.
    std::string path = "C:" + Utf8ToCp932(PathBelowDriveRoot(linuxAbsolute));
    for (size_t i = 2; i < path.size(); ++i)
        if (path[i] == '/') path[i] = '\\';
    if (path.size() == 2) path += '\\';
    return path;
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_ACCESS_DENIED;
    }
}

}  // namespace kernel
