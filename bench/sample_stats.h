// Timings in microseconds and their summary: median and 99th percentile.
#pragma once

#include <cstddef>
#include <vector>

namespace bench {

class Samples {
public:
    explicit Samples(std::size_t expected = 0) { values_.reserve(expected); }
    void Add(double microseconds) { values_.push_back(microseconds); }
    std::size_t Count() const { return values_.size(); }

    // Nearest-rank percentiles; 0 when there are no samples.
    double Median() const { return Percentile(50.0); }
    double P99() const { return Percentile(99.0); }
    double Percentile(double percent) const;

private:
    std::vector<double> values_;
};

}  // namespace bench
