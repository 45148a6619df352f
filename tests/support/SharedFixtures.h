// SharedFixtures.h: files found outside the project (by fuzzing, from real collections),
// kept beside the repository in ../shared/fixtures rather than in it. QZ_SOURCE_DIR is the
// repository's root, set by the build.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace qztest {

inline std::filesystem::path SharedFixturePath(const char* name) {
    return std::filesystem::path(QZ_SOURCE_DIR) / ".." / "shared" / "fixtures" / name;
}

// The file's bytes; false when it is not there (the test then skips).
inline bool ReadSharedFixture(const char* name, std::string* bytes) {
    std::ifstream in(SharedFixturePath(name), std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace qztest
