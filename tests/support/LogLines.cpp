// LogLines.cpp: the log's last lines.
#include "LogLines.h"

namespace qztest {

const char* const kEmptyDumpHeading = "Alloc memory dump";
const char* const kEmptyDumpTotal = "\tTotal size:0(0.000kb)  Alloc num:0";

std::vector<std::string> LastLogLines(const std::string& log, int count) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < log.size()) {
        size_t end = log.find('\n', at);
        if (end == std::string::npos) end = log.size();
        std::string line = log.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t colon = line.find(':');
        if (colon != std::string::npos && colon > 0 && line.find_first_not_of("0123456789") == colon)
            line = line.substr(colon + 1);
        if (!line.empty()) lines.push_back(line);
        at = end + 1;
    }
    if ((int)lines.size() > count) lines.erase(lines.begin(), lines.end() - count);
    return lines;
}

}  // namespace qztest
