#include "lookup/cNumberDB.h"
#include "platform/cFakePlatform.h"
#include "searchlog/cCommonDlg.h"
#include "searchlog/modLogExport.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using tTypes = QList<std::pair<QString, QString>>;

namespace {

const QChar Nul(u'\0');
const QString ExportFilter =
    QStringLiteral("テキストファイル (*.txt)|*.txt|CSVファイル (カンマ区切り)(*.csv)|*.csv");
const QString ExtensionMessage = QStringLiteral("ファイルの拡張子取得失敗。\r\n\r\nエラー内容：\r\n"
                                                "保存するファイルの拡張子を取得できませんでした。");
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

#ifdef Q_OS_UNIX
// Makes every write past a few bytes fail, as a full disk does, while it lives.
class tFileSizeLimit {
public:
    tFileSizeLimit() {
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit small = m_old;
        small.rlim_cur = 16;
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~tFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};
#endif

} // namespace

class tst_searchlog : public QObject {
    Q_OBJECT

private slots:
    void dialogStartsWithItsInitialValues();
    void filterConversion_data();
    void filterConversion();
    void requestFields_data();
    void requestFields();
    void proposedName_data();
    void proposedName();
    void dialogAnswer_data();
    void dialogAnswer();
    void laterCallKeepsCancelButtonButClearsErrNumber();
    void action_data();
    void action();
    void errDescription_data();
    void errDescription();

    void headerFields_data();
    void headerFields();
    void buildLogFile_data();
    void buildLogFile();
    void headerIsShiftJisWithoutBom();
    void savedFileBytes_data();
    void savedFileBytes();
    void saveAsksWithTheLogDialogSettings();
    void extensionRules_data();
    void extensionRules();
    void writeFailures_data();
    void writeFailures();
};

void tst_searchlog::dialogStartsWithItsInitialValues() {
    const QString strStartDir = QDir::currentPath();
    cFakePlatform platform;
    cCommonDlg dlg(platform);
    QCOMPARE(dlg.Filter(), QString());
    QCOMPARE(dlg.FileName(), QString());
    QCOMPARE(dlg.FileTitle(), QString(254, u' '));
    QCOMPARE(dlg.Form(), nullptr);
    QCOMPARE(dlg.CancelError(), false);
    QCOMPARE(dlg.CancelButton(), false);
    QCOMPARE(dlg.Action(), qint16(0));
    QCOMPARE(dlg.ErrNumber(), 0);

    // The folder is the one current when the dialog was made, not when it is shown.
    QTemporaryDir tmp;
    QVERIFY(QDir::setCurrent(tmp.path()));
    dlg.ShowSave();
    QVERIFY(QDir::setCurrent(strStartDir));

    QCOMPARE(platform.saveRequests.size(), 1);
    const tSaveFileRequest& r = platform.saveRequests[0];
    QCOMPARE(r.caption, QStringLiteral("Open File"));
    QCOMPARE(r.fileTypes, tTypes({{QStringLiteral("All Files (*.*)"), QStringLiteral("*.*")}}));
    QCOMPARE(r.selectedType, 0);
    QCOMPARE(r.initialDir, strStartDir);
    QCOMPARE(r.proposedName, QString());
    QCOMPARE(r.defaultExt, QString());
    QCOMPARE(r.overwritePrompt, false);
    QCOMPARE(r.pathMustExist, false);
    QCOMPARE(r.owner, nullptr);
}

void tst_searchlog::filterConversion_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<tTypes>("types");
    QTest::newRow("empty: no types") << QString() << tTypes();
    QTest::newRow("no bar") << QStringLiteral("Text") << tTypes({{QStringLiteral("Text"), ""}});
    QTest::newRow("ends in a bar")
        << QStringLiteral("Text|") << tTypes({{QStringLiteral("Text"), ""}});
    QTest::newRow("export's filter")
        << ExportFilter
        << tTypes({{QStringLiteral("テキストファイル (*.txt)"), QStringLiteral("*.txt")},
                   {QStringLiteral("CSVファイル (カンマ区切り)(*.csv)"), QStringLiteral("*.csv")}});
    QTest::newRow("empty pattern inside")
        << QStringLiteral("A||B|*.b")
        << tTypes({{QStringLiteral("A"), ""}, {QStringLiteral("B"), QStringLiteral("*.b")}});
    QTest::newRow("double bar ends the list")
        << QStringLiteral("A|*.a||B|*.b") << tTypes({{QStringLiteral("A"), QStringLiteral("*.a")}});
}

void tst_searchlog::filterConversion() {
    QFETCH(QString, filter);
    QFETCH(tTypes, types);
    cFakePlatform platform;
    cCommonDlg dlg(platform);
    dlg.SetFilter(filter);
    dlg.ShowSave();
    QCOMPARE(dlg.Filter(), filter);
    QCOMPARE(platform.saveRequests.value(0).fileTypes, types);
}

void tst_searchlog::requestFields_data() {
    QTest::addColumn<int>("filterIndex");
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("selectedType");
    QTest::addColumn<bool>("overwritePrompt");
    QTest::addColumn<bool>("pathMustExist");
    QTest::newRow("index 0, export's flags") << 0 << 2623494 << 0 << true << true;
    QTest::newRow("index 1, overwrite bit") << 1 << 2 << 0 << true << false;
    QTest::newRow("index 2, path bit") << 2 << 2048 << 1 << false << true;
    QTest::newRow("index past the end, look-only bits") << 3 << (4 | 524288) << 0 << false << false;
    QTest::newRow("negative index") << -1 << 0 << 0 << false << false;
}

void tst_searchlog::requestFields() {
    QFETCH(int, filterIndex);
    QFETCH(int, flags);
    cFakePlatform platform;
    QObject owner;
    cCommonDlg dlg(platform);
    dlg.SetForm(&owner);
    dlg.SetFilter(ExportFilter);
    dlg.SetFilterIndex(qint16(filterIndex));
    dlg.SetFlags(flags);
    dlg.SetDialogTitle(QStringLiteral("保存"));
    dlg.SetInitDir(QStringLiteral("/srv/logs"));
    dlg.SetDefaultExt(QStringLiteral("txt"));
    dlg.ShowSave();
    QCOMPARE(platform.saveRequests.size(), 1);
    const tSaveFileRequest& r = platform.saveRequests[0];
    QTEST(r.selectedType, "selectedType");
    QTEST(r.overwritePrompt, "overwritePrompt");
    QTEST(r.pathMustExist, "pathMustExist");
    QCOMPARE(r.owner, &owner);
    QCOMPARE(r.caption, QStringLiteral("保存"));
    QCOMPARE(r.initialDir, QStringLiteral("/srv/logs"));
    QCOMPARE(r.defaultExt, QStringLiteral("txt"));
}

void tst_searchlog::proposedName_data() {
    QTest::addColumn<int>("maxFileSize");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("proposed");
    QTest::newRow("300 characters cut to 254")
        << 255 << QString(300, u'a') << true << QString(254, u'a');
    QTest::newRow("fits with its NUL")
        << 11 << QStringLiteral("12-06-2026") << true << QStringLiteral("12-06-2026");
    QTest::newRow("one too long") << 10 << QStringLiteral("12-06-2026") << true
                                  << QStringLiteral("12-06-202");
    QTest::newRow("read up to a NUL")
        << 255 << (QStringLiteral("a") + Nul + u'b') << true << QStringLiteral("a");
    QTest::newRow("room for the NUL only") << 1 << QStringLiteral("abc") << true << QString();
    QTest::newRow("no room: nothing shown") << 0 << QStringLiteral("abc") << false << QString();
    QTest::newRow("negative: nothing shown") << -5 << QStringLiteral("abc") << false << QString();
}

void tst_searchlog::proposedName() {
    QFETCH(int, maxFileSize);
    QFETCH(QString, fileName);
    QFETCH(bool, shown);
    cFakePlatform platform;
    cCommonDlg dlg(platform);
    dlg.SetMaxFileSize(maxFileSize);
    dlg.SetFileName(fileName);
    dlg.ShowSave();
    QCOMPARE(platform.saveRequests.size(), shown ? 1 : 0);
    if (shown)
        QTEST(platform.saveRequests[0].proposedName, "proposed");
    // Cancelled without CancelError: the name stays whole, whatever the buffer showed.
    QCOMPARE(dlg.FileName(), fileName);
    QCOMPARE(dlg.Action(), qint16(2));
}

void tst_searchlog::dialogAnswer_data() {
    const QString sp(254, u' ');
    const QString name = QStringLiteral("12-06-2026");
    QTest::addColumn<int>("maxFileSize");
    QTest::addColumn<bool>("cancelError");
    QTest::addColumn<QString>("fileTitle");
    QTest::addColumn<QString>("answer"); // null: cancelled
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("fileTitleAfter");
    QTest::addColumn<bool>("cancelButton");
    QTest::addColumn<int>("errNumber");
    QTest::newRow("cancelled, CancelError on")
        << 255 << true << sp << QString() << QString() << sp << true << 0;
    QTest::newRow("cancelled, CancelError off")
        << 255 << false << sp << QString() << name << sp << false << 0;
    QTest::newRow("title keeps the buffer's NULs") << 255 << true << sp << "/d/log.txt"
                                                   << "/d/log.txt"
                                                   << "log.txt" + QString(248, Nul) << false << 0;
    QTest::newRow("title's leading spaces trimmed") << 255 << true << sp << "/d/  log.txt"
                                                    << "/d/  log.txt"
                                                    << "log.txt" + QString(246, Nul) << false << 0;
    QTest::newRow("title cut to its buffer") << 255 << true << QStringLiteral("abc") << "/d/log.txt"
                                             << "/d/log.txt"
                                             << "log" + QString(Nul) << false << 0;
    QTest::newRow("path one short of the buffer") << 12 << true << sp << "/d/log.txt"
                                                  << "/d/log.txt"
                                                  << "log.txt" + QString(248, Nul) << false << 0;
    QTest::newRow("path fills the buffer: NUL kept, title untouched")
        << 12 << true << sp << "/d/log1.txt"
        << "/d/log1.txt" + QString(Nul) << sp << false << 0;
    QTest::newRow("path too long, CancelError on")
        << 12 << true << sp << "/d/log12.txt" << QString() << sp << true << 20476;
    QTest::newRow("path too long, CancelError off")
        << 12 << false << sp << "/d/log12.txt" << name << sp << false << 20476;
}

void tst_searchlog::dialogAnswer() {
    QFETCH(int, maxFileSize);
    QFETCH(bool, cancelError);
    QFETCH(QString, fileTitle);
    QFETCH(QString, answer);
    QFETCH(int, errNumber);
    cFakePlatform platform;
    if (!answer.isNull())
        platform.saveAnswers.enqueue(answer);
    cCommonDlg dlg(platform);
    dlg.SetMaxFileSize(maxFileSize);
    dlg.SetFileTitle(fileTitle);
    dlg.SetFileName(QStringLiteral("12-06-2026"));
    dlg.SetCancelError(cancelError);
    dlg.ShowSave();
    QCOMPARE(platform.saveRequests.size(), 1);
    QTEST(dlg.FileName(), "fileName");
    QTEST(dlg.FileTitle(), "fileTitleAfter");
    QTEST(dlg.CancelButton(), "cancelButton");
    QCOMPARE(dlg.ErrNumber(), errNumber);
    QCOMPARE(dlg.ErrDescription(), cCommonDlg::ErrDescriptionFor(errNumber));
}

void tst_searchlog::laterCallKeepsCancelButtonButClearsErrNumber() {
    cFakePlatform platform;
    platform.saveAnswers.enqueue(QStringLiteral("/d/log12.txt"));
    platform.saveAnswers.enqueue(QStringLiteral("/d/a.txt"));
    cCommonDlg dlg(platform);
    dlg.SetMaxFileSize(12);
    dlg.SetCancelError(true);
    dlg.ShowSave();
    QCOMPARE(dlg.CancelButton(), true);
    QCOMPARE(dlg.ErrNumber(), cCommonDlg::ErrBufferTooSmall);
    dlg.ShowSave();
    QCOMPARE(dlg.FileName(), QStringLiteral("/d/a.txt"));
    QCOMPARE(dlg.CancelButton(), true);
    QCOMPARE(dlg.ErrNumber(), 0);
}

void tst_searchlog::action_data() {
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("shown");
    QTest::newRow("1: stored, nothing shown") << 1 << false;
    QTest::newRow("2: save dialog") << 2 << true;
    QTest::newRow("0: stored, nothing shown") << 0 << false;
}

void tst_searchlog::action() {
    QFETCH(int, action);
    QFETCH(bool, shown);
    cFakePlatform platform;
    cCommonDlg dlg(platform);
    dlg.SetAction(qint16(action));
    QCOMPARE(dlg.Action(), qint16(action));
    QCOMPARE(platform.saveRequests.size(), shown ? 1 : 0);
    dlg.ShowSave();
    QCOMPARE(dlg.Action(), qint16(2));
    QCOMPARE(platform.saveRequests.size(), shown ? 2 : 1);
}

void tst_searchlog::errDescription_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    const QList<std::pair<int, const char16_t*>> table = {
        {-32768, u"関数がダイアログ ボックスをロードできません。"},
        {20476, u"メンバ lpstrFile が指すバッファが小さすぎます。"},
        {28662,
         u"DevMode データ構造と DevNames データ構造のデータが異なるプリンタを指しています。"},
        {32755, u"[キャンセル] ボタンが選択されました。"},
        {32760, u"関数が指定したリソースをロードできません。"},
        {32761, u"関数が指定したリソースをロードできません。"},
        {32765, u"関数を初期化できません。"},
        // Compared as 32-bit numbers: 16-bit look-alikes are unknown.
        {32768, u"未知のｴﾗｰです。"},
        {0x14FFC, u"未知のｴﾗｰです。"},
        {0, u"未知のｴﾗｰです。"},
        {32756, u"未知のｴﾗｰです。"},
    };
    for (const auto& [number, text] : table)
        QTest::addRow("%d", number) << number << QString::fromUtf16(text);
}

void tst_searchlog::errDescription() {
    QFETCH(int, number);
    QTEST(cCommonDlg::ErrDescriptionFor(number), "text");
}

void tst_searchlog::headerFields_data() {
    QTest::addColumn<QString>("dbText");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("version");
    QTest::newRow("month 05") << DBText << "2004"
                              << "5"
                              << "1001";
    QTest::newRow("month 10") << QStringLiteral("x20041031  1002\r\n") << "2004"
                              << "10"
                              << "1002";
    QTest::newRow("month with a blank") << QStringLiteral("2005 701  2000ab") << "2005"
                                        << "7"
                                        << "2000";
    QTest::newRow("month not digits") << QStringLiteral("x2004ab01  1003\r\n") << "2004"
                                      << "不明"
                                      << "1003";
    QTest::newRow("text shorter than the tail") << QStringLiteral("2004") << "2004"
                                                << "不明"
                                                << "";
    QTest::newRow("no database text") << QString() << ""
                                      << "不明"
                                      << "";
}

void tst_searchlog::headerFields() {
    QFETCH(QString, dbText);
    const cNumberDB db = DB(dbText);
    QTEST(modLogExport::GetDBYear(db), "year");
    QTEST(modLogExport::GetDBMonth(db), "month");
    QTEST(modLogExport::GetDBVersion(db), "version");
}

void tst_searchlog::buildLogFile_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("csv");
    QTest::addColumn<QString>("expected");
    QTest::newRow("CSV: X-filled number, empty result, comma kept")
        << QStringList{"0901234XXXX--->au関西", "09012345678--->", "08011112222--->a,b"} << true
        << CsvHeader +
               QStringLiteral("090-1234XXXX,au関西\r\n090-12345678,\r\n080-11112222,a,b\r\n\r\n");
    QTest::newRow("CSV: short line fills from the right")
        << QStringList{"0901234"} << true << CsvHeader + QStringLiteral("   - 0901234,\r\n\r\n");
    QTest::newRow("character outside the code page")
        << QStringList{QStringLiteral("09012345678--->a\U0001F600b")} << false
        << TxtHeader + QStringLiteral("09012345678--->a?b\r\n\r\n");
}

void tst_searchlog::buildLogFile() {
    QFETCH(QStringList, lines);
    QFETCH(bool, csv);
    QFETCH(QString, expected);
    QCOMPARE(modLogExport::BuildLogFile(lines, DB(), csv), Sjis(expected));
}

void tst_searchlog::headerIsShiftJisWithoutBom() {
    // 2004年5月現在（Lumivov1.30 DBver1001）, CR LF, CR LF in Shift_JIS.
    QCOMPARE(modLogExport::BuildLogFile({}, DB(), false),
             QByteArray::fromHex("32303034944e358c8e8cbb8ddd81694c756d69766f76312e33302044427665"
                                 "7231303031816a0d0a0d0a"));
}

void tst_searchlog::savedFileBytes_data() {
    const QString strThreeTxt = TxtHeader + SomeLines.join("\r\n") + "\r\n\r\n";
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty log as TXT")
        << QByteArray() << QStringList() << "log.txt" << TxtHeader + "\r\n";
    QTest::newRow("empty log as CSV")
        << QByteArray() << QStringList() << "log.csv" << CsvHeader + "\r\n";
    QTest::newRow("three lines as TXT") << QByteArray() << SomeLines << "log.txt" << strThreeTxt;
    QTest::newRow("three lines as CSV")
        << QByteArray() << SomeLines << "log.csv"
        << CsvHeader + QStringLiteral("090-12345678,ドコモ関西\r\n090-1234XXXX,au関西\r\n"
                                      "070-91234567,未使用or未確認\r\n\r\n");
    QTest::newRow("longer file replaced whole")
        << QByteArray(4000, 'z') << SomeLines << "log.txt" << strThreeTxt;
}

void tst_searchlog::savedFileBytes() {
    QFETCH(QByteArray, existing);
    QFETCH(QStringList, lines);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QTemporaryDir tmp;
    if (!existing.isEmpty())
        QVERIFY(WriteFile(tmp.filePath(name), existing));
    cFakePlatform platform;
    platform.saveAnswers.enqueue(tmp.filePath(name));
    QCOMPARE(modLogExport::SaveLogFile(platform, nullptr, lines, DB()), 0);
    QCOMPARE(platform.msgBoxes.size(), 0);
    QCOMPARE(ReadAll(tmp.filePath(name)), Sjis(expected));
    QCOMPARE(Entries(tmp.path()), QStringList{name});
}

void tst_searchlog::saveAsksWithTheLogDialogSettings() {
    cFakePlatform platform;
    QObject logWindow;
    const QString strBefore = QDate::currentDate().toString(u"MM-dd-yyyy");
    QCOMPARE(modLogExport::SaveLogFile(platform, &logWindow, SomeLines, DB()), 1);
    const QString strAfter = QDate::currentDate().toString(u"MM-dd-yyyy");
    QCOMPARE(platform.msgBoxes.size(), 0);
    QCOMPARE(platform.saveRequests.size(), 1);
    const tSaveFileRequest& r = platform.saveRequests[0];
    QCOMPARE(r.owner, &logWindow);
    QCOMPARE(r.caption, QStringLiteral("ログファイルの保存"));
    QCOMPARE(
        r.fileTypes,
        tTypes({{QStringLiteral("テキストファイル (*.txt)"), QStringLiteral("*.txt")},
                {QStringLiteral("CSVファイル (カンマ区切り)(*.csv)"), QStringLiteral("*.csv")}}));
    QCOMPARE(r.selectedType, 0);
    QVERIFY2(r.proposedName == strBefore || r.proposedName == strAfter, qPrintable(r.proposedName));
    QCOMPARE(r.initialDir, QDir::currentPath());
    QCOMPARE(r.defaultExt, QString());
    QCOMPARE(r.overwritePrompt, true);
    QCOMPARE(r.pathMustExist, true);
}

void tst_searchlog::extensionRules_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    for (const char* name : {"a.txt", "a.TXT", "a.tXt"})
        QTest::newRow(name) << name << "txt";
    for (const char* name : {"a.csv", "a.CSV", "a.Csv"})
        QTest::newRow(name) << name << "csv";
    for (const char* name : {"a.text", "a.tx", "a", "a.csv.bak", "a.txt "})
        QTest::newRow(name) << name << "";
}

void tst_searchlog::extensionRules() {
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QTemporaryDir tmp;
    cFakePlatform platform;
    platform.saveAnswers.enqueue(tmp.filePath(name));
    const int result = modLogExport::SaveLogFile(platform, nullptr, {}, DB());
    if (kind.isEmpty()) {
        QCOMPARE(result, 1);
        QCOMPARE(platform.msgBoxes.size(), 1);
        QCOMPARE(platform.msgBoxes[0].prompt, ExtensionMessage);
        QCOMPARE(platform.msgBoxes[0].style, 16);
        QCOMPARE(platform.msgBoxes[0].title, QStringLiteral("ファイル拡張子取得失敗"));
        QCOMPARE(Entries(tmp.path()), QStringList());
    } else {
        QCOMPARE(result, 0);
        QCOMPARE(platform.msgBoxes.size(), 0);
        QCOMPARE(ReadAll(tmp.filePath(name)),
                 Sjis((kind == u"csv" ? CsvHeader : TxtHeader) + "\r\n"));
    }
}

void tst_searchlog::writeFailures_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("setup");
    QTest::newRow("folder gone") << "gone/log.txt"
                                 << "";
    QTest::newRow("target is a folder") << "log.csv"
                                        << "folder";
    QTest::newRow("read-only file") << "log.txt"
                                    << "read-only";
    QTest::newRow("disk full") << "log.csv"
                               << "size limit";
}

void tst_searchlog::writeFailures() {
    QFETCH(QString, name);
    QFETCH(QString, setup);
    QTemporaryDir tmp;
    const QString strPath = tmp.filePath(name);
    if (setup == u"folder")
        QVERIFY(QDir(tmp.path()).mkdir(name));
    const bool blnExisting = setup == u"read-only" || setup == u"size limit";
    if (blnExisting)
        QVERIFY(WriteFile(strPath, "old log"));
    if (setup == u"read-only") {
        QVERIFY(QFile::setPermissions(strPath, QFile::ReadOwner));
        if (QFileInfo(strPath).isWritable())
            QSKIP("this user may write read-only files");
    }
    const QStringList before = Entries(tmp.path());
    cFakePlatform platform;
    platform.saveAnswers.enqueue(strPath);
    int result = -1;
    if (setup == u"size limit") {
#ifdef Q_OS_UNIX
        tFileSizeLimit limit;
        result = modLogExport::SaveLogFile(platform, nullptr, SomeLines, DB());
#else
        QSKIP("needs a file-size limit");
#endif
    } else {
        result = modLogExport::SaveLogFile(platform, nullptr, SomeLines, DB());
    }

    QCOMPARE(result, 1);
    QCOMPARE(platform.msgBoxes.size(), 1);
    QCOMPARE(platform.msgBoxes[0].style, 16);
    QCOMPARE(platform.msgBoxes[0].title, QStringLiteral("ログファイル保存失敗"));
    const QString strStart =
        QStringLiteral("ログファイルを保存できませんでした。\r\n\r\n保存先：") +
        QDir::toNativeSeparators(strPath) + QStringLiteral("\r\nエラー内容：\r\n");
    const QString& prompt = platform.msgBoxes[0].prompt;
    QVERIFY2(prompt.startsWith(strStart) && prompt.size() > strStart.size(), qPrintable(prompt));
    QCOMPARE(Entries(tmp.path()), before);
    QCOMPARE(QFileInfo(strPath).isDir(), setup == u"folder");
    if (blnExisting)
        QCOMPARE(ReadAll(strPath), QByteArray("old log"));
}

QTEST_MAIN(tst_searchlog)
#include "tst_searchlog.moc"
