#include "output.h"

#include <windows.h>

#include <cstdio>

namespace vsclient {
namespace {

const char* OperationName(int operation) {
    switch (operation) {
        case 0: return "picture";
        case 1: return "record";
        case 3: return "restart";
        default: return "unknown";
    }
}

std::string ToUtf8(const std::string& ansi) {
    if (ansi.empty()) return ansi;
    int wide = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &w[0], wide);
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, &out[0], n, nullptr, nullptr);
    return out;
}

}  // namespace

std::string JsonString(const std::string& ansi) {
    std::string out = "\"";
    for (unsigned char c : ToUtf8(ansi)) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char esc[8];
                    std::snprintf(esc, sizeof esc, "\\u%04x", c);
                    out += esc;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

void Output::Status(int channel, int tag, int operation, int outcome) const {
    if (json_) {
        std::printf("{\"event\":\"status\",\"channel\":%d,\"tag\":%d,\"operation\":\"%s\",\"outcome\":%d}\n", channel,
                    tag, OperationName(operation), outcome);
    } else {
        std::printf("status  channel %d  tag %d  %s %s\n", channel, tag, OperationName(operation),
                    outcome == 0 ? "succeeded" : "failed");
    }
    std::fflush(stdout);
}

void Output::File(const char* kind, int channel, int tag, const std::string& path) const {
    if (json_) {
        std::printf("{\"event\":\"%s\",\"channel\":%d,\"tag\":%d,\"path\":%s}\n", kind, channel, tag,
                    JsonString(path).c_str());
    } else {
        std::printf("%-7s channel %d  tag %d  %s\n", kind, channel, tag, path.c_str());
    }
    std::fflush(stdout);
}

void Output::Mac(bool found, const std::string& text) const {
    if (json_) {
        std::printf("{\"event\":\"mac\",\"found\":%s,\"address\":%s}\n", found ? "true" : "false",
                    JsonString(text).c_str());
    } else if (found) {
        std::printf("mac     %s\n", text.c_str());
    } else {
        std::printf("mac     not found\n");
    }
    std::fflush(stdout);
}

void Output::Note(const char* event, int tag, const std::string& detail) const {
    if (json_) {
        std::printf("{\"event\":\"%s\",\"tag\":%d,\"detail\":%s}\n", event, tag, JsonString(detail).c_str());
    } else {
        std::printf("%-7s tag %d  %s\n", event, tag, detail.c_str());
    }
    std::fflush(stdout);
}

void Output::Callback(int channel, int kind, int tag, int length) const {
    if (json_) {
        std::printf("{\"event\":\"callback\",\"channel\":%d,\"kind\":%d,\"tag\":%d,\"length\":%d}\n", channel, kind,
                    tag, length);
    } else {
        std::printf("callback channel %d  kind %d  tag %d  length %d\n", channel, kind, tag, length);
    }
    std::fflush(stdout);
}

}  // namespace vsclient
