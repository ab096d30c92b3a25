#include "journal_lines.h"

#include <cstdio>

#include "record_path.h"

namespace quil {
namespace {

std::string Decimal(long long value) {
    char text[24];
    std::snprintf(text, sizeof text, "%lld", value);
    return text;
}

}  // namespace

std::string StartLine(std::uint32_t pid, int instance) {
    return "start pid=" + Decimal(pid) + " instance=" + Decimal(instance);
}

std::string CommandLine(std::uint32_t code, std::uint32_t size, std::int32_t notifyWindow, const void* data) {
    static const char kDigits[] = "0123456789abcdef";
    // dwData is pointer-sized on the wire; read as signed 32 bits like every number.
    std::string line = "command code=" + Decimal(static_cast<std::int32_t>(code)) + " size=" +
                       Decimal(static_cast<std::int32_t>(size)) + " wparam=" + Decimal(notifyWindow) + " hex=";
    const std::uint8_t* bytes = static_cast<const std::uint8_t*>(data);
    if (bytes == nullptr) return line;
    line.reserve(line.size() + 2 * static_cast<std::size_t>(size));
    for (std::uint32_t i = 0; i < size; ++i) {
        line += kDigits[bytes[i] >> 4];
        line += kDigits[bytes[i] & 0x0F];
    }
    return line;
}

std::string AnswerLine(std::uint32_t code, int value) {
    return "answer code=" + Decimal(static_cast<std::int32_t>(code)) + " value=" + Decimal(value);
}

std::string ResultLine(std::uint32_t code, const nubix::CommandRecord& record) {
    return "result code=" + Decimal(static_cast<std::int32_t>(code)) + " channel=" + Decimal(record.channel) +
           " tag=" + Decimal(record.tag) + " result=" + Decimal(record.result) +
           " path=" + EscapeSpaces(JoinedPath(record));
}

std::string QuitLine() { return "quit"; }

std::string EscapeSpaces(const std::string& path) {
    std::string escaped;
    for (char c : path) {
        const unsigned char byte = static_cast<unsigned char>(c);
        // Control characters cannot be in a file name, but a line break in a
        // foreign record must not split the event in two.
        if (byte == ' ' || byte < 0x20) {
            char code[4];
            std::snprintf(code, sizeof code, "%%%02X", byte);
            escaped += code;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

}  // namespace quil
