// dshow/av.cpp: loads FFmpeg's libraries on the first movie open. The sonames are those
// of the libraries the build was made against (QZ_SONAME_*, from CMake), so the table's
// types, taken from the same headers, match what is loaded. Any thread.
#include "dshow/av.h"

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

void Fill(void* const* found) {
    size_t next = 0;
#define QZ_AV_SET(library, name) g_av.name = reinterpret_cast<decltype(g_av.name)>(found[next++]);
    QZ_AV_FUNCTIONS(QZ_AV_SET)
#undef QZ_AV_SET
    // FFmpeg's own messages would go to standard error for every damaged file.
    g_av.av_log_set_level(AV_LOG_QUIET);
}

kernel::SharedLibrarySet g_libraries("dshow: FFmpeg", "MovieLibraries", kSonames, kSymbols, Fill);

}  // namespace

bool LoadAv() {
    return g_libraries.Load();
}

}  // namespace dshow
