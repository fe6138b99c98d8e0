// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "cPlatform.h"

// The platform seam for the running program: Qt's message box, clipboard,
// file dialog, desktop services and screen.
class cQtPlatform : public cPlatform {
public:
    eMsgAnswer MsgBox(const QString& strPrompt, eMsgStyle style,
                      const QString& strTitle = QString()) override;
    void Beep() override;
    void ClipboardClear() override;
    void ClipboardSetText(const QString& strText) override;
    std::optional<QString> GetSaveFileName(const tSaveFileRequest& request) override;
    void OpenURL(const QString& strURL) override;
    int ScreenWidthPixels() override;
};
