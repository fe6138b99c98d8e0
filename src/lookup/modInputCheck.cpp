// SPDX-License-Identifier: Apache-2.0
#include "modInputCheck.h"

namespace modInputCheck {

bool HasMobilePrefix(QStringView strNumber) {
    const QStringView head = strNumber.left(3);
    if (head == u"090" || head == u"080" || head == u"070")
        return true;
    // 060 was opened to mobiles from 0601 on; 0600 is not a mobile number.
    return head == u"060" && strNumber.size() >= 4 && strNumber[3] >= u'1' && strNumber[3] <= u'9';
}

bool IsAllDigits(QStringView strText) {
    for (QChar c : strText)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

eRefusal CheckNumber(QStringView strNumber) {
    if (!HasMobilePrefix(strNumber))
        return eRefusal::Prefix;
    if (strNumber.size() < 7)
        return eRefusal::TooShort;
    if (strNumber.size() > 11)
        return eRefusal::TooLong;
    // Pasted text can bring in more than the hyphen; the lookup needs plain ASCII digits.
    if (!IsAllDigits(strNumber))
        return eRefusal::NotDigits;
    return eRefusal::None;
}

} // namespace modInputCheck
