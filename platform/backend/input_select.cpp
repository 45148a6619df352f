// backend/input_select.cpp: the input machine of the backend's name.
#include <cstring>

#include "backend/input.h"
#include "platform/testing.h"

namespace backend {

const InputBackend& CurrentInput() {
    static const InputBackend* chosen =
        std::strcmp(ptest::GetBackendName(), "null") == 0 ? &NullInput() : &SdlInput();
    return *chosen;
}

}  // namespace backend
