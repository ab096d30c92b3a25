// The host directory the tests run in (the directory of the test executable, with
// the DLL, the viewer simulator as Quil.exe and the stand-in control beside it), and
// the means to script the simulator and read what it received.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace nubix::test {

// Directory of the running executable, without a trailing backslash.
std::string HostDirectory();

// HostDirectory() + "\\" + name.
std::string HostPath(const std::string& name);

// Scripts the viewer simulator for the life of the object: writes the script lines
// to a file, points QUIL_SCRIPT and QUIL_JOURNAL (inherited by the viewer that the
// library starts) at it and a fresh journal. Restores both on destruction.
class ViewerScript {
public:
    explicit ViewerScript(const std::vector<std::string>& lines = {});
    ~ViewerScript();
    ViewerScript(const ViewerScript&) = delete;
    ViewerScript& operator=(const ViewerScript&) = delete;

    const std::string& JournalPath() const { return journal_; }

private:
    std::string script_;
    std::string journal_;
};

// One line of the simulator's journal: its first word and its key=value fields.
struct JournalEntry {
    std::string event;
    std::map<std::string, std::string> fields;
    std::string Get(const std::string& key) const;
    long long Number(const std::string& key) const;
    // The bytes of the "hex" field.
    std::vector<std::uint8_t> Bytes() const;
};

// Every line of the journal at `path`.
std::vector<JournalEntry> ReadJournal(const std::string& path);

// The entries of one event ("command", "answer", "result", "start", "quit").
std::vector<JournalEntry> JournalEvents(const std::string& path, const std::string& event);

// Dispatches this thread's messages until `done` returns true or `timeoutMs` passes.
// Returns whether `done` became true.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

// Dispatches this thread's messages for `ms` milliseconds.
void PumpFor(DWORD ms);

// Asks every window titled "QUIL" to quit and waits until none is left.
void EndAllViewers(DWORD timeoutMs = 10000);

// The control's class key under HKEY_CLASSES_ROOT.
bool ControlKeyExists();
void DeleteControlKey();
void CreateControlKey();

// Removes a directory with everything in it.
void RemoveTree(const std::string& path);

}  // namespace nubix::test
