// kernel/eventpoll.cpp: the polls of events (kernel/eventpoll.h), one table under one
// lock. Any thread; a poll runs without the lock, so it may set or clear polls itself.
#include "kernel/eventpoll.h"

#include <mutex>
#include <unordered_map>

namespace kernel {
namespace {

std::mutex g_pollLock;
std::unordered_map<HANDLE, std::shared_ptr<const EventPoll>> g_polls;

}  // namespace

void SetEventPoll(HANDLE event, std::shared_ptr<const EventPoll> poll) {
    std::lock_guard<std::mutex> hold(g_pollLock);
    if (poll)
        g_polls[event] = std::move(poll);
    else
        g_polls.erase(event);
}

bool RunEventPoll(HANDLE event) {
    std::shared_ptr<const EventPoll> poll;
    {
        std::lock_guard<std::mutex> hold(g_pollLock);
        if (g_polls.empty())
            return false;
        auto found = g_polls.find(event);
        if (found == g_polls.end())
            return false;
        poll = found->second;
    }
    (*poll)();
    return true;
}

}  // namespace kernel
