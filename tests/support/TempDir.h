// TempDir.h: a fresh folder for one test, made current while the test runs, so that
// files the library writes ("AppLog.txt", saves) never meet another test's.
#pragma once

#include <string>

namespace qztest {

class TempDir {
public:
    TempDir();   // makes the folder and enters it
    ~TempDir();  // goes back to the previous folder and removes this one with its files
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    std::string previous_;
};

// The whole content of a file, or an empty string when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// Writes bytes to a file, replacing it.
void WriteWholeFile(const std::string& path, const std::string& bytes);

}  // namespace qztest
