// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "cPlatform.h"

#include <QList>
#include <QQueue>
#include <QTest>

// Records every call the windows make to the desktop and answers from a script,
// so tests can drive a window without a modal dialog or a real clipboard.
class cFakePlatform : public cPlatform {
public:
    struct tMsgBoxCall {
        tMsgBoxCall(const QString& strPrompt = QString(), eMsgStyle boxStyle = eMsgStyle::OkOnly,
                    const QString& strTitle = QString())
            : prompt(strPrompt), style(boxStyle), title(strTitle) {}

        QString prompt;
        eMsgStyle style;
        QString title;

        bool operator==(const tMsgBoxCall&) const = default;
        // How QCOMPARE shows a box that differs.
        friend char* toString(const tMsgBoxCall& box) {
            return QTest::toString(QStringLiteral("style %1, title \"%2\": %3")
                                       .arg(int(box.style))
                                       .arg(box.title, box.prompt));
        }
    };

    eMsgAnswer MsgBox(const QString& strPrompt, eMsgStyle style,
                      const QString& strTitle = QString()) override;
    void Beep() override { ++beeps; }
    void ClipboardClear() override;
    void ClipboardSetText(const QString& strText) override { clipboard = strText; }
    std::optional<QString> GetSaveFileName(const tSaveFileRequest& request) override;
    void OpenURL(const QString& strURL) override { openedUrls.append(strURL); }
    int ScreenWidthPixels() override { return screenWidth; }

    // What happened.
    QList<tMsgBoxCall> msgBoxes;
    // Message box i as "style|title|prompt"; "0||" when there is none. (The update
    // tests' tables are written so; newer tests compare tMsgBoxCall values.)
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
