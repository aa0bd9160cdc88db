#pragma once
// Console output plus one line per benchmark: its real time over a baseline's from the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
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
            if (run.run_type == Run::RT_Iteration) times[run.benchmark_name()] = run.GetAdjustedRealTime();
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

private:
    std::string baseline;
    std::map<std::string, double> times;
};

// Runs what the command line selects and prints the ratios to the baseline.
inline int RunWithRatios(int argc, char** argv, const std::string& baseline)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter(baseline);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

} // namespace kestrel::bench
