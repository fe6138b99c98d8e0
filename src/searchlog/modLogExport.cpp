#include "searchlog/modLogExport.h"

#include "lookup/modAppInfo.h"

#include "lookup/cNumberDB.h"
#include "platform/cPlatform.h"
#include "searchlog/cCommonDlg.h"

#include <QDate>
#include <QDir>
#include <QSaveFile>
#include <QStringEncoder>

#include <cerrno>
#include <cstring>
#include <optional>

namespace {

const QString CrLf = QStringLiteral("\r\n");

QString Tail(const cNumberDB& db) {
    return db.Text().right(16);
}

QString Header(const cNumberDB& db) {
    return modLogExport::GetDBYear(db) + QStringLiteral("年") + modLogExport::GetDBMonth(db) +
           QStringLiteral("月現在（") + modAppInfo::AppTitle() + u'v' +
           modAppInfo::VersionLabel() + QStringLiteral(" DBver") + modLogExport::GetDBVersion(db) +
           QStringLiteral("）");
}

// The number field as "@@@-@@@@@@@@": the characters fill the places from the right,
// places left over show a space.
QString CsvNumber(const QString& strNumberField) {
    const QString strPlaced = strNumberField.rightJustified(11, u' ');
    return strPlaced.left(3) + u'-' + strPlaced.mid(3);
}

QByteArray Cp932(const QString& strText) {
    std::optional<QStringEncoder> encoder(std::in_place, "windows-31j");
    QByteArray bytes = encoder->encode(strText);
    if (!encoder->hasError())
        return bytes;
    // A character outside the code page becomes "?", as the system's own conversion
    // writes it, rather than whatever filler the converter picks. An encoder stays in
    // error once it met one, so each error takes a fresh one.
    bytes.clear();
    encoder.emplace("windows-31j");
    for (qsizetype i = 0; i < strText.size();) {
        const qsizetype n = (strText[i].isHighSurrogate() && i + 1 < strText.size() &&
                             strText[i + 1].isLowSurrogate())
                                ? 2
                                : 1;
        const QByteArray part = encoder->encode(QStringView(strText).mid(i, n));
        if (encoder->hasError()) {
            bytes += '?';
            encoder.emplace("windows-31j");
        } else {
            bytes += part;
        }
        i += n;
    }
    return bytes;
}

// Writes through a temporary file beside the target, so an existing file is only
// replaced once the new content is on disk whole. Returns why it failed, or nothing.
QString WriteWhole(const QString& strPath, const QByteArray& content) {
    QSaveFile file(strPath);
    // Unbuffered, so a write cut short (disk full, file size limit) shows in the count
    // written instead of passing unnoticed at commit.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return QStringLiteral("ファイルを作成できません。（%1）").arg(file.errorString());
    errno = 0;
    const qint64 lngWritten = file.write(content);
    const int intErrno = errno;
    if (lngWritten != content.size()) {
        const QString strWhy = file.error() != QFileDevice::NoError ? file.errorString()
                               : intErrno != 0 ? QString::fromLocal8Bit(std::strerror(intErrno))
                                               : QStringLiteral("途中までしか書き込めませんでした");
        file.cancelWriting();
        return QStringLiteral("ファイルに書き込めません。（%1）").arg(strWhy);
    }
    if (!file.commit())
        return QStringLiteral("ファイルに書き込めません。（%1）").arg(file.errorString());
    return QString();
}

} // namespace

namespace modLogExport {

QString GetDBYear(const cNumberDB& db) {
    return Tail(db).mid(0, 4);
}

QString GetDBMonth(const cNumberDB& db) {
    // A broken or too short database text has no month to show; say so in the header
    // instead of failing the export.
    bool blnOk = false;
    const qint16 intMonth = Tail(db).mid(4, 2).trimmed().toShort(&blnOk);
    return blnOk ? QString::number(intMonth) : QStringLiteral("不明");
}

QString GetDBVersion(const cNumberDB& db) {
    return Tail(db).mid(10, 4);
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
    return Cp932(strContent + CrLf);
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

    const QString strReason = WriteWhole(strSaveFPath, content);
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
