#include "lookup/cNumberDB.h"

#include "lookup/cKeyIndex.h"

#include <QFile>
#include <QStringDecoder>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

bool IsAsciiDigits(QStringView s, qsizetype n) {
    if (s.size() != n)
        return false;
    for (QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

char16_t AsciiUpper(char16_t c) {
    return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
}

bool IsAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

} // namespace

void cNumberDB::SetText(const QString& strText) {
    m_strText = strText;
    m_index.reset();
}

cNumberDB::eLoadResult cNumberDB::LoadDB(const QString& strFilePath) {
    m_strText = QString();
    m_strError.clear();
    m_index.reset();

    QFile file(strFilePath);
    if (!file.exists()) {
        m_strError = QStringLiteral("file not found");
        return eLoadResult::Missing;
    }
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        m_strError = file.errorString();
        return eLoadResult::Unreadable;
    }
    const qint64 size = file.size();
    if (size > MaxFileBytes) {
        m_strError = QStringLiteral("file is larger than %1 bytes").arg(MaxFileBytes);
        return eLoadResult::TooLarge;
    }

    // The decoder keeps a character cut at a piece's end for the next piece,
    // so the pieces decode to exactly the text of the whole file at once.
    // Code page 932 never gives more characters than bytes; the room reserved
    // up front keeps the text from being copied as it grows.
    QStringDecoder decoder("windows-31j");
    // A file whose size is not known beforehand (size 0) simply grows the text.
    const qsizetype chunk = m_intChunkBytes;
    QString text;
    text.reserve(qsizetype(size) + decoder.requiredSpace(qMin<qint64>(chunk, size)));
    QByteArray buffer(chunk, Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        const qint64 got = file.read(buffer.data(), chunk);
        if (got < 0) {
            m_strError = file.errorString();
            return eLoadResult::Unreadable;
        }
        if (got == 0)
            break;
        text.resize(used + decoder.requiredSpace(got));
        QChar* const end =
            decoder.appendToBuffer(text.data() + used, QByteArrayView(buffer.constData(), got));
        used = end - text.constData();
    }
    text.resize(used);
    // Text far shorter than the file (much two-byte text) would waste the room.
    if (text.capacity() - used > used / 4 + (1 << 20))
        text.squeeze();
    m_strText = std::move(text);
    return eLoadResult::Loaded;
}

QString cNumberDB::DBDate() const {
    return m_strText.right(16).mid(0, 8);
}

QString cNumberDB::DBVersion() const {
    return m_strText.right(16).mid(10, 4);
}

bool cNumberDB::HasValidTail() const {
    return m_strText.size() >= 16 && IsAsciiDigits(DBDate(), 8) && IsAsciiDigits(DBVersion(), 4);
}

namespace {

// Up to four characters at the key's end are compared before the whole key:
// record keys share their first characters ("00", "01", "02"), and differ most
// in their last fields and kind letter.
struct tProbes {
    int count = 0;
    qsizetype offset[4] = {};
    char16_t value[4] = {}; // the key's character; lower case for an ASCII letter
    char16_t fold[4] = {};  // 0x20 where the character is an ASCII letter
};

tProbes ProbesFor(QStringView key) {
    tProbes pr;
    pr.count = int(qMin<qsizetype>(key.size(), 4));
    for (int j = 0; j < pr.count; ++j) {
        pr.offset[j] = key.size() - pr.count + j;
        const char16_t c = key[pr.offset[j]].unicode();
        pr.fold[j] = IsAsciiLetter(c) ? 0x20 : 0;
        pr.value[j] = char16_t(c | pr.fold[j]);
    }
    return pr;
}

// What every position passes that matches: "x | 0x20 == 'a'" holds for 'A'
// and 'a' alone, and a non-letter must be equal.
bool PassesProbes(const char16_t* at, const tProbes& pr) {
    for (int j = 0; j < pr.count; ++j)
        if (char16_t(at[pr.offset[j]] | pr.fold[j]) != pr.value[j])
            return false;
    return true;
}

bool MatchesAt(const char16_t* at, QStringView key) {
    for (qsizetype i = 0; i < key.size(); ++i)
        if (AsciiUpper(at[i]) != AsciiUpper(key[i].unicode()))
            return false;
    return true;
}

// Positions [from, last] one by one.
qsizetype ScanPlain(const char16_t* t, qsizetype from, qsizetype last, QStringView key,
                    const tProbes& pr) {
    for (qsizetype p = from; p <= last; ++p)
        if (PassesProbes(t + p, pr) && MatchesAt(t + p, key))
            return p;
    return -1;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define LUMIVO_SIMD_SEARCH 1

// 16 positions at a time: compare the probe characters at all of them at once,
// then confirm the few candidates left in text order, so the first one wins.
__attribute__((target("avx2"))) qsizetype
ScanAvx2(const char16_t* t, qsizetype last, QStringView key, const tProbes& pr, qsizetype* next) {
    __m256i value[4], fold[4];
    for (int j = 0; j < pr.count; ++j) {
        value[j] = _mm256_set1_epi16(short(pr.value[j]));
        fold[j] = _mm256_set1_epi16(short(pr.fold[j]));
    }
    qsizetype p = 0;
    for (; p + 15 <= last; p += 16) {
        __m256i all = _mm256_set1_epi16(-1);
        for (int j = 0; j < pr.count; ++j) {
            const __m256i at =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + p + pr.offset[j]));
            all = _mm256_and_si256(all, _mm256_cmpeq_epi16(_mm256_or_si256(at, fold[j]), value[j]));
        }
        quint32 bits = quint32(_mm256_movemask_epi8(all));
        while (bits) {
            const int lane = __builtin_ctz(bits) / 2;
            if (MatchesAt(t + p + lane, key))
                return p + lane;
            bits &= ~(3u << (2 * lane));
        }
    }
    *next = p;
    return -1;
}

qsizetype ScanSse2(const char16_t* t, qsizetype last, QStringView key, const tProbes& pr,
                   qsizetype* next) {
    __m128i value[4], fold[4];
    for (int j = 0; j < pr.count; ++j) {
        value[j] = _mm_set1_epi16(short(pr.value[j]));
        fold[j] = _mm_set1_epi16(short(pr.fold[j]));
    }
    qsizetype p = 0;
    for (; p + 7 <= last; p += 8) {
        __m128i all = _mm_set1_epi16(-1);
        for (int j = 0; j < pr.count; ++j) {
            const __m128i at =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + p + pr.offset[j]));
            all = _mm_and_si128(all, _mm_cmpeq_epi16(_mm_or_si128(at, fold[j]), value[j]));
        }
        quint32 bits = quint32(_mm_movemask_epi8(all));
        while (bits) {
            const int lane = __builtin_ctz(bits) / 2;
            if (MatchesAt(t + p + lane, key))
                return p + lane;
            bits &= ~(3u << (2 * lane));
        }
    }
    *next = p;
    return -1;
}
#endif

qsizetype FindKeyUsing(QStringView text, QStringView key, bool blnWide) {
    if (key.isEmpty() || key.size() > text.size())
        return key.isEmpty() ? 0 : -1;
    const char16_t* const t = text.utf16();
    // The last position a key can start at; every probe read stays inside the text.
    const qsizetype last = text.size() - key.size();
    const tProbes pr = ProbesFor(key);
    qsizetype from = 0;
#ifdef LUMIVO_SIMD_SEARCH
    const qsizetype found =
        blnWide ? ScanAvx2(t, last, key, pr, &from) : ScanSse2(t, last, key, pr, &from);
    if (found >= 0)
        return found;
#else
    Q_UNUSED(blnWide);
#endif
    return ScanPlain(t, from, last, key, pr);
}

} // namespace

qsizetype cNumberDB::FindKey(QStringView text, QStringView key) {
#ifdef LUMIVO_SIMD_SEARCH
    static const bool hasAvx2 = __builtin_cpu_supports("avx2");
    return FindKeyUsing(text, key, hasAvx2);
#else
    return FindKeyUsing(text, key, false);
#endif
}

qsizetype cNumberDB::FindKeyNarrow(QStringView text, QStringView key) {
    return FindKeyUsing(text, key, false);
}

QString cNumberDB::FindCode(QStringView key) const {
    if (key.isEmpty())
        return QStringLiteral("0");
    qsizetype found = -2;
    if (m_index)
        found = m_index->Find(key);
    if (found == -2)
        found = FindKey(m_strText, key);
    if (found < 0)
        return QStringLiteral("0");
    return QStringView(m_strText).mid(found + key.size(), 4).toString();
}

void cNumberDB::BuildIndex() {
    m_index = cKeyIndex::Build(m_strText);
}
