// Where a path splits into its directory and its file name, read by characters of
// the code page it is written in. In a double-byte code page (936, 950, 932) the
// second byte of a character can be 0x5C, the byte of the backslash; such a byte
// belongs to its character and never separates. No Windows headers: the caller
// passes the code page's lead-byte test, so that this also builds natively.
#pragma once

#include <cstddef>

namespace nubix {

// Whether a byte begins a double-byte character of the text's code page.
using LeadByteTest = bool (*)(unsigned char);

// A code page without double-byte characters: every byte is a character.
bool NoLeadBytes(unsigned char);

// The index just past the last backslash of text[0, length) that is a character of
// its own, or 0 when there is none. The text is walked from its start as the system
// walks it (CharNextA): a lead byte and the byte after it are one character; a lead
// byte that is the text's last byte stands alone, and nothing past `length` is read.
// A null test means no lead bytes.
std::size_t PathSplitPoint(const char* text, std::size_t length, LeadByteTest isLeadByte);

}  // namespace nubix
