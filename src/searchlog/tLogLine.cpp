// SPDX-License-Identifier: Apache-2.0
#include "tLogLine.h"

tLogLine tLogLine::Make(QStringView strNumber, QStringView strResult) {
    // Only numbers of 7 to 11 characters are logged; a longer one is kept whole.
    const qsizetype lngPadding = qMax<qsizetype>(0, NumberWidth - strNumber.size());
    QString strLine = strNumber.toString();
    strLine.append(QString(lngPadding, u'X')).append(Separator).append(strResult);
    return {strLine};
}

QStringView tLogLine::Result() const {
    const qsizetype lngFrom = NumberWidth + Separator.size();
    return lngFrom < text.size() ? QStringView(text).mid(lngFrom) : QStringView();
}
