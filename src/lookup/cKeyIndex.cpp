// SPDX-License-Identifier: Apache-2.0
#include "cKeyIndex.h"

#include "cPageBlock.h"
#include "modRecordKey.h"
#include "modText.h"

#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Where the slots of keys with 3 to 6 fields start.
constexpr qsizetype SlotBase[7] = {0, 0, 0, 0, 4000, 44000, 444000};
static_assert(SlotBase[6] + modRecordKey::PrefixCodes * 1000000 == cKeyIndex::SlotCount);

using modRecordKey::FieldsForLetter;

// Calls f(q) for every byte q that is a kind letter in either case, in order;
// 16 bytes at a time where the processor allows.
template <typename tFn> void ForEachKindLetter(const uchar* t, qsizetype lngSize, tFn f) {
    qsizetype q = 0;
#if defined(__SSE2__)
    const __m128i fold = _mm_set1_epi8(0x20);
    const __m128i a = _mm_set1_epi8('a'), lf = _mm_set1_epi8('f'), g = _mm_set1_epi8('g'),
                  h = _mm_set1_epi8('h');
    for (; q + 16 <= lngSize; q += 16) {
        const __m128i v =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t + q)), fold);
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, a), _mm_cmpeq_epi8(v, lf)),
                                         _mm_or_si128(_mm_cmpeq_epi8(v, g), _mm_cmpeq_epi8(v, h)));
        for (unsigned bits = unsigned(_mm_movemask_epi8(hit)); bits != 0; bits &= bits - 1)
            f(q + __builtin_ctz(bits));
    }
#endif
    for (; q < lngSize; ++q)
        if (FieldsForLetter(t[q]) != 0)
            f(q);
}

bool IsDigit(uchar c) {
    return c >= '0' && c <= '9';
}

constexpr size_t DirectBytes = size_t(cKeyIndex::SlotCount) * sizeof(quint32);

quint64 HashOf(qsizetype lngSlot) {
    return quint64(lngSlot) * 0x9E3779B97F4A7C15ull >> 20;
}

} // namespace

void cKeyIndex::Prefetch(QStringView strNumber) const {
    for (qsizetype lead = 6; lead <= qMin<qsizetype>(9, strNumber.size()); ++lead) {
        const qsizetype slot = SlotBase[modRecordKey::FieldsForLead(lead)] +
                               modRecordKey::LeadValue(strNumber.left(lead));
        if (m_first)
            __builtin_prefetch(&m_first[slot]);
        else
            __builtin_prefetch(&m_table[HashOf(slot) & m_mask]);
    }
}

qsizetype cKeyIndex::Slot(QByteArrayView bytKey) {
    // A key's number lies below PrefixCodes * 10^fields: the kinds' slots do not overlap.
    const qint32 value = modRecordKey::ReadKey(bytKey.data(), bytKey.size());
    return value < 0 ? -1 : SlotBase[(bytKey.size() - 3) / 2] + value;
}

void cKeyIndex::Store(qsizetype lngSlot, quint32 entry) {
    if (m_first) {
        if (m_first[lngSlot] == 0)
            m_first[lngSlot] = entry;
        return;
    }
    for (quint64 h = HashOf(lngSlot) & m_mask;; h = (h + 1) & m_mask) {
        if (m_table[h] == 0) {
            m_table[h] = quint64(lngSlot + 1) << 32 | entry;
            return;
        }
        if (qsizetype(m_table[h] >> 32) == lngSlot + 1)
            return; // the first occurrence is kept
    }
}

std::shared_ptr<const cKeyIndex> cKeyIndex::Build(QByteArrayView bytData) {
    if (bytData.size() >= qsizetype(0x7FFFFFFF))
        return nullptr;
    const auto* t = reinterpret_cast<const uchar*>(bytData.data());
    // Every occurrence of a key ends in its kind letter: their count bounds the keys.
    qsizetype letters = 0;
    ForEachKindLetter(t, bytData.size(), [&](qsizetype) { ++letters; });
    auto index = std::make_shared<cKeyIndex>();
    try {
        // Half full at most; the hash table wins while it is smaller than the slots.
        quint64 entries = 64;
        while (entries < 2 * quint64(letters))
            entries *= 2;
        if (entries * sizeof(quint64) < quint64(SlotCount) * sizeof(quint32)) {
            index->m_table.assign(entries, 0);
            index->m_mask = entries - 1;
        } else {
            index->m_block = std::make_unique<cPageBlock>();
            if (!index->m_block->Resize(DirectBytes))
                return nullptr;
            index->m_first = reinterpret_cast<quint32*>(index->m_block->Data());
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    // For one kind the start moves on with the letter, so the first one stored
    // is the first in the bytes.
    ForEachKindLetter(t, bytData.size(), [&](qsizetype lngPos) {
        const qsizetype length = modRecordKey::KeyLength(FieldsForLetter(t[lngPos]));
        const qsizetype start = lngPos + 1 - length;
        // A key after a lone lead byte is no key: its first digit is that byte's pair.
        if (start < 0 || !modText::StartsCharacter(bytData, start))
            return;
        const qsizetype slot = Slot(bytData.sliced(start, length));
        if (slot < 0)
            return;
        const uchar* code = t + lngPos + 1;
        const bool usual = lngPos + 4 < bytData.size() && (code[0] == 'C' || code[0] == 'P') &&
                           IsDigit(code[1]) && IsDigit(code[2]) && IsDigit(code[3]);
        index->Store(slot, usual ? 0x80000000u | (code[0] == 'P' ? 1024u : 0u) |
                                       quint32((code[1] - '0') * 100 + (code[2] - '0') * 10 +
                                               (code[3] - '0'))
                                 : quint32(start + 1));
    });
    return index;
}

quint32 cKeyIndex::Entry(qsizetype lngSlot) const {
    if (m_first)
        return m_first[lngSlot];
    for (quint64 h = HashOf(lngSlot) & m_mask;; h = (h + 1) & m_mask) {
        const quint64 e = m_table[h];
        if (e == 0 || qsizetype(e >> 32) == lngSlot + 1)
            return quint32(e);
    }
}

qsizetype cKeyIndex::Find(QByteArrayView bytKey, tCarrierCode* pCode) const {
    const qsizetype slot = Slot(bytKey);
    if (slot < 0)
        return NoSlot;
    const quint32 entry = Entry(slot);
    if (!(entry & 0x80000000u))
        return qsizetype(entry) - 1;
    const quint32 number = entry & 1023;
    *pCode = {{entry & 1024 ? u'P' : u'C', char16_t(u'0' + number / 100),
               char16_t(u'0' + number / 10 % 10), char16_t(u'0' + number % 10)},
              4};
    return CodeGiven;
}
