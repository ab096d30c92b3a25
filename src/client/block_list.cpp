#include "client/block_list.h"

#include <new>

#include "client/win_handles.h"

namespace nubix {

BlockList HostBuffers;
BlockList ResultCopies;

void* BlockList::Allocate(std::size_t size) {
    if (size > static_cast<std::size_t>(-1) - sizeof(Header)) return nullptr;
    auto* raw = new (std::nothrow) unsigned char[sizeof(Header) + size];
    if (raw == nullptr) return nullptr;
    auto* header = reinterpret_cast<Header*>(raw);
    header->size = size;
    header->reserved = 0;
    header->next = nullptr;
    SrwGuard guard(lock_);
    header->prev = newest_;
    if (newest_ != nullptr) newest_->next = header; else oldest_ = header;
    newest_ = header;
    ++count_;
    return raw + sizeof(Header);
}

// Blocks are usually freed in the order they were made (posted messages are handled
// first in, first out), so the search starts at the oldest.
BlockList::Header* BlockList::Find(const void* block) {
    for (Header* h = oldest_; h != nullptr; h = h->next) {
        if (reinterpret_cast<const unsigned char*>(h) + sizeof(Header) == block) return h;
    }
    return nullptr;
}

bool BlockList::Contains(const void* block, std::size_t* size) {
    if (block == nullptr) return false;
    SrwGuard guard(lock_);
    Header* h = Find(block);
    if (h != nullptr && size != nullptr) *size = h->size;
    return h != nullptr;
}

bool BlockList::Free(void* block) {
    if (block == nullptr) return false;
    Header* h;
    {
        SrwGuard guard(lock_);
        h = Find(block);
        if (h == nullptr) return false;
        if (h->prev != nullptr) h->prev->next = h->next; else oldest_ = h->next;
        if (h->next != nullptr) h->next->prev = h->prev; else newest_ = h->prev;
        --count_;
    }
    delete[] reinterpret_cast<unsigned char*>(h);
    return true;
}

std::size_t BlockList::Count() {
    SrwGuard guard(lock_);
    return count_;
}

}  // namespace nubix
