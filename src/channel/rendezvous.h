// The first 8 bytes of the file mapping through which the library and the viewer
// exchange their window handles. No Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nubix {

inline constexpr char kRendezvousName[] = "MyFileMappingObject";

struct RendezvousBlock {
    std::int32_t viewerWindow;  // the viewer's command window, written by the viewer
    std::int32_t clientWindow;  // the library's notification window, written at each open
};
static_assert(sizeof(RendezvousBlock) == 8, "RendezvousBlock is 8 bytes");
static_assert(offsetof(RendezvousBlock, clientWindow) == 4, "clientWindow at 4");

}  // namespace nubix
