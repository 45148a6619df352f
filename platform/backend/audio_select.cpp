// backend/audio_select.cpp: the sound output of the backend's name. Unlike the window
// backend there is no fallback: without an SDL device the library runs silent.
#include <cstring>

#include "backend/audio.h"
#include "platform/testing.h"

namespace backend {

const AudioBackend& CurrentAudio() {
    static const AudioBackend* chosen =
        std::strcmp(ptest::GetBackendName(), "null") == 0 ? &NullAudio() : &SdlAudio();
    return *chosen;
}

}  // namespace backend
