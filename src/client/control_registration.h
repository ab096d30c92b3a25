// Making sure the video control is registered before the viewer is started.
#pragma once

namespace nubix {

inline constexpr char kControlKey[] = "CLSID\\{4B1D92E7-5A3C-4F08-9E6B-2C7D81A0F35C}";

// True when the control's class key exists, registering the control silently from
// the file below `applicationDirectory` when it does not. Writes the level log only.
bool EnsureControlRegistered(const char* applicationDirectory);

}  // namespace nubix
