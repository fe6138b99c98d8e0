// SPDX-License-Identifier: Apache-2.0
#include "cDBBuilder.h"
#include "cFakePlatform.h"
#include "cNumberDB.h"
#include "cPictureBox.h"
#include "cQtPlatform.h"
#include "cUpdateJob.h"
#include "frmLog.h"
#include "frmMain.h"
#include "modFileIO.h"
#include "modTestFiles.h"

#include <QtTest>
#include <QtWidgets>

using modTestFiles::AddDataRows;
using modTestFiles::DataRows;

namespace {

// Blocks for areas 0, 8, 10 and none, a 7-digit block split by its 8th digit
// and an 8-digit block split by its 9th.
const char* const Table = "090123,C130\n090124,C138\n090125,C131\n090126,C150\n"
                          "09012805,C102\n090129123,C109\n";

} // namespace

class tst_mainwindow : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    std::unique_ptr<cFakePlatform> platform;
    std::unique_ptr<cNumberDB> db;
    std::unique_ptr<cUpdateJob> job;
    std::unique_ptr<frmMain> w;

    // A control of the main window, or of the log window, by its name.
    template <class T = QWidget> T* C(const char* name) const {
        T* control = w->findChild<T*>(name);
        return control || !w->LogWindowLoaded() ? control : w->LogWindow()->findChild<T*>(name);
    }
    void Search(const QString& number) {
        C<QLineEdit>("txtInputNum")->setText(number);
        C<QPushButton>("cmdSearch")->click();
    }
    QWidget* Focus() const { return QApplication::focusWidget(); }

private slots:
    void init() {
        w.reset();
        job.reset();
        platform = std::make_unique<cFakePlatform>();
        db = std::make_unique<cNumberDB>();
        job = std::make_unique<cUpdateJob>(*db, dir.path());
        cDBBuilder builder;
        QVERIFY(builder.AddTableText(QString::fromUtf8(Table)));
        QVERIFY(builder.BuildFile(dir.filePath("db.dat"), "20040415", "1000"));
        w = std::make_unique<frmMain>(*platform, *db, *job, dir.path());
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }

    void startState() {
        QTRY_COMPARE(Focus(), C("txtInputNum"));
        QVERIFY(!w->LogWindowLoaded() && platform->msgBoxes.isEmpty() && db->IsLoaded());
        QVERIFY(C<cPictureBox>("picMap(0)")->Image() == C<cPictureBox>("picMap(0)")->Picture());
        for (const char* next : {"txtResult", "cmdVer", "cmdSearch"}) {
            QTest::keyClick(Focus(), Qt::Key_Tab);
            QTRY_COMPARE(Focus(), C(next));
        }
        // Esc closes the program, the log window with it.
        QPointer<frmLog> log = w->LogWindow();
        QTest::keyClick(Focus(), Qt::Key_Escape);
        QTRY_VERIFY(!w->isVisible() && log.isNull());
    }

    // The fixed texts and settings of both windows, and the main window's control rectangles.
    void fixedTexts_data() { AddDataRows(QFINDTESTDATA("fixed-texts.txt")); }
    void fixedTexts() {
        QFETCH(QStringList, row);
        const QString name = row[0].section(u'.', 0, 0), property = row[0].section(u'.', 1);
        w->LogWindow();
        QObject* o = name == u"frmMain"  ? w.get()
                     : name == u"frmLog" ? w->LogWindow()
                                         : C<QObject>(qPrintable(name));
        QVERIFY(o);
        const QStringList t = row[1].split(u','); // a rectangle in twips, 15 to a pixel
        auto px = [&](int i) { return qRound(t.value(i).toInt() / 15.0); };
        const QVariant got = o->property(qPrintable(property));
        QCOMPARE(property == u"geometry" ? got : got.toString(),
                 property == u"geometry" ? QVariant(QRect(px(0), px(1), px(2), px(3))) : row[1]);
    }

    void searchWaysAgree_data() { AddDataRows(QFINDTESTDATA("search-ways.txt")); }
    void searchWaysAgree() {
        QFETCH(QStringList, row);
        const QString number = row[1], text = row[2], logLine = row[3];
        const bool refused = QString(QTest::currentDataTag()).startsWith(u"refused");
        C<QCheckBox>("chkSettings(1)")->setChecked(false);
        C<QCheckBox>("chkSettings(0)")->setChecked(true);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        auto* input = C<QLineEdit>("txtInputNum");
        for (int way = 0; way < 3; ++way) {
            input->setText(number);
            C<QLineEdit>("txtResult")->clear();
            if (way == 0)
                QTest::mouseClick(C("cmdSearch"), Qt::LeftButton);
            else if (way == 1)
                QTest::keyClick(input, Qt::Key_Return);
            else
                QTest::keyClick(w.get(), Qt::Key_A, Qt::AltModifier); // clicks after a moment
            QTRY_COMPARE(C<QLineEdit>("txtResult")->text(), text);
            QTRY_COMPARE(Focus(), input);
        }
        const int lines = logLine.isEmpty() ? 0 : 3;
        QCOMPARE(w->LogWindow()->LogLines(), QStringList(lines, logLine));
        QCOMPARE(w->LogWindow()->windowTitle(),
                 QString(lines ? "検索ログ - 3件検索しました。" : "検索ログ"));
        QCOMPARE(C<QListWidget>("lstLog")->currentRow(), lines - 1);
        // Accepted numbers enable saving the log, logged or not.
        QCOMPARE(C("cmdLogCommand(1)")->isEnabled(), !refused);
        QCOMPARE(platform->msgBoxes.size(), text == u"未使用or未確認" ? 3 : 0);
        QCOMPARE(platform->beeps, refused ? 3 : 0);
        // The command-line tool answers the same for the same number.
        QProcess lookup;
        lookup.start(LUMIVO_LOOKUP_EXE, {"--db", dir.filePath("db.dat"), number});
        QVERIFY(lookup.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(lookup.readAllStandardOutput()).section(u'\t', 2).trimmed(),
                 text);
    }

    void keyFilter_data() { AddDataRows(QFINDTESTDATA("key-filter.txt")); }
    void keyFilter() {
        QFETCH(QStringList, row);
        const QStringList r = row.mid(1);
        QGuiApplication::clipboard()->setText(QStringLiteral("99"));
        auto* input = C<QLineEdit>("txtInputNum");
        C<QCheckBox>("chkSettings(1)")->setChecked(false);
        input->setText(r[0]);
        C<QCheckBox>("chkSettings(1)")->setChecked(true); // a longer text stays, but grows no more
        const QKeyCombination combination = QKeySequence::fromString(r[1])[0];
        QTest::keyClick(input, combination.key(), combination.keyboardModifiers());
        QTest::keyClicks(input, "5");
        QCOMPARE(input->text(), r[2]);
    }

    // Each area is marked alone, and the map's description names its region.
    void mapMarksExactRectangles() {
        // A plain base map and a sheet whose every pixel tells where it came from, so a
        // copy shows exactly which rectangle went where.
        const QStringList regions = {"関西", "関東", "九州",   "四国", "中国",      "東海",
                                     "東北", "北陸", "北海道", "沖縄", "九州・沖縄"};
        QImage base(144, 190, QImage::Format_RGB32), sheet(107, 96, QImage::Format_RGB32);
        base.fill(Qt::white);
        for (int y = 0; y < 96; ++y)
            for (int x = 0; x < 107; ++x)
                sheet.setPixel(x, y, qRgb(x, y, 7));
        auto *map = C<cPictureBox>("picMap(0)"), *highlight = C<cPictureBox>("picMap(1)");
        map->SetPicture(base);
        highlight->SetPicture(sheet);
        QMap<int, QList<int>> rects;
        for (const QStringList& row : DataRows(QFINDTESTDATA("area-rects.txt")))
            for (const QString& field : row.mid(1))
                rects[row[0].toInt()].append(field.toInt());
        for (short area : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 99, -1, 11}) {
            QImage expected = base;
            QPainter painter(&expected);
            for (int from : area == 10 ? QList<int>{2, 9} : QList<int>{area}) {
                const QList<int> r = rects.value(from);
                if (!r.isEmpty())
                    painter.drawImage(r[0], r[1], sheet, r[4], r[5], r[2], r[3]);
            }
            painter.end();
            w->MarkArea(9); // never an accumulation: each mark starts from the clean map
            w->MarkArea(area);
            QVERIFY2(map->Image() == expected, qPrintable(QString::number(area)));
            QCOMPARE(map->accessibleDescription(), regions.value(area));
        }
        // A copy that leaves the sheet fails; for area 10 only the second copy (area 9) counts.
        const std::tuple<QSize, short, int> failures[] = {
            {{100, 96}, 10, 1}, {{107, 87}, 10, 1}, {{107, 95}, 4, 2}, {{107, 96}, 4, 2}};
        for (const auto& [size, area, boxes] : failures) {
            highlight->SetPicture(sheet.copy(QRect(QPoint(0, 0), size)));
            w->MarkArea(area);
            QCOMPARE(platform->msgBoxes.size(), boxes);
        }
        QCOMPARE(platform->msgBoxes.value(1), "0||エリアマーキングの際、エラーが発生しました。");
    }

    // 060 numbers typed as any other, and carriers the database names: C155 without an
    // area, C170 with area 5, marked exactly as the fixed C135 of the same area. Shown,
    // logged and saved like any other answer; the tool answers the same.
    void numbers060AndNamedCarriers() {
        cDBBuilder builder;
        QVERIFY(
            builder.AddTableText(QString::fromUtf8(Table) +
                                 "060123,C135\n060124,C170\n070900,C155\n"
                                 "carrier,C155,楽天モバイル,99\ncarrier,C170,テスト通信東海,5\n"));
        QVERIFY(builder.BuildFile(dir.filePath("db.dat"), "20040415", "1000"));
        QVERIFY(w->LoadDB());
        C<QCheckBox>("chkSettings(0)")->setChecked(true);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        auto* input = C<QLineEdit>("txtInputNum");
        auto* map = C<cPictureBox>("picMap(0)");
        const QImage clean = map->Picture();
        QImage tokai;
        // Typed keys, the box after them (the limit holds it at 11), the answer.
        const char* const searches[][3] = {{"060123456789", "06012345678", "ドコモ東海"},
                                           {"06012-4a1", "0601241", "テスト通信東海"},
                                           {"07090012345", "07090012345", "楽天モバイル"},
                                           {"0600123", "0600123", "090,080,070から入力して下さい"}};
        for (const auto& [typed, shown, answer] : searches) {
            input->clear();
            QTest::keyClicks(input, typed);
            QCOMPARE(input->text(), QString(shown));
            QTest::keyClick(input, Qt::Key_Return);
            QTRY_COMPARE(C<QLineEdit>("txtResult")->text(), QString::fromUtf8(answer));
            QTRY_COMPARE(Focus(), input);
            if (tokai.isNull())
                tokai = map->Image();
            else if (QByteArray(shown) == "0601241")
                QVERIFY(map->Image() == tokai && map->accessibleDescription() == "東海");
            else if (QByteArray(shown) == "07090012345")
                QVERIFY(map->Image() == clean);
        }
        QVERIFY(tokai != clean);
        QCOMPARE(platform->msgBoxes, QStringList()); // no unlisted notice
        QCOMPARE(platform->beeps, 1);
        const QStringList lines = {"06012345678--->ドコモ東海", "0601241XXXX--->テスト通信東海",
                                   "07090012345--->楽天モバイル"};
        QCOMPARE(w->LogWindow()->LogLines(), lines);
        platform->saveAnswers.enqueue(dir.filePath("log.txt"));
        C<QPushButton>("cmdLogCommand(1)")->click();
        QVERIFY(modTestFiles::ReadFile(dir.filePath("log.txt"))
                    .endsWith(modTestFiles::SystemCp932(lines.join("\r\n") + "\r\n\r\n")));
        QVERIFY(QFile::remove(dir.filePath("log.txt")));

        QProcess lookup;
        lookup.start(LUMIVO_LOOKUP_EXE,
                     {"--db", dir.filePath("db.dat"), "06012345678", "0601241", "07090012345"});
        QVERIFY(lookup.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(lookup.readAllStandardOutput()),
                 "06012345678\tC135\tドコモ東海\n0601241\tC170\tテスト通信東海\n"
                 "07090012345\tC155\t楽天モバイル\n");
    }

    void unlistedNoticeOffersTheAddress() {
        platform->clipboard = "before";
        platform->msgBoxAnswers << eMsgAnswer::Cancel << eMsgAnswer::OK;
        Search("0801234");
        QCOMPARE(platform->msgBoxes,
                 QStringList(QStringLiteral(
                     "65|ご協力おねがいします。|入力された電話番号は、未使用or未確認の状態です。"
                     "\r\nもし存在する電話番号でしたら、numbers@lumivo.exampleまで\r\nこの電話番号"
                     "の先頭7桁と事業者と購入された地域をご連絡ください。\r\nお手数ですが、"
                     "データベース更新のためご協力おねがいします。\r\n[OK]を押すと、メール"
                     "アドレスをクリップボードへコピーします。")));
        QCOMPARE(platform->clipboard, "before"); // Cancel changes nothing
        Search("0801234");
        QCOMPARE(platform->clipboard, "numbers@lumivo.example");
        QCOMPARE(platform->clipboardClears, 1);
    }

    void logFeedHideAndRestore() {
        Search("09012345678"); // the log setting is off: nothing is logged
        C<QCheckBox>("chkSettings(0)")->setChecked(true);
        frmLog* log = w->LogWindow();
        QVERIFY(log->isVisible() && w->LogWindow()->LogLines().isEmpty());
        // Closed by the user, it unloads; a restore brings back a fresh one.
        log->close();
        QTRY_VERIFY(!w->LogWindowLoaded());
        w->showMinimized();
        w->showNormal();
        QTRY_VERIFY(w->LogWindowLoaded() && w->LogWindow()->isVisible());
        // Minimising hides it, restoring shows it where it was.
        log = w->LogWindow();
        const QPoint where = log->pos();
        w->showMinimized();
        QTRY_VERIFY(!log->isVisible());
        w->showNormal();
        QTRY_VERIFY(log->isVisible() && log->pos() == where);
        // Hiding the number hides the log and greys out its setting, which stays checked;
        // searches are still logged.
        C<QCheckBox>("chkSettings(2)")->setChecked(true);
        QVERIFY(!log->isVisible() && !C<QCheckBox>("chkSettings(0)")->isEnabled() &&
                C<QCheckBox>("chkSettings(0)")->isChecked());
        QCOMPARE(C<QLineEdit>("txtInputNum")->echoMode(), QLineEdit::Password);
        Search("0901234");
        QCOMPARE(w->LogWindow()->LogLines(), QStringList{"0901234XXXX--->ドコモ関西"});
        QCOMPARE(log->windowTitle(), QStringLiteral("検索ログ - 1件検索しました。"));
    }

    void placeLogWindow_data() { AddDataRows(QFINDTESTDATA("log-places.txt")); }
    void placeLogWindow() {
        QFETCH(QStringList, row);
        const QStringList r = row[1].split(u' ');
        const int screen = r[0].toInt(), left = r[1].toInt(), top = r[2].toInt();
        const int side = r[3].toInt(), below = r[4].toInt();
        platform->screenWidth = screen;
        const QPoint mainPos(left, top + w->frameGeometry().height());
        w->move(mainPos);
        QTRY_COMPARE(w->frameGeometry().topLeft(), mainPos);
        C<QCheckBox>("chkSettings(0)")->setChecked(true);
        const QRect main = w->frameGeometry(), placed = w->LogWindow()->frameGeometry();
        QCOMPARE(placed.size(), QSize(320, main.height())); // 4800 twips wide
        QCOMPARE(placed.left(), main.left() + side * (side > 0 ? main.width() : 320));
        QCOMPARE(placed.top(), main.top() + below * main.height());
    }

    void startupReports() {
        // No db.dat, then a folder in its place: the box names the file and why, in
        // Japanese; searches are answered with a notice.
        const QString path = dir.filePath("db.dat");
        QVERIFY(QFile::remove(path));
        w = std::make_unique<frmMain>(*platform, *db, *job, dir.path());
        QVERIFY(!db->IsLoaded());
        const QString shown = QDir::toNativeSeparators(path);
        const QString noDatabase = "16||番号検索データベースを読み込めませんでした。\r\n" + shown +
                                   "\r\n%1\r\n番号の検索はできません。バージョン情報の画面から"
                                   "データベースを更新してください。";
        QCOMPARE(platform->msgBoxes, QStringList(noDatabase.arg("ファイルが見つかりません。")));
        Search("09012345678");
        QCOMPARE(C<QLineEdit>("txtResult")->text(), "db.datを読み込めませんでした");
        QVERIFY(QDir().mkdir(path) && !w->LoadDB());
        QCOMPARE(platform->msgBoxes.value(1), noDatabase.arg("ファイルではなくフォルダーです。"));
        QVERIFY(QDir().rmdir(path));
        // A database without its date and version loads, with a warning.
        QVERIFY(!modFileIO::WriteFileWhole(path, "00020406AC130\r\n2004041").Failed());
        QVERIFY(w->LoadDB() && db->IsLoaded());
        QCOMPARE(platform->msgBoxes.value(2),
                 "64||番号検索データベースの末尾に日付と版がありません。\r\n" + shown +
                     "\r\nファイルが壊れているおそれがあります。");
    }

    void qtMessageBoxAnswers() {
        // A timer inside the box's own event loop clicks Cancel, which style 65 offers
        // beside OK, and Cancel is the answer.
        QString seen;
        QTimer::singleShot(50, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            seen = box->windowTitle() + QString::number(box->buttons().size());
            box->button(QMessageBox::Cancel)->click();
        });
        QCOMPARE(cQtPlatform().MsgBox(QStringLiteral("本文"), eMsgStyle(65)), eMsgAnswer::Cancel);
        QCOMPARE(seen, QStringLiteral("Lumivo2"));
    }
};

QTEST_MAIN(tst_mainwindow)
#include "tst_mainwindow.moc"
