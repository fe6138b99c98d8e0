#include "lookup/cNumberDB.h"
#include "platform/cFakePlatform.h"
#include "searchlog/cCommonDlg.h"
#include "searchlog/modLogExport.h"

#include <QtTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using tTypes = QList<std::pair<QString, QString>>;

namespace {

const tTypes ExportTypes = {
    {QStringLiteral("テキストファイル (*.txt)"), QStringLiteral("*.txt")},
    {QStringLiteral("CSVファイル (カンマ区切り)(*.csv)"), QStringLiteral("*.csv")}};
// A database whose tail says 2004-05-01, version 1001.
const QString DBText = QStringLiteral("090123C130\r\n20040501  1001\r\n");
const QString TxtHeader = QStringLiteral("2004年5月現在（Lumivov1.30 DBver1001）\r\n");
const QString CsvHeader =
    QStringLiteral("2004年5月現在（Lumivov1.30 DBver1001）,\r\n対象電話番号,事業者名\r\n");
const QStringList SomeLines = {QStringLiteral("09012345678--->ドコモ関西"),
                               QStringLiteral("0901234XXXX--->au関西"),
                               QStringLiteral("07091234567--->未使用or未確認")};

cNumberDB DB(const QString& strText = DBText) {
    cNumberDB db;
    db.SetText(strText);
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

QStringList Entries(const QString& strDir) {
    return QDir(strDir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class tst_searchlog : public QObject {
    Q_OBJECT

private slots:
    void filterConversion_data();
    void filterConversion();
    void dialogAnswer_data();
    void dialogAnswer();
    void errDescription_data();
    void errDescription();

    void savedFile_data();
    void savedFile();
    void refusedSave_data();
    void refusedSave();
};

void tst_searchlog::filterConversion_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<tTypes>("types");
    QTest::addColumn<int>("selectedType"); // for type index 2
    QTest::newRow("empty pattern inside")
        << QStringLiteral("A||B|*.b") << tTypes({{"A", ""}, {"B", QStringLiteral("*.b")}}) << 1;
    QTest::newRow("double bar ends the list")
        << QStringLiteral("A|*.a||B|*.b") << tTypes({{"A", QStringLiteral("*.a")}}) << 0;
}

void tst_searchlog::filterConversion() {
    QFETCH(QString, filter);
    cFakePlatform platform;
    cCommonDlg dlg(platform);
    dlg.SetFilter(filter);
    dlg.SetFilterIndex(2);
    dlg.ShowSave();
    QTEST(platform.saveRequests.value(0).fileTypes, "types");
    QTEST(platform.saveRequests.value(0).selectedType, "selectedType");
}

void tst_searchlog::dialogAnswer_data() {
    const QString name = QStringLiteral("12-06-2026");
    const QStringList cancel{QString()};
    QTest::addColumn<int>("maxFileSize");
    QTest::addColumn<bool>("cancelError");
    QTest::addColumn<QStringList>("answers"); // one call each; null: cancelled
    QTest::addColumn<QString>("proposed");    // null: no dialog shown
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("cancelButton");
    QTest::addColumn<int>("errNumber");
    QTest::newRow("cancel, CancelError on") << 255 << true << cancel << name << "" << true << 0;
    // Without CancelError the name stays whole, whatever the buffer showed.
    QTest::newRow("cancel, CancelError off")
        << 255 << false << cancel << name << name << false << 0;
    QTest::newRow("fits with its NUL") << 11 << false << cancel << name << name << false << 0;
    QTest::newRow("cut to MaxFileSize-1")
        << 10 << false << cancel << "12-06-202" << name << false << 0;
    QTest::newRow("no room: not shown") << 0 << true << cancel << QString() << name << false << 0;
    QTest::newRow("path fills the buffer: NUL kept")
        << 12 << true << QStringList{"/d/log1.txt"} << name << "/d/log1.txt" + QString(QChar(0))
        << false << 0;
    QTest::newRow("path too long")
        << 12 << true << QStringList{"/d/log12.txt"} << name << "" << true << 20476;
    QTest::newRow("then accepted: CancelButton stays, error cleared")
        << 12 << true << QStringList{"/d/log12.txt", "/d/a.txt"} << name << "/d/a.txt" << true << 0;
}

void tst_searchlog::dialogAnswer() {
    QFETCH(int, maxFileSize);
    QFETCH(bool, cancelError);
    QFETCH(QStringList, answers);
    QFETCH(QString, proposed);
    cFakePlatform platform;
    for (const QString& answer : answers)
        platform.saveAnswers.enqueue(answer.isNull() ? std::nullopt : std::optional(answer));
    cCommonDlg dlg(platform);
    dlg.SetMaxFileSize(maxFileSize);
    dlg.SetFileName(QStringLiteral("12-06-2026"));
    dlg.SetCancelError(cancelError);
    dlg.SetAction(1); // stored, nothing shown
    QCOMPARE(dlg.Action(), qint16(1));
    for (qsizetype i = 0; i < answers.size(); ++i)
        dlg.SetAction(2); // the save dialog
    QCOMPARE(platform.saveRequests.size(), proposed.isNull() ? 0 : answers.size());
    QCOMPARE(platform.saveRequests.value(0).proposedName, proposed);
    QTEST(dlg.FileName(), "fileName");
    QTEST(dlg.CancelButton(), "cancelButton");
    QTEST(dlg.ErrNumber(), "errNumber");
}

void tst_searchlog::errDescription_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    const QString strNotLoaded = QStringLiteral("関数が指定したリソースをロードできません。");
    QTest::newRow("-32768") << -32768
                            << QStringLiteral("関数がダイアログ ボックスをロードできません。");
    QTest::newRow("20476") << 20476
                           << QStringLiteral("メンバ lpstrFile が指すバッファが小さすぎます。");
    QTest::newRow("32760") << 32760 << strNotLoaded;
    QTest::newRow("32761") << 32761 << strNotLoaded;
    // Compared as 32-bit numbers: 16-bit look-alikes are unknown.
    QTest::newRow("32768") << 32768 << QStringLiteral("未知のｴﾗｰです。");
}

void tst_searchlog::errDescription() {
    QFETCH(int, number);
    QTEST(cCommonDlg::ErrDescriptionFor(number), "text");
}

void tst_searchlog::savedFile_data() {
    QTest::addColumn<QString>("dbText");
    QTest::addColumn<bool>("replace"); // an older, longer file is there already
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("expected");
    // Shift_JIS, no BOM, CR LF, an empty last line.
    QTest::newRow("empty log as TXT")
        << DBText << false << QStringList() << "log.txt"
        << QByteArray::fromHex("32303034944e358c8e8cbb8ddd81694c756d69766f76312e33302044427665"
                               "7231303031816a0d0a0d0a");
    QTest::newRow("empty log as CSV, month not digits")
        << QStringLiteral("x2004ab01  1003\r\n") << false << QStringList() << "log.Csv"
        << Sjis("2004年不明月現在（Lumivov1.30 DBver1003）,\r\n対象電話番号,事業者名\r\n\r\n");
    QTest::newRow("three lines as TXT, longer file replaced whole")
        << DBText << true << SomeLines << "log.TXT"
        << Sjis(TxtHeader + SomeLines.join("\r\n") + "\r\n\r\n");
    QTest::newRow("three lines as CSV")
        << DBText << false << SomeLines << "log.csv"
        << Sjis(CsvHeader + "090-12345678,ドコモ関西\r\n090-1234XXXX,au関西\r\n"
                            "070-91234567,未使用or未確認\r\n\r\n");
    QTest::newRow("CSV: empty result, comma kept, short number, character outside the code page")
        << DBText << false
        << QStringList{"09012345678--->", "08011112222--->a,b\U0001F600", "0901234"} << "log.CSV"
        << Sjis(CsvHeader + "090-12345678,\r\n080-11112222,a,b?\r\n   - 0901234,\r\n\r\n");
    QTest::newRow("month 10") << QStringLiteral("x20041031  1002\r\n") << false << QStringList()
                              << "log.tXt"
                              << Sjis("2004年10月現在（Lumivov1.30 DBver1002）\r\n\r\n");
    QTest::newRow("month with a blank")
        << QStringLiteral("2005 701  2000ab") << false << QStringList() << "log.txt"
        << Sjis("2005年7月現在（Lumivov1.30 DBver2000）\r\n\r\n");
}

void tst_searchlog::savedFile() {
    QFETCH(QString, dbText);
    QFETCH(bool, replace);
    QFETCH(QStringList, lines);
    QFETCH(QString, name);
    QTemporaryDir tmp;
    if (replace)
        QVERIFY(WriteFile(tmp.filePath(name), QByteArray(4000, 'z')));
    cFakePlatform platform;
    platform.saveAnswers.enqueue(tmp.filePath(name));
    QObject logWindow;
    const QString strBefore = QDate::currentDate().toString(u"MM-dd-yyyy");
    QCOMPARE(modLogExport::SaveLogFile(platform, &logWindow, lines, DB(dbText)), 0);
    const QString strAfter = QDate::currentDate().toString(u"MM-dd-yyyy");
    QCOMPARE(platform.msgBoxes.size(), 0);
    const tSaveFileRequest& r = platform.saveRequests.value(0);
    QCOMPARE(r.owner, &logWindow);
    QCOMPARE(r.caption, QStringLiteral("ログファイルの保存"));
    QCOMPARE(r.fileTypes, ExportTypes);
    QVERIFY(r.proposedName == strBefore || r.proposedName == strAfter);
    QVERIFY(r.overwritePrompt && r.pathMustExist);
    QTEST(ReadAll(tmp.filePath(name)), "expected");
    QCOMPARE(Entries(tmp.path()), QStringList{name});
}

void tst_searchlog::refusedSave_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("setup");
    QTest::newRow("cancelled") << QStringLiteral("log.txt") << QStringLiteral("cancel");
    for (const char* name : {"a.text", "logtxt", "a", "a.csv.bak", "a.txt "})
        QTest::newRow(name) << name << "extension";
    QTest::newRow("folder gone") << QStringLiteral("gone/log.txt") << QString();
    QTest::newRow("target is a folder") << QStringLiteral("log.csv") << QStringLiteral("folder");
#ifdef Q_OS_UNIX // needs a file-size limit
    QTest::newRow("disk full: file kept") << QStringLiteral("log.txt") << QStringLiteral("full");
#endif
}

void tst_searchlog::refusedSave() {
    QFETCH(QString, name);
    QFETCH(QString, setup);
    QTemporaryDir tmp;
    const QString strPath = tmp.filePath(name);
    if (setup == u"folder")
        QVERIFY(QDir(tmp.path()).mkdir(name));
    if (setup == u"full")
        QVERIFY(WriteFile(strPath, "old log"));
    const QStringList before = Entries(tmp.path());
    cFakePlatform platform;
    if (setup != u"cancel")
        platform.saveAnswers.enqueue(strPath);
#ifdef Q_OS_UNIX
    // A file-size limit makes every write past 16 bytes fail, as a full disk does.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit limit{setup == u"full" ? 16 : old.rlim_cur, old.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
#endif
    const int result = modLogExport::SaveLogFile(platform, nullptr, SomeLines, DB());
#ifdef Q_OS_UNIX
    setrlimit(RLIMIT_FSIZE, &old);
#endif
    QCOMPARE(result, 1);
    QCOMPARE(Entries(tmp.path()), before);
    QCOMPARE(ReadAll(strPath), QByteArray(setup == u"full" ? "old log" : "<unreadable>"));
    QCOMPARE(platform.msgBoxes.size(), setup == u"cancel" ? 0 : 1);
    if (setup == u"cancel")
        return;
    const cFakePlatform::tMsgBoxCall& box = platform.msgBoxes[0];
    QCOMPARE(box.style, 16);
    if (setup == u"extension") {
        QCOMPARE(box.title, QStringLiteral("ファイル拡張子取得失敗"));
        QCOMPARE(box.prompt, QStringLiteral("ファイルの拡張子取得失敗。\r\n\r\nエラー内容：\r\n"
                                            "保存するファイルの拡張子を取得できませんでした。"));
        return;
    }
    QCOMPARE(box.title, QStringLiteral("ログファイル保存失敗"));
    const QString strStart = "ログファイルを保存できませんでした。\r\n\r\n保存先：" +
                             QDir::toNativeSeparators(strPath) + "\r\nエラー内容：\r\n";
    QVERIFY2(box.prompt.startsWith(strStart) && box.prompt.size() > strStart.size(),
             qPrintable(box.prompt));
}

QTEST_MAIN(tst_searchlog)
#include "tst_searchlog.moc"
