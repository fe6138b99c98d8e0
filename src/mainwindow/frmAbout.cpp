// SPDX-License-Identifier: Apache-2.0
#include "frmAbout.h"

#include "cCaptionFitStyle.h"
#include "cNoticeLabel.h"
#include "cNumberDB.h"
#include "modAppInfo.h"
#include "modErrorWords.h"
#include "modText.h"
#include "modTwips.h"
#include "modUiAssets.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <iterator>

const QString frmAbout::AuthorURL = QStringLiteral("https://lumivo.example");
const QColor frmAbout::StatusOrange = QColor(255, 128, 0);

namespace {

// Qt sizes the client area; the window sizes above count the frame and the caption.
constexpr int FrameWidthTwips = 90;
constexpr int FrameHeightTwips = 390;

using modText::CrLf;
using modTwips::TwipsRect;
using modUiAssets::InitAssets;
using modUiAssets::UiFont;

const QString StatusChecking =
    QStringLiteral("○番号検索データベースの最新版をチェックしています。");
const QString StatusDownloading =
    QStringLiteral("○最新の番号検索データベースをダウンロード中です。");

using eOutcome = cUpdateJob::eOutcome;

// What the status line does at an outcome: stays, takes the row's text in
// orange, or empties and folds away with the timer stopped.
enum class eStatus { Keep, Set, Clear };

// What the window shows for an outcome, in this order: the box (when it has a
// text), the version label (when the database changed), the status line, the
// beep. In the box's text %1 stands for the words of the outcome's error, %2
// for its number (the limit of a size), %3 for the outcome's detail.
struct tShown {
    eOutcome outcome;
    eStatus status;
    const char16_t* strStatus;
    bool blnBeep;
    eMsgStyle boxStyle;
    const char16_t* strBoxTitle;
    const char16_t* strBox;
};

#define NOT_UPDATED u"\r\nデータベースは更新していません。"
#define START_FAILED u"次のエラーが発生しました。\r\n"
#define NO_BOX eMsgStyle::OkOnly, u"", u""

const tShown Shown[] = {
    {eOutcome::Updated, eStatus::Set, u"OK 最新のデータベースに更新しました。", true, NO_BOX},
    {eOutcome::UpToDate, eStatus::Set, u"○現在ご使用中のデータベースが最新です。", true, NO_BOX},
    {eOutcome::LocalNewer, eStatus::Set, u"△ローカルデータベースがより最新です。", true, NO_BOX},
    {eOutcome::SoftwareDiffers, eStatus::Set,
     u"NG ソフトウェアの最新版をダウンロードしてください。", false, eMsgStyle::OkOnly, u"",
     u"このバージョンのLumivoは自動更新できません。\r\n最新版をダウンロードしてください。"},
    {eOutcome::Unusable, eStatus::Set, u"NG 最新版の情報を読み取れませんでした。", true, NO_BOX},
    {eOutcome::DigitError, eStatus::Set, u"NG 最新版の情報を読み取れませんでした。", true,
     eMsgStyle::OkOnly, u"", u"DigitError."},
    {eOutcome::NoAnswer, eStatus::Clear, u"", false, eMsgStyle::Information,
     u"接続できませんでした。",
     u"ネット接続が切断されました。\r\n現在ご利用のPCがオフラインモード。または、"
     u"データベースサーバーがメンテナンス中です。\r\nデータベースサーバーの状態は、"
     u"作者ウェブページでお知らせしています。"},
    {eOutcome::TooLarge, eStatus::Clear, u"", false, eMsgStyle::OkOnly, u"",
     u"ファイルが大きすぎるため、読み込みを中止しました。\r\n(上限 %2 Bytes)"},
    // The status line keeps its text; the error number has a blank after the
    // colon here and none for the download.
    {eOutcome::CheckNotStarted, eStatus::Keep, u"", false, eMsgStyle::Critical,
     u"コールポイントCheckVer", START_FAILED u"エラー番号: %2\r\nエラーの詳細: %1(%3)"},
    {eOutcome::DownloadNotStarted, eStatus::Keep, u"", false, eMsgStyle::Critical,
     u"コールポイントStartDownload", START_FAILED u"エラー番号:%2\r\nエラーの詳細:%1(%3)"},
    {eOutcome::InstalledFolder, eStatus::Set, u"NG データベースを更新できませんでした。", false,
     eMsgStyle::Critical, u"",
     u"インストールされたデータベースは更新できません。\r\n起動時のメッセージにある利用者の"
     u"db.datを読み取れるようにしてから、起動し直してください。"},
    {eOutcome::NoTempName, eStatus::Set, u"NG データベースを更新できませんでした。", false,
     eMsgStyle::Critical, u"",
     u"データベースを更新できませんでした。\r\n一時ファイルの名前が足りません。"},
    // db.dat and the status line stay as they are.
    {eOutcome::WrongSize, eStatus::Keep, u"", false, eMsgStyle::OkOnly, u"", u"バイトエラー"},
    {eOutcome::NotDatabase, eStatus::Set,
     u"NG ダウンロードしたファイルはデータベースではありません。", false, eMsgStyle::OkOnly, u"",
     u"ダウンロードしたファイルは番号検索データベースではありません。" NOT_UPDATED},
    {eOutcome::VersionDiffers, eStatus::Set,
     u"NG ダウンロードしたデータベースのバージョンが違います。", false, eMsgStyle::OkOnly, u"",
     u"ダウンロードしたデータベースのバージョン(%3)が、最新版の情報と一致しません。" NOT_UPDATED},
    {eOutcome::NotWritten, eStatus::Set, u"NG ダウンロードしたデータベースを保存できませんでした。",
     false, eMsgStyle::Critical, u"",
     u"ダウンロードしたデータベースを保存できませんでした。\r\n%1" NOT_UPDATED},
    {eOutcome::SwapFailed, eStatus::Set, u"NG データベースを更新できませんでした。", false,
     eMsgStyle::Critical, u"",
     u"データベースを更新できませんでした。\r\nファイルの名前の変更または削除ができませんでした。"
     u"\r\n%1\r\nこれまでのデータベースをそのまま使用します。"},
    // Worded as the other checks of what arrived. Which part of the signature
    // failed (the detail) is not shown: to the user each means the same.
    {eOutcome::VersionNotSigned, eStatus::Set, u"NG 最新版の情報の署名を確認できませんでした。",
     false, eMsgStyle::OkOnly, u"", u"最新版の情報の署名を確認できませんでした。" NOT_UPDATED},
    {eOutcome::DatabaseNotSigned, eStatus::Set, u"NG データベースの署名を確認できませんでした。",
     false, eMsgStyle::OkOnly, u"", u"データベースの署名を確認できませんでした。" NOT_UPDATED},
};

#undef NOT_UPDATED
#undef START_FAILED
#undef NO_BOX

// strTemplate with %1 to %3 replaced in one pass, so that a detail holding
// "%2" stays as it is.
QString Fill(QStringView strTemplate, const cUpdateJob::tResult& result) {
    const tIoError& error = result.error;
    const QString filled[] = {
        modErrorWords::IoErrorText(error),
        QString::number(error.kind == eIoError::TooLarge ? error.lngLimit : error.intSystemCode),
        result.strDetail};
    QString out;
    for (qsizetype i = 0; i < strTemplate.size(); ++i) {
        const QChar next = i + 1 < strTemplate.size() ? strTemplate[i + 1] : QChar();
        if (strTemplate[i] == u'%' && next >= u'1' && next <= u'3') {
            out += filled[next.unicode() - u'1'];
            ++i;
        } else {
            out += strTemplate[i];
        }
    }
    return out;
}

const QString LinkToolTip = QStringLiteral("クリックすると、作者ウェブページを開きます。");

const QString PGothic = QStringLiteral("ＭＳ Ｐゴシック");
const QString Arial = QStringLiteral("Arial");
const QString Verdana = QStringLiteral("Verdana");

// "20040115" -> "2004/01/15"; like a "@@@@/@@/@@" format, a shorter text is
// filled with blanks from the left.
QString FormatDate(const QString& strDate) {
    const QString padded = strDate.rightJustified(8, u' ', true);
    return padded.left(4) + u'/' + padded.mid(4, 2) + u'/' + padded.mid(6, 2);
}

} // namespace

frmAbout::frmAbout(cPlatform& platform, cUpdateJob& job, QWidget* owner)
    : QDialog(owner), m_platform(platform), m_job(job) {
    InitAssets();
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowModality(Qt::ApplicationModal);
    // A white sheet whatever the theme, so its text is black whatever the theme:
    // a dark theme's light text would vanish on it.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    setPalette(palette);
    setAutoFillBackground(true);
    setWindowTitle(modAppInfo::AppTitle() + QStringLiteral("について"));
    setFixedWidth(modTwips::Px(WidthTwips - FrameWidthTwips));
    SetHeightTwips(NormalHeightTwips);

    if (owner)
        move(owner->frameGeometry().topLeft() + QPoint(modTwips::Px(2000), modTwips::Px(200)));

    BuildControls();
    cCaptionFitStyle::FitButtons(this);

    tmrPropose = new QTimer(this);
    tmrPropose->setObjectName(QStringLiteral("tmrPropose"));
    tmrPropose->setInterval(ProposeIntervalMs);
    connect(tmrPropose, &QTimer::timeout, this, &frmAbout::OnProposeTimer);

    connect(&m_job, &cUpdateJob::Progress, this, &frmAbout::OnProgress);
    connect(&m_job, &cUpdateJob::Finished, this, &frmAbout::OnFinished);
    SetAccessibility();
}

frmAbout::~frmAbout() {
    // An update under way ends with the window: nothing it would bring is wanted.
    m_job.Cancel();
}

void frmAbout::BuildControls() {
    // Each button goes first in the focus order when set up: cmdOK, then cmdUpdate,
    // which so leads the order and holds the focus when the window opens.
    cmdOK = new QPushButton(QStringLiteral("OK(&O)"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setFont(UiFont(Verdana, 9));
    cmdOK->setGeometry(TwipsRect(4200, 2350, 1845, 345));
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    cmdUpdate = new QPushButton(QStringLiteral("データベース更新(&U)"), this);
    cmdUpdate->setObjectName(QStringLiteral("cmdUpdate"));
    cmdUpdate->setFont(UiFont(PGothic, 9));
    cmdUpdate->setGeometry(TwipsRect(2310, 2350, 1845, 345));
    connect(cmdUpdate, &QPushButton::clicked, this, &frmAbout::OnUpdateClick);
    setTabOrder(cmdUpdate, cmdOK);
    cmdUpdate->setFocus();

    const QCursor linkCursor(QPixmap(QStringLiteral(":/update/pointer.png")), 2, 2);

    picSoftwareLogo = new QLabel(this);
    picSoftwareLogo->setObjectName(QStringLiteral("picSoftwareLogo"));
    picSoftwareLogo->setGeometry(TwipsRect(630, 0, 4920, 1260));
    picSoftwareLogo->setPixmap(QPixmap(QStringLiteral(":/update/logo.png")));
    QPalette logoPalette = picSoftwareLogo->palette();
    logoPalette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Base));
    logoPalette.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::Text));
    picSoftwareLogo->setPalette(logoPalette);
    picSoftwareLogo->setAutoFillBackground(true);
    picSoftwareLogo->setCursor(linkCursor);
    picSoftwareLogo->setToolTip(LinkToolTip);
    picSoftwareLogo->installEventFilter(this);

    lblVersion[0] = new QLabel(GetVersionText(), this);
    lblVersion[0]->setObjectName(QStringLiteral("lblVersion(0)"));
    lblVersion[0]->setGeometry(TwipsRect(200, 1260, 5720, 240));
    lblVersion[0]->setAlignment(Qt::AlignCenter);
    lblVersion[0]->setFont(UiFont(Arial, 9.75, true));

    lblVersion[1] = new QLabel(QStringLiteral("©2026 ルミボ工房"), this);
    lblVersion[1]->setObjectName(QStringLiteral("lblVersion(1)"));
    lblVersion[1]->setGeometry(TwipsRect(210, 2385, 1935, 240));
    lblVersion[1]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblVersion[1]->setFont(UiFont(Arial, 9.75));

    lblNotice = new cNoticeLabel(this);
    lblNotice->setObjectName(QStringLiteral("lblNotice"));
    lblNotice->setGeometry(TwipsRect(105, 1550, 5925, 705));
    lblNotice->setAlignment(Qt::AlignCenter);
    lblNotice->setFrameShape(QFrame::Box);
    lblNotice->setFont(UiFont(PGothic, 8.25));
    lblNotice->setText(NoticeText());
    lblNotice->setCursor(linkCursor);
    lblNotice->setToolTip(LinkToolTip);
    lblNotice->installEventFilter(this);

    lblConnectionStatus = new QLabel(this);
    lblConnectionStatus->setObjectName(QStringLiteral("lblConnectionStatus"));
    lblConnectionStatus->setGeometry(TwipsRect(100, 2865, 5920, 240));
    lblConnectionStatus->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblConnectionStatus->setFrameShape(QFrame::Box);
    lblConnectionStatus->setFont(UiFont(PGothic, 9, true));
    // Its text takes the theme's button-text colour, so it stands on the button face.
    QPalette statusPalette = lblConnectionStatus->palette();
    statusPalette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    lblConnectionStatus->setPalette(statusPalette);
    lblConnectionStatus->setAutoFillBackground(true);
    SetStatus(QString(), ButtonTextColour());
}

QString frmAbout::NoticeText() {
    return QStringLiteral("サービス名および製品名は一般に各社の登録商標または商標です。") + CrLf +
           QStringLiteral("アイコン・イラスト: ルミボ工房のオリジナルです。") + CrLf +
           QStringLiteral("Lumivoの最新版は ") + AuthorURL + QStringLiteral(" で公開しています。") +
           CrLf + QStringLiteral("ここをクリックすると、作者ウェブページを開きます。");
}

QString frmAbout::GetVersionText() const {
    return QStringLiteral("Software Version: ") + modAppInfo::VersionLabel() +
           QStringLiteral("   DataBase Version: ") + m_job.Database().DBVersion() +
           QStringLiteral("  ") + FormatDate(m_job.Database().DBDate());
}

int frmAbout::HeightTwips() const {
    return modTwips::Twips(height()) + FrameHeightTwips;
}

QColor frmAbout::ButtonTextColour() {
    return QApplication::palette().color(QPalette::ButtonText);
}

void frmAbout::SetHeightTwips(int intTwips) {
    setFixedHeight(modTwips::Px(intTwips - FrameHeightTwips));
}

void frmAbout::SetStatus(const QString& strText, const QColor& colour) {
    lblConnectionStatus->setText(strText);
    QPalette palette = lblConnectionStatus->palette();
    palette.setColor(QPalette::WindowText, colour);
    lblConnectionStatus->setPalette(palette);
}

void frmAbout::OpenAuthorPage() {
    m_platform.OpenURL(AuthorURL + QStringLiteral("/?lumivo"));
}

void frmAbout::keyPressEvent(QKeyEvent* event) {
    // Esc clicks the update button instead of closing the window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdUpdate->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == picSoftwareLogo || watched == lblNotice) &&
        event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto* label = static_cast<QWidget*>(watched);
        if (mouse->button() == Qt::LeftButton &&
            label->rect().contains(mouse->position().toPoint()))
            OpenAuthorPage();
    }
    return QDialog::eventFilter(watched, event);
}

void frmAbout::done(int intResult) {
    // An update under way ends with the window: nothing it would bring is wanted.
    m_job.Cancel();
    tmrPropose->stop();
    QDialog::done(intResult);
}

void frmAbout::OnUpdateClick() {
    SetHeightTwips(ExpandedHeightTwips);
    // One update at a time: the one under way reports its own end.
    if (m_job.Running())
        return;
    SetStatus(StatusChecking, ButtonTextColour());
    m_job.Start();
}

void frmAbout::OnProposeTimer() {
    SetHeightTwips(NormalHeightTwips);
    tmrPropose->stop();
}

void frmAbout::OnProgress(cUpdateJob::eStage stage, qint64 lngCurBytes, qint64 lngMaxBytes) {
    switch (stage) {
    case cUpdateJob::eStage::VersionRead:
        tmrPropose->start();
        return;
    case cUpdateJob::eStage::Downloading:
        SetStatus(StatusDownloading, StatusOrange);
        return;
    case cUpdateJob::eStage::Received:
        lblConnectionStatus->setText(StatusDownloading + QString::number(lngCurBytes) +
                                     QStringLiteral(" of ") + QString::number(lngMaxBytes) +
                                     QStringLiteral(" Bytes"));
        return;
    }
}

void frmAbout::OnFinished(const cUpdateJob::tResult& result) {
    const auto row = std::find_if(std::begin(Shown), std::end(Shown),
                                  [&](const tShown& r) { return r.outcome == result.outcome; });
    if (row == std::end(Shown))
        return;
    const QStringView box(row->strBox);
    if (!box.isEmpty())
        m_platform.MsgBox(Fill(box, result), row->boxStyle, QString::fromUtf16(row->strBoxTitle));
    if (result.outcome == eOutcome::Updated)
        lblVersion[0]->setText(GetVersionText());
    switch (row->status) {
    case eStatus::Keep:
        break;
    case eStatus::Set:
        SetStatus(QString::fromUtf16(row->strStatus), StatusOrange);
        break;
    case eStatus::Clear:
        SetStatus(QString(), ButtonTextColour());
        SetHeightTwips(NormalHeightTwips);
        tmrPropose->stop();
        break;
    }
    if (row->blnBeep)
        m_platform.Beep();
}

void frmAbout::SetAccessibility() {
    // The logo and the notice are links: their names say where a click leads.
    picSoftwareLogo->setAccessibleName(QStringLiteral("Lumivoのロゴ: 作者ウェブページを開く"));
    lblNotice->setAccessibleName(QStringLiteral("お知らせ: 作者ウェブページを開く"));
    // The name stands in for the text, so the text goes to the description.
    lblNotice->setAccessibleDescription(NoticeText().replace(CrLf, QStringLiteral("\n")));
}
