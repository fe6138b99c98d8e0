#pragma once

#include <QByteArrayView>

#include <cstdlib>
#include <memory>
#include <vector>

// Where each record key first occurs in the database bytes, for looking up many
// numbers in one run. Every key the search command can ask for (prefix code
// 00-02, field k holding a digit plus k, kind letter A, F, G or H for 3 to 6
// fields) has a slot number of its own: 3,333,000 slots.
//
// It gives exactly the answer of the byte search, for any bytes: a key is ASCII
// digits and one letter, starting with "0" (never the second byte of a
// character), so it matches at p exactly when the digits are equal and the
// letter is the same in either case; the build looks at every kind letter,
// whatever surrounds it, and keeps the first position.
//
// A large database gets one 4-byte entry per slot (13 MB, direct); a small one
// a hash table of the keys it holds, which stays in the processor's cache.
class cKeyIndex {
public:
    // Nothing for bytes too long for 32-bit positions, or without the memory.
    static std::shared_ptr<const cKeyIndex> Build(QByteArrayView bytes);

    // The first position of the key, -1 when it does not occur, -2 when the
    // key has no slot (then the bytes must be searched).
    qsizetype Find(QByteArrayView key) const;

    // The slot of a key-shaped text (its letter in either case), or -1.
    static qsizetype Slot(QByteArrayView key);
    static constexpr qsizetype SlotCount = 3000 + 30000 + 300000 + 3000000;

private:
    qsizetype FindSlot(qsizetype slot) const;
    void Store(qsizetype slot, qsizetype pos);

    struct tFree {
        void operator()(quint32* p) const { std::free(p); }
    };
    // Direct: position + 1 per slot, 0 where the key does not occur; taken
    // zeroed from calloc, so pages no key touches are never filled in.
    std::unique_ptr<quint32[], tFree> m_first;
    // Hashed: (slot + 1) << 32 | position, 0 for an empty entry; linear probing.
    std::vector<quint64> m_table;
    quint64 m_mask = 0;
};
