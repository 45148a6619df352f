// LogLines.h: reading the library's log, "AppLog.txt", back in tests.
#pragma once

#include <string>
#include <vector>

namespace qztest {

// The last `count` non-empty lines of a log text, their time prefixes removed.
std::vector<std::string> LastLogLines(const std::string& log, int count);
// The allocator's closing dump when no block is left: the log's last two lines.
extern const char* const kEmptyDumpHeading;  // "Alloc memory dump"
extern const char* const kEmptyDumpTotal;    // "\tTotal size:0(0.000kb)  Alloc num:0"

}  // namespace qztest
