// The viewer's side of the named file mapping through which the library finds the
// viewer's command window. Held, mapped, for the whole life of the process: the
// library opens it by name after the viewer has started.
#pragma once

#include <windows.h>

#include <cstdint>

namespace quil {

class RendezvousMapping {
public:
    RendezvousMapping() = default;
    ~RendezvousMapping();
    RendezvousMapping(const RendezvousMapping&) = delete;
    RendezvousMapping& operator=(const RendezvousMapping&) = delete;

    // Creates the mapping, or opens it when it exists already, and maps it.
    bool Create();

    // Writes the command window's handle at offset 0; offset 4 is the library's.
    void PublishViewerWindow(std::int32_t window);

private:
    HANDLE mapping_ = nullptr;
    void* view_ = nullptr;
};

}  // namespace quil
