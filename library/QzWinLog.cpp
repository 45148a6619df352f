// QzWinLog.cpp: the log file and the fatal-error path. Callers hold the library lock.
//
// Rules of the log:
// - The file lives in the start-up directory; nothing is written before that directory
//   is known. The file is opened and closed for every text, so the log is complete up
//   to the last line even if the process dies.
// - A text that begins a new line (the previous one ended with "\n") gets the
//   milliseconds since the log was created as "%d:" (file only) and one TAB per
//   indentation level (file and debugger). Lines inside one text get neither.
// - "\n" is written as "\r\n", found Shift-JIS-aware; at the first "\n" that already
//   follows a "\r" converting stops and the rest is copied as it stands.
// - An empty text writes nothing and leaves the line as it was.
#include "QzWinLog.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include <platform/win32.h>
#include <platform/winmm.h>

#include "QzUseCLib.h"
#include "QzWinFileAccess.h"
#include "QzWinLock.h"
#include "QzWinMemory.h"
#include "QzWinStartup.h"
#include "QzWinState.h"

namespace {

constexpr int kStackCopySize = 256;

// Counts the line feeds that the conversion turns into "\r\n".
int CountConvertedLineFeeds(const char* text) {
    int count = 0;
    const char* rest = text;
    for (;;) {
        const char* lineFeed = FindFirstChar(rest, '\n');
        if (lineFeed == nullptr) break;
        if (lineFeed > text && lineFeed[-1] == '\r') break;
        count++;
        rest = lineFeed + 1;
    }
    return count;
}

void ConvertLineFeeds(const char* text, char* out) {
    const char* rest = text;
    for (;;) {
        const char* lineFeed = FindFirstChar(rest, '\n');
        if (lineFeed == nullptr || (lineFeed > text && lineFeed[-1] == '\r')) break;
        size_t length = static_cast<size_t>(lineFeed - rest);
        std::memcpy(out, rest, length);
        out += length;
        *out++ = '\r';
        *out++ = '\n';
        rest = lineFeed + 1;
    }
    std::strcpy(out, rest);
}

void WriteBytes(HANDLE file, const char* bytes, size_t length) {
    DWORD written = 0;
    WriteFile(file, bytes, static_cast<DWORD>(length), &written, nullptr);
}

void WriteTabs(HANDLE file, int count) {
    char tabs[65];
    std::memset(tabs, '\t', 64);
    while (count > 0) {
        int chunk = count < 64 ? count : 64;
        tabs[chunk] = '\0';
        WriteBytes(file, tabs, static_cast<size_t>(chunk));
        OutputDebugStringA(tabs);
        count -= chunk;
    }
}

// A log that cannot be written loses its texts; the person running the program is told
// once, on standard error (the debugger output), with the system's reason.
void TellLogNotWritten() {
    WindowSystemState& ws = g_windowSystem;
    if (ws.logFailureTold) return;
    ws.logFailureTold = 1;
    const DWORD error = GetLastError();
    char reason[160];
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, reason,
                       sizeof reason, nullptr) == 0)
        FormatStringBounded(reason, sizeof reason, "error %lu", static_cast<unsigned long>(error));
    // The system's text ends in "\r\n".
    if (char* end = FindFirstChar(reason, '\r')) *end = '\0';
    char line[MAX_PATH + 256];
    FormatStringBounded(line, sizeof line, "%s cannot be written (%s); the log is lost\n", ws.logFileName, reason);
    OutputDebugStringA(line);
}

void WriteToLogFile(const char* copy, size_t length) {
    WindowSystemState& ws = g_windowSystem;
    char previousDir[MAX_PATH] = "";
    FileAccessGetDir(previousDir);
    FileAccessSetDir(ws.startupDir);

    HANDLE file = CreateFileA(ws.logFileName, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        SetFilePointer(file, 0, nullptr, FILE_END);
        if (ws.logLineOpen == 0) {
            if (ws.logNoTimePrefix != 1) {
                char prefix[16];
                int elapsed = static_cast<int>(timeGetTime() - ws.logStartTime);
                int prefixLength = FormatStringBounded(prefix, sizeof prefix, "%d:", elapsed);
                WriteBytes(file, prefix, static_cast<size_t>(prefixLength));
            }
            if (ws.logIndent > 0) WriteTabs(file, ws.logIndent);
        }
        WriteBytes(file, copy, length);
        OutputDebugStringA(copy);
        ws.logLineOpen = copy[length - 1] != '\n' ? 1 : 0;
        CloseHandle(file);
    } else {
        TellLogNotWritten();
    }
    // A file that cannot be opened loses the text; the directory comes back all the same.
    if (previousDir[0] != '\0') FileAccessSetDir(previousDir);
}

}  // namespace

int CreateLogFile() {
    WindowSystemState& ws = g_windowSystem;
    if (ws.logOff == 1 || ws.userWindowMode) return 1;

    if (ws.logDateNamed) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        FormatStringBounded(ws.logFileName, sizeof ws.logFileName, "AppLog%d_%d_%d_%d_%d_%d.txt", now.wYear, now.wMonth,
                            now.wDay, now.wHour, now.wMinute, now.wSecond);
    } else {
        CopyStringBounded(ws.logFileName, sizeof ws.logFileName, "AppLog.txt");
    }

    ws.logFailureTold = 0;
    DeleteFileA(ws.logFileName);
    HANDLE file = CreateFileA(ws.logFileName, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    // An old log that stays (its folder forbids the delete) is written after its end:
    // only a failed write tells.
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);

    ws.logIndent = 0;
    ws.logLineOpen = 0;
    ws.logStartTime = timeGetTime();
    return 1;
}

int WriteLog(const char* text) {
    WindowSystemState& ws = g_windowSystem;
    if (text == nullptr || text[0] == '\0') return -1;

    size_t length = std::strlen(text);
    size_t converted = length + static_cast<size_t>(CountConvertedLineFeeds(text));
    char stackCopy[kStackCopySize];
    char* copy = stackCopy;
    char* block = nullptr;
    if (converted + 1 > sizeof stackCopy) {
        if (converted + 1 > static_cast<size_t>(0x7FFFFFFF - kAllocHeaderSize)) return -1;
        block = static_cast<char*>(AllocMemory(static_cast<int>(converted + 1), nullptr, -1));
        // Without memory for the copy the text is lost.
        if (block == nullptr) return -1;
        copy = block;
    }
    ConvertLineFeeds(text, copy);

    if (ws.userWindowMode) {
        OutputDebugStringA(copy);
    } else if (ws.logOff != 1 && ws.startupDir[0] != '\0') {
        WriteToLogFile(copy, converted);
    }

    if (block != nullptr) FreeMemory(block);
    return -1;
}

int WriteLogFormat(const char* format, ...) {
    char buffer[kLogFormatBufferSize];
    va_list args;
    va_start(args, format);
    // One byte stays free for the line feed.
    int length = FormatStringBoundedV(buffer, kLogFormatBufferSize - 1, format, args);
    va_end(args);
    if (length < 0) length = 0;
    buffer[length] = '\n';
    buffer[length + 1] = '\0';
    return WriteLog(buffer);
}

int IndentLog() {
    g_windowSystem.logIndent++;
    return 0;
}

int UnindentLog() {
    if (g_windowSystem.logIndent > 0) g_windowSystem.logIndent--;
    return 0;
}

void ExitWithFatalError(const char* text) {
    WriteLog(text);
    WriteLog("\n");
    // Off the main thread (the message thread's upkeep) the end sequence cannot run: it
    // waits for the main window's destruction, which only the main thread can bring.
    // There the process ends at once, the log written.
    const bool mainThread = g_windowSystem.mainThreadId == 0 || g_windowSystem.mainThreadId == GetCurrentThreadId();
    // A fatal error inside the end sequence must not run it a second time.
    if (mainThread && g_windowSystem.endingFlag != 1) {
        TerminateLibrary();
        // The message thread may still wait on the lock's events; the process ends next
        // anyway, so they are closed only when nobody is queued.
        DestroyLibraryLock(true);
    }
    ExitProcess(0xFFFFFFFFu);
    std::abort();  // ExitProcess does not return
}

void ExitWithFatalErrorFormat(const char* format, ...) {
    char buffer[kLogFormatBufferSize];
    va_list args;
    va_start(args, format);
    FormatStringBoundedV(buffer, kLogFormatBufferSize, format, args);
    va_end(args);
    ExitWithFatalError(buffer);
}
