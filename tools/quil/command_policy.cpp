#include "command_policy.h"

namespace quil {

CommandVerdict CommandPolicy::Receive(std::uint32_t code) {
    CommandVerdict verdict;
    verdict.kind = KindOfCode(code);
    if (verdict.kind == CommandKind::None) return verdict;
    int& count = counts_[static_cast<int>(verdict.kind)];
    if (count < 0x7FFFFFFF) ++count;
    verdict.ordinal = count;
    if (settings_.exit.Fires(verdict.kind, verdict.ordinal)) verdict.fate = Fate::Exit;
    else if (settings_.hang.Fires(verdict.kind, verdict.ordinal)) verdict.fate = Fate::Hang;
    return verdict;
}

bool CommandPolicy::Accepts(const CommandVerdict& verdict) const {
    switch (verdict.kind) {
        case CommandKind::Open: return settings_.acceptOpen;
        case CommandKind::Capture: return settings_.capture.Accepts(verdict.ordinal);
        case CommandKind::Record: return settings_.record.Accepts(verdict.ordinal);
        default: return false;
    }
}

}  // namespace quil
