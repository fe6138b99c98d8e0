// SPDX-License-Identifier: Apache-2.0
#include <QProcess>
#include <QtTest>

// The update host that a build names, as CMake writes it into the update
// library's header: the script the build uses, run alone into a folder of the
// test's own. test_update checks that the job asks the host of this build.
class tst_update_host : public QObject {
    Q_OBJECT

private slots:
    // The host CMake is given, then the line the header holds ("": no header).
    void headerNamesTheHost_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("line");
        // clang-format off
        QTest::newRow("trial host and port") << "trial.lumivo.test:8080" << "constexpr const char* Host = \"trial.lumivo.test:8080\";";
        QTest::newRow("\"no\", false to CMake, yet a host") << "no" << "constexpr const char* Host = \"no\";";
        QTest::newRow("none: the placeholder") << "" << "constexpr const char* Host = \"update.lumivo.example\";";
        QTest::newRow("a URL is refused") << "http://trial.lumivo.test" << "";
        // clang-format on
    }
    void headerNamesTheHost() {
        QFETCH(QString, host);
        QFETCH(QString, line);
        QTemporaryDir dir;
        const QString header = dir.filePath("modUpdateHost.h");
        QProcess cmake;
        cmake.start(LUMIVO_CMAKE_EXE, {"-DLUMIVO_UPDATE_HOST=" + host, "-DOUTPUT=" + header, "-P",
                                       LUMIVO_HOST_HEADER_SCRIPT});
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
