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
extern std::function<int(int)> keys;        // ApiGetKeyPressFlag by code; null gives 0
// ApiGetMillisecondTime returns clockNow, then adds clockStep (a wrapping 32-bit clock).
extern uint32_t clockNow;
extern uint32_t clockStep;
extern int messageBoxAnswer;  // MessageBoxA's answer (default IDNO, 7)
extern int presents;          // ApiPresentScreen calls since Reset
// Graphic and sound loads without a set result return fresh handles from 1000 on.
extern int nextHandle;

// Clears the log, the results, the scripts and the clock (0, step 1).
void Reset();
// The calls of one entry point, in order.
std::vector<Call> CallsOf(const std::string& name);

}  // namespace fakeapi
