#pragma once

#include <QColor>
#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

class cNumberDB;
class cPlatform;
class QLabel;
class QPushButton;
class QTimer;
class ucrAsync;

// The About window: the program's and the database's versions, a notice with
// the author web page, and the database update over HTTP. Every step of the
// update is told on the one-line status label, whose first characters also
// tell the download control what a finished read was for.
class frmAbout : public QDialog {
    Q_OBJECT

public:
    // Outer window sizes, frame and caption included.
    static constexpr int WidthTwips = 6210;
    static constexpr int NormalHeightTwips = 3240;
    static constexpr int ExpandedHeightTwips = 3630;
    static constexpr int ProposeIntervalMs = 10000;

    static const QString AuthorURL;
    static const QColor StatusOrange;

    // owner: the main window (for modality and the position: left +2000 twips,
    // top +200 twips relative to the owner's frame).
    // fnLoadDB: the main window's LoadDB (reloads db.dat from strAppDir into db
    // and reports failures itself).
    frmAbout(cPlatform& platform, cNumberDB& db, const QString& strAppDir, QWidget* owner,
             std::function<void()> fnLoadDB);
    ~frmAbout() override;

    // The notice, four lines joined by CR LF, with the author web page.
    static QString NoticeText();
    // "Software Version: 1.30   DataBase Version: 1000  2004/01/15"
    QString GetVersionText() const;
    // A free name in the program's folder: "0001" to "1000" and ".b" for a backup
    // or ".t" for a download; empty when all thousand are taken.
    QString MakeTempName(bool blnBackup) const;
    // The window's current outer height.
    int HeightTwips() const;

    // The system's button-text colour, the status line's colour while checking.
    static QColor ButtonTextColour();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int intResult) override;

    // The file operations of the update; a test replaces them to make one fail.
    virtual bool RenameFile(const QString& strFrom, const QString& strTo);
    virtual bool RemoveFile(const QString& strPath);

private:
    void BuildControls();
    void SetAccessibility();
    void SetHeightTwips(int intTwips);
    void SetStatus(const QString& strText, const QColor& colour);
    void OpenAuthorPage();

    void OnUpdateClick();
    void OnProposeTimer();
    void OnRetCheckVer(const QString& strVersion);
    void OnDownloadProgress(qint32 lngCurBytes, qint32 lngMaxBytes, const QString& strSaveFPath);
    void OnDownloadComplete(qint32 lngMaxBytes, const QString& strSaveFPath);
    void OnDownloadError(const QString& strSaveFPath);
    void OnDownloadRefused(const QString& strSaveFPath);

    void ReportUnusableVersion();
    // Checks that the downloaded file is the announced database; reports a refusal.
    bool AcceptDownloadedFile(const QString& strSaveFPath);
    // Puts the downloaded file in place of db.dat. On failure every move made is
    // undone, so db.dat is the old database again, and the failure is reported.
    bool SwapInDatabase(const QString& strSaveFPath);

    cPlatform& m_platform;
    cNumberDB& m_db;
    QString m_strAppDir;
    std::function<void()> m_fnLoadDB;
    // The database version the last version text announced.
    std::optional<int> m_intAnnouncedVersion;

    QLabel* m_picSoftwareLogo = nullptr;
    QLabel* m_lblVersion0 = nullptr;
    QLabel* m_lblVersion1 = nullptr;
    QLabel* m_lblNotice = nullptr;
    QLabel* m_lblConnectionStatus = nullptr;
    QPushButton* m_cmdUpdate = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QTimer* m_tmrPropose = nullptr;
    ucrAsync* m_ucrAsync = nullptr;
};
