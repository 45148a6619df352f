// The costs every entry point and every library block pay: an uncontended enter and
// leave of the library lock against std::recursive_mutex, and a tracked allocation and
// free against malloc and free. After the runs, each pair is printed as a ratio (ours /
// peer; below 1 is faster than the peer).
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "BenchRatios.h"
#include "MutexBaseline.h"
#include "QzWinLock.h"
#include "QzWinMemory.h"

namespace {

void BM_LibraryLockEnterLeave(benchmark::State& state) {
    for (auto _ : state) {
        EnterLibraryLock();
        LeaveLibraryLock();
    }
}
BENCHMARK(BM_LibraryLockEnterLeave);

BENCHMARK(qzbench::BM_RecursiveMutexLockUnlock)->Name("BM_RecursiveMutexLockUnlock");

// Sizes cycle so that neither side always hits one cached size class. Blocks go to
// DoNotOptimize read-only (std::as_const), here and in the other benchmarks: GCC
// mistranslates the read-write form, and the pointer freed after it came out garbage.
const int kSizes[] = {16, 64, 200, 1024, 40, 4096, 8, 512};

void BM_AllocMemoryFree(benchmark::State& state) {
    int i = 0;
    for (auto _ : state) {
        void* block = AllocMemory(kSizes[i++ & 7], __FILE__, __LINE__);
        benchmark::DoNotOptimize(std::as_const(block));
        FreeMemory(block);
    }
}
BENCHMARK(BM_AllocMemoryFree);

void BM_MallocFree(benchmark::State& state) {
    int i = 0;
    for (auto _ : state) {
        void* block = std::malloc(static_cast<size_t>(kSizes[i++ & 7]));
        benchmark::DoNotOptimize(std::as_const(block));
        std::free(block);
    }
}
BENCHMARK(BM_MallocFree);

// With many blocks alive, a free is still constant time.
void BM_AllocMemoryFreeWith10000Live(benchmark::State& state) {
    static void* live[10000];
    for (void*& block : live) block = AllocMemory(32, __FILE__, __LINE__);
    int i = 0;
    for (auto _ : state) {
        void* block = AllocMemory(kSizes[i++ & 7], __FILE__, __LINE__);
        benchmark::DoNotOptimize(std::as_const(block));
        FreeMemory(block);
    }
    for (void* block : live) FreeMemory(block);
}
BENCHMARK(BM_AllocMemoryFreeWith10000Live);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    qzbench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::vector<qzbench::RatioPair> pairs = {
        {"EnterLibraryLock+Leave / recursive_mutex", "BM_LibraryLockEnterLeave", "BM_RecursiveMutexLockUnlock"},
        {"AllocMemory+FreeMemory / malloc+free", "BM_AllocMemoryFree", "BM_MallocFree"},
        {"the same with 10000 blocks alive / malloc+free", "BM_AllocMemoryFreeWith10000Live", "BM_MallocFree"},
    };
    qzbench::PrintRatios(reporter, pairs);
    benchmark::Shutdown();
    return 0;
}
