// QzStandIn.h: the bookkeeping behind the stand-ins of library parts not built yet.
// A stand-in keeps its owning part's name and signature and does the least that part
// allows (it succeeds, or keeps the documented default). Each one reports here by its
// name, so tests can count the calls, set the result and run a step inside the call.
// Main thread under the library lock, like the calls themselves; tests set results
// before they start the library.
#pragma once

#include <functional>

// Counts a call of the named stand-in, runs a test's step for it if one is set, and
// returns the result a test set, or `usual`.
int StandInCall(const char* name, int usual);

// For tests.
int StandInCount(const char* name);
void SetStandInResult(const char* name, int result);
void SetStandInStep(const char* name, std::function<void()> step);
void ResetStandIns();
