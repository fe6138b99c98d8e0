#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>

class cPlatform;
class QNetworkAccessManager;
class QNetworkReply;

// The invisible download control of the About window. It reads a URL into memory
// and, when the read ends, decides what the read was for from the status marker:
// the first 15 characters of the host's status line at that very moment.
class ucrAsync : public QObject {
    Q_OBJECT

public:
    // The update server that holds the version file.
    static const QString UpdateHost;
    static const QString VersionFilePath;
    // The status markers that steer a finished read.
    static const QString MarkerCheckVer;
    static const QString MarkerDownload;
    static constexpr int MarkerLength = 15;

    // fnStatusText gives the host's status line text as it is now; it is asked
    // afresh at each progress and completion notification.
    ucrAsync(cPlatform& platform, std::function<QString()> fnStatusText, QObject* parent = nullptr);
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
    void DownloadComplete(qint32 lngMaxBytes, QString strSaveFPath);
    void RetCheckVer(QString strVersion);
    void DownloadProgress(qint32 lngCurBytes, qint32 lngMaxBytes, QString strSaveFPath);
    // A read whose size goes beyond what we hold in memory was stopped; no bytes were kept.
    void DownloadRefused(QString strSaveFPath);

private:
    // Starts the read; on failure fills the error number and description.
    // Starts a read; when it cannot start, shows the start-failure message with
    // the caller's labels for the error number and its description.
    void StartOrReport(const QString& strURL, const QString& strTag, const QString& strTitle,
                       const std::pair<QString, QString>& labels);
    bool StartRead(const QString& strURL, const QString& strTag, int* pErrNumber,
                   QString* pErrDescription);
    void OnProgress(QNetworkReply* reply, qint64 curBytes, qint64 totalBytes);
    void OnFinished(QNetworkReply* reply);
    void Refuse(QNetworkReply* reply);
    QString StatusMarker() const;

    cPlatform& m_platform;
    std::function<QString()> m_fnStatusText;
    QString m_strHost;
    QNetworkAccessManager* m_manager;
    // Each read under way and its tag (the destination path, empty for the version check).
    QHash<QNetworkReply*, QString> m_reads;
};
