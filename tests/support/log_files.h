// Reading and clearing the library's two log files from a test.
#pragma once

#include <string>
#include <vector>

namespace nubix::test {

inline constexpr char kOpLogPath[] = "c:\\nv.log";
inline constexpr char kLevelLogPath[] = "c:\\vs.log";

// The file's exact bytes ("" when it does not exist).
std::string ReadFileBytes(const char* path);

// GBK bytes to UTF-8.
std::string GbkToUtf8(const std::string& gbk);

// The file decoded to UTF-8 and split at CR LF; a missing file gives no lines.
std::vector<std::string> ReadLogLines(const char* path);

// The text of each operation-log line after "操作: " (UTF-8).
std::vector<std::string> OpLogTexts();

// The message of each level-log line after " -- " (UTF-8, mark included).
std::vector<std::string> LevelLogMessages();

// Deletes both log files.
void ClearLogs();

}  // namespace nubix::test
