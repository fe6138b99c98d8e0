// SPDX-License-Identifier: Apache-2.0
#include "tLogLine.h"

tLogLine tLogLine::Make(QStringView strNumber, QStringView strResult) {
    // Only numbers of 7 to 11 characters are logged; a longer one is kept whole.
    const qsizetype intPadding = qMax<qsizetype>(0, NumberWidth - strNumber.size());
    QString strLine = strNumber.toString();
    strLine.append(QString(intPadding, u'X')).append(Separator).append(strResult);
    return {strLine};
}

QStringView tLogLine::Result() const {
    const qsizetype intFrom = NumberWidth + Separator.size();
    return intFrom < text.size() ? QStringView(text).mid(intFrom) : QStringView();
}
