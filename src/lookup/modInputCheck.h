#pragma once

#include <QString>

namespace modSearch {
enum class eRefusal;
}

namespace modInputCheck {

// Whether a typed number may be looked up, or why not. The checks run in a
// fixed order and the first failing one decides: prefix, at least 7, at most
// 11 characters, then digits only.
modSearch::eRefusal CheckNumber(QStringView strNumber);

// True for a text beginning with one of the mobile prefixes 090, 080, 070.
bool HasMobilePrefix(QStringView strNumber);
// True when every character is one of 0-9 (the empty text included).
bool IsAllDigits(QStringView strText);

} // namespace modInputCheck
