// LeakCheck.h: asks LeakSanitizer, in the middle of a test, whether any block is left that
// nothing points to. Without the sanitizer there is nothing to ask and the answer is no.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define QZTEST_HAS_LSAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QZTEST_HAS_LSAN 1
#endif
#endif

#ifdef QZTEST_HAS_LSAN
#include <sanitizer/lsan_interface.h>
#endif

namespace qztest {

// True when LeakSanitizer reports leaked blocks now (it prints them to standard error).
inline bool HasLeakedBlocks() {
#ifdef QZTEST_HAS_LSAN
    return __lsan_do_recoverable_leak_check() != 0;
#else
    return false;
#endif
}

}  // namespace qztest
