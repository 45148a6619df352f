// kernel/journal.cpp: the journal of graphics calls and sleeps.
#include "kernel/journal.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/testing.h"

namespace {

std::mutex g_lock;
std::atomic<bool> g_on{false};
std::vector<ptest::GraphicsCall> g_calls;

}  // namespace

namespace kernel {

bool JournalOn() {
    return g_on.load();
}

void JournalNote(const char* object, const char* method, uint32_t flags, const RECT* rect, const RECT* rect2,
                 int32_t result) {
    if (!g_on.load())
        return;
    ptest::GraphicsCall call;
    call.object = object;
    call.method = method;
    call.flags = flags;
    if (rect)
        call.rect = *rect;
    if (rect2)
        call.rect2 = *rect2;
    call.result = result;
    std::lock_guard<std::mutex> hold(g_lock);
    g_calls.push_back(std::move(call));
}

}  // namespace kernel

namespace ptest {

void RecordGraphicsCalls(bool on) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_calls.clear();
    g_on.store(on);
}

std::vector<GraphicsCall> TakeGraphicsCalls() {
    std::lock_guard<std::mutex> hold(g_lock);
    std::vector<GraphicsCall> out;
    out.swap(g_calls);
    return out;
}

}  // namespace ptest
