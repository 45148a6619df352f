// The library lock: recursion, strict first-come hand-over, the message thread's
// quitting waiter, a full queue, and a stress run. Most cases use a lock of their own
// with a small queue, through the lock core.
#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "QzWinLock.h"
#include "platform/testing.h"

namespace QzWinLock_test {

namespace {

// A lock of the test's own, with `capacity` queue slots.
struct TestLock {
    explicit TestLock(int slots) : capacity(slots), state(new LibraryLockState()) {}
    ~TestLock() { DestroyLockCore(state.get(), capacity, false); }
    void Enter() { EnterLockCore(state.get(), capacity); }
    void Leave() { LeaveLockCore(state.get(), true); }
    int EnterAsMessageThread(const int* quit) { return EnterLockCoreForMessageThread(state.get(), capacity, quit); }
    void LeaveAsMessageThread() { LeaveLockCore(state.get(), false); }
    LockSnapshot Read() { return ReadLockState(state.get()); }
    // Polls until `length` threads are queued.
    void WaitForQueueLength(int length) {
        while (Read().queueLength != length) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    int capacity;
    std::unique_ptr<LibraryLockState> state;
};

// The order in which threads got the lock; written only by the owner.
struct Order {
    std::mutex guard;
    std::string names;
    void Add(char name) {
        std::lock_guard<std::mutex> hold(guard);
        names += name;
    }
    std::string Get() {
        std::lock_guard<std::mutex> hold(guard);
        return names;
    }
};

// Enters, records its name, leaves.
std::thread Taker(TestLock& lock, Order& order, char name) {
    return std::thread([&lock, &order, name] {
        lock.Enter();
        order.Add(name);
        lock.Leave();
    });
}

TEST(LibraryLock, NestedEntersLeaveItFree) {
    EnterLibraryLock();
    EnterLibraryLock();
    EnterLibraryLock();
    LockSnapshot held = ReadLockState(&g_windowSystem.lock);
    EXPECT_EQ(held.locked, 1);
    EXPECT_EQ(held.recursionCount, 3);
    EXPECT_EQ(held.owner, GetCurrentThreadId());

    // A leave by another thread is not the owner's and changes nothing.
    std::thread([] { LeaveLibraryLock(); }).join();
    EXPECT_EQ(ReadLockState(&g_windowSystem.lock).recursionCount, 3);

    LeaveLibraryLock();
    LeaveLibraryLock();
    LeaveLibraryLock();
    LockSnapshot free = ReadLockState(&g_windowSystem.lock);
    EXPECT_EQ(free.locked, 0);
    EXPECT_EQ(free.recursionCount, 0);
    EXPECT_EQ(free.owner, 0xFFFFFFFFu);

    // One leave too many is ignored: the count never goes below 0.
    LeaveLibraryLock();
    EXPECT_EQ(ReadLockState(&g_windowSystem.lock).recursionCount, 0);
    EnterLibraryLock();
    EXPECT_EQ(ReadLockState(&g_windowSystem.lock).recursionCount, 1);
    LeaveLibraryLock();
}

TEST(LibraryLock, HandsOverFirstComeAndTheReleaserQueuesBehind) {
    TestLock lock(4);
    Order order;
    lock.Enter();
    std::thread b = Taker(lock, order, 'B');
    lock.WaitForQueueLength(1);
    std::thread c = Taker(lock, order, 'C');
    lock.WaitForQueueLength(2);

    // A leaves and enters again at once: it must come after B and C.
    lock.Leave();
    lock.Enter();
    order.Add('A');
    lock.Leave();
    b.join();
    c.join();
    EXPECT_EQ(order.Get(), "BCA");
    LockSnapshot end = lock.Read();
    EXPECT_EQ(end.queueLength, 0);
    EXPECT_EQ(end.owner, 0xFFFFFFFFu);
}

TEST(LibraryLock, MessageThreadWaiterQuitsFromTheMiddleOfTheQueue) {
    TestLock lock(4);
    Order order;
    int quit = 0;
    lock.Enter();
    std::thread b = Taker(lock, order, 'B');
    lock.WaitForQueueLength(1);
    std::atomic<int> messageResult{1};
    DWORD messageId = 0;
    std::thread m([&] {
        messageId = GetCurrentThreadId();
        messageResult = lock.EnterAsMessageThread(&quit);
        if (messageResult == 0) lock.LeaveAsMessageThread();
    });
    lock.WaitForQueueLength(2);
    std::thread c = Taker(lock, order, 'C');
    lock.WaitForQueueLength(3);

    __atomic_store_n(&quit, 1, __ATOMIC_RELEASE);
    m.join();  // within one 1000-ms slice
    EXPECT_EQ(messageResult, -1);
    LockSnapshot after = lock.Read();
    ASSERT_EQ(after.queueLength, 2);
    EXPECT_NE(after.queued[0], messageId);
    EXPECT_NE(after.queued[1], messageId);
    EXPECT_EQ(after.owner, GetCurrentThreadId());

    lock.Leave();
    b.join();
    c.join();
    EXPECT_EQ(order.Get(), "BC");
}

TEST(LibraryLock, MessageThreadQuittingInSlotZeroWakesTheNext) {
    TestLock lock(4);
    Order order;
    int quit = 0;
    lock.Enter();
    std::atomic<int> messageResult{1};
    std::thread m([&] {
        messageResult = lock.EnterAsMessageThread(&quit);
        if (messageResult == 0) lock.LeaveAsMessageThread();
    });
    lock.WaitForQueueLength(1);
    std::thread b = Taker(lock, order, 'B');
    lock.WaitForQueueLength(2);

    // The wake-up reaches the message thread, which quits: B must not be left waiting.
    __atomic_store_n(&quit, 1, __ATOMIC_RELEASE);
    lock.Leave();
    m.join();
    b.join();
    EXPECT_EQ(messageResult, -1);
    EXPECT_EQ(order.Get(), "B");
    EXPECT_EQ(lock.Read().queueLength, 0);
}

TEST(LibraryLock, MessageThreadTakesAFreeLockAndNeverCreatesOne) {
    TestLock lock(2);
    int quit = 0;
    EXPECT_EQ(lock.EnterAsMessageThread(&quit), -1);  // not created yet
    EXPECT_EQ(lock.Read().created, 0);
    lock.Enter();
    lock.Leave();
    EXPECT_EQ(lock.EnterAsMessageThread(&quit), 0);
    EXPECT_EQ(lock.Read().owner, GetCurrentThreadId());
    lock.LeaveAsMessageThread();
    EXPECT_EQ(lock.Read().owner, 0xFFFFFFFFu);
}

TEST(LibraryLock, FullQueueMakesTheNewcomerRetryUntilASlotFrees) {
    TestLock lock(2);
    Order order;
    lock.Enter();
    std::thread b = Taker(lock, order, 'B');
    lock.WaitForQueueLength(1);
    std::thread c = Taker(lock, order, 'C');
    lock.WaitForQueueLength(2);
    std::thread d = Taker(lock, order, 'D');
    // D cannot queue; the queue never grows past its capacity.
    for (int i = 0; i < 20; i++) {
        EXPECT_EQ(lock.Read().queueLength, 2);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    lock.Leave();
    b.join();
    c.join();
    d.join();
    EXPECT_EQ(order.Get(), "BCD");
}

TEST(LibraryLock, SlotWithoutAnEventStillHandsOverInOrder) {
    TestLock lock(3);
    ptest::FailCall("CreateEventA", 2);  // slot 1 gets no event at creation
    Order order;
    lock.Enter();
    std::thread b = Taker(lock, order, 'B');
    lock.WaitForQueueLength(1);
    ptest::FailCall("CreateEventA", 1);  // nor when C queues there: C polls
    std::thread c = Taker(lock, order, 'C');
    lock.WaitForQueueLength(2);
    lock.Leave();
    b.join();
    c.join();
    EXPECT_EQ(order.Get(), "BC");
}

TEST(LibraryLock, DestroyWaitsForAnEmptyQueueAndCreatesAgain) {
    TestLock lock(2);
    Order order;
    lock.Enter();
    std::thread b = Taker(lock, order, 'B');
    lock.WaitForQueueLength(1);
    EXPECT_EQ(DestroyLockCore(lock.state.get(), lock.capacity, true), 0);  // B waits on its event
    lock.Leave();
    b.join();
    EXPECT_EQ(order.Get(), "B");

    EXPECT_EQ(DestroyLockCore(lock.state.get(), lock.capacity, true), 1);
    EXPECT_EQ(DestroyLockCore(lock.state.get(), lock.capacity, false), 0);  // twice: nothing
    EXPECT_EQ(lock.state->queue[0].event, nullptr);
    lock.Enter();
    EXPECT_EQ(lock.Read().created, 1);
    EXPECT_NE(lock.state->queue[0].event, nullptr);
    lock.Leave();
}

TEST(LibraryLock, FirstCallersRaceToCreateOneLock) {
    TestLock lock(8);
    std::atomic<bool> go{false};
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; t++)
        threads.emplace_back([&] {
            while (!go) std::this_thread::yield();
            lock.Enter();
            if (inside.fetch_add(1) != 0) overlaps++;
            inside.fetch_sub(1);
            lock.Leave();
        });
    go = true;
    for (auto& t : threads) t.join();
    EXPECT_EQ(overlaps, 0);
    EXPECT_EQ(lock.Read().queueLength, 0);
}

TEST(LibraryLock, StressHasOneOwnerAndNoThreadQueuedTwice) {
    TestLock lock(4);  // fewer slots than threads: the full-queue path runs too
    int quit = 0;
    std::atomic<int> inside{0};
    std::atomic<int> faults{0};
    auto body = [&](bool messageThread) {
        for (int i = 0; i < 2000; i++) {
            if (messageThread) {
                if (lock.EnterAsMessageThread(&quit) != 0) faults++;
            } else {
                lock.Enter();
            }
            lock.Enter();  // nested
            if (inside.fetch_add(1) != 0) faults++;
            LockSnapshot s = lock.Read();
            if (s.owner != GetCurrentThreadId() || s.recursionCount != 2) faults++;
            for (int a = 0; a < s.queueLength; a++)
                for (int b = a + 1; b < s.queueLength; b++)
                    if (s.queued[a] == s.queued[b]) faults++;
            inside.fetch_sub(1);
            lock.Leave();
            if (messageThread)
                lock.LeaveAsMessageThread();
            else
                lock.Leave();
        }
    };
    lock.Enter();  // create it before the message thread runs
    lock.Leave();
    std::vector<std::thread> threads;
    threads.emplace_back(body, true);
    for (int t = 0; t < 6; t++) threads.emplace_back(body, false);
    for (auto& t : threads) t.join();
    EXPECT_EQ(faults, 0);
    LockSnapshot end = lock.Read();
    EXPECT_EQ(end.queueLength, 0);
    EXPECT_EQ(end.locked, 0);
    EXPECT_EQ(end.owner, 0xFFFFFFFFu);
}

}  // namespace

}  // namespace QzWinLock_test
