// The WM_COPYDATA messages that the poster sends to the notification window in its
// "copydata" mode: every code from 0 to 5 and some random ones, each with 0, 1,
// 335, 336, 337 and 65536 bytes of data. The test builds the same list from the same
// seed to know which results the host must report.
#pragma once

#include <cstdint>
#include <vector>

#include "fault/fault_random.h"

namespace nubix::fault {

struct CopyDataCase {
    std::uint32_t code;              // dwData
    std::vector<std::uint8_t> data;  // cbData = data.size()
};

constexpr std::uint32_t kCopyDataSizes[] = {0, 1, 335, 336, 337, 65536};

inline std::vector<CopyDataCase> MakeCopyDataCases(std::uint32_t seed) {
    FaultRandom random(seed);
    std::vector<std::uint32_t> codes = {0, 1, 2, 3, 4, 5};
    for (int i = 0; i < 4; ++i) codes.push_back(random.Next());
    codes.push_back(0xFFFFFFFFu);
    std::vector<CopyDataCase> cases;
    int index = 0;
    for (std::uint32_t code : codes) {
        for (std::uint32_t size : kCopyDataSizes) {
            CopyDataCase c{code, std::vector<std::uint8_t>(size)};
            for (std::uint8_t& b : c.data) b = static_cast<std::uint8_t>(random.Next());
            // Whole records carry each outcome in turn: 0 fails, 1 succeeds, 2 fails
            // for a picture and succeeds for a record file.
            if (size >= 336) {
                const std::int32_t result = index % 3;
                for (int k = 0; k < 4; ++k) c.data[332 + k] = static_cast<std::uint8_t>(result >> (8 * k));
            }
            // Every other record ends its directory early, so short paths come too.
            if (size >= 300 && index % 2 == 0) c.data[8 + 20] = 0;
            cases.push_back(c);
            ++index;
        }
    }
    return cases;
}

}  // namespace nubix::fault
