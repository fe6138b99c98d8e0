// SPDX-License-Identifier: Apache-2.0
#include "DecryptAUCG.h"
#include "cFileOps.h"
#include "cNumberDB.h"
#include "modCarrierTable.h"
#include "modCheckPath.h"
#include "modDataFolder.h"
#include "modFileIO.h"
#include "modSearch.h"
#include "modTestFiles.h"
#include "modText.h"
#include "tIoError.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using modTestFiles::AddDataRows;
using modTestFiles::DataRows;
using modTestFiles::DBBytes;
using modTestFiles::FileState;
using modTestFiles::LeftoverKinds;
using modTestFiles::WriteFile;

class tst_lookup : public QObject {
    Q_OBJECT

private slots:
    void pathSeparators() {
        // In the system's own separators, whichever Qt handed in.
#ifdef Q_OS_WIN
        const QString folder = "C:\\Program Files\\Lumivo\\";
        QCOMPARE(modCheckPath::CheckPath("C:/Program Files/Lumivo"), folder);
#else
        const QString folder = "/opt/tools/";
        QCOMPARE(modCheckPath::CheckPath("/opt/tools"), folder);
#endif
        QCOMPARE(modCheckPath::CheckPath(folder), folder);
    }

    void loadReplacesTextAndReportsFailures() {
        QTemporaryDir dir;
        const QString path = dir.filePath("db.dat");
        cNumberDB db;
        QVERIFY(WriteFile(path, "00020406AC130\r\n20040115  1000\r\n"));
        QVERIFY(db.LoadDB(path));
        QCOMPARE(modSearch::SearchDB6(db, "090123"), QStringLiteral("C130"));
        // A lead too short or too long for any key finds nothing (and writes no key past its end).
        QCOMPARE(modSearch::SearchDB6(db, "0901") + modSearch::MakeKey("09012345678"), u"0");
        // A second load replaces the text as a whole.
        QVERIFY(WriteFile(path, "00020407AC135\r\n20050301  1001\r\n"));
        QVERIFY(db.LoadDB(path) && !db.LastError().Failed());
        QCOMPARE(modSearch::SearchDB6(db, "090123") + db.DBVersion(), QStringLiteral("01001"));
        QVERIFY(db.DBDate() == u"20050301" && db.HasValidTail());
        db.SetText(QStringLiteral("00020406AC130\r\n2004041x  1000\r\n")); // date broken
        QVERIFY(!db.HasValidTail());
        // Failures leave nothing to search, and say why.
        QVERIFY(!db.LoadDB(path + ".gone"));
        QCOMPARE(db.LastError().kind, eIoError::NotFound);
        QCOMPARE(db.FindCode(u"00020407A"), QStringLiteral("0"));
        QVERIFY(!db.LoadDB(dir.path()));
        QCOMPARE(db.LastError().kind, eIoError::IsFolder);
    }

    // What stands at db.dat when it cannot be loaded, and why: never waited on, never
    // held beyond the limit, and a folder the user may not enter is no missing file.
    void loadRefusals_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<tIoError>("error");
        using enum eIoError;
        QTest::newRow("a FIFO") << "fifo" << tIoError::Of(NotRegularFile);
        QTest::newRow("one byte over the limit") << "big" << tIoError::Limit(256LL << 20);
        QTest::newRow("in a folder the user may not enter")
            << "shut" << tIoError::Of(PermissionDenied, EACCES);
    }
    void loadRefusals() {
        QFETCH(QString, what);
#ifndef Q_OS_UNIX
        if (what != "big")
            QSKIP("FIFOs, links and folder modes as Unix has them");
#endif
        QTemporaryDir dir;
        const QString path = dir.filePath("db.dat");
        if (what == "fifo")
            QVERIFY(modTestFiles::MakeFifo(path));
        if (what == "big") { // sparse, so that it takes no room
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(cNumberDB::MaxFileBytes + 1));
        }
        if (what == "shut")
            QVERIFY(WriteFile(path, DBBytes("1000")) &&
                    QFile::setPermissions(dir.path(), QFile::Permissions()));
        const auto restore = qScopeGuard([&] {
            modTestFiles::SetPermissionOverride(true);
            QFile::setPermissions(dir.path(), QFile::Permissions(0x7700));
        });
        modTestFiles::SetPermissionOverride(false);
        cNumberDB db;
        db.SetBytes(DBBytes("1000"));
        QVERIFY(!db.LoadDB(path));
        QTEST(db.LastError(), "error");
        QVERIFY(!db.IsLoaded() && db.Size() == 0);
    }

    void recover_data() {
        AddDataRows(QFINDTESTDATA("recover-cases.txt"));
    }
    void recover() {
        QFETCH(QStringList, row);
        const QString db = row[1], others = row[2];
#ifndef Q_OS_LINUX
        if (others.contains("linked") || others.contains("dangling"))
            QSKIP("links and file times as Linux has them");
#endif
        QTemporaryDir dir;
        const QString folder = dir.path() + '/';
        const auto make = [&](const QString& name, const QString& what) {
            if (what == "folder")
                return QDir(folder).mkdir(name);
            if (what == "fifo")
                return modTestFiles::MakeFifo(folder + name);
            if (what == "dangling")
                return QFile::link(folder + "nowhere", folder + name);
            if (what == "linked") {
                QFile file(folder + "db.dat");
                return file.open(QIODevice::ReadWrite) &&
                       file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-3600),
                                        QFileDevice::FileModificationTime) &&
                       !modFileIO::LinkOrCopy(folder + "db.dat", folder + name).Failed();
            }
            if (what.startsWith("big")) { // sparse, so that it takes no room
                QFile file(folder + name);
                const QByteArray tail = DBBytes(what.mid(3));
                return file.open(QIODevice::WriteOnly) &&
                       file.resize(cNumberDB::MaxFileBytes + 1 - tail.size()) &&
                       file.seek(file.size()) && file.write(tail) == tail.size();
            }
            return WriteFile(folder + name, what.startsWith("db") ? DBBytes(what.mid(2)) : "x");
        };
        if (db == "fifo" && !modTestFiles::MakeFifo(folder + "probe"))
            QSKIP("no FIFOs on this system");
        QVERIFY(db == "none" || make("db.dat", db));
        for (const QString& file : others.split(',', Qt::SkipEmptyParts))
            QVERIFY(make(file.section('=', 0, 0), file.section('=', 1)));
        modDataFolder::RecoverFolder(cFileOps::Disk(), folder, modDataFolder::LeftoverMinAgeSecs,
                                     QDateTime::currentDateTimeUtc().addSecs(row[3].toInt()));
        QCOMPARE(FileState(folder + "db.dat"), row[4]);
        QCOMPARE(LeftoverKinds(dir.path()), row[5]);
    }

    // The user's data folder: XDG_DATA_HOME's when that is absolute; a relative or
    // empty one is ignored, as the XDG rules say.
    void userDataFolder_data() {
        QTest::addColumn<QByteArray>("xdg");
        QTest::addColumn<QString>("folder");
        const QString standard = "/home/someone/.local/share/Lumivo";
        QTest::newRow("absolute") << QByteArray("/srv/data") << "/srv/data/Lumivo";
        QTest::newRow("relative") << QByteArray("data") << standard;
        QTest::newRow("relative, from here") << QByteArray("./data") << standard;
        QTest::newRow("empty") << QByteArray("") << standard;
    }
    void userDataFolder() {
#if !defined(Q_OS_UNIX) || defined(Q_OS_DARWIN)
        QSKIP("XDG_DATA_HOME is for Linux and the BSDs");
#endif
        const QByteArray home = qgetenv("HOME"), xdgBefore = qgetenv("XDG_DATA_HOME");
        const bool hadXdg = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        const auto restore = qScopeGuard([&] {
            qputenv("HOME", home);
            if (hadXdg)
                qputenv("XDG_DATA_HOME", xdgBefore);
            else
                qunsetenv("XDG_DATA_HOME");
        });
        QFETCH(QByteArray, xdg);
        qputenv("HOME", "/home/someone");
        qputenv("XDG_DATA_HOME", xdg);
        QTEST(modDataFolder::UserDataFolder(), "folder");
    }

    void searchSteps_data() {
        AddDataRows(QFINDTESTDATA("search-steps.txt"));
    }

    void searchSteps() {
        QFETCH(QStringList, row);
        const QByteArray text = QByteArray::fromPercentEncoding(row[1].toLatin1());
        const QString number = row[2], answer = row[3];
        cNumberDB db, indexed;
        db.SetBytes(text);
        indexed.SetBytes(text);
        indexed.BuildIndex(); // the byte search and the key index answer alike
        const modSearch::tSearchResult result = modSearch::SearchNumber(db, number);
        if (!result.Accepted()) {
            QCOMPARE(result.Text().toString(), answer);
            return;
        }
        QCOMPARE(result.code.toString() + u'|' + modSearch::SearchCarrierCode(indexed, number),
                 answer + u'|' + answer);
        // No database: one notice for every accepted number, neither logged nor unlisted.
        const modSearch::tSearchResult none = modSearch::SearchNumber(db, number, false);
        QVERIFY(!none.Accepted() && !none.Logged() && !none.Unlisted());
        QCOMPARE(none.Text().toString(), QStringLiteral("db.datを読み込めませんでした"));
    }

    void carrierTable() {
        // The whole table, row by row, and codes that must fall to the last row ("*").
        QStringList codes;
        for (const QStringList& row : DataRows(QFINDTESTDATA("carrier-table.txt"))) {
            QVERIFY(row.size() == 3);
            QStringList asked = {row[0]};
            if (row[0] == u"*")
                asked = QStringList{"0", "C119", "C123", "C139", "C155", "P109", "c100", "C10", ""};
            else
                codes.append(row[0]);
            for (const QString& code : asked) {
                const modCarrierTable::tCarrierRow& got = modCarrierTable::LookupCarrier(code);
                QCOMPARE(got.text.toString() + u'|' + QString::number(got.area),
                         row[1] + u'|' + row[2]);
            }
        }
        QCOMPARE(modCarrierTable::AllCodes(), codes);
    }

    void cp932_data() {
        AddDataRows(QFINDTESTDATA("cp932-cases.txt"));
    }
    void cp932() {
        QFETCH(QStringList, row);
        const QByteArray bytes = QByteArray::fromHex(row[1].toLatin1());
        if (!bytes.isEmpty())
            QCOMPARE(modText::DecodeCp932(bytes), row[2]);
        QCOMPARE(modText::EncodeCp932(row[2]), QByteArray::fromHex(row[3].toLatin1()));
    }

    // Every one- and two-byte code and every BMP code unit, against the system's
    // converter: on Windows its own code page 932, which must agree exactly;
    // elsewhere ICU's windows-31j, which differs in the listed places only.
    void cp932EveryCode() {
#ifdef Q_OS_WIN
        for (int b = 0; b < 0x10000; ++b) {
            const char pair[2] = {char(b >> 8), char(b & 0xFF)};
            const QByteArrayView bytes = b < 0x100 ? QByteArrayView(pair + 1, 1) : pair;
            wchar_t units[4];
            const int n = MultiByteToWideChar(932, 0, bytes.data(), int(bytes.size()), units, 4);
            QCOMPARE(modText::DecodeCp932(bytes), QString::fromWCharArray(units, n));
            const wchar_t unit = wchar_t(b);
            char out[4];
            BOOL blnUsedDefault = FALSE;
            const int m = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &unit, 1, out, 4, nullptr,
                                              &blnUsedDefault);
            QCOMPARE(modText::EncodeCp932(QStringView(&unit, 1)),
                     blnUsedDefault ? QByteArray("?") : QByteArray(out, m));
        }
#else
        QStringDecoder icuProbe("windows-31j");
        if (!icuProbe.isValid())
            QSKIP("no ICU converter for windows-31j to compare with");
        QStringList differences;
        int intPairs = 0;
        for (int b = 0; b < 0x10000; ++b) {
            const char pair[2] = {char(b >> 8), char(b & 0xFF)};
            const bool blnSingle = b < 0x100;
            if (blnSingle == modText::IsLeadByte(uchar(b)) && blnSingle)
                continue;
            if (!blnSingle && (!modText::IsLeadByte(uchar(b >> 8)) || (b & 0xFF) == 0))
                continue;
            const QByteArrayView bytes = blnSingle ? QByteArrayView(pair + 1, 1) : pair;
            QStringDecoder icu("windows-31j");
            const QString strIcu = icu.decode(bytes);
            const QString strOurs = modText::DecodeCp932(bytes);
            const bool blnIcuHasIt = !icu.hasError() && strIcu.size() == 1 && strIcu != u"\uFFFD";
            intPairs += !blnSingle && blnIcuHasIt;
            if (blnIcuHasIt ? strOurs != strIcu : strOurs != u"\u30FB")
                differences << QString::number(b, 16) + u'>' +
                                   QString::number(strOurs.front().unicode(), 16);
        }
        for (int u = 0; u < 0x10000; ++u) {
            const QChar unit(u);
            QStringEncoder icu("windows-31j");
            QByteArray icuBytes = icu.encode(QStringView(&unit, 1));
            if (icu.hasError() || unit.isSurrogate())
                icuBytes = "?";
            const QByteArray ours = modText::EncodeCp932(QStringView(&unit, 1));
            if (ours != icuBytes)
                differences << u'U' + QString::number(u, 16) + u'>' + ours.toHex();
        }
        QCOMPARE(intPairs, 9604);
        QCOMPARE(differences,
                 QStringList({"1a>1a", "1c>1c", "7f>7f", "80>80", "a0>f8f0", "fd>f8f1", "fe>f8f2",
                              "ff>f8f3", "U1a>1a", "U1c>1c", "U7f>7f", "U80>80", "Uf86f>3f",
                              "Uf8f0>a0", "Uf8f1>fd", "Uf8f2>fe", "Uf8f3>ff"}));
#endif
    }

    void decode_data() {
        AddDataRows(QFINDTESTDATA("decode-cases.txt"));
    }
    void decode() {
        QFETCH(QStringList, row);
        bool blnDigitError = false;
        const QString got = DecryptAUCG::DecodeText(row[1], &blnDigitError);
        QCOMPARE(blnDigitError ? QStringLiteral("!") + got : got, row[2]);
    }
};

QTEST_GUILESS_MAIN(tst_lookup)
#include "tst_lookup.moc"
