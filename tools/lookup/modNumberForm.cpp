// SPDX-License-Identifier: Apache-2.0
#include "modNumberForm.h"

#include "modInputCheck.h"

namespace modNumberForm {

namespace {

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

} // namespace

QStringView SearchForm(QStringView strGiven, QString& buffer) {
    const QStringView typed = strGiven.trimmed();
    bool blnAscii = true, blnDigits = true;
    for (QChar c : typed) {
        blnDigits = blnDigits && IsDigit(c.unicode());
        blnAscii = blnAscii && c.unicode() < 0x80;
    }
    if (blnDigits && blnAscii)
        return typed;

    buffer.clear();
    for (QChar c : typed)
        if (blnDigits || !IsSeparator(c.unicode()))
            buffer += QChar(Fold(c.unicode()));
    if (blnDigits)
        return buffer;
    for (QStringView country : {QStringView(u"+81"), QStringView(u"0081")}) {
        const QStringView rest = QStringView(buffer).sliced(qMin(country.size(), buffer.size()));
        if (buffer.startsWith(country) &&
            (rest.startsWith(u"90") || rest.startsWith(u"80") || rest.startsWith(u"70"))) {
            buffer.replace(0, country.size(), u'0');
            break;
        }
    }
    return IsCompleteMobileNumber(buffer) ? QStringView(buffer) : typed;
}

} // namespace modNumberForm
