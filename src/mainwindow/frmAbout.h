// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "cPlatform.h"
#include "cUpdateJob.h"

#include <QColor>
#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QTimer;

// The About window: the program's and the database's versions, a notice with
// the author web page, and the button that starts the database update. The
// update runs in cUpdateJob; the window tells its progress and its outcome on
// its one-line status label, with a colour, a beep or a message box.
class frmAbout : public QDialog {
    Q_OBJECT

public:
    // owner: the main window (for modality and the position: left +2000 twips,
    // top +200 twips relative to the owner's frame). job: the update of the
    // database the main window searches; the window shows that database's version.
    frmAbout(cPlatform& platform, cUpdateJob& job, QWidget* owner);
    ~frmAbout() override;

    // "Software Version: 1.30   DataBase Version: 1000  2004/01/15"
    QString GetVersionText() const;
    // The window's current outer height.
    int HeightTwips() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int intResult) override;

private:
    // Outer window sizes, frame and caption included.
    static constexpr int WidthTwips = 6210;
    static constexpr int NormalHeightTwips = 3240;
    static constexpr int ExpandedHeightTwips = 3630;
    static constexpr int ProposeIntervalMs = 10000;

    static const QString AuthorURL;
    static const QColor StatusOrange;

    // The system's button-text colour, the status line's colour while checking.
    static QColor ButtonTextColour();
    // The notice, four lines joined by CR LF, with the author web page.
    static QString NoticeText();

    void BuildControls();
    void SetAccessibility();
    void SetHeightTwips(int intTwips);
    void SetStatus(const QString& strText, const QColor& colour);
    void OpenAuthorPage();

    void OnUpdateClick();
    void OnProposeTimer();
    void OnProgress(cUpdateJob::eStage stage, qint64 lngCurBytes, qint64 lngMaxBytes);
    void OnFinished(const cUpdateJob::tResult& result);

    // Controls, by their names.
    QLabel* picSoftwareLogo = nullptr;
    QLabel* lblVersion[2] = {};
    QLabel* lblNotice = nullptr;
    QLabel* lblConnectionStatus = nullptr;
    QPushButton* cmdUpdate = nullptr;
    QPushButton* cmdOK = nullptr;
    QTimer* tmrPropose = nullptr;

    cPlatform& m_platform;
    cUpdateJob& m_job;
};
