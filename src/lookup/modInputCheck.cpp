#include "lookup/modInputCheck.h"

namespace modInputCheck {

QString InputRefusal(const QString& strNumber) {
    const QStringView head = QStringView(strNumber).left(3);
    if (head != u"090" && head != u"080" && head != u"070")
        return QStringLiteral("090,080,070から入力して下さい");
    if (strNumber.size() < 7)
        return QStringLiteral("最低7桁入力して下さい");
    if (strNumber.size() > 11)
        return QStringLiteral("番号11桁を入力して下さい");
    // Pasted text can bring in more than the hyphen; the lookup needs plain ASCII digits.
    for (QChar c : strNumber)
        if (c < u'0' || c > u'9')
            return QStringLiteral("数字のみ入力して下さい");
    return QString();
}

} // namespace modInputCheck
