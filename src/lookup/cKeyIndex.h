// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "tCarrierCode.h"

#include <QByteArrayView>
#include <QStringView>

#include <memory>
#include <vector>

class cPageBlock;

// Where each record key first occurs in the database bytes, for looking up many
// numbers in one run. Every key the search command can ask for (prefix code
// 00-03, field k holding a digit plus k, kind letter A, F, G or H for 3 to 6
// fields) has a slot number of its own: 4,444,000 slots.
//
// It gives exactly the answer of the byte search, for any bytes: a key is ASCII
// digits and one letter, starting with "0" (never the second byte of a
// character), so it matches at p exactly when the digits are equal and the
// letter is the same in either case; the build looks at every kind letter,
// whatever surrounds it, and keeps the first position.
//
// A large database gets one 4-byte entry per slot (18 MB, direct); a small one
// a hash table of the keys it holds, which stays in the processor's cache.
class cKeyIndex {
public:
    // Nothing for bytes too long for 32-bit positions, or without the memory.
    static std::shared_ptr<const cKeyIndex> Build(QByteArrayView bytData);

    // The first position of the key, -1 when it does not occur, NoSlot when the
    // key has no slot (then the bytes must be searched), or CodeGiven with the
    // code written to *pCode when the index holds the code itself: the usual
    // "C" or "P" and three digits, kept in the entry so that a batch does not
    // read the database at a random place.
    static constexpr qsizetype NoSlot = -2, CodeGiven = -3;
    qsizetype Find(QByteArrayView bytKey, tCarrierCode* pCode) const;

    // Asks the processor for the entries of the number's keys (kinds A to H)
    // ahead of the lookups, so that their cache misses overlap.
    void Prefetch(QStringView strNumber) const;

    // The slot of a key-shaped text (its letter in either case), or -1.
    static qsizetype Slot(QByteArrayView bytKey);
    static constexpr qsizetype SlotCount = 4000 + 40000 + 400000 + 4000000;

private:
    quint32 Entry(qsizetype lngSlot) const;
    void Store(qsizetype lngSlot, quint32 entry);

    // An entry is 0 where the key does not occur, else the position + 1 (below
    // 2^31), or 2^31 + 1024 for "P" + the three digits of the code.
    // Direct: one entry per slot, in a zeroed page block (on Linux, pages no key
    // touches are never filled in), in large pages where the system has them,
    // as random lookups would otherwise miss the address cache every time.
    std::unique_ptr<cPageBlock> m_block;
    quint32* m_first = nullptr;
    // Hashed: (slot + 1) << 32 | entry, 0 for an empty place; linear probing.
    std::vector<quint64> m_table;
    quint64 m_mask = 0;
};
