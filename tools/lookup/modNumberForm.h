// SPDX-License-Identifier: Apache-2.0
#pragma once

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
//    are, any length.
//  - Otherwise spaces, hyphens, dots and parentheses are dropped, full-width
//    digits and "＋" folded, and "+81" or "0081" before 90, 80 or 70 read as
//    the leading 0. Written that way a number is a whole one: the result is
//    taken only when it is a complete 11-digit mobile number; anything else
//    is checked as typed, and so refused as the window refuses it.
QStringView SearchForm(QStringView strGiven, QString& buffer);

} // namespace modNumberForm
