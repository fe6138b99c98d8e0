#include "lookup/cNumberDB.h"
#include "platform/cFakePlatform.h"
#include "platform/cQtPlatform.h"
#include "searchlog/cCommonDlg.h"
#include "searchlog/frmLog.h"
#include "searchlog/modLogExport.h"

#include <QtTest>
#include <QtWidgets>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

using tTypes = QList<std::pair<QString, QString>>;

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

bool WriteFile(const QString& strPath, const QByteArray& bytes) {
    QFile f(strPath);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QStringList Entries(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class tst_searchlog : public QObject {
    Q_OBJECT

private slots:
    void errDescriptions();
    void dialogAnswer_data();
    void dialogAnswer();
    void savedFile_data();
    void savedFile();
    void refusedSave();
    void overwriteInAFolderThatTakesNoNewFile();
    void qtDialogKeepsToExistingFolders();
    void logWindowCommands();
    void logLayout_data();
    void logLayout();
};

void tst_searchlog::errDescriptions() {
    QFile file(QFINDTESTDATA("err-descriptions.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    int rows = 0;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        const QStringList row = line.split(u'\t');
        if (row.size() != 2 || line.startsWith(u'#'))
            continue;
        ++rows;
        // Numbers outside the table, a 16-bit look-alike of -32768 among them.
        const QList<int> numbers =
            row[0] == u"*" ? QList<int>{0, 32768, 20475, 32762} : QList<int>{row[0].toInt()};
        for (int number : numbers)
            QCOMPARE(QString::number(number) + cCommonDlg::ErrDescriptionFor(number),
                     QString::number(number) + row[1]);
    }
    QCOMPARE(rows, 18);
}

void tst_searchlog::dialogAnswer_data() {
    const QString name = QStringLiteral("12-06-2026"), none;
    QTest::addColumn<int>("maxFileSize");
    QTest::addColumn<bool>("cancelError");
    QTest::addColumn<QString>("answer"); // null: cancelled
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("cancelButton");
    QTest::newRow("cancel, CancelError on") << 255 << true << none << name << "" << true;
    QTest::newRow("cancel, CancelError off") << 255 << false << none << name << name << false;
    QTest::newRow("MaxFileSize-1 kept") << 10 << false << none << "12-06-202" << name << false;
    QTest::newRow("accepted") << 255 << true << "/d/log.txt" << name << "/d/log.txt" << false;
    QTest::newRow("path too long") << 10 << true << "/d/log.txt"
                                   << "12-06-202"
                                   << "" << true;
}

void tst_searchlog::dialogAnswer() {
    QFETCH(int, maxFileSize);
    QFETCH(bool, cancelError);
    QFETCH(QString, answer);
    cFakePlatform platform;
    platform.saveAnswers.enqueue(answer.isNull() ? std::nullopt : std::optional(answer));
    cCommonDlg dlg(platform);
    dlg.SetMaxFileSize(maxFileSize);
    dlg.SetFileName(QStringLiteral("12-06-2026"));
    dlg.SetCancelError(cancelError);
    // The filter as the export sets it; type index 2 opens on the second type.
    dlg.SetFilter(QStringLiteral("A|*.a|B|*.b|"));
    dlg.SetFilterIndex(2);
    dlg.SetAction(1); // stored, nothing shown
    QCOMPARE(platform.saveRequests.size(), 0);
    dlg.SetAction(2); // the save dialog
    QCOMPARE(platform.saveRequests.size(), 1);
    QCOMPARE(platform.saveRequests[0].fileTypes, tTypes({{"A", "*.a"}, {"B", "*.b"}}));
    QCOMPARE(platform.saveRequests[0].selectedType, 1);
    QTEST(platform.saveRequests[0].proposedName, "proposed");
    QTEST(dlg.FileName(), "fileName");
    QTEST(dlg.CancelButton(), "cancelButton");
}

void tst_searchlog::savedFile_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("expected"); // Shift_JIS, no BOM, CR LF, an empty last line
    QTest::newRow("empty log as TXT")
        << QStringList() << "log.txt"
        << QByteArray::fromHex("32303034944e358c8e8cbb8ddd81694c756d69766f76312e33302044427665"
                               "7231303031816a0d0a0d0a");
    QTest::newRow("TXT, longer file replaced whole")
        << SomeLines << "log.TXT" << Sjis(Header + "\r\n" + SomeLines.join("\r\n") + "\r\n\r\n");
    QTest::newRow("CSV: empty result, comma kept, short field, outside the code page")
        << QStringList{"0901234XXXX--->au関西", "09012345678--->", "08011112222--->a,b\U0001F600",
                       "0901234"}
        << "log.Csv"
        << Sjis(Header + ",\r\n対象電話番号,事業者名\r\n090-1234XXXX,au関西\r\n"
                         "090-12345678,\r\n080-11112222,a,b?\r\n   - 0901234,\r\n\r\n");
}

void tst_searchlog::savedFile() {
    QFETCH(QStringList, lines);
    QFETCH(QString, name);
    QTemporaryDir tmp;
    QVERIFY(WriteFile(tmp.filePath(name), QByteArray(4000, 'z')));
    cFakePlatform platform;
    platform.saveAnswers.enqueue(tmp.filePath(name));
    QCOMPARE(modLogExport::SaveLogFile(platform, nullptr, lines, DB()), 0);
    const tSaveFileRequest& r = platform.saveRequests.value(0);
    QCOMPARE(r.caption, QStringLiteral("ログファイルの保存"));
    QCOMPARE(r.fileTypes, tTypes({{"テキストファイル (*.txt)", "*.txt"},
                                  {"CSVファイル (カンマ区切り)(*.csv)", "*.csv"}}));
    QCOMPARE(r.proposedName.size(), 10); // mm-dd-yyyy
    QVERIFY(r.overwritePrompt && r.pathMustExist && r.defaultExt.isEmpty());
    QTEST(ReadAll(tmp.filePath(name)), "expected");
    QCOMPARE(Entries(tmp), QStringList{name});
}

void tst_searchlog::refusedSave() {
    // Cancelled, or a name without ".txt" or ".csv": nothing is written, 1 is returned.
    QTemporaryDir tmp;
    for (const QString name : {"", "a.text", "logtxt", "a.txt "}) {
        cFakePlatform platform;
        if (!name.isEmpty())
            platform.saveAnswers.enqueue(tmp.filePath(name));
        QCOMPARE(modLogExport::SaveLogFile(platform, nullptr, SomeLines, DB()), 1);
        QCOMPARE(platform.Shown(0),
                 name.isEmpty()
                     ? QStringLiteral("0||")
                     : QStringLiteral("16|ファイル拡張子取得失敗|ファイルの拡張子取得失敗。"
                                      "\r\n\r\nエラー内容：\r\n保存するファイルの"
                                      "拡張子を取得できませんでした。"));
    }
    QVERIFY(Entries(tmp).isEmpty());
#ifdef Q_OS_UNIX
    // A full disk, as a file-size limit makes it: the old file stays and the reason shows.
    const QString strPath = tmp.filePath("log.txt");
    QVERIFY(WriteFile(strPath, "old log"));
    cFakePlatform platform;
    platform.saveAnswers.enqueue(strPath);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit limit{16, old.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
    const int result = modLogExport::SaveLogFile(platform, nullptr, SomeLines, DB());
    setrlimit(RLIMIT_FSIZE, &old);
    QCOMPARE(result, 1);
    QCOMPARE(ReadAll(strPath), QByteArray("old log"));
    QCOMPARE(Entries(tmp), QStringList{"log.txt"});
    const QString strShown =
        "16|ログファイル保存失敗|ログファイルを保存できませんでした。\r\n\r\n保存先：" +
        QDir::toNativeSeparators(strPath) + "\r\nエラー内容：\r\n";
    QVERIFY(platform.Shown(0).startsWith(strShown) && platform.Shown(0).size() > strShown.size());
#endif
}

void tst_searchlog::overwriteInAFolderThatTakesNoNewFile() {
#ifndef Q_OS_UNIX
    QSKIP("needs Unix permissions");
#else
    // A file the user may write, in a folder where they may create nothing: the log
    // is written in place. Root may create anything, so the export then runs as
    // nobody, in this program started again as a helper.
    QTemporaryDir tmp;
    const QString strPath = tmp.filePath("log.txt");
    QVERIFY(WriteFile(strPath, "old log, longer than the new one will be ......................"));
    QFile::setPermissions(strPath, QFile::Permissions(0x6666)); // rw for everyone
    QFile::setPermissions(tmp.path(), QFile::Permissions(geteuid() == 0 ? 0x7555 : 0x5555));
    QProcess helper;
    const QStringList args = {QCoreApplication::applicationFilePath(), "--export-to", strPath};
    if (geteuid() == 0)
        helper.start("setpriv",
                     QStringList{"--reuid=65534", "--regid=65534", "--clear-groups"} + args);
    else
        helper.start(args[0], args.mid(1));
    if (!helper.waitForFinished(30000) || helper.exitCode() > 1)
        QSKIP(qPrintable("cannot run the export as a user without rights to the folder: " +
                         helper.readAllStandardError()));
    QFile::setPermissions(tmp.path(), QFile::Permissions(0x7700));
    QCOMPARE(helper.exitCode(), 0);
    QCOMPARE(ReadAll(strPath), Sjis(Header + "\r\n" + SomeLines.join("\r\n") + "\r\n\r\n"));
    QCOMPARE(Entries(tmp), QStringList{"log.txt"});
#endif
}

void tst_searchlog::qtDialogKeepsToExistingFolders() {
    // A name in a missing folder is refused with a box and the dialog comes back;
    // a name without extension then gets the first type's.
    QTemporaryDir tmp;
    tSaveFileRequest request;
    request.fileTypes = {{"テキストファイル (*.txt)", "*.txt"}, {"CSV (*.csv)", "*.csv"}};
    request.initialDir = tmp.path();
    QStringList steps;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal); box && steps.size() == 1) {
            steps << box->text();
            box->button(QMessageBox::Ok)->click();
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal); dialog && steps.size() != 1) {
            steps << dialog->windowTitle();
            dialog->findChild<QLineEdit*>("fileNameEdit")
                ->setText(steps.size() == 1 ? tmp.filePath("missing/log.txt") : "log");
            static_cast<QDialog*>(dialog)->accept(); // as the Save button does
        }
    });
    poll.start(20);
    cQtPlatform qt;
    QCOMPARE(qt.GetSaveFileName(request).value_or("cancelled"), tmp.filePath("log.txt"));
    QCOMPARE(steps.size(), 3);
    QVERIFY(steps[1].startsWith(QStringLiteral("パスが存在しません。")));
}

void tst_searchlog::logWindowCommands() {
    cFakePlatform platform;
    const cNumberDB db = DB();
    frmLog log(platform, db);
    log.AddLogLine(SomeLines[0]);
    log.setWindowTitle("x");
    log.cmdLogCommand[0]->setEnabled(true);
    log.cmdLogCommand[1]->setEnabled(true);
    log.cmdLogCommand[1]->click(); // cancelled
    log.cmdLogCommand_Click(2);
    QCOMPARE(platform.Shown(0), QStringLiteral("64||ログファイルは保存されませんでした。"));
    QCOMPARE(platform.Shown(1), QStringLiteral("0||Index値が異常です。"));
    log.cmdLogCommand[0]->click(); // clear
    QVERIFY(log.lstLog->count() == 0 && log.windowTitle() == QStringLiteral("検索ログ"));
    QVERIFY(!log.cmdLogCommand[0]->isEnabled() && !log.cmdLogCommand[1]->isEnabled());
}

void tst_searchlog::logLayout_data() {
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<QList<int>>("layout"); // changed, list height, button top, half width
    QTest::newRow("load size") << 4680.0 << 3045.0 << QList<int>{1, 2580, 2625, 2340};
    QTest::newRow("465 high") << 4680.0 << 465.0 << QList<int>{0, 0, 0, 0};
    QTest::newRow("466 high") << 4680.0 << 466.0 << QList<int>{1, 1, 46, 2340};
    QTest::newRow("odd width") << 4681.0 << 3045.0 << QList<int>{1, 2580, 2625, 2340};
    QTest::newRow("tie up to even") << 4681.5 << 3045.0 << QList<int>{1, 2580, 2625, 2341};
    QTest::newRow("tie down to even") << 4682.5 << 3045.0 << QList<int>{1, 2580, 2625, 2341};
}

void tst_searchlog::logLayout() {
    QFETCH(double, width);
    QFETCH(double, height);
    const frmLog::tLayout l = frmLog::LayoutFor(width, height);
    QTEST(QList<int>({l.changed, l.listHeight, l.buttonTop, l.buttonWidth}), "layout");
}

int main(int argc, char* argv[]) {
    // Started again as a helper: export SomeLines to the path given, answer 0 or 1.
    if (argc == 3 && QByteArray(argv[1]) == "--export-to") {
        QCoreApplication app(argc, argv);
        cFakePlatform platform;
        platform.saveAnswers.enqueue(QString::fromLocal8Bit(argv[2]));
        return modLogExport::SaveLogFile(platform, nullptr, SomeLines, DB());
    }
    QApplication app(argc, argv);
    tst_searchlog test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_searchlog.moc"
