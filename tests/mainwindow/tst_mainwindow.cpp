#include "lookup/cDBBuilder.h"
#include "lookup/cNumberDB.h"
#include "mainwindow/cPictureBox.h"
#include "mainwindow/frmMain.h"
#include "platform/cFakePlatform.h"
#include "searchlog/frmLog.h"
#include "update/frmAbout.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

// Blocks for areas 0, 8, 10 and none, a 7-digit block split by its 8th digit
// and an 8-digit block split by its 9th.
const char* const Table = "090123,C130\n090124,C138\n090125,C131\n090126,C150\n"
                          "09012805,C102\n090129123,C109\n";
const QString Kansai = QStringLiteral("ドコモ関西");
const QString Unlisted = QStringLiteral("未使用or未確認");

// Map rectangles (x, y, w, h) of a few areas on the base map.
const QRect KansaiRect(55, 99, 23, 27), HokkaidoRect(96, 2, 44, 43), KyushuRect(22, 115, 22, 39),
    OkinawaRect(6, 164, 21, 22);

} // namespace

class tst_mainwindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startState();
    void sameResultTypedClickedOrEntered_data();
    void sameResultTypedClickedOrEntered();
    void refusalsBeepAndLeaveMapAndLogAlone_data();
    void refusalsBeepAndLeaveMapAndLogAlone();
    void keyFilterAndPaste();
    void mapShowsOnlyTheLastArea();
    void unlistedNoticeOffersTheAddress();
    void logLinesCaptionAndClear();
    void logLayout_data();
    void logLayout();
    void minimiseRestoreAndClose();
    void missingDatabaseIsReportedNotFatal();
    void versionButtonOpensAboutModally();
    void placeLogWindow_data();
    void placeLogWindow();
    void hidingTheNumber();
    void inputLimitSwitchedOffAndOn();

private:
    void MakeWindow(bool withDB = true);
    void Search(const QString& number);
    QString Result() const { return w->txtResult->text(); }
    QWidget* Focus() const { return QApplication::focusWidget(); }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<cFakePlatform> platform;
    std::unique_ptr<cNumberDB> db;
    std::unique_ptr<frmMain> w;
};

void tst_mainwindow::init() {
    dir = std::make_unique<QTemporaryDir>();
    platform = std::make_unique<cFakePlatform>();
    db = std::make_unique<cNumberDB>();
}

void tst_mainwindow::cleanup() {
    w.reset();
    db.reset();
    platform.reset();
    dir.reset();
}

void tst_mainwindow::MakeWindow(bool withDB) {
    cDBBuilder builder;
    QVERIFY(builder.AddTableText(QString::fromUtf8(Table)));
    if (withDB)
        QVERIFY(builder.BuildFile(dir->filePath("db.dat"), "20040415", "1000"));
    w = std::make_unique<frmMain>(*platform, *db, dir->path());
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
}

void tst_mainwindow::Search(const QString& number) {
    w->txtInputNum->clear();
    QTest::keyClicks(w->txtInputNum, number);
    QTest::mouseClick(w->cmdSearch, Qt::LeftButton);
}

void tst_mainwindow::startState() {
    MakeWindow();
    for (const char* name :
         {"txtInputNum", "cmdSearch", "lblInfo(0)", "lblInfo(1)", "txtResult", "picMap(0)",
          "picMap(1)", "fraSettings", "chkSettings(0)", "chkSettings(1)", "chkSettings(2)",
          "picCmdBase", "cmdVer", "txtNumDB", "cmdExit"})
        QVERIFY2(w->findChild<QWidget*>(QString::fromLatin1(name)), name);
    QTRY_COMPARE(Focus(), w->txtInputNum);
    QVERIFY(w->txtInputNum->text().isEmpty() && w->txtResult->text().isEmpty());
    QCOMPARE(w->txtInputNum->maxLength(), 11);
    QCOMPARE(QList<bool>({w->chkSettings[0]->isChecked(), w->chkSettings[1]->isChecked(),
                          w->chkSettings[2]->isChecked()}),
             QList<bool>({false, true, false}));
    QVERIFY(!w->LogWindowLoaded());
    QCOMPARE(w->picMap[0]->Image().size(), QSize(144, 190));
    QCOMPARE(w->picMap[0]->Image(), w->picMap[0]->Picture());
    QCOMPARE(w->picMap[1]->Image().size(), QSize(107, 96));
    // The database text stays out of the hidden text box.
    QVERIFY(w->txtNumDB->toPlainText().isEmpty() && db->Size() > 0);
    QVERIFY(platform->msgBoxes.isEmpty());

    // Focus order: input, result, version button, search button.
    for (QWidget* next : {static_cast<QWidget*>(w->txtResult), static_cast<QWidget*>(w->cmdVer),
                          static_cast<QWidget*>(w->cmdSearch)}) {
        QTest::keyClick(Focus(), Qt::Key_Tab);
        QTRY_COMPARE(Focus(), next);
    }
}

void tst_mainwindow::sameResultTypedClickedOrEntered_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("11 digits") << "09012345678" << Kansai << "09012345678--->ドコモ関西";
    QTest::newRow("7 digits") << "0901234" << Kansai << "0901234XXXX--->ドコモ関西";
    QTest::newRow("kind H") << "090129123"
                            << "沖縄セルラー"
                            << "090129123XX--->沖縄セルラー";
    QTest::newRow("needs 8") << "0901280"
                             << "このエリアは8桁入力が必要です"
                             << "";
    QTest::newRow("needs 9") << "09012912"
                             << "このエリアは9桁入力が必要です"
                             << "";
    QTest::newRow("unlisted") << "09012806" << Unlisted << "09012806XXX--->未使用or未確認";
}

void tst_mainwindow::sameResultTypedClickedOrEntered() {
    QFETCH(QString, number);
    QFETCH(QString, text);
    QFETCH(QString, logLine);
    MakeWindow();
    w->chkSettings[0]->setChecked(true);
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));

    QList<QImage> maps;
    for (int way = 0; way < 3; ++way) {
        w->txtInputNum->clear();
        w->txtResult->clear();
        w->txtInputNum->setFocus();
        QTest::keyClicks(w->txtInputNum, number);
        if (way == 0)
            QTest::mouseClick(w->cmdSearch, Qt::LeftButton);
        else if (way == 1)
            QTest::keyClick(w->txtInputNum, Qt::Key_Return);
        else
            QTest::keyClick(w.get(), Qt::Key_A, Qt::AltModifier); // clicks after a moment
        QTRY_COMPARE(Result(), text);
        QTRY_COMPARE(Focus(), w->txtInputNum);
        maps.append(w->picMap[0]->Image());
    }
    QVERIFY(maps[1] == maps[0] && maps[2] == maps[0]);

    frmLog* log = w->LogWindow();
    const int lines = logLine.isEmpty() ? 0 : 3;
    QCOMPARE(log->LogLines(), QStringList(lines, logLine));
    QCOMPARE(log->windowTitle(),
             lines ? QStringLiteral("検索ログ - 3件検索しました。") : QStringLiteral("検索ログ"));
    QCOMPARE(log->lstLog->currentRow(), lines - 1);
    // Accepted numbers enable the log commands, logged or not.
    QVERIFY(log->cmdLogCommand[0]->isEnabled() && log->cmdLogCommand[1]->isEnabled());
    QCOMPARE(platform->msgBoxes.size(), text == Unlisted ? 3 : 0);
    QCOMPARE(platform->beeps, 0);
}

void tst_mainwindow::refusalsBeepAndLeaveMapAndLogAlone_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << ""
                           << "090,080,070から入力して下さい";
    QTest::newRow("050") << "05012345678"
                         << "090,080,070から入力して下さい";
    QTest::newRow("6 digits") << "090123"
                              << "最低7桁入力して下さい";
}

void tst_mainwindow::refusalsBeepAndLeaveMapAndLogAlone() {
    QFETCH(QString, number);
    MakeWindow();
    w->chkSettings[0]->setChecked(true);
    Search("09012445678");
    const QImage marked = w->picMap[0]->Image();
    QVERIFY(marked != w->picMap[0]->Picture());

    Search(number);
    QTEST(Result(), "message");
    QCOMPARE(platform->beeps, 1);
    QCOMPARE(w->picMap[0]->Image(), marked);
    QCOMPARE(w->LogWindow()->lstLog->count(), 1);
    QCOMPARE(w->txtInputNum->text(), number);
    QTRY_COMPARE(Focus(), w->txtInputNum);
}

void tst_mainwindow::keyFilterAndPaste() {
    MakeWindow();
    QTest::keyClicks(w->txtInputNum, "09a0- 1b2");
    QTest::keyClick(w->txtInputNum, Qt::Key_Backspace);
    QCOMPARE(w->txtInputNum->text(), QStringLiteral("0901"));
    QGuiApplication::clipboard()->setText(QStringLiteral("090-1234"));
    QTest::keyClick(w->txtInputNum, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w->txtInputNum->text(), QStringLiteral("0901"));

    // The context menu's paste gets past the key filter; the search refuses it.
    for (const QString& pasted :
         {QStringLiteral("090-1234"), QStringLiteral("090１２３４５６７")}) {
        QGuiApplication::clipboard()->setText(pasted);
        w->txtInputNum->clear();
        w->txtInputNum->paste();
        QCOMPARE(w->txtInputNum->text(), pasted);
        QTest::mouseClick(w->cmdSearch, Qt::LeftButton);
        QCOMPARE(Result(), QStringLiteral("数字のみ入力して下さい"));
    }
    QCOMPARE(platform->beeps, 2);
    QVERIFY(!w->LogWindowLoaded());
}

void tst_mainwindow::mapShowsOnlyTheLastArea() {
    MakeWindow();
    const QImage base = w->picMap[0]->Picture();
    const QImage& sheet = w->picMap[1]->Picture();
    // How many pixels changed; -1 when one changed outside the given rectangles.
    auto changedOnlyIn = [&](const QList<QRect>& rects) {
        int changed = 0;
        for (int y = 0; y < base.height(); ++y)
            for (int x = 0; x < base.width(); ++x)
                if (w->picMap[0]->Image().pixel(x, y) != base.pixel(x, y)) {
                    if (std::none_of(rects.begin(), rects.end(),
                                     [&](const QRect& r) { return r.contains(x, y); }))
                        return -1;
                    ++changed;
                }
        return changed;
    };

    Search("0901234"); // area 0
    QVERIFY(changedOnlyIn({KansaiRect}) > 0);
    Search("0901244"); // area 8: the straight copy of its sheet rectangle, nothing else
    QVERIFY(changedOnlyIn({HokkaidoRect}) > 0);
    QCOMPARE(w->picMap[0]->Image().copy(HokkaidoRect), sheet.copy(36, 0, 44, 43));
    Search("0901254"); // area 10: Kyushu and Okinawa
    QVERIFY(changedOnlyIn({KyushuRect, OkinawaRect}) > 0);
    QCOMPARE(w->picMap[0]->Image().copy(KyushuRect), sheet.copy(31, 49, 22, 39));
    QCOMPARE(w->picMap[0]->Image().copy(OkinawaRect), sheet.copy(80, 0, 21, 22));
    QVERIFY(sheet.copy(80, 0, 21, 22) != base.copy(OkinawaRect));
    Search("0901264"); // au<不明>: no area, a clean map
    QCOMPARE(w->picMap[0]->Image(), base);
    Search("0901254");
    Search("0701234"); // unlisted
    QCOMPARE(w->picMap[0]->Image(), base);
    QCOMPARE(platform->msgBoxes.size(), 1); // the notice only, no marking error
}

void tst_mainwindow::unlistedNoticeOffersTheAddress() {
    MakeWindow();
    platform->clipboard = "before";
    platform->msgBoxAnswers << eMsgAnswer::Cancel << eMsgAnswer::OK;
    Search("0801234");
    QCOMPARE(Result(), Unlisted);
    QCOMPARE(platform->msgBoxes.size(), 1);
    QCOMPARE(int(platform->msgBoxes[0].style), 65);
    QCOMPARE(platform->msgBoxes[0].title, QStringLiteral("ご協力おねがいします。"));
    const QStringList lines = platform->msgBoxes[0].prompt.split("\r\n");
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[1], "もし存在する電話番号でしたら、" + frmMain::SupportMailAddress + "まで");
    QCOMPARE(platform->clipboard, QStringLiteral("before")); // Cancel changes nothing

    Search("0801234");
    QCOMPARE(platform->clipboard, frmMain::SupportMailAddress);
    QCOMPARE(platform->clipboardClears, 1);
    QTRY_COMPARE(Focus(), w->txtInputNum);
}

void tst_mainwindow::logLinesCaptionAndClear() {
    MakeWindow();
    Search("09012345678"); // the log setting is off: nothing is logged
    QCOMPARE(w->LogWindow()->lstLog->count(), 0);

    w->chkSettings[0]->setChecked(true);
    frmLog* log = w->LogWindow();
    QVERIFY(log->isVisible());
    Search("0901234567");
    Search("0701234");
    QCOMPARE(log->LogLines(),
             QStringList({"0901234567X--->ドコモ関西", "0701234XXXX--->未使用or未確認"}));
    QCOMPARE(log->windowTitle(), QStringLiteral("検索ログ - 2件検索しました。"));

    log->cmdLogCommand[0]->click();
    QCOMPARE(log->lstLog->count(), 0);
    QCOMPARE(log->windowTitle(), QStringLiteral("検索ログ"));
    QVERIFY(!log->cmdLogCommand[0]->isEnabled() && !log->cmdLogCommand[1]->isEnabled());
    Search("0901234");
    QCOMPARE(log->windowTitle(), QStringLiteral("検索ログ - 1件検索しました。"));
    log->cmdLogCommand_Click(5);
    QCOMPARE(platform->msgBoxes.last().prompt, QStringLiteral("Index値が異常です。"));

    // Unchecking hides the window but keeps its lines.
    w->chkSettings[0]->setChecked(false);
    QVERIFY(!log->isVisible());
    w->chkSettings[0]->setChecked(true);
    QVERIFY(log->isVisible() && log->lstLog->count() == 1);

    // Closed by the user, the window unloads; the next use starts empty.
    log->close();
    QTRY_VERIFY(!w->LogWindowLoaded());
    Search("0901234");
    QCOMPARE(w->LogWindow()->LogLines(), QStringList({"0901234XXXX--->ドコモ関西"}));
}

void tst_mainwindow::logLayout_data() {
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<QList<int>>("layout"); // changed, list height, button top, half width
    QTest::newRow("load size") << 4680.0 << 3045.0 << QList<int>{1, 2580, 2625, 2340};
    QTest::newRow("465 high") << 4680.0 << 465.0 << QList<int>{0, 0, 0, 0};
    QTest::newRow("466 high") << 4680.0 << 466.0 << QList<int>{1, 1, 46, 2340};
    QTest::newRow("odd width") << 4681.0 << 3045.0 << QList<int>{1, 2580, 2625, 2340};
    QTest::newRow("tie up to even") << 4681.5 << 3045.0 << QList<int>{1, 2580, 2625, 2341};
    QTest::newRow("tie down to even") << 4682.5 << 3045.0 << QList<int>{1, 2580, 2625, 2341};
}

void tst_mainwindow::logLayout() {
    QFETCH(double, width);
    QFETCH(double, height);
    const frmLog::tLayout l = frmLog::LayoutFor(width, height);
    QTEST(QList<int>({l.changed, l.listHeight, l.buttonTop, l.buttonWidth}), "layout");
}

void tst_mainwindow::minimiseRestoreAndClose() {
    MakeWindow();
    w->showMinimized(); // with the setting off, the log stays hidden
    w->showNormal();
    QVERIFY(!w->LogWindowLoaded() || !w->LogWindow()->isVisible());

    w->chkSettings[0]->setChecked(true);
    QPointer<frmLog> log = w->LogWindow();
    const QPoint where = log->pos();
    w->showMinimized();
    QTRY_VERIFY(!log->isVisible());
    w->showNormal();
    QTRY_VERIFY(log->isVisible());
    QCOMPARE(log->pos(), where);

    // A maximised window is not offered; if it happens, the log stays as it is.
    w->setWindowState(Qt::WindowMaximized);
    QTRY_COMPARE(platform->msgBoxes.size(), 1);
    QCOMPARE(platform->msgBoxes[0].prompt,
             QStringLiteral("検索ログウィンドウの最小化に失敗しました。"));
    QVERIFY(log->isVisible());
    w->setWindowState(Qt::WindowNoState);

    // Esc closes the program, the log window with it.
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(w->txtInputNum, Qt::Key_Escape);
    QTRY_VERIFY(!w->isVisible());
    QVERIFY(log.isNull());
}

void tst_mainwindow::missingDatabaseIsReportedNotFatal() {
    MakeWindow(false);
    QCOMPARE(platform->msgBoxes.size(), 1);
    QCOMPARE(int(platform->msgBoxes[0].style), 16);
    QVERIFY(platform->msgBoxes[0].prompt.contains(dir->filePath("db.dat")));
    Search("09012345678");
    QCOMPARE(Result(), QStringLiteral("db.datを読み込めませんでした"));
    QCOMPARE(platform->beeps, 1);
    QCOMPARE(w->picMap[0]->Image(), w->picMap[0]->Picture());

    // A database that appears later is taken up by the next load.
    cDBBuilder builder;
    QVERIFY(builder.AddTableText(QString::fromUtf8(Table)));
    QVERIFY(builder.BuildFile(dir->filePath("db.dat"), "20040415", "1000"));
    QVERIFY(w->LoadDB());
    Search("09012345678");
    QCOMPARE(Result(), Kansai);
}

void tst_mainwindow::versionButtonOpensAboutModally() {
    MakeWindow();
    QPointer<frmAbout> seen;
    bool modalToMain = false;
    QString version;
    // The About window runs its own event loop; a timer inside it looks and closes it.
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (auto* about = qobject_cast<frmAbout*>(QApplication::activeModalWidget())) {
            seen = about;
            modalToMain = about->isModal() && about->parentWidget() == w.get();
            version = about->findChild<QLabel*>("lblVersion(0)")->text();
            poll.stop();
            about->accept();
        }
    });
    poll.start(20);
    QTest::keyClick(w.get(), Qt::Key_V, Qt::AltModifier);
    QTRY_VERIFY(modalToMain);
    QVERIFY(version.endsWith("DataBase Version: 1000  2004/04/15"));
    QTRY_VERIFY(seen.isNull()); // closing releases it
}

void tst_mainwindow::placeLogWindow_data() {
    QTest::addColumn<int>("screenWidth");
    QTest::addColumn<QPoint>("mainPos");
    QTest::addColumn<QPoint>("side"); // -1, 0 or 1 for left/above, same, right/below
    QTest::newRow("wide, main at the left") << 1024 << QPoint(7, 100) << QPoint(1, 0);
    QTest::newRow("wide, main at 320") << 1280 << QPoint(320, 100) << QPoint(-1, 0);
    QTest::newRow("narrow, main near the top") << 1023 << QPoint(7, 100) << QPoint(0, 1);
    QTest::newRow("narrow, main low") << 800 << QPoint(7, 300) << QPoint(0, -1);
}

void tst_mainwindow::placeLogWindow() {
    QFETCH(int, screenWidth);
    QFETCH(QPoint, mainPos);
    QFETCH(QPoint, side);
    MakeWindow();
    platform->screenWidth = screenWidth;
    w->move(mainPos);
    QTRY_COMPARE(w->frameGeometry().topLeft(), mainPos);
    w->chkSettings[0]->setChecked(true);
    const QRect main = w->frameGeometry();
    const QRect placed = w->LogWindow()->frameGeometry();
    QCOMPARE(placed.size(), QSize(320, main.height())); // 4800 twips wide
    QCOMPARE(placed.left(), main.left() + side.x() * (side.x() > 0 ? main.width() : 320));
    QCOMPARE(placed.top(), main.top() + side.y() * main.height());
}

void tst_mainwindow::hidingTheNumber() {
    MakeWindow();
    w->chkSettings[0]->setChecked(true);
    frmLog* log = w->LogWindow();
    w->chkSettings[2]->setChecked(true);
    QVERIFY(!log->isVisible());
    QVERIFY(!w->chkSettings[0]->isEnabled() && w->chkSettings[0]->isChecked());

    // The search still reads the digits, and logs them plainly.
    Search("0901234");
    QCOMPARE(Result(), Kansai);
    QCOMPARE(w->txtInputNum->displayText(), QStringLiteral("*******"));
    QCOMPARE(log->LogLines(), QStringList({"0901234XXXX--->ドコモ関西"}));

    w->chkSettings[2]->setChecked(false);
    QVERIFY(w->chkSettings[0]->isEnabled() && !w->chkSettings[0]->isChecked());
    QVERIFY(!log->isVisible());
    QCOMPARE(w->txtInputNum->displayText(), QStringLiteral("0901234"));
}

void tst_mainwindow::inputLimitSwitchedOffAndOn() {
    MakeWindow();
    QTest::keyClicks(w->txtInputNum, "0901234567890");
    QCOMPARE(w->txtInputNum->text(), QStringLiteral("09012345678"));
    w->chkSettings[1]->setChecked(false);
    QTest::keyClicks(w->txtInputNum, "12");
    QTest::mouseClick(w->cmdSearch, Qt::LeftButton);
    QCOMPARE(Result(), QStringLiteral("番号11桁を入力して下さい"));

    // Switching the limit on keeps the longer text and lets no more in.
    w->chkSettings[1]->setChecked(true);
    w->txtInputNum->end(false);
    QTest::keyClicks(w->txtInputNum, "3");
    QCOMPARE(w->txtInputNum->text(), QStringLiteral("0901234567812"));
    QTest::keyClick(w->txtInputNum, Qt::Key_Backspace);
    QTest::keyClick(w->txtInputNum, Qt::Key_Backspace);
    QTest::keyClicks(w->txtInputNum, "4");
    QCOMPARE(w->txtInputNum->text(), QStringLiteral("09012345678"));
}

QTEST_MAIN(tst_mainwindow)
#include "tst_mainwindow.moc"
