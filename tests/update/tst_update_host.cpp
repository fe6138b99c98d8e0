// SPDX-License-Identifier: Apache-2.0
#include "modTestFiles.h"

#include <QProcess>
#include <QtTest>

// The update host and key that a build names, as CMake writes them into the
// update library's header: the script the build uses, run alone into a folder of
// the test's own. test_update checks that the job asks the host of this build.
class tst_update_host : public QObject {
    Q_OBJECT

private slots:
    // What the header holds for each setting: the rows are in the data file.
    void headerNamesTheSetting_data() {
        modTestFiles::AddDataRows(QFINDTESTDATA("host-settings.txt"));
    }
    void headerNamesTheSetting() {
        QFETCH(QStringList, row);
        QString setting = row[1];
        const QString& line = row[2];
        QTemporaryDir dir;
        const QString pub = dir.filePath("k.pub");
        QVERIFY(modTestFiles::WriteFile(
            pub, !setting.endsWith("without")
                     ? "untrusted comment: minisign public key 36A83C957299DCFF\n"
                       "RWT/3JlylTyoNltE7XegYYjizQq2AcSDkaok2xXgVpho4CX6pRMxw/JP\n"
                     : "no key here\n"));
        setting.replace(QRegularExpression("PUB( without)?$"), pub);
        const QString header = dir.filePath("modUpdateHost.h");
        QProcess cmake;
        cmake.setWorkingDirectory(dir.path());
        cmake.start(LUMIVO_CMAKE_EXE,
                    {"-D" + setting, "-DOUTPUT=" + header, "-P", LUMIVO_HOST_HEADER_SCRIPT});
        QVERIFY(cmake.waitForFinished(60000));
        QCOMPARE(cmake.exitStatus() == QProcess::NormalExit && cmake.exitCode() == 0,
                 !line.isEmpty());
        if (line.isEmpty()) {
            QVERIFY(!QFile::exists(header));
            return;
        }
        QVERIFY2(QString::fromUtf8(modTestFiles::ReadFile(header)).split('\n').contains(line),
                 qPrintable(line));
    }
};

QTEST_GUILESS_MAIN(tst_update_host)
#include "tst_update_host.moc"
