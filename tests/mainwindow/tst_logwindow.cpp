// SPDX-License-Identifier: Apache-2.0
#include "cCommonDlg.h"
#include "cFakePlatform.h"
#include "cNumberDB.h"
#include "cQtPlatform.h"
#include "frmLog.h"
#include "modFileIO.h"
#include "modLogSave.h"
#include "modTestFiles.h"

#include <QtTest>
#include <QtWidgets>

using modTestFiles::AddDataRows;
using modTestFiles::ReadFile;
using modTestFiles::SetPermissionOverride;

namespace {

// What a log file held before it was saved over.
const QByteArray Old(4000, 'z');

QByteArray Cp932(const char* text) {
    return modTestFiles::SystemCp932(QString::fromUtf8(text));
}

// The date and version of the database searched, as its tail gives them.
const QString DBDate = "20040501", DBVersion = "1001";

// A database whose tail says 2004-05-01, version 1001.
cNumberDB DB() {
    cNumberDB db;
    db.SetText(QStringLiteral("090123C130\r\n20040501  1001\r\n"));
    return db;
}

} // namespace

class tst_logwindow : public QObject {
    Q_OBJECT

private slots:
    void errDescriptions_data() { AddDataRows(QFINDTESTDATA("err-descriptions.txt")); }
    void errDescriptions() {
        QFETCH(QStringList, row);
        QCOMPARE(cCommonDlg::ErrDescriptionFor(row[0].toInt()), row[1]);
    }

    // MaxFileSize, CancelError, the answer (none: cancelled), then the name the dialog is
    // offered, FileName and CancelButton afterwards.
    void dialogAnswer_data() {
        QTest::addColumn<QList<int>>("sizeAndCancelError");
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<QStringList>("after");
        const std::optional<QString> cancel, path = QStringLiteral("/d/log.txt");
        // clang-format off
        QTest::newRow("cancel, CancelError on") << QList<int>{255, 1} << cancel << QStringList{"12-06-2026", "", "1"};
        QTest::newRow("cancel, CancelError off") << QList<int>{255, 0} << cancel << QStringList{"12-06-2026", "12-06-2026", "0"};
        QTest::newRow("MaxFileSize-1 kept") << QList<int>{10, 0} << cancel << QStringList{"12-06-202", "12-06-2026", "0"};
        QTest::newRow("accepted") << QList<int>{255, 1} << path << QStringList{"12-06-2026", "/d/log.txt", "0"};
        QTest::newRow("path too long") << QList<int>{10, 1} << path << QStringList{"12-06-202", "", "1"};
        // clang-format on
    }
    void dialogAnswer() {
        QFETCH(QList<int>, sizeAndCancelError);
        QFETCH(std::optional<QString>, answer);
        cFakePlatform platform;
        platform.saveAnswers.enqueue(answer);
        cCommonDlg dlg(platform);
        dlg.SetMaxFileSize(sizeAndCancelError[0]);
        dlg.SetFileName(QStringLiteral("12-06-2026"));
        dlg.SetCancelError(sizeAndCancelError[1] == 1);
        // Type index 2 opens on the second type.
        dlg.SetFilter(QStringLiteral("A|*.a|B|*.b|"));
        dlg.SetFilterIndex(2);
        dlg.SetAction(2);                                            // the save dialog
        QCOMPARE(platform.saveRequests.value(0).intSelectedType, 1); // the second type
        QTEST(QStringList({platform.saveRequests[0].strProposedName, dlg.FileName(),
                           QString::number(dlg.CancelButton())}),
              "after");
    }

    // The name chosen, the log lines, then the file afterwards: Shift_JIS, no BOM, CR LF,
    // an empty last line; Old (the name is refused) when it stays as it was. In a folder
    // that takes no new file the log is written in place.
    void savedFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QByteArray>("file");
        const QStringList two = {"09012345678--->ドコモ関西", "0901234XXXX--->au関西"};
        const QByteArray twoTxt = Cp932("2004年5月現在（Lumivov1.30 DBver1001）\r\n09012345678--->"
                                        "ドコモ関西\r\n0901234XXXX--->au関西\r\n\r\n");
        // clang-format off
        QTest::newRow("empty log as TXT") << "log.txt" << QStringList() << QByteArray::fromHex("32303034944e358c8e8cbb8ddd81694c756d69766f76312e333020444276657231303031816a0d0a0d0a");
        QTest::newRow("TXT, longer file replaced whole") << "log.TXT" << two << twoTxt;
        QTest::newRow("CSV: empty result, comma kept, short field, outside the code page") << "log.Csv"
            << QStringList{"0901234XXXX--->au関西", "09012345678--->", "08011112222--->a,b😀", "0901234"}
            << Cp932("2004年5月現在（Lumivov1.30 DBver1001）,\r\n対象電話番号,事業者名\r\n090-1234XXXX,au関西\r\n"
                     "090-12345678,\r\n080-11112222,a,b??\r\n   - 0901234,\r\n\r\n");
        QTest::newRow("other extension") << "a.text" << two << Old;
        QTest::newRow("no dot") << "logtxt" << two << Old;
        QTest::newRow("trailing space") << "a.txt " << two << Old;
        QTest::newRow("folder takes no new file") << "log.txt" << two << twoTxt;
        QTest::newRow("folder takes no new file, read-only file") << "log.txt" << two << Old;
        // clang-format on
    }
    void savedFile() {
        QFETCH(QString, name);
        QFETCH(QStringList, lines);
        QFETCH(QByteArray, file);
        const bool refused = file == Old;
        QTemporaryDir tmp;
        const QString strPath = tmp.filePath(name);
        QVERIFY(!modFileIO::WriteFileWhole(strPath, Old).Failed());
        const QString tag = QTest::currentDataTag();
        const bool locked = tag.startsWith("folder takes no new file");
        const bool readOnly = tag.endsWith("read-only file");
#ifdef Q_OS_WIN
        if (readOnly)
            QSKIP("a folder's rights cannot be taken away through Qt on Windows");
#endif
        cFakePlatform platform;
        platform.saveAnswers.enqueue(strPath);
        int result = -1;
        {
            const auto restore = qScopeGuard([&] {
                SetPermissionOverride(true);
                QFile::setPermissions(tmp.path(), QFile::Permissions(0x7700));
            });
            QFile::setPermissions(tmp.path(), QFile::Permissions(locked ? 0x5500 : 0x7700));
            if (readOnly)
                QFile::setPermissions(strPath, QFile::ReadOwner);
            SetPermissionOverride(false);
            result = modLogSave::SaveLogFile(platform, nullptr, lines, DBDate, DBVersion);
        }
        QCOMPARE(result, refused ? 1 : 0);
        const QString writeBox = "16|ログファイル保存失敗|ログファイルを保存できませんでした。"
                                 "\r\n\r\n保存先：%1\r\nエラー内容：\r\nアクセスが拒否されました。";
        const QString extensionBox =
            "16|ファイル拡張子取得失敗|ファイルの拡張子取得失敗。\r\n\r\n"
            "エラー内容：\r\n保存するファイルの拡張子を取得できませんでした。";
        QCOMPARE(platform.msgBoxes,
                 readOnly  ? QStringList(writeBox.arg(QDir::toNativeSeparators(strPath)))
                 : refused ? QStringList(extensionBox)
                           : QStringList());
        QCOMPARE(platform.saveRequests.value(0).strCaption, "ログファイルの保存");
        QCOMPARE(ReadFile(strPath), file);
        QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{name});
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
        QCOMPARE(modLogSave::SaveLogFile(platform, nullptr, log, DBDate, DBVersion), saved ? 0 : 1);
        // Shift_JIS, CR LF, an empty last line.
        const QString written = QStringLiteral("2004年5月現在（Lumivov1.30 DBver1001）\r\n") +
                                QStringLiteral("09012345678--->ドコモ関西\r\n").repeated(lines) +
                                QStringLiteral("\r\n");
        QCOMPARE(ReadFile(strPath), saved ? modTestFiles::SystemCp932(written) : old);
        QVERIFY(saved ? platform.msgBoxes.isEmpty()
                      : platform.msgBoxes.value(0).endsWith("元のファイルは変更されていません。"));
    }

    void qtDialogKeepsToExistingFolders() {
        // A name in a missing folder is refused with a box and the dialog comes back;
        // a name without extension then gets the first type's.
        QTemporaryDir tmp;
        tSaveFileRequest request;
        request.lstFileTypes = {{"T", "*.txt"}, {"C", "*.csv"}};
        request.strInitialDir = tmp.path();
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
        auto* save = log.findChild<QPushButton*>("cmdLogCommand(1)");
        QVERIFY(!save->isEnabled());
        log.AddSearch(u"0901234", u"au関西");
        log.EnableCommands();
        save->click(); // cancelled: the export itself shows nothing
        log.cmdLogCommand_Click(2);
        QCOMPARE(platform.msgBoxes, QStringList({"64||ログファイルは保存されませんでした。",
                                                 "0||Index値が異常です。"}));
        // Saved from the window: headed by the date and version of the database searched.
        QTemporaryDir tmp;
        platform.saveAnswers.enqueue(tmp.filePath("log.txt"));
        save->click();
        QCOMPARE(ReadFile(tmp.filePath("log.txt")),
                 Cp932("2004年5月現在（Lumivov1.30 DBver1001）\r\n0901234XXXX--->au関西\r\n\r\n"));
        QCOMPARE(platform.msgBoxes.size(), 2);
        log.findChild<QPushButton*>("cmdLogCommand(0)")->click(); // clear
        QVERIFY(log.LogLines().isEmpty() && log.windowTitle() == QStringLiteral("検索ログ"));
        QVERIFY(!log.findChild<QWidget*>("cmdLogCommand(0)")->isEnabled() && !save->isEnabled());
    }

    void logLayout_data() {
        AddDataRows(QFINDTESTDATA("log-layouts.txt"));
    }
    void logLayout() {
        QFETCH(QStringList, row);
        const frmLog::tLayout l = frmLog::LayoutFor(row[1].toDouble(), row[2].toDouble());
        QCOMPARE(QString::asprintf("%d %d %d %d", l.blnChanged, l.intListHeight, l.intButtonTop,
                                   l.intButtonWidth),
                 row[3]);
    }
};

QTEST_MAIN(tst_logwindow)
#include "tst_logwindow.moc"
