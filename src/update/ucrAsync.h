// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "tIoError.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// The download control: reads a URL into memory under the limits its request
// sets, and ends every read with exactly one Finished. It knows nothing of
// what the bytes mean; cUpdateJob decides that, and the window what is shown.
class ucrAsync : public QObject {
    Q_OBJECT

public:
    // The update server that holds the version file.
    static const QString UpdateHost;
    static const QString VersionFilePath;

    // What a read may take before it ends. A time of 0 sets no limit.
    struct tReadLimits {
        qint64 lngMaxBytes = 0;
        int intDeadlineMs = 0;
        // Each stretch of intRateWindowMs, counted from the start and so taking in
        // the wait for the first byte, brings at least lngMinBytesPerWindow.
        int intRateWindowMs = 0;
        qint64 lngMinBytesPerWindow = 0;
        // Redirects followed, each to the same scheme, host and port only.
        int intMaxRedirects = 3;
    };
    struct tReadRequest {
        QString strURL;
        tReadLimits limits;
    };

    enum class eStatus {
        Received,   // a 200 answer: bytData is what came, lngAnnounced its announced size
        NotStarted, // error: why, with the network error number
        NoAnswer,   // no answer, a failed one, or one past the deadline or below the rate
        TooLarge,   // beyond lngMaxBytes (error.lngLimit), by announcement or by arrival
    };
    Q_ENUM(eStatus)
    struct tReadResult {
        eStatus status = eStatus::NoAnswer;
        tIoError error;
        // A server that closed the connection early leaves fewer bytes than announced.
        QByteArray bytData;
        // The size the server announced; 0 when it announced none.
        qint64 lngAnnounced = 0;
        QString strURL;
    };

    explicit ucrAsync(QObject* parent = nullptr);
    ~ucrAsync() override;

    // Starts a read. One that cannot start finishes before this returns.
    void Start(const tReadRequest& request);
    // The version file on the host.
    void CheckVer(const tReadLimits& limits);
    void StartDownload(const QString& strTargetURL, const tReadLimits& limits);

    // "host" or "host:port" of the version file; tests point it at a loopback server.
    void SetHost(const QString& strHost) { m_strHost = strHost; }
    QString Host() const { return m_strHost; }

    // Drops every read still under way; none of them finishes afterwards.
    void CancelAll();
    int ReadsUnderWay() const { return int(m_reads.size()); }

signals:
    // lngAnnounced: 0 until the server has announced a size.
    void Progress(qint64 lngCurBytes, qint64 lngAnnounced);
    void Finished(ucrAsync::tReadResult result);

private:
    struct tRead {
        tReadRequest request;
        QTimer* watchdog = nullptr;
        qint64 lngReceived = 0;
        qint64 lngAtWindowStart = 0;
        // Times since the start: what the watchdog has covered, and the current
        // rate window's end.
        qint64 lngWatchedMs = 0;
        qint64 lngWindowEndMs = 0;
    };

    void OnProgress(QNetworkReply* reply, qint64 lngCurBytes, qint64 lngTotalBytes);
    void OnFinished(QNetworkReply* reply);
    // The one timer of a read: at its deadline, and at each rate window's end.
    static qint64 NextCheckMs(const tRead& read);
    void ArmWatchdog(tRead& read);
    void OnWatchdog(QNetworkReply* reply);
    // Takes the read out, stops the reply and raises Finished.
    void End(QNetworkReply* reply, tReadResult result);

    QString m_strHost;
    QNetworkAccessManager* m_manager;
    QHash<QNetworkReply*, tRead> m_reads;
};
