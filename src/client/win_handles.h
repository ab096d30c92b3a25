// Small owners of Windows handles, each released in one place.
#pragma once

#include <windows.h>

namespace nubix {

// A kernel handle closed with CloseHandle. Null and INVALID_HANDLE_VALUE mean none.
class UniqueHandle {
public:
    constexpr UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : handle_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE h = nullptr) {
        if (*this) CloseHandle(handle_);
        handle_ = h;
    }

private:
    HANDLE handle_ = nullptr;
};

// A view mapped with MapViewOfFile, unmapped with UnmapViewOfFile.
class MappedView {
public:
    constexpr MappedView() = default;
    explicit MappedView(void* view) : view_(view) {}
    MappedView(const MappedView&) = delete;
    MappedView& operator=(const MappedView&) = delete;
    ~MappedView() { Reset(); }

    void* Get() const { return view_; }
    explicit operator bool() const { return view_ != nullptr; }
    void Reset(void* view = nullptr) {
        if (view_ != nullptr) UnmapViewOfFile(view_);
        view_ = view;
    }

private:
    void* view_ = nullptr;
};

// Holds a critical section for the life of a scope.
class CriticalSectionGuard {
public:
    explicit CriticalSectionGuard(CRITICAL_SECTION& cs) : cs_(cs) { EnterCriticalSection(&cs_); }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;
    ~CriticalSectionGuard() { LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION& cs_;
};

// Holds an SRW lock exclusively for the life of a scope.
class SrwGuard {
public:
    explicit SrwGuard(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    SrwGuard(const SrwGuard&) = delete;
    SrwGuard& operator=(const SrwGuard&) = delete;
    ~SrwGuard() { ReleaseSRWLockExclusive(&lock_); }

private:
    SRWLOCK& lock_;
};

}  // namespace nubix
