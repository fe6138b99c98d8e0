// SPDX-License-Identifier: Apache-2.0
// Lumivo: the program owns the database text and the desktop seam, and hands
// both to the main window, with the folder whose db.dat it reads and updates.

#include "cFileOps.h"
#include "cNumberDB.h"
#include "cQtPlatform.h"
#include "cUpdateJob.h"
#include "frmMain.h"
#include "modAppInfo.h"
#include "modDataFolder.h"
#include "modErrorWords.h"
#include "modFontSubstitutes.h"
#include "modQtLanguage.h"
#include "modText.h"
#include "modUiAssets.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QTranslator>

namespace {

// The start-up box's text when the user's copy of the database is not ready.
QString CopyProblemText(const modDataFolder::tDataFolder& data) {
    using modText::CrLf;
    const QString strPath = QDir::toNativeSeparators(data.strPath);
    QString text = QStringLiteral("番号検索データベースを利用者のフォルダーへ"
                                  "コピーできませんでした。") +
                   CrLf;
    if (data.problem == modDataFolder::eCopyProblem::FolderNotMade)
        return text + QStringLiteral("フォルダーを作成できません: ") + strPath + CrLf +
               modErrorWords::IoErrorText(data.error);
    text += strPath + QStringLiteral(": ") + modErrorWords::IoErrorText(data.error);
    // The user's copy is never replaced while it cannot be read.
    if (data.problem == modDataFolder::eCopyProblem::OwnUnreadable)
        text += CrLf + QStringLiteral("このファイルは変更せず、インストールされたデータベースを"
                                      "読み込みます。");
    return text;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(modAppInfo::AppTitle());
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(modAppInfo::VersionMajor())
                                            .arg(modAppInfo::VersionMinor())
                                            .arg(modAppInfo::VersionRevision()));
    // Matches the .desktop file's name, so the desktop links window and entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.lumivo.Lumivo"));
    // The icon theme's (the installed one, or a theme's own), else the compiled-in one.
    modUiAssets::InitAssets();
    QIcon bundledIcon;
    for (int size : {16, 24, 32, 48, 256})
        bundledIcon.addFile(QStringLiteral(":/icon/lumivo-%1.png").arg(size));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("lumivo"), bundledIcon));
    modFontSubstitutes::InstallFontSubstitutes();
    // Without the catalogue Qt's dialogs stay English; the program works on.
    QTranslator qtJapanese;
    modQtLanguage::InstallJapanese(qtJapanese);

    cQtPlatform platform;
    const modDataFolder::tDataFolder data = modDataFolder::PrepareDataFolder(
        modDataFolder::ProgramFolder(), modDataFolder::UserDataFolder());
    if (data.problem != modDataFolder::eCopyProblem::None)
        platform.MsgBox(CopyProblemText(data), eMsgStyle::Information);
    cNumberDB db;
    // A build with a key takes only updates signed with it.
    cUpdateJob updateJob(db, data.strFolder, cUpdateJob::BuildPublicKey, cFileOps::Disk());
    frmMain window(platform, db, updateJob, data.strFolder);
    window.show();
    return app.exec();
}
