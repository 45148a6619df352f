// window/keys.cpp: the virtual-key code of each key, by its USB HID usage (the numbering
// SDL's scancodes use). The punctuation keys are named as a JIS keyboard labels them, so
// the codes are the ones a Japanese keyboard gives. Any thread.
#include "window/model.h"

namespace window {
namespace {

struct KeyRow {
    int usage;
    int vk;
};

const KeyRow kKeys[] = {
    {40, VK_RETURN},  {41, VK_ESCAPE},   {42, VK_BACK},     {43, VK_TAB},      {44, VK_SPACE},
    {45, VK_OEM_MINUS},                   // '-'
    {46, VK_OEM_7},                       // '^'
    {47, VK_OEM_3},                       // '@'
    {48, VK_OEM_4},                       // '['
    {49, VK_OEM_6},                       // ']' (the key above Enter)
    {50, VK_OEM_6},                       // ']' where the keyboard reports it as non-US '#'
    {51, VK_OEM_PLUS},                    // ';'
    {52, VK_OEM_1},                       // ':'
    {53, VK_KANJI},                       // half-width/full-width
    {54, VK_OEM_COMMA}, {55, VK_OEM_PERIOD}, {56, VK_OEM_2}, {57, VK_CAPITAL},
    {70, VK_SNAPSHOT}, {71, VK_SCROLL},   {72, VK_PAUSE},    {73, VK_INSERT},   {74, VK_HOME},
    {75, VK_PRIOR},    {76, VK_DELETE},   {77, VK_END},      {78, VK_NEXT},     {79, VK_RIGHT},
    {80, VK_LEFT},     {81, VK_DOWN},     {82, VK_UP},       {83, VK_NUMLOCK},  {84, VK_DIVIDE},
    {85, VK_MULTIPLY}, {86, VK_SUBTRACT}, {87, VK_ADD},      {88, VK_RETURN},   {98, VK_NUMPAD0},
    {99, VK_DECIMAL},
    {100, VK_OEM_102},                    // '\' '_' beside the left Shift
    {101, VK_APPS},
    {135, VK_OEM_102},                    // '\' '_' (ro)
    {136, VK_KANA},                       // katakana/hiragana
    {137, VK_OEM_5},                      // yen
    {138, VK_CONVERT},  {139, VK_NONCONVERT},
    {224, VK_CONTROL}, {225, VK_SHIFT},   {226, VK_MENU},    {227, VK_LWIN},
    {228, VK_CONTROL}, {229, VK_SHIFT},   {230, VK_MENU},    {231, VK_RWIN},
};

}  // namespace

int VirtualKeyOf(int usage) {
    if (usage >= 4 && usage <= 29) return 'A' + (usage - 4);     // letters
    if (usage >= 30 && usage <= 38) return '1' + (usage - 30);   // digits 1-9
    if (usage == 39) return '0';
    if (usage >= 58 && usage <= 69) return VK_F1 + (usage - 58); // F1-F12
    if (usage >= 89 && usage <= 97) return VK_NUMPAD1 + (usage - 89);
    for (const KeyRow& row : kKeys)
        if (row.usage == usage) return row.vk;
    return 0;
}

}  // namespace window
