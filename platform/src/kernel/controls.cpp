// kernel/controls.cpp: the environment variables behind testing.h's controls. This is
// the only file that reads the environment.
#include <cstdlib>
#include <cstring>

#include "platform/testing.h"

namespace ptest {

const char* GetBackendName() {
    const char* name = std::getenv("QZ_BACKEND");
    return (name != nullptr && std::strcmp(name, "null") == 0) ? "null" : "sdl";
}

}  // namespace ptest
