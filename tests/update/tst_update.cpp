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

    // The download swapped in for db.dat while the named operations fail, or cut off
    // after a number of them as a crash would: db.dat is a whole database, and the next
    // start's tidying keeps it and removes the leftovers.
    void swap_data() {
        modTestFiles::AddDataRows(QFINDTESTDATA("swap-runs.txt"));
    }
    void swap() {
        QFETCH(QStringList, row);
        const QString &failing = row[2], &after = row[3];
        QTemporaryDir dir;
        const QString folder = dir.path() + '/';
        tFaultyFiles files;
        files.failing = failing.split(',', Qt::SkipEmptyParts);
        files.intStepsLeft = failing.startsWith("stop ") ? failing.mid(5).toInt() : -1;
        QVERIFY(row[1] == "none" || WriteFile(folder + "db.dat", DBBytes(row[1])));
        QVERIFY(WriteFile(folder + "0042.t", DBBytes("1001")));
        QCOMPARE(modUpdate::SwapIn(files, folder, folder + "0042.t"),
                 after == "1001" ? tIoError() : DiskFull);
        QCOMPARE(FileState(folder + "db.dat"), after);
        QCOMPARE(LeftoverKinds(dir.path()), row[4]);
        modDataFolder::RecoverFolder(cFileOps::Disk(), folder, 0);
        QCOMPARE(FileState(folder + "db.dat"), after);
        QCOMPARE(LeftoverKinds(dir.path()), "");
    }

    // The whole update against the loopback server, no window; the rows and their
    // notation are in the data file.
    void job_data() {
        modTestFiles::AddDataRows(QFINDTESTDATA("update-runs.txt"));
    }
    void job() {
        QFETCH(QStringList, row);
        const QString &local = row[1], &text = row[2], &setup = row[4], &after = row[9];
        QString routes = row[3];
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
        QCOMPARE(QMetaEnum::fromType<eOutcome>().valueToKey(int(result.outcome)), row[5]);
        QCOMPARE(result.error, modTestFiles::ErrorOf(row[6]));
        QCOMPARE(result.strDetail, row[7]);
        // Nothing is shown while the version text is read; bytes only once the download runs.
        QCOMPARE(rig.Stages(), row[8]);
        QVERIFY(!rig.job.Running());
        QCOMPARE(rig.job.Reader().ReadsUnderWay(), 0);
        QCOMPARE(FileState(rig.dbPath), after);
        QCOMPARE(rig.job.Database().DBVersion(), after);
        QCOMPARE(LeftoverKinds(rig.dir.path()), "");
        QCOMPARE(other.paths, QStringList());
    }

    // The reader alone: one request, one Finished, however the read ends.
    void read_data() {
        modTestFiles::AddDataRows(QFINDTESTDATA("read-runs.txt"));
    }
    void read() {
        QFETCH(QStringList, row);
        QString url = row[1];
        tServer server;
        server.routes.insert("/f", row[2]);
        ucrAsync reader;
        QSignalSpy finished(&reader, &ucrAsync::Finished);
        if (url.startsWith('/'))
            url = "http://" + server.Host() + url;
        reader.Start({url, {row[3].toLongLong(), row[4].toInt(), 0, 0, 3}});
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
        QCOMPARE(reader.ReadsUnderWay(), 0);
        // A second Finished would come within the next turns of the loop.
        QTest::qWait(100);
        QCOMPARE(finished.size(), 1);
        const auto result = finished[0][0].value<ucrAsync::tReadResult>();
        QCOMPARE(QMetaEnum::fromType<ucrAsync::eStatus>().valueToKey(int(result.status)), row[5]);
        QCOMPARE(result.error, modTestFiles::ErrorOf(row[6]));
        QCOMPARE(result.bytData, row[7].toUtf8());
        QCOMPARE(result.lngAnnounced, row[8].toLongLong());
        QCOMPARE(result.strURL, url);
    }

    // Without a host set, the job asks the one this build was configured with (none:
    // the placeholder). A loopback proxy takes the request, so its first line names
    // the whole URL.
    void asksTheConfiguredHost() {
        const QString configured = QStringLiteral(LUMIVO_CONFIGURED_HOST);
        const QString host = configured.isEmpty() ? "update.lumivo.example" : configured;
        if (QHostAddress(host.section(u':', 0, 0)).isLoopback() || host.startsWith(u"localhost") ||
            host.startsWith(u'['))
            QSKIP("Qt asks a loopback host around any proxy (as for the local trial server)");
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
                                        const QString& strSignature) {
            if (strSignature == "404")
                return;
            QByteArray bytes(4097, 'x');
            if (strSignature != "huge") {
                const QStringList f = strSignature.split('|');
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

    // The signature file's layout: edits of a good one and their verdicts.
    void signatureLayout_data() {
        modTestFiles::AddDataRows(QFINDTESTDATA("signature-edits.txt"));
    }
    void signatureLayout() {
        QFETCH(QStringList, row);
        const tSigner key;
        const QString global =
            QString::fromLatin1(key.Sign("data", "file:other.txt").split('\n')[3]);
        const QByteArray sig =
            QString::fromLatin1(key.Sign("data", "file:data.txt"))
                .replace(QRegularExpression(row[1]), QString(row[2]).replace("%G", global))
                .toLatin1();
        const auto pk = modMinisign::ReadPublicKey(key.PublicKey().toLatin1());
        QVERIFY(pk);
        // The verdicts in their order in modMinisign::eCheck.
        const QStringList checks = {"Verified", "Malformed", "OtherKey", "BadSignature",
                                    "CommentDiffers"};
        QCOMPARE(checks.value(int(modMinisign::Verify(*pk, sig, "data", {"file:data.txt"}))),
                 row[3]);
    }

    // What the test key signs (as the tests above use it), minisign verifies. That
    // Lumivo verifies what minisign signs, test_publish shows through the About window.
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
        const QString comment = "file:1001.dat version:1001 date:20261206";
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
