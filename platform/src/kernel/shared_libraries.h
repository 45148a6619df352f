// kernel/shared_libraries.h: Linux shared libraries opened at run time, for the interfaces
// that load their libraries on first use (dshow: FFmpeg, dmusic: FluidSynth) rather than
// make every process relocate them at start. Each such interface keeps its own table of
// function pointers, filled from here once. Any thread.
#pragma once

#include <mutex>
#include <span>

namespace kernel {

struct SharedSymbol {
    int library;       // index into the sonames
    const char* name;  // the C function's name
};

// One interface's libraries and the functions it takes from them, loaded once.
class SharedLibrarySet {
public:
    // `tag` starts its line on standard error ("dshow: FFmpeg"); `fault` (FailCall) stands
    // for missing libraries; the sonames are opened in their order; `fill` receives found[i],
    // the address of symbols[i].
    constexpr SharedLibrarySet(const char* tag, const char* fault, std::span<const char* const> sonames,
                     std::span<const SharedSymbol> symbols, void (*fill)(void* const* found))
        : tag_(tag), fault_(fault), sonames_(sonames), symbols_(symbols), fill_(fill) {}

    // Opens every library by soname (for good: its functions may be in use until the
    // process ends), finds every symbol and hands them to `fill`, at the first call. False
    // when a library or a symbol is missing (or the fault is set), then and at every later
    // call, with one line on standard error.
    bool Load();

private:
    bool Open(void** found) const;

    const char* const tag_;
    const char* const fault_;
    const std::span<const char* const> sonames_;
    const std::span<const SharedSymbol> symbols_;
    void (*const fill_)(void* const* found);
    std::mutex lock_;
    bool loaded_ = false;   // under the lock
    bool missing_ = false;  // a load failed: the process goes on without them
};

}  // namespace kernel
