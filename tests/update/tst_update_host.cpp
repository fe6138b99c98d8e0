// SPDX-License-Identifier: Apache-2.0
#include <QProcess>
#include <QtTest>

// The update host and key that a build names, as CMake writes them into the
// update library's header: the script the build uses, run alone into a folder of
// the test's own. test_update checks that the job asks the host of this build.
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
        QVERIFY(CheckHeader(dir, {"-DLUMIVO_UPDATE_HOST=" + host}, line));
    }

    // The key CMake is given (PUB: the path of a .pub file holding the key
    // below; "@dir": a relative path), then the line the header holds ("": no header).
    void headerNamesTheKey_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("line");
        const QString key = "RWT/3JlylTyoNltE7XegYYjizQq2AcSDkaok2xXgVpho4CX6pRMxw/JP";
        const QString named = "constexpr const char* PublicKey = \"" + key + "\";";
        // clang-format off
        QTest::newRow("the key line") << key << named;
        QTest::newRow("its .pub file") << "PUB" << named;
        QTest::newRow("none: unsigned updates") << "" << "constexpr const char* PublicKey = \"\";";
        QTest::newRow("one letter short") << key.chopped(1) << "";
        QTest::newRow("not a key of minisign's (no \"Ed\")") << "RUQ" + key.mid(3) << "";
        QTest::newRow("a relative path") << "@dir" << "";
        QTest::newRow("a file without a key") << "PUB without" << "";
        // clang-format on
    }
    void headerNamesTheKey() {
        QFETCH(QString, key);
        QFETCH(QString, line);
        QTemporaryDir dir;
        const QString pub = "untrusted comment: minisign public key 36A83C957299DCFF\n"
                            "RWT/3JlylTyoNltE7XegYYjizQq2AcSDkaok2xXgVpho4CX6pRMxw/JP\n";
        QFile file(dir.filePath("k.pub"));
        QVERIFY(file.open(QIODevice::WriteOnly) &&
                file.write(key == "PUB" ? pub.toLatin1() : "no key here\n") > 0);
        file.close();
        if (key.startsWith("PUB"))
            key = file.fileName();
        else if (key == "@dir")
            key = "k.pub";
        QVERIFY(CheckHeader(dir, {"-DLUMIVO_UPDATE_PUBKEY=" + key}, line));
    }

private:
    // Writes the header with the settings into dir: whether it holds line, or, for
    // an empty line, whether CMake refused and wrote nothing.
    static bool CheckHeader(const QTemporaryDir& dir, const QStringList& settings,
                            const QString& line) {
        const QString header = dir.filePath("modUpdateHost.h");
        QProcess cmake;
        cmake.setWorkingDirectory(dir.path());
        cmake.start(LUMIVO_CMAKE_EXE,
                    settings + QStringList{"-DOUTPUT=" + header, "-P", LUMIVO_HOST_HEADER_SCRIPT});
        if (!cmake.waitForFinished(60000))
            return false;
        if ((cmake.exitStatus() == QProcess::NormalExit && cmake.exitCode() == 0) == line.isEmpty())
            return false;
        QFile file(header);
        if (line.isEmpty())
            return !file.exists();
        return file.open(QIODevice::ReadOnly) &&
               QString::fromUtf8(file.readAll()).split('\n').contains(line);
    }
};

QTEST_GUILESS_MAIN(tst_update_host)
#include "tst_update_host.moc"
