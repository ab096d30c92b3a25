#include "bench_options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace bench {
namespace {

constexpr char kUsage[] =
    "usage: nubix_bench [--smoke | --long] [--soak N] [--iterations N] [--cycles N]\n"
    "                   [--rounds N] [--burst N] [--label TEXT] [--figures FILE]\n"
    "  --smoke       a short run that shows the benchmark works (CTest's bench_smoke)\n"
    "  --long        10000 open and close cycles instead of 1000\n"
    "  --soak N      record-file requests in the soak (default 100000)\n"
    "  --iterations  timed calls per variant of the command and picture pairs (2000)\n"
    "  --cycles      open and close cycles (1000)\n"
    "  --rounds      bursts per side of the result delivery pair (300)\n"
    "  --burst       results per burst (10, at most 100000)\n"
    "  --label       the run's name in the figure lines\n"
    "  --figures     also write the table rows to FILE\n";

// The viewer simulator repeats a result at most this many times.
constexpr int kMaxBurst = 100000;

bool ParseCount(const char* text, int minimum, int maximum, int& value) {
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < minimum || parsed > maximum) return false;
    value = static_cast<int>(parsed);
    return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, BenchOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        int* count = nullptr;
        int minimum = 1;
        int maximum = INT_MAX;
        if (std::strcmp(arg, "--help") == 0) {
            error = kUsage;
            return false;
        } else if (std::strcmp(arg, "--smoke") == 0) {
            options.iterations = 200;
            options.deliveryRounds = 20;
            options.cycles = 20;
            options.soakRequests = 300;
            continue;
        } else if (std::strcmp(arg, "--long") == 0) {
            options.cycles = 10000;
            continue;
        } else if (std::strcmp(arg, "--soak") == 0) {
            count = &options.soakRequests;
            minimum = 0;
        } else if (std::strcmp(arg, "--iterations") == 0) {
            count = &options.iterations;
        } else if (std::strcmp(arg, "--cycles") == 0) {
            count = &options.cycles;
        } else if (std::strcmp(arg, "--rounds") == 0) {
            count = &options.deliveryRounds;
        } else if (std::strcmp(arg, "--burst") == 0) {
            count = &options.burst;
            maximum = kMaxBurst;
        } else if (std::strcmp(arg, "--label") == 0 && value != nullptr) {
            options.label = value;
            ++i;
            continue;
        } else if (std::strcmp(arg, "--figures") == 0 && value != nullptr) {
            options.figures = value;
            ++i;
            continue;
        } else {
            error = std::string("unknown argument: ") + arg + "\n" + kUsage;
            return false;
        }
        if (value == nullptr || !ParseCount(value, minimum, maximum, *count)) {
            error = std::string(arg) + " needs a number\n" + kUsage;
            return false;
        }
        ++i;
    }
    return true;
}

}  // namespace bench
