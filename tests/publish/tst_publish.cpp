// SPDX-License-Identifier: Apache-2.0
#include "DecryptAUCG.h"
#include "cFakePlatform.h"
#include "cFileOps.h"
#include "cNumberDB.h"
#include "cUpdateJob.h"
#include "frmAbout.h"
#include "modTestFiles.h"
#include "ucrAsync.h"

#include <QLabel>
#include <QNetworkProxy>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

#include <sys/stat.h>

using modTestFiles::ReadFile;
using modTestFiles::WriteFile;

namespace {

const QString Host = QStringLiteral("updates.example.org");

// The script's arguments for publishing the table of dir into dir/www.
QStringList PublishArgs(const QString& dir, const QString& version, const QString& host = Host,
                        const QString& note = "spring update!",
                        const QString& mkdb = LUMIVO_MKDB_EXE) {
    // clang-format off
    return {LUMIVO_PUBLISH_SCRIPT, "--table", dir + "/table.csv", "--date", "20261207", "--version",
            version, "--host", host, "--root", dir + "/www", "--note", note, "--mkdb", mkdb};
    // clang-format on
}

// The exit status of a started script once it has ended (its messages into *pErr).
int Finish(QProcess& p, QByteArray* pErr = nullptr) {
    p.waitForFinished(60000);
    if (pErr)
        *pErr = p.readAllStandardError();
    const bool blnEnded = p.state() == QProcess::NotRunning && p.error() != QProcess::FailedToStart;
    return blnEnded && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// Publishes the table of dir into dir/www; the script's exit status. more: further arguments.
int Publish(const QString& dir, const QString& version, const QString& host = Host,
            const QString& note = "spring update!", QByteArray* pErr = nullptr,
            const QStringList& more = {}) {
    QProcess p;
    p.start("sh", PublishArgs(dir, version, host, note) + more);
    return Finish(p, pErr);
}

// Runs minisign with args; its exit status, its output into *pOut.
int Minisign(const QStringList& args, QByteArray* pOut = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start("minisign", args);
    const int intStatus = Finish(p);
    if (pOut)
        *pOut = p.readAll();
    return intStatus;
}

QString Nginx() {
    return QStandardPaths::findExecutable("nginx", {"/usr/sbin", "/usr/bin"});
}

// nginx serving dir/www on host until the process ends; whether it listens.
bool StartNginx(QProcess& server, const QString& dir, const QString& host) {
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    if (!WriteFile(dir + "/nginx.conf",
                   QString("daemon off; master_process off; pid %1/nginx.pid; events {}\n"
                           "http { access_log off; client_body_temp_path %1; proxy_temp_path %1; "
                           "fastcgi_temp_path %1; uwsgi_temp_path %1; scgi_temp_path %1;\n"
                           "server { listen %2; root %1/www; } }\n")
                       .arg(dir, host)
                       .toUtf8()))
        return false;
    server.start(Nginx(), {"-e", dir + "/error.log", "-c", dir + "/nginx.conf"});
    // The pid file is written once it listens.
    return QTest::qWaitFor([&] { return QFile::exists(dir + "/nginx.pid"); }, 10000);
}

// A free loopback port, as host:port.
QString FreeLoopback() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return "127.0.0.1:" + QString::number(probe.serverPort());
}

QString Announced(const QString& dir) {
    return DecryptAUCG::DecodeText(ReadFile(dir + "/www/download/latestver.txt"));
}

// The About window of a program with db.dat of database 1000 in a folder of its own,
// updating from nginx serving dir/www on host until it ends; strKey: the public key the
// build trusts (none: unsigned updates).
struct tApp {
    QProcess server;
    const bool blnServing;
    QTemporaryDir dir;
    const QString dbPath = dir.filePath("db.dat");
    cFakePlatform platform;
    cNumberDB db;
    QWidget owner;
    cUpdateJob job;
    std::optional<frmAbout> about;

    tApp(const QString& strServed, const QString& host, const QString& strKey)
        : blnServing(StartNginx(server, strServed, host)),
          job(db, dir.path(), strKey, cFileOps::Disk()) {
        if (WriteFile(dbPath, "00020406AC100\r\n20040115  1000\r\n"))
            db.LoadDB(dbPath);
        job.Reader().SetHost(host);
        about.emplace(platform, job, &owner);
    }
    ~tApp() {
        server.terminate();
        server.waitForFinished(10000);
    }
    void ClickUpdate() { about->findChild<QPushButton*>("cmdUpdate")->click(); }
    QString Status() const { return about->findChild<QLabel*>("lblConnectionStatus")->text(); }
};

// A publish of version into dir/www whose database build waits at a gate (a pipe
// read by a wrapper of lumivo-mkdb) until Open().
class cHeldPublish {
public:
    cHeldPublish(const QString& dir, const QString& version) : m_gate(dir + "/gate" + version) {
        const QString mkdb = m_gate + ".sh";
        const QString script =
            QString("#!/bin/sh\n[ \"$1\" != build ] || { : >'%1.held'; read -r l <'%1'; }\n"
                    "exec '%2' \"$@\"\n")
                .arg(m_gate, LUMIVO_MKDB_EXE);
        if (::mkfifo(QFile::encodeName(m_gate).constData(), 0600) == 0 &&
            WriteFile(mkdb, script.toUtf8()) &&
            QFile::setPermissions(mkdb, QFile::ReadOwner | QFile::ExeOwner))
            m_process.start("sh", PublishArgs(dir, version, Host, "spring update!", mkdb));
    }
    // Whether the build has reached the gate.
    bool Held() const { return QFile::exists(m_gate + ".held"); }
    // Lets the build go on; the script's exit status.
    int Open() { return WriteFile(m_gate, "go\n") ? Finish(m_process) : -1; }

private:
    QString m_gate;
    QProcess m_process;
};

} // namespace

class tst_publish : public QObject {
    Q_OBJECT
    // A fresh folder for every test row, with a one-row prefix table.
    std::optional<QTemporaryDir> m_tmp;
    QString m_dir;

private slots:
    void init() {
        m_dir = m_tmp.emplace().path();
        QVERIFY(WriteFile(m_dir + "/table.csv", "prefix,code\n090123,C130\n"));
    }

    // Published unsigned, then with a key made for the test (minisign -G, no password):
    // both signatures verify with minisign -V and name what they sign, and a signed
    // folder takes no unsigned publish. The About window of a build trusting the key
    // updates from nginx serving the folder, and refuses a database put there by someone
    // else, leaving db.dat as it was.
    void publishAndUpdate() {
        const QString host = FreeLoopback(), download = m_dir + "/www/download/";
        QCOMPARE(Publish(m_dir, "1001", host), 0);
        // Nothing but what clients fetch lies in the served folder (no lock file).
        QCOMPARE(
            QDir(m_dir + "/www")
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            QStringList{"download"});
        // A version that is not newer than the published one is refused.
        for (const QString version : {"1001", "0999"})
            QCOMPARE(Publish(m_dir, version, host), 2);
        QCOMPARE(Announced(m_dir), "130 1001 spring update!!" + host + "/download/1001.dat ");

        if (QStandardPaths::findExecutable("minisign").isEmpty())
            QSKIP("minisign is not installed (tools/install-deps.sh installs it)");
        const QString pub = m_dir + "/k.pub", key = m_dir + "/k.key";
        QCOMPARE(Minisign({"-G", "-W", "-p", pub, "-s", key}), 0);
        QByteArray err;
        QCOMPARE(Publish(m_dir, "1002", host, "spring update!", &err, {"--sign-key", key}), 0);
        QCOMPARE(QDir(download).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"1001.dat", "1002.dat", "1002.dat.minisig", "latestver.txt",
                              "latestver.txt.minisig"}));
        for (const auto& [file, comment] :
             {std::pair{"1002.dat", "file:1002.dat version:1002 date:20261207"},
              {"latestver.txt", "file:latestver.txt"}}) {
            QByteArray out;
            QCOMPARE(Minisign({"-V", "-p", pub, "-m", download + file}, &out), 0);
            QVERIFY2(out.contains(QByteArray("Trusted comment: ") + comment), out.constData());
        }
        QCOMPARE(Publish(m_dir, "1003", host, "spring update!", &err), 2);
        QVERIFY2(err.contains("holds signatures"), err.constData());
        QCOMPARE(Announced(m_dir).mid(4, 4), "1002");

        if (Nginx().isEmpty())
            QSKIP("nginx is not installed (tools/install-deps.sh installs it)");
        tApp app(m_dir, host, QString::fromLatin1(ReadFile(pub).split('\n').value(1)));
        QVERIFY(app.blnServing);
        app.ClickUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(app.Status(), "OK 最新のデータベースに更新しました。", 20000);
        QCOMPARE(app.platform.msgBoxes.size(), 0);
        QCOMPARE(app.db.DBVersion() + app.db.DBDate(), "100220261207");
        QCOMPARE(ReadFile(app.dbPath), ReadFile(download + "1002.dat"));

        // 1003 published, then its database swapped for one of the same size.
        QVERIFY(WriteFile(m_dir + "/table.csv", "prefix,code\n090124,C130\n"));
        QCOMPARE(Publish(m_dir, "1003", host, "spring update!", &err, {"--sign-key", key}), 0);
        const QByteArray published = ReadFile(download + "1003.dat");
        QByteArray forged = published;
        forged.replace("AC130", "AC150");
        QVERIFY(forged != published && WriteFile(download + "1003.dat", forged));
        const QByteArray before = ReadFile(app.dbPath);
        app.ClickUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(app.Status(), "NG データベースの署名を確認できませんでした。",
                                  20000);
        QCOMPARE(ReadFile(app.dbPath), before);
        QCOMPARE(app.db.DBVersion(), "1002");
    }

    // What the web server's user plants in download/ is replaced or refused, never
    // written through: root's publish must not change a file elsewhere.
    void plantedTargets_data() { modTestFiles::AddDataRows(QFINDTESTDATA("planted-targets.txt")); }
    void plantedTargets() {
        QFETCH(QStringList, row);
        const QString &name = row[1], &planted = row[2];
        const int exitCode = row[3].toInt();
        QCOMPARE(Publish(m_dir, "1001"), 0);
        const QString download = m_dir + "/www/download/", victim = m_dir + "/victim";
        QVERIFY(QFile::copy(download + "latestver.txt", victim));
        const QByteArray victimBytes = ReadFile(victim);
        QFile::remove(download + name);
        if (planted == "link")
            QVERIFY(QFile::link(victim, download + name));
        else if (planted == "folder")
            QVERIFY(QDir(download).mkdir(name));
        else
            QCOMPARE(::mkfifo(QFile::encodeName(download + name).constData(), 0600), 0);

        QByteArray err;
        QCOMPARE(Publish(m_dir, "1002", Host, "spring update!", &err), exitCode);
        QCOMPARE(err.contains(name.toUtf8() + " is not a regular file; nothing was published"),
                 exitCode != 0);
        QCOMPARE(ReadFile(victim), victimBytes);
        // (A pipe is never read: that would wait for ever.)
        const bool blnReadable = QFileInfo(download + "latestver.txt").isFile();
        QCOMPARE(blnReadable ? Announced(m_dir).mid(4, 4) : QString(), row[4]);
        // A link is replaced by a file, what is refused stays, and no temporary file is left.
        const QFileInfo target(download + name);
        QCOMPARE(target.isSymLink() ? "link"
                 : target.isDir()   ? "folder"
                 : target.isFile()  ? "file"
                                    : "pipe",
                 exitCode == 0 ? "file" : planted);
        QCOMPARE(QDir(download)
                     .entryList(QDir::Hidden | QDir::AllEntries)
                     .filter(QRegularExpression("^\\.[^.]")),
                 QStringList());
    }

    // Every client refuses a version file over 4096 bytes unread. Three digits, so
    // six letters, per character of "130 1002 NOTE!updates.example.org/download/1002.dat ",
    // and six for the offset and check digit.
    void versionFileSize_data() {
        QTest::addColumn<int>("noteLength");
        QTest::addColumn<QString>("published"); // the size of latestver.txt
        QTest::newRow("4092 bytes") << 633 << "4092";
        QTest::newRow("4098 bytes") << 634 << "none";
    }
    void versionFileSize() {
        QFETCH(int, noteLength);
        QFETCH(QString, published);
        QCOMPARE(Publish(m_dir, "1002", Host, QString(noteLength, 'n')),
                 published == "none" ? 2 : 0);
        const QFileInfo latest(m_dir + "/www/download/latestver.txt");
        QCOMPARE(latest.exists() ? QString::number(latest.size()) : "none", published);
        QCOMPARE(QFile::exists(m_dir + "/www/download/1002.dat"), latest.exists());
    }

    // The publish script and a build's LUMIVO_UPDATE_HOST take the same hosts: the hosts
    // and whether they are taken are in the data file.
    void hostRule_data() { modTestFiles::AddDataRows(QFINDTESTDATA("publish-hosts.txt")); }
    void hostRule() {
        QFETCH(QStringList, row);
        const QString host = QString(row[0]).replace("<63>", QString(63, 'a'));
        const bool accepted = row[1] == "taken";
        QCOMPARE(Publish(m_dir, "1001", host), accepted ? 0 : 2);
        QCOMPARE(QFile::exists(m_dir + "/www/download/latestver.txt"), accepted);
        QProcess cmake;
        cmake.start(LUMIVO_CMAKE_EXE, {"-DLUMIVO_UPDATE_HOST=" + host, "-P", LUMIVO_HOST_CHECK});
        QCOMPARE(Finish(cmake) == 0, accepted);
    }

    // While 1002 is held in its build, 1003 waits for it and is announced last; then a
    // newer version text written by someone else while 1004 is built is not overwritten.
    void whileABuildIsHeld() {
        QCOMPARE(Publish(m_dir, "1001"), 0);
        {
            cHeldPublish held(m_dir, "1002");
            QTRY_VERIFY(held.Held());
            QProcess later;
            later.start("sh", PublishArgs(m_dir, "1003"));
            QByteArray laterErr;
            QTRY_VERIFY_WITH_TIMEOUT((laterErr += later.readAllStandardError(),
                                      later.state() == QProcess::NotRunning ||
                                          laterErr.contains("waiting for another publish")),
                                     20000);
            QCOMPARE(held.Open(), 0);
            QCOMPARE(Finish(later), 0);
            QCOMPARE(Announced(m_dir), "130 1003 spring update!!" + Host + "/download/1003.dat ");
        }
        cHeldPublish held(m_dir, "1004");
        QTRY_VERIFY(held.Held());
        const QByteArray newer =
            DecryptAUCG::EncodeText("130 1005 x!" + Host + "/download/1005.dat ", 7)->toLatin1();
        QVERIFY(WriteFile(m_dir + "/www/download/latestver.txt", newer));
        QCOMPARE(held.Open(), 2);
        QCOMPARE(ReadFile(m_dir + "/www/download/latestver.txt"), newer);
    }
};

QTEST_MAIN(tst_publish)
#include "tst_publish.moc"
