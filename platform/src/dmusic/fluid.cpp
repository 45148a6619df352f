// dmusic/fluid.cpp: loads FluidSynth when the first song is checked or started. The soname
// is that of the library the build was made against (QZ_SONAME_FLUIDSYNTH, from CMake).
// Any thread, under one lock.
#include "dmusic/fluid.h"

#include <iterator>
#include <mutex>

#include "kernel/diag.h"
#include "kernel/shared_libraries.h"

namespace midi {

FluidFunctions g_fluid;

namespace {

constexpr const char* kSonames[] = {QZ_SONAME_FLUIDSYNTH};

constexpr kernel::SharedSymbol kSymbols[] = {
#define QZ_FLUID_SYMBOL(name) {0, #name},
    QZ_FLUID_FUNCTIONS(QZ_FLUID_SYMBOL)
#undef QZ_FLUID_SYMBOL
};

std::mutex g_loadLock;
bool g_loaded = false;  // under g_loadLock
bool g_missing = false;  // a load failed: the process goes on without them

}  // namespace

bool LoadFluid() {
    std::lock_guard<std::mutex> hold(g_loadLock);
    if (g_loaded)
        return true;
    if (g_missing)
        return false;
    // Tried once: a machine without it stays without it, with one line said.
    void* found[std::size(kSymbols)];
    if (kernel::ConsumeFault("MidiLibrary"))
        kernel::Diag("midi: FluidSynth: %s: cannot open shared object file", kSonames[0]);
    else if (kernel::OpenSharedLibraries("midi: FluidSynth", kSonames, kSymbols, found))
        g_loaded = true;
    if (!g_loaded) {
        g_missing = true;
        return false;
    }
    size_t next = 0;
#define QZ_FLUID_SET(name) g_fluid.name = reinterpret_cast<decltype(g_fluid.name)>(found[next++]);
    QZ_FLUID_FUNCTIONS(QZ_FLUID_SET)
#undef QZ_FLUID_SET
    return true;
}

}  // namespace midi
