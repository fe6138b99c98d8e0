// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QString>
#include <QStringView>

// The record key, written and read in one place. A key is the prefix code ("00"
// for 090, "01" for 080, "02" for 070, "03" for 060: codes are only ever added,
// so no key of an older prefix changes), one two-digit field per digit of the
// number from its 4th on (the digit plus its place k = 1, 2, ...: "01" to
// "15"), then the kind letter for the number of fields: A 3, F 4, G 5, H 6.
// Lookups match the letter in either case.
//
// The writers take characters of any type (char for the in-place keys, QChar
// for text), so the search, the key index and the producer share one spelling.
namespace modRecordKey {

constexpr int MinFields = 3, MaxFields = 6;
// Prefix codes 0 to PrefixCodes - 1 exist.
constexpr int PrefixCodes = 4;

// The key's length for a number of fields; the carrier code starts right after it.
constexpr qsizetype KeyLength(int intFields) {
    return 2 * intFields + 3;
}
constexpr qsizetype MaxKeyLength = KeyLength(MaxFields);

// Fields for the number's leading characters: all but the 3 of the prefix.
constexpr int FieldsForLead(qsizetype lngLeadLength) {
    return int(lngLeadLength) - 3;
}

// The kind letter for 3 to 6 fields, in capitals as the producer writes it.
constexpr char KindLetter(int intFields) {
    return "AFGH"[intFields - MinFields];
}

// The fields a kind letter stands for, the letter in either case; 0 for any
// other character.
constexpr int FieldsForLetter(char16_t c) {
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

// The prefix code of a number (0 for 090, 1 for 080, 2 for 070, 3 for 060), or
// -1 for any other beginning. Written as "0" and this digit.
constexpr int PrefixCode(QStringView strNumber) {
    if (strNumber.size() < 3 || strNumber[0] != u'0' || strNumber[2] != u'0')
        return -1;
    switch (strNumber[1].unicode()) {
    case u'9':
        return 0;
    case u'8':
        return 1;
    case u'7':
        return 2;
    case u'6':
        return 3;
    default:
        return -1;
    }
}

// A key character as a code: a char is taken as a byte, never as negative.
constexpr char16_t CodeOf(char c) {
    return char16_t(static_cast<unsigned char>(c));
}
constexpr char16_t CodeOf(unsigned char c) {
    return c;
}
constexpr char16_t CodeOf(QChar c) {
    return c.unicode();
}

template <typename tChar> constexpr void WritePrefix(tChar* key, int intPrefixCode) {
    key[0] = tChar('0');
    key[1] = tChar('0' + intPrefixCode);
}

// Field intField (from 1) for the digit (0-9) at the number's position intField + 3.
template <typename tChar> constexpr void WriteField(tChar* key, int intField, int intDigit) {
    const int value = intDigit + intField;
    key[2 * intField] = tChar('0' + value / 10);
    key[2 * intField + 1] = tChar('0' + value % 10);
}

// The kind letter after the fields; returns the key's length.
template <typename tChar> constexpr qsizetype WriteLetter(tChar* key, int intFields) {
    const qsizetype n = KeyLength(intFields);
    key[n - 1] = tChar(KindLetter(intFields));
    return n;
}

// The key for a number's first 6 to 9 characters. A beginning other than 090,
// 080, 070 and 060 (refused by the input check before any search) gets no prefix
// code; a lead of another length has no key: the empty text, which no lookup finds.
inline QString KeyText(QStringView strLead) {
    const int fields = FieldsForLead(strLead.size());
    if (fields < MinFields || fields > MaxFields)
        return QString();
    QChar key[MaxKeyLength];
    const int code = PrefixCode(strLead);
    WritePrefix(key, code);
    for (int k = 1; k <= fields; ++k)
        WriteField(key, k, strLead[2 + k].digitValue());
    const qsizetype n = WriteLetter(key, fields);
    return code < 0 ? QString(key + 2, n - 2) : QString(key, n);
}

// What the n characters at key stand for, as one decimal number: the prefix
// code, then the number's digits from the 4th on (a key of f fields gives a
// number below PrefixCodes * 10^f); -1 when they are no key: a wrong length or prefix
// code, a field that is no digit plus its place, or a letter for another count.
template <typename tChar> constexpr qint32 ReadKey(const tChar* key, qsizetype lngCount) {
    if (lngCount < KeyLength(MinFields) || lngCount > MaxKeyLength || lngCount % 2 == 0)
        return -1;
    const int fields = int(lngCount - 3) / 2;
    auto at = [&](qsizetype lngIndex) { return CodeOf(key[lngIndex]); };
    if (FieldsForLetter(at(lngCount - 1)) != fields || at(0) != u'0' || at(1) < u'0' ||
        at(1) >= u'0' + PrefixCodes)
        return -1;
    qint32 value = at(1) - u'0';
    for (int k = 1; k <= fields; ++k) {
        const char16_t hi = at(2 * k), lo = at(2 * k + 1);
        if (hi < u'0' || hi > u'9' || lo < u'0' || lo > u'9')
            return -1;
        const int digit = (hi - u'0') * 10 + (lo - u'0') - k;
        if (digit < 0 || digit > 9)
            return -1;
        value = value * 10 + digit;
    }
    return value;
}

// ReadKey's number for a number's first 6 to 9 characters (prefix 090, 080, 070
// or 060, then ASCII digits), without writing the key.
constexpr qint32 LeadValue(QStringView strLead) {
    qint32 value = PrefixCode(strLead);
    for (qsizetype i = 3; i < strLead.size(); ++i)
        value = value * 10 + (strLead[i].unicode() - u'0');
    return value;
}

// The length of the key that starts at key, with lngCount characters available; 0
// when none does. At most one length fits: a kind letter is no field.
template <typename tChar> constexpr qsizetype KeyLengthAt(const tChar* key, qsizetype lngCount) {
    for (int fields = MinFields; fields <= MaxFields && KeyLength(fields) <= lngCount; ++fields)
        if (ReadKey(key, KeyLength(fields)) >= 0)
            return KeyLength(fields);
    return 0;
}

} // namespace modRecordKey
