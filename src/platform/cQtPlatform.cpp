// SPDX-License-Identifier: Apache-2.0
#include "cQtPlatform.h"

#include "modAppInfo.h"
#include "modText.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>

eMsgAnswer cQtPlatform::MsgBox(const QString& strPrompt, eMsgStyle style, const QString& strTitle) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(strTitle.isEmpty() ? modAppInfo::AppTitle() : strTitle);
    box.setText(strPrompt);
    switch (style) {
    case eMsgStyle::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case eMsgStyle::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case eMsgStyle::OkCancelInformation:
        box.setIcon(QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    if (style != eMsgStyle::OkCancelInformation)
        box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Cancel ? eMsgAnswer::Cancel : eMsgAnswer::OK;
}

void cQtPlatform::Beep() {
    QApplication::beep();
}

void cQtPlatform::ClipboardClear() {
    QGuiApplication::clipboard()->clear();
}

void cQtPlatform::ClipboardSetText(const QString& strText) {
    QGuiApplication::clipboard()->setText(strText);
}

std::optional<QString> cQtPlatform::GetSaveFileName(const tSaveFileRequest& request) {
    QFileDialog dialog(qobject_cast<QWidget*>(request.owner), request.strCaption,
                       request.strInitialDir);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QStringList filters;
    for (const auto& [description, pattern] : request.lstFileTypes)
        filters.append(description.contains(u'(')
                           ? description
                           : description + QStringLiteral(" (") + pattern + u')');
    dialog.setNameFilters(filters);
    if (request.intSelectedType >= 0 && request.intSelectedType < filters.size())
        dialog.selectNameFilter(filters[request.intSelectedType]);
    dialog.selectFile(request.strProposedName);
    // An empty default extension still means "add the chosen type's extension"
    // to a name typed without one.
    auto suffixOf = [](const QString& strPattern) {
        const qsizetype dot = strPattern.lastIndexOf(u'.');
        return dot < 0 || strPattern.indexOf(u'*', dot) >= 0 ? QString() : strPattern.mid(dot + 1);
    };
    if (!request.strDefaultExt.isEmpty()) {
        dialog.setDefaultSuffix(request.strDefaultExt);
    } else if (!request.lstFileTypes.isEmpty()) {
        const int first = qBound(0, request.intSelectedType, int(request.lstFileTypes.size()) - 1);
        dialog.setDefaultSuffix(suffixOf(request.lstFileTypes[first].second));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, &request, filters, suffixOf](const QString& strFilter) {
                             const qsizetype i = filters.indexOf(strFilter);
                             if (i >= 0)
                                 dialog.setDefaultSuffix(suffixOf(request.lstFileTypes[i].second));
                         });
    }
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.blnOverwritePrompt);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        const QString strPath = dialog.selectedFiles().first();
        if (!request.blnPathMustExist || QFileInfo(strPath).absoluteDir().exists())
            return strPath;
        // Qt's dialog takes a name in a missing folder; the request says the folder
        // must exist, so the name is refused and the user stays in the dialog.
        MsgBox(QStringLiteral("パスが存在しません。") + modText::CrLf +
                   QDir::toNativeSeparators(strPath) + modText::CrLf +
                   QStringLiteral("パスが正しいかどうかを確認してください。"),
               eMsgStyle::Critical, request.strCaption);
    }
}

void cQtPlatform::OpenURL(const QString& strURL) {
    QDesktopServices::openUrl(QUrl(strURL));
}

int cQtPlatform::ScreenWidthPixels() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 0;
}
