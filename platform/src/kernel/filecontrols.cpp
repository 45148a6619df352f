// kernel/filecontrols.cpp: drive C:'s folder, the temporary folder and the record of
// opened names (testing.h's file controls). Any thread.
#include "kernel/filecontrols.h"

#include <climits>
#include <cstdlib>
#include <mutex>
#include <unistd.h>
#include <vector>

#include "kernel/controls.h"
#include "platform/testing.h"

namespace {

std::mutex g_lock;
std::string g_driveRoot;   // "" : the Linux root
std::string g_tempFolder;  // "" : from the environment
bool g_recordOpens = false;
std::vector<std::string> g_openedNames;

// An absolute form without symbolic links, as getcwd() reports the current folder.
std::string CanonicalFolder(const std::string& folder) {
    char resolved[PATH_MAX];
    if (realpath(folder.c_str(), resolved) != nullptr) return resolved;
    if (!folder.empty() && folder[0] == '/') return folder;
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) + "/" + folder : folder;
}

}  // namespace

namespace kernel {

std::string DriveRootPrefix() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_driveRoot.empty() ? std::string("/") : g_driveRoot + "/";
}

std::string_view PathBelowDriveRoot(std::string_view linuxAbsolute) {
    std::lock_guard<std::mutex> hold(g_lock);
    if (g_driveRoot.empty() || linuxAbsolute.substr(0, g_driveRoot.size()) != g_driveRoot) return linuxAbsolute;
    std::string_view below = linuxAbsolute.substr(g_driveRoot.size());
    if (below.empty()) return "/";
    return below[0] == '/' ? below : linuxAbsolute;
}

std::string TempFolder() {
    std::string folder;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        folder = g_tempFolder;
    }
    if (folder.empty()) folder = EnvironmentTempFolder();
    if (folder.empty()) folder = "/tmp";
    return CanonicalFolder(folder);
}

void NoteFileOpen(const char* cp932Name) {
    std::lock_guard<std::mutex> hold(g_lock);
    if (g_recordOpens) g_openedNames.push_back(cp932Name != nullptr ? cp932Name : "");
}

void ResetFileControls() {
    std::lock_guard<std::mutex> hold(g_lock);
    g_driveRoot.clear();
    g_tempFolder.clear();
    g_recordOpens = false;
    g_openedNames.clear();
}

}  // namespace kernel

namespace ptest {

void MapDriveC(const std::string& linuxFolder) {
    std::string root = linuxFolder.empty() ? std::string() : CanonicalFolder(linuxFolder);
    if (root == "/") root.clear();
    while (!root.empty() && root.back() == '/') root.pop_back();
    std::lock_guard<std::mutex> hold(g_lock);
    g_driveRoot = root;
}

void SetTempFolder(const std::string& linuxFolder) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_tempFolder = linuxFolder;
}

void RecordFileOpens(bool on) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_recordOpens = on;
    g_openedNames.clear();
}

std::vector<std::string> TakeRecordedFileOpens() {
    std::lock_guard<std::mutex> hold(g_lock);
    std::vector<std::string> names;
    names.swap(g_openedNames);
    return names;
}

}  // namespace ptest
