// Key input: the ring of typed bytes, text fields edited a whole character at a time,
// text-input handles, and the IME through the platform's fake input method.
#include <cstring>
#include <string>
#include <vector>

#include "LibraryFixture.h"
#include "QzGraphicsHandle.h"
#include "QzInputKey.h"
#include "QzUseCLib.h"
#include "QzWinMemory.h"
#include "QzWinWindow.h"
#include "platform/imm.h"

namespace QzInputKey_test {

namespace {

using KeyInputTest = LibraryTest;

std::string Pop(int take) {
    char out[2];
    int size = PopInputChar(out, take);
    return std::string(out, static_cast<size_t>(size));
}

TEST_F(KeyInputTest, TheRingHolds1024BytesInOrderAndWaitsForATrailByte) {
    InitializeCharCodeBuffer();
    for (int i = 0; i < 1024; i++) ASSERT_EQ(PushInputChar('a' + i % 26), 0) << i;
    EXPECT_EQ(IsInputCharBufferFull(), 1);
    EXPECT_EQ(PushInputChar('!'), -1) << "the 1025th";
    for (int i = 0; i < 1000; i++) ASSERT_EQ(Pop(1), std::string(1, static_cast<char>('a' + i % 26)));
    // Past the end of the slots: the order holds across the wrap.
    for (char c : std::string("xyz")) PushInputChar(c);
    for (int i = 1000; i < 1024; i++) ASSERT_EQ(Pop(1), std::string(1, static_cast<char>('a' + i % 26)));
    EXPECT_EQ(Pop(0), "x") << "take 0 leaves it";
    EXPECT_EQ(Pop(1), "x");
    EXPECT_EQ(Pop(1), "y");
    EXPECT_EQ(Pop(1), "z");
    EXPECT_EQ(Pop(1), "");

    PushInputChar(0x83);
    EXPECT_EQ(Pop(1), "") << "a lead byte alone";
    PushInputChar(0x41);
    EXPECT_EQ(Pop(0), "\x83\x41");
    EXPECT_EQ(Pop(1), "\x83\x41");
    PushInputChar(0x1D);  // Left: a control code, never a lead byte
    EXPECT_EQ(Pop(1), "\x1D");
}

TEST_F(KeyInputTest, CharacterCountsStepOverDoubleByteCharacters) {
    EXPECT_EQ(CountDoubleByteChars("\x82\xA0\x82\xA2" "a", 4), 2);
    EXPECT_EQ(CountDoubleByteChars("\x82\xA0\x82\xA2" "a", 3), 2) << "half a character counts";
    EXPECT_EQ(CountDoubleByteChars("ab", 10), 2) << "the terminator stops it";
    EXPECT_EQ(CountEqualLeadingChars("\x82\xA0\x82\xA2", "\x82\xA0\x82\xA4"), 1);
    EXPECT_EQ(CountEqualLeadingChars("abc", "abd"), 2);
}

// ---- editing ------------------------------------------------------------------------------------------

struct EditCase {
    const char* name;
    const char* text;  // Shift-JIS
    int cursor;
    int maximum;
    int flags;  // 1 cancel allowed, 2 single-byte only, 4 numbers only
    std::string input;
    const char* resultText;
    int resultCursor;
    int finished;
    int cancelled;
    std::string left;  // what stays in the ring
};

const std::vector<EditCase> kEditCases = {
    {"Backspace over a double-byte character", "\x83\x41\x83\x43", 4, 10, 0, "\x08", "\x83\x41", 2, 0, 0, ""},
    // A trail byte in the lead range: "メa" is 83 81 61.
    {"Backspace after メa", "\x83\x81" "a", 3, 10, 0, "\x08", "\x83\x81", 2, 0, 0, ""},
    {"Backspace twice after メa", "\x83\x81" "a", 3, 10, 0, "\x08\x08", "", 0, 0, 0, ""},
    {"Left over メa", "\x83\x81" "a", 3, 10, 0, "\x1D", "\x83\x81" "a", 2, 0, 0, ""},
    {"Left to the start", "\x83\x81" "a", 3, 10, 0, "\x1D\x1D\x1D", "\x83\x81" "a", 0, 0, 0, ""},
    {"Delete a double-byte character", "\x83\x41" "a", 0, 10, 0, "\x10", "a", 0, 0, 0, ""},
    {"Delete at the end", "a", 1, 10, 0, "\x10", "a", 1, 0, 0, ""},
    {"Right to the end", "\x83\x41" "a", 0, 10, 0, "\x1C\x1C\x1C", "\x83\x41" "a", 3, 0, 0, ""},
    {"Backspace at the start", "a", 0, 10, 0, "\x08", "a", 0, 0, 0, ""},
    {"insert in the middle", "ac", 1, 10, 0, "b\x83\x41", "ab\x83\x41" "c", 4, 0, 0, ""},
    {"maximum 4: the last character goes", "abcd", 4, 4, 0, "e", "abce", 4, 0, 0, ""},
    {"maximum 4, cursor inside", "abcd", 1, 4, 0, "x", "axbc", 2, 0, 0, ""},
    {"maximum 4, a double-byte character", "abcd", 4, 4, 0, "\x83\x41", "ab\x83\x41", 4, 0, 0, ""},
    {"maximum 4 over a double-byte tail", "ab\x83\x81", 4, 4, 0, "z", "abz", 3, 0, 0, ""},
    {"maximum 1 refuses a double-byte character", "", 0, 1, 0, "\x83\x41" "b", "b", 1, 0, 0, ""},
    {"maximum 1 keeps its text when refusing one", "a", 1, 1, 0, "\x83\x41", "a", 1, 0, 0, ""},
    {"maximum 0 refuses everything", "", 0, 0, 0, "ab", "", 0, 0, 0, ""},
    {"numbers: minus at the start", "", 0, 10, 4, "-1", "-1", 2, 0, 0, ""},
    {"numbers: minus later", "1", 1, 10, 4, "-a\x83\x41" "2", "12", 2, 0, 0, ""},
    {"single-byte only", "", 0, 10, 2, "\x83\x41" "b", "b", 1, 0, 0, ""},
    {"Esc cancels where allowed", "a", 1, 10, 1, "\x1B" "b", "a", 1, 1, 1, "b"},
    {"Esc is nothing otherwise", "a", 1, 10, 0, "\x1B" "b", "ab", 2, 0, 0, ""},
    {"Enter finishes and leaves the rest", "", 0, 10, 0, "a\rbc", "a", 1, 1, 0, "bc"},
    {"Tab, Up and Down are ignored", "", 0, 10, 0, "\t\x1E\x1F" "a", "a", 1, 0, 0, ""},
};

TEST_F(KeyInputTest, TextFieldsEditWholeCharacters) {
    for (const EditCase& c : kEditCases) {
        SCOPED_TRACE(c.name);
        InitializeCharCodeBuffer();
        TextInputData& r = g_keyInput.records[3];
        r.inUse = 1;
        r.check = 77;
        r.maxLength = c.maximum;
        r.text = static_cast<char*>(AllocZeroedMemory(c.maximum + 1 > 16 ? c.maximum + 1 : 16, "test", 0));
        std::strcpy(r.text, c.text);
        r.length = static_cast<int>(std::strlen(c.text));
        r.cursor = c.cursor;
        r.cancelAllowed = c.flags & 1;
        r.singleByteOnly = (c.flags & 2) ? 1 : 0;
        r.numbersOnly = (c.flags & 4) ? 1 : 0;
        g_keyInput.activeHandle = MakeHandle(kHandleKindTextInput, 3, 77);
        for (char byte : c.input) PushInputChar(static_cast<unsigned char>(byte));
        EXPECT_EQ(ProcessActiveTextInput(), 0);
        EXPECT_STREQ(r.text, c.resultText);
        EXPECT_EQ(r.length, static_cast<int>(std::strlen(c.resultText)));
        EXPECT_EQ(r.cursor, c.resultCursor);
        EXPECT_EQ(r.finished, c.finished);
        EXPECT_EQ(r.cancelled, c.cancelled);
        std::string left;
        for (std::string c = Pop(1); !c.empty(); c = Pop(1)) left += c;
        EXPECT_EQ(left, c.left);
        EXPECT_EQ(DeleteTextInputData(g_keyInput.activeHandle), 0);
    }
}

TEST_F(KeyInputTest, BadHandlesAreRefusedAndTheLastDeletionSwitchesTheImeOff) {
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    HWND window = GetMainWindowHwnd();
    const int handle = Locked([] {
        TextInputData& r = g_keyInput.records[2];
        r.inUse = 1;
        r.check = 5;
        r.maxLength = 8;
        r.text = static_cast<char*>(AllocZeroedMemory(9, "test", 0));
        SetImeUse(1);
        return MakeHandle(kHandleKindTextInput, 2, 5);
    });
    EXPECT_TRUE(ptest::IsImeEnabled(window));
    const int bad[] = {MakeHandle(kHandleKindTextInput, 2, 6), MakeHandle(kHandleKindGraph, 2, 5),
                       MakeHandle(kHandleKindTextInput, 20, 5), MakeHandle(kHandleKindTextInput, 1, 0),
                       static_cast<int>(0x80000000u | static_cast<uint32_t>(handle))};
    for (int h : bad) {
        EXPECT_EQ(Locked([h] { return DeleteTextInputData(h); }), -1) << std::hex << h;
        EXPECT_EQ(Locked([h] {
                      g_keyInput.activeHandle = h;
                      int result = ProcessActiveTextInput();
                      g_keyInput.activeHandle = -1;
                      return result;
                  }),
                  -1)
            << std::hex << h;
    }
    EXPECT_EQ(Locked([handle] { return DeleteTextInputData(handle); }), 0);
    EXPECT_FALSE(ptest::IsImeEnabled(window)) << "no text input left: IME use off";
    EXPECT_EQ(Locked([handle] { return DeleteTextInputData(handle); }), -1) << "already gone";
}

// ---- the IME ------------------------------------------------------------------------------------------

class ImeTest : public KeyInputTest {
protected:
    void SetUp() override {
        KeyInputTest::SetUp();
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        window = GetMainWindowHwnd();
        Locked([] { return SetImeUse(1); });
    }
    // The fake IME's messages reach the window procedure at once: under the library lock,
    // as the pump would run it.
    template <typename Step>
    void Ime(Step step) {
        Locked([&] {
            step();
            return 0;
        });
    }
    std::string Ring() {
        std::string bytes;
        for (int at = g_keyInput.readPosition; at != g_keyInput.writePosition; at = (at + 1) % kInputRingSlots)
            bytes += static_cast<char>(g_keyInput.ring[at]);
        return bytes;
    }
    HWND window = nullptr;
};

TEST_F(ImeTest, WithImeUseOffTheMessagesAreSwallowed) {
    Locked([] { return SetImeUse(0); });
    EXPECT_EQ(Locked([this] { return HandleImeMessage(window, WM_IME_STARTCOMPOSITION, 0, 0); }), 0);
    EXPECT_EQ(g_keyInput.composing, 0);
    EXPECT_EQ(g_keyInput.imeInputSeen, 0);
}

TEST_F(ImeTest, CompositionsCursorsClausesAndResults) {
    Ime([this] { ptest::ImeCompose(window, reinterpret_cast<const char*>(u8"かなa"), 2, {0, 1}); });
    EXPECT_EQ(g_keyInput.composing, 1);
    EXPECT_STREQ(g_keyInput.composition, "\x82\xA9\x82\xC8" "a");
    EXPECT_EQ(g_keyInput.compositionCursor, 2) << "4 bytes are two characters";
    EXPECT_EQ(g_keyInput.clauseCount, 3);
    DWORD clauses[3];
    std::memcpy(clauses, g_keyInput.clauseData, sizeof clauses);
    EXPECT_EQ(clauses[1], 2u);
    EXPECT_EQ(clauses[2], 5u);
    EXPECT_EQ(g_keyInput.imeInputSeen, 1);

    Ime([this] { ptest::ImeCommit(window, reinterpret_cast<const char*>(u8"仮名a")); });
    EXPECT_EQ(Ring(), "\x89\xBC\x96\xBC" "a") << "the result's bytes, in order";
    EXPECT_EQ(g_keyInput.composing, 0);
    EXPECT_STREQ(g_keyInput.composition, "");
}

TEST_F(ImeTest, ALongCompositionKeeps1023BytesAndItsTerminator) {
    const std::string text(1024, 'k');
    Ime([&] { ptest::ImeCompose(window, text, 3); });
    EXPECT_EQ(std::strlen(g_keyInput.composition), 1023u);
    EXPECT_EQ(g_keyInput.compositionCursor, 3);
    ptest::FailCall("ImmGetCompositionStringA");
    Ime([&] { ptest::ImeCompose(window, "x", 1); });
    EXPECT_STREQ(g_keyInput.composition, "") << "a failed read is empty";
}

TEST_F(ImeTest, TheCandidateListIsKeptReplacedAndFreed) {
    const int before = g_windowSystem.tracker.count;
    Ime([this] { ptest::ImeShowCandidates(window, {"one", "two"}, 1); });
    ASSERT_NE(g_keyInput.candidateList, nullptr);
    auto* list = static_cast<CANDIDATELIST*>(g_keyInput.candidateList);
    EXPECT_EQ(list->dwCount, 2u);
    EXPECT_STREQ(reinterpret_cast<char*>(list) + list->dwOffset[1], "two");
    EXPECT_EQ(g_windowSystem.tracker.count, before + 1);
    Ime([this] { ptest::ImeShowCandidates(window, {"three"}, 0); });
    list = static_cast<CANDIDATELIST*>(g_keyInput.candidateList);
    EXPECT_STREQ(reinterpret_cast<char*>(list) + list->dwOffset[0], "three");
    EXPECT_EQ(g_windowSystem.tracker.count, before + 1) << "replaced, not added";
    Ime([this] { ptest::ImeCloseCandidates(window); });
    EXPECT_EQ(g_keyInput.candidateList, nullptr);
    EXPECT_EQ(g_windowSystem.tracker.count, before);
}

TEST_F(ImeTest, AnEmptyOrUnreadableCandidateListLogsItsLine) {
    HWND imeWindow = ImmGetDefaultIMEWnd(window);
    HIMC context = ImmGetContext(imeWindow);
    char line[128];
    std::snprintf(line, sizeof line, "漢字変換候補のデータサイズが０でした  DefHWND:%x IMC:%x\r\n",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(imeWindow)),
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(context)));
    Ime([this] { ptest::ImeShowCandidates(window, {}, 0); });
    EXPECT_NE(Log().find(line), std::string::npos) << line;
    EXPECT_EQ(g_keyInput.candidateList, nullptr);

    ptest::FailCall("ImmGetCandidateListA", 2);  // the size comes; the copy fails
    Ime([this] { ptest::ImeShowCandidates(window, {"abc"}, 0); });
    EXPECT_EQ(g_keyInput.candidateList, nullptr);
    EXPECT_NE(Log().find("漢字変換候補の取得に失敗しました  BufSize:32\r\n"), std::string::npos);
}

TEST_F(ImeTest, AnOpenStatusNotificationStoresTheStatusAfterItsShortPump) {
    Ime([this] { ptest::ImeSwitchOpen(window, true); });
    EXPECT_EQ(g_keyInput.imeOpenStatus, 1);
    Locked([] { return SetImeOpenStatus(0); });
    EXPECT_EQ(g_keyInput.imeOpenStatus, 0);
}

}  // namespace

}  // namespace QzInputKey_test
