// kernel/threads.cpp: threads, events, waits and critical sections over the C++
// standard library. Any thread. Waits are real time whatever the clock mode.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include "kernel/diag.h"
#include "kernel/eventpoll.h"
#include "kernel/objects.h"

namespace kernel {
namespace {

// Thread ids count up from 1, so no thread is 0 or 0xFFFFFFFF (the library's "none").
std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;

struct Event : Object {
    Event(bool manual, bool signaled) : Object(ObjectKind::Event), manualReset(manual), set(signaled) {}
    std::mutex lock;
    std::condition_variable changed;
    const bool manualReset;
    bool set;
};

struct Thread : Object {
    Thread() : Object(ObjectKind::Thread) {}
    std::mutex lock;
    std::condition_variable ended;
    bool finished = false;
    DWORD exitCode = STILL_ACTIVE;
};

// Waits on `cv` under `hold` until `ready` holds or the time runs out; 0 polls.
template <typename Ready>
bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& hold, DWORD milliseconds, Ready ready) {
    if (milliseconds == INFINITE) {
        cv.wait(hold, ready);
        return true;
    }
    return cv.wait_for(hold, std::chrono::milliseconds(milliseconds), ready);
}

}  // namespace
}  // namespace kernel

using namespace kernel;

DWORD GetCurrentThreadId() {
    if (t_threadId == 0) t_threadId = g_nextThreadId.fetch_add(1);
    return t_threadId;
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD,
                    LPDWORD threadId) {
    if (start == nullptr) return Fail(ERROR_INVALID_PARAMETER, HANDLE(nullptr));
    if (ConsumeFault("CreateThread")) return Fail(ERROR_NOT_ENOUGH_MEMORY, HANDLE(nullptr));
    auto thread = std::make_shared<Thread>();
    DWORD id = g_nextThreadId.fetch_add(1);
    try {
        std::thread([thread, id, start, parameter] {
            t_threadId = id;
            DWORD code = start(parameter);
            std::lock_guard<std::mutex> hold(thread->lock);
            thread->exitCode = code;
            thread->finished = true;
            thread->ended.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY, HANDLE(nullptr), "kernel: CreateThread: the system refused a thread");
    }
    if (threadId) *threadId = id;
    return AddObject(thread);
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
    auto thread = FindObject<Thread>(handle, ObjectKind::Thread);
    if (!thread || !exitCode) return Fail(ERROR_INVALID_HANDLE, FALSE);
    std::lock_guard<std::mutex> hold(thread->lock);
    *exitCode = thread->exitCode;
    return TRUE;
}

BOOL SetThreadPriority(HANDLE handle, int) {
    return FindObject<Thread>(handle, ObjectKind::Thread) ? TRUE : Fail(ERROR_INVALID_HANDLE, FALSE);
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR) {
    if (ConsumeFault("CreateEventA")) return Fail(ERROR_NOT_ENOUGH_MEMORY, HANDLE(nullptr));
    return AddObject(std::make_shared<Event>(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(HANDLE handle) {
    auto event = FindObject<Event>(handle, ObjectKind::Event);
    if (!event) return Fail(ERROR_INVALID_HANDLE, FALSE);
    std::lock_guard<std::mutex> hold(event->lock);
    event->set = true;
    if (event->manualReset)
        event->changed.notify_all();
    else
        event->changed.notify_one();
    return TRUE;
}

BOOL ResetEvent(HANDLE handle) {
    auto event = FindObject<Event>(handle, ObjectKind::Event);
    if (!event) return Fail(ERROR_INVALID_HANDLE, FALSE);
    std::lock_guard<std::mutex> hold(event->lock);
    event->set = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    std::shared_ptr<Object> object = FindObject(handle);
    if (!object) return Fail(ERROR_INVALID_HANDLE, WAIT_FAILED);
    if (object->kind == ObjectKind::Event) {
        auto event = std::static_pointer_cast<Event>(object);
        // An event with a poll (kernel/eventpoll.h) is polled before it is tested, and a
        // longer wait on it goes in slices of a millisecond with a poll before each.
        DWORD left = milliseconds;
        bool polled = RunEventPoll(handle);
        while (polled && left != 0) {
            {
                std::unique_lock<std::mutex> hold(event->lock);
                if (WaitUntil(event->changed, hold, 1, [&] { return event->set; })) break;
            }
            if (left != INFINITE) --left;
            polled = RunEventPoll(handle);
        }
        std::unique_lock<std::mutex> hold(event->lock);
        if (!WaitUntil(event->changed, hold, left, [&] { return event->set; })) return WAIT_TIMEOUT;
        if (!event->manualReset) event->set = false;  // an auto-reset event lets one waiter through
        return WAIT_OBJECT_0;
    }
    if (object->kind == ObjectKind::Thread) {
        auto thread = std::static_pointer_cast<Thread>(object);
        std::unique_lock<std::mutex> hold(thread->lock);
        return WaitUntil(thread->ended, hold, milliseconds, [&] { return thread->finished; }) ? WAIT_OBJECT_0
                                                                                                : WAIT_TIMEOUT;
    }
    return Fail(ERROR_INVALID_HANDLE, WAIT_FAILED);
}

// ---- critical sections ----------------------------------------------------------------
static_assert(sizeof(std::recursive_mutex) <= sizeof(CRITICAL_SECTION::opaque), "CRITICAL_SECTION too small");
static_assert(alignof(std::recursive_mutex) <= 16, "CRITICAL_SECTION under-aligned");

static std::recursive_mutex* SectionMutex(LPCRITICAL_SECTION section) {
    return std::launder(reinterpret_cast<std::recursive_mutex*>(section->opaque));
}

void InitializeCriticalSection(LPCRITICAL_SECTION section) { new (section->opaque) std::recursive_mutex(); }

void DeleteCriticalSection(LPCRITICAL_SECTION section) { SectionMutex(section)->~recursive_mutex(); }

void EnterCriticalSection(LPCRITICAL_SECTION section) { SectionMutex(section)->lock(); }

void LeaveCriticalSection(LPCRITICAL_SECTION section) { SectionMutex(section)->unlock(); }

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) { return SectionMutex(section)->try_lock() ? TRUE : FALSE; }
