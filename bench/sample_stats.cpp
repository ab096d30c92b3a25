#include "sample_stats.h"

#include <algorithm>
#include <cmath>

namespace bench {

double Samples::Percentile(double percent) const {
    if (values_.empty()) return 0.0;
    std::vector<double> sorted(values_);
    std::sort(sorted.begin(), sorted.end());
    std::size_t rank = static_cast<std::size_t>(std::ceil(percent / 100.0 * sorted.size()));
    if (rank == 0) rank = 1;
    return sorted[std::min(rank, sorted.size()) - 1];
}

}  // namespace bench
