// SPDX-License-Identifier: Apache-2.0
#include "cLineReader.h"
#include "modTestFiles.h"
#include "modToolIO.h"
#include "modToolRun.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#if defined(Q_OS_WIN)
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif
#if defined(Q_OS_LINUX)
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using modToolRun::Run;
using modToolRun::tRun;

class tst_tools : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir; // holds a FIFO and a link to it

private slots:
    void initTestCase() {
        if (modTestFiles::MakeFifo(m_dir.filePath("fifo")))
            QVERIFY(QFile::link(m_dir.filePath("fifo"), m_dir.filePath("fifo.lnk")));
    }

    void lookupOptionsFormatsAndFailures_data() {
        QTest::addColumn<QString>("streams");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QString>("errHas");
        const QStringList db{"--db", LUMIVO_BUNDLED_DB};
        const QByteArray number = "09012345678\n";
        const QByteArray answer = "09012345678\tC150\tau<不明>\n";
        const auto bytes = [](const QString& strField) {
            return QByteArray::fromPercentEncoding(strField.toUtf8());
        };
        for (const QStringList& row : modTestFiles::DataRows(QFINDTESTDATA("lookup-answers.txt"))) {
            QStringList args;
            for (const QString& arg : row[2].split(u'|'))
                args += arg == u"@db"      ? db
                        : arg == u"@csv"   ? db + QStringList{"--format", "csv"}
                        : arg == u"@table" ? QStringList(LUMIVO_PREFIX_TABLE)
                        : arg == u"@fifo"  ? QStringList(m_dir.filePath("fifo.lnk"))
                                           : QStringList(QString::fromUtf8(bytes(arg)));
            QTest::newRow(qPrintable(row[0]))
                << row[1] << args << bytes(row[3]) << row[4].toInt() << bytes(row[5]) << row[6];
        }
        QTest::newRow("a line of megabytes, then a number")
            << "little memory" << db << "090" + QByteArray(24 << 20, '5') + "\n" + number << 1
            << "090" + QByteArray(37, '5') + "…\t-\t番号11桁を入力して下さい\n" + answer << "";
        // Up to 1024 bytes (a CR at the end not counted) a line is a number, checked whole;
        // a longer one is shown cut, and answered once however the reads split it.
        const QByteArray tooLong = "\t-\t番号11桁を入力して下さい\n";
        QTest::newRow("a line of 1024 bytes")
            << "" << db << "090" + QByteArray(1021, '5') + "\r\n" + number << 1
            << "090" + QByteArray(1021, '5') + tooLong + answer << "";
        QTest::newRow("a line of 1025 bytes")
            << "" << db << "090" + QByteArray(1022, '5') + "\n" + number << 1
            << "090" + QByteArray(37, '5') + "…" + tooLong + answer << "";
        QTest::newRow("lines of 4000 bytes across many reads")
            << "" << db << ("090" + QByteArray(3997, '5') + "\n" + number).repeated(300) << 1
            << ("090" + QByteArray(37, '5') + "…" + tooLong + answer).repeated(300) << "";
        QTest::newRow("reader gone")
            << "broken output" << db + QStringList(3000, "09012345678") << QByteArray() << 2
            << QByteArray() << "cannot write the answers: Broken pipe";
    }

    void lookupOptionsFormatsAndFailures() {
        QFETCH(QString, streams);
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        if (modToolRun::NeedsLinux(streams, args))
            QSKIP("needs what only Linux offers a test");
        const tRun run = Run(LUMIVO_LOOKUP_EXE, args, input, streams);
        QTEST(run.exitCode, "exitCode");
        QTEST(run.out, "out");
        QFETCH(QString, errHas);
        QVERIFY2(run.err.contains(errHas) && run.err.count(u'\n') <= 2, qPrintable(run.err));
    }

    void lookupHelp_data() {
        QTest::addColumn<QString>("option");
        QTest::newRow("help") << "--help";
        QTest::newRow("help-all") << "--help-all";
    }

    // Help and nothing else: no number read from standard input is answered.
    void lookupHelp() {
        QFETCH(QString, option);
        const tRun run =
            Run(LUMIVO_LOOKUP_EXE, {"--db", LUMIVO_BUNDLED_DB, option}, "09012345678\n");
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.startsWith("Usage: ") && run.out.contains("\nExit status: ") &&
                     !run.out.contains("C150"),
                 run.out.constData());
        QCOMPARE(run.err, QString());
    }

    // A caller that writes a number and waits for its answer gets it while the
    // pipe stays open; the bundled database answers the first and the last block of
    // each carrier in its table.
    void lookupAnswersEachLineOfAPipeAtOnce() {
        QProcess p;
        p.start(LUMIVO_LOOKUP_EXE, {"--db", LUMIVO_BUNDLED_DB});
        const QByteArray answers[] = {"07038000000\tC109\t沖縄セルラー\n",
                                      "09097900000\tC109\t沖縄セルラー\n",
                                      "0702000\tC150\tau<不明>\n",
                                      "09096799999\tC150\tau<不明>\n",
                                      "07011000000\tC151\tボーダフォン<不明>\n",
                                      "0909999\tC151\tボーダフォン<不明>\n",
                                      "07010000000\tC153\tドコモ<不明>\n",
                                      "09095999999\tC153\tドコモ<不明>\n"};
        for (const QByteArray& answer : answers) {
            p.write(answer.left(answer.indexOf('\t')) + '\n');
            QTRY_VERIFY(p.canReadLine());
            QCOMPARE(p.readLine(), answer);
        }
        p.closeWriteChannel();
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.exitCode(), 0);
    }

    // A copy of the tool in a folder of its own prepares and reads the db.dat beside
    // itself, as the window would, never the user's copy (which answers au関西): a
    // db.dat that an update cut off left missing is restored from its complete
    // backup; a folder whose name is not UTF-8 (a Windows archive unpacked with
    // its Shift_JIS bytes) is its own all the same. Names are bytes here, as the
    // system has them.
    void lookupPreparesItsOwnFolder_data() {
        QTest::addColumn<QByteArray>("folder");
        QTest::addColumn<QByteArray>("file"); // the database beside the tool
        QTest::newRow("db.dat missing, its backup complete")
            << QByteArray("copy") << QByteArray("1000.b");
        QTest::newRow("a folder named in Shift_JIS")
            << QByteArray("\x83\x8b\x83\x7e") << QByteArray("db.dat");
        QTest::newRow("both") << QByteArray("\x83\x8b\x83\x7e") << QByteArray("1000.b");
    }
    void lookupPreparesItsOwnFolder() {
#if defined(Q_OS_LINUX)
        QFETCH(QByteArray, folder);
        QFETCH(QByteArray, file);
        QTemporaryDir dir, home;
        const QByteArray copy = QFile::encodeName(dir.path()) + '/' + folder + '/';
        const auto put = [&](const QByteArray& name, const QByteArray& bytes, mode_t mode) {
            const int fd = ::open(copy + name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            const bool written =
                fd >= 0 && ::write(fd, bytes.data(), size_t(bytes.size())) == bytes.size();
            return ::close(fd) == 0 && written;
        };
        const auto get = [&](const QByteArray& name) {
            QFile in;
            const int fd = ::open(copy + name, O_RDONLY | O_CLOEXEC);
            return fd >= 0 && in.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)
                       ? in.readAll()
                       : QByteArray("<missing>");
        };
        QVERIFY(::mkdir(copy, 0700) == 0);
        // Qt cannot name what is inside: emptied and removed by the bytes of its names.
        const auto remove = qScopeGuard([&] {
            if (DIR* d = ::opendir(copy)) {
                while (const dirent* entry = ::readdir(d))
                    ::unlinkat(dirfd(d), entry->d_name, 0); // "." and ".." stay
                ::closedir(d);
            }
            ::rmdir(copy);
        });
        QVERIFY(put("lumivo-lookup", modTestFiles::ReadFile(LUMIVO_LOOKUP_EXE), 0700));
        QVERIFY(put(file, modTestFiles::DBBytes("1000"), 0600));
        const QString user = home.filePath("Lumivo");
        QVERIFY(QDir().mkpath(user) &&
                modTestFiles::WriteFile(user + "/db.dat",
                                        modTestFiles::DBBytes("1001", "20261206", "C100")));

        // Started from inside the folder, as from a terminal there.
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", home.path());
        p.setProcessEnvironment(env);
        p.setChildProcessModifier([copy] {
            if (::chdir(copy.constData()) != 0)
                ::_exit(127);
        });
        p.start("./lumivo-lookup", {"--verbose", "09012345678"});
        QVERIFY(p.waitForFinished(30000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(p.exitCode() == 0 && !err.contains(home.path()), qPrintable(err));
        QCOMPARE(p.readAllStandardOutput(), QByteArray("09012345678\tC101\tau関東\n"));
        QCOMPARE(get("db.dat"), modTestFiles::DBBytes("1000"));
        QCOMPARE(get(file), modTestFiles::DBBytes("1000"));
        QCOMPARE(modTestFiles::FileState(user + "/db.dat"), "1001");
#else
        QSKIP("folder names as bytes, and a program's own path, as Linux gives them");
#endif
    }

    // The tools' English words where they hold more than a kind's own words: a size
    // with and without its limit, and for "other" the number, never "Success".
    void toolWords_data() {
        QTest::addColumn<tIoError>("error");
        QTest::addColumn<QString>("words");
        using enum eIoError;
        // clang-format off
        QTest::newRow("too large") << tIoError::Of(TooLarge, 27) << "file too large";
        QTest::newRow("too large, limit") << tIoError::Limit(4096) << "file too large (limit 4096 bytes)";
        QTest::newRow("other, without a number") << tIoError::Of(Other) << "unknown error";
#ifdef Q_OS_LINUX
        QTest::newRow("other, with the system's words") << tIoError::Of(Other, 5) << "system error 5: Input/output error";
#else
        QTest::newRow("other") << tIoError::Of(Other, 5) << "system error 5";
#endif
        // clang-format on
    }

    void toolWords() {
        QFETCH(tIoError, error);
        QTEST(modToolIO::IoErrorText(error), "words");
    }

    // The bundled database's newer blocks: Rakuten Mobile's, named by the database as
    // C155, beside a neighbour of the fixed table, and the 060 blocks.
    void lookupBundledRakutenAnd060() {
        const tRun run =
            Run(LUMIVO_LOOKUP_EXE,
                {"--db", LUMIVO_BUNDLED_DB, "07090012345", "07083912345", "07082012345",
                 "06010012345", "06012012345", "06014012345", "06015012345", "0609123"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(QString::fromUtf8(run.out),
                 QStringLiteral("07090012345\tC155\t楽天モバイル\n"
                                "07083912345\tC155\t楽天モバイル\n"
                                "07082012345\tC150\tau<不明>\n"
                                "06010012345\tC151\tボーダフォン<不明>\n"
                                "06012012345\tC155\t楽天モバイル\n"
                                "06014012345\tC153\tドコモ<不明>\n"
                                "06015012345\t0\t未使用or未確認\n"
                                "0609123\t0\t未使用or未確認\n"));
    }

    // The table of forms (number-forms.txt, which check-number-forms.py holds
    // against python3-phonenumbers): the text searched, the code, the jsonl
    // refusal and the exit status, as an argument and as a line of standard input.
    void lookupAnswersNumberForms_data() {
        modTestFiles::AddDataRows(QFINDTESTDATA("number-forms.txt"));
    }
    void lookupAnswersNumberForms() {
        QFETCH(QStringList, row);
        QVERIFY(row.size() >= 5);
        QStringList args{"--db", LUMIVO_BUNDLED_DB, "--format", "jsonl"};
        const QString given = QString(row[0]).remove(QRegularExpression("^--strict "));
        if (given != row[0])
            args << "--strict";
        for (bool blnInput : {false, true}) {
            const tRun run = Run(LUMIVO_LOOKUP_EXE, blnInput ? args : args + QStringList(given),
                                 blnInput ? given.toUtf8() + "\n" : QByteArray());
            QCOMPARE(run.out.count('\n'), 1);
            const QJsonObject answer = QJsonDocument::fromJson(run.out).object();
            QCOMPARE(answer["number"].toString(), given);
            QCOMPARE(answer["searched"].toString(), row[1]);
            QCOMPARE(answer["code"].isNull() ? QString("-") : answer["code"].toString(), row[2]);
            QCOMPARE(answer["refusal"].isNull() ? QString("-") : answer["refusal"].toString(),
                     row[3]);
            QCOMPARE(run.exitCode, row[2] == "-" ? 1 : 0);
        }
    }

    // Standard input without a byte order mark: auto takes UTF-8 while it is
    // UTF-8 and code page 932 otherwise, and says which; a mark or the option
    // decides without a word. "０９０…" is 82 4F 82 58 82 4F … in code page 932.
    void lookupReadsInputEncodings_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QString>("err");
        const QByteArray cp932 = "\x82\x4F\x82\x58\x82\x4F\x82\x50\x82\x51\x82\x52\x82\x53"
                                 "\x82\x54\x82\x55\x82\x56\x82\x57";
        const QByteArray wide = "０９０１２３４５６７８";
        const QByteArray found = "\tC150\tau<不明>\n";
        const QByteArray first = "09012345678\r\n";
        const QString asCp932 = "lumivo-lookup: warning: standard input has no byte order mark and "
                                "is not UTF-8; read as code page 932 (--input-encoding says "
                                "otherwise)\n";
        const QString asUtf8 = "lumivo-lookup: warning: standard input has no byte order mark; "
                               "read as UTF-8 (--input-encoding says otherwise)\n";
        QTest::newRow("code page 932 after a line of ASCII, judged")
            << QStringList() << first + cp932 + "\r\n"
            << 0 << "09012345678" + found + wide + found << asCp932;
        QTest::newRow("code page 932 named")
            << QStringList{"--input-encoding", "cp932"} << cp932 + "\n"
            << 0 << wide + found << "";
        QTest::newRow("code page 932 read as UTF-8 when named")
            << QStringList{"--input-encoding", "utf-8"} << cp932.left(4) + "\n"
            << 1 << QByteArray("\xEF\xBF\xBDO\xEF\xBF\xBDX\t-\t090,080,070から入力して下さい\n")
            << "";
        QTest::newRow("UTF-8 without a mark, judged") << QStringList() << wide + "\n"
                                                      << 0 << wide + found << asUtf8;
        QTest::newRow("UTF-8 with its mark") << QStringList() << "\xEF\xBB\xBF" + wide + "\n"
                                             << 0 << wide + found << "";
        QTest::newRow("a mark decides over the option")
            << QStringList{"--input-encoding", "cp932"} << "\xEF\xBB\xBF" + wide + "\n"
            << 0 << wide + found << "";
        QTest::newRow("ASCII alone") << QStringList() << first << 0 << "09012345678" + found << "";
    }
    void lookupReadsInputEncodings() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        const tRun run =
            Run(LUMIVO_LOOKUP_EXE, QStringList{"--db", LUMIVO_BUNDLED_DB} + args, input);
        QTEST(run.exitCode, "exitCode");
        QTEST(run.out, "out");
        QTEST(run.err, "err");
    }

    // Lists as Excel writes them (lists/*.csv): each row comes back byte for byte
    // with the code and the text appended, in its encoding and line ends.
    void lookupAnswersAColumnOfAList_data() {
        modTestFiles::AddDataRows(QFINDTESTDATA("lists/cases.txt"));
    }
    void lookupAnswersAColumnOfAList() {
        QFETCH(QStringList, row);
        const QString dir = QFINDTESTDATA("lists") + u'/';
        const tRun run =
            Run(LUMIVO_LOOKUP_EXE, QStringList{"--db", LUMIVO_BUNDLED_DB} + row[1].split(u'|'),
                modTestFiles::ReadFile(dir + row[2]));
        QCOMPARE(run.exitCode, row[4].toInt());
        QCOMPARE(run.out, modTestFiles::ReadFile(dir + row[3]));
        QVERIFY2(row[5].isEmpty() ? run.err.isEmpty() : run.err.contains(row[5]),
                 qPrintable(run.err));
    }

    // The reader on a pipe fed one chunk per read, each written just before the
    // read that takes it, so that reads end exactly where a case says: inside
    // a line, between a CR and its LF, inside quotes. Lines up to 8 bytes
    // (a CR before the LF not counted) come whole; a longer one comes as its
    // first 10 bytes ("|cut"), the rest skipped; "|open": no LF at the end.
    void lineReaderSplitsWhereReadsEnd_data() {
        QTest::addColumn<bool>("csv");
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QByteArrayList>("lines");
        using L = QByteArrayList;
        QTest::newRow("a line across reads")
            << false << L{"0901", "234\n09", "0\n"} << L{"0901234", "090"};
        QTest::newRow("8 bytes, CR, then LF in the next read")
            << false << L{"12345678\r", "\nab\n"} << L{"12345678\r", "ab"};
        QTest::newRow("9 bytes and CR: cut, the rest skipped across reads")
            << false << L{"123456789\r", "xyz", "zz\nab\n"} << L{"123456789\r|cut", "ab"};
        QTest::newRow("cut where a read ends, its LF alone in the next")
            << false << L{"1234567890", "\n", "ab"} << L{"1234567890|cut", "ab|open"};
        QTest::newRow("csv, a LF inside quotes across reads")
            << true << L{"a,\"x", "\ny\",b\nc\n"} << L{"a,\"x\ny\",b", "c"};
        QTest::newRow("csv, doubled quotes across reads")
            << true << L{"\"a\"", "\"b\",c\nd\n"} << L{"\"a\"\"b\",c", "d"};
        QTest::newRow("csv, a long row's quoted LF skipped")
            << true << L{"\"123456789\n", "x\"\ny\n"} << L{"\"123456789|cut", "y"};
        QTest::newRow("csv, the input ending inside quotes")
            << true << L{"\"a\nb"} << L{"\"a\nb|open"};
    }
    void lineReaderSplitsWhereReadsEnd() {
        QFETCH(bool, csv);
        QFETCH(QByteArrayList, chunks);
        int fds[2];
#if defined(Q_OS_WIN)
        QVERIFY(_pipe(fds, 1 << 16, _O_BINARY) == 0);
#else
        QVERIFY(pipe(fds) == 0);
#endif
        const auto closeBoth = qScopeGuard([&] {
            for (int fd : fds)
                if (fd >= 0)
                    close(fd);
        });
        cLineReader reader(fds[0], 8, csv);
        qsizetype next = 0;
        reader.SetBeforeRead([&] {
            if (next < chunks.size()) {
                const QByteArray& chunk = chunks[next++];
                return write(fds[1], chunk.constData(), unsigned(chunk.size())) == chunk.size();
            }
            if (fds[1] >= 0)
                close(std::exchange(fds[1], -1));
            return true;
        });
        QByteArrayList lines;
        QByteArrayView line;
        bool cut;
        while (reader.Next(&line, &cut) == cLineReader::eNext::Line)
            lines << line.toByteArray() + (cut ? "|cut" : reader.LineEnded() ? "" : "|open");
        QTEST(lines, "lines");
    }

    // Rows of 4000 bytes whose quoted fields hold line ends, split across many
    // reads, come back whole; a row over 1 MiB stops the list with a message.
    void lookupReadsLongRows() {
        const QByteArray row =
            "\"" + QByteArray(2000, 'x') + "\r\n" + QByteArray(1994, 'y') + "\",07038000000";
        const QStringList args{"--db", LUMIVO_BUNDLED_DB, "--column", "2"};
        const tRun run = Run(LUMIVO_LOOKUP_EXE, args, (row + "\r\n").repeated(300));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, (row + ",C109,沖縄セルラー\r\n").repeated(300));
        const tRun tooLong = Run(LUMIVO_LOOKUP_EXE, {"--db", LUMIVO_BUNDLED_DB, "--column", "1"},
                                 "09012345678\n\"" + QByteArray(1 << 20, 'x') + "\"\n0901234\n");
        QCOMPARE(tooLong.exitCode, 2);
        QCOMPARE(tooLong.out, QByteArray("09012345678,C150,au<不明>\n"));
        QCOMPARE(tooLong.err, "lumivo-lookup: cannot read standard input: row 2 is longer than "
                              "1048576 bytes\n");
    }

    // jsonl is Qt's JSON writer's output, byte for byte: every answer to a
    // seeded corpus of odd numbers is what QJsonDocument writes for it again.
    void lookupJsonlAsQtWritesIt() {
        const QStringList alphabet{
            "0",      "9",      "8",          "7",  "1",    "5",      "090",    "+81",
            "010",    "0081",   "tel:",       " ",  "-",    "(",      ")",      "/",
            "\"",     "\\",     "\x01",       "\t", "\x7F", "\u3000", "\uFF10", "\u30FC",
            "\u202E", "\u2028", "\U0001F600", "a",  "<",    "&",      "'",      "é"};
        QRandomGenerator random(20261207);
        QStringList lines;
        for (int i = 0; i < 20000; ++i) {
            QString line;
            for (int n = int(random.bounded(16)); n > 0; --n)
                line += alphabet[int(random.bounded(alphabet.size()))];
            lines << line;
        }
        const tRun run =
            Run(LUMIVO_LOOKUP_EXE,
                {"--db", LUMIVO_BUNDLED_DB, "--format", "jsonl", "--input-encoding", "utf-8"},
                lines.join(u'\n').toUtf8() + '\n');
        QCOMPARE(run.exitCode, 1);
        const QList<QByteArray> answers = run.out.split('\n');
        QCOMPARE(answers.size(), lines.size() + 1);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QJsonDocument doc = QJsonDocument::fromJson(answers[i]);
            QCOMPARE(doc.object()["number"].toString(), lines[i]);
            QCOMPARE(answers[i], doc.toJson(QJsonDocument::Compact));
        }
    }
};

QTEST_GUILESS_MAIN(tst_tools)
#include "tst_tools.moc"
