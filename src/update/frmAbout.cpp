#include "update/frmAbout.h"

#include "lookup/cNumberDB.h"
#include "lookup/modAppInfo.h"
#include "lookup/modCheckPath.h"
#include "lookup/modText.h"
#include "platform/modTwips.h"
#include "platform/modUiAssets.h"
#include "update/cFileOps.h"
#include "update/cNoticeLabel.h"
#include "update/modUpdate.h"
#include "update/ucrAsync.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

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
const QString StatusSoftwareOld =
    QStringLiteral("NG ソフトウェアの最新版をダウンロードしてください。");
const QString StatusUpToDate = QStringLiteral("○現在ご使用中のデータベースが最新です。");
const QString StatusLocalNewer = QStringLiteral("△ローカルデータベースがより最新です。");
const QString StatusDownloading =
    QStringLiteral("○最新の番号検索データベースをダウンロード中です。");
const QString StatusUpdated = QStringLiteral("OK 最新のデータベースに更新しました。");
const QString StatusUnusable = QStringLiteral("NG 最新版の情報を読み取れませんでした。");
const QString StatusSwapFailed = QStringLiteral("NG データベースを更新できませんでした。");
const QString StatusNotWritten =
    QStringLiteral("NG ダウンロードしたデータベースを保存できませんでした。");
const QString StatusNotDatabase =
    QStringLiteral("NG ダウンロードしたファイルはデータベースではありません。");
const QString StatusVersionDiffers =
    QStringLiteral("NG ダウンロードしたデータベースのバージョンが違います。");
const QString NotUpdated = QStringLiteral("データベースは更新していません。");

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

frmAbout::frmAbout(cPlatform& platform, cNumberDB& db, const QString& strAppDir, QWidget* owner,
                   std::function<void()> fnLoadDB, cFileOps* pFiles)
    : QDialog(owner), m_platform(platform), m_files(pFiles ? *pFiles : cFileOps::Disk()), m_db(db),
      m_strAppDir(strAppDir), m_fnLoadDB(std::move(fnLoadDB)) {
    InitAssets();
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowModality(Qt::ApplicationModal);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);
    setWindowTitle(modAppInfo::AppTitle() + QStringLiteral("について"));
    setFixedWidth(modTwips::Px(WidthTwips - FrameWidthTwips));
    SetHeightTwips(NormalHeightTwips);

    if (owner)
        move(owner->frameGeometry().topLeft() + QPoint(modTwips::Px(2000), modTwips::Px(200)));

    BuildControls();

    m_tmrPropose = new QTimer(this);
    m_tmrPropose->setObjectName(QStringLiteral("tmrPropose"));
    m_tmrPropose->setInterval(ProposeIntervalMs);
    connect(m_tmrPropose, &QTimer::timeout, this, &frmAbout::OnProposeTimer);

    m_ucrAsync = new ucrAsync(m_platform, m_files, this);
    connect(m_ucrAsync, &ucrAsync::RetCheckVer, this, &frmAbout::OnRetCheckVer);
    connect(m_ucrAsync, &ucrAsync::DownloadProgress, this, &frmAbout::OnDownloadProgress);
    connect(m_ucrAsync, &ucrAsync::DownloadComplete, this, &frmAbout::OnDownloadComplete);
    connect(m_ucrAsync, &ucrAsync::DownloadError, this, &frmAbout::OnDownloadError);
    connect(m_ucrAsync, &ucrAsync::DownloadRefused, this, &frmAbout::OnDownloadRefused);
    SetAccessibility();
}

frmAbout::~frmAbout() {
    m_ucrAsync->CancelAll();
}

void frmAbout::BuildControls() {
    // Each button goes first in the focus order when set up: cmdOK, then cmdUpdate,
    // which so leads the order and holds the focus when the window opens.
    m_cmdOK = new QPushButton(QStringLiteral("OK(&O)"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setFont(UiFont(Verdana, 9));
    m_cmdOK->setGeometry(TwipsRect(4200, 2350, 1845, 345));
    connect(m_cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    m_cmdUpdate = new QPushButton(QStringLiteral("データベース更新(&U)"), this);
    m_cmdUpdate->setObjectName(QStringLiteral("cmdUpdate"));
    m_cmdUpdate->setFont(UiFont(PGothic, 9));
    m_cmdUpdate->setGeometry(TwipsRect(2310, 2350, 1845, 345));
    connect(m_cmdUpdate, &QPushButton::clicked, this, &frmAbout::OnUpdateClick);
    setTabOrder(m_cmdUpdate, m_cmdOK);
    m_cmdUpdate->setFocus();

    const QCursor linkCursor(QPixmap(QStringLiteral(":/update/pointer.png")), 2, 2);

    m_picSoftwareLogo = new QLabel(this);
    m_picSoftwareLogo->setObjectName(QStringLiteral("picSoftwareLogo"));
    m_picSoftwareLogo->setGeometry(TwipsRect(630, 0, 4920, 1260));
    m_picSoftwareLogo->setPixmap(QPixmap(QStringLiteral(":/update/logo.png")));
    QPalette logoPalette = m_picSoftwareLogo->palette();
    logoPalette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Base));
    m_picSoftwareLogo->setPalette(logoPalette);
    m_picSoftwareLogo->setAutoFillBackground(true);
    m_picSoftwareLogo->setCursor(linkCursor);
    m_picSoftwareLogo->setToolTip(LinkToolTip);
    m_picSoftwareLogo->installEventFilter(this);

    m_lblVersion0 = new QLabel(GetVersionText(), this);
    m_lblVersion0->setObjectName(QStringLiteral("lblVersion(0)"));
    m_lblVersion0->setGeometry(TwipsRect(200, 1260, 5720, 240));
    m_lblVersion0->setAlignment(Qt::AlignCenter);
    m_lblVersion0->setFont(UiFont(Arial, 9.75, true));

    m_lblVersion1 = new QLabel(QStringLiteral("©2026 ルミボ工房"), this);
    m_lblVersion1->setObjectName(QStringLiteral("lblVersion(1)"));
    m_lblVersion1->setGeometry(TwipsRect(210, 2385, 1935, 240));
    m_lblVersion1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_lblVersion1->setFont(UiFont(Arial, 9.75));

    m_lblNotice = new cNoticeLabel(this);
    m_lblNotice->setObjectName(QStringLiteral("lblNotice"));
    m_lblNotice->setGeometry(TwipsRect(105, 1550, 5925, 705));
    m_lblNotice->setAlignment(Qt::AlignCenter);
    m_lblNotice->setFrameShape(QFrame::Box);
    m_lblNotice->setFont(UiFont(PGothic, 8.25));
    m_lblNotice->setText(NoticeText());
    m_lblNotice->setCursor(linkCursor);
    m_lblNotice->setToolTip(LinkToolTip);
    m_lblNotice->installEventFilter(this);

    m_lblConnectionStatus = new QLabel(this);
    m_lblConnectionStatus->setObjectName(QStringLiteral("lblConnectionStatus"));
    m_lblConnectionStatus->setGeometry(TwipsRect(100, 2865, 5920, 240));
    m_lblConnectionStatus->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_lblConnectionStatus->setFrameShape(QFrame::Box);
    m_lblConnectionStatus->setFont(UiFont(PGothic, 9, true));
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
           QStringLiteral("   DataBase Version: ") + m_db.DBVersion() + QStringLiteral("  ") +
           FormatDate(m_db.DBDate());
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
    m_lblConnectionStatus->setText(strText);
    QPalette palette = m_lblConnectionStatus->palette();
    palette.setColor(QPalette::WindowText, colour);
    m_lblConnectionStatus->setPalette(palette);
}

void frmAbout::OpenAuthorPage() {
    m_platform.OpenURL(AuthorURL + QStringLiteral("/?lumivo"));
}

void frmAbout::keyPressEvent(QKeyEvent* event) {
    // Esc clicks the update button instead of closing the window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        m_cmdUpdate->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == m_picSoftwareLogo || watched == m_lblNotice) &&
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
    // A read still under way ends with the window: nothing it would bring is wanted.
    m_ucrAsync->CancelAll();
    m_tmrPropose->stop();
    QDialog::done(intResult);
}

void frmAbout::OnUpdateClick() {
    SetHeightTwips(ExpandedHeightTwips);
    // One update at a time: the read under way reports its own end, and a second
    // read would only race it.
    if (m_ucrAsync->ReadsUnderWay() > 0)
        return;
    SetStatus(StatusChecking, ButtonTextColour());
    m_ucrAsync->CheckVer();
}

void frmAbout::OnProposeTimer() {
    SetHeightTwips(NormalHeightTwips);
    m_tmrPropose->stop();
}

void frmAbout::OnRetCheckVer(const QString& strVersion) {
    m_tmrPropose->start();
    const modUpdate::tDecision decision =
        modUpdate::Decide(strVersion, m_db.DBVersion(), modAppInfo::VersionNumber());
    switch (decision.verdict) {
    case modUpdate::eVerdict::SoftwareDiffers:
        m_platform.MsgBox(QStringLiteral("このバージョンのLumivoは自動更新できません。") + CrLf +
                              QStringLiteral("最新版をダウンロードしてください。"),
                          eMsgStyle::OkOnly);
        SetStatus(StatusSoftwareOld, StatusOrange);
        return;
    case modUpdate::eVerdict::Same:
        SetStatus(StatusUpToDate, StatusOrange);
        m_platform.Beep();
        return;
    case modUpdate::eVerdict::Older:
        SetStatus(StatusLocalNewer, StatusOrange);
        m_platform.Beep();
        return;
    case modUpdate::eVerdict::Unusable:
        SetStatus(StatusUnusable, StatusOrange);
        m_platform.Beep();
        return;
    case modUpdate::eVerdict::Newer:
        break;
    }

    const QString folder = modCheckPath::CheckPath(m_strAppDir);
    // The program reads the installed database only when the user's copy cannot
    // be read; the installed folder is still not the update's to write, even for root.
    if (modAppInfo::IsInstalledFolder(folder)) {
        RefuseDownload(StatusSwapFailed,
                       QStringLiteral("インストールされたデータベースは更新できません。") + CrLf +
                           QStringLiteral("起動時のメッセージにある利用者のdb.datを読み取れるように"
                                          "してから、起動し直してください。"),
                       eMsgStyle::Critical);
        return;
    }
    const QString tempName = modUpdate::MakeTempName(folder, false);
    if (tempName.isEmpty()) {
        SetStatus(StatusSwapFailed, StatusOrange);
        m_platform.MsgBox(QStringLiteral("データベースを更新できませんでした。") + CrLf +
                              QStringLiteral("一時ファイルの名前が足りません。"),
                          eMsgStyle::Critical);
        return;
    }
    m_intAnnouncedVersion = decision.intAnnounced;
    SetStatus(StatusDownloading, StatusOrange);
    m_ucrAsync->StartDownload(decision.strURL, folder + tempName);
}

void frmAbout::OnDownloadProgress(qint32 lngCurBytes, qint32 lngMaxBytes, const QString&) {
    m_lblConnectionStatus->setText(StatusDownloading + QString::number(lngCurBytes) +
                                   QStringLiteral(" of ") + QString::number(lngMaxBytes) +
                                   QStringLiteral(" Bytes"));
}

void frmAbout::RefuseDownload(const QString& strStatus, const QString& strPrompt, eMsgStyle style) {
    SetStatus(strStatus, StatusOrange);
    m_platform.MsgBox(strPrompt, style);
}

void frmAbout::OnDownloadComplete(qint32 lngMaxBytes, const QString& strSaveFPath,
                                  const QString& strWriteError) {
    if (!strWriteError.isEmpty()) {
        RefuseDownload(StatusNotWritten,
                       QStringLiteral("ダウンロードしたデータベースを保存できませんでした。") +
                           CrLf + strWriteError + CrLf + NotUpdated,
                       eMsgStyle::Critical);
        return;
    }
    QString strFound;
    switch (modUpdate::CheckDownload(strSaveFPath, lngMaxBytes, m_intAnnouncedVersion, &strFound)) {
    case modUpdate::eCheck::WrongSize:
        // db.dat and the status line stay as they are. The file goes before the box,
        // which may stay open long: another instance's start-up would take it for
        // the leftover of an update cut off.
        m_files.Remove(strSaveFPath);
        m_platform.MsgBox(QStringLiteral("バイトエラー"), eMsgStyle::OkOnly);
        return;
    case modUpdate::eCheck::NotDatabase:
        m_files.Remove(strSaveFPath);
        RefuseDownload(
            StatusNotDatabase,
            QStringLiteral("ダウンロードしたファイルは番号検索データベースではありません。") +
                CrLf + NotUpdated,
            eMsgStyle::OkOnly);
        return;
    case modUpdate::eCheck::VersionDiffers:
        m_files.Remove(strSaveFPath);
        RefuseDownload(StatusVersionDiffers,
                       QStringLiteral("ダウンロードしたデータベースのバージョン(") + strFound +
                           QStringLiteral(")が、最新版の情報と一致しません。") + CrLf + NotUpdated,
                       eMsgStyle::OkOnly);
        return;
    case modUpdate::eCheck::Accepted:
        break;
    }

    const modUpdate::tSwap swap =
        modUpdate::SwapIn(m_files, modCheckPath::CheckPath(m_strAppDir), strSaveFPath);
    if (!swap.blnSwapped) {
        RefuseDownload(StatusSwapFailed,
                       QStringLiteral("データベースを更新できませんでした。") + CrLf +
                           QStringLiteral("ファイルの名前の変更または削除ができませんでした。") +
                           CrLf + swap.strReason + CrLf +
                           QStringLiteral("これまでのデータベースをそのまま使用します。"),
                       eMsgStyle::Critical);
        return;
    }

    if (m_fnLoadDB)
        m_fnLoadDB();
    m_lblVersion0->setText(GetVersionText());
    SetStatus(StatusUpdated, StatusOrange);
    m_platform.Beep();
}

void frmAbout::EndWithoutAnswer(const QString& strPrompt, eMsgStyle style,
                                const QString& strTitle) {
    m_platform.MsgBox(strPrompt, style, strTitle);
    SetStatus(QString(), ButtonTextColour());
    SetHeightTwips(NormalHeightTwips);
    m_tmrPropose->stop();
}

void frmAbout::OnDownloadError(const QString&) {
    EndWithoutAnswer(
        QStringLiteral("ネット接続が切断されました。") + CrLf +
            QStringLiteral("現在ご利用のPCがオフラインモード。または、データベースサーバーがメンテ"
                           "ナンス中です。") +
            CrLf +
            QStringLiteral("データベースサーバーの状態は、作者ウェブページでお知らせしています。"),
        eMsgStyle::Information, QStringLiteral("接続できませんでした。"));
}

void frmAbout::OnDownloadRefused(const QString&, qint64 lngLimitBytes) {
    EndWithoutAnswer(QStringLiteral("ファイルが大きすぎるため、読み込みを中止しました。") + CrLf +
                         QStringLiteral("(上限 ") + QString::number(lngLimitBytes) +
                         QStringLiteral(" Bytes)"),
                     eMsgStyle::OkOnly, QString());
}

void frmAbout::SetAccessibility() {
    // The logo and the notice are links: their names say where a click leads.
    m_picSoftwareLogo->setAccessibleName(QStringLiteral("Lumivoのロゴ: 作者ウェブページを開く"));
    m_lblNotice->setAccessibleName(QStringLiteral("お知らせ: 作者ウェブページを開く"));
    // The name stands in for the text, so the text goes to the description.
    m_lblNotice->setAccessibleDescription(NoticeText().replace(CrLf, QStringLiteral("\n")));
}
