#include "viewer_script.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace quil {
namespace {

constexpr std::size_t kMaxScriptBytes = 64 * 1024;
constexpr int kMaxBurst = 100000;

enum Key {
    kMapping, kHandle, kOpen, kOpenResult, kCapture, kRecord, kHang, kExit, kPictureResult,
    kRecordResult, kResultDelayMs, kResults, kWriteFiles, kBurst, kFast, kStamp, kKeyCount
};

constexpr const char* kKeyNames[kKeyCount] = {
    "mapping", "handle", "open", "open_result", "capture", "record", "hang", "exit",
    "picture_result", "record_result", "result_delay_ms", "results", "write_files", "burst", "fast",
    "stamp",
};

// The value chosen for a key and how specific its line was (0 none, 1 all, 2 ours).
struct Chosen {
    int rank = 0;
    std::string value;
};

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool ParseInt(const std::string& text, long minimum, long maximum, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < minimum || parsed > maximum) return false;
    value = parsed;
    return true;
}

int FindKey(const std::string& name) {
    for (int key = 0; key < kKeyCount; ++key) {
        if (name == kKeyNames[key]) return key;
    }
    return -1;
}

// Splits "N.key" into its instance number and key; 0 when there is no prefix.
// Returns false for a malformed prefix.
bool SplitPrefix(const std::string& name, int& instance, std::string& key) {
    const std::size_t dot = name.find('.');
    if (dot == std::string::npos) {
        instance = 0;
        key = name;
        return true;
    }
    long number = 0;
    if (!ParseInt(name.substr(0, dot), 1, INT_MAX, number)) return false;
    instance = static_cast<int>(number);
    key = name.substr(dot + 1);
    return true;
}

void ChooseLine(const std::string& line, int ourInstance, Chosen (&chosen)[kKeyCount]) {
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') return;
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string::npos) return;
    int instance = 0;
    std::string name;
    if (!SplitPrefix(Trim(trimmed.substr(0, equals)), instance, name)) return;
    if (instance != 0 && instance != ourInstance) return;
    const int key = FindKey(name);
    if (key < 0) return;
    const int rank = instance != 0 ? 2 : 1;
    if (rank < chosen[key].rank) return;
    chosen[key].rank = rank;
    chosen[key].value = Trim(trimmed.substr(equals + 1));
}

void ApplyFlag(const std::string& value, const char* on, const char* off, bool& flag) {
    if (value == on) flag = true;
    else if (value == off) flag = false;
}

void ApplyNumber(const std::string& value, long minimum, long maximum, std::int32_t& target) {
    long number = 0;
    if (ParseInt(value, minimum, maximum, number)) target = static_cast<std::int32_t>(number);
}

void Apply(int key, const std::string& value, ViewerSettings& settings) {
    std::int32_t number = 0;
    switch (key) {
        case kMapping: ApplyFlag(value, "create", "skip", settings.createMapping); break;
        case kHandle: ApplyFlag(value, "window", "zero", settings.publishHandle); break;
        case kOpen: ApplyFlag(value, "accept", "refuse", settings.acceptOpen); break;
        case kOpenResult:
            if (value == "success") settings.openResult = OpenResult::Success;
            else if (value == "failure") settings.openResult = OpenResult::Failure;
            else if (value == "none") settings.openResult = OpenResult::None;
            break;
        case kCapture: settings.capture.Parse(value); break;
        case kRecord: settings.record.Parse(value); break;
        case kHang: settings.hang.Parse(value); break;
        case kExit: settings.exit.Parse(value); break;
        case kPictureResult: ApplyNumber(value, INT32_MIN, INT32_MAX, settings.pictureResult); break;
        case kRecordResult: ApplyNumber(value, INT32_MIN, INT32_MAX, settings.recordResult); break;
        case kResultDelayMs:
            number = settings.resultDelayMs;
            ApplyNumber(value, 0, INT32_MAX, number);
            settings.resultDelayMs = number;
            break;
        case kResults: ApplyFlag(value, "all", "none", settings.sendResults); break;
        case kWriteFiles: ApplyFlag(value, "1", "0", settings.writeFiles); break;
        case kBurst:
            number = settings.burst;
            ApplyNumber(value, 1, kMaxBurst, number);
            settings.burst = number;
            break;
        case kFast: ApplyFlag(value, "1", "0", settings.fast); break;
        case kStamp: ApplyFlag(value, "1", "0", settings.stamp); break;
        default: break;
    }
}

}  // namespace

CommandKind KindOfCode(std::uint32_t code) {
    switch (code) {
        case 1: return CommandKind::Open;
        case 2: return CommandKind::Capture;
        case 3: return CommandKind::Record;
        default: return CommandKind::None;
    }
}

bool AcceptList::Parse(const std::string& text) {
    bool items[kMaxItems] = {};
    int size = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string item = Trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (size == kMaxItems) return false;
        if (item == "accept") items[size++] = true;
        else if (item == "refuse") items[size++] = false;
        else return false;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    for (int i = 0; i < size; ++i) items_[i] = items[i];
    size_ = size;
    return true;
}

bool AcceptList::Accepts(int ordinal) const {
    if (size_ == 0) return true;
    const int index = ordinal < 1 ? 0 : (ordinal > size_ ? size_ : ordinal) - 1;
    return items_[index];
}

bool CommandTrigger::Parse(const std::string& text) {
    const std::size_t colon = text.find(':');
    const std::string kindName = text.substr(0, colon);
    CommandKind parsedKind;
    if (kindName == "open") parsedKind = CommandKind::Open;
    else if (kindName == "capture") parsedKind = CommandKind::Capture;
    else if (kindName == "record") parsedKind = CommandKind::Record;
    else return false;
    long number = 0;
    if (colon != std::string::npos && !ParseInt(text.substr(colon + 1), 1, INT_MAX, number)) return false;
    kind = parsedKind;
    nth = static_cast<int>(number);
    return true;
}

bool CommandTrigger::Fires(CommandKind commandKind, int ordinal) const {
    return kind != CommandKind::None && kind == commandKind && (nth == 0 || nth == ordinal);
}

ViewerSettings ParseScript(const std::string& text, int instance) {
    Chosen chosen[kKeyCount];
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        ChooseLine(text.substr(start, end - start), instance, chosen);
        start = end + 1;
    }
    ViewerSettings settings;
    for (int key = 0; key < kKeyCount; ++key) {
        if (chosen[key].rank != 0) Apply(key, chosen[key].value, settings);
    }
    if (settings.fast) settings.writeFiles = false;
    return settings;
}

ViewerSettings LoadScript(const char* path, int instance) {
    std::string text;
    if (path != nullptr && path[0] != '\0') {
        if (std::FILE* file = std::fopen(path, "rb")) {
            char chunk[4096];
            std::size_t got;
            while (text.size() < kMaxScriptBytes && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
                text.append(chunk, got);
            }
            std::fclose(file);
        }
    }
    return ParseScript(text, instance);
}

}  // namespace quil
