#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QObject;

// Message-box styles, as the windows pass them: the number selects icon and buttons.
namespace MsgStyle {
constexpr int OkOnly = 0;
constexpr int Critical = 16;
constexpr int Information = 64;
constexpr int OkCancelInformation = 65;
} // namespace MsgStyle

// What a message box answers.
namespace MsgAnswer {
constexpr int OK = 1;
constexpr int Cancel = 2;
} // namespace MsgAnswer

// A request for the save-file dialog. File types are pairs of a description
// ("テキストファイル (*.txt)") and its pattern ("*.txt").
struct tSaveFileRequest {
    QObject* owner = nullptr;
    QString caption;
    QList<std::pair<QString, QString>> fileTypes;
    int selectedType = 0;
    QString initialDir;
    QString proposedName;
    QString defaultExt;
    bool overwritePrompt = true;
    bool pathMustExist = true;
};

// Everything the windows need from the desktop goes through this seam, so that
// each window can be driven in a test without a modal dialog blocking it.
// The program passes a Qt implementation; tests pass a recording fake.
class cPlatform {
public:
    virtual ~cPlatform() = default;

    // Shows a modal message box; an empty title means the program's title.
    // Returns MsgAnswer::OK or MsgAnswer::Cancel.
    virtual int MsgBox(const QString& prompt, int style, const QString& title = QString()) = 0;
    virtual void Beep() = 0;
    virtual void ClipboardClear() = 0;
    virtual void ClipboardSetText(const QString& text) = 0;
    // The chosen full path, or nothing when the user cancelled.
    virtual std::optional<QString> GetSaveFileName(const tSaveFileRequest& request) = 0;
    virtual void OpenURL(const QString& url) = 0;
    virtual int ScreenWidthPixels() = 0;
};
