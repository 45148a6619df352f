// kernel/journal.h: the journal of graphics calls and sleeps that tests read through
// ptest::TakeGraphicsCalls (testing.h). Recording is off unless a test turns it on.
// Any thread.
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace kernel {

bool JournalOn();
void JournalNote(const char* object, const char* method, uint32_t flags, const RECT* rect, const RECT* rect2,
                 int32_t result);

}  // namespace kernel
