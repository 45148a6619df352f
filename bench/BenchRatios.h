// BenchRatios.h: the benchmarks' one way of stating a speed against a peer. The reporter
// passes every run on to the console and keeps each benchmark's time per iteration: the
// median of its repetitions when it has several, else its one run; after the runs, each
// pair prints ours / peer.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace qzbench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const std::string name = run.run_name.str();
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                times[name] = run.GetAdjustedRealTime();
                medians[name] = true;
            } else if (run.run_type == Run::RT_Iteration && !medians[name]) {
                times[name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // The time per iteration of a benchmark that ran, or 0.
    double Time(const std::string& name) const {
        auto found = times.find(name);
        return found == times.end() ? 0 : found->second;
    }
    std::map<std::string, double> times;
    std::map<std::string, bool> medians;
};

struct RatioPair {
    const char* label;
    std::string ours;
    std::string peer;
};

// One line per pair whose two benchmarks both ran.
inline void PrintRatios(const RatioReporter& reporter, const std::vector<RatioPair>& pairs, int labelWidth = 50) {
    for (const RatioPair& pair : pairs) {
        double ours = reporter.Time(pair.ours), peer = reporter.Time(pair.peer);
        if (ours <= 0 || peer <= 0) continue;
        std::printf("ratio %-*s %6.2f\n", labelWidth, pair.label, ours / peer);
    }
}

}  // namespace qzbench
