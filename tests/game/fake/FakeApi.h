// FakeApi.h: a recording stand-in for the library's 33 entry points, for tests that run
// the game's rules without the library. Every call is logged with its arguments; results
// come from a table (default 0); the pad bits come from a script the test sets.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace fakeapi {

struct Call {
    std::string name;
    std::vector<int64_t> args;
    std::string text;  // the file name or caption, when the call takes one
    bool operator==(const Call&) const = default;
};

extern std::vector<Call> log;
extern std::map<std::string, int> results;  // by entry-point name
extern std::function<int()> pad;            // ApiGetPadInputBits; null gives 0

// Clears the log, the results and the pad script.
void Reset();
// The calls of one entry point, in order.
std::vector<Call> CallsOf(const std::string& name);

}  // namespace fakeapi
