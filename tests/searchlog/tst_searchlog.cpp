// SPDX-License-Identifier: Apache-2.0
#include "cCommonDlg.h"
#include "cFakePlatform.h"
#include "cNumberDB.h"
#include "cQtPlatform.h"
#include "frmLog.h"
#include "modFileIO.h"
#include "modLogExport.h"
#include "modLogSave.h"
#include "modTestFiles.h"

#include <QtTest>
#include <QtWidgets>

using modTestFiles::AddDataRows;
using modTestFiles::ReadFile;
using modTestFiles::SetPermissionOverride;

namespace {

// A database whose tail says 2004-05-01, version 1001.
cNumberDB DB() {
    cNumberDB db;
    db.SetText(QStringLiteral("090123C130\r\n20040501  1001\r\n"));
    return db;
}

} // namespace

class tst_searchlog : public QObject {
    Q_OBJECT

private slots:
    void errDescriptions_data() { AddDataRows(QFINDTESTDATA("err-descriptions.txt")); }
    void errDescriptions() {
        QFETCH(QStringList, row);
        QCOMPARE(cCommonDlg::ErrDescriptionFor(row[0].toInt()), row[1]);
    }

    void dialogAnswer_data() { AddDataRows(QFINDTESTDATA("dialog-answers.txt")); }
    void dialogAnswer() {
        QFETCH(QStringList, row);
        cFakePlatform platform;
        platform.saveAnswers.enqueue(row[3] == u"-" ? std::nullopt : std::optional(row[3]));
        cCommonDlg dlg(platform);
        dlg.SetMaxFileSize(row[1].toInt());
        dlg.SetFileName(QStringLiteral("12-06-2026"));
        dlg.SetCancelError(row[2] == u"1");
        // Type index 2 opens on the second type.
        dlg.SetFilter(QStringLiteral("A|*.a|B|*.b|"));
        dlg.SetFilterIndex(2);
        dlg.SetAction(2);                                         // the save dialog
        QCOMPARE(platform.saveRequests.value(0).selectedType, 1); // the second type
        QCOMPARE(QStringList({platform.saveRequests[0].proposedName, dlg.FileName(),
                              QString::number(dlg.CancelButton())}),
                 row.mid(4));
    }

    void savedFile_data() { AddDataRows(QFINDTESTDATA("saved-files.txt")); }
    void savedFile() {
        QFETCH(QStringList, row);
        QTemporaryDir tmp;
        const QString strPath = tmp.filePath(row[1]);
        const QString shown =
            QString(row[4]).replace(QStringLiteral("%1"), QDir::toNativeSeparators(strPath));
        QVERIFY(!modFileIO::WriteFileWhole(strPath, QByteArray(4000, 'z')).Failed());
        const bool locked = row[0].startsWith(u"folder takes no new file");
        QFile::setPermissions(tmp.path(), QFile::Permissions(locked ? 0x5500 : 0x7700));
        if (row[0].endsWith(u"read-only file"))
            QFile::setPermissions(strPath, QFile::ReadOwner);
        cFakePlatform platform;
        platform.saveAnswers.enqueue(strPath);
        const QStringList lines = row[2].split(u'|', Qt::SkipEmptyParts);
        SetPermissionOverride(false);
        const int result = modLogSave::SaveLogFile(platform, nullptr, lines, DB());
        SetPermissionOverride(true);
        QFile::setPermissions(tmp.path(), QFile::Permissions(0x7700));
        QCOMPARE(result, shown == "0||" ? 0 : 1);
        QCOMPARE(platform.Shown(0), shown);
        QCOMPARE(platform.saveRequests.value(0).caption, QStringLiteral("ログファイルの保存"));
        QCOMPARE(ReadFile(strPath), row[3] == u"old" ? QByteArray(4000, 'z')
                                    : row[3].startsWith(u"hex:")
                                        ? QByteArray::fromHex(row[3].mid(4).toLatin1())
                                        : modTestFiles::SystemCp932(row[3]));
        QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{row[1]});
    }

    // A folder that takes no new file on a disk with little room: the log is
    // rewritten in place only when it fits, otherwise the old file stays whole.
    void inPlaceSaveOnAlmostFullDisk_data() {
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("saved");
        QTest::newRow("shorter log") << 1 << true;
        QTest::newRow("longer log that fits") << 350 << true;
        QTest::newRow("longer log than the disk holds") << 1000 << false;
    }
    void inPlaceSaveOnAlmostFullDisk() {
        QFETCH(int, lines);
        QFETCH(bool, saved);
        QTemporaryDir tmp;
        // Room for the old log and 4 KiB more, and no inode for a temporary file.
        if (QProcess::execute(
                "mount", {"-t", "tmpfs", "-o", "size=16k,nr_inodes=2", "tmpfs", tmp.path()}) != 0)
            QSKIP("a small tmpfs cannot be mounted here (it needs root)");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {tmp.path()}); });
        const QString strPath = tmp.filePath("log.txt");
        const QByteArray old(8492, 'z');
        QVERIFY(!modFileIO::WriteFileWhole(strPath, old, false).Failed());
        cFakePlatform platform;
        platform.saveAnswers.enqueue(strPath);
        const QStringList log(lines, QStringLiteral("09012345678--->ドコモ関西"));
        QCOMPARE(modLogSave::SaveLogFile(platform, nullptr, log, DB()), saved ? 0 : 1);
        // Shift_JIS, CR LF, an empty last line.
        const QString written = QStringLiteral("2004年5月現在（Lumivov1.30 DBver1001）\r\n") +
                                QStringLiteral("09012345678--->ドコモ関西\r\n").repeated(lines) +
                                QStringLiteral("\r\n");
        QCOMPARE(ReadFile(strPath), saved ? modTestFiles::SystemCp932(written) : old);
        QVERIFY(saved ? platform.Shown(0) == "0||"
                      : platform.Shown(0).endsWith(
                            QStringLiteral("元のファイルは変更されていません。")));
    }

    void qtDialogKeepsToExistingFolders() {
        // A name in a missing folder is refused with a box and the dialog comes back;
        // a name without extension then gets the first type's.
        QTemporaryDir tmp;
        tSaveFileRequest request;
        request.fileTypes = {{"T", "*.txt"}, {"C", "*.csv"}};
        request.initialDir = tmp.path();
        QStringList boxes;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                boxes << box->text();
                box->button(QMessageBox::Ok)->click();
            } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                dialog->findChild<QLineEdit*>("fileNameEdit")
                    ->setText(boxes.isEmpty() ? tmp.filePath("missing/log.txt") : "log");
                static_cast<QDialog*>(dialog)->accept(); // as the Save button does
            }
        });
        poll.start(20);
        QCOMPARE(cQtPlatform().GetSaveFileName(request).value_or("cancelled"),
                 tmp.filePath("log.txt"));
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes[0].startsWith(QStringLiteral("パスが存在しません。")));
    }

    void logWindowCommands() {
        cFakePlatform platform;
        const cNumberDB db = DB();
        frmLog log(platform, db);
        log.AddLogLine(QStringLiteral("0901234XXXX--->au関西"));
        log.setWindowTitle("x");
        log.cmdLogCommand[1]->setEnabled(true);
        log.cmdLogCommand[1]->click(); // cancelled: the export itself shows nothing
        QCOMPARE(platform.Shown(0), QStringLiteral("64||ログファイルは保存されませんでした。"));
        log.cmdLogCommand_Click(0); // clear
        QVERIFY(log.lstLog->count() == 0 && log.windowTitle() == QStringLiteral("検索ログ"));
        QVERIFY(!log.cmdLogCommand[0]->isEnabled() && !log.cmdLogCommand[1]->isEnabled());
    }

    void logLayout_data() { AddDataRows(QFINDTESTDATA("log-layouts.txt")); }
    void logLayout() {
        QFETCH(QStringList, row);
        const frmLog::tLayout l = frmLog::LayoutFor(row[1].toDouble(), row[2].toDouble());
        QCOMPARE(QList<int>({l.changed, l.listHeight, l.buttonTop, l.buttonWidth}),
                 QList<int>({row[3].toInt(), row[4].toInt(), row[5].toInt(), row[6].toInt()}));
    }
};

QTEST_MAIN(tst_searchlog)
#include "tst_searchlog.moc"
