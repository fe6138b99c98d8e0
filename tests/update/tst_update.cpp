#include "lookup/DecryptAUCG.h"
#include "lookup/cDBBuilder.h"
#include "lookup/cNumberDB.h"
#include "platform/cFakePlatform.h"
#include "platform/modTestFiles.h"
#include "update/cFileOps.h"
#include "update/frmAbout.h"
#include "update/modUpdate.h"
#include "update/ucrAsync.h"

#include <QLabel>
#include <QNetworkProxy>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <sys/stat.h>

using modTestFiles::FileState;
using modTestFiles::ReadFile;
using modTestFiles::WriteFile;

namespace {

const QString VersionPath = QStringLiteral("/download/latestver.txt");
const QString DBPath = QStringLiteral("/download/db1001.dat");
const QString DiskFull = QStringLiteral("No space left on device");
const QColor Orange(255, 128, 0);
const QColor ButtonText(0, 0, 0); // what the offscreen platform's palette gives
const QStringList Verdicts{"Newer", "Same", "Older", "SoftwareDiffers", "Unusable"};
const QStringList Checks{"Accepted", "WrongSize", "NotDatabase", "VersionDiffers"};
const QString NoAnswerBox =
    "64|接続できませんでした。|ネット接続が切断されました。\r\n現在ご利用のPCがオフラインモード。"
    "または、データベースサーバーがメンテナンス中です。\r\nデータベースサーバーの状態は、"
    "作者ウェブページでお知らせしています。";

QByteArray DBBytes(const QString& strVersion, const QString& strDate = "20261206") {
    cDBBuilder builder;
    builder.AddEntry(QStringLiteral("090123"), QStringLiteral("C101"));
    return QStringEncoder("windows-31j").encode(builder.BuildText(strDate, strVersion).value());
}
// The leftovers of a folder by kind: ".b", ".t" (a download's half-written temporary too).
QString Others(const QString& dir) {
    static const QRegularExpression kind("\\.[bt](?=(\\.\\w{6})?$)");
    QStringList kinds;
    for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::System))
        if (const auto m = kind.match(name); m.hasMatch())
            kinds.append(m.captured());
    kinds.sort();
    return kinds.join(',');
}
// A small HTTP server on 127.0.0.1: each path answers with its scripted response
// after its delay, anything else with a 404; every answer closes its connection.
struct tServer : QTcpServer {
    struct tResponse {
        int status = 200; // 0: the connection is accepted and never answered
        QByteArray body = {};
        qint64 length = -1; // the Content-Length sent: -1 the body's size, -2 none at all
        int delayMs = 0;
        QByteArray location = {}; // a path on this server, or a whole address
        int chunk = 0;            // the body in pieces of this many bytes, one every dripMs
        int dripMs = 0;
    };
    QHash<QString, tResponse> routes;
    QStringList paths; // of every request, in arrival order

    tServer() {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* socket = nextPendingConnection();
            // The request line comes whole in the first piece; the rest of the head is not read.
            connect(
                socket, &QTcpSocket::readyRead, socket,
                [this, socket] { Answer(socket, socket->readLine().split(' ').value(1)); },
                Qt::SingleShotConnection);
        });
    }
    QString Host() const { return "127.0.0.1:" + QString::number(serverPort()); }
    void Answer(QTcpSocket* socket, const QString& path) {
        paths.append(path);
        const tResponse r = routes.value(path, tResponse{404, "not here"});
        if (r.status == 0)
            return;
        QByteArray out = "HTTP/1.1 " + QByteArray::number(r.status) + " X\r\nConnection: close\r\n";
        if (!r.location.isEmpty())
            out +=
                "Location: " + (r.location.startsWith('/') ? "http://" + Host().toLatin1() : "") +
                r.location + "\r\n";
        if (r.length != -2)
            out += "Content-Length: " + QByteArray::number(r.length < 0 ? r.body.size() : r.length);
        out += "\r\n\r\n";
        // A client that hangs up first takes the pending answer with its socket.
        QTimer::singleShot(r.delayMs, socket, [socket, out, r] {
            socket->write(r.chunk ? out : out + r.body);
            if (!r.chunk) {
                socket->disconnectFromHost();
                return;
            }
            auto* drip = new QTimer(socket);
            QObject::connect(drip, &QTimer::timeout, socket,
                             [socket, r, sent = qsizetype(0)]() mutable {
                                 socket->write(r.body.mid(sent, r.chunk));
                                 if ((sent += r.chunk) >= r.body.size())
                                     socket->disconnectFromHost();
                             });
            drip->start(r.dripMs);
        });
    }
};

// The rows of one table of update-cases.txt, as one column "f" of fields.
void Rows(const QString& table) {
    QTest::addColumn<QStringList>("f");
    const QString size = QString::number(DBBytes("1001").size());
    QFile file(QFINDTESTDATA("update-cases.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        QStringList f = (line + ' ').split(QStringLiteral(" | "));
        for (QString& field : f)
            field = field.trimmed().replace("\\n", "\r\n").replace("%n", size);
        if (f.size() > 2 && f.takeFirst() == table)
            QTest::newRow(qPrintable(f.takeFirst())) << f;
    }
}

// Fails the operations named in `failing`, such as "rename .t db.dat" or "write .t",
// and, once intStepsLeft operations have run, every one after, as if the program
// had stopped there.
struct tFaultyFiles : cFileOps {
    QStringList failing;
    int intStepsLeft = -1; // -1: no stop
    static QString Kind(const QString& p) { return p.endsWith("db.dat") ? "db.dat" : p.right(2); }
    QString Run(const QString& op, const std::function<QString()>& real) {
        if (failing.contains(op) || intStepsLeft == 0)
            return DiskFull;
        intStepsLeft -= intStepsLeft > 0;
        return real();
    }
    QString WriteWhole(const QString& p, const QByteArray& b) override {
        return Run("write " + Kind(p), [&] { return cFileOps::WriteWhole(p, b); });
    }
    QString Link(const QString& f, const QString& t) override {
        return Run("link " + Kind(f) + ' ' + Kind(t), [&] { return cFileOps::Link(f, t); });
    }
    QString RenameOver(const QString& f, const QString& t) override {
        return Run("rename " + Kind(f) + ' ' + Kind(t), [&] { return cFileOps::RenameOver(f, t); });
    }
    QString Remove(const QString& p) override {
        return Run("remove " + Kind(p), [&] { return cFileOps::Remove(p); });
    }
};

// A program folder with db.dat and the database loaded from it, the main window's
// stand-in and an About window whose version file comes from the loopback server.
struct tRig {
    QTemporaryDir dir;
    const QString dbPath = dir.filePath("db.dat");
    cFakePlatform platform;
    tFaultyFiles files;
    cNumberDB db;
    tServer server;
    QWidget owner;
    int loads = 0;
    std::unique_ptr<frmAbout> about;

    explicit tRig(const QString& strLocal = "1000") {
        QVERIFY(WriteFile(dbPath, DBBytes(strLocal, "20040115")));
        db.LoadDB(dbPath);
        about = std::make_unique<frmAbout>(
            platform, db, dir.path(), &owner,
            [this] { loads += db.LoadDB(dbPath) == cNumberDB::eLoadResult::Loaded; }, &files);
        Async()->SetHost(server.Host());
    }
    template <class T = QLabel> T* Child(const char* n) const { return about->findChild<T*>(n); }
    ucrAsync* Async() const { return about->findChild<ucrAsync*>(); }
    QLabel* Status() const { return Child("lblConnectionStatus"); }
    QColor Colour() const { return Status()->palette().color(QPalette::WindowText); }
    QTimer* Propose() const { return Child<QTimer>("tmrPropose"); }
    // The version file holds strPlain encoded; "@huge" makes it 4308 bytes long,
    // "@digit" leaves its check digit wrong.
    void Serve(const QString& strPlain, const tServer::tResponse& db, int intVersionDelay = 0) {
        const QString x(strPlain == "@huge" ? 700 : 1, u'x');
        QString text = strPlain.startsWith('@') ? "130 1001 " + x + "!h/d?" : strPlain;
        QByteArray file =
            DecryptAUCG::EncodeText(text.replace("%1", server.Host()), 17)->toLatin1();
        server.routes.insert(
            VersionPath, {200, strPlain == "@digit" ? file.chopped(2) : file, -1, intVersionDelay});
        server.routes.insert(DBPath, db);
    }
};

// Each message box as "style|title|text".
QStringList Boxes(const cFakePlatform& platform) {
    QStringList boxes;
    for (const auto& b : platform.msgBoxes)
        boxes.append(QString::number(int(b.style)) + u'|' + b.title + u'|' + b.prompt);
    return boxes;
}

// "status content [Content-Length]"; content db<version> is a database, db1001/20 its first 20
// bytes.
tServer::tResponse Answer(const QString& strSpec) {
    const QStringList w = strSpec.split(u' ');
    const QByteArray body = w[1].startsWith("db") ? DBBytes(w[1].mid(2, 4)) : w[1].toUtf8();
    const int cut = w[1].section(u'/', 1).toInt();
    return {w[0].toInt(), cut ? body.left(cut) : body, w.value(2, "-1").toLongLong()};
}

} // namespace

class tst_update : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }
    void decide_data() { Rows("decide"); }
    void decide();
    void tempName_data() { Rows("tempName"); }
    void tempName();
    void checkDownload_data() { Rows("check"); }
    void checkDownload();
    void swap_data() { Rows("swap"); }
    void swap();
    void crash_data() { Rows("crash"); }
    void crash();
    void recover_data() { Rows("recover"); }
    void recover();
    void fixedTexts_data() { Rows("text"); }
    void fixedTexts();
    void windowAtLoad();
    void update_data() { Rows("update"); }
    void update();
    void readLimits_data() { Rows("limit"); }
    void readLimits();
    void secondPress_data() { Rows("press"); }
    void secondPress();
    void startFailure_data() { Rows("start"); }
    void startFailure();
};

void tst_update::decide() {
    QFETCH(QStringList, f);
    const modUpdate::tDecision d = modUpdate::Decide(f[0], f[1], 130);
    QCOMPARE(Verdicts.value(int(d.verdict)), f[2]);
    QCOMPARE(d.intAnnounced, f[3].toInt());
    QCOMPARE(d.strURL, f[4]);
}

void tst_update::tempName() {
    QFETCH(QStringList, f);
    QTemporaryDir dir;
    for (int n = 1; n <= 1000; ++n)
        if (n != f[0].toInt())
            QVERIFY(WriteFile(dir.filePath(QString::asprintf("%04d", n) + f[1]), ""));
    QCOMPARE(modUpdate::MakeTempName(dir.path() + '/', f[1] == ".b"), f[2]);
}

// f: the file's content (db<version>: a database, none: no file), announced size, outcome.
void tst_update::checkDownload() {
    QFETCH(QStringList, f);
    QTemporaryDir dir;
    const QString path = dir.filePath("0042.t");
    if (f[0] != "none")
        QVERIFY(WriteFile(path, f[0].startsWith("db") ? DBBytes(f[0].mid(2)) : f[0].toUtf8()));
    QCOMPARE(Checks.value(int(modUpdate::CheckDownload(path, f[1].toLongLong(), 1001))), f[2]);
}

void tst_update::swap() {
    QFETCH(QStringList, f);
    QTemporaryDir dir;
    tFaultyFiles files;
    files.failing = f[0].split(',', Qt::SkipEmptyParts);
    if (f[1] != "none")
        QVERIFY(WriteFile(dir.filePath("db.dat"), f[1].toLatin1()));
    QVERIFY(WriteFile(dir.filePath("0042.t"), "new"));
    const modUpdate::tSwap s = modUpdate::SwapIn(files, dir.path() + '/', dir.filePath("0042.t"));
    QCOMPARE(s.blnSwapped, f[2] == "new");
    QCOMPARE(s.strReason, f[2] == "new" ? "" : DiskFull);
    QCOMPARE(ReadFile(dir.filePath("db.dat")), f[2].toLatin1());
    QCOMPARE(Others(dir.path()), f[3]);
}

// The swap stops after f[0] of its steps, as a crash would stop it; db.dat is
// then still a whole database, and the next start's tidying leaves it alone
// with no other file. f: steps, version of db.dat.
void tst_update::crash() {
    QFETCH(QStringList, f);
    QTemporaryDir dir;
    const QString folder = dir.path() + '/';
    tFaultyFiles files;
    files.intStepsLeft = f[0].toInt();
    QVERIFY(WriteFile(folder + "db.dat", DBBytes("1000")));
    QVERIFY(WriteFile(folder + "0042.t", DBBytes("1001")));
    modUpdate::SwapIn(files, folder, folder + "0042.t");
    QCOMPARE(FileState(folder + "db.dat"), f[1]);
    modUpdate::RecoverFolder(cFileOps::Disk(), folder, 0);
    QCOMPARE(FileState(folder + "db.dat"), f[1]);
    QCOMPARE(Others(dir.path()), "");
}

// f: db.dat (none, folder, fifo, notail or db<version>), the other files as
// name=content (db<version> a database), the least age of removed files,
// db.dat afterwards, the kinds of files left.
void tst_update::recover() {
    QFETCH(QStringList, f);
    QTemporaryDir dir;
    const QString folder = dir.path() + '/';
    const auto make = [&](const QString& name, const QString& what) {
        if (what == "folder")
            return QDir(folder).mkdir(name);
        if (what == "fifo")
            return ::mkfifo(QFile::encodeName(folder + name), 0600) == 0;
        return WriteFile(folder + name, what.startsWith("db") ? DBBytes(what.mid(2)) : "x");
    };
    if (f[0] != "none")
        QVERIFY(make("db.dat", f[0]));
    for (const QString& file : f[1].split(',', Qt::SkipEmptyParts))
        QVERIFY(make(file.section('=', 0, 0), file.section('=', 1)));
    modUpdate::RecoverFolder(cFileOps::Disk(), folder, f[2].toInt());
    QCOMPARE(FileState(folder + "db.dat"), f[3]);
    QCOMPARE(Others(dir.path()), f[4]);
}

// f: object, property, text.
void tst_update::fixedTexts() {
    QFETCH(QStringList, f);
    tRig rig;
    const QObject* object =
        f[0] == "frmAbout" ? rig.about.get() : rig.Child<QObject>(qPrintable(f[0]));
    QCOMPARE(object->property(qPrintable(f[1])).toString(), f[2]);
}

void tst_update::windowAtLoad() {
    tRig rig;
    frmAbout& about = *rig.about;
    QCOMPARE(rig.Propose()->interval(), 10000);
    QVERIFY(!rig.Propose()->isActive());
    QCOMPARE(about.HeightTwips(), 3240);
    QVERIFY(rig.Status()->y() >= about.height());

    about.show();
    QVERIFY(QTest::qWaitForWindowActive(&about));
    for (const char* label : {"picSoftwareLogo", "lblNotice", "lblVersion(0)"})
        QTest::mouseClick(rig.Child(label), Qt::LeftButton);
    QCOMPARE(rig.platform.openedUrls, QStringList(2, "https://lumivo.example/?lumivo"));
    // cmdUpdate holds the focus, and Esc starts the update instead of closing.
    QCOMPARE(about.focusWidget(), rig.Child<QPushButton>("cmdUpdate"));
    QTest::keyClick(about.focusWidget(), Qt::Key_Escape);
    QTRY_COMPARE(rig.server.paths, QStringList(VersionPath));
    QVERIFY(about.isVisible());
}

// f: local version, version text, database answer, failing operations, status line,
// message box, beeps, whether the database was fetched.
void tst_update::update() {
    QFETCH(QStringList, f);
    tRig rig(f[0]);
    rig.files.failing = f[3].split(',', Qt::SkipEmptyParts);
    if (rig.files.failing.contains("installed"))
        QVERIFY(WriteFile(rig.dir.filePath("lumivo.installed"), ""));
    rig.Serve(f[1], Answer(f[2]));

    rig.Child<QPushButton>("cmdUpdate")->click();
    QCOMPARE(rig.Status()->text(), "○番号検索データベースの最新版をチェックしています。");
    QCOMPARE(rig.Colour(), ButtonText);
    QCOMPARE(rig.about->HeightTwips(), 3630);
    QTRY_VERIFY(rig.Async()->ReadsUnderWay() == 0 && rig.Status()->text() == f[4] &&
                rig.platform.msgBoxes.size() == !f[5].isEmpty());
    QCOMPARE(Boxes(rig.platform), f[5].isEmpty() ? QStringList() : QStringList(f[5]));
    QCOMPARE(rig.platform.beeps, f[6].toInt());
    QCOMPARE(rig.server.paths, QStringList({VersionPath, DBPath}).mid(0, f[7] == "true" ? 2 : 1));
    QCOMPARE(Others(rig.dir.path()), "");
    QCOMPARE(rig.Colour(), f[4].isEmpty() ? ButtonText : Orange);

    const bool installed = f[4].startsWith("OK");
    QCOMPARE(ReadFile(rig.dbPath),
             DBBytes(installed ? "1001" : f[0], installed ? "20261206" : "20040115"));
    QCOMPARE(rig.loads, int(installed));
    QCOMPARE(rig.Child("lblVersion(0)")->text(),
             installed ? "Software Version: 1.30   DataBase Version: 1001  2026/12/06"
                       : "Software Version: 1.30   DataBase Version: " + f[0] + "  2004/01/15");
    // A read that brought nothing folds the window at once; otherwise the timer does.
    QCOMPARE(rig.about->HeightTwips(), f[4].isEmpty() ? 3240 : 3630);
    QCOMPARE(rig.Propose()->isActive(), !f[4].isEmpty());
    QMetaObject::invokeMethod(rig.Propose(), "timeout");
    QCOMPARE(rig.about->HeightTwips(), 3240);
    QVERIFY(!rig.Propose()->isActive());
}

// Every read ends: redirects only to the same server and at most three times, a
// deadline for each read and a least number of bytes in each stretch of time.
// f: routes as path=status content [to=location] [drip=bytes/ms] (status 0: never
// answers; content ver: the version file offering 1001, db1001: the database),
// limits (check deadline, download deadline, window, bytes per window; ms),
// outcome (OK or error), paths asked for.
void tst_update::readLimits() {
    QFETCH(QStringList, f);
    tRig rig;
    tServer other; // accepts and never answers
    other.routes.insert("/v", {0});
    for (const QString& route : f[0].split(';')) {
        const QStringList w = route.section('=', 1).split(' ');
        const QByteArray version =
            DecryptAUCG::EncodeText("130 1001 x!" + rig.server.Host() + DBPath + "?", 17)
                ->toLatin1();
        tServer::tResponse r{w[0].toInt(), w[1] == "ver" ? version
                                           : w[1] == "-" ? ""
                                                         : DBBytes("1001")};
        for (const QString& option : w.mid(2)) {
            if (option.startsWith("to="))
                r.location = option.mid(3).replace("%2", other.Host()).toLatin1();
            if (option.startsWith("drip="))
                std::tie(r.chunk, r.dripMs) =
                    std::pair(option.section(QRegularExpression("[=/]"), 1, 1).toInt(),
                              option.section('/', 1).toInt());
        }
        rig.server.routes.insert(route.section('=', 0, 0), r);
    }
    const QStringList ms = f[1].split(',');
    rig.Async()->SetLimits({ms[0].toInt(), ms[1].toInt(), ms[2].toInt(), ms[3].toInt(), 3});

    rig.Child<QPushButton>("cmdUpdate")->click();
    QTRY_VERIFY_WITH_TIMEOUT(
        rig.Async()->ReadsUnderWay() == 0 &&
            (!rig.Status()->text().startsWith("○") || !rig.platform.msgBoxes.isEmpty()),
        20000);
    const bool ok = f[2] == "OK";
    QCOMPARE(rig.Status()->text(), ok ? "OK 最新のデータベースに更新しました。" : "");
    QCOMPARE(Boxes(rig.platform), ok ? QStringList() : QStringList(NoAnswerBox));
    QCOMPARE(rig.server.paths.join(','), f[3]);
    QCOMPARE(other.paths, QStringList());
    QCOMPARE(FileState(rig.dbPath), ok ? "1001" : "1000");
    QCOMPARE(Others(rig.dir.path()), "");
}

// A second press while a read runs starts nothing; the read ends as it would have.
// f: delay of the version file, delay of the database, the second button, db.dat after.
void tst_update::secondPress() {
    QFETCH(QStringList, f);
    tRig rig;
    rig.Serve("130 1001 x!%1" + DBPath + "?", {200, DBBytes("1001"), -1, f[1].toInt()},
              f[0].toInt());
    rig.Child<QPushButton>("cmdUpdate")->click();
    QTest::qWait(300);
    // The version file or the database is still due.
    QTRY_COMPARE(rig.server.paths.size(), f[0] == "0" ? 2 : 1);
    rig.Child<QPushButton>(qPrintable(f[2]))->click();
    QTRY_COMPARE(rig.Async()->ReadsUnderWay(), 0);
    QTest::qWait(1000); // long enough for a read that is not ours to end
    const bool updated = f[3] == "1001";
    QCOMPARE(rig.Status()->text().left(2), updated ? "OK" : "○最");
    QCOMPARE(Boxes(rig.platform), QStringList());
    QCOMPARE(rig.platform.beeps + rig.loads, updated ? 2 : 0);
    QCOMPARE(rig.server.paths, QStringList({VersionPath, DBPath}));
    QCOMPARE(Others(rig.dir.path()), "");
    QCOMPARE(ReadFile(rig.dbPath), DBBytes(f[3], updated ? "20261206" : "20040115"));
}

// f: the read, its box. No event follows a read that cannot start.
void tst_update::startFailure() {
    QFETCH(QStringList, f);
    cFakePlatform platform;
    ucrAsync control(platform, cFileOps::Disk());
    QSignalSpy errors(&control, &ucrAsync::DownloadError);
    control.SetHost("bad host");
    f[0] == "CheckVer" ? control.CheckVer() : control.StartDownload("no url at all", "/tmp/x.t");
    QCOMPARE(Boxes(platform), QStringList(f[1]));
    QCOMPARE(errors.count(), 0);
}

QTEST_MAIN(tst_update)
#include "tst_update.moc"
