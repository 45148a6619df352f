// TempDir.h: a fresh folder for one test, made current while the test runs, so that
// files the library writes ("AppLog.txt", saves) never meet another test's.
#pragma once

#include <functional>
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

    // Runs body in a child process for which this folder cannot be written: the folder is
    // read-only (mode 0555) while it runs, and a child running as root first gives root
    // up, since root writes whatever the mode says. The child's standard error goes to
    // the file `errors` (outside this folder or made before); returns body's result as the
    // child's exit code, or -1 when the child did not exit.
    int RunReadOnly(const std::string& errors, const std::function<int()>& body) const;

private:
    std::string path_;
    std::string previous_;
};

// The whole content of a file, or an empty string when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// Writes bytes to a file, replacing it.
void WriteWholeFile(const std::string& path, const std::string& bytes);

}  // namespace qztest
