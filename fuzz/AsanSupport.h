// AsanSupport.h: whether AddressSanitizer is built in (QZ_FUZZ_HAS_ASAN), and its
// interface when it is; without it, poisoning a region does nothing.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define QZ_FUZZ_HAS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QZ_FUZZ_HAS_ASAN 1
#endif
#endif
#ifndef QZ_FUZZ_HAS_ASAN
#define QZ_FUZZ_HAS_ASAN 0
#endif

#if QZ_FUZZ_HAS_ASAN
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif
