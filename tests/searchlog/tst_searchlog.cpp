#include "lookup/cNumberDB.h"
#include "lookup/modFileIO.h"
#include "platform/cFakePlatform.h"
#include "platform/cQtPlatform.h"
#include "searchlog/cCommonDlg.h"
#include "searchlog/frmLog.h"
#include "searchlog/modLogExport.h"

#include <QtTest>
#include <QtWidgets>

#include <unistd.h>

namespace {

const QString Header = QStringLiteral("2004年5月現在（Lumivov1.30 DBver1001）");
const QStringList SomeLines = {QStringLiteral("09012345678--->ドコモ関西"),
                               QStringLiteral("0901234XXXX--->au関西")};
// A database whose tail says 2004-05-01, version 1001.
cNumberDB DB() {
    cNumberDB db;
    db.SetText(QStringLiteral("090123C130\r\n20040501  1001\r\n"));
    return db;
}

QByteArray Sjis(const QString& strText) {
    return QStringEncoder("windows-31j").encode(strText);
}

QByteArray ReadAll(const QString& strPath) {
    QFile f(strPath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QStringList Entries(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// One test row per line of a tab-separated data file, named by its first field;
// a written "\r\n" stands for a line end.
void AddRows(const QString& strPath) {
    QFile file(strPath);
    QTest::addColumn<QStringList>("row");
    QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(strPath));
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n'))
        if (!line.isEmpty() && !line.startsWith(u'#'))
            QTest::newRow(qPrintable(line.section(u'\t', 0, 0)))
                << QString(line).replace("\\r\\n", "\r\n").split(u'\t');
}

} // namespace

class tst_searchlog : public QObject {
    Q_OBJECT

private slots:
    void errDescriptions_data() { AddRows(QFINDTESTDATA("err-descriptions.txt")); }
    void errDescriptions() {
        QFETCH(QStringList, row);
        // Numbers outside the table, a 16-bit look-alike of -32768 among them.
        for (int number :
             row[0] == u"*" ? QList<int>{0, 32768, 20475, 32762} : QList<int>{row[0].toInt()})
            QCOMPARE(QString::number(number) + cCommonDlg::ErrDescriptionFor(number),
                     QString::number(number) + row[1]);
    }

    void dialogAnswer_data() { AddRows(QFINDTESTDATA("dialog-answers.txt")); }
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
        dlg.SetAction(2); // the save dialog
        QCOMPARE(platform.saveRequests.value(0).selectedType, 1);
        QCOMPARE(QStringList({platform.saveRequests[0].proposedName, dlg.FileName(),
                              QString::number(dlg.CancelButton())}),
                 row.mid(4));
    }

    void savedFile_data() { AddRows(QFINDTESTDATA("saved-files.txt")); }
    void savedFile() {
        QFETCH(QStringList, row);
        QTemporaryDir tmp;
        const QString strPath = tmp.filePath(row[1]), shown = row[4];
        QVERIFY(modFileIO::WriteFileWhole(strPath, QByteArray(4000, 'z')).isEmpty());
        cFakePlatform platform;
        platform.saveAnswers.enqueue(strPath);
        const QStringList lines = row[2].split(u'|', Qt::SkipEmptyParts);
        QCOMPARE(modLogExport::SaveLogFile(platform, nullptr, lines, DB()), shown == "0||" ? 0 : 1);
        QCOMPARE(platform.Shown(0), shown);
        const tSaveFileRequest& r = platform.saveRequests.value(0);
        QVERIFY(r.caption == QStringLiteral("ログファイルの保存") && r.overwritePrompt);
        QCOMPARE(ReadAll(strPath), row[3] == u"old" ? QByteArray(4000, 'z')
                                   : row[3].startsWith(u"hex:")
                                       ? QByteArray::fromHex(row[3].mid(4).toLatin1())
                                       : Sjis(row[3]));
        QCOMPARE(Entries(tmp), QStringList{row[1]});
    }

    void overwriteInAFolderThatTakesNoNewFile() {
        // A file the user may write, in a folder where they may create nothing: the log
        // is written in place. Root may create anything, so the export then runs as
        // nobody, in this program started again as a helper.
        QTemporaryDir tmp;
        const QString strPath = tmp.filePath("log.txt");
        QVERIFY(modFileIO::WriteFileWhole(strPath, QByteArray(4000, 'z')).isEmpty());
        QFile::setPermissions(strPath, QFile::Permissions(0x6666)); // rw for everyone
        QFile::setPermissions(tmp.path(), QFile::Permissions(geteuid() == 0 ? 0x7555 : 0x5555));
        QStringList args = {QCoreApplication::applicationFilePath(), "--export-to", strPath};
        if (geteuid() == 0)
            args =
                QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} + args;
        QProcess helper;
        helper.start(args[0], args.mid(1));
        if (!helper.waitForFinished(30000) || helper.exitCode() > 1)
            QSKIP(qPrintable("cannot run the export as a user without rights to the folder: " +
                             helper.readAllStandardError()));
        QFile::setPermissions(tmp.path(), QFile::Permissions(0x7700));
        QCOMPARE(helper.exitCode(), 0);
        QCOMPARE(ReadAll(strPath), Sjis(Header + "\r\n" + SomeLines.join("\r\n") + "\r\n\r\n"));
        QCOMPARE(Entries(tmp), QStringList{"log.txt"});
    }

    void qtDialogKeepsToExistingFolders() {
        // A name in a missing folder is refused with a box and the dialog comes back;
        // a name without extension then gets the first type's.
        QTemporaryDir tmp;
        const tSaveFileRequest request{
            .fileTypes = {{"テキストファイル (*.txt)", "*.txt"}, {"CSV (*.csv)", "*.csv"}},
            .initialDir = tmp.path()};
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
        log.AddLogLine(SomeLines[0]);
        log.setWindowTitle("x");
        log.cmdLogCommand[0]->setEnabled(true);
        log.cmdLogCommand[1]->setEnabled(true);
        log.cmdLogCommand[1]->click(); // cancelled: the export itself shows nothing
        QCOMPARE(platform.Shown(0), QStringLiteral("64||ログファイルは保存されませんでした。"));
        log.cmdLogCommand[0]->click(); // clear
        QVERIFY(log.lstLog->count() == 0 && log.windowTitle() == QStringLiteral("検索ログ"));
        QVERIFY(!log.cmdLogCommand[0]->isEnabled() && !log.cmdLogCommand[1]->isEnabled());
    }

    void logLayout_data() { AddRows(QFINDTESTDATA("log-layouts.txt")); }
    void logLayout() {
        QFETCH(QStringList, row);
        const frmLog::tLayout l = frmLog::LayoutFor(row[1].toDouble(), row[2].toDouble());
        QCOMPARE(QList<int>({l.changed, l.listHeight, l.buttonTop, l.buttonWidth}),
                 QList<int>({row[3].toInt(), row[4].toInt(), row[5].toInt(), row[6].toInt()}));
    }
};

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Started again as a helper: export SomeLines to the path given, answer 0 or 1.
    if (argc == 3 && QByteArray(argv[1]) == "--export-to") {
        cFakePlatform platform;
        platform.saveAnswers.enqueue(QString::fromLocal8Bit(argv[2]));
        return modLogExport::SaveLogFile(platform, nullptr, SomeLines, DB());
    }
    tst_searchlog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_searchlog.moc"
