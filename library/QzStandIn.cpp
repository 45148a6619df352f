// QzStandIn.cpp: the stand-ins' call counts, results and steps (see QzStandIn.h).
#include "QzStandIn.h"

#include <map>
#include <mutex>
#include <string>

namespace {

struct StandInRecord {
    int count = 0;
    bool resultSet = false;
    int result = 0;
    std::function<void()> step;
};

// A mutex although callers hold the library lock: tests read counts from their own
// thread while the message thread runs the pump's upkeep.
std::mutex& Guard() {
    static std::mutex& guard = *new std::mutex;
    return guard;
}

std::map<std::string, StandInRecord>& Records() {
    static auto& records = *new std::map<std::string, StandInRecord>;
    return records;
}

}  // namespace

int StandInCall(const char* name, int usual) {
    std::function<void()> step;
    int result = usual;
    {
        std::lock_guard<std::mutex> hold(Guard());
        StandInRecord& record = Records()[name];
        ++record.count;
        step = record.step;
        if (record.resultSet) result = record.result;
    }
    if (step) step();
    return result;
}

int StandInCount(const char* name) {
    std::lock_guard<std::mutex> hold(Guard());
    auto it = Records().find(name);
    return it == Records().end() ? 0 : it->second.count;
}

void SetStandInResult(const char* name, int result) {
    std::lock_guard<std::mutex> hold(Guard());
    StandInRecord& record = Records()[name];
    record.resultSet = true;
    record.result = result;
}

void SetStandInStep(const char* name, std::function<void()> step) {
    std::lock_guard<std::mutex> hold(Guard());
    Records()[name].step = std::move(step);
}

void ResetStandIns() {
    std::lock_guard<std::mutex> hold(Guard());
    Records().clear();
}
