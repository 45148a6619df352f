// Input scripts (QZ_INPUT) on arbitrary bytes: the reader either refuses the text with a
// message naming a line, or gives events that keep the documented ranges in frame order.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "dinput/input.h"

QZ_FUZZ_TARGET(InputScript)(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    input::InputScript script;
    std::string error;
    if (!input::ParseInputScript(text, &script, &error)) {
        if (error.rfind("line ", 0) != 0) std::abort();
        return 0;
    }
    uint32_t frame = 0;
    for (const input::ScriptEvent& e : script.events) {
        if (e.frame < frame || e.frame > 2147483647u) std::abort();
        frame = e.frame;
        switch (e.kind) {
        case input::ScriptEvent::Key:
            if (e.index < 0 || e.index > 255 || (e.value != 0 && e.value != 1)) std::abort();
            break;
        case input::ScriptEvent::Axis:
            if (e.pad < 1 || e.pad > script.padCount || e.index < 0 || e.index > 7) std::abort();
            if (e.value < -32768 || e.value > 32767) std::abort();
            break;
        case input::ScriptEvent::Button:
            if (e.pad < 1 || e.pad > script.padCount || e.index < 0 || e.index > 31) std::abort();
            if (e.value != 0 && e.value != 1) std::abort();
            break;
        }
    }
    if (script.padCount > 8) std::abort();
    return 0;
}

QZ_FUZZ_SEEDS(InputScript) {
    return {
        "0 pad1 axis0 -32768\n1 key 2C 1\n2 pad2 button3 1 # comment\n3 key 2c 0\r\n",
        "# nothing but a comment\n\n",
        "120 key 01 1\n121 key 01 0\n",
        "1 pad8 axis7 32767\n1 pad1 button31 0\n",
        "5 pad1 wobble 3\n",
    };
}
