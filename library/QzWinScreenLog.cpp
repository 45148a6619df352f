// QzWinScreenLog.cpp: the on-screen log.
//
// Rules: a tab is tab-width spaces, a line feed starts a line, BEL, BS, VT, FF, CR and
// byte 0x3F are not shown; a character (one byte, or two after a lead byte of the code
// page) that would make the line reach 255 bytes or the screen width starts a new line
// first, so a double-byte character is never split. Rows = screen height / font size, at
// most 80; a new line past the last row scrolls the first away. After a change to a
// smaller screen the current line is brought up to the last row, the newest lines with
// it, so text never lands on a line that is not drawn. Main thread under the library
// lock.
#include "QzWinScreenLog.h"

#include <cstring>

#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "QzGraphicsFont.h"
#include "QzGraphicsText.h"
#include "QzUseCLib.h"
#include "QzWinState.h"

namespace {

ScreenLogBlock& Log() {
    return g_windowSystem.screenLog;
}

int Rows() {
    int width = 0, height = 0;
    GetScreenSize(&width, &height);
    int rows = Log().fontSize > 0 ? height / Log().fontSize : 0;
    return rows > 80 ? 80 : rows < 1 ? 1 : rows;
}

// Moves the newest lines up when the current line lies below the last row.
void ClampToRows() {
    ScreenLogBlock& log = Log();
    int last = Rows() - 1;
    if (log.lineIndex <= last) return;
    int shift = log.lineIndex - last;
    std::memmove(log.lines[0], log.lines[shift], sizeof log.lines[0] * (size_t)(last + 1));
    for (int i = last + 1; i <= log.lineIndex; ++i) log.lines[i][0] = '\0';
    log.lineIndex = last;
}

// Start-up on first use and the font; false when the log cannot start.
bool Ready() {
    if (!Log().initialized && InitScreenLog() != 0) return false;
    PrepareScreenLogFont();
    ClampToRows();
    return true;
}

}  // namespace

int InitScreenLog() {
    if (GetDirectDrawObject() == nullptr || g_windowSystem.mainWindow == nullptr) return -1;
    ScreenLogBlock& log = Log();
    if (log.initialized) return 0;
    log.initialized = 1;
    log.fontSize = 16;
    log.font = -1;
    log.fontGone = 1;
    PrepareScreenLogFont();
    log.visible = 0;
    log.reserved = 0;
    log.tabWidth = 4;
    log.linePosition = 0;
    log.lineIndex = 0;
    log.lineWidth = 0;
    std::memset(log.lines, 0, sizeof log.lines);
    return 0;
}

int PrepareScreenLogFont() {
    ScreenLogBlock& log = Log();
    if (!log.fontGone) return 0;
    // A device reset re-makes every font in its own slot under its handle: the log keeps
    // that one (registering again) instead of leaving it behind and taking another slot.
    FontData* kept = GetFontData(log.font);
    if (kept != nullptr && kept->size == log.fontSize && kept->thickness == 4 && kept->fontType == 1 &&
        kept->deleteNotify == nullptr) {
        SetFontDeleteNotify(log.font, &log.fontGone);
        return 0;
    }
    int font = CreateFontToHandle(nullptr, log.fontSize, 4, 1, -1, -1, -1, -1);
    log.font = font;
    // A font that could not be made is tried again at the next use.
    if (font != -1) SetFontDeleteNotify(font, &log.fontGone);
    return 0;
}

int DeleteScreenLogFont() {
    ScreenLogBlock& log = Log();
    if (!log.initialized) return 0;
    if (!log.fontGone) DeleteFontData(log.font);
    log.fontGone = 1;
    log.font = -1;
    log.initialized = 0;
    return 0;
}

int NewScreenLogLine() {
    if (!Ready()) return 0;
    ScreenLogBlock& log = Log();
    int rows = Rows();
    if (log.lineIndex + 1 < rows) {
        ++log.lineIndex;
    } else {
        std::memmove(log.lines[0], log.lines[1], sizeof log.lines[0] * (size_t)log.lineIndex);
    }
    log.lines[log.lineIndex][0] = '\0';
    log.lineWidth = 0;
    log.linePosition = 0;
    return 0;
}

int AddScreenLogChar(const char* text) {
    if (!Ready()) return 0;
    ScreenLogBlock& log = Log();
    // A lead byte at the end of the text is a character of its own.
    int size = IsDoubleByteLeadChar(text, g_windowSystem.codePageMode) && text[1] != '\0' ? 2 : 1;
    int width = MeasureFontStringWidth(text, size, log.font, 0);
    if (width < 0) width = 0;
    int screenWidth = 0, screenHeight = 0;
    GetScreenSize(&screenWidth, &screenHeight);
    if (log.linePosition + size >= 255 || log.lineWidth + width >= screenWidth) NewScreenLogLine();
    log.lineWidth += width;
    char* line = log.lines[log.lineIndex];
    std::memcpy(line + log.linePosition, text, (size_t)size);
    log.linePosition += size;
    line[log.linePosition] = '\0';
    return size;
}

int AddScreenLogText(const char* text) {
    if (!Ready() || text == nullptr) return 0;
    for (const char* p = text; *p != '\0';) {
        switch ((unsigned char)*p) {
        case '\t':
            for (int i = 0; i < Log().tabWidth; ++i) AddScreenLogChar(" ");
            ++p;
            break;
        case '\n':
            NewScreenLogLine();
            ++p;
            break;
        case 0x07: case 0x08: case 0x0B: case 0x0C: case 0x0D: case 0x3F:
            ++p;
            break;
        default:
            p += AddScreenLogChar(p);
            break;
        }
    }
    return 0;
}

int ClearScreenLog() {
    if (!Ready()) return 0;
    ScreenLogBlock& log = Log();
    std::memset(log.lines, 0, sizeof log.lines);
    log.lineIndex = 0;
    log.linePosition = 0;
    log.lineWidth = 0;
    return 0;
}

int DrawScreenLog() {
    if (!Ready()) return 0;
    ScreenLogBlock& log = Log();
    int rows = Rows();
    uint32_t white = GetScreenColorValue(255, 255, 255), black = GetScreenColorValue(0, 0, 0);
    for (int i = 0; i < rows; ++i)
        if (log.lines[i][0] != '\0') DrawStringWithFont(0, i * log.fontSize, log.lines[i], white, log.font, black, 0);
    return 0;
}

int IsScreenLogVisible() {
    return Log().visible;
}
