// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "cPlatform.h"

#include <QList>
#include <QQueue>

// Records every call the windows make to the desktop and answers from a script,
// so tests can drive a window without a modal dialog or a real clipboard.
class cFakePlatform : public cPlatform {
public:
    struct tMsgBoxCall {
        QString prompt;
        eMsgStyle style = eMsgStyle::OkOnly;
        QString title;
    };

    eMsgAnswer MsgBox(const QString& prompt, eMsgStyle style,
                      const QString& title = QString()) override;
    void Beep() override { ++beeps; }
    void ClipboardClear() override;
    void ClipboardSetText(const QString& text) override { clipboard = text; }
    std::optional<QString> GetSaveFileName(const tSaveFileRequest& request) override;
    void OpenURL(const QString& url) override { openedUrls.append(url); }
    int ScreenWidthPixels() override { return screenWidth; }

    // What happened.
    QList<tMsgBoxCall> msgBoxes;
    // Message box i as "style|title|prompt"; "0||" when there is none.
    QString Shown(int i) const {
        const tMsgBoxCall b = msgBoxes.value(i);
        return QString::number(int(b.style)) + u'|' + b.title + u'|' + b.prompt;
    }
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
