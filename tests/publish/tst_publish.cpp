#include "lookup/DecryptAUCG.h"
#include "lookup/cNumberDB.h"
#include "platform/cFakePlatform.h"
#include "platform/modTestFiles.h"
#include "update/frmAbout.h"
#include "update/ucrAsync.h"

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
                        const QString& note = "spring update!") {
    const QStringList args{LUMIVO_PUBLISH_SCRIPT,
                           "--table",
                           dir + "/table.csv",
                           "--date",
                           "20261207",
                           "--version",
                           version,
                           "--host",
                           host,
                           "--root",
                           dir + "/www",
                           "--note",
                           note};
    return args;
}

// The exit status of a started script, once it has ended (also when it already has).
int Finish(QProcess& p) {
    if (p.state() != QProcess::NotRunning)
        p.waitForFinished(60000);
    const bool blnEnded = p.state() == QProcess::NotRunning && p.error() != QProcess::FailedToStart;
    return blnEnded && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// Publishes the table of dir into dir/www; the script's exit status (its messages
// into *pErr).
int Publish(const QString& dir, const QString& version, const QString& host = Host,
            const QString& note = "spring update!", QByteArray* pErr = nullptr) {
    QProcess p;
    p.start("sh", PublishArgs(dir, version, host, note) << "--mkdb" << LUMIVO_MKDB_EXE);
    const int intStatus = Finish(p);
    if (pErr)
        *pErr = p.readAllStandardError();
    return intStatus;
}

// A folder with a one-row prefix table, for Publish.
bool MakeTable(const QTemporaryDir& dir) {
    return WriteFile(dir.filePath("table.csv"), "prefix,code\n090123,C130\n");
}

QString Announced(const QString& dir) {
    return DecryptAUCG::DecodeText(ReadFile(dir + "/www/download/latestver.txt"));
}

QByteArray VersionText(const QString& version) {
    return DecryptAUCG::EncodeText(
               "130 " + version + " x!" + Host + "/download/" + version + ".dat ", 7)
        ->toLatin1();
}

// A publish of version into dir/www whose database build waits at a gate (a pipe
// read by a wrapper of lumivo-mkdb) until Open().
class cHeldPublish {
public:
    cHeldPublish(const QString& dir, const QString& version) : m_gate(dir + "/gate") {
        const QString mkdb = dir + "/held-mkdb";
        const QString script = QString("#!/bin/sh\n"
                                       "if [ \"$1\" = build ]; then\n"
                                       "    : >'%1.held'\n"
                                       "    read -r line <'%1'\n"
                                       "fi\n"
                                       "exec '%2' \"$@\"\n")
                                   .arg(m_gate, LUMIVO_MKDB_EXE);
        if (::mkfifo(QFile::encodeName(m_gate).constData(), 0600) == 0 &&
            WriteFile(mkdb, script.toUtf8()) &&
            QFile::setPermissions(mkdb, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            m_process.start("sh", PublishArgs(dir, version) << "--mkdb" << mkdb);
    }
    // Whether the build has reached the gate.
    bool Held() const { return QFile::exists(m_gate + ".held"); }
    // Lets the build go on; the script's exit status.
    int Open() {
        QFile gate(m_gate);
        if (!gate.open(QIODevice::WriteOnly) || gate.write("go\n") != 3)
            return -1;
        gate.close();
        return Finish(m_process);
    }

private:
    QString m_gate;
    QProcess m_process;
};

// The About window's update of the db.dat in appDir from the server at host, as
// a user runs it: the one place that knows how the window is driven.
void UpdateThroughAboutWindow(const QString& appDir, const QString& host) {
    cFakePlatform platform;
    cNumberDB db;
    QWidget owner;
    db.LoadDB(appDir + "/db.dat");
    cUpdateJob job(db, appDir);
    job.Reader().SetHost(host);
    frmAbout about(platform, job, &owner);
    about.findChild<QPushButton*>("cmdUpdate")->click();
    QTRY_COMPARE_WITH_TIMEOUT(about.findChild<QLabel*>("lblConnectionStatus")->text(),
                              "OK 最新のデータベースに更新しました。", 20000);
    QCOMPARE(platform.msgBoxes.size(), 0);
    QCOMPARE(db.DBVersion() + db.DBDate(), "100120261207");
}

} // namespace

class tst_publish : public QObject {
    Q_OBJECT

private slots:
    void publishAndUpdate();
    void plantedTargets_data();
    void plantedTargets();
    void versionFileSize_data();
    void versionFileSize();
    void hostRule_data();
    void hostRule();
    void onePublishAtATime();
    void newerAnnouncedMeanwhile();
};

void tst_publish::publishAndUpdate() {
    QTcpServer probe; // a free loopback port for the server
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const QString host = "127.0.0.1:" + QString::number(probe.serverPort());
    probe.close();
    QTemporaryDir dir;
    const QString download = dir.filePath("www/download");
    QVERIFY(MakeTable(dir));
    QCOMPARE(Publish(dir.path(), "1001", host), 0);
    // A version that is not newer than the published one is refused.
    for (const QString version : {"1001", "0999"})
        QCOMPARE(Publish(dir.path(), version, host), 2);
    QCOMPARE(DecryptAUCG::DecodeText(ReadFile(download + "/latestver.txt")),
             "130 1001 spring update!!" + host + "/download/1001.dat ");
    QCOMPARE(QDir(download).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({"1001.dat", "latestver.txt"}));

    const QString nginx = QStandardPaths::findExecutable("nginx", {"/usr/sbin", "/usr/bin"});
    if (nginx.isEmpty())
        QSKIP("nginx is not installed (tools/install-deps.sh installs it)");
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    QVERIFY(
        WriteFile(dir.filePath("nginx.conf"),
                  QString("daemon off; master_process off; pid %1/nginx.pid; events {}\n"
                          "http { access_log off; client_body_temp_path %1; proxy_temp_path %1; "
                          "fastcgi_temp_path %1; uwsgi_temp_path %1; scgi_temp_path %1;\n"
                          "server { listen %2; root %1/www; } }\n")
                      .arg(dir.path(), host)
                      .toUtf8()));
    QProcess server;
    server.start(nginx, {"-e", dir.filePath("error.log"), "-c", dir.filePath("nginx.conf")});
    QTRY_VERIFY(QFile::exists(dir.filePath("nginx.pid"))); // written once it listens
    QDir(dir.path()).mkdir("app");
    QVERIFY(WriteFile(dir.filePath("app/db.dat"), "00020406AC100\r\n20040115  1000\r\n"));

    UpdateThroughAboutWindow(dir.filePath("app"), host);
    server.terminate();
    QVERIFY(server.waitForFinished(10000));
    QCOMPARE(ReadFile(dir.filePath("app/db.dat")), ReadFile(download + "/1001.dat"));
    QVERIFY(ReadFile(download + "/1001.dat").startsWith("00020406AC130\r\n"));
    QCOMPARE(QDir(dir.filePath("app")).entryList(QDir::Files), QStringList{"db.dat"});
    // The next database is published over the one the window fetched.
    QCOMPARE(Publish(dir.path(), "1002", host), 0);
    QCOMPARE(DecryptAUCG::DecodeText(ReadFile(download + "/latestver.txt")),
             "130 1002 spring update!!" + host + "/download/1002.dat ");
}

void tst_publish::plantedTargets_data() {
    QTest::addColumn<QString>("name"); // in download/
    QTest::addColumn<QString>("planted");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("announced");
    QTest::addColumn<QString>("after");      // what is at the name afterwards
    QTest::addColumn<QByteArray>("refusal"); // in the messages
    const QByteArray notFile = "is not a regular file; nothing was published";
    // A link's target holds the published version text and must keep it.
    // clang-format off
    QTest::newRow("link at the version file") << "latestver.txt" << "link" << 0 << "1002" << "file" << QByteArray();
    QTest::newRow("link at the database") << "1002.dat" << "link" << 0 << "1002" << "file" << QByteArray();
    QTest::newRow("folder at the database") << "1002.dat" << "folder" << 2 << "1001" << "folder" << "1002.dat " + notFile;
    QTest::newRow("pipe at the version file") << "latestver.txt" << "pipe" << 2 << "" << "pipe" << "latestver.txt " + notFile;
    // clang-format on
}

// What the web server's user plants in download/ is replaced or refused, never
// written through: root's publish must not change a file elsewhere.
void tst_publish::plantedTargets() {
    QFETCH(QString, name);
    QFETCH(QString, planted);
    QTemporaryDir dir;
    QVERIFY(MakeTable(dir));
    QCOMPARE(Publish(dir.path(), "1001"), 0);
    const QString download = dir.filePath("www/download/");
    const QString victim = dir.filePath("victim");
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
    QTEST(Publish(dir.path(), "1002", Host, "spring update!", &err), "exitCode");
    QFETCH(QByteArray, refusal);
    QVERIFY2(refusal.isEmpty() || err.contains(refusal), err.constData());
    QCOMPARE(ReadFile(victim), victimBytes);
    // (A pipe is never read: that would wait for ever.)
    const bool blnReadable = QFileInfo(download + "latestver.txt").isFile();
    QTEST(blnReadable ? Announced(dir.path()).mid(4, 4) : QString(), "announced");
    const QFileInfo target(download + name);
    QTEST(QString(target.isSymLink() ? "link"
                  : target.isDir()   ? "folder"
                  : target.isFile()  ? "file"
                                     : "pipe"),
          "after");
    // No temporary file is left behind.
    QCOMPARE(QDir(download)
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                 .filter(QRegularExpression("^\\.")),
             QStringList());
}

void tst_publish::versionFileSize_data() {
    QTest::addColumn<int>("noteLength");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("size"); // of latestver.txt
    // Three digits, so six letters, per character of
    // "130 1002 NOTE!updates.example.org/download/1002.dat ", and six for the offset and check
    // digit.
    QTest::newRow("4092 bytes") << 633 << 0 << QByteArray("4092");
    QTest::newRow("4098 bytes") << 634 << 2 << QByteArray("none");
}

// Every client refuses a version file over 4096 bytes unread.
void tst_publish::versionFileSize() {
    QFETCH(int, noteLength);
    QTemporaryDir dir;
    QVERIFY(MakeTable(dir));
    QTEST(Publish(dir.path(), "1002", Host, QString(noteLength, 'n')), "exitCode");
    const QFileInfo latest(dir.filePath("www/download/latestver.txt"));
    QTEST(latest.exists() ? QByteArray::number(latest.size()) : QByteArray("none"), "size");
    QCOMPARE(QFile::exists(dir.filePath("www/download/1002.dat")), latest.exists());
}

void tst_publish::hostRule_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("accepted");
    const QString label63(63, 'a');
    // clang-format off
    const QList<std::pair<QString, bool>> rows{
        {"update.lumivo.example", true}, {"localhost", true}, {"Example-Host.org:65535", true},
        {"127.0.0.1:8080", true}, {"[::1]:8080", true}, {"[2001:db8::1]", true},
        {"[1:2:3:4:5:6:7:8]", true}, {"[::ffff:192.0.2.1]", true}, {label63 + ".org:1", true},
        {"no", true}, // CMake's false, but a host
        {"]", false}, {"a:b:c", false}, {"host:0", false}, {"host:65536", false},
        {"host:080", false}, {"host:", false}, {"-host.example", false}, {"host-.example", false},
        {"a..b", false}, {"host.", false}, {label63 + "a.org", false}, {"256.1.1.1", false},
        {"1.2.3", false}, {"127.0.0.01", false}, {"example.123", false}, {"[1::2::3]", false},
        {"[12345::1]", false}, {"[1:2:3:4:5:6:7]", false}, {"[1:2:3:4::5:6:7:8]", false}, {"[1.2.3.4]", false},
        {"[::1]:", false}, {"[::1", false}, {"[::1]]", false}, {"host/path", false},
        {"user@host", false}, {"a b", false}, {"http://host", false}, {"host!x", false}};
    // clang-format on
    for (const auto& [host, accepted] : rows)
        QTest::newRow(qPrintable(host)) << host << accepted;
}

// The publish script and a build's LUMIVO_UPDATE_HOST take the same hosts.
void tst_publish::hostRule() {
    QFETCH(QString, host);
    QFETCH(bool, accepted);
    QTemporaryDir dir;
    QVERIFY(MakeTable(dir));
    QCOMPARE(Publish(dir.path(), "1001", host), accepted ? 0 : 2);
    QCOMPARE(QFile::exists(dir.filePath("www/download/latestver.txt")), accepted);
    QProcess cmake;
    cmake.start(LUMIVO_CMAKE_EXE, {"-DLUMIVO_UPDATE_HOST=" + host, "-P", LUMIVO_HOST_CHECK});
    QVERIFY(cmake.waitForFinished(60000));
    QCOMPARE(cmake.exitStatus() == QProcess::NormalExit && cmake.exitCode() == 0, accepted);
}

// 1002 is held in its build while 1003 is published: 1003 must be announced last.
void tst_publish::onePublishAtATime() {
    QTemporaryDir dir;
    QVERIFY(MakeTable(dir));
    QCOMPARE(Publish(dir.path(), "1001"), 0);
    cHeldPublish held(dir.path(), "1002");
    QTRY_VERIFY(held.Held());
    QProcess later;
    later.start("sh", PublishArgs(dir.path(), "1003") << "--mkdb" << LUMIVO_MKDB_EXE);
    QByteArray laterErr;
    QTRY_VERIFY_WITH_TIMEOUT(
        (laterErr += later.readAllStandardError(),
         later.state() == QProcess::NotRunning || laterErr.contains("waiting for another publish")),
        20000);
    QCOMPARE(held.Open(), 0);
    QCOMPARE(Finish(later), 0);
    QCOMPARE(Announced(dir.path()), "130 1003 spring update!!" + Host + "/download/1003.dat ");
}

// A newer version text written by someone else while 1002 is built is not overwritten.
void tst_publish::newerAnnouncedMeanwhile() {
    QTemporaryDir dir;
    QVERIFY(MakeTable(dir));
    QCOMPARE(Publish(dir.path(), "1001"), 0);
    cHeldPublish held(dir.path(), "1002");
    QTRY_VERIFY(held.Held());
    const QByteArray newer = VersionText("1003");
    QVERIFY(WriteFile(dir.filePath("www/download/latestver.txt"), newer));
    QCOMPARE(held.Open(), 2);
    QCOMPARE(ReadFile(dir.filePath("www/download/latestver.txt")), newer);
}

QTEST_MAIN(tst_publish)
#include "tst_publish.moc"
