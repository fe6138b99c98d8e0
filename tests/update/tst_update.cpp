// SPDX-License-Identifier: Apache-2.0
#include "DecryptAUCG.h"
#include "cFileOps.h"
#include "cNumberDB.h"
#include "cUpdateJob.h"
#include "modDataFolder.h"
#include "modMinisign.h"
#include "modTestFiles.h"
#include "modUpdate.h"
#include "ucrAsync.h"

#include <QNetworkProxy>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <cerrno>
#include <sodium.h>

using modTestFiles::DBBytes;
using modTestFiles::FileState;
using modTestFiles::LeftoverKinds;
using modTestFiles::ReadFile;
using modTestFiles::WriteFile;
using eOutcome = cUpdateJob::eOutcome;

namespace {

const QString VersionPath = "/download/latestver.txt", DBPath = "/download/db1001.dat";
const QString Offer = "130 1001 x!%1/download/db1001.dat?";
const tIoError DiskFull = tIoError::FromErrno(ENOSPC);

// A small HTTP server on 127.0.0.1. Each path answers as its route says, anything else
// with a 404: "status content [len=Content-Length|-bytes fewer than sent|none] [chunked]
// [to=location] [drip=bytes/ms] [hold]". Status 0 never answers; the content "ver" is
// the version file, db<version> a database (db1001/1: all but its last byte), "-"
// nothing; chunked sends the body as one chunk, beside any Content-Length; a location
// starting with "/" is on this server; drip sends the body in pieces, the first at
// once; hold keeps the connection open after the body, which otherwise closes it.
struct tServer : QTcpServer {
    QHash<QString, QString> routes;
    QHash<QString, QByteArray> bodies; // content by name, for routes that name it
    QByteArray version;
    QStringList paths; // of every request, in arrival order

    tServer() {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* s = nextPendingConnection();
            connect(
                s, &QTcpSocket::readyRead, s, [this, s] { Answer(s, s->readLine().split(' ')[1]); },
                Qt::SingleShotConnection);
        });
    }
    QString Host() const { return "127.0.0.1:" + QString::number(serverPort()); }
    void Answer(QTcpSocket* socket, const QString& path) {
        paths.append(path);
        const QStringList w = routes.value(path, "404 not-here").split(' ');
        if (w[0] == "0")
            return;
        QByteArray body = w[1] == "ver" ? version : w[1] == "-" ? "" : w[1].toUtf8();
        if (w[1].startsWith("db"))
            body = DBBytes(w[1].mid(2, 4));
        if (const QString name = w[1].section('/', 0, 0); bodies.contains(name))
            body = bodies[name];
        QByteArray out = "HTTP/1.1 " + w[0].toLatin1() + " X\r\nConnection: close\r\n";
        QString length = QString::number(body.size());
        body.chop(w[1].section('/', 1).toInt());
        qsizetype chunk = qMax(body.size(), qsizetype(1));
        int ms = 0;
        for (const QString& option : w.mid(2)) {
            const QString value = option.section('=', 1);
            if (option.startsWith("len="))
                length =
                    value.startsWith('-') ? QString::number(length.toInt() + value.toInt()) : value;
            if (option == "chunked") {
                out += "Transfer-Encoding: chunked\r\n";
                body = QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n0\r\n\r\n";
            }
            if (option.startsWith("to="))
                out += ("Location: " + (value[0] == '/' ? "http://" + Host() : "") + value)
                           .toLatin1() +
                       "\r\n";
            if (option.startsWith("drip="))
                chunk = value.section('/', 0, 0).toInt(), ms = value.section('/', 1).toInt();
        }
        if (length != "none")
            out += "Content-Length: " + length.toLatin1() + "\r\n";
        socket->write(out + "\r\n");
        auto* drip = new QTimer(socket);
        connect(drip, &QTimer::timeout, socket, [=, sent = qsizetype(0)]() mutable {
            drip->setInterval(ms);
            socket->write(body.mid(sent, chunk));
            if ((sent += chunk) >= body.size()) {
                drip->stop();
                if (!w.contains("hold"))
                    socket->disconnectFromHost();
            }
        });
        drip->start(0);
    }
    // The version file holds strText (%1: this server) encoded; "@huge" makes it 4308
    // bytes long, "@digit" leaves its check digit wrong. strRoutes: "path=route" joined
    // by ';'; the path "ver" is the version file's, "db" the database's.
    void Serve(const QString& strText, const QString& strRoutes) {
        QString text = strText.startsWith('@')
                           ? "130 1001 " + QString(strText == "@huge" ? 700 : 1, 'x') + "!h/d?"
                           : strText;
        version = DecryptAUCG::EncodeText(text.replace("%1", Host()), 17)->toLatin1();
        version.chop(strText == "@digit" ? 2 : 0);
        for (const QString& route : ("ver=200 ver;" + strRoutes).split(';', Qt::SkipEmptyParts)) {
            const QString path = route.section('=', 0, 0);
            const QString full = path == "ver" ? VersionPath : path == "db" ? DBPath : path;
            routes.insert(full, route.section('=', 1));
        }
    }
};

// Fails the operations named in `failing`, such as "rename .t db.dat" or "write .t",
// and, once intStepsLeft operations have run, every one after, as a crash would.
struct tFaultyFiles : cFileOps {
    QStringList failing;
    int intStepsLeft = -1; // -1: no stop
    static QString Kind(const QString& p) { return p.endsWith("db.dat") ? "db.dat" : p.right(2); }
    tIoError Run(const QString& op, const std::function<tIoError()>& real) {
        if (failing.contains(op) || intStepsLeft == 0)
            return DiskFull;
        intStepsLeft -= intStepsLeft > 0;
        return real();
    }
    tIoError WriteWhole(const QString& p, const QByteArray& b) override {
        return Run("write " + Kind(p), [&] { return cFileOps::WriteWhole(p, b); });
    }
    tIoError Link(const QString& f, const QString& t) override {
        return Run("link " + Kind(f) + ' ' + Kind(t), [&] { return cFileOps::Link(f, t); });
    }
    tIoError RenameOver(const QString& f, const QString& t) override {
        return Run("rename " + Kind(f) + ' ' + Kind(t), [&] { return cFileOps::RenameOver(f, t); });
    }
    tIoError Remove(const QString& p) override {
        return Run("remove " + Kind(p), [&] { return cFileOps::Remove(p); });
    }
};

// A data folder with db.dat (database strLocal of 2004/01/15, or "none") loaded, and
// the job that updates it from the loopback server. Stages() tells the progress
// seen as letters, repeats once: V version read, D downloading, R received.
struct tRig {
    QTemporaryDir dir;
    const QString dbPath = dir.filePath("db.dat");
    tFaultyFiles files;
    cNumberDB db;
    tServer server;
    cUpdateJob job;
    QSignalSpy progress{&job, &cUpdateJob::Progress}, finished{&job, &cUpdateJob::Finished};

    // strKey: the public key the job trusts; none, updates are taken unsigned.
    explicit tRig(const QString& strLocal = "1000", const QString& strKey = QString())
        : job(db, dir.path(), strKey, files) {
        QVERIFY(strLocal == "none" || WriteFile(dbPath, DBBytes(strLocal, "20040115")));
        db.LoadDB(dbPath);
        job.Reader().SetHost(server.Host());
    }
    QString Stages() const {
        QString s;
        for (const auto& p : progress)
            if (const QChar c = "VDR"[int(p[0].value<cUpdateJob::eStage>())]; !s.endsWith(c))
                s += c;
        return s;
    }
    cUpdateJob::tResult Result() const {
        return finished.value(0).value(0).value<cUpdateJob::tResult>();
    }
};

// A minisign key pair made afresh for the run, signing as `minisign -S` does:
// prehashed, with a trusted comment under the global signature. No secret key
// is ever written down. keyId: an id to claim instead of one of its own.
struct tSigner {
    QByteArray keyId = QByteArray(8, 0), pk = QByteArray(crypto_sign_PUBLICKEYBYTES, 0),
               sk = QByteArray(crypto_sign_SECRETKEYBYTES, 0);
    explicit tSigner(const QByteArray& claimedId = QByteArray()) {
        if (sodium_init() < 0)
            qFatal("libsodium cannot start");
        crypto_sign_keypair(U(pk), U(sk));
        if (claimedId.isEmpty())
            randombytes_buf(keyId.data(), size_t(keyId.size()));
        else
            keyId = claimedId;
    }
    static unsigned char* U(QByteArray& b) { return reinterpret_cast<unsigned char*>(b.data()); }
    static const unsigned char* U(const QByteArray& b) {
        return reinterpret_cast<const unsigned char*>(b.constData());
    }
    QByteArray Detached(const QByteArray& message) const {
        QByteArray sig(crypto_sign_BYTES, 0);
        crypto_sign_detached(U(sig), nullptr, U(message), quint64(message.size()), U(sk));
        return sig;
    }
    QString PublicKey() const { return QString::fromLatin1(("Ed" + keyId + pk).toBase64()); }
    QByteArray Sign(const QByteArray& data, const QByteArray& comment) const {
        QByteArray hash(crypto_generichash_BYTES_MAX, 0);
        crypto_generichash(U(hash), size_t(hash.size()), U(data), quint64(data.size()), nullptr, 0);
        const QByteArray sig = Detached(hash);
        return "untrusted comment: signed in a test\n" + ("ED" + keyId + sig).toBase64() +
               "\ntrusted comment: " + comment + '\n' + Detached(sig + comment).toBase64() + '\n';
    }
};

// Runs a program to its end; its exit code, -1 when it did not end normally.
int Run(const QString& program, const QStringList& args, QByteArray* pOut = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool blnEnded = p.waitForFinished(60000);
    if (!blnEnded)
        p.kill(), p.waitForFinished();
    if (pOut)
        *pOut = p.readAll();
    return blnEnded && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

class tst_update : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }

    // Every one of the thousand numbers is tried: the one before the number drawn comes
    // last (the draw, the same for both kinds, holds for the second), 1000 is the highest;
    // then none is left.
    void tempName() {
        QTemporaryDir dir;
        const QString folder = dir.path() + '/';
        const auto name = [&](int n, const char* kind) {
            return QString::asprintf("%04d", n) + kind;
        };
        for (int n = 1; n <= 1000; ++n)
            QVERIFY(WriteFile(folder + name(n, ".t"), ""));
        const int last = (modUpdate::MakeTempName(folder, true).left(4).toInt() + 998) % 1000 + 1;
        QVERIFY(QFile::remove(folder + name(last, ".t")));
        QCOMPARE(modUpdate::MakeTempName(folder, false), name(last, ".t"));
        for (int n = 1; n < 1000; ++n)
            QVERIFY(WriteFile(folder + name(n, ".b"), ""));
        QCOMPARE(modUpdate::MakeTempName(folder, true), "1000.b");
#ifdef Q_OS_UNIX
        // A link to nothing takes its name too: a backup could not be linked there.
        QVERIFY(QFile::link(folder + "nowhere", folder + "1000.b"));
#else
        QVERIFY(WriteFile(folder + "1000.b", ""));
#endif
        QCOMPARE(modUpdate::MakeTempName(folder, true), "");
    }

    // The download 0042.t (1001) swapped in for db.dat (1000, or none) while the named
    // operations fail, or cut off after a number of them as a crash would: db.dat is a
    // whole database, and the next start's tidying keeps it and removes the leftovers.
    void swap_data() {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<bool>("hadDB");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("left");
        // clang-format off
        QTest::newRow("no db.dat, not moved") << "rename .t db.dat" << false << "none" << "";
        QTest::newRow("backup not made") << "link db.dat .b" << true << "1000" << "";
        QTest::newRow("backup stays: swapped all the same") << "remove .b" << true << "1001" << ".b";
        QTest::newRow("nothing removed after a failure") << "rename .t db.dat,remove .b,remove .t" << true << "1000" << ".b,.t";
        QTest::newRow("cut before the backup") << "stop 0" << true << "1000" << ".t";
        QTest::newRow("cut after the backup") << "stop 1" << true << "1000" << ".b,.t";
        QTest::newRow("cut after the rename") << "stop 2" << true << "1001" << ".b";
        // clang-format on
    }
    void swap() {
        QFETCH(QString, failing);
        QFETCH(QString, after);
        QTemporaryDir dir;
        const QString folder = dir.path() + '/';
        tFaultyFiles files;
        files.failing = failing.split(',', Qt::SkipEmptyParts);
        files.intStepsLeft = failing.startsWith("stop ") ? failing.mid(5).toInt() : -1;
        QFETCH(bool, hadDB);
        QVERIFY(!hadDB || WriteFile(folder + "db.dat", DBBytes("1000")));
        QVERIFY(WriteFile(folder + "0042.t", DBBytes("1001")));
        QCOMPARE(modUpdate::SwapIn(files, folder, folder + "0042.t"),
                 after == "1001" ? tIoError() : DiskFull);
        QCOMPARE(FileState(folder + "db.dat"), after);
        QTEST(LeftoverKinds(dir.path()), "left");
        modDataFolder::RecoverFolder(cFileOps::Disk(), folder, 0);
        QCOMPARE(FileState(folder + "db.dat"), after);
        QCOMPARE(LeftoverKinds(dir.path()), "");
    }

    // The whole update against the loopback server, no window: the local database, the
    // version text and the routes as tServer::Serve takes them; setup: file operations
    // that fail, "installed" the installed program's folder, "bad host" a version file
    // URL that cannot start, limits=check/download deadline/rate window (ms)/least bytes.
    // A redirect is followed on the same server only (%2: another one), three times at most.
    void job_data() {
        for (const char* c : {"local", "text", "routes", "setup"})
            QTest::addColumn<QString>(c);
        QTest::addColumn<eOutcome>("outcome");
        QTest::addColumn<eIoError>("error");
        QTest::addColumn<qint64>("number"); // the system's error number, or the limit
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("stages");
        QTest::addColumn<QString>("after"); // db.dat and the database searched
        const QString db = "db=200 db1001", slow = "limits=60000/60000/400/4";
        using enum eOutcome;
        using eIoError::None, eIoError::BadAddress, eIoError::BadContent, eIoError::NoSpace;
        // clang-format off
        QTest::newRow("newer: the last ! counts, the last character goes") << "1000" << "130 1001 new!numbers!%1/download/db1001.dat?" << db << "" << Updated << None << 0LL << "" << "VDR" << "1001";
        QTest::newRow("no database yet") << "none" << Offer << db << "" << Updated << None << 0LL << "" << "VDR" << "1001";
        QTest::newRow("0999 and \" 999\" are equal as numbers") << "0999" << "130  999 x!%1/download/db1001.dat?" << "db=200 db0999" << "" << Updated << None << 0LL << "" << "VDR" << "0999";
        QTest::newRow("same") << "1001" << Offer << db << "" << UpToDate << None << 0LL << "" << "V" << "1001";
        QTest::newRow("\"900 \" is below 1000") << "1000" << "130 900  x!%1/download/db1001.dat?" << db << "" << LocalNewer << None << 0LL << "" << "V" << "1000";
        QTest::newRow("software 131") << "1000" << "131 1001 x!h/d?" << "" << "" << SoftwareDiffers << None << 0LL << "" << "V" << "1000";
        QTest::newRow("software 129") << "1000" << "129 1001 x!h/d?" << "" << "" << SoftwareDiffers << None << 0LL << "" << "V" << "1000";
        QTest::newRow("software not a number") << "1000" << "1x0 1001 x!h/d?" << "" << "" << Unusable << None << 0LL << "" << "V" << "1000";
        QTest::newRow("remote not a number") << "1000" << "130 10x1 x!h/d?" << "" << "" << Unusable << None << 0LL << "" << "V" << "1000";
        QTest::newRow("shorter than 8") << "1000" << "130 100" << "" << "" << Unusable << None << 0LL << "" << "V" << "1000";
        QTest::newRow("no !") << "1000" << "130 1001 no mark" << "" << "" << Unusable << None << 0LL << "" << "V" << "1000";
        QTest::newRow("nothing after !") << "1000" << "130 1001 x!/" << "" << "" << Unusable << None << 0LL << "" << "V" << "1000";
        QTest::newRow("check digit") << "1000" << "@digit" << "" << "" << DigitError << None << 0LL << "" << "V" << "1000";
        QTest::newRow("version file too large") << "1000" << "@huge" << "" << "" << TooLarge << eIoError::TooLarge << 4096LL << "" << "" << "1000";
        QTest::newRow("version file cannot start") << "1000" << Offer << "" << "bad host" << CheckNotStarted << BadAddress << 302LL << "http://bad host/download/latestver.txt" << "" << "1000";
        QTest::newRow("download cannot start") << "1000" << "130 1001 x!bad host?" << "" << "" << DownloadNotStarted << BadAddress << 302LL << "http://bad host" << "VD" << "1000";
        QTest::newRow("404") << "1000" << Offer << "db=404 db1001" << "" << NoAnswer << None << 0LL << "" << "VD" << "1000";
        QTest::newRow("unknown size") << "1000" << Offer << "db=200 db1001 len=none" << "" << NoAnswer << None << 0LL << "" << "VD" << "1000";
        QTest::newRow("one byte short") << "1000" << Offer << "db=200 db1001/1" << "" << WrongSize << None << 0LL << "" << "VDR" << "1000";
        QTest::newRow("one byte more than announced, chunked") << "1000" << Offer << "db=200 db1001 len=-1 chunked" << "" << WrongSize << None << 0LL << "" << "VDR" << "1000";
        QTest::newRow("one byte more than announced: only those announced count") << "1000" << Offer << "db=200 db1001 len=-1" << "" << NotDatabase << BadContent << 0LL << "" << "VDR" << "1000";
        QTest::newRow("not a database") << "1000" << Offer << "db=200 <html>sorry</html>" << "" << NotDatabase << BadContent << 0LL << "" << "VDR" << "1000";
        QTest::newRow("version differs") << "1000" << Offer << "db=200 db1002" << "" << VersionDiffers << BadContent << 0LL << "1002" << "VDR" << "1000";
        QTest::newRow("over 256 MiB") << "1000" << Offer << "db=200 x len=314572800" << "" << TooLarge << eIoError::TooLarge << 268435456LL << "" << "VD" << "1000";
        QTest::newRow("disk full") << "1000" << Offer << db << "write .t" << NotWritten << NoSpace << qint64(ENOSPC) << "" << "VDR" << "1000";
        QTest::newRow("installed folder: nothing fetched") << "1000" << Offer << db << "installed" << InstalledFolder << None << 0LL << "" << "V" << "1000";
        QTest::newRow("not moved onto db.dat") << "1000" << Offer << db << "rename .t db.dat" << SwapFailed << NoSpace << qint64(ENOSPC) << "" << "VDR" << "1000";
        QTest::newRow("no redirect to another server") << "1000" << Offer << "ver=302 - to=http://%2/v" << "" << NoAnswer << None << 0LL << "" << "" << "1000";
        QTest::newRow("silent after a redirect: deadline") << "1000" << Offer << "ver=302 - to=/quiet;/quiet=0 -" << "limits=500/60000/60000/0" << NoAnswer << None << 0LL << "" << "" << "1000";
        QTest::newRow("three redirects") << "1000" << Offer << "ver=302 - to=/a;/a=302 - to=/b;/b=302 - to=/c;/c=200 ver;" + db << "" << Updated << None << 0LL << "" << "VDR" << "1001";
        QTest::newRow("four are too many") << "1000" << Offer << "ver=302 - to=/a;/a=302 - to=/b;/b=302 - to=/c;/c=302 - to=/d;/d=200 ver;" + db << "" << NoAnswer << None << 0LL << "" << "" << "1000";
        QTest::newRow("a silent version file: least rate") << "1000" << Offer << "ver=0 -" << "limits=60000/60000/400/1" << NoAnswer << None << 0LL << "" << "" << "1000";
        QTest::newRow("a good start, then too slow") << "1000" << Offer << db + " len=99 drip=2/100 hold" << slow << NoAnswer << None << 0LL << "" << "VDR" << "1000";
        QTest::newRow("slow enough") << "1000" << Offer << db + " drip=2/100" << slow << Updated << None << 0LL << "" << "VDR" << "1001";
        QTest::newRow("past the download's deadline") << "1000" << Offer << db + " drip=2/100" << "limits=60000/500/60000/0" << NoAnswer << None << 0LL << "" << "VDR" << "1000";
        // clang-format on
    }
    void job() {
        QFETCH(QString, local);
        QFETCH(QString, text);
        QFETCH(QString, routes);
        QFETCH(QString, setup);
        tRig rig(local);
        tServer other; // answers nothing but 404
        for (const QString& item : setup.split(',', Qt::SkipEmptyParts)) {
            if (item == "installed")
                QVERIFY(WriteFile(rig.dir.filePath("lumivo.installed"), ""));
            else if (item == "bad host")
                rig.job.Reader().SetHost(item);
            else if (const QStringList l = item.mid(7).split('/'); item.startsWith("limits="))
                rig.job.SetLimits({l[0].toInt(), l[1].toInt(), l[2].toInt(), l[3].toInt(), 3});
            else
                rig.files.failing.append(item);
        }
        rig.server.Serve(text, routes.replace("%2", other.Host()));

        QVERIFY(rig.job.Start());
        QTRY_COMPARE_WITH_TIMEOUT(rig.finished.size(), 1, 20000);
        const cUpdateJob::tResult result = rig.Result();
        QTEST(result.outcome, "outcome");
        QTEST(result.error.kind, "error");
        QTEST(result.error.lngLimit ? result.error.lngLimit : result.error.intSystemCode, "number");
        QTEST(result.strDetail, "detail");
        // Nothing is shown while the version text is read; bytes only once the download runs.
        QTEST(rig.Stages(), "stages");
        QVERIFY(!rig.job.Running());
        QCOMPARE(rig.job.Reader().ReadsUnderWay(), 0);
        QTEST(FileState(rig.dbPath), "after");
        QTEST(rig.job.Database().DBVersion(), "after");
        QCOMPARE(LeftoverKinds(rig.dir.path()), "");
        QCOMPARE(other.paths, QStringList());
    }

    // The reader alone: one request, one Finished, however the read ends. url: a path
    // on the loopback server, or a whole URL; route as tServer takes it; limit in bytes,
    // deadline in ms (0: none).
    void read_data() {
        for (const char* c : {"url", "route"})
            QTest::addColumn<QString>(c);
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<int>("deadline");
        QTest::addColumn<ucrAsync::eStatus>("status");
        QTest::addColumn<tIoError>("error");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("announced");
        using enum ucrAsync::eStatus;
        const tIoError none, five = tIoError::Limit(5);
        // clang-format off
        QTest::newRow("received") << "/f" << "200 hello" << 5LL << 0 << Received << none << QByteArray("hello") << 5LL;
        QTest::newRow("closed early: what came") << "/f" << "200 hello len=9" << 9LL << 0 << Received << none << QByteArray("hello") << 9LL;
        QTest::newRow("no size announced") << "/f" << "200 hello len=none" << 5LL << 0 << Received << none << QByteArray("hello") << 0LL;
        QTest::newRow("404: no bytes") << "/f" << "404 sorry" << 5LL << 0 << NoAnswer << none << QByteArray() << 0LL;
        QTest::newRow("no host") << "http:///f" << "" << 5LL << 0 << NotStarted << tIoError::Of(eIoError::BadAddress, 302) << QByteArray() << 0LL;
        QTest::newRow("not http") << "ftp://127.0.0.1/f" << "" << 5LL << 0 << NotStarted << tIoError::Of(eIoError::NotHttp, 301) << QByteArray() << 0LL;
        QTest::newRow("announced beyond the limit") << "/f" << "200 hello len=6" << 5LL << 0 << TooLarge << five << QByteArray() << 0LL;
        QTest::newRow("beyond the limit on arrival") << "/f" << "200 hellooo len=none" << 5LL << 0 << TooLarge << five << QByteArray() << 0LL;
        QTest::newRow("deadline") << "/f" << "0 -" << 5LL << 300 << NoAnswer << none << QByteArray() << 0LL;
        // clang-format on
    }
    void read() {
        QFETCH(QString, url);
        QFETCH(QString, route);
        QFETCH(qint64, limit);
        QFETCH(int, deadline);
        tServer server;
        server.routes.insert("/f", route);
        ucrAsync reader;
        QSignalSpy finished(&reader, &ucrAsync::Finished);
        if (url.startsWith('/'))
            url = "http://" + server.Host() + url;
        reader.Start({url, {limit, deadline, 0, 0, 3}});
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
        QCOMPARE(reader.ReadsUnderWay(), 0);
        // A second Finished would come within the next turns of the loop.
        QTest::qWait(100);
        QCOMPARE(finished.size(), 1);
        const auto result = finished[0][0].value<ucrAsync::tReadResult>();
        QTEST(result.status, "status");
        QTEST(result.error, "error");
        QTEST(result.bytData, "bytes");
        QTEST(result.lngAnnounced, "announced");
        QCOMPARE(result.strURL, url);
    }

    // Without a host set, the job asks the one this build was configured with (none:
    // the placeholder). A loopback proxy takes the request, so its first line names
    // the whole URL.
    void asksTheConfiguredHost() {
        const QString configured = QStringLiteral(LUMIVO_CONFIGURED_HOST);
        const QString host = configured.isEmpty() ? "update.lumivo.example" : configured;
        QTcpServer proxy;
        QVERIFY(proxy.listen(QHostAddress::LocalHost));
        QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", proxy.serverPort()));
        const auto noProxy =
            qScopeGuard([] { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); });
        QByteArray requestLine;
        connect(&proxy, &QTcpServer::newConnection, this, [&] {
            QTcpSocket* socket = proxy.nextPendingConnection();
            connect(
                socket, &QTcpSocket::readyRead, socket,
                [&, socket] { requestLine = socket->readLine().trimmed(); },
                Qt::SingleShotConnection);
        });
        QTemporaryDir dir;
        cNumberDB db;
        cUpdateJob job(db, dir.path());
        QVERIFY(job.Start());
        QTRY_COMPARE(requestLine,
                     "GET http://" + host.toLatin1() + "/download/latestver.txt HTTP/1.1");
    }

    // One update at a time: a start while the version file or the database is due
    // starts nothing; a cancelled update leaves db.dat and lets the next one run.
    void oneAtATime() {
        tRig rig;
        rig.server.Serve(Offer, "db=0 -");
        QVERIFY(rig.job.Start());
        QVERIFY(!rig.job.Start());
        QTRY_COMPARE(rig.server.paths, QStringList({VersionPath, DBPath}));
        QVERIFY(!rig.job.Start());
        rig.job.Cancel();
        QCOMPARE(rig.job.Reader().ReadsUnderWay(), 0);
        QCOMPARE(FileState(rig.dbPath), "1000");
        rig.server.Serve(Offer, "db=200 db1001");
        QVERIFY(rig.job.Start());
        QTRY_COMPARE(rig.finished.size(), 1);
        QCOMPARE(rig.Result().outcome, eOutcome::Updated);
        QCOMPARE(rig.server.paths, QStringList({VersionPath, DBPath, VersionPath, DBPath}));
        QCOMPARE(LeftoverKinds(rig.dir.path()), "");
    }

    // A build with a key against the loopback server: the signature of each file lies
    // beside it (URL + ".minisig"); the rows and their notation are in the data file.
    void signedJob_data() {
        modTestFiles::AddDataRows(QFINDTESTDATA("signed-updates.txt"));
    }
    void signedJob() {
        QFETCH(QStringList, row);
        const QString &local = row[1], &text = row[2], &verSig = row[3], &db = row[4],
                      &dbSig = row[5], &detail = row[7], &after = row[8];
        const tSigner key, other, sameId(key.keyId);
        const bool blnBadKey = row[0].startsWith("a key that");
        tRig rig(local, blnBadKey ? key.PublicKey().chopped(1) : key.PublicKey());
        const QByteArray before = ReadFile(rig.dbPath);
        rig.server.bodies["forged"] = DBBytes("1001", "20261206", "C100");
        rig.server.Serve(text, "db=200 db1001");
        const auto serveSignature = [&](const QString& path, const QString& name,
                                        const QString& spec) {
            if (spec == "404")
                return;
            QByteArray bytes(4097, 'x');
            if (spec != "huge") {
                const QStringList f = spec.split('|');
                const tSigner& signer = f[0] == "k" ? key : f[0] == "o" ? other : sameId;
                const QByteArray data = f[1] == "ver" ? rig.server.version
                                        : f[1].startsWith("db")
                                            ? DBBytes(f[1].mid(2))
                                            : DecryptAUCG::EncodeText(f[1].mid(4), 17)->toLatin1();
                bytes = signer.Sign(data, QString(f[2]).replace("\\t", "\t").toUtf8());
                bytes.chop(f.size() > 3 ? 30 : 0);
            }
            rig.server.bodies[name] = bytes;
            rig.server.routes[path] = "200 " + name;
        };
        serveSignature(VersionPath + ".minisig", "sigver", verSig);
        serveSignature(DBPath + ".minisig", "sigdb", dbSig);
        rig.server.routes[DBPath] = "200 " + db;

        QVERIFY(rig.job.Start());
        QTRY_COMPARE_WITH_TIMEOUT(rig.finished.size(), 1, 20000);
        QCOMPARE(QMetaEnum::fromType<eOutcome>().valueToKey(int(rig.Result().outcome)), row[6]);
        QCOMPARE(rig.Result().strDetail, detail);
        QCOMPARE(FileState(rig.dbPath), after);
        QCOMPARE(rig.job.Database().DBVersion(), after);
        if (after == local)
            QCOMPARE(ReadFile(rig.dbPath), before);
        QCOMPARE(LeftoverKinds(rig.dir.path()), "");
        // A version text that fails its signature fetches nothing more.
        if (rig.Result().outcome == eOutcome::VersionNotSigned)
            QCOMPARE(rig.server.paths, QStringList({VersionPath, VersionPath + ".minisig"}));
    }

    // The signature file's layout, from a good one made by the test key for "data"
    // with the trusted comment "file:data.txt": an edit of it, and the check's verdict.
    void signatureLayout_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<modMinisign::eCheck>("check");
        using enum modMinisign::eCheck;
        // clang-format off
        QTest::newRow("as made") << "" << Verified;
        QTest::newRow("CR LF line ends") << "crlf" << Verified;
        QTest::newRow("no line end at the end") << "no last LF" << Verified;
        QTest::newRow("a fifth line") << "fifth line" << Malformed;
        QTest::newRow("legacy, not prehashed (Ed)") << "legacy" << Malformed;
        QTest::newRow("padding left off") << "no padding" << Malformed;
        QTest::newRow("untrusted comment unnamed") << "untrusted" << Malformed;
        QTest::newRow("trusted comment changed") << "comment" << BadSignature;
        QTest::newRow("global signature of another comment") << "global" << BadSignature;
        QTest::newRow("empty") << "empty" << Malformed;
        // clang-format on
    }
    void signatureLayout() {
        QFETCH(QString, edit);
        const tSigner key;
        QByteArray sig = key.Sign("data", "file:data.txt");
        QList<QByteArray> lines = sig.split('\n');
        if (edit == "crlf")
            sig.replace("\n", "\r\n");
        else if (edit == "no last LF")
            sig.chop(1);
        else if (edit == "fifth line")
            sig += "more\n";
        else if (edit == "legacy") // "RU" is the start of "ED", "RW" of "Ed"
            lines[1][1] = 'W', sig = lines.join('\n');
        else if (edit == "no padding")
            sig.replace("==\n", "\n");
        else if (edit == "untrusted")
            sig.replace("untrusted comment: ", "comment: ");
        else if (edit == "comment")
            sig.replace("file:data.txt", "file:data.TXT");
        else if (edit == "global")
            sig.replace(lines[3], key.Sign("data", "file:other.txt").split('\n')[3]);
        else if (edit == "empty")
            sig.clear();
        const auto pk = modMinisign::ReadPublicKey(key.PublicKey().toLatin1());
        QVERIFY(pk);
        QTEST(modMinisign::Verify(*pk, sig, "data", {"file:data.txt"}), "check");
    }

    // What minisign signs, Lumivo verifies; what the test key signs (as the tests
    // above use it), minisign verifies.
    void minisignAgrees() {
#ifdef Q_OS_WIN
        QSKIP("Debian's minisign runs on the build machine, not under Wine");
#endif
        const QString minisign = QStandardPaths::findExecutable("minisign");
        if (minisign.isEmpty())
            QSKIP("minisign is not installed (tools/install-deps.sh installs it)");
        QTemporaryDir dir;
        const QString d = dir.path() + '/';
        QVERIFY(WriteFile(d + "1001.dat", DBBytes("1001")));
        QByteArray out;
        QCOMPARE(Run(minisign, {"-G", "-W", "-p", d + "k.pub", "-s", d + "k.key"}, &out), 0);
        const QString comment = "file:1001.dat version:1001 date:20261206";
        QCOMPARE(
            Run(minisign, {"-S", "-s", d + "k.key", "-m", d + "1001.dat", "-t", comment}, &out), 0);
        const auto pk = modMinisign::ReadPublicKey(ReadFile(d + "k.pub").split('\n').value(1));
        QVERIFY(pk);
        const QByteArray sig = ReadFile(d + "1001.dat.minisig");
        const QStringList needed = comment.split(' ');
        QCOMPARE(modMinisign::Verify(*pk, sig, DBBytes("1001"), needed),
                 modMinisign::eCheck::Verified);
        QCOMPARE(modMinisign::Verify(*pk, sig, DBBytes("1001", "20261206", "C100"), needed),
                 modMinisign::eCheck::BadSignature);

        const tSigner key;
        QVERIFY(WriteFile(d + "1001.dat.minisig", key.Sign(DBBytes("1001"), comment.toUtf8())));
        const QStringList verify = {"-V", "-P", key.PublicKey(), "-m", d + "1001.dat"};
        QCOMPARE(Run(minisign, verify, &out), 0);
        QVERIFY2(out.contains("Trusted comment: " + comment.toUtf8()), out.constData());
        QVERIFY(WriteFile(d + "1001.dat", DBBytes("1001", "20261206", "C100")));
        QCOMPARE(Run(minisign, verify, &out), 1);
    }

    // A build with LUMIVO_UPDATE_PUBKEY trusts that key (its line, or its .pub file's).
    void buildKey() {
        QString configured = QStringLiteral(LUMIVO_CONFIGURED_PUBKEY);
        if (configured.startsWith('/'))
            configured = QString::fromLatin1(ReadFile(configured).split('\n').value(1).trimmed());
        QCOMPARE(cUpdateJob::BuildPublicKey, configured);
    }
};

QTEST_GUILESS_MAIN(tst_update)
#include "tst_update.moc"
