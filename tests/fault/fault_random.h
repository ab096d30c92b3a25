// A small seeded generator, so that a helper process and the test that reads its
// effects draw the same "random" values from the same seed.
#pragma once

#include <cstdint>

namespace nubix::fault {

class FaultRandom {
public:
    explicit FaultRandom(std::uint32_t seed) : state_(seed != 0 ? seed : 0x9E3779B9u) {}

    // xorshift32
    std::uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }

private:
    std::uint32_t state_;
};

}  // namespace nubix::fault
