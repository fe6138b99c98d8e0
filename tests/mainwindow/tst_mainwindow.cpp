#include "lookup/cDBBuilder.h"
#include "lookup/cNumberDB.h"
#include "mainwindow/cPictureBox.h"
#include "mainwindow/frmMain.h"
#include "platform/cFakePlatform.h"
#include "platform/cQtPlatform.h"
#include "searchlog/frmLog.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// Blocks for areas 0, 8, 10 and none, a 7-digit block split by its 8th digit
// and an 8-digit block split by its 9th.
const char* const Table = "090123,C130\n090124,C138\n090125,C131\n090126,C150\n"
                          "09012805,C102\n090129123,C109\n";
const QString Kansai = QStringLiteral("ドコモ関西");
const QString Unlisted = QStringLiteral("未使用or未確認");

// The tab-separated rows of a test data file; comment lines are skipped.
QList<QStringList> DataRows(const QString& strPath) {
    QFile file(strPath);
    QList<QStringList> rows;
    if (file.open(QIODevice::ReadOnly | QIODevice::Text))
        for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n'))
            if (!line.isEmpty() && !line.startsWith(u'#'))
                rows.append(line.split(u'\t'));
    return rows;
}

} // namespace

class tst_mainwindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void fixedTextsAndStartState();
    void searchWaysAgree_data();
    void searchWaysAgree();
    void keyFilter_data();
    void keyFilter();
    void lateLimitLetsNothingGrow();
    void mapMarksExactRectangles();
    void unlistedNoticeOffersTheAddress();
    void logFeedHideAndRestore();
    void placeLogWindow_data();
    void placeLogWindow();
    void startupReports();
    void qtMessageBoxAnswers();

private:
    void Search(const QString& number);
    QString Result() const { return w->txtResult->text(); }
    QWidget* Focus() const { return QApplication::focusWidget(); }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<cFakePlatform> platform;
    std::unique_ptr<cNumberDB> db;
    std::unique_ptr<frmMain> w;
};

void tst_mainwindow::init() {
    w.reset();
    dir = std::make_unique<QTemporaryDir>();
    platform = std::make_unique<cFakePlatform>();
    db = std::make_unique<cNumberDB>();
    cDBBuilder builder;
    QVERIFY(builder.AddTableText(QString::fromUtf8(Table)));
    QVERIFY(builder.BuildFile(dir->filePath("db.dat"), "20040415", "1000"));
    w = std::make_unique<frmMain>(*platform, *db, dir->path());
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
}

void tst_mainwindow::Search(const QString& number) {
    w->txtInputNum->setText(number);
    QTest::mouseClick(w->cmdSearch, Qt::LeftButton);
}

void tst_mainwindow::fixedTextsAndStartState() {
    QTRY_COMPARE(Focus(), w->txtInputNum);
    QVERIFY(w->txtInputNum->text().isEmpty() && w->txtResult->text().isEmpty());
    QCOMPARE(w->txtInputNum->maxLength(), 11);
    QCOMPARE(QList<bool>({w->chkSettings[0]->isChecked(), w->chkSettings[1]->isChecked(),
                          w->chkSettings[2]->isChecked()}),
             QList<bool>({false, true, false}));
    QVERIFY(!w->LogWindowLoaded() && platform->msgBoxes.isEmpty());
    QVERIFY(w->picMap[0]->Image() == w->picMap[0]->Picture() && w->picMap[0]->width() == 146);
    for (QWidget* next : {static_cast<QWidget*>(w->txtResult), static_cast<QWidget*>(w->cmdVer),
                          static_cast<QWidget*>(w->cmdSearch)}) {
        QTest::keyClick(Focus(), Qt::Key_Tab);
        QTRY_COMPARE(Focus(), next);
    }

    frmLog* log = w->LogWindow();
    const auto rows = DataRows(QFINDTESTDATA("fixed-texts.txt"));
    QCOMPARE(rows.size(), 27);
    for (const QStringList& row : rows) {
        QObject* o = row[0] == u"frmMain"  ? static_cast<QObject*>(w.get())
                     : row[0] == u"frmLog" ? log
                                           : w->findChild<QObject*>(row[0]);
        o = o ? o : log->findChild<QObject*>(row[0]);
        QVERIFY2(o, qPrintable(row[0]));
        QVariant expected = row[2];
        if (row[1] == u"geometry") { // twips, 15 to a pixel
            const QStringList t = row[2].split(u',');
            auto px = [&](int i) { return qRound(t[i].toInt() / 15.0); };
            expected = QRect(px(0), px(1), px(2), px(3));
        }
        QVERIFY2(o->property(qPrintable(row[1])) == expected, qPrintable(row.join(u' ')));
    }
}

void tst_mainwindow::searchWaysAgree_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("logLine"); // empty: not logged
    const char* const rows[][4] = {
        {"11 digits", "09012345678", "ドコモ関西", "09012345678--->ドコモ関西"},
        {"7 digits", "0901234", "ドコモ関西", "0901234XXXX--->ドコモ関西"},
        {"kind H, 9 digits", "090129123", "沖縄セルラー", "090129123XX--->沖縄セルラー"},
        {"needs 8", "0901280", "このエリアは8桁入力が必要です", ""},
        {"needs 9", "09012912", "このエリアは9桁入力が必要です", ""},
        {"unlisted, 10 digits", "0901280600", "未使用or未確認", "0901280600X--->未使用or未確認"},
        {"au<不明>", "0901264", "au<不明>", "0901264XXXX--->au<不明>"},
        {"refused: 050", "05012345678", "090,080,070から入力して下さい", ""},
        {"refused: 12 digits", "090123456789", "番号11桁を入力して下さい", ""},
        {"refused: hyphen", "090-1234", "数字のみ入力して下さい", ""}};
    for (const auto& r : rows)
        QTest::newRow(r[0]) << QString(r[1]) << QString::fromUtf8(r[2]) << QString::fromUtf8(r[3]);
}

void tst_mainwindow::searchWaysAgree() {
    QFETCH(QString, number);
    QFETCH(QString, text);
    QFETCH(QString, logLine);
    const bool refused = QByteArray(QTest::currentDataTag()).startsWith("refused");
    w->chkSettings[1]->setChecked(false);
    w->chkSettings[0]->setChecked(true);
    Search("09012445678"); // marks 北海道, then the log is emptied
    const QImage marked = w->picMap[0]->Image();
    frmLog* log = w->LogWindow();
    log->cmdLogCommand[0]->click();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));

    for (int way = 0; way < 3; ++way) {
        w->txtInputNum->setText(number);
        w->txtResult->clear();
        w->txtInputNum->setFocus();
        if (way == 0)
            QTest::mouseClick(w->cmdSearch, Qt::LeftButton);
        else if (way == 1)
            QTest::keyClick(w->txtInputNum, Qt::Key_Return);
        else
            QTest::keyClick(w.get(), Qt::Key_A, Qt::AltModifier); // clicks after a moment
        QTRY_COMPARE(Result(), text);
        QTRY_COMPARE(Focus(), w->txtInputNum);
        QCOMPARE(w->picMap[0]->Image() == marked, refused);
    }
    const int lines = logLine.isEmpty() ? 0 : 3;
    QCOMPARE(log->LogLines(), QStringList(lines, logLine));
    QCOMPARE(log->windowTitle(),
             lines ? QStringLiteral("検索ログ - 3件検索しました。") : QStringLiteral("検索ログ"));
    QCOMPARE(log->lstLog->currentRow(), lines - 1);
    // Accepted numbers enable the log commands, logged or not.
    QCOMPARE(log->cmdLogCommand[0]->isEnabled() && log->cmdLogCommand[1]->isEnabled(), !refused);
    QCOMPARE(platform->msgBoxes.size(), text == Unlisted ? 3 : 0);
    QCOMPARE(platform->beeps, refused ? 3 : 0);
    // The command-line tool gives the same answer (its third field).
    QProcess tool;
    tool.start(LUMIVO_LOOKUP_EXE, {"--db", dir->filePath("db.dat"), number});
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(tool.readAllStandardOutput()).section(u'\t', 2), text + u'\n');
}

void tst_mainwindow::keyFilter_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text"); // after the key and a typed "5", from "0901234|"
    const int ctrl = Qt::ControlModifier;
    QTest::newRow("letter") << int(Qt::Key_A) << 0 << "09012345";
    QTest::newRow("hyphen") << int(Qt::Key_Minus) << 0 << "09012345";
    QTest::newRow("space") << int(Qt::Key_Space) << 0 << "09012345";
    QTest::newRow("Ctrl+V") << int(Qt::Key_V) << ctrl << "09012345";
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << 0 << "0901235";
    QTest::newRow("Ctrl+Backspace is code 127") << int(Qt::Key_Backspace) << ctrl << "09012345";
    QTest::newRow("Left") << int(Qt::Key_Left) << 0 << "09012354";
    QTest::newRow("Ctrl+Left") << int(Qt::Key_Left) << ctrl << "50901234";
    QTest::newRow("Home") << int(Qt::Key_Home) << 0 << "50901234";
    QTest::newRow("Shift+Insert pastes")
        << int(Qt::Key_Insert) << int(Qt::ShiftModifier) << "0901234995";
}

void tst_mainwindow::keyFilter() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QGuiApplication::clipboard()->setText(QStringLiteral("99"));
    QTest::keyClicks(w->txtInputNum, "0901234");
    QTest::keyClick(w->txtInputNum, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QTest::keyClicks(w->txtInputNum, "5");
    QTEST(w->txtInputNum->text(), "text");
}

void tst_mainwindow::lateLimitLetsNothingGrow() {
    w->chkSettings[1]->setChecked(false);
    QTest::keyClicks(w->txtInputNum, "0901234567812");
    w->chkSettings[1]->setChecked(true); // the longer text stays, but grows no more
    QGuiApplication::clipboard()->setText(QStringLiteral("345"));
    QMimeData dragged;
    dragged.setText(QStringLiteral("345"));
    QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    // Typing, the context menu's paste, Shift+Insert and a drop; at 13, 12 and 11 characters.
    for (const QString before : {"0901234567812", "090123456781", "09012345678"})
        for (int way = 0; way < 4; ++way) {
            w->txtInputNum->setText(before);
            w->txtInputNum->end(false);
            if (way == 0)
                QTest::keyClicks(w->txtInputNum, "345");
            else if (way == 1)
                w->txtInputNum->paste();
            else if (way == 2)
                QTest::keyClick(w->txtInputNum, Qt::Key_Insert, Qt::ShiftModifier);
            else
                QApplication::sendEvent(w->txtInputNum, &drop);
            QCOMPARE(w->txtInputNum->text(), before);
        }
}

void tst_mainwindow::mapMarksExactRectangles() {
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
    QCOMPARE(rects.size(), 10);
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
    QVERIFY(platform->msgBoxes.isEmpty());
    // A copy that leaves the sheet fails; for area 10 only the second copy (area 9) counts.
    const std::tuple<QSize, short, int> failures[] = {
        {{100, 96}, 10, 1}, {{107, 87}, 10, 1}, {{107, 95}, 4, 2}, {{107, 96}, 4, 2}};
    for (const auto& [size, area, boxes] : failures) {
        w->picMap[1]->SetPicture(sheet.copy(QRect(QPoint(0, 0), size)));
        w->MarkArea(area);
        QCOMPARE(platform->msgBoxes.size(), boxes);
    }
    QCOMPARE(platform->Shown(1), QStringLiteral("0||エリアマーキングの際、エラーが発生しました。"));
}

void tst_mainwindow::unlistedNoticeOffersTheAddress() {
    platform->clipboard = "before";
    platform->msgBoxAnswers << eMsgAnswer::Cancel << eMsgAnswer::OK;
    Search("0801234");
    QCOMPARE(Result(), Unlisted);
    QCOMPARE(platform->msgBoxes.size(), 1);
    QCOMPARE(platform->Shown(0),
             "65|ご協力おねがいします。|"
             "入力された電話番号は、未使用or未確認の状態です。\r\nもし存在する電話番号でしたら、" +
                 frmMain::SupportMailAddress +
                 "まで\r\nこの電話番号の先頭7桁と事業者と購入された地域をご連絡ください。\r\n"
                 "お手数ですが、データベース更新のためご協力おねがいします。\r\n"
                 "[OK]を押すと、メールアドレスをクリップボードへコピーします。");
    QCOMPARE(platform->clipboard, QStringLiteral("before")); // Cancel changes nothing
    Search("0801234");
    QCOMPARE(platform->clipboard, frmMain::SupportMailAddress);
    QCOMPARE(platform->clipboardClears, 1);
    QTRY_COMPARE(Focus(), w->txtInputNum);
}

void tst_mainwindow::logFeedHideAndRestore() {
    Search("09012345678"); // the log setting is off: nothing is logged
    frmLog* log = w->LogWindow();
    QVERIFY(log->lstLog->count() == 0 && !log->isVisible());
    w->chkSettings[0]->setChecked(true);
    QVERIFY(log->isVisible());
    Search("0901234567");
    Search("0701234");
    QCOMPARE(log->LogLines(),
             QStringList({"0901234567X--->ドコモ関西", "0701234XXXX--->未使用or未確認"}));
    QCOMPARE(log->windowTitle(), QStringLiteral("検索ログ - 2件検索しました。"));
    QCOMPARE(log->lstLog->currentRow(), 1);
    // Unchecking hides the window but keeps its lines.
    w->chkSettings[0]->setChecked(false);
    QVERIFY(!log->isVisible());
    w->chkSettings[0]->setChecked(true);
    QVERIFY(log->isVisible() && log->lstLog->count() == 2);
    // Closed by the user, the window unloads; a restore brings back a fresh one.
    log->close();
    QTRY_VERIFY(!w->LogWindowLoaded());
    w->showMinimized();
    w->showNormal();
    QTRY_VERIFY(w->LogWindowLoaded() && w->LogWindow()->isVisible());
    log = w->LogWindow();
    Search("0901234");
    QCOMPARE(log->windowTitle(), QStringLiteral("検索ログ - 1件検索しました。"));
    // Minimising hides it, restoring shows it where it was.
    const QPoint where = log->pos();
    w->showMinimized();
    QTRY_VERIFY(!log->isVisible());
    w->showNormal();
    QTRY_VERIFY(log->isVisible());
    QCOMPARE(log->pos(), where);
    // A maximised window is not offered; if it happens, the log stays as it is.
    w->setWindowState(Qt::WindowMaximized);
    QTRY_COMPARE(platform->msgBoxes.size(), 2);
    QCOMPARE(platform->Shown(1), QStringLiteral("0||検索ログウィンドウの最小化に失敗しました。"));
    QVERIFY(log->isVisible());
    w->setWindowState(Qt::WindowNoState);

    // Hiding the number hides the log and greys out its setting, which stays checked;
    // searches are still logged, in plain digits.
    w->chkSettings[2]->setChecked(true);
    QVERIFY(!log->isVisible() && !w->chkSettings[0]->isEnabled() && w->chkSettings[0]->isChecked());
    Search("0901234");
    QCOMPARE(w->txtInputNum->displayText(), QStringLiteral("*******"));
    QCOMPARE(log->LogLines().last(), QStringLiteral("0901234XXXX--->ドコモ関西"));
    w->chkSettings[2]->setChecked(false);
    QVERIFY(w->chkSettings[0]->isEnabled() && !w->chkSettings[0]->isChecked() && !log->isVisible());
    QCOMPARE(w->txtInputNum->displayText(), QStringLiteral("0901234"));
    w->showMinimized(); // with the setting off, restoring leaves the log hidden
    w->showNormal();
    QTest::qWait(50);
    QVERIFY(!log->isVisible());

    // Esc closes the program, the log window with it.
    QPointer<frmLog> last = log;
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(w->txtInputNum, Qt::Key_Escape);
    QTRY_VERIFY(!w->isVisible());
    QVERIFY(last.isNull());
}

void tst_mainwindow::placeLogWindow_data() {
    QTest::addColumn<int>("screenWidth");
    QTest::addColumn<QPoint>("mainPos"); // y: pixels beyond the main window's own height
    QTest::addColumn<QPoint>("side");    // -1, 0 or 1 for left/above, same, right/below
    QTest::newRow("1024 wide, left 319") << 1024 << QPoint(319, 0) << QPoint(1, 0);
    QTest::newRow("wide, left 320 (4800 twips)") << 1280 << QPoint(320, 0) << QPoint(-1, 0);
    QTest::newRow("1023 wide, top one less than the height")
        << 1023 << QPoint(7, -1) << QPoint(0, 1);
    QTest::newRow("narrow, top equal to the height") << 800 << QPoint(7, 0) << QPoint(0, -1);
}

void tst_mainwindow::placeLogWindow() {
    QFETCH(int, screenWidth);
    QFETCH(QPoint, mainPos);
    QFETCH(QPoint, side);
    platform->screenWidth = screenWidth;
    mainPos.ry() += w->frameGeometry().height();
    w->move(mainPos);
    QTRY_COMPARE(w->frameGeometry().topLeft(), mainPos);
    w->chkSettings[0]->setChecked(true);
    const QRect main = w->frameGeometry();
    const QRect placed = w->LogWindow()->frameGeometry();
    QCOMPARE(placed.size(), QSize(320, main.height())); // 4800 twips wide
    QCOMPARE(placed.left(), main.left() + side.x() * (side.x() > 0 ? main.width() : 320));
    QCOMPARE(placed.top(), main.top() + side.y() * main.height());
}

void tst_mainwindow::startupReports() {
    // No db.dat: the box names the file and the database's own reason.
    const QString path = dir->filePath("db.dat");
    QVERIFY(QFile::remove(path));
    platform->msgBoxes.clear();
    w = std::make_unique<frmMain>(*platform, *db, dir->path());
    QVERIFY(platform->msgBoxes.size() == 1 && !db->ErrorText().isEmpty());
    QCOMPARE(
        platform->Shown(0),
        "16||番号検索データベースを読み込めませんでした。\r\n" + path + "\r\n" + db->ErrorText() +
            "\r\n番号の検索はできません。バージョン情報の画面からデータベースを更新してください。");
    Search("09012345678");
    QCOMPARE(Result(), QStringLiteral("db.datを読み込めませんでした"));
    QCOMPARE(platform->beeps, 1);
    QCOMPARE(w->picMap[0]->Image(), w->picMap[0]->Picture());

    // A database without its date and version loads, with a warning.
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("00020406AC130\r\n2004041") > 0);
    file.close();
    QVERIFY(w->LoadDB());
    QCOMPARE(platform->Shown(1), "64||番号検索データベースの末尾に日付と版がありません。\r\n" +
                                     path + "\r\nファイルが壊れているおそれがあります。");
    Search("09012345678");
    QCOMPARE(Result(), Kansai);
}

void tst_mainwindow::qtMessageBoxAnswers() {
    // A timer inside the box's own event loop clicks a button: style 65 has OK and
    // Cancel, and Cancel answers Cancel; style 16 has OK only.
    cQtPlatform qt;
    for (const auto& [style, click, answer, buttons] :
         {std::tuple{65, QMessageBox::Cancel, eMsgAnswer::Cancel, 2},
          std::tuple{65, QMessageBox::Ok, eMsgAnswer::OK, 2},
          std::tuple{16, QMessageBox::Ok, eMsgAnswer::OK, 1}}) {
        int shown = 0;
        QString title;
        QTimer::singleShot(50, this, [&, click = click] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            shown = int(box->buttons().size());
            title = box->windowTitle();
            box->button(click)->click();
        });
        QCOMPARE(qt.MsgBox(QStringLiteral("本文"), eMsgStyle(style)), answer);
        QCOMPARE(shown, buttons);
        QCOMPARE(title, QStringLiteral("Lumivo"));
    }
}

QTEST_MAIN(tst_mainwindow)
#include "tst_mainwindow.moc"
