// dshow/graph.cpp: the filter graph and its stream clock. The graph holds nothing but
// the clock: its media control pauses it, and the multimedia stream initialised on it
// runs, reads and seeks it. Its seeking and audio views are answered and do nothing.
#include <atomic>

#include "com/unknown.h"
#include "dshow/internal.h"
#include "dshow/objects.h"
#include "kernel/clock.h"
#include "kernel/diag.h"
#include "platform/testing.h"

namespace dshow {
namespace {

std::atomic<int> g_liveObjects{0};

class Graph final : public IGraphBuilder, public IMediaControl, public IMediaSeeking, public IBasicAudio {
public:
    Graph() : timeline_(std::make_shared<Timeline>()) { CountObject(1); }
    ~Graph() { CountObject(-1); }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerFrom(
            this, iid, object,
            {{IID_IGraphBuilder, static_cast<IGraphBuilder*>(this)},
             {IID_IMediaControl, static_cast<IMediaControl*>(this), "QueryInterface:IMediaControl"},
             {IID_IMediaSeeking, static_cast<IMediaSeeking*>(this), "QueryInterface:IMediaSeeking"},
             {IID_IBasicAudio, static_cast<IBasicAudio*>(this), "QueryInterface:IBasicAudio"}});
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT Pause() override {
        timeline_->Stop();
        return S_OK;
    }

    const std::shared_ptr<Timeline>& timeline() const { return timeline_; }

private:
    std::atomic<ULONG> refs_{1};
    std::shared_ptr<Timeline> timeline_;
};

}  // namespace

void CountObject(int delta) {
    g_liveObjects += delta;
}

// ---- the clock ----------------------------------------------------------------------------------
bool Timeline::Running() const {
    std::lock_guard<std::mutex> hold(lock_);
    return running_;
}

void Timeline::Run() {
    std::lock_guard<std::mutex> hold(lock_);
    if (running_)
        return;
    running_ = true;
    startUs_ = kernel::ReadClockMicroseconds();
}

void Timeline::Stop() {
    std::lock_guard<std::mutex> hold(lock_);
    if (!running_)
        return;
    held_ += static_cast<STREAM_TIME>(kernel::ReadClockMicroseconds() - startUs_) * 10;
    running_ = false;
}

void Timeline::Seek(STREAM_TIME time) {
    std::lock_guard<std::mutex> hold(lock_);
    held_ = time;
    if (running_)
        startUs_ = kernel::ReadClockMicroseconds();
    ++seeks_;
    seekTarget_ = time;
}

STREAM_TIME Timeline::Now() const {
    std::lock_guard<std::mutex> hold(lock_);
    if (!running_)
        return held_;
    return held_ + static_cast<STREAM_TIME>(kernel::ReadClockMicroseconds() - startUs_) * 10;
}

uint64_t Timeline::Seeks(STREAM_TIME* lastTarget) const {
    std::lock_guard<std::mutex> hold(lock_);
    *lastTarget = seekTarget_;
    return seeks_;
}

// ---- the graph ------------------------------------------------------------------------------------
std::shared_ptr<Timeline> TimelineOfGraph(IGraphBuilder* graph) {
    auto* ours = dynamic_cast<Graph*>(graph);
    return ours ? ours->timeline() : nullptr;
}

HRESULT MakeGraph(IGraphBuilder** graph) {
    *graph = new Graph();
    return S_OK;
}

HRESULT CreateFilterGraph(REFIID iid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (kernel::ConsumeFault("CreateFilterGraph"))
        return E_FAIL;
    auto* graph = new Graph();
    HRESULT hr = graph->QueryInterface(iid, object);
    graph->Release();
    return hr;
}

}  // namespace dshow

namespace ptest {

int GetLiveMovieObjects() {
    return dshow::g_liveObjects.load();
}

}  // namespace ptest
