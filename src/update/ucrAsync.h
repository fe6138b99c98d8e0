// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "tIoError.h"

#include <QHash>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

// The download control: reads a URL into memory under a size limit and, when
// the read ends, hands over what it brought: the version check the decoded
// version text, a download its bytes. It shows nothing and writes no file;
// cUpdateJob decides what the bytes become and the window what is shown.
class ucrAsync : public QObject {
    Q_OBJECT

public:
    // The update server that holds the version file.
    static const QString UpdateHost;
    static const QString VersionFilePath;

    // Every read ends: at its deadline, when it falls below the minimum rate, or
    // when it is redirected to another server or too often. It then ends as a
    // read that brought nothing (DownloadError).
    struct tLimits {
        // The version file is a few hundred bytes.
        int intCheckDeadlineMs = 2 * 60 * 1000;
        // A 50 MB database passes at 14 KB/s.
        int intDownloadDeadlineMs = 60 * 60 * 1000;
        // Each stretch of this length brings at least lngMinBytesPerWindow, or the
        // read ends; 1 KiB/s, counting the wait for the server's first byte.
        int intRateWindowMs = 60 * 1000;
        qint64 lngMinBytesPerWindow = 60 * 1024;
        // Redirects followed, each to the same host and port only.
        int intMaxRedirects = 3;
    };

    explicit ucrAsync(QObject* parent = nullptr);
    ~ucrAsync() override;

    void StartDownload(const QString& strTargetURL, const QString& strSaveFPath);
    void CheckVer();

    // "host" or "host:port" of the version file; tests point it at a loopback server.
    void SetHost(const QString& strHost) { m_strHost = strHost; }
    QString Host() const { return m_strHost; }

    // For reads started from now on; tests shorten them.
    void SetLimits(const tLimits& limits) { m_limits = limits; }

    // Drops every read still under way; none of them raises an event afterwards.
    void CancelAll();
    int ReadsUnderWay() const { return int(m_reads.size()); }

signals:
    void DownloadError(QString strSaveFPath);
    // bytes: everything the read brought, which may be fewer than intMaxBytes
    // when the server closed early.
    void DownloadComplete(qint32 intMaxBytes, QString strSaveFPath, QByteArray bytData);
    // Raised just before a RetCheckVer whose text did not pass its check digit.
    void DigitError();
    void RetCheckVer(QString strVersion);
    void DownloadProgress(qint32 intCurBytes, qint32 intMaxBytes, QString strSaveFPath);
    // A read whose size went beyond what its purpose allows was stopped; no bytes were kept.
    void DownloadRefused(QString strSaveFPath, qint64 lngLimitBytes);
    // A read that could not start: strCaller is "CheckVer" or "StartDownload";
    // error.intSystemCode is the network error number. No other event follows.
    void ReadNotStarted(QString strCaller, tIoError error, QString strURL);

private:
    enum class eRead { CheckVer, Download };
    struct tRead {
        eRead purpose;
        // The destination path of a download; empty for the version check.
        QString tag;
        // Bytes received so far, and when the current rate window began.
        qint64 lngReceived = 0;
        qint64 lngAtWindowStart = 0;
    };

    // Starts a read; when it cannot start, raises ReadNotStarted for strCaller.
    void StartOrReport(const QString& strURL, const tRead& read, const QString& strCaller);
    // Starts a read, or tells why it cannot start.
    tIoError StartRead(const QString& strURL, const tRead& read);
    void OnProgress(QNetworkReply* reply, qint64 lngCurBytes, qint64 lngTotalBytes);
    void OnFinished(QNetworkReply* reply);
    void Refuse(QNetworkReply* reply);
    // Ends a read as one that brought nothing.
    void Fail(QNetworkReply* reply);
    void CheckRate(QNetworkReply* reply);
    qint64 LimitOf(QNetworkReply* reply) const;

    QString m_strHost;
    tLimits m_limits;
    QNetworkAccessManager* m_manager;
    QHash<QNetworkReply*, tRead> m_reads;
};
