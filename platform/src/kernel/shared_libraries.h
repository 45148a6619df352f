// kernel/shared_libraries.h: Linux shared libraries opened at run time, for the interfaces
// that load their libraries on first use (dshow: FFmpeg, dmusic: FluidSynth) rather than
// make every process relocate them at start. Each such interface keeps its own table of
// function pointers and its own lock; this only opens and looks up. Any thread.
#pragma once

#include <span>

namespace kernel {

struct SharedSymbol {
    int library;       // index into the sonames
    const char* name;  // the C function's name
};

// Opens every library by soname (for good: its functions may be in use until the process
// ends) and finds every symbol in its library, into found[i] for symbols[i]. False, with
// one line on standard error starting with `tag`, when a library or a symbol is missing.
bool OpenSharedLibraries(const char* tag, std::span<const char* const> sonames, std::span<const SharedSymbol> symbols,
                         void** found);

}  // namespace kernel
