// SPDX-License-Identifier: Apache-2.0
#pragma once

// How the pieces fit: the program (src/app) owns one cNumberDB (the engine,
// src/lookup), the update job of that database (src/update) and one cPlatform
// (src/platform), and hands them to this window.
// The window checks a typed number, asks the engine's search for the carrier
// code, shows the carrier text and marks the area on the map. It creates the
// search-log window (frmLog, here) on first use and adds one line per search
// while the log setting is on; the log file's format is src/searchlog's. It
// opens the About window (frmAbout, here), which shows the progress and outcome
// of the update job: that job can replace db.dat and reload the database this
// window searches. Each folder is one library and sees only the
// layers below it. Every message box, beep, clipboard use and the screen width
// go through cPlatform, so tests drive the windows with a recording fake.

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class cNumberDB;
class cPictureBox;
class cPlatform;
class cUpdateJob;
class frmLog;
namespace modSearch {
struct tSearchResult;
}

class frmMain : public QWidget {
    Q_OBJECT
public:
    // The address offered after a number found in no record.
    static const QString SupportMailAddress;

    // updateJob: the update of db, which the About window shows. strDataDir: the
    // folder whose db.dat the window reads and the update replaces.
    frmMain(cPlatform& platform, cNumberDB& db, cUpdateJob& updateJob, const QString& strDataDir,
            QWidget* parent = nullptr);
    ~frmMain() override;

    // Reads db.dat from the data folder; reports a failure and leaves the
    // window answering searches with a notice. True when the database loaded.
    bool LoadDB();

    // Clears the map and marks the area (0 to 10; any other number marks none).
    void MarkArea(short intArea);

    // The search-log window, created hidden on first use.
    frmLog* LogWindow();
    bool LogWindowLoaded() const { return !m_frmLog.isNull(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Construction: the controls made, named and wired before FormLoad sets them up.
    void CreateControls();
    void NameControls();
    void ConnectControls();
    void GuardInputLength();

    // FormLoad's steps, in the order it takes them.
    void FormLoad();
    void PlaceWindow();
    void SetUpLabels();
    void SetUpSettingsFrame();
    void SetUpButtonBase();
    void SetUpHiddenDBBox();
    void SetUpCheckBoxes();
    void SetUpSearchButton();
    void SetUpVerButton();
    void SetUpResultBox();
    void SetUpInputBox();
    void SetFocusOrder();
    void SetUpMap();
    void SetUpExitButton();
    void SetAccessibility();
    void FormResize();
    void SetInputMaxLength(int intMaxLength);
    int ChkValue(short intIndex) const;

    // The search command: checks and searches the typed number, then shows the
    // outcome, marks the map and feeds the log.
    void cmdSearch_Click();
    void ShowCarrier(const modSearch::tSearchResult& result);
    // The region an area number marks on the map, as a screen reader tells it.
    static QString AreaName(short intArea);
    void AddSearchLog(const QString& strNumber, const modSearch::tSearchResult& result);
    void cmdVer_Click();
    void chkSettings_Click(short intIndex);
    void PlaceLogWindow();

    // Controls, by their names.
    QLineEdit* txtInputNum;
    QPushButton* cmdSearch;
    QLabel* lblInfo[2];
    QLineEdit* txtResult;
    cPictureBox* picMap[2];
    QGroupBox* fraSettings;
    QCheckBox* chkSettings[3];
    QWidget* picCmdBase;
    QPushButton* cmdVer;
    QPlainTextEdit* txtNumDB;
    QPushButton* cmdExit;

    cPlatform& m_platform;
    cNumberDB& m_db;
    QString m_strDataDir;
    int m_intInputMaxLength = 11;
    qsizetype m_lngInputLength = 0; // the input's length after its last accepted edit
    QPointer<frmLog> m_frmLog;
    cUpdateJob& m_updateJob;
};
