#include "update/ucrAsync.h"

#include "lookup/DecryptAUCG.h"
#include "lookup/cNumberDB.h"
#include "platform/cPlatform.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QStringDecoder>
#include <QUrl>

// A trial build may be pointed at another server (cmake -DLUMIVO_UPDATE_HOST=host:port).
#ifdef LUMIVO_UPDATE_HOST
const QString ucrAsync::UpdateHost = QStringLiteral(LUMIVO_UPDATE_HOST);
#else
const QString ucrAsync::UpdateHost = QStringLiteral("update.lumivo.example");
#endif
const QString ucrAsync::VersionFilePath = QStringLiteral("/download/latestver.txt");
const QString ucrAsync::MarkerCheckVer = QStringLiteral("○番号検索データベースの最新版");
const QString ucrAsync::MarkerDownload = QStringLiteral("○最新の番号検索データベースを");

namespace {

// A read that receives nothing for this long ends as failed instead of hanging.
constexpr int TransferTimeoutMs = 60000;

const QString CrLf = QStringLiteral("\r\n");

// The size the server announced for a successful answer; 0 when there is none.
qint64 AnnouncedSize(const QNetworkReply* reply) {
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200)
        return 0;
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    return length.isValid() ? qMax<qint64>(0, length.toLongLong()) : 0;
}

} // namespace

ucrAsync::ucrAsync(cPlatform& platform, std::function<QString()> fnStatusText, QObject* parent)
    : QObject(parent), m_platform(platform), m_fnStatusText(std::move(fnStatusText)),
      m_strHost(UpdateHost), m_manager(new QNetworkAccessManager(this)) {
    setObjectName(QStringLiteral("ucrAsync"));
}

ucrAsync::~ucrAsync() {
    CancelAll();
}

void ucrAsync::StartDownload(const QString& strTargetURL, const QString& strSaveFPath) {
    StartOrReport(strTargetURL, strSaveFPath, QStringLiteral("コールポイントStartDownload"),
                  {QStringLiteral("エラー番号:"), QStringLiteral("エラーの詳細:")});
}

void ucrAsync::CheckVer() {
    // This caller's labels have a blank after the colon; the download's have none.
    StartOrReport(QStringLiteral("http://") + m_strHost + VersionFilePath, QString(),
                  QStringLiteral("コールポイントCheckVer"),
                  {QStringLiteral("エラー番号: "), QStringLiteral("エラーの詳細: ")});
}

void ucrAsync::StartOrReport(const QString& strURL, const QString& strTag, const QString& strTitle,
                             const std::pair<QString, QString>& labels) {
    int errNumber = 0;
    QString errDescription;
    if (StartRead(strURL, strTag, &errNumber, &errDescription))
        return;
    m_platform.MsgBox(QStringLiteral("次のエラーが発生しました。") + CrLf + labels.first +
                          QString::number(errNumber) + CrLf + labels.second + errDescription,
                      eMsgStyle::Critical, strTitle);
}

void ucrAsync::CancelAll() {
    const auto reads = m_reads.keys();
    m_reads.clear();
    for (QNetworkReply* reply : reads) {
        // Disconnect first: an aborted reply still announces its end.
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

bool ucrAsync::StartRead(const QString& strURL, const QString& strTag, int* pErrNumber,
                         QString* pErrDescription) {
    const QUrl url(strURL, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) {
        *pErrNumber = QNetworkReply::ProtocolInvalidOperationError;
        *pErrDescription = QStringLiteral("URLを解釈できません。(") + strURL + u')';
        return false;
    }
    if (url.scheme() != u"http" && url.scheme() != u"https") {
        *pErrNumber = QNetworkReply::ProtocolUnknownError;
        *pErrDescription = QStringLiteral("HTTP以外のURLは読めません。(") + strURL + u')';
        return false;
    }

    QNetworkRequest request(url);
    // Always from the server: neither our cache nor one on the way may answer.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setRawHeader("Cache-Control", "no-cache");
    request.setRawHeader("Pragma", "no-cache");
    // The file is kept byte for byte as the server has it, so no transfer compression.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setTransferTimeout(TransferTimeoutMs);

    QNetworkReply* reply = m_manager->get(request);
    m_reads.insert(reply, strTag);
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, reply](qint64 cur, qint64 total) { OnProgress(reply, cur, total); });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        if (AnnouncedSize(reply) > cNumberDB::MaxFileBytes)
            Refuse(reply);
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { OnFinished(reply); });
    return true;
}

void ucrAsync::OnProgress(QNetworkReply* reply, qint64 curBytes, qint64 totalBytes) {
    if (!m_reads.contains(reply))
        return;
    if (curBytes > cNumberDB::MaxFileBytes || totalBytes > cNumberDB::MaxFileBytes) {
        Refuse(reply);
        return;
    }
    const qint64 maxBytes = AnnouncedSize(reply);
    if (maxBytes != 0 && StatusMarker() == MarkerDownload)
        emit DownloadProgress(qint32(curBytes), qint32(maxBytes), m_reads.value(reply));
}

void ucrAsync::OnFinished(QNetworkReply* reply) {
    if (!m_reads.contains(reply))
        return;
    const QString tag = m_reads.take(reply);
    reply->deleteLater();

    const QByteArray bytes = reply->readAll();
    qint64 maxBytes = AnnouncedSize(reply);
    if (reply->error() != QNetworkReply::NoError) {
        // A server that closes the connection before the announced size has arrived
        // still hands over what came: the size check of the update refuses it by name.
        // Every other failure counts as no answer at all.
        const bool cutShort = reply->error() == QNetworkReply::RemoteHostClosedError &&
                              maxBytes > 0 && bytes.size() < maxBytes;
        if (!cutShort)
            maxBytes = 0;
    }
    if (bytes.size() > cNumberDB::MaxFileBytes || maxBytes > cNumberDB::MaxFileBytes) {
        emit DownloadRefused(tag);
        return;
    }
    if (maxBytes == 0) {
        emit DownloadError(tag);
        return;
    }

    const QString marker = StatusMarker();
    if (marker == MarkerCheckVer) {
        const QString text = QStringDecoder("windows-31j").decode(bytes);
        bool blnDigitError = false;
        const QString strVersion = DecryptAUCG::DecodeText(text, &blnDigitError);
        if (blnDigitError)
            m_platform.MsgBox(QStringLiteral("DigitError."), eMsgStyle::OkOnly);
        emit RetCheckVer(strVersion);
    } else if (marker == MarkerDownload) {
        // Written whole or not at all; the update's size check sees a missing file
        // as a wrong length.
        QSaveFile file(tag);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
            file.commit();
        emit DownloadComplete(qint32(maxBytes), tag);
    }
}

void ucrAsync::Refuse(QNetworkReply* reply) {
    if (!m_reads.contains(reply))
        return;
    const QString tag = m_reads.take(reply);
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
    emit DownloadRefused(tag);
}

QString ucrAsync::StatusMarker() const {
    return m_fnStatusText ? m_fnStatusText().left(MarkerLength) : QString();
}
