// SPDX-License-Identifier: Apache-2.0
#include "modLogExport.h"

#include "modAppInfo.h"
#include "modText.h"

#include "tLogLine.h"

#include <optional>

namespace {

using modText::CrLf;

QString Header(QStringView strDBDate, QStringView strDBVersion) {
    return modLogExport::GetDBYear(strDBDate) + QStringLiteral("年") +
           modLogExport::GetDBMonth(strDBDate) + QStringLiteral("月現在（") +
           modAppInfo::AppTitle() + u'v' + modAppInfo::VersionLabel() + QStringLiteral(" DBver") +
           strDBVersion.toString() + QStringLiteral("）");
}

// The number field as "@@@-@@@@@@@@": the characters fill the places from the right,
// places left over show a space.
QString CsvNumber(QStringView strNumberField) {
    const QString strPlaced = strNumberField.toString().rightJustified(tLogLine::NumberWidth, u' ');
    return strPlaced.left(3) + u'-' + strPlaced.mid(3);
}

} // namespace

namespace modLogExport {

QString GetDBYear(QStringView strDBDate) {
    return strDBDate.left(4).toString();
}

QString GetDBMonth(QStringView strDBDate) {
    // A broken or too short database text has no month to show; say so in the header
    // instead of failing the export.
    bool blnOk = false;
    const qint16 intMonth = strDBDate.mid(4, 2).trimmed().toShort(&blnOk);
    return blnOk ? QString::number(intMonth) : QStringLiteral("不明");
}

QByteArray BuildLogFile(const QStringList& lstLines, QStringView strDBDate,
                        QStringView strDBVersion, bool blnCsv) {
    const QString strHeader = Header(strDBDate, strDBVersion);
    QString strContent;
    if (blnCsv) {
        strContent = strHeader + u',' + CrLf + QStringLiteral("対象電話番号,事業者名") + CrLf;
        for (const QString& strLine : lstLines) {
            const tLogLine line{strLine};
            strContent += CsvNumber(line.NumberField()) + u',';
            strContent.append(line.Result()).append(CrLf);
        }
    } else {
        strContent = strHeader + CrLf;
        for (const QString& strLine : lstLines)
            strContent += strLine + CrLf;
    }
    return modText::EncodeCp932(strContent + CrLf);
}

} // namespace modLogExport
