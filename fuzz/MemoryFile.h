// MemoryFile.h: a file that lives in memory for the whole process, rewritten for every
// input and opened by name (/proc/self/fd/N) like any file on disk, so a target neither
// creates nor removes a file per input.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace qzfuzz {

class MemoryFile {
public:
    explicit MemoryFile(const char* label) : fd_(memfd_create(label, 0)) {
        if (fd_ < 0) std::abort();
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemoryFile() { close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    const std::string& Path() const { return path_; }

    // The file holds exactly these bytes afterwards.
    void Write(const void* data, size_t size) const {
        if (ftruncate(fd_, 0) != 0) std::abort();
        if (size > 0 && pwrite(fd_, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
    }

private:
    int fd_;
    std::string path_;
};

}  // namespace qzfuzz
