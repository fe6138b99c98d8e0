// SPDX-License-Identifier: Apache-2.0
#include "cPageBlock.h"

#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#elif defined(_WIN32)
#include <windows.h>
#endif

namespace {

// Plain allocation: zeroed on the way in and when grown.
char* PortableResize(char* data, size_t lngOldBytes, size_t lngBytes) {
    if (!data)
        return static_cast<char*>(std::calloc(lngBytes, 1));
    auto* grown = static_cast<char*>(std::realloc(data, lngBytes));
    if (grown && lngBytes > lngOldBytes)
        std::memset(grown + lngOldBytes, 0, lngBytes - lngOldBytes);
    return grown;
}

void PortableFree(char* data, size_t) {
    std::free(data);
}

#if defined(__linux__)
// Anonymous mappings come zeroed, and grow by remapping instead of copying.
// Only whole pages go when a block is cut: the last page kept still holds what
// lay beyond the cut, and is zeroed there when the block grows again.
char* SystemResize(char* data, size_t lngOldBytes, size_t lngBytes) {
    void* p =
        data ? mremap(data, lngOldBytes, lngBytes, MREMAP_MAYMOVE)
             : mmap(nullptr, lngBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return nullptr;
    if (data && lngBytes > lngOldBytes) {
        const size_t lngPage = size_t(sysconf(_SC_PAGESIZE));
        const size_t lngPageEnd = (lngOldBytes + lngPage - 1) / lngPage * lngPage;
        std::memset(static_cast<char*>(p) + lngOldBytes, 0,
                    (lngBytes < lngPageEnd ? lngBytes : lngPageEnd) - lngOldBytes);
    }
    madvise(p, lngBytes, MADV_HUGEPAGE);
    return static_cast<char*>(p);
}
void SystemFree(char* data, size_t lngBytes) {
    munmap(data, lngBytes);
}
#elif defined(_WIN32)
// Committed pages come zeroed; growing takes a new range and copies.
char* SystemResize(char* data, size_t lngOldBytes, size_t lngBytes) {
    auto* p = static_cast<char*>(
        VirtualAlloc(nullptr, lngBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (p && data) {
        std::memcpy(p, data, lngOldBytes < lngBytes ? lngOldBytes : lngBytes);
        VirtualFree(data, 0, MEM_RELEASE);
    }
    return p;
}
void SystemFree(char* data, size_t) {
    VirtualFree(data, 0, MEM_RELEASE);
}
#else
char* SystemResize(char* data, size_t lngOldBytes, size_t lngBytes) {
    return PortableResize(data, lngOldBytes, lngBytes);
}
void SystemFree(char* data, size_t lngBytes) {
    PortableFree(data, lngBytes);
}
#endif

} // namespace

cPageBlock::~cPageBlock() {
    if (m_data)
        (m_way == eWay::System ? SystemFree : PortableFree)(m_data, m_lngCapacity);
}

bool cPageBlock::Resize(size_t lngBytes) {
    if (lngBytes == 0)
        lngBytes = 1;
    char* p =
        (m_way == eWay::System ? SystemResize : PortableResize)(m_data, m_lngCapacity, lngBytes);
    if (!p)
        return false;
    m_data = p;
    m_lngCapacity = lngBytes;
    return true;
}
