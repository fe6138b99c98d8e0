// SPDX-License-Identifier: Apache-2.0
#include "cFakePlatform.h"

eMsgAnswer cFakePlatform::MsgBox(const QString& strPrompt, eMsgStyle style,
                                 const QString& strTitle) {
    msgBoxes.append(QString::number(int(style)) + u'|' + strTitle + u'|' + strPrompt);
    return msgBoxAnswers.isEmpty() ? eMsgAnswer::OK : msgBoxAnswers.dequeue();
}

void cFakePlatform::ClipboardClear() {
    clipboard.clear();
    ++clipboardClears;
}

std::optional<QString> cFakePlatform::GetSaveFileName(const tSaveFileRequest& request) {
    saveRequests.append(request);
    return saveAnswers.isEmpty() ? std::nullopt : saveAnswers.dequeue();
}
