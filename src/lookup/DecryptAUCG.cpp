// SPDX-License-Identifier: Apache-2.0
#include "DecryptAUCG.h"

#include "modText.h"

#include <QRandomGenerator>

namespace DecryptAUCG {

namespace {

struct tPair {
    char16_t first;
    char16_t second;
    char16_t digit;
};

// Our own table: 3 has three pairs; 0, 5, 7 and 8 have two; 1, 2, 4, 6 and 9 have one.
constexpr tPair PairTable[16] = {
    {u'A', u'A', u'7'}, {u'A', u'U', u'3'}, {u'A', u'C', u'0'}, {u'A', u'G', u'9'},
    {u'U', u'A', u'5'}, {u'U', u'U', u'1'}, {u'U', u'C', u'8'}, {u'U', u'G', u'3'},
    {u'C', u'A', u'6'}, {u'C', u'U', u'0'}, {u'C', u'C', u'4'}, {u'C', u'G', u'2'},
    {u'G', u'A', u'7'}, {u'G', u'U', u'3'}, {u'G', u'C', u'8'}, {u'G', u'G', u'5'},
};

char16_t Upper(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') ? char16_t(u - 32) : u;
}

// A character code as a one-byte character of code page 932: ASCII, the
// half-width katakana and the few other single bytes. A lead byte alone is no
// character, nor is any code beyond one byte.
std::optional<QChar> CharForCode(int intCode) {
    if (intCode < 0 || intCode > 255 || modText::IsLeadByte(uchar(intCode)))
        return std::nullopt;
    const char byte = static_cast<char>(intCode);
    return modText::DecodeCp932(QByteArrayView(&byte, 1)).front();
}

std::optional<int> CodeForChar(QChar c) {
    const int code = modText::Cp932Code(c.unicode());
    if (code < 0 || code > 255)
        return std::nullopt;
    return code;
}

} // namespace

std::optional<char16_t> PairDigit(QChar first, QChar second) {
    const char16_t a = Upper(first);
    const char16_t b = Upper(second);
    for (const tPair& p : PairTable)
        if (p.first == a && p.second == b)
            return p.digit;
    return std::nullopt;
}

QList<QString> PairsForDigit(int intDigit) {
    QList<QString> pairs;
    for (const tPair& p : PairTable)
        if (p.digit == char16_t(u'0' + intDigit))
            pairs.append(QString(QChar(p.first)) + QChar(p.second));
    return pairs;
}

int CalcCheckDigit(const QString& strDigits) {
    int sum = 0;
    int weight = 3;
    for (qsizetype i = strDigits.size() - 1; i >= 0; --i) {
        sum += weight * strDigits[i].digitValue();
        weight = (weight == 3) ? 1 : 3;
    }
    return (10 - sum % 10) % 10;
}

QString DecodeText(const QString& strEncoded, bool* pblnDigitError) {
    if (pblnDigitError)
        *pblnDigitError = false;
    QString digits;
    const qsizetype pairs = strEncoded.size() / 2;
    for (qsizetype i = 0; i < pairs; ++i)
        if (const auto d = PairDigit(strEncoded[2 * i], strEncoded[2 * i + 1]))
            digits.append(QChar(*d));

    // Offset, at least nothing else, and the check digit: fewer digits decode to nothing.
    if (digits.size() < 3)
        return QString();

    const int check = digits.back().digitValue();
    digits.chop(1);
    if (CalcCheckDigit(digits) != check) {
        if (pblnDigitError)
            *pblnDigitError = true;
        return QString();
    }

    const int offset = digits.left(2).toInt();
    QString plain;
    for (qsizetype at = 2; at + 3 <= digits.size(); at += 3) {
        const std::optional<QChar> c = CharForCode(digits.mid(at, 3).toInt() - offset);
        if (!c)
            return QString();
        plain.append(*c);
    }
    return plain;
}

std::optional<QString> EncodeText(const QString& strPlain, int intOffset, QRandomGenerator* rng) {
    if (intOffset < 0 || intOffset > 99)
        return std::nullopt;

    QString digits = QStringLiteral("%1").arg(intOffset, 2, 10, QLatin1Char('0'));
    for (QChar c : strPlain) {
        const std::optional<int> code = CodeForChar(c);
        if (!code || *code + intOffset > 999)
            return std::nullopt;
        digits += QStringLiteral("%1").arg(*code + intOffset, 3, 10, QLatin1Char('0'));
    }
    digits += QChar(u'0' + CalcCheckDigit(digits));

    QString encoded;
    for (QChar d : digits) {
        const QList<QString> choices = PairsForDigit(d.digitValue());
        const qsizetype pick = rng ? rng->bounded(int(choices.size())) : 0;
        encoded += choices[pick];
    }
    return encoded;
}

} // namespace DecryptAUCG
