// The server's hardware address as text in the host's buffer.
#include <cstring>

#include "fuzz_input.h"
#include "properties.h"
#include "services/mac_text.h"

namespace nubix::fuzz {

std::string MacTextViolation(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::size_t count = input.Byte() % 17;
    std::int32_t outSize = input.Int32();
    if (outSize > 256) outSize %= 257;  // keeps the host's buffer small; negatives stay
    ExactBlock address(count);
    for (std::size_t i = 0; i < count; ++i) address.Get()[i] = input.Byte();
    const std::size_t room = outSize > 0 ? static_cast<std::size_t>(outSize) : 0;
    ExactBlock out(room);
    std::memset(out.Get(), 0xAA, room);

    const bool found = FormatMacText(address.Get(), count, out.Chars(), outSize);
    if (found != (count != 0)) return "result not 1 exactly when there are address bytes";
    static const char kDigits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < room; ++i) {
        char expected = '\0';
        if (count != 0 && i < 2 * count) {
            const std::uint8_t byte = address.Get()[i / 2];
            expected = kDigits[i % 2 == 0 ? byte >> 4 : byte & 0x0F];
        }
        if (out.Chars()[i] != expected) return "output byte " + std::to_string(i) + " wrong";
    }
    // A null buffer is written nothing; a null address is no answer.
    if (FormatMacText(address.Get(), count, nullptr, outSize) != (count != 0)) return "null buffer changed the result";
    std::memset(out.Get(), 0xAA, room);
    if (FormatMacText(nullptr, count, out.Chars(), outSize)) return "null address gave an answer";
    if (!AllZero(out.Get(), room)) return "null address left the buffer uncleared";
    return "";
}

}  // namespace nubix::fuzz
