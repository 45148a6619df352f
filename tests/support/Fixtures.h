// Fixtures.h: the few files kept in the repository's tests/fixtures, for faults found in
// files that are not made again by code. QZ_SOURCE_DIR is the repository's root, set by
// the build.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace qztest {

// The file's bytes; empty when it cannot be read.
inline std::string ReadFixture(const char* name) {
    std::ifstream in(std::string(QZ_SOURCE_DIR) + "/tests/fixtures/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace qztest
