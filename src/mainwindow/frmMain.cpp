// SPDX-License-Identifier: Apache-2.0
#include "frmMain.h"

#include "cCaptionFitStyle.h"
#include "cNumberDB.h"
#include "cPictureBox.h"
#include "cPlatform.h"
#include "frmAbout.h"
#include "frmLog.h"
#include "modDataFolder.h"
#include "modErrorWords.h"
#include "modInputCheck.h"
#include "modSearch.h"
#include "modText.h"
#include "modTwips.h"
#include "modUiAssets.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QValidator>

using modText::CrLf;
using modTwips::Px;
using modTwips::TwipsRect;
using modUiAssets::UiFont;

const QString frmMain::SupportMailAddress = QStringLiteral("numbers@lumivo.example");

namespace {

// Where each area of the map lies: its place on the base map, its size, and
// its place on the highlight sheet (pixels).
struct tAreaRect {
    int intDestX, intDestY, intWidth, intHeight, intSrcX, intSrcY;
};
constexpr tAreaRect AreaRects[10] = {
    {55, 99, 23, 27, 80, 22},  // 0 関西
    {90, 85, 24, 26, 78, 49},  // 1 関東
    {22, 115, 22, 39, 31, 49}, // 2 九州
    {42, 113, 24, 19, 53, 69}, // 3 四国
    {32, 101, 29, 21, 78, 75}, // 4 中国
    {70, 85, 31, 39, 0, 49},   // 5 東海・中部
    {85, 41, 36, 49, 0, 0},    // 6 東北
    {68, 81, 25, 25, 53, 43},  // 7 北陸
    {96, 2, 44, 43, 36, 0},    // 8 北海道
    {6, 164, 21, 22, 80, 0},   // 9 沖縄
};
constexpr short AreaKyushuOkinawa = 10;

// With no limit the input box takes as many characters as a line edit can hold.
constexpr int NoInputLimit = 32767;

// While the 11-digit limit is on over a text that is already longer (the limit
// was switched on late), no edit may lengthen the text: typing, pasting and
// dropping all pass through here.
class cLateLimitValidator : public QValidator {
public:
    cLateLimitValidator(const int& intMaxLength, const qsizetype& lngLastLength, QObject* parent)
        : QValidator(parent), m_intMaxLength(intMaxLength), m_lngLastLength(lngLastLength) {}
    State validate(QString& strInput, int&) const override {
        return strInput.size() <= m_intMaxLength || strInput.size() <= m_lngLastLength ? Acceptable
                                                                                       : Invalid;
    }

private:
    const int& m_intMaxLength;
    const qsizetype& m_lngLastLength;
};

} // namespace

frmMain::frmMain(cPlatform& platform, cNumberDB& db, cUpdateJob& updateJob,
                 const QString& strDataDir, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_platform(platform), m_db(db), m_strDataDir(strDataDir), m_updateJob(updateJob) {
    // The pictures live in the window library; make sure they are linked in.
    modUiAssets::InitAssets();
    setObjectName(QStringLiteral("frmMain"));
    setFont(UiFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));

    CreateControls();
    NameControls();
    ConnectControls();
    GuardInputLength();
    cCaptionFitStyle::FitButtons(this);

    FormLoad();
    SetAccessibility();
}

frmMain::~frmMain() {
    delete m_frmLog;
}

void frmMain::CreateControls() {
    txtInputNum = new QLineEdit(this);
    cmdSearch = new QPushButton(this);
    for (QLabel*& label : lblInfo)
        label = new QLabel(this);
    txtResult = new QLineEdit(this);
    for (cPictureBox*& pic : picMap)
        pic = new cPictureBox(this);
    fraSettings = new QGroupBox(this);
    for (QCheckBox*& chk : chkSettings)
        chk = new QCheckBox(fraSettings);
    picCmdBase = new QWidget(fraSettings);
    cmdVer = new QPushButton(picCmdBase);
    txtNumDB = new QPlainTextEdit(this);
    cmdExit = new QPushButton(this);
}

void frmMain::NameControls() {
    const std::pair<QObject*, const char*> names[] = {{txtInputNum, "txtInputNum"},
                                                      {cmdSearch, "cmdSearch"},
                                                      {lblInfo[0], "lblInfo(0)"},
                                                      {lblInfo[1], "lblInfo(1)"},
                                                      {txtResult, "txtResult"},
                                                      {picMap[0], "picMap(0)"},
                                                      {picMap[1], "picMap(1)"},
                                                      {fraSettings, "fraSettings"},
                                                      {chkSettings[0], "chkSettings(0)"},
                                                      {chkSettings[1], "chkSettings(1)"},
                                                      {chkSettings[2], "chkSettings(2)"},
                                                      {picCmdBase, "picCmdBase"},
                                                      {cmdVer, "cmdVer"},
                                                      {txtNumDB, "txtNumDB"},
                                                      {cmdExit, "cmdExit"}};
    for (const auto& [object, name] : names)
        object->setObjectName(QString::fromLatin1(name));
}

void frmMain::ConnectControls() {
    for (short i = 0; i < 3; ++i)
        connect(chkSettings[i], &QCheckBox::stateChanged, this,
                [this, i] { chkSettings_Click(i); });
    connect(cmdSearch, &QPushButton::clicked, this, &frmMain::cmdSearch_Click);
    connect(cmdVer, &QPushButton::clicked, this, &frmMain::cmdVer_Click);
    connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);
    // Esc clicks the hidden exit button, as a dialog's cancel button would.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, cmdExit, &QPushButton::click);
}

void frmMain::GuardInputLength() {
    connect(txtInputNum, &QLineEdit::textChanged, this, [this] {
        m_lngInputLength = txtInputNum->text().size();
        // A limit switched on over a longer text takes hold once the text fits.
        if (txtInputNum->maxLength() != m_intInputMaxLength &&
            m_lngInputLength <= m_intInputMaxLength)
            txtInputNum->setMaxLength(m_intInputMaxLength);
    });
    txtInputNum->setValidator(
        new cLateLimitValidator(m_intInputMaxLength, m_lngInputLength, txtInputNum));
    txtInputNum->installEventFilter(this);
}

// The order of the steps is kept: the focus order follows it, and checking the
// limit box already limits the input box.
void frmMain::FormLoad() {
    PlaceWindow();
    SetUpLabels();
    SetUpSettingsFrame();
    SetUpButtonBase();
    SetUpHiddenDBBox();
    SetUpCheckBoxes();
    // Each of these goes first in the focus order when set up, so the order
    // becomes txtInputNum, txtResult, cmdVer, cmdSearch.
    SetUpSearchButton();
    SetUpVerButton();
    SetUpResultBox();
    SetUpInputBox();
    SetFocusOrder();
    SetUpMap();
    SetUpExitButton();
    LoadDB();
    txtInputNum->setFocus();
}

void frmMain::PlaceWindow() {
    // Fixed single border, no maximize button, left edge 105. Outer 8205 x 3450
    // twips leaves a client area of 8115 x 3075.
    setWindowTitle(QStringLiteral("Lumivo"));
    setFixedSize(Px(8115), Px(3075));
    const QScreen* screen = this->screen();
    const int screenTop = screen ? screen->availableGeometry().top() : 0;
    const int screenHeight = screen ? screen->availableGeometry().height() : 768;
    move(Px(105), screenTop + qMax(0, (screenHeight - Px(3450)) / 3));
}

void frmMain::SetUpLabels() {
    const QString captions[2] = {QStringLiteral("電話番号："), QStringLiteral("事業者：")};
    const int labelPos[2][4] = {{2520, 240, 1020, 225}, {2730, 780, 795, 225}};
    for (int i = 0; i < 2; ++i) {
        lblInfo[i]->setText(captions[i]);
        lblInfo[i]->setFont(UiFont(QStringLiteral("ＭＳ Ｐゴシック"), 11.25));
        lblInfo[i]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        lblInfo[i]->setAttribute(Qt::WA_TranslucentBackground);
        lblInfo[i]->setGeometry(
            TwipsRect(labelPos[i][0], labelPos[i][1], labelPos[i][2], labelPos[i][3]));
        lblInfo[i]->adjustSize();
    }
}

void frmMain::SetUpSettingsFrame() {
    fraSettings->setTitle(QStringLiteral("設定"));
    fraSettings->setGeometry(TwipsRect(2370, 1320, 5625, 1575));
}

void frmMain::SetUpButtonBase() {
    picCmdBase->setGeometry(TwipsRect(4305, 1155, 1170, 330));
    picCmdBase->setBackgroundRole(QPalette::Button);
    picCmdBase->setAutoFillBackground(true);
    picCmdBase->setFocusPolicy(Qt::NoFocus);
}

void frmMain::SetUpHiddenDBBox() {
    // Never holds the database text, only keeps its place.
    txtNumDB->setGeometry(TwipsRect(3150, 3360, 4530, 1905));
    txtNumDB->setEnabled(false);
    txtNumDB->setFocusPolicy(Qt::NoFocus);
    txtNumDB->clear();
}

void frmMain::SetUpCheckBoxes() {
    // Checking the limit runs its handling, which limits the input box.
    const QString chkCaptions[3] = {QStringLiteral("検索した電話番号を検索ログとして表示する。"),
                                    QStringLiteral("電話番号入力を11桁に制限する。"),
                                    QStringLiteral("入力する電話番号を隠す。")};
    const QString chkTips[3] = {
        QStringLiteral("検索履歴を別ウィンドウで表示します。"),
        QStringLiteral("番号入力欄に12桁以上の数字が入らないように制限します。"),
        QStringLiteral("入力する電話番号を見られたくないときに使います。")};
    const int chkTops[3] = {340, 730, 1110};
    const bool chkStart[3] = {false, true, false};
    for (int i = 0; i < 3; ++i) {
        chkSettings[i]->setText(chkCaptions[i]);
        chkSettings[i]->setToolTip(chkTips[i]);
        chkSettings[i]->setGeometry(TwipsRect(400, chkTops[i], 4500, 225));
        chkSettings[i]->setFocusPolicy(Qt::ClickFocus);
        chkSettings[i]->setChecked(chkStart[i]);
    }
}

void frmMain::SetUpSearchButton() {
    cmdSearch->setText(QStringLiteral("番号解析(&A)"));
    cmdSearch->setToolTip(QStringLiteral("入力した番号を解析します。"));
    cmdSearch->setAutoDefault(false);
    cmdSearch->setGeometry(TwipsRect(6780, 130, 1185, 400));
}

void frmMain::SetUpVerButton() {
    cmdVer->setText(QStringLiteral("VER.(&V)"));
    cmdVer->setToolTip(QStringLiteral("このソフトウェアのバージョン情報を表示します。"));
    cmdVer->setAutoDefault(false);
    cmdVer->setGeometry(TwipsRect(105, 105, 1065, 225));
}

void frmMain::SetUpResultBox() {
    txtResult->clear();
    txtResult->setReadOnly(true);
    txtResult->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    txtResult->setFont(UiFont(QStringLiteral("ＭＳ Ｐゴシック"), 12, true));
    txtResult->setGeometry(TwipsRect(3630, 720, 4335, 390));
}

void frmMain::SetUpInputBox() {
    txtInputNum->clear();
    txtInputNum->setFont(UiFont(QStringLiteral("Verdana"), 12));
    // Typing gives half-width digits: no input method.
    txtInputNum->setAttribute(Qt::WA_InputMethodEnabled, false);
    txtInputNum->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    SetInputMaxLength(11);
    txtInputNum->setGeometry(TwipsRect(3630, 120, 2985, 405));
}

void frmMain::SetFocusOrder() {
    setTabOrder(txtInputNum, txtResult);
    setTabOrder(txtResult, cmdVer);
    setTabOrder(cmdVer, cmdSearch);
}

void frmMain::SetUpMap() {
    // The map and the hidden highlight sheet below the visible area.
    picMap[0]->setGeometry(TwipsRect(90, 90, 2190, 2880));
    picMap[0]->SetPicture(QImage(QStringLiteral(":/map/base.png")));
    picMap[1]->setGeometry(TwipsRect(210, 3780, 1665, 1500));
    picMap[1]->SetPicture(QImage(QStringLiteral(":/map/highlight.png")));
}

void frmMain::SetUpExitButton() {
    cmdExit->setGeometry(TwipsRect(210, 3360, 1275, 330));
    cmdExit->setFocusPolicy(Qt::NoFocus);
}

bool frmMain::LoadDB() {
    const QString path = modDataFolder::DBPath(m_strDataDir);
    if (!m_db.LoadDB(path)) {
        m_platform.MsgBox(QStringLiteral("番号検索データベースを読み込めませんでした。") + CrLf +
                              path + CrLf + modErrorWords::IoErrorText(m_db.LastError()) + CrLf +
                              QStringLiteral("番号の検索はできません。バージョン情報の画面から"
                                             "データベースを更新してください。"),
                          eMsgStyle::Critical);
        return false;
    }
    if (!m_db.HasValidTail())
        m_platform.MsgBox(QStringLiteral("番号検索データベースの末尾に日付と版がありません。") +
                              CrLf + path + CrLf +
                              QStringLiteral("ファイルが壊れているおそれがあります。"),
                          eMsgStyle::Information);
    return true;
}

void frmMain::cmdSearch_Click() {
    const QString number = txtInputNum->text();
    const modSearch::tSearchResult result = modSearch::SearchNumber(m_db, number, m_db.IsLoaded());
    if (!result.Accepted()) {
        // The refusal stands in the result box; map and log stay as they were.
        m_platform.Beep();
        txtResult->setText(result.Text().toString());
        txtInputNum->setFocus();
        return;
    }

    LogWindow()->EnableCommands();

    ShowCarrier(result);
    AddSearchLog(number, result);

    if (result.Unlisted()) {
        const QString notice =
            QStringLiteral("入力された電話番号は、未使用or未確認の状態です。") + CrLf +
            QStringLiteral("もし存在する電話番号でしたら、") + SupportMailAddress +
            QStringLiteral("まで") + CrLf +
            QStringLiteral("この電話番号の先頭7桁と事業者と購入された地域をご連絡ください。") +
            CrLf + QStringLiteral("お手数ですが、データベース更新のためご協力おねがいします。") +
            CrLf + QStringLiteral("[OK]を押すと、メールアドレスをクリップボードへコピーします。");
        if (m_platform.MsgBox(notice, eMsgStyle::OkCancelInformation,
                              QStringLiteral("ご協力おねがいします。")) == eMsgAnswer::OK) {
            m_platform.ClipboardClear();
            m_platform.ClipboardSetText(SupportMailAddress);
        }
    }
    txtInputNum->setFocus();
}

void frmMain::ShowCarrier(const modSearch::tSearchResult& result) {
    txtResult->setText(result.Text().toString());
    // Every result marks, so that one without an area clears the last mark.
    MarkArea(result.Area());
}

void frmMain::MarkArea(short intArea) {
    picMap[0]->setAccessibleDescription(AreaName(intArea));
    picMap[0]->Cls();
    if (intArea < 0 || intArea > AreaKyushuOkinawa)
        return;
    auto copy = [this](const tAreaRect& r) {
        return picMap[0]->BitBlt(r.intDestX, r.intDestY, r.intWidth, r.intHeight, *picMap[1],
                                 r.intSrcX, r.intSrcY);
    };
    bool copied;
    if (intArea == AreaKyushuOkinawa) {
        copy(AreaRects[2]);
        copied = copy(AreaRects[9]);
    } else {
        copied = copy(AreaRects[intArea]);
    }
    picMap[0]->Refresh();
    if (!copied)
        m_platform.MsgBox(QStringLiteral("エリアマーキングの際、エラーが発生しました。"),
                          eMsgStyle::OkOnly);
}

void frmMain::AddSearchLog(const QString& strNumber, const modSearch::tSearchResult& result) {
    // The notices that ask for more digits are no outcome worth logging.
    if (!result.Logged() || ChkValue(0) != 1)
        return;
    LogWindow()->AddSearch(strNumber, result.Text());
}

void frmMain::cmdVer_Click() {
    frmAbout about(m_platform, m_updateJob, this);
    about.exec();
}

int frmMain::ChkValue(short intIndex) const {
    switch (chkSettings[intIndex]->checkState()) {
    case Qt::Unchecked:
        return 0;
    case Qt::Checked:
        return 1;
    default:
        return 2;
    }
}

void frmMain::chkSettings_Click(short intIndex) {
    const int value = ChkValue(intIndex);
    switch (intIndex) {
    case 0:
        if (value == 0) {
            if (m_frmLog)
                m_frmLog->hide();
        } else if (value == 1) {
            PlaceLogWindow();
            LogWindow()->show();
            LogWindow()->repaint();
        } else {
            m_platform.MsgBox(QStringLiteral("chkSettings(0)バリューが取得できませんでした"),
                              eMsgStyle::OkOnly);
        }
        break;
    case 1:
        if (value == 0)
            SetInputMaxLength(NoInputLimit);
        else if (value == 1)
            SetInputMaxLength(11);
        else
            m_platform.MsgBox(QStringLiteral("chkSettings(1)で例外処理が発生しました"),
                              eMsgStyle::OkOnly);
        break;
    case 2:
        if (value == 0) {
            txtInputNum->setEchoMode(QLineEdit::Normal);
            chkSettings[0]->setEnabled(true);
            chkSettings[0]->setChecked(false);
        } else if (value == 1) {
            if (ChkValue(0) == 1 && m_frmLog)
                m_frmLog->hide();
            chkSettings[0]->setEnabled(false);
            txtInputNum->setEchoMode(QLineEdit::Password);
        } else {
            m_platform.MsgBox(QStringLiteral("chkSettings(2)で例外処理が発生しました"),
                              eMsgStyle::OkOnly);
        }
        break;
    default:
        break;
    }
}

void frmMain::SetInputMaxLength(int intMaxLength) {
    // A line edit cuts its text to a new maximum; a text already longer stays
    // as typed, and the limit takes hold once it fits (see textChanged).
    m_intInputMaxLength = intMaxLength;
    if (txtInputNum->text().size() <= intMaxLength)
        txtInputNum->setMaxLength(intMaxLength);
    else
        txtInputNum->setMaxLength(NoInputLimit);
}

void frmMain::PlaceLogWindow() {
    frmLog* log = LogWindow();
    const QRect main = frameGeometry();
    // Sizes count the outer frame. Until the log window has been shown its frame
    // is unknown; the main window's frame stands in for it.
    QSize logFrame = log->frameGeometry().size() - log->size();
    if (!log->testAttribute(Qt::WA_WState_ExplicitShowHide) || logFrame.isNull())
        logFrame = frameGeometry().size() - size();
    const int logWidth = Px(4800);
    int left = main.left();
    int top = main.top();
    if (m_platform.ScreenWidthPixels() >= 1024) {
        left = main.left() < Px(4800) ? main.left() + main.width() : main.left() - logWidth;
    } else {
        top = main.top() >= main.height() ? main.top() - main.height() : main.top() + main.height();
    }
    log->resize(logWidth - logFrame.width(), main.height() - logFrame.height());
    log->move(left, top);
}

frmLog* frmMain::LogWindow() {
    if (!m_frmLog)
        m_frmLog = new frmLog(m_platform, m_db);
    return m_frmLog;
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtInputNum && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            cmdSearch->setFocus();
            cmdSearch_Click();
            return true;
        }
        // Tab and Esc belong to the window; Delete types no character.
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab ||
            key->key() == Qt::Key_Escape || key->key() == Qt::Key_Delete)
            return false;
        // Backspace (code 8) edits; with Ctrl it types code 127 and would delete a word.
        if (key->key() == Qt::Key_Backspace)
            return (key->modifiers() & Qt::ControlModifier) != 0;
        const QString text = key->text();
        if (text.isEmpty())
            return false; // arrows, Home, End, with or without Ctrl, type no character
        if (text.size() == 1 && modInputCheck::IsAllDigits(text))
            return false;
        return true; // letters, spaces, the hyphen and Ctrl+V stay out
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::FormResize() {
    const Qt::WindowStates state = windowState() & ~Qt::WindowActive;
    if (state == Qt::WindowNoState) {
        if (ChkValue(0) == 1)
            LogWindow()->show();
    } else if (state & Qt::WindowMinimized) {
        if (ChkValue(0) == 1 && m_frmLog)
            m_frmLog->hide();
    } else {
        m_platform.MsgBox(QStringLiteral("検索ログウィンドウの最小化に失敗しました。"),
                          eMsgStyle::OkOnly);
    }
}

void frmMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        FormResize();
}

void frmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormResize();
}

void frmMain::closeEvent(QCloseEvent* event) {
    // The log goes with the main window; its lines are not kept.
    delete m_frmLog;
    event->accept();
}

void frmMain::SetAccessibility() {
    // The boxes are known by their labels, without the colon; the buddies tie
    // each label to its box for screen readers and for a label's access key.
    lblInfo[0]->setBuddy(txtInputNum);
    lblInfo[1]->setBuddy(txtResult);
    txtInputNum->setAccessibleName(QStringLiteral("電話番号"));
    txtResult->setAccessibleName(QStringLiteral("事業者"));
    picMap[0]->setAccessibleName(QStringLiteral("地図"));
    // Below the visible area, never meant to be seen: not offered to screen readers.
    txtNumDB->hide();
    cmdExit->hide();
    picMap[1]->hide();
}

QString frmMain::AreaName(short intArea) {
    static const QString names[] = {
        QStringLiteral("関西"), QStringLiteral("関東"),      QStringLiteral("九州"),
        QStringLiteral("四国"), QStringLiteral("中国"),      QStringLiteral("東海"),
        QStringLiteral("東北"), QStringLiteral("北陸"),      QStringLiteral("北海道"),
        QStringLiteral("沖縄"), QStringLiteral("九州・沖縄")};
    return intArea >= 0 && intArea <= AreaKyushuOkinawa ? names[intArea] : QString();
}
