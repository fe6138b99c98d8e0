#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class cFileOps;
class cPlatform;
class QNetworkAccessManager;
class QNetworkReply;

// The invisible download control of the About window. It reads a URL into memory
// and, when the read ends, acts on what the read was started for: the version
// check decodes the version text, a download writes the file.
class ucrAsync : public QObject {
    Q_OBJECT

public:
    // The update server that holds the version file.
    static const QString UpdateHost;
    static const QString VersionFilePath;

    // files writes the downloaded bytes; a test makes it fail.
    ucrAsync(cPlatform& platform, cFileOps& files, QObject* parent = nullptr);
    ~ucrAsync() override;

    void StartDownload(const QString& strTargetURL, const QString& strSaveFPath);
    void CheckVer();

    // "host" or "host:port" of the version file; tests point it at a loopback server.
    void SetHost(const QString& strHost) { m_strHost = strHost; }
    QString Host() const { return m_strHost; }

    // Drops every read still under way; none of them raises an event afterwards.
    void CancelAll();
    int ReadsUnderWay() const { return int(m_reads.size()); }

signals:
    void DownloadError(QString strSaveFPath);
    // strWriteError: why the bytes could not be written to strSaveFPath; empty
    // when the file holds them whole.
    void DownloadComplete(qint32 lngMaxBytes, QString strSaveFPath, QString strWriteError);
    void RetCheckVer(QString strVersion);
    void DownloadProgress(qint32 lngCurBytes, qint32 lngMaxBytes, QString strSaveFPath);
    // A read whose size went beyond what its purpose allows was stopped; no bytes were kept.
    void DownloadRefused(QString strSaveFPath, qint64 lngLimitBytes);

private:
    enum class eRead { CheckVer, Download };
    struct tRead {
        eRead purpose;
        // The destination path of a download; empty for the version check.
        QString tag;
    };

    // Starts a read; when it cannot start, shows the start-failure message with
    // the caller's labels for the error number and its description.
    void StartOrReport(const QString& strURL, const tRead& read, const QString& strTitle,
                       const std::pair<QString, QString>& labels);
    bool StartRead(const QString& strURL, const tRead& read, int* pErrNumber,
                   QString* pErrDescription);
    void OnProgress(QNetworkReply* reply, qint64 curBytes, qint64 totalBytes);
    void OnFinished(QNetworkReply* reply);
    void Refuse(QNetworkReply* reply);
    qint64 LimitOf(QNetworkReply* reply) const;

    cPlatform& m_platform;
    cFileOps& m_files;
    QString m_strHost;
    QNetworkAccessManager* m_manager;
    QHash<QNetworkReply*, tRead> m_reads;
};
