// The benchmark's table: one row per figure, printed as Markdown and, when asked,
// written as tab-separated lines (key, title, target, cell) that scripts/bench.sh
// joins across its pinned and unpinned runs.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "sample_stats.h"

namespace bench {

class Report {
public:
    void Row(const std::string& key, const std::string& title, const std::string& target,
             const std::string& cell);
    void Print(std::FILE* out, const std::string& label) const;
    bool WriteFigures(const std::string& path) const;

private:
    struct Line {
        std::string key, title, target, cell;
    };
    std::vector<Line> lines_;
};

// "median / p99" in microseconds, one decimal.
std::string Timing(const Samples& samples);
// "median / p99" in milliseconds, two decimals.
std::string TimingMs(const Samples& samples);
// A ratio as "1.04x".
std::string Ratio(double value);
// printf into a std::string.
std::string Format(const char* format, ...);

}  // namespace bench
