// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>

// A large block of zero-filled memory taken straight from the system, in large
// pages where it has them: the database's bytes and the key index live in one.
// Each system has its own fast way (Linux maps and remaps anonymous memory,
// Windows reserves and commits pages); the portable way, plain allocation,
// works everywhere and is what the others must answer like.
class cPageBlock {
public:
    enum class eWay { System, Portable };

    explicit cPageBlock(eWay way = eWay::System) : m_way(way) {}
    ~cPageBlock();
    cPageBlock(const cPageBlock&) = delete;
    cPageBlock& operator=(const cPageBlock&) = delete;

    // Makes the block lngBytes long (at least 1), keeping what it holds; new
    // bytes are zero. False, with the block as it was, when the system has no
    // such memory.
    bool Resize(size_t lngBytes);
    char* Data() const { return m_data; }
    size_t Capacity() const { return m_lngCapacity; }

private:
    eWay m_way;
    char* m_data = nullptr;
    size_t m_lngCapacity = 0;
};
