// Heap blocks whose addresses travel through window messages. The list remembers
// every block it handed out and not yet freed, so that a message carrying any other
// address (from another process, or stale) is recognised and left alone.
#pragma once

#include <windows.h>

#include <cstddef>

namespace nubix {

class BlockList {
public:
    constexpr BlockList() = default;
    BlockList(const BlockList&) = delete;
    BlockList& operator=(const BlockList&) = delete;

    // A block of `size` bytes (0 allowed) from the library's array allocator, or null.
    void* Allocate(std::size_t size);

    // If `block` is outstanding, stores its size in `*size` (when given) and returns
    // true. The address is only compared, never read.
    bool Contains(const void* block, std::size_t* size = nullptr);

    // Frees `block` if it is outstanding; returns whether it was.
    bool Free(void* block);

    // How many blocks are outstanding.
    std::size_t Count();

private:
    struct Header {
        Header* prev;
        Header* next;
        std::size_t size;
        std::size_t reserved;  // keeps the payload 16 bytes in
    };
    Header* Find(const void* block);

    SRWLOCK lock_ = SRWLOCK_INIT;
    Header* oldest_ = nullptr;
    Header* newest_ = nullptr;
    std::size_t count_ = 0;
};

// Blocks the host allocates with kesaNewBuffer.
extern BlockList HostBuffers;
// Result copies that the notification window posts to itself.
extern BlockList ResultCopies;

}  // namespace nubix
