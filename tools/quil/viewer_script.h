// How one viewer instance behaves, read from the script file named by QUIL_SCRIPT.
//
// The script holds lines "key=value"; blank lines and lines starting with '#' are
// ignored. A key prefixed "N." applies to the Nth instance only and beats the same
// key without a prefix; among equals the later line wins. Unknown keys and values
// that do not parse are ignored, leaving the good viewer's behaviour.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quil {

enum class CommandKind { None, Open, Capture, Record };

// The kind of a command code: 1 open, 2 capture, 3 record file, others none.
CommandKind KindOfCode(std::uint32_t code);

enum class OpenResult { Success, Failure, None };

// accept/refuse for the 1st, 2nd, ... command of a kind; the last item repeats and
// an empty list accepts everything.
class AcceptList {
public:
    static constexpr int kMaxItems = 64;
    bool Parse(const std::string& text);
    bool Accepts(int ordinal) const;  // ordinal counts from 1

private:
    bool items_[kMaxItems] = {};
    int size_ = 0;
};

// "hang" or "exit": on the nth command of a kind, or on every one when nth is 0.
struct CommandTrigger {
    CommandKind kind = CommandKind::None;
    int nth = 0;
    bool Parse(const std::string& text);
    bool Fires(CommandKind commandKind, int ordinal) const;
};

struct ViewerSettings {
    bool createMapping = true;   // mapping=skip clears it
    bool publishHandle = true;   // handle=zero clears it
    bool acceptOpen = true;      // open=accept|refuse
    OpenResult openResult = OpenResult::Success;
    AcceptList capture;
    AcceptList record;
    CommandTrigger hang;
    CommandTrigger exit;
    std::int32_t pictureResult = 1;
    std::int32_t recordResult = 1;
    int resultDelayMs = 0;
    bool sendResults = true;     // results=none clears it
    bool writeFiles = true;
    int burst = 1;
    bool fast = false;           // also clears writeFiles and turns the journal off
    bool stamp = false;          // stamp=1: each result's tag carries its send time
};

// The settings for `instance` (from 1) from a script's text.
ViewerSettings ParseScript(const std::string& text, int instance);

// The same from a file; a missing or unreadable file gives the good viewer.
ViewerSettings LoadScript(const char* path, int instance);

}  // namespace quil
