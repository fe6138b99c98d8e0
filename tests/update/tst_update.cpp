#include "cLoopbackServer.h"
#include "lookup/DecryptAUCG.h"
#include "lookup/cDBBuilder.h"
#include "lookup/cNumberDB.h"
#include "lookup/modSearch.h"
#include "platform/cFakePlatform.h"
#include "update/frmAbout.h"
#include "update/ucrAsync.h"

#include <QLabel>
#include <QNetworkProxy>
#include <QPushButton>
#include <QtTest>

namespace {

const QString VersionPath = QStringLiteral("/download/latestver.txt");
const QString Checking = QStringLiteral("○番号検索データベースの最新版をチェックしています。");
const QString Downloading = QStringLiteral("○最新の番号検索データベースをダウンロード中です。");
const QString Updated = QStringLiteral("OK 最新のデータベースに更新しました。");
const QString ConnectionLost =
    QStringLiteral("ネット接続が切断されました。\r\n現在ご利用のPCがオフラインモード。または、"
                   "データベースサーバーがメンテナンス中です。\r\nデータベースサーバーの状態は、"
                   "作者ウェブページでお知らせしています。");
const QColor Orange(255, 128, 0);

// The old database says 090123 is C100; every new one says C101.
QByteArray DBBytes(const QString& strVersion, const QString& strCode = QStringLiteral("C101"),
                   const QString& strDate = QStringLiteral("20261206")) {
    cDBBuilder builder;
    builder.AddEntry(QStringLiteral("090123"), strCode);
    builder.AddEntry(QStringLiteral("080456"), QStringLiteral("C109"));
    return QStringEncoder("windows-31j").encode(builder.BuildText(strDate, strVersion).value());
}
QByteArray OldDB() {
    return DBBytes(QStringLiteral("1000"), QStringLiteral("C100"), "20040115");
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

const QString NewDBPath = QStringLiteral("/download/db1001.dat");

// One run of the update: the local database's version, the version text (%1 the
// loopback server), how the new database is served, whether moving the download
// onto db.dat fails, and what the window ends with.
struct tCase {
    QString local;
    QString version;
    cLoopbackServer::tResponse db;
    bool failInstall;
    QString status;
    QString box = {}; // "style|title|text" of the one message box, if any
    int beeps = 1;
    bool fetchesDB = false;
};

// Fails the move of the download onto db.dat, after db.dat went to the backup.
class tFaultyAbout : public frmAbout {
public:
    using frmAbout::frmAbout;
    bool failInstall = false;

protected:
    bool RenameFile(const QString& from, const QString& to) override {
        return !(failInstall && from.endsWith(u".t") && to.endsWith(u"db.dat")) &&
               frmAbout::RenameFile(from, to);
    }
};

// A program folder with db.dat, the database loaded from it, the main window's
// stand-in and an About window whose version file comes from the loopback server.
struct tRig {
    QTemporaryDir dir;
    cFakePlatform platform;
    cNumberDB db;
    cLoopbackServer server;
    QWidget owner;
    int loads = 0;
    std::unique_ptr<tFaultyAbout> about;

    explicit tRig(const QByteArray& localDB = OldDB()) {
        WriteFile(DBPath(), localDB);
        db.LoadDB(DBPath());
        server.Start();
        about = std::make_unique<tFaultyAbout>(platform, db, dir.path(), &owner, [this] {
            db.LoadDB(DBPath());
            ++loads;
        });
        Async()->SetHost(server.HostPort());
    }
    QString DBPath() const { return dir.filePath(QStringLiteral("db.dat")); }
    QStringList OtherFiles() const {
        return QDir(dir.path())
            .entryList(QDir::Files | QDir::Hidden)
            .filter(QRegularExpression("^(?!db\\.dat$)"));
    }
    template <class T = QLabel> T* Child(const char* name) const {
        return about->findChild<T*>(QLatin1String(name));
    }
    QLabel* Status() const { return Child("lblConnectionStatus"); }
    QColor StatusColour() const { return Status()->palette().color(QPalette::WindowText); }
    ucrAsync* Async() const { return Child<ucrAsync>("ucrAsync"); }
    QTimer* Propose() const { return Child<QTimer>("tmrPropose"); }
    void ServeVersion(const QString& strPlain) {
        server.Route(VersionPath, {200, DecryptAUCG::EncodeText(strPlain, 17)->toLatin1()});
    }
};

} // namespace

Q_DECLARE_METATYPE(tCase)

class tst_update : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void windowAtLoad();
    void update_data();
    void update();
    void closingCancelsTheRead();
    void completionFollowsCurrentMarker();
    void startFailureMessages();
};

void tst_update::initTestCase() {
    // Straight to the loopback server, whatever the environment says about proxies.
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void tst_update::windowAtLoad() {
    tRig rig;
    frmAbout& about = *rig.about;
    // The status line lies below the client area until an update starts.
    QVERIFY(rig.Status()->y() >= about.height());

    // cmdUpdate holds the focus, and Esc starts the update instead of closing.
    about.show();
    QVERIFY(QTest::qWaitForWindowActive(&about));
    QCOMPARE(about.focusWidget(), rig.Child<QPushButton>("cmdUpdate"));
    QTest::keyClick(about.focusWidget(), Qt::Key_Escape);
    QTRY_COMPARE(rig.server.RequestedPaths(), QStringList(VersionPath));
    QVERIFY(about.isVisible());
    QVERIFY(rig.server.requests[0].contains("Cache-Control: no-cache\r\n"));
}

void tst_update::update_data() {
    QTest::addColumn<tCase>("c");
    const QByteArray newDB = DBBytes("1001");
    // The location follows the last "!" and drops the text's last character.
    const QString ok = "130 1001 new!numbers!%1" + NewDBPath + "?";
    const QString failedRead = "64|接続できませんでした。|" + ConnectionLost;
    const QString software = "0||このバージョンのLumivoは自動更新できません。\r\n"
                             "最新版をダウンロードしてください。";
    const QString notDB = "0||ダウンロードしたファイルは番号検索データベースではありません。"
                          "\r\nデータベースは更新していません。";
    const QString tooLarge = "0||ファイルが大きすぎるため、読み込みを中止しました。\r\n"
                             "(上限 268435456 Bytes)";
    const QString swapFailed = "16||データベースを更新できませんでした。\r\nファイルの名前の変更"
                               "または削除ができませんでした。\r\nこれまでのデータベースをその"
                               "まま使用します。";

    // clang-format off
    QTest::newRow("newer") << tCase{"1000", ok, {200, newDB}, false, Updated, {}, 1, true};
    QTest::newRow("same") << tCase{"1001", ok, {}, false, "○現在ご使用中のデータベースが最新です。"};
    QTest::newRow("lower") << tCase{"1002", ok, {}, false, "△ローカルデータベースがより最新です。"};
    QTest::newRow("software differs") << tCase{"1000", "131 1001 x!%1/x ", {}, false, "NG ソフトウェアの最新版をダウンロードしてください。", software, 0};
    QTest::newRow("no !") << tCase{"1000", "130 1001 no mark", {}, false, "NG 最新版の情報を読み取れませんでした。"};
    QTest::newRow("404") << tCase{"1000", ok, {404, newDB}, false, "", failedRead, 0, true};
    QTest::newRow("body cut short") << tCase{"1000", ok, {200, newDB.left(40), newDB.size()}, false, Downloading + QString("40 of %1 Bytes").arg(newDB.size()), "0||バイトエラー", 0, true};
    QTest::newRow("not a database") << tCase{"1000", ok, {200, "<html>sorry</html>"}, false, Downloading + "18 of 18 Bytes", notDB, 0, true};
    // A size beyond the bound is announced, never sent.
    QTest::newRow("over 256 MiB") << tCase{"1000", ok, {200, "x", 300LL << 20, 1}, false, "", tooLarge, 0, true};
    QTest::newRow("download not moved onto db.dat") << tCase{"1000", ok, {200, newDB}, true, "NG データベースを更新できませんでした。", swapFailed, 0, true};
    // clang-format on
}

void tst_update::update() {
    QFETCH(tCase, c);
    const QByteArray localDB = DBBytes(c.local, QStringLiteral("C100"), QStringLiteral("20040115"));
    tRig rig(localDB);
    rig.about->failInstall = c.failInstall;
    rig.ServeVersion(QString(c.version).replace("%1", rig.server.HostPort()));
    rig.server.Route(NewDBPath, c.db);
    QSignalSpy errors(rig.Async(), &ucrAsync::DownloadError);
    QSignalSpy progress(rig.Async(), &ucrAsync::DownloadProgress);

    rig.Child<QPushButton>("cmdUpdate")->click();
    QCOMPARE(rig.Status()->text(), Checking);
    QCOMPARE(rig.StatusColour(), frmAbout::ButtonTextColour());
    QCOMPARE(rig.about->HeightTwips(), 3630);
    QVERIFY(rig.Status()->geometry().bottom() < rig.about->height());

    const int boxes = c.box.isEmpty() ? 0 : 1;
    QTRY_VERIFY(rig.platform.msgBoxes.size() == boxes && rig.Status()->text() == c.status);
    if (boxes) {
        const auto& shown = rig.platform.msgBoxes.first();
        QCOMPARE(QString::number(int(shown.style)) + u'|' + shown.title + u'|' + shown.prompt, c.box);
    }
    QCOMPARE(rig.platform.beeps, c.beeps);
    QCOMPARE(rig.server.RequestedPaths(),
             QStringList({VersionPath, NewDBPath}).mid(0, c.fetchesDB ? 2 : 1));
    QCOMPARE(rig.OtherFiles(), QStringList());
    QCOMPARE(rig.StatusColour(), c.status.isEmpty() ? frmAbout::ButtonTextColour() : Orange);
    QCOMPARE(errors.size(), c.box.contains(ConnectionLost) ? 1 : 0);
    for (const auto& args : progress)
        QCOMPARE(args[1].toLongLong(),
                 c.db.contentLength >= 0 ? c.db.contentLength : c.db.body.size());

    const bool installed = c.status == Updated;
    QCOMPARE(ReadFile(rig.DBPath()), installed ? c.db.body : localDB);
    QCOMPARE(rig.loads, installed ? 1 : 0);
    QCOMPARE(modSearch::SearchCarrierCode(rig.db, "09012345678"), installed ? "C101" : "C100");
    QCOMPARE(rig.Child("lblVersion(0)")->text(), rig.about->GetVersionText());
    QVERIFY(rig.about->GetVersionText().endsWith(installed ? "2026/12/06" : "2004/01/15"));

    // A failed read folds the window at once and stops the timer; otherwise the timer folds it.
    const bool failedRead = c.status.isEmpty();
    QCOMPARE(rig.about->HeightTwips(), failedRead ? 3240 : 3630);
    QCOMPARE(rig.Propose()->isActive(), !failedRead);
    QMetaObject::invokeMethod(rig.Propose(), "timeout");
    QCOMPARE(rig.about->HeightTwips(), 3240);
    QVERIFY(!rig.Propose()->isActive());
}

void tst_update::closingCancelsTheRead() {
    tRig rig;
    rig.ServeVersion("130 1001 x!" + rig.server.HostPort() + "/db ");
    rig.server.Route("/db", {200, DBBytes("1001"), -1, 10});
    rig.Child<QPushButton>("cmdUpdate")->click();
    QTRY_COMPARE(rig.server.Held(), 1);

    rig.Child<QPushButton>("cmdOK")->click();
    QCOMPARE(rig.Async()->ReadsUnderWay(), 0);
    // The server sees the connection dropped, and the window hears nothing more.
    QTRY_COMPARE(rig.server.Held(), 0);
    QCOMPARE(rig.platform.msgBoxes.size(), 0);
    QCOMPARE(rig.OtherFiles(), QStringList());
    QCOMPARE(ReadFile(rig.DBPath()), OldDB());
}

void tst_update::completionFollowsCurrentMarker() {
    cFakePlatform platform;
    cLoopbackServer server;
    QVERIFY(server.Start());
    QTemporaryDir dir;
    const QString target = dir.filePath("0042.t");
    server.Route("/f", {200, DecryptAUCG::EncodeText("130 1001 !h/p ", 3)->toLatin1(), -1, 4});

    // A download starts, but the status line holds the check's marker when it ends:
    // the read counts as the version check, and nothing is saved.
    QString status = Downloading;
    ucrAsync async(platform, [&status] { return status; });
    QSignalSpy complete(&async, &ucrAsync::DownloadComplete);
    QSignalSpy version(&async, &ucrAsync::RetCheckVer);
    async.StartDownload("http://" + server.HostPort() + "/f", target);
    QTRY_COMPARE(server.Held(), 1);
    status = Checking;
    server.Release();
    QTRY_COMPARE(async.ReadsUnderWay(), 0);
    QCOMPARE(version.size(), 1);
    QCOMPARE(version[0][0].toString(), QStringLiteral("130 1001 !h/p "));
    QCOMPARE(complete.size(), 0);
    QVERIFY(!QFile::exists(target));
}

void tst_update::startFailureMessages() {
    // A read that cannot start is told in a box; only the version check's labels
    // have a blank after the colon. No event follows.
    cFakePlatform platform;
    ucrAsync control(platform, [] { return QString(); });
    QSignalSpy errors(&control, &ucrAsync::DownloadError);
    control.StartDownload(QStringLiteral("no url at all"), QStringLiteral("/tmp/x.t"));
    control.SetHost(QStringLiteral("bad host"));
    control.CheckVer();
    QCOMPARE(platform.msgBoxes.size(), 2);
    const QStringList download = platform.msgBoxes[0].prompt.split(QStringLiteral("\r\n"));
    const QStringList check = platform.msgBoxes[1].prompt.split(QStringLiteral("\r\n"));
    QCOMPARE(download.size(), 3);
    QCOMPARE(download[0], QStringLiteral("次のエラーが発生しました。"));
    QVERIFY(download[1].startsWith(QStringLiteral("エラー番号:")) && download[1][6].isDigit());
    QVERIFY(download[2].startsWith(QStringLiteral("エラーの詳細:")) && download[2][7] != u' ');
    QVERIFY(check[1].startsWith(QStringLiteral("エラー番号: ")) && check[1][7].isDigit());
    QVERIFY(check[2].startsWith(QStringLiteral("エラーの詳細: ")));
    QCOMPARE(int(platform.msgBoxes[0].style), 16);
    QCOMPARE(platform.msgBoxes[0].title, QStringLiteral("コールポイントStartDownload"));
    QCOMPARE(platform.msgBoxes[1].title, QStringLiteral("コールポイントCheckVer"));
    QCOMPARE(errors.count(), 0);
}

QTEST_MAIN(tst_update)
#include "tst_update.moc"
