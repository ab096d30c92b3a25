// The code pages that the path splits are checked with: the lead-byte ranges of the
// double-byte ANSI code pages of the library's hosts, as Windows' own tables give them
// (IsDBCSLeadByteEx), and a code page without double-byte characters. The same tables
// serve the native fuzzers and unit tests and, under Wine, a check against the system's.
#pragma once

#include <cstddef>
#include <string>

#include "channel/path_split.h"

namespace nubix::fuzz {

// 936, Simplified Chinese (GBK).
inline bool GbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
// 950, Traditional Chinese (Big5): the code page's lead range, wider than standard Big5's.
inline bool Big5LeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
// 932, Japanese (Shift-JIS).
inline bool ShiftJisLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

struct CodePage {
    const char* name;
    unsigned id;
    LeadByteTest isLeadByte;
};

inline constexpr CodePage kCodePages[] = {
    {"1252 (no double-byte characters)", 1252, NoLeadBytes},
    {"936 GBK", 936, GbkLeadByte},
    {"950 Big5", 950, Big5LeadByte},
    {"932 Shift-JIS", 932, ShiftJisLeadByte},
};

// Whether `at` lies between two characters of `text`, walking from its start as the
// system does: a lead byte and the non-zero byte after it are one character.
inline bool IsCharBoundary(const std::string& text, std::size_t at, LeadByteTest isLeadByte) {
    std::size_t i = 0;
    while (i < at) {
        const bool pair = isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() && text[i + 1] != 0;
        i += pair ? 2 : 1;
    }
    return i == at;
}

// Whether text[at] is a backslash that is a character of its own.
inline bool IsSeparatorAt(const std::string& text, std::size_t at, LeadByteTest isLeadByte) {
    return text[at] == '\\' && IsCharBoundary(text, at, isLeadByte);
}

// Index just past the last separator of `text`, or 0: worked out from the
// character boundaries, backwards.
inline std::size_t ExpectedSplit(const std::string& text, LeadByteTest isLeadByte) {
    for (std::size_t at = text.size(); at-- > 0;) {
        if (IsSeparatorAt(text, at, isLeadByte)) return at + 1;
    }
    return 0;
}

// What must hold of a split of `path` into path[0, split) and the rest: `split` lies
// between two characters, just past a separator (or is 0), and no separator follows.
// Returns the first that fails, or "".
inline std::string SplitViolation(const std::string& path, std::size_t split, LeadByteTest isLeadByte) {
    if (split > path.size()) return "split past the path's end";
    if (!IsCharBoundary(path, split, isLeadByte)) return "split inside a double-byte character";
    if (split != 0 && !IsSeparatorAt(path, split - 1, isLeadByte)) return "split not just past a separator";
    for (std::size_t at = split; at < path.size(); ++at) {
        if (IsSeparatorAt(path, at, isLeadByte)) return "a separator after the split";
    }
    return "";
}

}  // namespace nubix::fuzz
