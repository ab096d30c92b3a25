// Runs the variants of a comparison side by side: round after round, each variant
// once a round, each round starting one variant further on, so that no variant
// always follows the same one. The first rounds only warm up.
#pragma once

#include <cstddef>
#include <vector>

#include "sample_stats.h"

namespace bench {

// `variants[i]()` runs variant i once and returns its timed part in microseconds.
template <typename Variant>
std::vector<Samples> Alternate(std::vector<Variant>& variants, int warmupRounds, int rounds) {
    const std::size_t count = variants.size();
    std::vector<Samples> samples;
    for (std::size_t i = 0; i < count; ++i) samples.emplace_back(static_cast<std::size_t>(rounds));
    for (int round = -warmupRounds; round < rounds; ++round) {
        const std::size_t first = static_cast<std::size_t>(round + warmupRounds) % count;
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t i = (first + k) % count;
            const double microseconds = variants[i]();
            if (round >= 0) samples[i].Add(microseconds);
        }
    }
    return samples;
}

}  // namespace bench
