// The command line of vsclient: options and the actions to run, in order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vsclient {

enum class ActionKind { Capture, Record, Mac, Params, Restart };

struct Action {
    ActionKind kind;
    int channel = 0;
    std::string path;                    // capture, record
    std::vector<std::uint8_t> params;    // params: 12 bytes
};

struct CommandLine {
    std::string server;
    std::string user;
    std::string password;
    int timeoutSeconds = 30;
    bool json = false;
    bool help = false;
    std::vector<Action> actions;
};

// Parses the arguments after the program name. On a usage error returns false and
// says why in `error`.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);

extern const char kUsage[];

}  // namespace vsclient
