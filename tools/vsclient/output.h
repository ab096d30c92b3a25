// How vsclient prints what happens: readable lines or one JSON object per line.
#pragma once

#include <string>

namespace vsclient {

class Output {
public:
    explicit Output(bool json) : json_(json) {}

    void Status(int channel, int tag, int operation, int outcome) const;
    void File(const char* kind, int channel, int tag, const std::string& path) const;
    void Mac(bool found, const std::string& text) const;
    void Note(const char* event, int tag, const std::string& detail) const;
    // A callback of a kind the library does not document.
    void Callback(int channel, int kind, int tag, int length) const;

private:
    bool json_;
};

// Text in the system code page as UTF-8, with JSON escapes.
std::string JsonString(const std::string& ansi);

}  // namespace vsclient
