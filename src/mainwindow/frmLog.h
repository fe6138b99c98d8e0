// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QStringList>
#include <QStringView>
#include <QWidget>

class QListWidget;
class QPushButton;
class cNumberDB;
class cPlatform;

// The search-log window: one line per search, a command to clear the log and
// one to save it. The main window fills it, shows, hides and places it.
class frmLog : public QWidget {
    Q_OBJECT
public:
    // The log holds at most this many lines; beyond it the oldest line goes.
    static constexpr int MaxLines = 32767;

    // Where the list and the buttons go for a client area of W x H twips.
    struct tLayout {
        bool blnChanged;
        int intListWidth, intListHeight;
        int intButtonTop, intButtonWidth;
    };
    static tLayout LayoutFor(double dblWidth, double dblHeight);

    frmLog(cPlatform& platform, const cNumberDB& db);

    // After an accepted search, logged or not: both commands become available.
    void EnableCommands();
    // Appends the search's line (the number padded to 11 with "X", "--->", the
    // result), shows the line count in the caption and selects the new line.
    void AddSearch(QStringView strNumber, QStringView strResult);
    // The log's lines, oldest first.
    QStringList LogLines() const;

    // 0 clears the log, 1 saves it; any other index is reported.
    void cmdLogCommand_Click(short intIndex);

    // The export: 0 when the file was written, 1 when nothing was saved.
    int SaveLogFile();
    QString GetDBYear() const;
    QString GetDBMonth() const;
    QString GetDBVersion() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormResize();
    void SetAccessibility();

    // Controls, by their names.
    QListWidget* lstLog;
    QPushButton* cmdLogCommand[2];

    cPlatform& m_platform;
    const cNumberDB& m_db;
};
