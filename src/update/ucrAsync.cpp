// SPDX-License-Identifier: Apache-2.0
#include "ucrAsync.h"

#include "modUpdateHost.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <limits>

// A trial build may be pointed at another server (cmake -DLUMIVO_UPDATE_HOST=host:port).
const QString ucrAsync::UpdateHost = QString::fromLatin1(modUpdateHost::Host);
const QString ucrAsync::VersionFilePath = QStringLiteral("/download/latestver.txt");

namespace {

constexpr qint64 NoCheck = std::numeric_limits<qint64>::max();

// The size the server announced for a successful answer; 0 when there is none.
qint64 AnnouncedSize(const QNetworkReply* reply) {
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200)
        return 0;
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    return length.isValid() ? qMax<qint64>(0, length.toLongLong()) : 0;
}

ucrAsync::tReadResult ResultOf(ucrAsync::eStatus status, const tIoError& error = tIoError()) {
    ucrAsync::tReadResult result;
    result.status = status;
    result.error = error;
    return result;
}

// Why the URL cannot be read; kind None when it can.
tIoError UrlError(const QUrl& url) {
    if (!url.isValid() || url.host().isEmpty())
        return tIoError::Of(eIoError::BadAddress, QNetworkReply::ProtocolInvalidOperationError);
    if (url.scheme() != u"http" && url.scheme() != u"https")
        return tIoError::Of(eIoError::NotHttp, QNetworkReply::ProtocolUnknownError);
    return tIoError();
}

QNetworkRequest HttpRequest(const QUrl& url, int intMaxRedirects) {
    QNetworkRequest request(url);
    // Always from the server: neither our cache nor one on the way may answer.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setRawHeader("Cache-Control", "no-cache");
    request.setRawHeader("Pragma", "no-cache");
    // The file is kept byte for byte as the server has it, so no transfer compression.
    request.setRawHeader("Accept-Encoding", "identity");
    // Another server could keep the read open for good, or serve anything: a
    // redirect is followed only to the same scheme, host and port.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    request.setMaximumRedirectsAllowed(intMaxRedirects);
    return request;
}

} // namespace

ucrAsync::ucrAsync(QObject* parent)
    : QObject(parent), m_strHost(UpdateHost), m_manager(new QNetworkAccessManager(this)) {
    setObjectName(QStringLiteral("ucrAsync"));
}

ucrAsync::~ucrAsync() {
    CancelAll();
}

void ucrAsync::CheckVer(const tReadLimits& limits) {
    Start({QStringLiteral("http://") + m_strHost + VersionFilePath, limits});
}

void ucrAsync::StartDownload(const QString& strTargetURL, const tReadLimits& limits) {
    Start({strTargetURL, limits});
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

void ucrAsync::Start(const tReadRequest& request) {
    const QUrl url(request.strURL, QUrl::StrictMode);
    if (const tIoError error = UrlError(url); error.Failed()) {
        tReadResult result = ResultOf(eStatus::NotStarted, error);
        result.strURL = request.strURL;
        emit Finished(result);
        return;
    }
    QNetworkReply* reply = m_manager->get(HttpRequest(url, request.limits.intMaxRedirects));
    tRead& read = m_reads[reply];
    read.request = request;
    read.lngWindowEndMs = request.limits.intRateWindowMs;
    // The timer lives with the reply.
    read.watchdog = new QTimer(reply);
    read.watchdog->setSingleShot(true);
    connect(read.watchdog, &QTimer::timeout, this, [this, reply] { OnWatchdog(reply); });
    ArmWatchdog(read);
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, reply](qint64 lngCur, qint64 lngTotal) { OnProgress(reply, lngCur, lngTotal); });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        const qint64 limit = m_reads.value(reply).request.limits.lngMaxBytes;
        if (AnnouncedSize(reply) > limit)
            End(reply, ResultOf(eStatus::TooLarge, tIoError::Limit(limit)));
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { OnFinished(reply); });
}

void ucrAsync::OnProgress(QNetworkReply* reply, qint64 lngCurBytes, qint64 lngTotalBytes) {
    const auto read = m_reads.find(reply);
    if (read == m_reads.end())
        return;
    read->lngReceived = lngCurBytes;
    const qint64 limit = read->request.limits.lngMaxBytes;
    if (lngCurBytes > limit || lngTotalBytes > limit) {
        End(reply, ResultOf(eStatus::TooLarge, tIoError::Limit(limit)));
        return;
    }
    emit Progress(lngCurBytes, AnnouncedSize(reply));
}

void ucrAsync::OnFinished(QNetworkReply* reply) {
    if (!m_reads.contains(reply))
        return;
    const qint64 limit = m_reads.value(reply).request.limits.lngMaxBytes;
    tReadResult result = ResultOf(eStatus::Received);
    result.bytData = reply->readAll();
    result.lngAnnounced = AnnouncedSize(reply);
    const bool ok = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
    // A server that closes the connection before the announced size has arrived
    // still hands over what came: the caller's size check refuses it by name.
    // Every other failure counts as no answer at all.
    const bool cutShort = reply->error() == QNetworkReply::RemoteHostClosedError &&
                          result.lngAnnounced > result.bytData.size();
    if (!ok || (reply->error() != QNetworkReply::NoError && !cutShort)) {
        result.status = eStatus::NoAnswer;
        result.lngAnnounced = 0;
    }
    if (result.bytData.size() > limit || result.lngAnnounced > limit)
        result = ResultOf(eStatus::TooLarge, tIoError::Limit(limit));
    else if (result.status == eStatus::NoAnswer)
        result.bytData.clear();
    End(reply, result);
}

qint64 ucrAsync::NextCheckMs(const tRead& read) {
    const tReadLimits& limits = read.request.limits;
    qint64 next = NoCheck;
    if (limits.intDeadlineMs > 0)
        next = limits.intDeadlineMs;
    if (limits.intRateWindowMs > 0)
        next = qMin(next, read.lngWindowEndMs);
    return next;
}

void ucrAsync::ArmWatchdog(tRead& read) {
    if (const qint64 next = NextCheckMs(read); next != NoCheck)
        read.watchdog->start(int(next - read.lngWatchedMs));
}

void ucrAsync::OnWatchdog(QNetworkReply* reply) {
    const auto read = m_reads.find(reply);
    if (read == m_reads.end())
        return;
    const tReadLimits& limits = read->request.limits;
    read->lngWatchedMs = NextCheckMs(*read);
    if (limits.intDeadlineMs > 0 && read->lngWatchedMs >= limits.intDeadlineMs) {
        End(reply, ResultOf(eStatus::NoAnswer));
        return;
    }
    if (limits.intRateWindowMs > 0 && read->lngWatchedMs >= read->lngWindowEndMs) {
        if (read->lngReceived - read->lngAtWindowStart < limits.lngMinBytesPerWindow) {
            End(reply, ResultOf(eStatus::NoAnswer));
            return;
        }
        read->lngAtWindowStart = read->lngReceived;
        read->lngWindowEndMs += limits.intRateWindowMs;
    }
    ArmWatchdog(*read);
}

void ucrAsync::End(QNetworkReply* reply, tReadResult result) {
    if (!m_reads.contains(reply))
        return;
    const tRead read = m_reads.take(reply);
    result.strURL = read.request.strURL;
    read.watchdog->stop();
    reply->disconnect(this);
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
    emit Finished(result);
}
