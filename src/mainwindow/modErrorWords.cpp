// SPDX-License-Identifier: Apache-2.0
#include "modErrorWords.h"

namespace modErrorWords {

namespace {

QString KindText(const tIoError& error) {
    switch (error.kind) {
    case eIoError::None:
        return QString();
    case eIoError::NotFound:
        return QStringLiteral("ファイルが見つかりません。");
    case eIoError::PermissionDenied:
        return QStringLiteral("アクセスが拒否されました。");
    case eIoError::NoSpace:
        return QStringLiteral("ディスクの空き容量が不足しています。");
    case eIoError::ReadOnly:
        return QStringLiteral("読み取り専用のため書き込めません。");
    case eIoError::IsFolder:
        return QStringLiteral("ファイルではなくフォルダーです。");
    case eIoError::NotRegularFile:
        return QStringLiteral("通常のファイルではありません。");
    case eIoError::TooLarge:
        return error.lngLimit > 0 ? QStringLiteral("ファイルが大きすぎます（上限 %1 バイト）。")
                                        .arg(error.lngLimit)
                                  : QStringLiteral("ファイルが大きすぎます。");
    case eIoError::BadContent:
        return QStringLiteral("ファイルの内容が正しくありません。");
    case eIoError::NoMemory:
        return QStringLiteral("メモリが足りません。");
    case eIoError::NoFreeName:
        return QStringLiteral("一時ファイルの名前が足りません。");
    case eIoError::BadAddress:
        return QStringLiteral("URLを解釈できません。");
    case eIoError::NotHttp:
        return QStringLiteral("HTTP以外のURLは読めません。");
    case eIoError::Other:
        break;
    }
    return QStringLiteral("予期しないエラーが発生しました。（エラー番号 %1）")
        .arg(error.intSystemCode);
}

QString OldFileText(eOldFile oldFile) {
    switch (oldFile) {
    case eOldFile::Untouched:
        break;
    case eOldFile::Restored:
        return QStringLiteral("元のファイルは変更されていません。");
    case eOldFile::TailLeft:
        return QStringLiteral("元のファイルの末尾に余分なデータが残りました。");
    case eOldFile::PartlyRewritten:
        return QStringLiteral("元のファイルは一部が書き換えられています。");
    }
    return QString();
}

} // namespace

QString IoErrorText(const tIoError& error) {
    return KindText(error) + OldFileText(error.oldFile);
}

} // namespace modErrorWords
