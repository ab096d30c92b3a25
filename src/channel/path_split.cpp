#include "channel/path_split.h"

namespace nubix {

bool NoLeadBytes(unsigned char) { return false; }

std::size_t PathSplitPoint(const char* text, std::size_t length, LeadByteTest isLeadByte) {
    if (isLeadByte == nullptr) isLeadByte = NoLeadBytes;
    std::size_t split = 0;
    std::size_t i = 0;
    while (i < length) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (isLeadByte(c) && i + 1 < length && text[i + 1] != '\0') {
            i += 2;  // the second byte is the character's, whatever its value
            continue;
        }
        if (c == '\\') split = i + 1;
        ++i;
    }
    return split;
}

}  // namespace nubix
