// window/instance.cpp: FindWindowA across processes of the same user, for the library's
// second-instance check. The first window of a class in a process takes an advisory
// flock on a file named after the class in the lock folder (testing.h) and keeps it
// while any window of that class lives; another process finds the lock taken. The kernel
// drops the lock with the process, so a crash leaves nothing stale.
// Any thread; the table is guarded by the window Mutex().
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "kernel/diag.h"
#include "platform/testing.h"
#include "window/model.h"

using namespace window;

namespace {

struct ClassLock {
    int fd = -1;   // -1 when another process held the lock at our first window
    int windows = 0;
};
std::map<std::string, ClassLock>& g_locks = *new std::map<std::string, ClassLock>;  // by folded class name

// A file name that any class name can take: letters and digits as they are, every other
// byte as two hex digits.
std::string LockPathOf(const std::string& folded) {
    static const char kHex[] = "0123456789abcdef";
    std::string name = "qzwindow-";
    for (unsigned char c : folded) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            name += static_cast<char>(c);
        } else {
            name += '%';
            name += kHex[c >> 4];
            name += kHex[c & 15];
        }
    }
    std::string folder = ptest::GetWindowLockFolder();
    mkdir(folder.c_str(), 0700);  // an existing folder is fine
    return folder + "/" + name + ".lock";
}

}  // namespace

namespace window {

void HoldClassLock(const std::string& className) {
    std::string folded = FoldClassName(className.c_str());
    ClassLock& lock = g_locks[folded];
    if (lock.windows++ > 0) return;
    std::string path = LockPathOf(folded);
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        kernel::Diag("window: cannot open the class lock %s (errno %d)", path.c_str(), errno);
        return;
    }
    // Two processes may each have windows of one class, as on the desktop; only the
    // first holds the lock, which is all the second-instance check needs.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return;
    }
    lock.fd = fd;
}

void ReleaseClassLock(const std::string& className) {
    auto it = g_locks.find(FoldClassName(className.c_str()));
    if (it == g_locks.end() || --it->second.windows > 0) return;
    if (it->second.fd >= 0) close(it->second.fd);  // closing drops the flock
    g_locks.erase(it);
}

}  // namespace window

HWND FindWindowA(LPCSTR className, LPCSTR) {
    if (className == nullptr) return nullptr;
    std::lock_guard<std::mutex> hold(Mutex());
    std::string folded = FoldClassName(className);
    for (const auto& [id, w] : Windows())
        if (FoldClassName(w.className.c_str()) == folded) return ToHandle(id);

    // Not ours: another process holds the class lock while it has such a window.
    std::string path = LockPathOf(folded);
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    bool taken = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    if (!taken) return nullptr;
    // The foreign window gets a handle of its own that names nothing here.
    return ToHandle(NewHandleValue());
}
