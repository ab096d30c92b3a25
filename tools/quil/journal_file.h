// The journal file named by QUIL_JOURNAL: one line appended per event, each written
// through at once, so that a test reading the file while the viewer runs sees every
// event so far. Several viewer instances may share one journal.
#pragma once

#include <string>

namespace quil {

class JournalFile {
public:
    // An empty path, or none, keeps no journal.
    explicit JournalFile(const char* path);

    bool Enabled() const { return !path_.empty(); }
    void Disable() { path_.clear(); }

    // Appends `line` and a line break. Failures are silent: the journal is a witness,
    // not part of the viewer's behaviour.
    void Write(const std::string& line) const;

    // How many "start" lines the journal holds: the instances started before us.
    int CountStarts() const;

private:
    std::string path_;
};

}  // namespace quil
