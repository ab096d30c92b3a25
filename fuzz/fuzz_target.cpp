// One libFuzzer target: NUBIX_FUZZ_PROPERTY names the property check it runs. A
// violated property aborts, so libFuzzer keeps the input as a crash.
#include <cstdio>
#include <cstdlib>

#include "properties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string violation = nubix::fuzz::NUBIX_FUZZ_PROPERTY(data, size);
    if (!violation.empty()) {
        std::fprintf(stderr, "property violated: %s\n", violation.c_str());
        std::abort();
    }
    return 0;
}
