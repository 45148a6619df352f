// QzInputKey.cpp: the ring of typed bytes and the text-input records (see the header).
//
// Rules of ProcessActiveTextInput, per character taken from the ring:
// - Backspace (8), Delete (0x10), Left (0x1D) and Right (0x1C) act on whole characters;
//   character boundaries are found by walking the text from its start, since a
//   Shift-JIS trail byte may lie in the lead range.
// - Enter (13) finishes the input, leaving later bytes in the ring; Esc (27) cancels
//   and finishes it where cancelling is allowed; 9, 30 and 31 are ignored.
// - Anything else is a character: a numbers-only field takes digits, and '-' at the
//   start; a single-byte field refuses double-byte characters. Until the character fits,
//   the text's last character goes (the cursor with it when it was at the end); a
//   character that does not fit an empty text is refused.
#include "QzInputKey.h"

#include <cstring>

#include "QzDrawScreenColor.h"
#include "QzGraphicsHandle.h"
#include "QzUseCLib.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "QzWinState.h"
#include "QzWinTime.h"

KeyInputBlock g_keyInput;

namespace {

int CodePageMode() { return g_windowSystem.codePageMode == 2 ? 2 : 1; }

bool IsLead(const char* byte) { return IsDoubleByteLeadChar(byte, CodePageMode()) != 0; }

int Step(int position) { return position + 1 == kInputRingSlots ? 0 : position + 1; }
int StepBack(int position) { return position == 0 ? kInputRingSlots - 1 : position - 1; }

// Bytes of the character at `at` (below length): a lead byte takes the next one with it.
int CharSizeAt(const char* text, int length, int at) { return IsLead(text + at) && at + 1 < length ? 2 : 1; }

// Where the character before `at` starts.
int PreviousBoundary(const char* text, int length, int at) {
    int position = 0, previous = 0;
    while (position < at) {
        previous = position;
        position += CharSizeAt(text, length, position);
    }
    return previous;
}

void RemoveBytes(TextInputData* r, int at, int count) {
    std::memmove(r->text + at, r->text + at + count, static_cast<size_t>(r->length - at - count + 1));
    r->length -= count;
}

TextInputData* RecordOf(int handle) {
    if (handle < 0 || GetHandleKind(handle) != kHandleKindTextInput) return nullptr;
    const int slot = GetHandleSlot(handle);
    if (slot >= kTextInputCount) return nullptr;
    TextInputData* r = &g_keyInput.records[slot];
    if (!r->inUse || r->check != GetHandleCheck(handle)) return nullptr;
    return r;
}

void InsertCharacter(TextInputData* r, const char* ch, int size) {
    const unsigned char b = static_cast<unsigned char>(ch[0]);
    if (r->numbersOnly && !(b >= '0' && b <= '9') && !(b == '-' && r->cursor == 0)) return;
    if (r->singleByteOnly && size == 2) return;
    // A character longer than the whole field can never fit: refuse it before trimming.
    if (size > r->maxLength) return;
    while (r->length + size > r->maxLength) {
        const int last = PreviousBoundary(r->text, r->length, r->length);
        const bool cursorAtEnd = r->cursor == r->length;
        RemoveBytes(r, last, r->length - last);
        if (cursorAtEnd) r->cursor = r->length;
    }
    std::memmove(r->text + r->cursor + size, r->text + r->cursor, static_cast<size_t>(r->length - r->cursor + 1));
    std::memcpy(r->text + r->cursor, ch, static_cast<size_t>(size));
    r->cursor += size;
    r->length += size;
}

}  // namespace

int InitializeCharCodeBuffer() {
    KeyInputBlock& k = g_keyInput;
    WriteLog("文字コードバッファの初期化を行います... ");
    std::memset(&k, 0, sizeof k);
    static const int kColors[7][3] = {{255, 255, 255}, {255, 255, 255}, {255, 255, 0}, {0, 255, 255},
                                      {255, 255, 255}, {255, 50, 50},   {255, 255, 20}};
    for (int i = 0; i < 7; i++) k.colors[i] = GetScreenColorValue(kColors[i][0], kColors[i][1], kColors[i][2]);
    k.activeHandle = -1;
    k.blinkStart = 0;
    k.blinkPeriod = 500;
    k.cursorShown = 1;
    WriteLog("完了しました\n");
    return 0;
}

int PushInputChar(int byte) {
    KeyInputBlock& k = g_keyInput;
    if (IsInputCharBufferFull()) return -1;
    k.ring[k.writePosition] = static_cast<unsigned char>(byte);
    k.writePosition = Step(k.writePosition);
    return 0;
}

int IsInputCharBufferFull() { return Step(g_keyInput.writePosition) == g_keyInput.readPosition ? 1 : 0; }

int PopInputChar(char out[2], int take) {
    KeyInputBlock& k = g_keyInput;
    out[0] = out[1] = 0;
    if (k.readPosition == k.writePosition) return 0;
    const char first = static_cast<char>(k.ring[k.readPosition]);
    out[0] = first;
    k.readPosition = Step(k.readPosition);
    int result = 1;
    if (!IsInputControlCode(static_cast<unsigned char>(first)) && IsLead(&first)) {
        if (k.readPosition == k.writePosition) {
            // The trail byte has not come yet: the lead byte waits for it.
            k.readPosition = StepBack(k.readPosition);
            out[0] = 0;
            return 0;
        }
        out[1] = static_cast<char>(k.ring[k.readPosition]);
        if (take) k.readPosition = Step(k.readPosition);
        result = 2;
    }
    if (!take) k.readPosition = StepBack(k.readPosition);
    return result;
}

int IsInputControlCode(int byte) {
    switch (byte) {
    case kInputCodeDelete:
    case kInputCodeLeft:
    case kInputCodeRight:
    case kInputCodeUp:
    case kInputCodeDown: return 1;
    default: return 0;
    }
}

int CountDoubleByteChars(const char* text, int bytes) {
    int count = 0;
    for (int at = 0; at < bytes && text[at] != '\0'; count++)
        at += IsLead(text + at) && text[at + 1] != '\0' ? 2 : 1;
    return count;
}

int CountEqualLeadingChars(const char* a, const char* b) {
    int count = 0;
    int at = 0;
    while (a[at] != '\0' && b[at] != '\0') {
        const int size = IsLead(a + at) && a[at + 1] != '\0' ? 2 : 1;
        if (std::memcmp(a + at, b + at, static_cast<size_t>(size)) != 0) break;
        at += size;
        count++;
    }
    return count;
}

int ResetInputCursorBlink() {
    g_keyInput.blinkStart = GetMillisecondTime(0);
    g_keyInput.cursorShown = 1;
    return 0;
}

int ProcessActiveTextInput() {
    KeyInputBlock& k = g_keyInput;
    if (k.activeHandle == -1) return 0;
    TextInputData* r = RecordOf(k.activeHandle);
    if (r == nullptr || r->text == nullptr) return -1;
    char ch[2];
    int size;
    while (!r->finished && (size = PopInputChar(ch, 1)) != 0) {
        ResetInputCursorBlink();
        switch (static_cast<unsigned char>(ch[0])) {
        case 8:
            if (r->cursor > 0) {
                const int previous = PreviousBoundary(r->text, r->length, r->cursor);
                RemoveBytes(r, previous, r->cursor - previous);
                r->cursor = previous;
            }
            break;
        case kInputCodeDelete:
            if (r->cursor < r->length) RemoveBytes(r, r->cursor, CharSizeAt(r->text, r->length, r->cursor));
            break;
        case kInputCodeLeft:
            if (r->cursor > 0) r->cursor = PreviousBoundary(r->text, r->length, r->cursor);
            break;
        case kInputCodeRight:
            if (r->cursor < r->length) r->cursor += CharSizeAt(r->text, r->length, r->cursor);
            break;
        case 13: r->finished = 1; break;
        case 27:
            if (r->cancelAllowed) {
                r->cancelled = 1;
                r->finished = 1;
            }
            break;
        case 9:
        case kInputCodeUp:
        case kInputCodeDown: break;
        default: InsertCharacter(r, ch, size); break;
        }
    }
    return 0;
}

int DeleteTextInputData(int handle) {
    KeyInputBlock& k = g_keyInput;
    TextInputData* r = RecordOf(handle);
    if (r == nullptr) return -1;
    FreeMemory(r->text);
    std::memset(r, 0, sizeof *r);
    if (k.activeHandle == handle) k.activeHandle = -1;
    for (const TextInputData& other : k.records)
        if (other.inUse) return 0;
    SetImeUse(0);
    return 0;
}

int DeleteAllTextInputData() {
    KeyInputBlock& k = g_keyInput;
    for (int slot = 0; slot < kTextInputCount; slot++) {
        const TextInputData& r = k.records[slot];
        if (r.inUse) DeleteTextInputData(MakeHandle(kHandleKindTextInput, slot, r.check));
    }
    k.activeHandle = -1;
    return 0;
}
