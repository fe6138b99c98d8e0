// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "cPlatform.h"

#include <QList>
#include <QQueue>

// Records every call the windows make to the desktop and answers from a script,
// so tests can drive a window without a modal dialog or a real clipboard.
class cFakePlatform : public cPlatform {
public:
    eMsgAnswer MsgBox(const QString& strPrompt, eMsgStyle style,
                      const QString& strTitle = QString()) override;
    void Beep() override { ++beeps; }
    void ClipboardClear() override;
    void ClipboardSetText(const QString& strText) override { clipboard = strText; }
    std::optional<QString> GetSaveFileName(const tSaveFileRequest& request) override;
    void OpenURL(const QString& strURL) override { openedUrls.append(strURL); }
    int ScreenWidthPixels() override { return screenWidth; }

    // What happened; each message box as "style|title|prompt", the style by its number.
    QStringList msgBoxes;
    int beeps = 0;
    QString clipboard; // the clipboard's plain text, as the fake holds it
    int clipboardClears = 0;
    QList<tSaveFileRequest> saveRequests;
    QStringList openedUrls;

    // What to answer. A message box with nothing scripted answers OK; a save
    // dialog with nothing scripted is cancelled.
    QQueue<eMsgAnswer> msgBoxAnswers;
    QQueue<std::optional<QString>> saveAnswers;
    int screenWidth = 1280;
};
