// The benchmark's command line.
#pragma once

#include <string>

namespace bench {

struct BenchOptions {
    int iterations = 2000;       // per variant, command and picture pairs
    int deliveryRounds = 300;    // bursts per side
    int burst = 10;              // results per burst
    int cycles = 1000;           // open and close cycles
    int soakRequests = 100000;   // record-file requests of the soak
    std::string label = "run";   // names the run in the figure lines (pinned, unpinned)
    std::string figures;         // file that receives the table rows, when set
};

// Fills `options` from the arguments; false, with a message in `error`, when an
// argument is unknown or a number does not parse. `--help` also answers false, with
// the usage in `error`.
bool ParseOptions(int argc, char** argv, BenchOptions& options, std::string& error);

}  // namespace bench
