#include "support/host_dir.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/log_files.h"

namespace nubix::test {
namespace {

constexpr char kControlKey[] = "CLSID\\{4B1D92E7-5A3C-4F08-9E6B-2C7D81A0F35C}";

void WriteText(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

}  // namespace

std::string HostDirectory() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\'));
}

std::string HostPath(const std::string& name) { return HostDirectory() + "\\" + name; }

ViewerScript::ViewerScript(const std::vector<std::string>& lines)
    : script_(HostPath("quil-script.txt")), journal_(HostPath("quil-journal.txt")) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    WriteText(script_, text);
    DeleteFileA(journal_.c_str());
    SetEnvironmentVariableA("QUIL_SCRIPT", script_.c_str());
    SetEnvironmentVariableA("QUIL_JOURNAL", journal_.c_str());
}

ViewerScript::~ViewerScript() {
    SetEnvironmentVariableA("QUIL_SCRIPT", nullptr);
    SetEnvironmentVariableA("QUIL_JOURNAL", nullptr);
    DeleteFileA(script_.c_str());
}

std::string JournalEntry::Get(const std::string& key) const {
    auto it = fields.find(key);
    return it == fields.end() ? std::string() : it->second;
}

long long JournalEntry::Number(const std::string& key) const {
    return std::strtoll(Get(key).c_str(), nullptr, 10);
}

std::vector<std::uint8_t> JournalEntry::Bytes() const {
    std::vector<std::uint8_t> bytes;
    const std::string hex = Get("hex");
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    }
    return bytes;
}

std::vector<JournalEntry> ReadJournal(const std::string& path) {
    std::vector<JournalEntry> entries;
    const std::string text = ReadFileBytes(path.c_str());
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        JournalEntry entry;
        std::size_t pos = line.find(' ');
        entry.event = line.substr(0, pos);
        while (pos != std::string::npos) {
            std::size_t next = line.find(' ', pos + 1);
            std::string field = line.substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1);
            std::size_t eq = field.find('=');
            if (eq != std::string::npos) entry.fields[field.substr(0, eq)] = field.substr(eq + 1);
            pos = next;
        }
        entries.push_back(entry);
    }
    return entries;
}

std::vector<JournalEntry> JournalEvents(const std::string& path, const std::string& event) {
    std::vector<JournalEntry> matching;
    for (JournalEntry& e : ReadJournal(path)) {
        if (e.event == event) matching.push_back(std::move(e));
    }
    return matching;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now < 20 ? deadline - now : 20),
                                  QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

void EndAllViewers(DWORD timeoutMs) {
    PumpUntil(
        [] {
            HWND viewer = FindWindowA(nullptr, "QUIL");
            if (viewer == nullptr) return true;
            DWORD pid = 0;
            GetWindowThreadProcessId(viewer, &pid);
            if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
                // A viewer that hangs never reads WM_QUIT.
                PostMessageA(viewer, WM_QUIT, 0, 0);
                if (WaitForSingleObject(process, 2000) != WAIT_OBJECT_0) TerminateProcess(process, 9);
                WaitForSingleObject(process, 2000);
                CloseHandle(process);
            }
            return false;
        },
        timeoutMs);
}

bool ControlKeyExists() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kControlKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// A registered control leaves subkeys, which RegDeleteKeyA would refuse to remove.
void DeleteControlKey() { RegDeleteTreeA(HKEY_CLASSES_ROOT, kControlKey); }

void CreateControlKey() {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kControlKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        RegCloseKey(key);
    }
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

}  // namespace nubix::test
