// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QObject;

// Message-box styles: the number selects icon and buttons (0 OK only, 16 critical
// stop, 64 information, 65 OK and Cancel with information).
enum class eMsgStyle : int {
    OkOnly = 0,
    Critical = 16,
    Information = 64,
    OkCancelInformation = 65
};

// What a message box answers.
enum class eMsgAnswer : int { OK = 1, Cancel = 2 };

// A request for the save-file dialog. File types are pairs of a description
// ("テキストファイル (*.txt)") and its pattern ("*.txt").
struct tSaveFileRequest {
    QObject* owner = nullptr;
    QString strCaption;
    QList<std::pair<QString, QString>> lstFileTypes;
    int intSelectedType = 0;
    QString strInitialDir;
    QString strProposedName;
    QString strDefaultExt;
    bool blnOverwritePrompt = true;
    bool blnPathMustExist = true;
};

// Everything the windows need from the desktop goes through this seam, so that
// each window can be driven in a test without a modal dialog blocking it.
// The program passes a Qt implementation; tests pass a recording fake.
class cPlatform {
public:
    virtual ~cPlatform() = default;

    // Shows a modal message box; an empty title means the program's title.
    // Returns eMsgAnswer::OK or eMsgAnswer::Cancel.
    virtual eMsgAnswer MsgBox(const QString& strPrompt, eMsgStyle style,
                              const QString& strTitle = QString()) = 0;
    virtual void Beep() = 0;
    virtual void ClipboardClear() = 0;
    virtual void ClipboardSetText(const QString& strText) = 0;
    // The chosen full path, or nothing when the user cancelled.
    virtual std::optional<QString> GetSaveFileName(const tSaveFileRequest& request) = 0;
    virtual void OpenURL(const QString& strURL) = 0;
    virtual int ScreenWidthPixels() = 0;
};
