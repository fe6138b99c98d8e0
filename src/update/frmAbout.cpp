#include "update/frmAbout.h"

#include "lookup/cNumberDB.h"
#include "lookup/modAppInfo.h"
#include "lookup/modCheckPath.h"
#include "platform/cPlatform.h"
#include "platform/modTwips.h"
#include "update/cNoticeLabel.h"
#include "update/ucrAsync.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTime>
#include <QTimer>

// The pictures live in the window library; a static library needs them registered.
static void InitAssets() {
    Q_INIT_RESOURCE(assets);
}

const QString frmAbout::AuthorURL = QStringLiteral("https://lumivo.example");
const QColor frmAbout::StatusOrange = QColor(255, 128, 0);

namespace {

// Qt sizes the client area; the window sizes above count the frame and the caption.
constexpr int FrameWidthTwips = 90;
constexpr int FrameHeightTwips = 390;

const QString CrLf = QStringLiteral("\r\n");

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

const QString LinkToolTip = QStringLiteral("クリックすると、作者ウェブページを開きます。");

QFont UiFont(const QString& strFamily, qreal points, bool bold = false) {
    QFont font(strFamily);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

const QString PGothic = QStringLiteral("ＭＳ Ｐゴシック");
const QString Arial = QStringLiteral("Arial");
const QString Verdana = QStringLiteral("Verdana");

QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(modTwips::Px(left), modTwips::Px(top), modTwips::Px(width), modTwips::Px(height));
}

// The value of a version field: decimal digits, blanks around them allowed.
std::optional<int> FieldNumber(QStringView field) {
    const QStringView digits = field.trimmed();
    if (digits.isEmpty() || digits.size() > 4)
        return std::nullopt;
    int value = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + c.digitValue();
    }
    return value;
}

// "20040115" -> "2004/01/15"; like a "@@@@/@@/@@" format, a shorter text is
// filled with blanks from the left.
QString FormatDate(const QString& strDate) {
    const QString padded = strDate.rightJustified(8, u' ', true);
    return padded.left(4) + u'/' + padded.mid(4, 2) + u'/' + padded.mid(6, 2);
}

} // namespace

frmAbout::frmAbout(cPlatform& platform, cNumberDB& db, const QString& strAppDir, QWidget* owner,
                   std::function<void()> fnLoadDB)
    : QDialog(owner), m_platform(platform), m_db(db), m_strAppDir(strAppDir),
      m_fnLoadDB(std::move(fnLoadDB)) {
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

    m_ucrAsync = new ucrAsync(
        m_platform, [this] { return m_lblConnectionStatus->text(); }, this);
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
    return QStringLiteral("Software Version: ") + QString::number(modAppInfo::VersionMajor()) +
           u'.' + QString::number(modAppInfo::VersionMinor()) +
           QString::number(modAppInfo::VersionRevision()) +
           QStringLiteral("   DataBase Version: ") + m_db.DBVersion() + QStringLiteral("  ") +
           FormatDate(m_db.DBDate());
}

QString frmAbout::MakeTempName(bool blnBackup) const {
    QRandomGenerator rng(quint32(QTime::currentTime().msecsSinceStartOfDay() / 1000));
    const int first = int(rng.generateDouble() * 1000) + 1;
    const QString folder = modCheckPath::CheckPath(m_strAppDir);
    const QString suffix = blnBackup ? QStringLiteral(".b") : QStringLiteral(".t");
    // From the drawn number on, the first name not in use: nothing is ever appended
    // to or overwritten in a file that is already there.
    for (int i = 0; i < 1000; ++i) {
        const int n = (first - 1 + i) % 1000 + 1;
        const QString name = QStringLiteral("%1").arg(n, 4, 10, QLatin1Char('0')) + suffix;
        if (!QFileInfo::exists(folder + name))
            return name;
    }
    return QString();
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

bool frmAbout::RenameFile(const QString& strFrom, const QString& strTo) {
    return QFile::rename(strFrom, strTo);
}

bool frmAbout::RemoveFile(const QString& strPath) {
    return QFile::remove(strPath);
}

void frmAbout::OnUpdateClick() {
    SetStatus(StatusChecking, ButtonTextColour());
    SetHeightTwips(ExpandedHeightTwips);
    m_ucrAsync->CheckVer();
}

void frmAbout::OnProposeTimer() {
    SetHeightTwips(NormalHeightTwips);
    m_tmrPropose->stop();
}

void frmAbout::ReportUnusableVersion() {
    SetStatus(StatusUnusable, StatusOrange);
    m_platform.Beep();
}

void frmAbout::OnRetCheckVer(const QString& strVersion) {
    m_tmrPropose->start();

    // Layout: software version (1-3), any one character, database version (5-8),
    // free text up to the last "!", then the download location and one more character.
    if (strVersion.size() < 8) {
        ReportUnusableVersion();
        return;
    }
    const std::optional<int> software = FieldNumber(QStringView(strVersion).left(3));
    if (!software) {
        ReportUnusableVersion();
        return;
    }
    if (qint16(*software) != modAppInfo::VersionNumber()) {
        m_platform.MsgBox(QStringLiteral("このバージョンのLumivoは自動更新できません。") + CrLf +
                              QStringLiteral("最新版をダウンロードしてください。"),
                          eMsgStyle::OkOnly);
        SetStatus(StatusSoftwareOld, StatusOrange);
        return;
    }

    const QString local = m_db.DBVersion();
    const QString remote = strVersion.mid(4, 4);
    if (local == remote) {
        SetStatus(StatusUpToDate, StatusOrange);
        m_platform.Beep();
        return;
    }
    const std::optional<int> remoteNumber = FieldNumber(remote);
    if (!remoteNumber) {
        ReportUnusableVersion();
        return;
    }
    // A database without a readable version counts as older than any.
    if (*remoteNumber < FieldNumber(local).value_or(-1)) {
        SetStatus(StatusLocalNewer, StatusOrange);
        m_platform.Beep();
        return;
    }

    // The location: after the last "!", without the text's very last character.
    const qsizetype bang = strVersion.lastIndexOf(u'!');
    QString location = bang < 0 ? QString() : strVersion.mid(bang + 1);
    location.chop(1);
    if (location.isEmpty()) {
        ReportUnusableVersion();
        return;
    }
    const QString tempName = MakeTempName(false);
    if (tempName.isEmpty()) {
        SetStatus(StatusSwapFailed, StatusOrange);
        m_platform.MsgBox(QStringLiteral("データベースを更新できませんでした。") + CrLf +
                              QStringLiteral("一時ファイルの名前が足りません。"),
                          eMsgStyle::Critical);
        return;
    }

    m_intAnnouncedVersion = remoteNumber;
    SetStatus(StatusDownloading, StatusOrange);
    m_ucrAsync->StartDownload(QStringLiteral("http://") + location,
                              modCheckPath::CheckPath(m_strAppDir) + tempName);
}

void frmAbout::OnDownloadProgress(qint32 lngCurBytes, qint32 lngMaxBytes, const QString&) {
    m_lblConnectionStatus->setText(StatusDownloading + QString::number(lngCurBytes) +
                                   QStringLiteral(" of ") + QString::number(lngMaxBytes) +
                                   QStringLiteral(" Bytes"));
}

void frmAbout::OnDownloadComplete(qint32 lngMaxBytes, const QString& strSaveFPath) {
    const QFileInfo file(strSaveFPath);
    if (!file.exists() || file.size() != lngMaxBytes) {
        m_platform.MsgBox(QStringLiteral("バイトエラー"), eMsgStyle::OkOnly);
        RemoveFile(strSaveFPath);
        return;
    }
    if (!AcceptDownloadedFile(strSaveFPath)) {
        RemoveFile(strSaveFPath);
        return;
    }
    if (!SwapInDatabase(strSaveFPath))
        return;

    if (m_fnLoadDB)
        m_fnLoadDB();
    m_lblVersion0->setText(GetVersionText());
    SetStatus(StatusUpdated, StatusOrange);
    m_platform.Beep();
}

bool frmAbout::AcceptDownloadedFile(const QString& strSaveFPath) {
    cNumberDB downloaded;
    if (downloaded.LoadDB(strSaveFPath) != cNumberDB::eLoadResult::Loaded ||
        !downloaded.HasValidTail()) {
        m_platform.MsgBox(
            QStringLiteral("ダウンロードしたファイルは番号検索データベースではありません。") +
                CrLf + QStringLiteral("データベースは更新していません。"),
            eMsgStyle::OkOnly);
        return false;
    }
    if (FieldNumber(downloaded.DBVersion()) != m_intAnnouncedVersion) {
        m_platform.MsgBox(QStringLiteral("ダウンロードしたデータベースのバージョン(") +
                              downloaded.DBVersion() +
                              QStringLiteral(")が、最新版の情報と一致しません。") + CrLf +
                              QStringLiteral("データベースは更新していません。"),
                          eMsgStyle::OkOnly);
        return false;
    }
    return true;
}

bool frmAbout::SwapInDatabase(const QString& strSaveFPath) {
    const QString folder = modCheckPath::CheckPath(m_strAppDir);
    const QString dbPath = folder + QStringLiteral("db.dat");
    const bool hadDB = QFileInfo::exists(dbPath);
    const QString backupName = hadDB ? MakeTempName(true) : QString();

    struct tMove {
        QString from;
        QString to;
    };
    QList<tMove> moves;
    const auto move = [&](const QString& from, const QString& to) {
        if (!RenameFile(from, to))
            return false;
        moves.append({from, to});
        return true;
    };

    bool swapped = false;
    if (!hadDB) {
        swapped = move(strSaveFPath, dbPath);
    } else if (!backupName.isEmpty()) {
        const QString backupPath = folder + backupName;
        swapped = move(dbPath, backupPath) && move(strSaveFPath, dbPath) && RemoveFile(backupPath);
    }
    if (swapped)
        return true;

    // Undo, newest move first: the old database goes back to db.dat.
    while (!moves.isEmpty() && RenameFile(moves.last().to, moves.last().from))
        moves.removeLast();
    QString prompt = QStringLiteral("データベースを更新できませんでした。") + CrLf +
                     QStringLiteral("ファイルの名前の変更または削除ができませんでした。");
    if (moves.isEmpty()) {
        RemoveFile(strSaveFPath);
        prompt += CrLf + QStringLiteral("これまでのデータベースをそのまま使用します。");
    } else {
        // Nothing more is touched: the user finds both databases under these names.
        prompt += CrLf + QStringLiteral("次のファイルを確認してください。");
        for (const tMove& m : moves)
            prompt += CrLf + m.from + QStringLiteral(" → ") + m.to;
    }
    SetStatus(StatusSwapFailed, StatusOrange);
    m_platform.MsgBox(prompt, eMsgStyle::Critical);
    return false;
}

void frmAbout::OnDownloadError(const QString&) {
    m_platform.MsgBox(
        QStringLiteral("ネット接続が切断されました。") + CrLf +
            QStringLiteral("現在ご利用のPCがオフラインモード。または、データベースサーバーがメンテ"
                           "ナンス中です。") +
            CrLf +
            QStringLiteral("データベースサーバーの状態は、作者ウェブページでお知らせしています。"),
        eMsgStyle::Information, QStringLiteral("接続できませんでした。"));
    SetStatus(QString(), ButtonTextColour());
    SetHeightTwips(NormalHeightTwips);
    m_tmrPropose->stop();
}

void frmAbout::OnDownloadRefused(const QString&) {
    m_platform.MsgBox(QStringLiteral("ファイルが大きすぎるため、読み込みを中止しました。") + CrLf +
                          QStringLiteral("(上限 ") + QString::number(cNumberDB::MaxFileBytes) +
                          QStringLiteral(" Bytes)"),
                      eMsgStyle::OkOnly);
    SetStatus(QString(), ButtonTextColour());
    SetHeightTwips(NormalHeightTwips);
    m_tmrPropose->stop();
}

void frmAbout::SetAccessibility() {
    // The logo and the notice are links: their names say where a click leads.
    m_picSoftwareLogo->setAccessibleName(QStringLiteral("Lumivoのロゴ: 作者ウェブページを開く"));
    m_lblNotice->setAccessibleName(QStringLiteral("お知らせ: 作者ウェブページを開く"));
    // The name stands in for the text, so the text goes to the description.
    m_lblNotice->setAccessibleDescription(NoticeText().replace(CrLf, QStringLiteral("\n")));
}
