// The server's hardware address as text. No Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nubix {

// Clears `size` bytes of `out`, then writes the first `count` bytes of `address` as
// uppercase hexadecimal pairs with no separators, followed by a zero, as far as they
// fit: min(size, 2 * count + 1) bytes. A negative size counts as 0; a null `out`
// is written nothing. Returns false, with `out` cleared, when `count` is 0.
bool FormatMacText(const std::uint8_t* address, std::size_t count, char* out, std::int32_t size);

}  // namespace nubix
