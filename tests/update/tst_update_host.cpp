// SPDX-License-Identifier: Apache-2.0
#include <QProcess>
#include <QtTest>

// The update host and key that a build names, as CMake writes them into the
// update library's header: the script the build uses, run alone into a folder of
// the test's own. test_update checks that the job asks the host of this build.
class tst_update_host : public QObject {
    Q_OBJECT

private slots:
    // The setting CMake is given, then the line the header holds ("": no header).
    // PUB stands for the absolute path of k.pub, which holds the key below, or
    // with " without" nothing of the kind; the test runs in k.pub's folder.
    void headerNamesTheSetting_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("line");
        const QString host = "LUMIVO_UPDATE_HOST=", key = "LUMIVO_UPDATE_PUBKEY=",
                      line = "RWT/3JlylTyoNltE7XegYYjizQq2AcSDkaok2xXgVpho4CX6pRMxw/JP",
                      keyNamed = "constexpr const char* PublicKey = \"" + line + "\";";
        // clang-format off
        QTest::newRow("trial host and port") << host + "trial.lumivo.test:8080" << "constexpr const char* Host = \"trial.lumivo.test:8080\";";
        QTest::newRow("\"no\", false to CMake, yet a host") << host + "no" << "constexpr const char* Host = \"no\";";
        QTest::newRow("none: the placeholder") << host << "constexpr const char* Host = \"update.lumivo.example\";";
        QTest::newRow("a URL is refused") << host + "http://trial.lumivo.test" << "";
        QTest::newRow("the key line") << key + line << keyNamed;
        QTest::newRow("its .pub file") << key + "PUB" << keyNamed;
        QTest::newRow("no key: unsigned updates") << key << "constexpr const char* PublicKey = \"\";";
        QTest::newRow("one letter short") << key + line.chopped(1) << "";
        QTest::newRow("not a key of minisign's (no \"Ed\")") << key + "RUQ" + line.mid(3) << "";
        QTest::newRow("a relative path") << key + "k.pub" << "";
        QTest::newRow("a file without a key") << key + "PUB without" << "";
        // clang-format on
    }
    void headerNamesTheSetting() {
        QFETCH(QString, setting);
        QFETCH(QString, line);
        QTemporaryDir dir;
        QFile pub(dir.filePath("k.pub"));
        QVERIFY(pub.open(QIODevice::WriteOnly) &&
                pub.write(!setting.endsWith("without")
                              ? "untrusted comment: minisign public key 36A83C957299DCFF\n"
                                "RWT/3JlylTyoNltE7XegYYjizQq2AcSDkaok2xXgVpho4CX6pRMxw/JP\n"
                              : "no key here\n") > 0);
        pub.close();
        setting.replace(QRegularExpression("PUB( without)?$"), pub.fileName());
        const QString header = dir.filePath("modUpdateHost.h");
        QProcess cmake;
        cmake.setWorkingDirectory(dir.path());
        cmake.start(LUMIVO_CMAKE_EXE,
                    {"-D" + setting, "-DOUTPUT=" + header, "-P", LUMIVO_HOST_HEADER_SCRIPT});
        QVERIFY(cmake.waitForFinished(60000));
        QCOMPARE(cmake.exitStatus() == QProcess::NormalExit && cmake.exitCode() == 0,
                 !line.isEmpty());
        QFile file(header);
        if (line.isEmpty()) {
            QVERIFY(!file.exists());
            return;
        }
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(QString::fromUtf8(file.readAll()).split('\n').contains(line), qPrintable(line));
    }
};

QTEST_GUILESS_MAIN(tst_update_host)
#include "tst_update_host.moc"
