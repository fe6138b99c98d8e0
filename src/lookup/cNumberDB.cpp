// SPDX-License-Identifier: Apache-2.0
#include "cNumberDB.h"

#include "cKeyIndex.h"
#include "cPageBlock.h"
#include "modBytes.h"
#include "modFileIO.h"
#include "modInputCheck.h"
#include "modText.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Code page 932 as modText splits it: a lead byte takes the next byte with it
// unless that is 0x00; every other byte is one character. A byte from 0x20 to
// 0x7E is that ASCII character, and no other character is an ASCII letter or
// digit.
using modText::IsLeadByte;

bool IsAsciiLetter(uchar b) {
    return (b | 0x20) >= 'a' && (b | 0x20) <= 'z';
}
bool IsShownAsIs(uchar b) {
    return b >= 0x20 && b <= 0x7E;
}

// Lead bytes directly before position p. A character always ends at a byte that
// is no lead byte (alone or as a trail), so the run starts on a boundary and
// pairs off from there.
qsizetype LeadsBefore(const uchar* b, qsizetype lngPos) {
    qsizetype m = 0;
    while (m < lngPos && IsLeadByte(b[lngPos - 1 - m]))
        ++m;
    return m;
}

bool IsCharStart(const uchar* b, qsizetype lngPos) {
    return modText::StartsCharacter(QByteArrayView(b, lngPos + 1), lngPos);
}

QString Decode(QByteArrayView bytData) {
    return modText::DecodeCp932(bytData);
}

// The search over decoded text, for the rare key with characters the bytes do
// not show as they are (a control character, or one of two bytes).
qsizetype FindInText(QStringView strText, QStringView strKey) {
    auto upper = [](char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; };
    for (qsizetype p = 0; p + strKey.size() <= strText.size(); ++p) {
        qsizetype i = 0;
        while (i < strKey.size() && upper(strText[p + i].unicode()) == upper(strKey[i].unicode()))
            ++i;
        if (i == strKey.size())
            return p;
    }
    return -1;
}

} // namespace

void cNumberDB::Adopt(QByteArray bytData, std::shared_ptr<cPageBlock> storage) {
    // The bytes may point into the old storage: they go first.
    m_bytDB = std::move(bytData);
    m_storage = std::move(storage);
    m_index.reset();
    m_blnLoaded = true;
    // 16 characters take at most 32 bytes; start on a boundary a little before.
    const auto* b = reinterpret_cast<const uchar*>(m_bytDB.constData());
    qsizetype from = qMax<qsizetype>(0, m_bytDB.size() - 40);
    if (from > 0 && !IsCharStart(b, from))
        ++from;
    m_strTail = Decode(QByteArrayView(m_bytDB).sliced(from)).right(16);
    m_carriers.Read(m_bytDB);
}

void cNumberDB::SetBytes(const QByteArray& bytData) {
    Adopt(bytData);
}

void cNumberDB::SetText(const QString& strText) {
    Adopt(modText::EncodeCp932(strText));
}

bool cNumberDB::LoadDB(const QString& strFilePath) {
    Adopt(QByteArray());
    m_blnLoaded = false;
    auto storage = std::make_shared<cPageBlock>();
    qint64 lngRead = 0;
    m_error = modFileIO::ReadRegularFile(
        strFilePath, MaxFileBytes,
        [&storage](qint64 lngBytes) {
            return storage->Resize(size_t(lngBytes)) ? storage->Data() : nullptr;
        },
        &lngRead);
    if (m_error.Failed())
        return false;
    QByteArray bytes = QByteArray::fromRawData(storage->Data(), qsizetype(lngRead));
    Adopt(std::move(bytes), std::move(storage));
    return true;
}

bool cNumberDB::HasValidTail() const {
    auto digits = [](const QString& strText, qsizetype lngCount) {
        return strText.size() == lngCount && modInputCheck::IsAllDigits(strText);
    };
    // A lead byte left over at the end is no character: the file was cut.
    const auto* b = reinterpret_cast<const uchar*>(m_bytDB.constData());
    const bool cut = LeadsBefore(b, m_bytDB.size()) % 2 == 1;
    return !cut && m_strTail.size() == 16 && digits(DBDate(), 8) && digits(DBVersion(), 4);
}

namespace {

// The key's bytes at t: letters in either case, every other byte exactly.
bool MatchesAt(const uchar* t, const uchar* k, qsizetype lngCount) {
    for (qsizetype i = 0; i < lngCount; ++i)
        if (IsAsciiLetter(k[i]) ? (t[i] | 0x20) != (k[i] | 0x20) : t[i] != k[i])
            return false;
    return true;
}

// A record key ends in its kind letter, the rarest of its bytes in a database:
// candidates are found by that byte, 16 positions at a time, in order.
qsizetype FindByLastLetter(const uchar* t, qsizetype lngSize, const uchar* k, qsizetype lngCount,
                           bool blnCheckStart) {
    const uchar letter = k[lngCount - 1] | 0x20;
    auto confirm = [&](qsizetype lngPos) {
        const qsizetype p = lngPos - (lngCount - 1);
        return MatchesAt(t + p, k, lngCount - 1) && (!blnCheckStart || IsCharStart(t, p));
    };
    qsizetype q = lngCount - 1; // where the key's last byte would be
#if defined(__SSE2__)
    const __m128i fold = _mm_set1_epi8(0x20), want = _mm_set1_epi8(char(letter));
    for (; q + 16 <= lngSize; q += 16) {
        const __m128i at = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + q));
        unsigned bits = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(at, fold), want)));
        for (; bits != 0; bits &= bits - 1)
            if (confirm(q + __builtin_ctz(bits)))
                return q + __builtin_ctz(bits) - (lngCount - 1);
    }
#endif
    for (; q < lngSize; ++q)
        if ((t[q] | 0x20) == letter && confirm(q))
            return q - (lngCount - 1);
    return -1;
}

} // namespace

qsizetype cNumberDB::FindKey(QByteArrayView bytData, QByteArrayView bytKey) {
    const qsizetype n = bytKey.size(), size = bytData.size();
    if (n == 0)
        return 0;
    if (n > size)
        return -1;
    const auto* t = reinterpret_cast<const uchar*>(bytData.data());
    const auto* k = reinterpret_cast<const uchar*>(bytKey.data());
    // Any byte but 0x00 can be the second byte of a character (after a lone lead
    // byte), so every match is checked for a boundary; 0x00 never is one.
    const bool checkStart = k[0] != 0;
    if (IsAsciiLetter(k[n - 1]))
        return FindByLastLetter(t, size, k, n, checkStart);
    // Other keys: the leading part without letters is found exactly by the byte search.
    qsizetype exact = 0;
    while (exact < n && !IsAsciiLetter(k[exact]))
        ++exact;
    for (qsizetype from = 0;;) {
        qsizetype p = from;
        if (exact > 0) {
            const qsizetype hit =
                from < size ? modBytes::Find(bytData.sliced(from), bytKey.first(exact)) : -1;
            if (hit < 0)
                return -1;
            p = from + hit;
        }
        if (p + n > size)
            return -1;
        if (MatchesAt(t + p + exact, k + exact, n - exact) && (!checkStart || IsCharStart(t, p)))
            return p;
        from = p + 1;
    }
}

tCarrierCode cNumberDB::CodeAt(qsizetype lngFrom) const {
    tCarrierCode code;
    code.len = 0;
    const qsizetype end = qMin<qsizetype>(m_bytDB.size(), lngFrom + 4);
    const auto* b = reinterpret_cast<const uchar*>(m_bytDB.constData());
    bool asIs = true;
    for (qsizetype i = lngFrom; i < end; ++i)
        asIs = asIs && IsShownAsIs(b[i]);
    if (asIs) {
        for (qsizetype i = lngFrom; i < end; ++i)
            code.ch[code.len++] = b[i];
        return code;
    }
    // Anything else goes through the decoder; four characters take at most 8 bytes.
    const QString text = Decode(
        QByteArrayView(m_bytDB).sliced(lngFrom, qMin<qsizetype>(8, m_bytDB.size() - lngFrom)));
    for (qsizetype i = 0; i < qMin<qsizetype>(4, text.size()); ++i)
        code.ch[code.len++] = text[i].unicode();
    return code;
}

tCarrierCode cNumberDB::LookupKey(QByteArrayView bytKey) const {
    qsizetype found = cKeyIndex::NoSlot;
    tCarrierCode code;
    if (m_index)
        found = m_index->Find(bytKey, &code);
    if (found == cKeyIndex::CodeGiven)
        return code;
    if (found == cKeyIndex::NoSlot)
        found = FindKey(m_bytDB, bytKey);
    if (found < 0)
        return tCarrierCode();
    return CodeAt(found + bytKey.size());
}

QString cNumberDB::FindCode(QStringView strKey) const {
    if (strKey.isEmpty())
        return QStringLiteral("0");
    bool bytesShowKey = true;
    for (QChar c : strKey)
        bytesShowKey = bytesShowKey && c.unicode() < 0x80 && IsShownAsIs(uchar(c.unicode()));
    if (bytesShowKey)
        return LookupKey(strKey.toLatin1()).toString();
    const QString text = Decode(m_bytDB);
    const qsizetype found = FindInText(text, strKey);
    return found < 0 ? QStringLiteral("0") : text.mid(found + strKey.size(), 4);
}

void cNumberDB::Prefetch(QStringView strNumber) const {
    if (m_index)
        m_index->Prefetch(strNumber);
}

void cNumberDB::BuildIndex() {
    m_index = cKeyIndex::Build(m_bytDB);
}
