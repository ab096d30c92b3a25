#include "services/mac_text.h"

#include <cstring>

namespace nubix {

bool FormatMacText(const std::uint8_t* address, std::size_t count, char* out, std::int32_t size) {
    const std::size_t room = (out != nullptr && size > 0) ? static_cast<std::size_t>(size) : 0;
    if (room > 0) std::memset(out, 0, room);
    if (count == 0 || address == nullptr) return false;
    static const char kDigits[] = "0123456789ABCDEF";
    const std::size_t text = 2 * count + 1;  // the digits and their zero
    for (std::size_t i = 0; i < text - 1 && i < room; ++i) {
        const std::uint8_t byte = address[i / 2];
        out[i] = kDigits[(i % 2 == 0) ? (byte >> 4) : (byte & 0x0F)];
    }
    return true;
}

}  // namespace nubix
