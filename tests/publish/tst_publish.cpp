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

using modTestFiles::ReadFile;
using modTestFiles::WriteFile;

namespace {

// Publishes the table of dir into dir/www; the script's exit status.
int Publish(const QString& dir, const QString& version, const QString& host) {
    QProcess p;
    p.start("sh", {LUMIVO_PUBLISH_SCRIPT, "--mkdb", LUMIVO_MKDB_EXE, "--table", dir + "/table.csv",
                   "--date", "20261207", "--version", version, "--host", host, "--root",
                   dir + "/www", "--note", "spring update!"});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// The About window's update of the db.dat in appDir from the server at host, as
// a user runs it: the one place that knows how the window is driven.
void UpdateThroughAboutWindow(const QString& appDir, const QString& host) {
    cFakePlatform platform;
    cNumberDB db;
    QWidget owner;
    db.LoadDB(appDir + "/db.dat");
    frmAbout about(platform, db, appDir, &owner, [&] { db.LoadDB(appDir + "/db.dat"); });
    about.findChild<ucrAsync*>("ucrAsync")->SetHost(host);
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
};

void tst_publish::publishAndUpdate() {
    QTcpServer probe; // a free loopback port for the server
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const QString host = "127.0.0.1:" + QString::number(probe.serverPort());
    probe.close();
    QTemporaryDir dir;
    const QString download = dir.filePath("www/download");
    QVERIFY(WriteFile(dir.filePath("table.csv"), "prefix,code\n090123,C130\n"));
    QCOMPARE(Publish(dir.path(), "1001", host), 0);
    // A version that is not newer than the published one is refused.
    for (const QString version : {"1001", "0999"})
        QCOMPARE(Publish(dir.path(), version, host), 2);
    QCOMPARE(DecryptAUCG::DecodeText(ReadFile(download + "/latestver.txt")),
             "130 1001 spring update!!" + host + "/download/1001.dat ");
    QCOMPARE(QDir(download).entryList(QDir::Files), QStringList({"1001.dat", "latestver.txt"}));

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

QTEST_MAIN(tst_publish)
#include "tst_publish.moc"
