#include "rendezvous_mapping.h"

#include <cstring>

#include "channel/rendezvous.h"

namespace quil {
namespace {

constexpr DWORD kMappingSize = 4096;

}  // namespace

RendezvousMapping::~RendezvousMapping() {
    if (view_ != nullptr) UnmapViewOfFile(view_);
    if (mapping_ != nullptr) CloseHandle(mapping_);
}

bool RendezvousMapping::Create() {
    // ERROR_ALREADY_EXISTS still yields a usable handle to the existing mapping.
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kMappingSize,
                                  nubix::kRendezvousName);
    if (mapping_ == nullptr) return false;
    view_ = MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    return view_ != nullptr;
}

void RendezvousMapping::PublishViewerWindow(std::int32_t window) {
    if (view_ == nullptr) return;
    std::memcpy(static_cast<char*>(view_) + offsetof(nubix::RendezvousBlock, viewerWindow), &window,
                sizeof window);
}

}  // namespace quil
