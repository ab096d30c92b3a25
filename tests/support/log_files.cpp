#include "support/log_files.h"

#include <windows.h>

#include <cstdio>

namespace nubix::test {

std::string ReadFileBytes(const char* path) {
    std::string bytes;
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return bytes;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    std::fclose(f);
    return bytes;
}

std::string GbkToUtf8(const std::string& gbk) {
    if (gbk.empty()) return gbk;
    int wide = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), &w[0], wide);
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, &out[0], n, nullptr, nullptr);
    return out;
}

std::vector<std::string> ReadLogLines(const char* path) {
    std::string text = GbkToUtf8(ReadFileBytes(path));
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> OpLogTexts() {
    std::vector<std::string> texts;
    for (const std::string& line : ReadLogLines(kOpLogPath)) {
        static const std::string marker = "操作: ";
        std::size_t at = line.find(marker);
        texts.push_back(at == std::string::npos ? line : line.substr(at + marker.size()));
    }
    return texts;
}

std::vector<std::string> LevelLogMessages() {
    std::vector<std::string> messages;
    for (const std::string& line : ReadLogLines(kLevelLogPath)) {
        std::size_t at = line.find(" -- ");
        messages.push_back(at == std::string::npos ? line : line.substr(at + 4));
    }
    return messages;
}

void ClearLogs() {
    DeleteFileA(kOpLogPath);
    DeleteFileA(kLevelLogPath);
}

}  // namespace nubix::test
