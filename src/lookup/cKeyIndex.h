#pragma once

#include <QStringView>

#include <cstdlib>
#include <memory>

// Where each record key first occurs in a database text, for looking up many
// numbers in one run. Every key the search command can ask for (prefix code
// 00-02, field k holding a digit plus k, kind letter A, F, G or H for 3 to 6
// fields) has a slot of its own: 3,333,000 slots, 4 bytes each.
//
// It gives exactly the answer of the substring search, for any text: a key is
// ASCII digits and one letter, so it matches at p exactly when the digits are
// equal and the letter is the same in either case; the build looks at every
// kind letter in the text, whatever surrounds it, and keeps the first position.
class cKeyIndex {
public:
    // Nothing for a text too long for 32-bit positions, or without the memory.
    static std::shared_ptr<const cKeyIndex> Build(QStringView text);

    // The first position of the key in the text, -1 when it does not occur,
    // -2 when the key has no slot (then the text must be searched).
    qsizetype Find(QStringView key) const;

    // The slot of a key-shaped text (its letter in either case), or -1.
    static qsizetype Slot(QStringView key);
    static constexpr qsizetype SlotCount = 3000 + 30000 + 300000 + 3000000;

private:
    struct tFree {
        void operator()(quint32* p) const { std::free(p); }
    };
    // Position + 1; 0 where the key does not occur. Taken zeroed from calloc,
    // so the pages of slots no key touches are never filled in.
    std::unique_ptr<quint32[], tFree> m_first;
};
