// How the stand-in control behaves when regsvr32 registers it, read from the
// environment variable VANTO_MODE, which the program that runs regsvr32 passes on:
//   (unset or empty)  register at once
//   fail              refuse: an error result, no key
//   late:N            report success, but create the key N milliseconds later
// No Windows headers.
#pragma once

namespace vanto {

inline constexpr char kModeVariable[] = "VANTO_MODE";

enum class RegisterMode { kNow, kFail, kLate, kUnknown };

struct ModeSetting {
    RegisterMode mode;
    unsigned delayMs;  // kLate only
};

// The setting named by `text`; null means the variable is not set. Anything not
// understood is kUnknown, which the control refuses, so that a misspelt mode shows
// up as a failure instead of as a quiet registration.
ModeSetting ParseMode(const char* text);

}  // namespace vanto
