#pragma once
// Console output plus one line per benchmark: its real time over a baseline's from the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kestrel::bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(std::string baseline) : ConsoleReporter(OO_Tabular), baseline(std::move(baseline)) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // A run that stopped with an error has no time worth comparing.
            if (run.error_occurred) {
                failed = true;
            } else if (run.run_type == Run::RT_Iteration && !medians.count(run.run_name.str())) {
                times[run.run_name.str()] = run.GetAdjustedRealTime();
            } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                // With repetitions the median speaks for the benchmark.
                medians.insert(run.run_name.str());
                times[run.run_name.str()] = run.GetAdjustedRealTime();
            }
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const auto base = times.find(baseline);
        if (base == times.end() || base->second <= 0.0) return;
        for (const auto& [name, time] : times) {
            if (name != baseline) std::printf("ratio %-45s %6.2f x %s\n", name.c_str(), time / base->second, baseline.c_str());
        }
    }

    bool anyFailed() const { return failed; }

private:
    std::string baseline;
    bool failed = false;
    std::map<std::string, double> times;
    std::set<std::string> medians;
};

// Runs what the command line selects and prints the ratios to the baseline.
inline int RunWithRatios(int argc, char** argv, const std::string& baseline)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter(baseline);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.anyFailed() ? 1 : 0; // so a smoke run notices a benchmark that could not set up
}

} // namespace kestrel::bench
