// SPDX-License-Identifier: Apache-2.0
#include "ucrAsync.h"

#include "DecryptAUCG.h"
#include "cNumberDB.h"
#include "modText.h"
#include "modUpdate.h"
#include "modUpdateHost.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

// A trial build may be pointed at another server (cmake -DLUMIVO_UPDATE_HOST=host:port).
const QString ucrAsync::UpdateHost = QString::fromLatin1(modUpdateHost::Host);
const QString ucrAsync::VersionFilePath = QStringLiteral("/download/latestver.txt");

namespace {

// A read that receives nothing for this long ends as failed instead of hanging.
constexpr int TransferTimeoutMs = 60000;

// The size the server announced for a successful answer; 0 when there is none.
qint64 AnnouncedSize(const QNetworkReply* reply) {
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200)
        return 0;
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    return length.isValid() ? qMax<qint64>(0, length.toLongLong()) : 0;
}

} // namespace

ucrAsync::ucrAsync(QObject* parent)
    : QObject(parent), m_strHost(UpdateHost), m_manager(new QNetworkAccessManager(this)) {
    setObjectName(QStringLiteral("ucrAsync"));
}

ucrAsync::~ucrAsync() {
    CancelAll();
}

void ucrAsync::StartDownload(const QString& strTargetURL, const QString& strSaveFPath) {
    StartOrReport(strTargetURL, {eRead::Download, strSaveFPath}, QStringLiteral("StartDownload"));
}

void ucrAsync::CheckVer() {
    StartOrReport(QStringLiteral("http://") + m_strHost + VersionFilePath,
                  {eRead::CheckVer, QString()}, QStringLiteral("CheckVer"));
}

void ucrAsync::StartOrReport(const QString& strURL, const tRead& read, const QString& strCaller) {
    if (const tIoError error = StartRead(strURL, read); error.Failed())
        emit ReadNotStarted(strCaller, error, strURL);
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

tIoError ucrAsync::StartRead(const QString& strURL, const tRead& read) {
    const QUrl url(strURL, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return tIoError::Of(eIoError::BadAddress, QNetworkReply::ProtocolInvalidOperationError);
    if (url.scheme() != u"http" && url.scheme() != u"https")
        return tIoError::Of(eIoError::NotHttp, QNetworkReply::ProtocolUnknownError);

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
    // Another server could keep the read open for good, or serve anything: a
    // redirect is followed only to the same scheme, host and port.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    request.setMaximumRedirectsAllowed(m_limits.intMaxRedirects);

    QNetworkReply* reply = m_manager->get(request);
    m_reads.insert(reply, read);
    // The timers live with the reply; a read that has ended ignores them.
    QTimer::singleShot(read.purpose == eRead::CheckVer ? m_limits.intCheckDeadlineMs
                                                       : m_limits.intDownloadDeadlineMs,
                       reply, [this, reply] { Fail(reply); });
    auto* window = new QTimer(reply);
    connect(window, &QTimer::timeout, this, [this, reply] { CheckRate(reply); });
    window->start(m_limits.intRateWindowMs);
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, reply](qint64 lngCur, qint64 lngTotal) { OnProgress(reply, lngCur, lngTotal); });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        if (AnnouncedSize(reply) > LimitOf(reply))
            Refuse(reply);
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { OnFinished(reply); });
    return tIoError();
}

void ucrAsync::OnProgress(QNetworkReply* reply, qint64 lngCurBytes, qint64 lngTotalBytes) {
    if (!m_reads.contains(reply))
        return;
    m_reads[reply].lngReceived = lngCurBytes;
    if (lngCurBytes > LimitOf(reply) || lngTotalBytes > LimitOf(reply)) {
        Refuse(reply);
        return;
    }
    // Progress of the version check is never reported, nor any before the size is known.
    const qint64 maxBytes = AnnouncedSize(reply);
    if (maxBytes != 0 && m_reads.value(reply).purpose == eRead::Download)
        emit DownloadProgress(qint32(lngCurBytes), qint32(maxBytes), m_reads.value(reply).tag);
}

void ucrAsync::OnFinished(QNetworkReply* reply) {
    if (!m_reads.contains(reply))
        return;
    const qint64 limit = LimitOf(reply);
    const tRead read = m_reads.take(reply);
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
    if (bytes.size() > limit || maxBytes > limit) {
        emit DownloadRefused(read.tag, limit);
        return;
    }
    if (maxBytes == 0) {
        emit DownloadError(read.tag);
        return;
    }

    if (read.purpose == eRead::CheckVer) {
        const QString text = modText::DecodeCp932(bytes);
        bool blnDigitError = false;
        const QString strVersion = DecryptAUCG::DecodeText(text, &blnDigitError);
        if (blnDigitError)
            emit DigitError();
        emit RetCheckVer(strVersion);
    } else {
        emit DownloadComplete(qint32(maxBytes), read.tag, bytes);
    }
}

void ucrAsync::Refuse(QNetworkReply* reply) {
    if (!m_reads.contains(reply))
        return;
    const qint64 limit = LimitOf(reply);
    const QString tag = m_reads.take(reply).tag;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
    emit DownloadRefused(tag, limit);
}

void ucrAsync::Fail(QNetworkReply* reply) {
    if (!m_reads.contains(reply))
        return;
    const QString tag = m_reads.take(reply).tag;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
    emit DownloadError(tag);
}

void ucrAsync::CheckRate(QNetworkReply* reply) {
    const auto read = m_reads.find(reply);
    if (read == m_reads.end())
        return;
    if (read->lngReceived - read->lngAtWindowStart < m_limits.lngMinBytesPerWindow) {
        Fail(reply);
        return;
    }
    read->lngAtWindowStart = read->lngReceived;
}

qint64 ucrAsync::LimitOf(QNetworkReply* reply) const {
    return m_reads.value(reply).purpose == eRead::CheckVer ? modUpdate::MaxVersionFileBytes
                                                           : cNumberDB::MaxFileBytes;
}
