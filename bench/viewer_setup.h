// What the benchmark arranges around the library, as a host's installer and the
// tests do: the control's class key, the viewer simulator's script, and the end of
// viewers left running.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace bench {

// Creates the video control's class key, so that opening needs no registration.
void CreateControlKey();

// Points QUIL_SCRIPT (inherited by every viewer the library starts) at a file of the
// given lines for the life of the object; the journal is off.
class SimulatorScript {
public:
    SimulatorScript();
    ~SimulatorScript();
    SimulatorScript(const SimulatorScript&) = delete;
    SimulatorScript& operator=(const SimulatorScript&) = delete;

    // Rewrites the script; viewers started from now on read it.
    bool Use(const std::vector<std::string>& lines);

private:
    std::string path_;
};

// The viewer's command window, or null.
HWND FindViewerWindow();

// Asks every window titled "QUIL" to quit, dispatching this thread's messages while it
// waits, and ends those that do not within a second. Returns whether none is left.
bool EndAllViewers(DWORD timeoutMs = 10000);

// Deletes the operation log and the level log.
void DeleteLogs();

}  // namespace bench
