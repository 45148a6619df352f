// kernel/eventpoll.h: events that a layer sets on its own schedule rather than from a
// thread of its own (a movie sample's update: dshow/). Such an event carries a poll that
// every wait on it runs first, on the waiting thread, and again every millisecond of a
// longer wait; the poll may set the event. So the event is set at the latest when it is
// next tested, and no worker has to wait on the platform clock. Any thread.
#pragma once

#include <functional>
#include <memory>

#include "platform/win32.h"

namespace kernel {

using EventPoll = std::function<void()>;

// Gives the event its poll, replacing any; null takes it away. A poll running on another
// thread at that moment finishes, so what it captured must stay valid (share it).
void SetEventPoll(HANDLE event, std::shared_ptr<const EventPoll> poll);

// Runs the event's poll, if it has one, outside every lock of the kernel; true when it
// had one.
bool RunEventPoll(HANDLE event);

}  // namespace kernel
