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

const QString Header = QStringLiteral("2004年5月現在（Lumivov1.30 DBver1001）");
const QStringList SomeLines = {QStringLiteral("09012345678--->ドコモ関西"),
                               QStringLiteral("0901234XXXX--->au関西"),
                               QStringLiteral("07091234567--->未使用or未確認")};

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
    void filterConversion_data();
    void filterConversion();
    void dialogAnswer_data();
    void dialogAnswer();
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
    QTest::newRow("empty pattern") << QString("A||B|*.b") << tTypes({{"A", ""}, {"B", "*.b"}}) << 1;
    QTest::newRow("|| ends the list") << QString("A|*.a||B|*.b") << tTypes({{"A", "*.a"}}) << 0;
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
    const QString name = QStringLiteral("12-06-2026"), none;
    QTest::addColumn<int>("maxFileSize");
    QTest::addColumn<bool>("cancelError");
    QTest::addColumn<QString>("answer"); // null: cancelled
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("cancelButton");
    QTest::addColumn<int>("errNumber");
    QTest::newRow("cancel, CancelError on") << 255 << true << none << name << "" << true << 0;
    // Without CancelError the name stays whole, whatever the buffer showed.
    QTest::newRow("cancel, CancelError off") << 255 << false << none << name << name << false << 0;
    QTest::newRow("MaxFileSize-1 kept") << 10 << false << none << "12-06-202" << name << false << 0;
    QTest::newRow("path too long") << 12 << true << "/d/log12.txt" << name << "" << true << 20476;
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
    dlg.SetAction(1); // stored, nothing shown
    QCOMPARE(platform.saveRequests.size(), 0);
    dlg.SetAction(2); // the save dialog
    QCOMPARE(platform.saveRequests.size(), 1);
    QTEST(platform.saveRequests[0].proposedName, "proposed");
    QTEST(dlg.FileName(), "fileName");
    QTEST(dlg.CancelButton(), "cancelButton");
    QTEST(dlg.ErrNumber(), "errNumber");
}

void tst_searchlog::errDescription() {
    QCOMPARE(cCommonDlg::ErrDescriptionFor(-32768),
             QStringLiteral("関数がダイアログ ボックスをロードできません。"));
    // Compared as 32-bit numbers: a 16-bit look-alike is unknown.
    QCOMPARE(cCommonDlg::ErrDescriptionFor(32768), QStringLiteral("未知のｴﾗｰです。"));
}

void tst_searchlog::savedFile_data() {
    QTest::addColumn<bool>("replace"); // an older, longer file is there already
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("expected");
    // Shift_JIS, no BOM, CR LF, an empty last line.
    QTest::newRow("empty log as TXT")
        << false << QStringList() << "log.txt"
        << QByteArray::fromHex("32303034944e358c8e8cbb8ddd81694c756d69766f76312e33302044427665"
                               "7231303031816a0d0a0d0a");
    QTest::newRow("three lines as TXT, longer file replaced whole")
        << true << SomeLines << "log.TXT"
        << Sjis(Header + "\r\n" + SomeLines.join("\r\n") + "\r\n\r\n");
    QTest::newRow("CSV: empty result, comma kept, short number, character outside the code page")
        << false
        << QStringList{"0901234XXXX--->au関西", "09012345678--->", "08011112222--->a,b\U0001F600",
                       "0901234"}
        << "log.Csv"
        << Sjis(Header + ",\r\n対象電話番号,事業者名\r\n090-1234XXXX,au関西\r\n"
                         "090-12345678,\r\n080-11112222,a,b?\r\n   - 0901234,\r\n\r\n");
}

void tst_searchlog::savedFile() {
    QFETCH(bool, replace);
    QFETCH(QStringList, lines);
    QFETCH(QString, name);
    QTemporaryDir tmp;
    if (replace)
        QVERIFY(WriteFile(tmp.filePath(name), QByteArray(4000, 'z')));
    cFakePlatform platform;
    platform.saveAnswers.enqueue(tmp.filePath(name));
    const QString strBefore = QDate::currentDate().toString(u"MM-dd-yyyy");
    QCOMPARE(modLogExport::SaveLogFile(platform, nullptr, lines, DB()), 0);
    const tSaveFileRequest& r = platform.saveRequests.value(0);
    QCOMPARE(r.caption, QStringLiteral("ログファイルの保存"));
    QCOMPARE(r.fileTypes, tTypes({{"テキストファイル (*.txt)", "*.txt"},
                                  {"CSVファイル (カンマ区切り)(*.csv)", "*.csv"}}));
    QVERIFY(r.proposedName == strBefore ||
            r.proposedName == QDate::currentDate().toString(u"MM-dd-yyyy"));
    QVERIFY(r.overwritePrompt && r.pathMustExist);
    QTEST(ReadAll(tmp.filePath(name)), "expected");
    QCOMPARE(Entries(tmp), QStringList{name});
}

void tst_searchlog::refusedSave_data() {
    QTest::addColumn<QString>("name");
    // "style|title|prompt" of the message box, %1 the path; a prompt ending in a line
    // break must go on with the error's text. Empty: cancelled, no box.
    QTest::addColumn<QString>("box");
    QTest::newRow("cancelled") << QStringLiteral("log.txt") << QString();
    const QString strExt =
        QStringLiteral("16|ファイル拡張子取得失敗|ファイルの拡張子取得失敗。\r\n\r\n"
                       "エラー内容：\r\n保存するファイルの拡張子を取得できませんでした。");
    for (const char* name : {"a.text", "logtxt", "a.csv.bak", "a.txt "})
        QTest::newRow(name) << name << strExt;
#ifdef Q_OS_UNIX // needs a file-size limit
    QTest::newRow("disk full: file kept")
        << QStringLiteral("log.txt")
        << QStringLiteral("16|ログファイル保存失敗|ログファイルを保存できませんでした。\r\n\r\n"
                          "保存先：%1\r\nエラー内容：\r\n");
#endif
}

void tst_searchlog::refusedSave() {
    QFETCH(QString, name);
    QFETCH(QString, box);
    QTemporaryDir tmp;
    const QString strPath = tmp.filePath(name);
    const bool blnFull = box.contains(u"%1");
    if (blnFull)
        QVERIFY(WriteFile(strPath, "old log"));
    cFakePlatform platform;
    if (!box.isEmpty())
        platform.saveAnswers.enqueue(strPath);
#ifdef Q_OS_UNIX
    // A file-size limit makes every write past 16 bytes fail, as a full disk does.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit limit{blnFull ? 16 : old.rlim_cur, old.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
#endif
    const int result = modLogExport::SaveLogFile(platform, nullptr, SomeLines, DB());
#ifdef Q_OS_UNIX
    setrlimit(RLIMIT_FSIZE, &old);
#endif
    QCOMPARE(result, 1);
    QCOMPARE(Entries(tmp), blnFull ? QStringList{name} : QStringList());
    QCOMPARE(ReadAll(strPath), QByteArray(blnFull ? "old log" : "<unreadable>"));
    QStringList shown;
    for (const cFakePlatform::tMsgBoxCall& b : platform.msgBoxes)
        shown << QString::number(int(b.style)) + u'|' + b.title + u'|' + b.prompt;
    QCOMPARE(shown.size(), box.isEmpty() ? 0 : 1);
    const QString strExpected = QString(box).replace("%1", QDir::toNativeSeparators(strPath));
    QCOMPARE(shown.value(0).left(strExpected.size()), strExpected);
    QCOMPARE(shown.value(0).size() > strExpected.size(), strExpected.endsWith(u'\n'));
}

QTEST_MAIN(tst_searchlog)
#include "tst_searchlog.moc"
