// kernel/shared_libraries.cpp: dlopen and dlsym for the interfaces that load their
// libraries on first use. Any thread, under the set's lock (the dynamic loader has its own).
#include "kernel/shared_libraries.h"

#include <dlfcn.h>

#include <vector>

#include "kernel/diag.h"

namespace kernel {

bool SharedLibrarySet::Open(void** found) const {
    if (ConsumeFault(fault_)) {
        Diag("%s: %s: cannot open shared object file", tag_, sonames_[0]);
        return false;
    }
    std::vector<void*> handles(sonames_.size());
    for (size_t i = 0; i < sonames_.size(); ++i) {
        // Local: the process's own symbols never resolve to these by accident.
        handles[i] = dlopen(sonames_[i], RTLD_NOW | RTLD_LOCAL);
        if (handles[i] == nullptr) {
            const char* why = dlerror();
            Diag("%s: %s", tag_, why ? why : sonames_[i]);
            return false;
        }
    }
    for (size_t i = 0; i < symbols_.size(); ++i) {
        const auto library = static_cast<size_t>(symbols_[i].library);
        found[i] = dlsym(handles[library], symbols_[i].name);
        if (found[i] == nullptr) {
            Diag("%s: %s has no %s", tag_, sonames_[library], symbols_[i].name);
            return false;
        }
    }
    return true;
}

bool SharedLibrarySet::Load() {
    std::lock_guard<std::mutex> hold(lock_);
    if (loaded_ || missing_)
        return loaded_;
    // Tried once: a machine without them stays without them, with one line said.
    std::vector<void*> found(symbols_.size());
    if (!Open(found.data())) {
        missing_ = true;
        return false;
    }
    fill_(found.data());
    loaded_ = true;
    return true;
}

}  // namespace kernel
