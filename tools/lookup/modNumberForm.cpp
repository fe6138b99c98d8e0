// SPDX-License-Identifier: Apache-2.0
#include "modNumberForm.h"

namespace modNumberForm {

namespace {

using namespace Qt::Literals::StringLiterals;

// What people put between the digit groups. Hyphen-like marks only: the ones a
// keyboard, an input method (the long vowel mark is what a Japanese one types
// for "-") or a word processor's autocorrection makes of a hyphen. Tildes,
// slashes and underscores join no digits of a phone number and stay refused.
bool IsSeparator(char16_t c) {
    switch (c) {
    case u' ':
    case u'\u3000': // ideographic space
    case u'-':
    case u'\u2010': // hyphen
    case u'\u2011': // non-breaking hyphen
    case u'\u2012': // figure dash
    case u'\u2013': // en dash
    case u'\u2014': // em dash
    case u'\u2015': // horizontal bar
    case u'\u2212': // minus sign
    case u'\uFF0D': // full-width hyphen-minus
    case u'\u30FC': // katakana long vowel mark
    case u'\uFF70': // half-width katakana long vowel mark
    case u'.':
    case u'\uFF0E': // full-width full stop
    case u'(':
    case u')':
    case u'\uFF08': // full-width parentheses
    case u'\uFF09':
        return true;
    default:
        return false;
    }
}

// Full-width digits and plus sign as their ASCII selves.
char16_t Fold(char16_t c) {
    return (c >= u'\uFF10' && c <= u'\uFF19') || c == u'\uFF0B' ? char16_t(c - 0xFEE0) : c;
}

bool IsDigit(char16_t c) {
    c = Fold(c);
    return c >= u'0' && c <= u'9';
}

bool IsCompleteMobileNumber(QStringView strNumber) {
    return strNumber.size() == 11 && modInputCheck::HasMobilePrefix(strNumber) &&
           modInputCheck::IsAllDigits(strNumber);
}

// Whether the text may begin with an international prefix: "+", Japan's own
// "010", or the "00" of the carriers' call-by-call prefixes (as
// DigitsSearchedAsTyped has them).
bool MayBeInternational(QStringView strText) {
    return strText.startsWith(u'+') || strText.startsWith(u"00") || strText.startsWith(u"010");
}

// Japan's country code after an international prefix, and a trunk 0 written
// after it ("+81 (0)90…", "+81-090…"), become the trunk 0 of a number dialled
// at home. False when the text does not begin with one of these.
bool ReadCountryCode(QString& strNumber) {
    for (QStringView country : {QStringView(u"+81"), QStringView(u"0081"), QStringView(u"01081")}) {
        if (!strNumber.startsWith(country))
            continue;
        const qsizetype drop =
            country.size() + QStringView(strNumber).sliced(country.size()).startsWith(u'0');
        strNumber.replace(0, drop, u'0');
        return true;
    }
    return false;
}

// A "tel:" link (RFC 3966), as mail programs and web pages write numbers.
QStringView DropTel(QStringView strTyped) {
    return strTyped.startsWith(u"tel:", Qt::CaseInsensitive) ? strTyped.sliced(4).trimmed()
                                                             : strTyped;
}

// The digits (folded) and other characters of strTyped without its separators.
QString Cleaned(QStringView strTyped) {
    QString cleaned;
    cleaned.reserve(strTyped.size());
    for (QChar c : strTyped)
        if (!IsSeparator(c.unicode()))
            cleaned += QChar(Fold(c.unicode()));
    return cleaned;
}

QLatin1StringView CheckName(modInputCheck::eRefusal refusal) {
    using enum modInputCheck::eRefusal;
    switch (refusal) {
    case None:
        break;
    case NoDatabase:
        return "no-database"_L1;
    case Prefix:
        return "prefix"_L1;
    case TooShort:
        return "too-short"_L1;
    case TooLong:
        return "too-long"_L1;
    case NotDigits:
        return "not-digits"_L1;
    }
    return {};
}

} // namespace

QStringView SearchForm(QStringView strGiven, QString& buffer) {
    const QStringView typed = strGiven.trimmed();
    bool blnAscii = true, blnDigits = true;
    for (QChar c : typed) {
        blnDigits = blnDigits && IsDigit(c.unicode());
        blnAscii = blnAscii && c.unicode() < 0x80;
    }
    if (blnDigits && blnAscii && !MayBeInternational(typed))
        return typed;

    if (blnDigits) {
        // Digits alone are checked as they are, unless they are a whole
        // mobile number dialled from abroad.
        buffer.resize(typed.size());
        for (qsizetype i = 0; i < typed.size(); ++i)
            buffer[i] = QChar(Fold(typed[i].unicode()));
        if (MayBeInternational(buffer)) {
            QString home = buffer;
            if (ReadCountryCode(home) && IsCompleteMobileNumber(home))
                buffer = home;
        }
        return buffer;
    }
    buffer = Cleaned(DropTel(typed));
    ReadCountryCode(buffer);
    return IsCompleteMobileNumber(buffer) ? QStringView(buffer) : typed;
}

QLatin1StringView RefusalKeyword(QStringView strGiven, bool blnStrict,
                                 modInputCheck::eRefusal refusal) {
    using enum modInputCheck::eRefusal;
    const QStringView typed = strGiven.trimmed();
    if (refusal == None || refusal == NoDatabase)
        return CheckName(refusal);
    if (typed.isEmpty())
        return "empty"_L1;
    if (blnStrict)
        return CheckName(refusal);

    bool blnDigits = true;
    for (QChar c : typed)
        blnDigits = blnDigits && IsDigit(c.unicode());
    QString cleaned = Cleaned(DropTel(typed));
    const bool blnAbroad = MayBeInternational(cleaned);
    if (blnAbroad && !ReadCountryCode(cleaned) && !cleaned.startsWith(u"00"))
        return "country"_L1;
    // Marks between the digits that are no separators, or anything else.
    bool blnMarks = false, blnOthers = false;
    for (QChar c : cleaned) {
        const bool blnMark = c.isPunct() || c.isSymbol();
        blnMarks = blnMarks || blnMark;
        blnOthers = blnOthers || (!blnMark && !IsDigit(c.unicode()));
    }
    if (blnOthers || blnMarks)
        return blnOthers ? "not-digits"_L1 : "separator"_L1;
    if (!modInputCheck::HasMobilePrefix(cleaned))
        return "prefix"_L1;
    if (cleaned.size() > 11)
        return "too-long"_L1;
    if (!blnDigits || blnAbroad)
        return "incomplete"_L1;
    return CheckName(refusal);
}

QLatin1StringView RefusalKeywords() {
    return "  empty        nothing but blanks\n"
           "  prefix       does not begin with 090, 080, 070 or 0601 to 0609\n"
           "  country      a country code other than Japan's 81\n"
           "  not-digits   letters or other characters among the digits\n"
           "  separator    digits joined by marks other than spaces, hyphens, dots and\n"
           "               parentheses (\"090/1234/5678\")\n"
           "  too-short    digits alone, fewer than 7\n"
           "  incomplete   written with separators, a country code or tel:, fewer than\n"
           "               11 digits (\"090-1234-567\")\n"
           "  too-long     more than 11 digits\n"_L1;
}

} // namespace modNumberForm
