// TempDir.cpp: per-test folders and whole-file helpers. Main thread.
#include "TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qztest {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qztest-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
    previous_ = std::filesystem::current_path().string();
    std::filesystem::current_path(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
}

int TempDir::RunReadOnly(const std::string& errors, const std::function<int()>& body) const {
    const int out = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0 || chmod(path_.c_str(), 0555) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        // 65534: the unprivileged "nobody" of Debian, whether or not it is named here.
        if (dup2(out, 2) < 0 || (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))) _exit(125);
        const int result = body();
        std::fflush(stderr);
        _exit(result);
    }
    close(out);
    int status = 0;
    const bool waited = child > 0 && waitpid(child, &status, 0) == child;
    chmod(path_.c_str(), 0700);
    return waited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace qztest
