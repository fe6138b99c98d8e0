#pragma once

#include "platform/cPlatform.h"

#include <QColor>
#include <QDialog>
#include <QString>
#include <functional>

class cFileOps;
class cNumberDB;
class QLabel;
class QPushButton;
class QTimer;
class ucrAsync;

// The About window: the program's and the database's versions, a notice with
// the author web page, and the database update over HTTP. The update's
// decisions are made in modUpdate; the window tells each outcome on its
// one-line status label, with a colour, a beep or a message box.
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
    // and reports failures itself). pFiles: the update's file operations, the
    // disk's when null (tests pass one that fails a chosen step).
    frmAbout(cPlatform& platform, cNumberDB& db, const QString& strAppDir, QWidget* owner,
             std::function<void()> fnLoadDB, cFileOps* pFiles = nullptr);
    ~frmAbout() override;

    // The notice, four lines joined by CR LF, with the author web page.
    static QString NoticeText();
    // "Software Version: 1.30   DataBase Version: 1000  2004/01/15"
    QString GetVersionText() const;
    // The window's current outer height.
    int HeightTwips() const;

    // The system's button-text colour, the status line's colour while checking.
    static QColor ButtonTextColour();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int intResult) override;

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
    void OnDownloadComplete(qint32 lngMaxBytes, const QString& strSaveFPath,
                            const QString& strWriteError);
    void OnDownloadError(const QString& strSaveFPath);
    void OnDownloadRefused(const QString& strSaveFPath, qint64 lngLimitBytes);

    // The status line, the box and the window height after a read that brought nothing.
    void EndWithoutAnswer(const QString& strPrompt, eMsgStyle style, const QString& strTitle);
    // A download that does not become db.dat: the NG status and a box that says why.
    void RefuseDownload(const QString& strStatus, const QString& strPrompt, eMsgStyle style);

    cPlatform& m_platform;
    cFileOps& m_files;
    cNumberDB& m_db;
    QString m_strAppDir;
    std::function<void()> m_fnLoadDB;
    // The database version the last version text announced.
    int m_intAnnouncedVersion = -1;

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
