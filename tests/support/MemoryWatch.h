// MemoryWatch.h: what the sanitizers can tell a test about memory, in the middle of it:
// whether any block is left that nothing points to (LeakSanitizer), and how much was
// allocated since a point, on every thread (the allocator's hooks). Without the sanitizers
// there is nothing to ask: no leak is seen and the allocation watch is unavailable.
#pragma once

#include <atomic>
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define QZTEST_HAS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QZTEST_HAS_ASAN 1
#endif
#endif

#ifdef QZTEST_HAS_ASAN
#include <sanitizer/lsan_interface.h>
// The sanitizer runtime's hook registry (GCC ships no header declaring it).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                         void (*onFree)(const volatile void*));
#endif

namespace qztest {

// True when LeakSanitizer reports leaked blocks now (it prints them to standard error).
inline bool HasLeakedBlocks() {
#ifdef QZTEST_HAS_ASAN
    return __lsan_do_recoverable_leak_check() != 0;
#else
    return false;
#endif
}

// The largest single allocation and the sum of all allocations since Start, on every
// thread. One watch per process; the hooks stay installed once started.
class AllocationWatch {
public:
    static bool Available() {
#ifdef QZTEST_HAS_ASAN
        return true;
#else
        return false;
#endif
    }
    static void Start() {
        Largest().store(0);
        Total().store(0);
#ifdef QZTEST_HAS_ASAN
        static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
        (void)installed;
#endif
    }
    static size_t LargestBlock() { return Largest().load(); }
    static size_t TotalBytes() { return Total().load(); }

private:
    static std::atomic<size_t>& Largest() {
        static std::atomic<size_t> value{0};
        return value;
    }
    static std::atomic<size_t>& Total() {
        static std::atomic<size_t> value{0};
        return value;
    }
    static void OnMalloc(const volatile void*, size_t size) {
        Total().fetch_add(size, std::memory_order_relaxed);
        size_t seen = Largest().load(std::memory_order_relaxed);
        while (size > seen && !Largest().compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
        }
    }
    static void OnFree(const volatile void*) {}
};

}  // namespace qztest
