// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <memory>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace orvik {

// For the recovery's large tables, read at random: on Linux they ask for huge pages, which
// spare most of the page faults and TLB misses of memory touched once per line.
template <class T> struct BigAllocator {
    using value_type = T;
    static constexpr std::size_t kHugePage = std::size_t(2) << 20;

    BigAllocator() = default;
    template <class U> BigAllocator(const BigAllocator<U>&) {}

    T* allocate(std::size_t n)
    {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kHugePage)
            return std::allocator<T>().allocate(n);
        const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void* p = ::operator new(rounded, std::align_val_t(kHugePage));
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        madvise(p, rounded, MADV_HUGEPAGE); // only advice: without it the pages are small
#endif
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n)
    {
        if (n * sizeof(T) < kHugePage)
            std::allocator<T>().deallocate(p, n);
        else
            ::operator delete(p, std::align_val_t(kHugePage));
    }
    template <class U> bool operator==(const BigAllocator<U>&) const { return true; }
};

} // namespace orvik
