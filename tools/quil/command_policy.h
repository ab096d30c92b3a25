// What the script makes of each command as it arrives: counts the commands of each
// kind and decides whether to hang, exit, take or refuse the command.
#pragma once

#include <cstdint>

#include "viewer_script.h"

namespace quil {

enum class Fate { Handle, Hang, Exit };

struct CommandVerdict {
    CommandKind kind = CommandKind::None;
    int ordinal = 0;  // 1 for the first command of its kind in this instance
    Fate fate = Fate::Handle;
};

class CommandPolicy {
public:
    explicit CommandPolicy(const ViewerSettings& settings) : settings_(settings) {}

    // Counts the command and tells its fate; an exit beats a hang.
    CommandVerdict Receive(std::uint32_t code);

    // Whether a capture or record command of that ordinal is taken.
    bool Accepts(const CommandVerdict& verdict) const;

private:
    const ViewerSettings& settings_;
    int counts_[4] = {};
};

}  // namespace quil
