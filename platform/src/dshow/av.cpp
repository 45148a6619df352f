// dshow/av.cpp: loads FFmpeg's libraries on the first movie open. The sonames are those
// of the libraries the build was made against (QZ_SONAME_*, from CMake), so the table's
// types, taken from the same headers, match what is loaded. Any thread, under one lock.
#include "dshow/av.h"

#include <iterator>
#include <mutex>

#include "kernel/diag.h"
#include "kernel/shared_libraries.h"

namespace dshow {

AvFunctions g_av;

namespace {

enum AvLibrary { Format, Codec, Util, Scale, Resample };

constexpr const char* kSonames[] = {QZ_SONAME_AVFORMAT, QZ_SONAME_AVCODEC, QZ_SONAME_AVUTIL, QZ_SONAME_SWSCALE,
                                    QZ_SONAME_SWRESAMPLE};

constexpr kernel::SharedSymbol kSymbols[] = {
#define QZ_AV_SYMBOL(library, name) {library, #name},
    QZ_AV_FUNCTIONS(QZ_AV_SYMBOL)
#undef QZ_AV_SYMBOL
};

std::mutex g_loadLock;
bool g_loaded = false;  // under g_loadLock
bool g_missing = false;  // a load failed: the process goes on without them

}  // namespace

bool LoadAv() {
    std::lock_guard<std::mutex> hold(g_loadLock);
    if (g_loaded)
        return true;
    if (g_missing)
        return false;
    // Tried once: a machine without them stays without them, with one line said.
    void* found[std::size(kSymbols)];
    if (kernel::ConsumeFault("MovieLibraries"))
        kernel::Diag("dshow: FFmpeg: %s: cannot open shared object file", kSonames[Format]);
    else if (kernel::OpenSharedLibraries("dshow: FFmpeg", kSonames, kSymbols, found))
        g_loaded = true;
    if (!g_loaded) {
        g_missing = true;
        return false;
    }
    size_t next = 0;
#define QZ_AV_SET(library, name) g_av.name = reinterpret_cast<decltype(g_av.name)>(found[next++]);
    QZ_AV_FUNCTIONS(QZ_AV_SET)
#undef QZ_AV_SET
    // FFmpeg's own messages would go to standard error for every damaged file.
    g_av.av_log_set_level(AV_LOG_QUIET);
    return true;
}

}  // namespace dshow
