// dmusic/fluid.cpp: loads FluidSynth when the first song is checked or started. The soname
// is that of the library the build was made against (QZ_SONAME_FLUIDSYNTH, from CMake).
// Any thread.
#include "dmusic/fluid.h"

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

void Fill(void* const* found) {
    size_t next = 0;
#define QZ_FLUID_SET(name) g_fluid.name = reinterpret_cast<decltype(g_fluid.name)>(found[next++]);
    QZ_FLUID_FUNCTIONS(QZ_FLUID_SET)
#undef QZ_FLUID_SET
}

kernel::SharedLibrarySet g_libraries("midi: FluidSynth", "MidiLibrary", kSonames, kSymbols, Fill);

}  // namespace

bool LoadFluid() {
    return g_libraries.Load();
}

}  // namespace midi
