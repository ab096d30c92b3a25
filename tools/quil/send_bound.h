// How long the viewer waits for the host to take a message it sends: long enough
// for any live host, short enough that a dead one does not hold the viewer forever.
#pragma once

namespace quil {

constexpr unsigned kSendBoundMs = 30000;

}  // namespace quil
