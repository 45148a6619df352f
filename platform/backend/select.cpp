// backend/select.cpp: chooses the backend once, by the control's name.
#include <cstdio>
#include <cstring>
#include <mutex>

#include "backend/backend.h"
#include "platform/testing.h"

namespace backend {

const Backend& Current() {
    static const Backend* chosen = [] {
        const Backend* wanted = std::strcmp(ptest::GetBackendName(), "null") == 0 ? &NullBackend() : &SdlBackend();
        if (!wanted->open()) {
            std::fprintf(stderr, "backend: %s cannot start here; QZ_BACKEND=null runs headless\n", wanted->name);
            wanted = &NullBackend();
            wanted->open();
        }
        return wanted;
    }();
    return *chosen;
}

}  // namespace backend
