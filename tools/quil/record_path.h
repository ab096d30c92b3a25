// Reading the texts of a CommandRecord that came from another process: each field
// is bounded by its width, whether or not the sender put a terminating zero in it.
#pragma once

#include <string>

#include "channel/command_record.h"

namespace quil {

std::string DirectoryOf(const nubix::CommandRecord& record);
std::string FileNameOf(const nubix::CommandRecord& record);

// directory followed directly by fileName: the file the command asks for.
std::string JoinedPath(const nubix::CommandRecord& record);

// A record with both texts empty only announces a change of channel.
bool IsChannelSwitch(const nubix::CommandRecord& record);

}  // namespace quil
