#include "lookup/cDBBuilder.h"
#include "lookup/cNumberDB.h"
#include "mainwindow/cPictureBox.h"
#include "mainwindow/frmMain.h"
#include "platform/cFakePlatform.h"
#include "searchlog/frmLog.h"
#include "update/frmAbout.h"

#include <QCheckBox>
#include <QLabel>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

// Blocks of every kind: plain 6-digit blocks for areas 0, 8, 10 and none, a
// 7-digit block split by its 8th digit and an 8-digit block split by its 9th.
const char* const Table = "090123,C130\n"   // ドコモ関西, area 0
                          "090124,C138\n"   // ドコモ北海道, area 8
                          "090125,C131\n"   // ドコモ九州, area 10
                          "090126,C150\n"   // au<不明>, no area
                          "09012805,C102\n" // au九州 behind a "C160"
                          "090129123,C109\n"; // 沖縄セルラー behind "C160" and "C161"

const QString Kansai = QStringLiteral("ドコモ関西");
const QString Unlisted = QStringLiteral("未使用or未確認");
const QString Need8 = QStringLiteral("このエリアは8桁入力が必要です");

struct tRect {
    int x, y, w, h;
};
const tRect KansaiRect{55, 99, 23, 27};
const tRect HokkaidoRect{96, 2, 44, 43};
const tRect KyushuRect{22, 115, 22, 39};
const tRect OkinawaRect{6, 164, 21, 22};

bool Inside(const QPoint& p, const QList<tRect>& rects)
{
    for (const tRect& r : rects)
        if (QRect(r.x, r.y, r.w, r.h).contains(p))
            return true;
    return false;
}

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

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<cFakePlatform> platform;
    std::unique_ptr<cNumberDB> db;
    std::unique_ptr<frmMain> w;
};

void tst_mainwindow::init()
{
    dir = std::make_unique<QTemporaryDir>();
    platform = std::make_unique<cFakePlatform>();
    db = std::make_unique<cNumberDB>();
}

void tst_mainwindow::cleanup()
{
    w.reset();
    db.reset();
    platform.reset();
    dir.reset();
}

void tst_mainwindow::MakeWindow(bool withDB)
{
    if (withDB) {
        cDBBuilder builder;
        QVERIFY(builder.AddTableText(QString::fromUtf8(Table)));
        QVERIFY2(builder.BuildFile(dir->filePath("db.dat"), "20040415", "1000"),
                 qPrintable(builder.ErrorText()));
    }
    w = std::make_unique<frmMain>(*platform, *db, dir->path());
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
}

void tst_mainwindow::Search(const QString& number)
{
    w->txtInputNum->clear();
    QTest::keyClicks(w->txtInputNum, number);
    QTest::mouseClick(w->cmdSearch, Qt::LeftButton);
}

void tst_mainwindow::startState()
{
    MakeWindow();
    for (const char* name : {"txtInputNum", "cmdSearch", "lblInfo(0)", "lblInfo(1)", "txtResult",
                             "picMap(0)", "picMap(1)", "fraSettings", "chkSettings(0)",
                             "chkSettings(1)", "chkSettings(2)", "picCmdBase", "cmdVer",
                             "txtNumDB", "cmdExit"})
        QVERIFY2(w->findChild<QWidget*>(QString::fromLatin1(name)), name);

    QCOMPARE(w->windowTitle(), QStringLiteral("Lumivo"));
    QVERIFY(w->txtInputNum->text().isEmpty());
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->txtInputNum));
    QVERIFY(w->txtResult->text().isEmpty());
    QVERIFY(w->txtResult->isReadOnly());
    QCOMPARE(w->txtInputNum->maxLength(), 11);
    QVERIFY(!w->chkSettings[0]->isChecked());
    QVERIFY(w->chkSettings[1]->isChecked());
    QVERIFY(!w->chkSettings[2]->isChecked());
    QVERIFY(!w->LogWindowLoaded());
    QVERIFY(!w->picMap[0]->Image().isNull());
    QCOMPARE(w->picMap[0]->Image(), w->picMap[0]->Picture());
    QCOMPARE(w->picMap[0]->Image().size(), QSize(144, 190));
    QCOMPARE(w->picMap[1]->Image().size(), QSize(107, 96));
    // The database text stays out of the hidden text box.
    QVERIFY(w->txtNumDB->toPlainText().isEmpty());
    QVERIFY(!db->Text().isEmpty());
    QVERIFY(platform->msgBoxes.isEmpty());

    // Focus order: input, result, version button, search button.
    QCOMPARE(w->txtInputNum->nextInFocusChain(), static_cast<QWidget*>(w->txtResult));
    w->txtInputNum->setFocus();
    QTest::keyClick(w->txtInputNum, Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->txtResult));
    QTest::keyClick(w->txtResult, Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->cmdVer));
    QTest::keyClick(w->cmdVer, Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->cmdSearch));
}

void tst_mainwindow::sameResultTypedClickedOrEntered_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("kind A, 11 digits") << "09012345678" << Kansai << "09012345678--->ドコモ関西";
    QTest::newRow("kind A, 7 digits") << "0901234" << Kansai << "0901234XXXX--->ドコモ関西";
    QTest::newRow("kind G, 10 digits") << "0901280512" << "au九州" << "0901280512X--->au九州";
    QTest::newRow("kind H") << "090129123" << "沖縄セルラー" << "090129123XX--->沖縄セルラー";
    QTest::newRow("needs 8 digits") << "0901280" << Need8 << "";
    QTest::newRow("needs 9 digits") << "09012912" << "このエリアは9桁入力が必要です" << "";
    QTest::newRow("steered, then missing") << "09012806" << Unlisted << "09012806XXX--->未使用or未確認";
}

void tst_mainwindow::sameResultTypedClickedOrEntered()
{
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
            QTest::keyClick(w.get(), Qt::Key_A, Qt::AltModifier);   // clicks after a moment
        QTRY_COMPARE(Result(), text);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->txtInputNum));
        maps.append(w->picMap[0]->Image());
    }
    QCOMPARE(maps[1], maps[0]);
    QCOMPARE(maps[2], maps[0]);

    frmLog* log = w->LogWindow();
    if (logLine.isEmpty()) {
        QCOMPARE(log->lstLog->count(), 0);
        QCOMPARE(log->windowTitle(), QStringLiteral("検索ログ"));
    } else {
        QCOMPARE(log->LogLines(), QStringList({logLine, logLine, logLine}));
        QCOMPARE(log->windowTitle(), QStringLiteral("検索ログ - 3件検索しました。"));
        QCOMPARE(log->lstLog->currentRow(), 2);
    }
    // Accepted numbers enable the log commands, logged or not.
    QVERIFY(log->cmdLogCommand[0]->isEnabled());
    QVERIFY(log->cmdLogCommand[1]->isEnabled());
    const bool unlisted = text == Unlisted;
    QCOMPARE(platform->msgBoxes.size(), unlisted ? 3 : 0);
    QCOMPARE(platform->beeps, 0);
}

void tst_mainwindow::refusalsBeepAndLeaveMapAndLogAlone_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << "" << "090,080,070から入力して下さい";
    QTest::newRow("050") << "05012345678" << "090,080,070から入力して下さい";
    QTest::newRow("6 digits") << "090123" << "最低7桁入力して下さい";
}

void tst_mainwindow::refusalsBeepAndLeaveMapAndLogAlone()
{
    QFETCH(QString, number);
    QFETCH(QString, message);
    MakeWindow();
    w->chkSettings[0]->setChecked(true);
    Search("09012445678");
    const QImage marked = w->picMap[0]->Image();
    QVERIFY(marked != w->picMap[0]->Picture());

    Search(number);
    QCOMPARE(Result(), message);
    QCOMPARE(platform->beeps, 1);
    QCOMPARE(w->picMap[0]->Image(), marked);
    QCOMPARE(w->LogWindow()->lstLog->count(), 1);
    QCOMPARE(w->txtInputNum->text(), number);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->txtInputNum));
    QVERIFY(platform->msgBoxes.isEmpty());
}

void tst_mainwindow::keyFilterAndPaste()
{
    MakeWindow();
    QTest::keyClicks(w->txtInputNum, "09a0- 1b2");
    QCOMPARE(w->txtInputNum->text(), QStringLiteral("09012"));
    QTest::keyClick(w->txtInputNum, Qt::Key_Backspace);
    QCOMPARE(w->txtInputNum->text(), QStringLiteral("0901"));

    QGuiApplication::clipboard()->setText(QStringLiteral("090-1234"));
    QTest::keyClick(w->txtInputNum, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w->txtInputNum->text(), QStringLiteral("0901"));

    // The context menu's paste gets past the key filter; the search refuses it.
    w->txtInputNum->clear();
    w->txtInputNum->paste();
    QCOMPARE(w->txtInputNum->text(), QStringLiteral("090-1234"));
    QTest::mouseClick(w->cmdSearch, Qt::LeftButton);
    QCOMPARE(Result(), QStringLiteral("数字のみ入力して下さい"));
    QCOMPARE(platform->beeps, 1);

    QGuiApplication::clipboard()->setText(QStringLiteral("０９０１２３４５６７８"));
    w->txtInputNum->clear();
    w->txtInputNum->paste();
    QTest::mouseClick(w->cmdSearch, Qt::LeftButton);
    QCOMPARE(Result(), QStringLiteral("090,080,070から入力して下さい"));
    QVERIFY(!w->LogWindowLoaded());
}

void tst_mainwindow::mapShowsOnlyTheLastArea()
{
    MakeWindow();
    const QImage base = w->picMap[0]->Picture();
    const QImage& sheet = w->picMap[1]->Picture();

    // Pixels that changed, and that only the expected rectangles changed.
    auto changedOnlyIn = [&](const QList<tRect>& rects) {
        const QImage& now = w->picMap[0]->Image();
        int changed = 0;
        for (int y = 0; y < base.height(); ++y)
            for (int x = 0; x < base.width(); ++x)
                if (now.pixel(x, y) != base.pixel(x, y)) {
                    if (!Inside(QPoint(x, y), rects))
                        return -1;
                    ++changed;
                }
        return changed;
    };

    Search("0901234");   // area 0
    QVERIFY(changedOnlyIn({KansaiRect}) > 0);
    Search("0901244");   // area 8
    QVERIFY(changedOnlyIn({HokkaidoRect}) > 0);
    // The copy is straight: the map's rectangle is the sheet's source rectangle.
    QCOMPARE(w->picMap[0]->Image().copy(96, 2, 44, 43), sheet.copy(36, 0, 44, 43));

    Search("0901254");   // area 10: Kyushu and Okinawa
    const QImage both = w->picMap[0]->Image();
    QVERIFY(changedOnlyIn({KyushuRect, OkinawaRect}) > 0);
    QCOMPARE(both.copy(22, 115, 22, 39), sheet.copy(31, 49, 22, 39));
    QCOMPARE(both.copy(6, 164, 21, 22), sheet.copy(80, 0, 21, 22));
    QVERIFY(both.copy(6, 164, 21, 22) != base.copy(6, 164, 21, 22));
    QVERIFY(both.copy(22, 115, 22, 39) != base.copy(22, 115, 22, 39));

    Search("0901264");   // au<不明>: no area, a clean map
    QCOMPARE(w->picMap[0]->Image(), base);
    Search("0901254");
    Search("0701234");   // unlisted
    QCOMPARE(w->picMap[0]->Image(), base);
    QVERIFY(platform->msgBoxes.size() == 1);   // only the unlisted notice, no marking error
}

void tst_mainwindow::unlistedNoticeOffersTheAddress()
{
    MakeWindow();
    platform->clipboard = "before";
    platform->msgBoxAnswers << MsgAnswer::Cancel << MsgAnswer::OK;
    Search("0801234");
    QCOMPARE(Result(), Unlisted);
    QCOMPARE(platform->msgBoxes.size(), 1);
    const auto box = platform->msgBoxes[0];
    QCOMPARE(box.style, 65);
    QCOMPARE(box.title, QStringLiteral("ご協力おねがいします。"));
    const QStringList lines = box.prompt.split("\r\n");
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[0], QStringLiteral("入力された電話番号は、未使用or未確認の状態です。"));
    QCOMPARE(lines[1], "もし存在する電話番号でしたら、" + frmMain::SupportMailAddress + "まで");
    QCOMPARE(lines[4], QStringLiteral("[OK]を押すと、メールアドレスをクリップボードへコピーします。"));
    QCOMPARE(platform->clipboard, QStringLiteral("before"));
    QCOMPARE(platform->clipboardClears, 0);

    Search("0801234");
    QCOMPARE(platform->clipboard, frmMain::SupportMailAddress);
    QCOMPARE(platform->clipboardClears, 1);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->txtInputNum));
}

void tst_mainwindow::logLinesCaptionAndClear()
{
    MakeWindow();
    Search("09012345678");   // the log setting is off: nothing is logged
    QCOMPARE(w->LogWindow()->lstLog->count(), 0);

    w->chkSettings[0]->setChecked(true);
    frmLog* log = w->LogWindow();
    QVERIFY(log->isVisible());
    Search("0901234567");
    Search("0901280");       // asks for 8 digits: not logged, caption untouched
    QCOMPARE(log->windowTitle(), QStringLiteral("検索ログ - 1件検索しました。"));
    Search("0701234");
    QCOMPARE(log->LogLines(), QStringList({"0901234567X--->ドコモ関西",
                                           "0701234XXXX--->未使用or未確認"}));
    QCOMPARE(log->windowTitle(), QStringLiteral("検索ログ - 2件検索しました。"));

    log->cmdLogCommand[0]->click();
    QCOMPARE(log->lstLog->count(), 0);
    QCOMPARE(log->windowTitle(), QStringLiteral("検索ログ"));
    QVERIFY(!log->cmdLogCommand[0]->isEnabled());
    QVERIFY(!log->cmdLogCommand[1]->isEnabled());
    log->cmdLogCommand_Click(0);   // clearing an empty log is the same
    QCOMPARE(log->windowTitle(), QStringLiteral("検索ログ"));
    Search("0901234");
    QCOMPARE(log->windowTitle(), QStringLiteral("検索ログ - 1件検索しました。"));

    log->cmdLogCommand_Click(5);
    QCOMPARE(platform->msgBoxes.last().prompt, QStringLiteral("Index値が異常です。"));
    QCOMPARE(platform->msgBoxes.last().style, 0);
    QCOMPARE(log->lstLog->count(), 1);

    // Unchecking hides the window but keeps its lines.
    w->chkSettings[0]->setChecked(false);
    QVERIFY(!log->isVisible());
    w->chkSettings[0]->setChecked(true);
    QVERIFY(log->isVisible());
    QCOMPARE(log->lstLog->count(), 1);

    // Closed by the user, the window unloads; the next use starts empty.
    log->close();
    QTRY_VERIFY(!w->LogWindowLoaded());
    Search("0901234");
    QCOMPARE(w->LogWindow()->LogLines(), QStringList({"0901234XXXX--->ドコモ関西"}));
}

void tst_mainwindow::logLayout_data()
{
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<int>("listHeight");
    QTest::addColumn<int>("buttonTop");
    QTest::addColumn<int>("half");
    QTest::newRow("load size") << 4680.0 << 3045.0 << true << 2580 << 2625 << 2340;
    QTest::newRow("465 high") << 4680.0 << 465.0 << false << 0 << 0 << 0;
    QTest::newRow("466 high") << 4680.0 << 466.0 << true << 1 << 46 << 2340;
    QTest::newRow("odd width") << 4681.0 << 3045.0 << true << 2580 << 2625 << 2340;
    QTest::newRow("tie up to even") << 4681.5 << 3045.0 << true << 2580 << 2625 << 2341;
    QTest::newRow("tie down to even") << 4682.5 << 3045.0 << true << 2580 << 2625 << 2341;
}

void tst_mainwindow::logLayout()
{
    QFETCH(double, width);
    QFETCH(double, height);
    const frmLog::tLayout layout = frmLog::LayoutFor(width, height);
    QTEST(layout.changed, "changed");
    if (!layout.changed)
        return;
    QTEST(layout.listHeight, "listHeight");
    QTEST(layout.buttonTop, "buttonTop");
    QTEST(layout.buttonWidth, "half");
}

void tst_mainwindow::minimiseRestoreAndClose()
{
    MakeWindow();
    // With the setting off, minimise and restore leave the log hidden.
    w->showMinimized();
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
    QCOMPARE(platform->msgBoxes[0].prompt, QStringLiteral("検索ログウィンドウの最小化に失敗しました。"));
    QVERIFY(log->isVisible());
    w->setWindowState(Qt::WindowNoState);

    // Esc closes the program, the log window with it.
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(w->txtInputNum, Qt::Key_Escape);
    QTRY_VERIFY(!w->isVisible());
    QVERIFY(log.isNull());
}

void tst_mainwindow::missingDatabaseIsReportedNotFatal()
{
    MakeWindow(false);
    QCOMPARE(platform->msgBoxes.size(), 1);
    QCOMPARE(platform->msgBoxes[0].style, 16);
    QVERIFY(platform->msgBoxes[0].prompt.contains(dir->filePath("db.dat")));
    QVERIFY(!w->DBLoaded());

    Search("09012345678");
    QCOMPARE(Result(), QStringLiteral("db.datを読み込めませんでした"));
    QCOMPARE(platform->beeps, 1);
    QCOMPARE(w->picMap[0]->Image(), w->picMap[0]->Picture());
    QCOMPARE(platform->msgBoxes.size(), 1);

    // A database that appears later is taken up by the next load.
    cDBBuilder builder;
    QVERIFY(builder.AddTableText(QString::fromUtf8(Table)));
    QVERIFY(builder.BuildFile(dir->filePath("db.dat"), "20040415", "1000"));
    QVERIFY(w->LoadDB());
    Search("09012345678");
    QCOMPARE(Result(), Kansai);
}

void tst_mainwindow::versionButtonOpensAboutModally()
{
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
    QTRY_VERIFY(seen.isNull());   // closing releases it
}

void tst_mainwindow::placeLogWindow_data()
{
    QTest::addColumn<int>("screenWidth");
    QTest::addColumn<QPoint>("mainPos");
    QTest::addColumn<QPoint>("expected");   // relative: factors of main width/height and log width
    QTest::newRow("wide, main at the left") << 1024 << QPoint(7, 100) << QPoint(1, 0);
    QTest::newRow("wide, main at 320") << 1280 << QPoint(320, 100) << QPoint(-1, 0);
    QTest::newRow("narrow, main near the top") << 1023 << QPoint(7, 100) << QPoint(0, 1);
    QTest::newRow("narrow, main low") << 800 << QPoint(7, 300) << QPoint(0, -1);
}

void tst_mainwindow::placeLogWindow()
{
    QFETCH(int, screenWidth);
    QFETCH(QPoint, mainPos);
    QFETCH(QPoint, expected);
    MakeWindow();
    platform->screenWidth = screenWidth;
    w->move(mainPos);
    QTRY_COMPARE(w->frameGeometry().topLeft(), mainPos);
    w->chkSettings[0]->setChecked(true);
    frmLog* log = w->LogWindow();
    const QRect main = w->frameGeometry();
    const QRect placed = log->frameGeometry();

    QCOMPARE(placed.width(), 320);   // 4800 twips
    QCOMPARE(placed.height(), main.height());
    if (expected.x() == 1)
        QCOMPARE(placed.left(), main.left() + main.width());
    else if (expected.x() == -1)
        QCOMPARE(placed.left(), main.left() - 320);
    else
        QCOMPARE(placed.left(), main.left());
    if (expected.y() == 1)
        QCOMPARE(placed.top(), main.top() + main.height());
    else if (expected.y() == -1)
        QCOMPARE(placed.top(), main.top() - main.height());
    else
        QCOMPARE(placed.top(), main.top());
}

void tst_mainwindow::hidingTheNumber()
{
    MakeWindow();
    w->chkSettings[0]->setChecked(true);
    frmLog* log = w->LogWindow();
    QVERIFY(log->isVisible());

    w->chkSettings[2]->setChecked(true);
    QVERIFY(!log->isVisible());
    QVERIFY(!w->chkSettings[0]->isEnabled());
    QVERIFY(w->chkSettings[0]->isChecked());
    QCOMPARE(w->txtInputNum->echoMode(), QLineEdit::Password);

    // The search still reads the digits, and logs them plainly.
    Search("0901234");
    QCOMPARE(Result(), Kansai);
    QCOMPARE(log->LogLines(), QStringList({"0901234XXXX--->ドコモ関西"}));
    QCOMPARE(w->txtInputNum->displayText(), QStringLiteral("*******"));

    w->chkSettings[2]->setChecked(false);
    QVERIFY(w->chkSettings[0]->isEnabled());
    QVERIFY(!w->chkSettings[0]->isChecked());
    QVERIFY(!log->isVisible());
    QCOMPARE(w->txtInputNum->echoMode(), QLineEdit::Normal);
    QCOMPARE(log->lstLog->count(), 1);
}

void tst_mainwindow::inputLimitSwitchedOffAndOn()
{
    MakeWindow();
    QTest::keyClicks(w->txtInputNum, "0901234567890");
    QCOMPARE(w->txtInputNum->text(), QStringLiteral("09012345678"));

    w->chkSettings[1]->setChecked(false);
    QTest::keyClicks(w->txtInputNum, "12");
    QCOMPARE(w->txtInputNum->text(), QStringLiteral("0901234567812"));
    QTest::mouseClick(w->cmdSearch, Qt::LeftButton);
    QCOMPARE(Result(), QStringLiteral("番号11桁を入力して下さい"));

    // Switching the limit on keeps the longer text and lets no more in.
    w->chkSettings[1]->setChecked(true);
    QCOMPARE(w->txtInputNum->text(), QStringLiteral("0901234567812"));
    w->txtInputNum->end(false);
    QTest::keyClicks(w->txtInputNum, "3");
    QCOMPARE(w->txtInputNum->text(), QStringLiteral("0901234567812"));
    QTest::keyClick(w->txtInputNum, Qt::Key_Backspace);
    QTest::keyClick(w->txtInputNum, Qt::Key_Backspace);
    QCOMPARE(w->txtInputNum->maxLength(), 11);
    QTest::keyClicks(w->txtInputNum, "4");
    QCOMPARE(w->txtInputNum->text(), QStringLiteral("09012345678"));
}

QTEST_MAIN(tst_mainwindow)
#include "tst_mainwindow.moc"
