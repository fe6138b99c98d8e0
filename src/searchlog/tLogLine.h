// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QString>
#include <QStringView>

// One entry of the search log: the number padded with "X" to 11 characters,
// "--->", then the result text. The log window stores the text as it is; the
// export reads the two fields back through NumberField() and Result().
struct tLogLine {
    static constexpr int NumberWidth = 11;
    static constexpr QStringView Separator = u"--->";

    QString text;

    static tLogLine Make(QStringView strNumber, QStringView strResult);

    QStringView NumberField() const { return QStringView(text).left(NumberWidth); }
    QStringView Result() const;
};
