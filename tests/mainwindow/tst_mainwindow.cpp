// SPDX-License-Identifier: Apache-2.0
#include "cDBBuilder.h"
#include "cFakePlatform.h"
#include "cNumberDB.h"
#include "cPictureBox.h"
#include "cQtPlatform.h"
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

// A message box from messages.txt, as the fake platform shows it.
QString Message(const QString& name) {
    for (const QStringList& row : DataRows(QFINDTESTDATA("messages.txt")))
        if (row[0] == name)
            return row[1];
    return "no message " + name;
}

} // namespace

class tst_mainwindow : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    std::unique_ptr<cFakePlatform> platform;
    std::unique_ptr<cNumberDB> db;
    std::unique_ptr<frmMain> w;

    void Search(const QString& number) {
        w->txtInputNum->setText(number);
        QTest::mouseClick(w->cmdSearch, Qt::LeftButton);
    }
    QWidget* Focus() const { return QApplication::focusWidget(); }

private slots:
    void init() {
        w.reset();
        platform = std::make_unique<cFakePlatform>();
        db = std::make_unique<cNumberDB>();
        cDBBuilder builder;
        QVERIFY(builder.AddTableText(QString::fromUtf8(Table)));
        QVERIFY(builder.BuildFile(dir.filePath("db.dat"), "20040415", "1000"));
        w = std::make_unique<frmMain>(*platform, *db, dir.path());
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }

    void startState() {
        QTRY_COMPARE(Focus(), w->txtInputNum);
        QVERIFY(!w->LogWindowLoaded() && platform->msgBoxes.isEmpty());
        QVERIFY(w->picMap[0]->Image() == w->picMap[0]->Picture());
        for (QWidget* next :
             {(QWidget*)w->txtResult, (QWidget*)w->cmdVer, (QWidget*)w->cmdSearch}) {
            QTest::keyClick(Focus(), Qt::Key_Tab);
            QTRY_COMPARE(Focus(), next);
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
        QObject* o = nullptr;
        for (QObject* window : std::initializer_list<QObject*>{w.get(), w->LogWindow()})
            o = o ? o : window->objectName() == name ? window : window->findChild<QObject*>(name);
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
        const QString number = row[1], text = row[2], logLine = row.value(3);
        w->chkSettings[1]->setChecked(false);
        w->chkSettings[0]->setChecked(true);
        frmLog* log = w->LogWindow();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        for (int way = 0; way < 3; ++way) {
            w->txtInputNum->setText(number);
            w->txtResult->clear();
            if (way == 0)
                QTest::mouseClick(w->cmdSearch, Qt::LeftButton);
            else if (way == 1)
                QTest::keyClick(w->txtInputNum, Qt::Key_Return);
            else
                QTest::keyClick(w.get(), Qt::Key_A, Qt::AltModifier); // clicks after a moment
            QTRY_COMPARE(w->txtResult->text(), text);
            QTRY_COMPARE(Focus(), w->txtInputNum);
        }
        const int lines = logLine.isEmpty() ? 0 : 3;
        QCOMPARE(log->LogLines(), QStringList(lines, logLine));
        QCOMPARE(log->windowTitle(), QString(lines ? "検索ログ - 3件検索しました。" : "検索ログ"));
        QCOMPARE(log->lstLog->currentRow(), lines - 1);
        // Accepted numbers enable saving the log, logged or not.
        QCOMPARE(log->cmdLogCommand[1]->isEnabled(), !row[0].startsWith(u"refused"));
        QCOMPARE(platform->msgBoxes.size(), text == u"未使用or未確認" ? 3 : 0);
        QCOMPARE(platform->beeps, row[0].startsWith(u"refused") ? 3 : 0);
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
        QGuiApplication::clipboard()->setText(QStringLiteral("99"));
        w->chkSettings[1]->setChecked(false);
        w->txtInputNum->setText(row[1]);
        w->chkSettings[1]->setChecked(true); // a longer text stays, but grows no more
        const QKeyCombination key = QKeySequence::fromString(row[2])[0];
        QTest::keyClick(w->txtInputNum, key.key(), key.keyboardModifiers());
        QTest::keyClicks(w->txtInputNum, "5");
        QCOMPARE(w->txtInputNum->text(), row[3]);
    }

    void mapMarksExactRectangles() {
        // A plain base map and a sheet whose every pixel tells where it came from, so a
        // copy shows exactly which rectangle went where.
        QImage base(144, 190, QImage::Format_RGB32), sheet(107, 96, QImage::Format_RGB32);
        base.fill(Qt::white);
        for (int y = 0; y < 96; ++y)
            for (int x = 0; x < 107; ++x)
                sheet.setPixel(x, y, qRgb(x, y, 7));
        w->picMap[0]->SetPicture(base);
        w->picMap[1]->SetPicture(sheet);
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
            QVERIFY2(w->picMap[0]->Image() == expected, qPrintable(QString::number(area)));
        }
        // A copy that leaves the sheet fails; for area 10 only the second copy (area 9) counts.
        const std::tuple<QSize, short, int> failures[] = {
            {{100, 96}, 10, 1}, {{107, 87}, 10, 1}, {{107, 95}, 4, 2}, {{107, 96}, 4, 2}};
        for (const auto& [size, area, boxes] : failures) {
            w->picMap[1]->SetPicture(sheet.copy(QRect(QPoint(0, 0), size)));
            w->MarkArea(area);
            QCOMPARE(platform->msgBoxes.size(), boxes);
        }
        QCOMPARE(platform->Shown(1), Message("marking failed"));
    }

    void unlistedNoticeOffersTheAddress() {
        platform->clipboard = "before";
        platform->msgBoxAnswers << eMsgAnswer::Cancel << eMsgAnswer::OK;
        Search("0801234");
        QCOMPARE(platform->msgBoxes.size(), 1);
        QCOMPARE(platform->Shown(0), Message("unlisted").arg(frmMain::SupportMailAddress));
        QCOMPARE(platform->clipboard, QStringLiteral("before")); // Cancel changes nothing
        Search("0801234");
        QCOMPARE(platform->clipboard, frmMain::SupportMailAddress);
        QCOMPARE(platform->clipboardClears, 1);
    }

    void logFeedHideAndRestore() {
        Search("09012345678"); // the log setting is off: nothing is logged
        w->chkSettings[0]->setChecked(true);
        frmLog* log = w->LogWindow();
        QVERIFY(log->isVisible() && log->lstLog->count() == 0);
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
        // Hiding the number hides the log and greys out its setting, which stays checked.
        w->chkSettings[2]->setChecked(true);
        QVERIFY(!log->isVisible() && !w->chkSettings[0]->isEnabled() &&
                w->chkSettings[0]->isChecked());
        QCOMPARE(w->txtInputNum->echoMode(), QLineEdit::Password);
    }

    void placeLogWindow_data() { AddDataRows(QFINDTESTDATA("log-placement.txt")); }
    void placeLogWindow() {
        QFETCH(QStringList, row);
        platform->screenWidth = row[1].toInt();
        const QPoint mainPos(row[2].toInt(), row[3].toInt() + w->frameGeometry().height());
        w->move(mainPos);
        QTRY_COMPARE(w->frameGeometry().topLeft(), mainPos);
        w->chkSettings[0]->setChecked(true);
        const QRect main = w->frameGeometry(), placed = w->LogWindow()->frameGeometry();
        const int side = row[4].toInt(), below = row[5].toInt();
        QCOMPARE(placed.size(), QSize(320, main.height())); // 4800 twips wide
        QCOMPARE(placed.left(), main.left() + side * (side > 0 ? main.width() : 320));
        QCOMPARE(placed.top(), main.top() + below * main.height());
    }

    void startupReports() {
        // No db.dat, then a folder in its place: the box names the file and why, in Japanese.
        const QString path = dir.filePath("db.dat");
        QVERIFY(QFile::remove(path));
        w = std::make_unique<frmMain>(*platform, *db, dir.path());
        const QString native = QDir::toNativeSeparators(path);
        QCOMPARE(platform->Shown(0),
                 Message("no database").arg(native, QStringLiteral("ファイルが見つかりません。")));
        QVERIFY(QDir().mkdir(path) && !w->LoadDB());
        QCOMPARE(
            platform->Shown(1),
            Message("no database").arg(native, QStringLiteral("ファイルではなくフォルダーです。")));
        QVERIFY(QDir().rmdir(path));
        // A database without its date and version loads, with a warning.
        QVERIFY(!modFileIO::WriteFileWhole(path, "00020406AC130\r\n2004041").Failed());
        QVERIFY(w->LoadDB());
        QCOMPARE(platform->Shown(2), Message("no tail").arg(native));
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
