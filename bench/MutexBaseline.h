// MutexBaseline.h: the one yardstick of a lock round trip that every benchmark program
// compares its locks and entry points with, so their ratios share a baseline: an
// uncontended std::recursive_mutex lock and unlock (the library lock is recursive too).
#pragma once

#include <benchmark/benchmark.h>

#include <mutex>

namespace qzbench {

inline void BM_RecursiveMutexLockUnlock(benchmark::State& state) {
    std::recursive_mutex mutex;
    for (auto _ : state) {
        mutex.lock();
        mutex.unlock();
    }
}

}  // namespace qzbench
