// window/drop.cpp: the file lists that WM_DROPFILES carries. A drop holds its names in
// CP932, Linux paths in drive form ("C:\..."), and lives until DragFinish; a handle that
// names no live drop is refused.
// Any thread.
#include <cstring>
#include <mutex>
#include <set>

#include "kernel/diag.h"
#include "kernel/paths.h"
#include "kernel/text.h"
#include "window/model.h"

namespace {

struct Drop {
    std::vector<std::string> names;  // CP932
};

// Never destroyed, so a drop still held at the end stays reachable.
std::mutex& g_dropLock = *new std::mutex;
std::set<Drop*>& g_drops = *new std::set<Drop*>;

Drop* Live(HDROP drop) {
    auto it = g_drops.find(reinterpret_cast<Drop*>(drop));
    return it == g_drops.end() ? nullptr : *it;
}

}  // namespace

namespace window {

HDROP NewDrop(const std::vector<std::string>& utf8Names) {
    auto* drop = new Drop;
    for (const std::string& name : utf8Names) {
        // A name CP932 cannot spell names no file the program could open: it is left out.
        std::string back;
        if (!kernel::Cp932ToUtf8Strict(kernel::Utf8ToCp932(name), &back) || back != name) continue;
        drop->names.push_back(!name.empty() && name[0] == '/' ? kernel::DrivePathOf(name) : kernel::Utf8ToCp932(name));
    }
    std::lock_guard<std::mutex> hold(g_dropLock);
    g_drops.insert(drop);
    return reinterpret_cast<HDROP>(drop);
}

}  // namespace window

UINT DragQueryFileA(HDROP handle, UINT index, LPSTR buffer, UINT size) {
    std::lock_guard<std::mutex> hold(g_dropLock);
    Drop* drop = Live(handle);
    if (!drop) return kernel::Fail(ERROR_INVALID_HANDLE, UINT(0));
    if (index == 0xFFFFFFFFu) return static_cast<UINT>(drop->names.size());
    if (index >= drop->names.size()) return 0;
    const std::string& name = drop->names[index];
    if (buffer == nullptr) return static_cast<UINT>(name.size());
    if (size == 0) return 0;
    size_t copied = name.size() < size - 1 ? name.size() : size - 1;
    std::memcpy(buffer, name.data(), copied);
    buffer[copied] = '\0';
    return static_cast<UINT>(copied);
}

void DragFinish(HDROP handle) {
    Drop* drop = nullptr;
    {
        std::lock_guard<std::mutex> hold(g_dropLock);
        drop = Live(handle);
        if (drop) g_drops.erase(drop);
    }
    delete drop;
}

namespace ptest {

HDROP MakeDrop(const std::vector<std::string>& utf8Names) { return window::NewDrop(utf8Names); }

}  // namespace ptest
