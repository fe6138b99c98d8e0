#include "searchlog/modLogExport.h"

#include "lookup/modAppInfo.h"
#include "lookup/modFileIO.h"
#include "lookup/modText.h"

#include "lookup/cNumberDB.h"
#include "platform/cPlatform.h"
#include "searchlog/cCommonDlg.h"

#include <QDate>
#include <QDir>

#include <optional>

namespace {

using modText::CrLf;

QString Header(const cNumberDB& db) {
    return modLogExport::GetDBYear(db) + QStringLiteral("年") + modLogExport::GetDBMonth(db) +
           QStringLiteral("月現在（") + modAppInfo::AppTitle() + u'v' + modAppInfo::VersionLabel() +
           QStringLiteral(" DBver") + modLogExport::GetDBVersion(db) + QStringLiteral("）");
}

// The number field as "@@@-@@@@@@@@": the characters fill the places from the right,
// places left over show a space.
QString CsvNumber(const QString& strNumberField) {
    const QString strPlaced = strNumberField.rightJustified(11, u' ');
    return strPlaced.left(3) + u'-' + strPlaced.mid(3);
}

} // namespace

namespace modLogExport {

QString GetDBYear(const cNumberDB& db) {
    return db.DBDate().left(4);
}

QString GetDBMonth(const cNumberDB& db) {
    // A broken or too short database text has no month to show; say so in the header
    // instead of failing the export.
    bool blnOk = false;
    const qint16 intMonth = db.DBDate().mid(4, 2).trimmed().toShort(&blnOk);
    return blnOk ? QString::number(intMonth) : QStringLiteral("不明");
}

QString GetDBVersion(const cNumberDB& db) {
    return db.DBVersion();
}

QByteArray BuildLogFile(const QStringList& lstLines, const cNumberDB& db, bool blnCsv) {
    QString strContent;
    if (blnCsv) {
        strContent = Header(db) + u',' + CrLf + QStringLiteral("対象電話番号,事業者名") + CrLf;
        for (const QString& strLine : lstLines)
            strContent += CsvNumber(strLine.left(11)) + u',' + strLine.mid(15) + CrLf;
    } else {
        strContent = Header(db) + CrLf;
        for (const QString& strLine : lstLines)
            strContent += strLine + CrLf;
    }
    return modText::EncodeCp932(strContent + CrLf);
}

int SaveLogFile(cPlatform& platform, QObject* owner, const QStringList& lstLines,
                const cNumberDB& db) {
    QString strSaveFPath;
    {
        cCommonDlg dlg(platform);
        dlg.SetForm(owner);
        dlg.SetDialogTitle(QStringLiteral("ログファイルの保存"));
        dlg.SetFilter(QStringLiteral("テキストファイル (*.txt)|*.txt|") +
                      QStringLiteral("CSVファイル (カンマ区切り)(*.csv)|*.csv"));
        dlg.SetFilterIndex(0);
        dlg.SetFileName(QDate::currentDate().toString(u"MM-dd-yyyy"));
        dlg.SetFlags(cCommonDlg::OFN_OVERWRITEPROMPT | cCommonDlg::OFN_HIDEREADONLY |
                     cCommonDlg::OFN_PATHMUSTEXIST | cCommonDlg::OFN_EXPLORER |
                     cCommonDlg::OFN_LONGNAMES);
        dlg.SetInitDir(QDir::currentPath());
        dlg.SetCancelError(true);
        dlg.ShowSave();
        if (dlg.CancelButton())
            return 1;
        strSaveFPath = dlg.FileName();
    }

    const QString strExt = strSaveFPath.right(4).toLower();
    QByteArray content;
    if (strExt == u".txt") {
        content = BuildLogFile(lstLines, db, false);
    } else if (strExt == u".csv") {
        content = BuildLogFile(lstLines, db, true);
    } else {
        platform.MsgBox(QStringLiteral("ファイルの拡張子取得失敗。") + CrLf + CrLf +
                            QStringLiteral("エラー内容：") + CrLf +
                            QStringLiteral("保存するファイルの拡張子を取得できませんでした。"),
                        eMsgStyle::Critical, QStringLiteral("ファイル拡張子取得失敗"));
        return 1;
    }

    const QString strReason = modFileIO::WriteFileWhole(strSaveFPath, content);
    if (!strReason.isEmpty()) {
        platform.MsgBox(QStringLiteral("ログファイルを保存できませんでした。") + CrLf + CrLf +
                            QStringLiteral("保存先：") + QDir::toNativeSeparators(strSaveFPath) +
                            CrLf + QStringLiteral("エラー内容：") + CrLf + strReason,
                        eMsgStyle::Critical, QStringLiteral("ログファイル保存失敗"));
        return 1;
    }
    return 0;
}

} // namespace modLogExport
