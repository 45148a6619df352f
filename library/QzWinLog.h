// QzWinLog.h: the diagnostic log "AppLog.txt" in the start-up directory, and the fatal
// error path. Every library part writes its progress and failures through these.
// No lock of its own: callers hold the library lock.
#pragma once

// Deletes and recreates the log file in the current directory; always 1.
int CreateLogFile();
// Writes text; "\n" becomes "\r\n". Always -1, so a failing operation can end by
// returning the log call's result.
int WriteLog(const char* text);
// printf-style into 1024 bytes (cut on a character boundary), then "\n"; always -1.
int WriteLogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
int IndentLog();    // 0
int UnindentLog();  // 0; stays at 0

// Logs the text and a line break, ends the library and the process with exit code -1.
[[noreturn]] void ExitWithFatalError(const char* text);
[[noreturn]] void ExitWithFatalErrorFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

constexpr int kLogFormatBufferSize = 1024;
