// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "modInputCheck.h"

#include <QByteArrayView>
#include <QLatin1StringView>
#include <QString>
#include <QStringView>

// Numbers as people write them in lists and mails: "090 1234 5678",
// "+81-90-1234-5678", full-width digits. The window's checks stay as they are;
// only the text handed to them is chosen here.
namespace modNumberForm {

// The text to check and search for strGiven: a view of strGiven itself, or
// of buffer when it had to be rewritten.
//  - Surrounding whitespace is dropped.
//  - Digits alone (full-width ones folded) go to the window's checks as they
//    are, any length, unless they begin with an international prefix and
//    Japan's country code (0081, 01081) and come to a whole mobile number.
//  - Otherwise a "tel:" in front (any case) is dropped, spaces, hyphens, dots
//    and parentheses are dropped, full-width digits and "＋" folded, and
//    "+81", "0081" or "01081" with an optional trunk 0 after it read as the
//    leading 0. Written that way a number is a whole one: the result is taken
//    only when it is a complete 11-digit mobile number; anything else is
//    checked as typed, and so refused as the window refuses it.
QStringView SearchForm(QStringView strGiven, QString& buffer);

// Whether ASCII digits alone are searched as they are, which SearchForm
// returns for all of them but those that may begin with an international prefix.
inline bool DigitsSearchedAsTyped(QByteArrayView bytDigits) {
    return !bytDigits.startsWith("00") && !bytDigits.startsWith("010");
}

// For a refused number, what is wrong with it as cleaned, in one word for
// scripts (the list in RefusalKeywords): blnStrict when it was checked as
// typed; refusal: the window's reason.
QLatin1StringView RefusalKeyword(QStringView strGiven, bool blnStrict,
                                 modInputCheck::eRefusal refusal);

// Every word RefusalKeyword gives, with what it means, one per line for the help.
QLatin1StringView RefusalKeywords();

} // namespace modNumberForm
