// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <memory>
#include <memory_resource>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace orvik {

inline constexpr std::size_t kHugePage = std::size_t(2) << 20;

// Memory of at least a huge page, aligned to one; on Linux it asks for huge pages, which spare
// most of the page faults and TLB misses of memory touched once per line. Smaller requests
// are ordinary ones.
inline void* bigAllocate(std::size_t bytes)
{
    if (bytes < kHugePage)
        return ::operator new(bytes);
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = ::operator new(rounded, std::align_val_t(kHugePage));
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    madvise(p, rounded, MADV_HUGEPAGE); // only advice: without it the pages are small
#endif
    return p;
}

inline void bigDeallocate(void* p, std::size_t bytes)
{
    if (bytes < kHugePage)
        ::operator delete(p);
    else
        ::operator delete(p, std::align_val_t(kHugePage));
}

// For the recovery's large tables, read at random.
template <class T> struct BigAllocator {
    using value_type = T;

    BigAllocator() = default;
    template <class U> BigAllocator(const BigAllocator<U>&) {}

    T* allocate(std::size_t n) { return static_cast<T*>(bigAllocate(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) { bigDeallocate(p, n * sizeof(T)); }
    template <class U> bool operator==(const BigAllocator<U>&) const { return true; }
};

// The many small blocks that live as long as a window of lines (the copies held and their
// text), pooled in chunks of huge pages: taken fresh from the heap, each first touch of a
// small page is a fault.
class BigPool {
public:
    std::pmr::memory_resource* resource() { return &m_pool; }

private:
    class Chunks : public std::pmr::memory_resource {
        void* do_allocate(std::size_t bytes, std::size_t align) override
        {
            return align <= alignof(std::max_align_t) ? bigAllocate(bytes)
                                                      : ::operator new(bytes, std::align_val_t(align));
        }
        void do_deallocate(void* p, std::size_t bytes, std::size_t align) override
        {
            if (align <= alignof(std::max_align_t))
                bigDeallocate(p, bytes);
            else
                ::operator delete(p, std::align_val_t(align));
        }
        bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override
        {
            return this == &other;
        }
    };

    static constexpr std::pmr::pool_options kOptions{std::size_t(1) << 16, std::size_t(1) << 14};
    Chunks m_chunks;
    std::pmr::unsynchronized_pool_resource m_pool{kOptions, &m_chunks};
};

} // namespace orvik
