#include "lookup/cKeyIndex.h"

#include <limits>

namespace {

// Where the slots of keys with 3 to 6 fields start.
constexpr qsizetype SlotBase[7] = {0, 0, 0, 0, 3000, 33000, 333000};

// Fields for a kind letter in either case, 0 for any other character.
int FieldsForLetter(char16_t c) {
    switch (c | 0x20) {
    case u'a':
        return 3;
    case u'f':
        return 4;
    case u'g':
        return 5;
    case u'h':
        return 6;
    default:
        return 0;
    }
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

qsizetype cKeyIndex::Slot(QStringView key) {
    const qsizetype n = key.size();
    if (n < 9 || n > 15 || n % 2 == 0)
        return -1;
    const int fields = int(n - 3) / 2;
    if (FieldsForLetter(key[n - 1].unicode()) != fields)
        return -1;
    const char16_t* k = key.utf16();
    if (k[0] != u'0' || k[1] < u'0' || k[1] > u'2')
        return -1;
    qsizetype digits = k[1] - u'0';
    for (int f = 1; f <= fields; ++f) {
        const char16_t hi = k[2 * f], lo = k[2 * f + 1];
        if (!IsDigit(hi) || !IsDigit(lo))
            return -1;
        const int digit = (hi - u'0') * 10 + (lo - u'0') - f;
        if (digit < 0 || digit > 9)
            return -1;
        digits = digits * 10 + digit;
    }
    return SlotBase[fields] + digits;
}

std::shared_ptr<const cKeyIndex> cKeyIndex::Build(QStringView text) {
    if (text.size() >= qsizetype(std::numeric_limits<quint32>::max()))
        return nullptr;
    auto index = std::make_shared<cKeyIndex>();
    index->m_first.reset(static_cast<quint32*>(std::calloc(size_t(SlotCount), sizeof(quint32))));
    if (!index->m_first)
        return nullptr;
    const char16_t* t = text.utf16();
    // Every occurrence of a key ends in its kind letter; for one kind the start
    // moves on with the letter, so the first one stored is the first in the text.
    for (qsizetype q = 8; q < text.size(); ++q) {
        const int fields = FieldsForLetter(t[q]);
        if (fields == 0)
            continue;
        const qsizetype start = q - (2 * fields + 2);
        if (start < 0)
            continue;
        const qsizetype slot = Slot(text.mid(start, 2 * fields + 3));
        if (slot >= 0 && index->m_first[slot] == 0)
            index->m_first[slot] = quint32(start + 1);
    }
    return index;
}

qsizetype cKeyIndex::Find(QStringView key) const {
    const qsizetype slot = Slot(key);
    if (slot < 0)
        return -2;
    return qsizetype(m_first[slot]) - 1;
}
