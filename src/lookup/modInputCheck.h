#pragma once

#include <QString>

namespace modInputCheck {

// The refusal message for a typed number, or the empty text when it may be
// looked up. The checks run in a fixed order and the first failing one decides:
// prefix, at least 7, at most 11 characters, then digits only.
QString InputRefusal(const QString& strNumber);

} // namespace modInputCheck
