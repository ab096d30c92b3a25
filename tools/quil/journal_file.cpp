#include "journal_file.h"

#include <windows.h>

#include <cstring>

namespace quil {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr char kStartWord[] = "start";

// Whether `line` (of `length` bytes) starts with the event word "start".
bool IsStartLine(const char* line, std::size_t length) {
    const std::size_t word = sizeof kStartWord - 1;
    return length >= word && std::memcmp(line, kStartWord, word) == 0 &&
           (length == word || line[word] == ' ' || line[word] == '\r');
}

}  // namespace

JournalFile::JournalFile(const char* path) : path_(path != nullptr ? path : "") {}

void JournalFile::Write(const std::string& line) const {
    if (!Enabled()) return;
    // Opened for each line: appends from several instances stay whole lines, and a
    // test that deletes the journal between cases gets a fresh file.
    HANDLE file = CreateFileA(path_.c_str(), FILE_APPEND_DATA, kShareAll, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    FlushFileBuffers(file);
    CloseHandle(file);
}

int JournalFile::CountStarts() const {
    if (!Enabled()) return 0;
    HANDLE file = CreateFileA(path_.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    // Lines are read through a fixed buffer; only each line's first bytes matter.
    char line[16];
    std::size_t length = 0;
    int starts = 0;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        for (DWORD i = 0; i < got; ++i) {
            if (chunk[i] == '\n') {
                if (IsStartLine(line, length)) ++starts;
                length = 0;
                continue;
            }
            if (length < sizeof line) line[length++] = chunk[i];
        }
    }
    if (IsStartLine(line, length)) ++starts;
    CloseHandle(file);
    return starts;
}

}  // namespace quil
