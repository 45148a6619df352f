// window/keys.cpp: the one key table and the key state behind GetKeyboardState and
// DirectInput's keyboard. Any thread; the state has a lock of its own.
//
// Each key, by its USB HID usage (SDL's scancode numbering), has a DirectInput key code
// and a virtual-key code, laid out as a Japanese 106-key keyboard: the punctuation keys
// are named as that keyboard labels them. The codes agree with the library's own
// virtual-key to DirectInput table, so a key read either way is the same key. Keypad
// digits always give VK_NUMPAD0-9 (Num Lock on). Shift, Ctrl and Alt give the generic
// code in messages and hold it together with their left or right code.
#include <mutex>

#include "dinput/input.h"
#include "platform/dinput.h"
#include "window/keys.h"
#include "window/model.h"

namespace window {
namespace {

struct KeyRow {
    int usage;
    int dik;
    int vk;      // the code of WM_KEYDOWN
    int sideVk;  // also held: the left or right code of a modifier
};

const KeyRow kKeys[] = {
    // letters
    {4, 0x1E, 'A', 0}, {5, 0x30, 'B', 0}, {6, 0x2E, 'C', 0}, {7, 0x20, 'D', 0}, {8, 0x12, 'E', 0},
    {9, 0x21, 'F', 0}, {10, 0x22, 'G', 0}, {11, 0x23, 'H', 0}, {12, 0x17, 'I', 0}, {13, 0x24, 'J', 0},
    {14, 0x25, 'K', 0}, {15, 0x26, 'L', 0}, {16, 0x32, 'M', 0}, {17, 0x31, 'N', 0}, {18, 0x18, 'O', 0},
    {19, 0x19, 'P', 0}, {20, 0x10, 'Q', 0}, {21, 0x13, 'R', 0}, {22, 0x1F, 'S', 0}, {23, 0x14, 'T', 0},
    {24, 0x16, 'U', 0}, {25, 0x2F, 'V', 0}, {26, 0x11, 'W', 0}, {27, 0x2D, 'X', 0}, {28, 0x15, 'Y', 0},
    {29, 0x2C, 'Z', 0},
    // digits 1-9, 0
    {30, 0x02, '1', 0}, {31, 0x03, '2', 0}, {32, 0x04, '3', 0}, {33, 0x05, '4', 0}, {34, 0x06, '5', 0},
    {35, 0x07, '6', 0}, {36, 0x08, '7', 0}, {37, 0x09, '8', 0}, {38, 0x0A, '9', 0}, {39, 0x0B, '0', 0},
    {40, DIK_RETURN, VK_RETURN, 0},
    {41, DIK_ESCAPE, VK_ESCAPE, 0},
    {42, DIK_BACK, VK_BACK, 0},
    {43, DIK_TAB, VK_TAB, 0},
    {44, DIK_SPACE, VK_SPACE, 0},
    {45, DIK_MINUS, VK_OEM_MINUS, 0},       // '-'
    {46, DIK_CIRCUMFLEX, VK_OEM_7, 0},      // '^'
    {47, DIK_AT, VK_OEM_3, 0},              // '@'
    {48, DIK_LBRACKET, VK_OEM_4, 0},        // '['
    {49, DIK_RBRACKET, VK_OEM_6, 0},        // ']' (the key above Enter)
    {50, DIK_RBRACKET, VK_OEM_6, 0},        // ']' where the keyboard reports it as non-US '#'
    {51, DIK_SEMICOLON, VK_OEM_PLUS, 0},    // ';'
    {52, DIK_COLON, VK_OEM_1, 0},           // ':'
    {53, DIK_KANJI, VK_KANJI, 0},           // half-width/full-width
    {54, DIK_COMMA, VK_OEM_COMMA, 0},
    {55, DIK_PERIOD, VK_OEM_PERIOD, 0},
    {56, DIK_SLASH, VK_OEM_2, 0},
    {57, DIK_CAPITAL, VK_CAPITAL, 0},
    // F1-F10, F11, F12
    {58, 0x3B, VK_F1, 0}, {59, 0x3C, VK_F1 + 1, 0}, {60, 0x3D, VK_F1 + 2, 0}, {61, 0x3E, VK_F1 + 3, 0},
    {62, 0x3F, VK_F1 + 4, 0}, {63, 0x40, VK_F1 + 5, 0}, {64, 0x41, VK_F1 + 6, 0}, {65, 0x42, VK_F1 + 7, 0},
    {66, 0x43, VK_F1 + 8, 0}, {67, 0x44, VK_F1 + 9, 0}, {68, DIK_F11, VK_F1 + 10, 0}, {69, DIK_F12, VK_F12, 0},
    {70, DIK_SYSRQ, VK_SNAPSHOT, 0},
    {71, DIK_SCROLL, VK_SCROLL, 0},
    {72, DIK_PAUSE, VK_PAUSE, 0},
    {73, DIK_INSERT, VK_INSERT, 0},
    {74, DIK_HOME, VK_HOME, 0},
    {75, DIK_PRIOR, VK_PRIOR, 0},
    {76, DIK_DELETE, VK_DELETE, 0},
    {77, DIK_END, VK_END, 0},
    {78, DIK_NEXT, VK_NEXT, 0},
    {79, DIK_RIGHT, VK_RIGHT, 0},
    {80, DIK_LEFT, VK_LEFT, 0},
    {81, DIK_DOWN, VK_DOWN, 0},
    {82, DIK_UP, VK_UP, 0},
    {83, DIK_NUMLOCK, VK_NUMLOCK, 0},
    // keypad
    {84, DIK_DIVIDE, VK_DIVIDE, 0},
    {85, DIK_MULTIPLY, VK_MULTIPLY, 0},
    {86, DIK_SUBTRACT, VK_SUBTRACT, 0},
    {87, DIK_ADD, VK_ADD, 0},
    {88, DIK_NUMPADENTER, VK_RETURN, 0},
    {89, DIK_NUMPAD1, VK_NUMPAD1, 0}, {90, DIK_NUMPAD2, VK_NUMPAD2, 0}, {91, DIK_NUMPAD3, VK_NUMPAD3, 0},
    {92, DIK_NUMPAD4, VK_NUMPAD4, 0}, {93, DIK_NUMPAD5, VK_NUMPAD5, 0}, {94, DIK_NUMPAD6, VK_NUMPAD6, 0},
    {95, DIK_NUMPAD7, VK_NUMPAD7, 0}, {96, DIK_NUMPAD8, VK_NUMPAD8, 0}, {97, DIK_NUMPAD9, VK_NUMPAD9, 0},
    {98, DIK_NUMPAD0, VK_NUMPAD0, 0},
    {99, DIK_DECIMAL, VK_DECIMAL, 0},
    {100, DIK_BACKSLASH, VK_OEM_102, 0},   // '\' '_' where the keyboard reports it as non-US '\'
    {101, DIK_APPS, VK_APPS, 0},
    {135, DIK_BACKSLASH, VK_OEM_102, 0},   // '\' '_' beside the right Shift (ro)
    {136, DIK_KANA, VK_KANA, 0},           // katakana/hiragana
    {137, DIK_YEN, VK_OEM_5, 0},           // yen
    {138, DIK_CONVERT, VK_CONVERT, 0},
    {139, DIK_NOCONVERT, VK_NONCONVERT, 0},
    {224, DIK_LCONTROL, VK_CONTROL, VK_LCONTROL},
    {225, DIK_LSHIFT, VK_SHIFT, VK_LSHIFT},
    {226, DIK_LMENU, VK_MENU, VK_LMENU},
    {227, DIK_LWIN, VK_LWIN, 0},
    {228, DIK_RCONTROL, VK_CONTROL, VK_RCONTROL},
    {229, DIK_RSHIFT, VK_SHIFT, VK_RSHIFT},
    {230, DIK_RMENU, VK_MENU, VK_RMENU},
    {231, DIK_RWIN, VK_RWIN, 0},
};

const KeyRow* RowOf(int usage) {
    for (const KeyRow& row : kKeys)
        if (row.usage == usage) return &row;
    return nullptr;
}

// Counts per code, so that a code two keys share (both Shifts, both Enters) stays held
// while either is.
struct KeyState {
    std::mutex lock;
    bool usageHeld[256] = {};
    int dikCount[256] = {};
    int vkCount[256] = {};
};
KeyState& g_keys = *new KeyState;  // never destroyed

}  // namespace

int VirtualKeyOf(int usage) {
    const KeyRow* row = RowOf(usage);
    return row ? row->vk : 0;
}

int UsageOfDik(int dik) {
    for (const KeyRow& row : kKeys)
        if (row.dik == dik) return row.usage;
    return 0;
}

int UpdateKeyState(int usage, bool down) {
    const KeyRow* row = RowOf(usage);
    if (!row) return 0;
    bool changed = false;
    {
        std::lock_guard<std::mutex> hold(g_keys.lock);
        if (g_keys.usageHeld[usage] != down) {
            g_keys.usageHeld[usage] = down;
            int step = down ? 1 : -1;
            g_keys.dikCount[row->dik] += step;
            g_keys.vkCount[row->vk] += step;
            if (row->sideVk) g_keys.vkCount[row->sideVk] += step;
            changed = true;
        }
    }
    if (changed) input::OnKeyboardChanged();
    return row->vk;
}

void ReadDikState(uint8_t out[256]) {
    std::lock_guard<std::mutex> hold(g_keys.lock);
    for (int i = 0; i < 256; i++) out[i] = g_keys.dikCount[i] > 0 ? 0x80 : 0;
}

void ReleaseAllKeys() {
    bool any = false;
    {
        std::lock_guard<std::mutex> hold(g_keys.lock);
        for (int i = 0; i < 256; i++) {
            any = any || g_keys.usageHeld[i];
            g_keys.usageHeld[i] = false;
            g_keys.dikCount[i] = 0;
            g_keys.vkCount[i] = 0;
        }
    }
    if (any) input::OnKeyboardChanged();
}

}  // namespace window

BOOL GetKeyboardState(PBYTE keyState) {
    if (keyState == nullptr) return FALSE;
    std::lock_guard<std::mutex> hold(window::g_keys.lock);
    for (int i = 0; i < 256; i++) keyState[i] = window::g_keys.vkCount[i] > 0 ? 0x80 : 0;
    return TRUE;
}
