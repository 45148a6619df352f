// kernel/shared_libraries.cpp: dlopen and dlsym for the interfaces that load their
// libraries on first use. Any thread (the dynamic loader has its own lock).
#include "kernel/shared_libraries.h"

#include <dlfcn.h>

#include <vector>

#include "kernel/diag.h"

namespace kernel {

bool OpenSharedLibraries(const char* tag, std::span<const char* const> sonames, std::span<const SharedSymbol> symbols,
                         void** found) {
    std::vector<void*> handles(sonames.size());
    for (size_t i = 0; i < sonames.size(); ++i) {
        // Local: the process's own symbols never resolve to these by accident.
        handles[i] = dlopen(sonames[i], RTLD_NOW | RTLD_LOCAL);
        if (handles[i] == nullptr) {
            const char* why = dlerror();
            Diag("%s: %s", tag, why ? why : sonames[i]);
            return false;
        }
    }
    for (size_t i = 0; i < symbols.size(); ++i) {
        found[i] = dlsym(handles[static_cast<size_t>(symbols[i].library)], symbols[i].name);
        if (found[i] == nullptr) {
            Diag("%s: %s has no %s", tag, sonames[static_cast<size_t>(symbols[i].library)], symbols[i].name);
            return false;
        }
    }
    return true;
}

}  // namespace kernel
