// Keys, typed text and the input method on the headless backend: one key table for the
// virtual-key and DirectInput state, WM_CHAR bytes, and the IME messages and strings.
#include <cstring>

#include "input_support.h"
#include "platform/imm.h"
#include "window/keys.h"

namespace keys_ime_test {

namespace {

using inputtest::InputTest;
using inputtest::Take;
using KeysTest = InputTest;

BYTE VirtualKeyState(int vk) {
    BYTE state[256];
    GetKeyboardState(state);
    return state[vk];
}

BYTE DikState(int dik) {
    uint8_t state[256];
    window::ReadDikState(state);
    return state[dik];
}

TEST_F(KeysTest, AKeyGivesItsVirtualKeyInMessagesAndBothStates) {
    struct Case {
        int usage, vk, dik;
    };
    const Case cases[] = {
        {ptest::key::Z, 'Z', DIK_Z},        {90, VK_NUMPAD2, DIK_NUMPAD2},   {88, VK_RETURN, DIK_NUMPADENTER},
        {52, VK_OEM_1, DIK_COLON},          {47, VK_OEM_3, DIK_AT},         {135, VK_OEM_102, DIK_BACKSLASH},
        {ptest::key::Down, VK_DOWN, DIK_DOWN},
    };
    for (const Case& c : cases) {
        ptest::InjectKey(window, c.usage, true);
        inputtest::PumpAll();
        std::vector<inputtest::Message> down = Take({WM_KEYDOWN});
        ASSERT_EQ(down.size(), 1u) << "usage " << c.usage;
        EXPECT_EQ(down[0].wParam, static_cast<WPARAM>(c.vk)) << "usage " << c.usage;
        EXPECT_EQ(VirtualKeyState(c.vk), 0x80) << "usage " << c.usage;
        EXPECT_EQ(DikState(c.dik), 0x80) << "usage " << c.usage;
        ptest::InjectKey(window, c.usage, false);
        inputtest::PumpAll();
        EXPECT_EQ(VirtualKeyState(c.vk), 0) << "usage " << c.usage;
        EXPECT_EQ(DikState(c.dik), 0) << "usage " << c.usage;
    }
}

TEST_F(KeysTest, ModifiersHoldTheGenericCodeWithTheirSide) {
    ptest::InjectKey(window, ptest::key::LeftShift, true);
    ptest::InjectKey(window, 229, true);  // right Shift
    inputtest::PumpAll();
    EXPECT_EQ(Take({WM_KEYDOWN})[0].wParam, static_cast<WPARAM>(VK_SHIFT));
    EXPECT_EQ(VirtualKeyState(VK_LSHIFT), 0x80);
    EXPECT_EQ(VirtualKeyState(VK_RSHIFT), 0x80);
    ptest::InjectKey(window, ptest::key::LeftShift, false);
    inputtest::PumpAll();
    EXPECT_EQ(VirtualKeyState(VK_SHIFT), 0x80) << "the right one still holds it";
    EXPECT_EQ(VirtualKeyState(VK_LSHIFT), 0);
    ptest::InjectKey(window, 229, false);
    ptest::InjectKey(window, ptest::key::LeftControl, true);
    inputtest::PumpAll();
    EXPECT_EQ(VirtualKeyState(VK_SHIFT), 0);
    EXPECT_EQ(VirtualKeyState(VK_CONTROL), 0x80);
    EXPECT_EQ(VirtualKeyState(VK_LCONTROL), 0x80);
    EXPECT_EQ(DikState(DIK_LCONTROL), 0x80);
}

TEST_F(KeysTest, TextArrivesAsCp932BytesAfterTheKeyWhateverTheImeSwitch) {
    WINNLSEnableIME(window, FALSE);
    ptest::InjectKey(window, ptest::key::A, true);
    ptest::InjectText(window, reinterpret_cast<const char*>(u8"あa"));
    inputtest::PumpAll();
    std::vector<inputtest::Message> seen = Take({WM_KEYDOWN, WM_CHAR});
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(seen[1].wParam, 0x82u);
    EXPECT_EQ(seen[2].wParam, 0xA0u);
    EXPECT_EQ(seen[3].wParam, 0x61u);
}

// ---- the input method --------------------------------------------------------------------------

using ImeTest = InputTest;

TEST_F(ImeTest, WithTheImeOffCompositionsSendNothingAndCommittedTextIsWmChar) {
    WINNLSEnableIME(window, FALSE);
    ptest::ImeCompose(window, reinterpret_cast<const char*>(u8"かな"), 2);
    ptest::ImeCommit(window, reinterpret_cast<const char*>(u8"仮名"));
    inputtest::PumpAll();
    std::vector<inputtest::Message> seen =
        Take({WM_IME_STARTCOMPOSITION, WM_IME_COMPOSITION, WM_IME_ENDCOMPOSITION, WM_CHAR});
    ASSERT_EQ(seen.size(), 4u);
    for (const inputtest::Message& m : seen) EXPECT_EQ(m.message, static_cast<UINT>(WM_CHAR));
}

TEST_F(ImeTest, ACompositionRunsFromStartToResultAndEnd) {
    ptest::ImeCompose(window, reinterpret_cast<const char*>(u8"かな"), 2, {0, 1});
    HIMC context = ImmGetContext(ImmGetDefaultIMEWnd(window));
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(ImmGetCompositionStringA(context, GCS_CURSORPOS, nullptr, 0), 4) << "bytes after two kana";
    char text[8] = {};
    EXPECT_EQ(ImmGetCompositionStringA(context, GCS_COMPSTR, nullptr, 0), 4);
    EXPECT_EQ(ImmGetCompositionStringA(context, GCS_COMPSTR, text, 3), 3) << "at most the length, no terminator";
    EXPECT_EQ(std::memcmp(text, "\x82\xA9\x82", 3), 0);
    DWORD clauses[4] = {};
    ASSERT_EQ(ImmGetCompositionStringA(context, GCS_COMPCLAUSE, clauses, sizeof clauses), 12);
    EXPECT_EQ(clauses[1], 2u);
    EXPECT_EQ(clauses[2], 4u);
    ptest::ImeCompose(window, reinterpret_cast<const char*>(u8"かなa"), 1);
    EXPECT_EQ(ImmGetCompositionStringA(context, GCS_COMPCLAUSE, nullptr, 0), 0) << "SDL's kind: no clauses";
    ptest::ImeCommit(window, reinterpret_cast<const char*>(u8"仮名"));
    EXPECT_EQ(ImmGetCompositionStringA(context, GCS_RESULTSTR, nullptr, 0), 4);
    EXPECT_EQ(ImmGetCompositionStringA(context, GCS_COMPSTR, nullptr, 0), 0);

    std::vector<inputtest::Message> seen =
        Take({WM_IME_STARTCOMPOSITION, WM_IME_COMPOSITION, WM_IME_ENDCOMPOSITION, WM_CHAR});
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0].message, static_cast<UINT>(WM_IME_STARTCOMPOSITION));
    EXPECT_EQ(seen[1].lParam, static_cast<LPARAM>(GCS_COMPSTR | GCS_CURSORPOS | GCS_COMPCLAUSE));
    EXPECT_EQ(seen[2].lParam, static_cast<LPARAM>(GCS_COMPSTR | GCS_CURSORPOS)) << "no second start";
    EXPECT_EQ(seen[3].lParam, static_cast<LPARAM>(GCS_RESULTSTR));
    EXPECT_EQ(seen[4].message, static_cast<UINT>(WM_IME_ENDCOMPOSITION));

    ptest::ImeCompose(window, reinterpret_cast<const char*>(u8"え"), 1);
    ptest::ImeCompose(window, "", 0);
    EXPECT_EQ(Take({WM_IME_STARTCOMPOSITION, WM_IME_ENDCOMPOSITION}).size(), 2u) << "an emptied one ends";
}

TEST_F(ImeTest, TheCandidateListIsCopiedWhole) {
    HIMC context = ImmGetContext(window);
    EXPECT_EQ(ImmGetCandidateListA(context, 0, nullptr, 0), 0u) << "no list";
    ptest::ImeShowCandidates(window, {reinterpret_cast<const char*>(u8"仮名"), "kana"}, 1);
    const DWORD size = ImmGetCandidateListA(context, 0, nullptr, 0);
    ASSERT_GT(size, sizeof(CANDIDATELIST));
    std::vector<uint8_t> bytes(size);
    auto* list = reinterpret_cast<CANDIDATELIST*>(bytes.data());
    EXPECT_EQ(ImmGetCandidateListA(context, 0, list, size - 1), 0u) << "too small";
    ASSERT_EQ(ImmGetCandidateListA(context, 0, list, size), size);
    EXPECT_EQ(list->dwCount, 2u);
    EXPECT_EQ(list->dwSelection, 1u);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + list->dwOffset[0]), "\x89\xBC\x96\xBC");
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + list->dwOffset[1]), "kana");
    ptest::ImeShowCandidates(window, {"x"}, 0);
    ptest::ImeCloseCandidates(window);
    std::vector<inputtest::Message> notes = Take({WM_IME_NOTIFY});
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0].wParam, static_cast<WPARAM>(IMN_OPENCANDIDATE));
    EXPECT_EQ(notes[1].wParam, static_cast<WPARAM>(IMN_CHANGECANDIDATE));
    EXPECT_EQ(notes[2].wParam, static_cast<WPARAM>(IMN_CLOSECANDIDATE));
}

TEST_F(ImeTest, AnOpenStatusChangeNotifiesOnce) {
    HIMC context = ImmGetContext(ImmGetDefaultIMEWnd(window));
    EXPECT_EQ(ImmGetOpenStatus(context), FALSE);
    EXPECT_EQ(ImmSetOpenStatus(context, TRUE), TRUE);
    EXPECT_EQ(ImmSetOpenStatus(context, TRUE), TRUE);
    EXPECT_EQ(ImmGetOpenStatus(context), TRUE);
    ptest::ImeSwitchOpen(window, false);
    std::vector<inputtest::Message> notes = Take({WM_IME_NOTIFY});
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].wParam, static_cast<WPARAM>(IMN_SETOPENSTATUS));
    EXPECT_EQ(ImmGetOpenStatus(context), FALSE);
}

}  // namespace

}  // namespace keys_ime_test
