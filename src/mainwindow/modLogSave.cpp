// SPDX-License-Identifier: Apache-2.0
#include "modLogSave.h"

#include "cCommonDlg.h"
#include "cPlatform.h"
#include "modErrorWords.h"
#include "modFileIO.h"
#include "modLogExport.h"
#include "modText.h"

#include <QDate>
#include <QDir>

namespace modLogSave {

using modText::CrLf;

int SaveLogFile(cPlatform& platform, QObject* owner, const QStringList& lstLines,
                QStringView strDBDate, QStringView strDBVersion) {
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
        content = modLogExport::BuildLogFile(lstLines, strDBDate, strDBVersion, false);
    } else if (strExt == u".csv") {
        content = modLogExport::BuildLogFile(lstLines, strDBDate, strDBVersion, true);
    } else {
        platform.MsgBox(QStringLiteral("ファイルの拡張子取得失敗。") + CrLf + CrLf +
                            QStringLiteral("エラー内容：") + CrLf +
                            QStringLiteral("保存するファイルの拡張子を取得できませんでした。"),
                        eMsgStyle::Critical, QStringLiteral("ファイル拡張子取得失敗"));
        return 1;
    }

    const tIoError error = modFileIO::WriteFileWhole(strSaveFPath, content, true);
    if (error.Failed()) {
        platform.MsgBox(QStringLiteral("ログファイルを保存できませんでした。") + CrLf + CrLf +
                            QStringLiteral("保存先：") + QDir::toNativeSeparators(strSaveFPath) +
                            CrLf + QStringLiteral("エラー内容：") + CrLf +
                            modErrorWords::IoErrorText(error),
                        eMsgStyle::Critical, QStringLiteral("ログファイル保存失敗"));
        return 1;
    }
    return 0;
}

} // namespace modLogSave
