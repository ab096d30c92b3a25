// The lines of the journal, one per event, in the documented format: an event word,
// then "key=value" fields separated by single spaces. No field holds a space.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "channel/command_record.h"

namespace quil {

std::string StartLine(std::uint32_t pid, int instance);
// `data` holds `size` bytes, all of them written as lowercase hex.
std::string CommandLine(std::uint32_t code, std::uint32_t size, std::int32_t notifyWindow, const void* data);
std::string AnswerLine(std::uint32_t code, int value);
std::string ResultLine(std::uint32_t code, const nubix::CommandRecord& record);
std::string QuitLine();

// A path with every space written as %20 (and any control character as %XX), so
// that it stays one field of one line.
std::string EscapeSpaces(const std::string& path);

}  // namespace quil
