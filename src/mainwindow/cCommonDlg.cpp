// SPDX-License-Identifier: Apache-2.0
#include "cCommonDlg.h"

#include "cPlatform.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr QChar Nul(u'\0');

// What the dialog reads from a text handed over as a C string: up to its first NUL.
QString CString(const QString& strText) {
    const qsizetype end = strText.indexOf(Nul);
    return end < 0 ? strText : strText.left(end);
}

// The dialog reads the filter as description/pattern strings in turn until it meets
// an empty description; the call's own closing NUL ends the list.
QList<std::pair<QString, QString>> FileTypes(const QString& strDialogFilter) {
    const QStringList parts = (strDialogFilter + Nul).split(Nul);
    QList<std::pair<QString, QString>> types;
    for (qsizetype i = 0; i + 1 < parts.size() && !parts[i].isEmpty(); i += 2)
        types.append({parts[i], parts[i + 1]});
    return types;
}

// The dialog writes its answer and a NUL into a buffer of `size` characters and clears
// the rest; an answer that does not fit is cut.
QString ReturnedBuffer(const QString& strAnswer, qsizetype lngSize) {
    const QString strText = strAnswer.left(lngSize - 1);
    return strText + QString(lngSize - strText.size(), Nul);
}

} // namespace

cCommonDlg::cCommonDlg(cPlatform& platform)
    : m_platform(platform),
      m_strDialogFilter(QStringLiteral("All Files (*.*)") + Nul + QStringLiteral("*.*") + Nul),
      m_strDialogTitle(QStringLiteral("Open File")), m_strInitDir(QDir::currentPath()),
      m_strDefaultExt(Nul), m_strFileTitle(254, u' ') {}

void cCommonDlg::SetFilter(const QString& strNewFilter) {
    m_strFilter = strNewFilter;
    QString strConverted = strNewFilter;
    strConverted.replace(u'|', Nul);
    if (strConverted.isEmpty() || !strConverted.endsWith(Nul))
        strConverted += Nul;
    m_strDialogFilter = strConverted;
}

void cCommonDlg::ShowSave() {
    ShowDialog(2);
}

void cCommonDlg::SetAction(qint16 intNewAction) {
    m_intAction = intNewAction;
    if (intNewAction == 2)
        ShowSave();
}

void cCommonDlg::ShowDialog(qint16 intKind) {
    m_intAction = intKind;
    m_intLastResult = 0;
    m_intErrNumber = 0;

    // A file-name buffer has room for at least its closing NUL; with less there is
    // nothing to show, and the call ends quietly.
    if (m_intMaxFileSize < 1)
        return;

    tSaveFileRequest request;
    request.owner = m_form;
    request.strCaption = CString(m_strDialogTitle);
    request.lstFileTypes = FileTypes(m_strDialogFilter);
    // The type index counts from 1; 0 (or one out of range) opens on the first type.
    request.intSelectedType =
        (m_intFilterIndex >= 1 && m_intFilterIndex <= request.lstFileTypes.size())
            ? m_intFilterIndex - 1
            : 0;
    request.strInitialDir = CString(m_strInitDir);
    request.strProposedName = CString(m_strFileName.left(m_intMaxFileSize - 1));
    request.strDefaultExt = CString(m_strDefaultExt);
    request.blnOverwritePrompt = (m_intFlags & OFN_OVERWRITEPROMPT) != 0;
    request.blnPathMustExist = (m_intFlags & OFN_PATHMUSTEXIST) != 0;
    const qsizetype nMaxFileTitle = m_strFileTitle.size() + 1;

    if (intKind != 2)
        return;

    const std::optional<QString> answer = m_platform.GetSaveFileName(request);
    // A path longer than the buffer can take fails the dialog, as a too small
    // buffer does on the platform the class was made for.
    const bool blnFits = answer && answer->size() <= qint64(m_intMaxFileSize) - 1;
    m_intLastResult = blnFits ? 1 : 0;
    if (answer && !blnFits)
        m_intErrNumber = ErrBufferTooSmall;

    if (m_intLastResult == 0) {
        if (m_blnCancelError) {
            m_blnCancelButton = true;
            m_strFileName.clear();
        }
        return;
    }

    // The returned file buffer is the path padded with NULs to MaxFileSize; only its
    // first two NULs decide where FileName ends, so the rest is never built.
    const QString strFileBuffer =
        *answer + QString(qMin<qint64>(qint64(m_intMaxFileSize) - answer->size(), 2), Nul);
    const qsizetype end = strFileBuffer.indexOf(QString(2, Nul));
    if (end < 0) {
        // A path that fills the buffer leaves no pair of NULs to cut at.
        m_strFileName = strFileBuffer;
        return;
    }
    m_strFileName = strFileBuffer.left(end);

    const QString strTitleBuffer = ReturnedBuffer(QFileInfo(*answer).fileName(), nMaxFileTitle);
    qsizetype first = 0;
    qsizetype last = strTitleBuffer.size();
    while (first < last && strTitleBuffer[first] == u' ')
        ++first;
    while (last > first && strTitleBuffer[last - 1] == u' ')
        --last;
    m_strFileTitle = strTitleBuffer.mid(first, last - first);
}

QString cCommonDlg::ErrDescriptionFor(qint32 intErrNumber) {
    switch (intErrNumber) {
    case -32768:
        return QStringLiteral("関数がダイアログ ボックスをロードできません。");
    case 20476:
        return QStringLiteral("メンバ lpstrFile が指すバッファが小さすぎます。");
    case 20477:
        return QStringLiteral("ファイル名が無効です。");
    case 20478:
        return QStringLiteral("メモリ不足のために、リスト ボックスをサブクラス化できません。");
    case 24574:
        return QStringLiteral("フォントが存在しません。");
    case 28661:
        return QStringLiteral("PrintDlg 関数が情報コンテキストを作成できません。");
    case 28662:
        return QStringLiteral("DevMode データ構造と DevNames データ構造のデータが異なるプリンタを"
                              "指しています。");
    case 28670:
        return QStringLiteral("必要なリソースを読み込めません。");
    case 32751:
        return QStringLiteral("Microsoft Windows のヘルプを呼び出せません。");
    case 32752:
        return QStringLiteral("FileName プロパティまたは Filter プロパティにメモリを割り当てられ"
                              "ません。");
    case 32755:
        return QStringLiteral("[キャンセル] ボタンが選択されました。");
    case 32757:
        return QStringLiteral("関数が、ハンドルに関連付けられたメモリをロックできません。");
    case 32758:
        return QStringLiteral("関数が、内部のデータ構造にメモリを割り当てられません。");
    case 32759:
        return QStringLiteral("関数が指定したリソースをロックできません。");
    case 32760:
    case 32761:
        return QStringLiteral("関数が指定したリソースをロードできません。");
    case 32765:
        return QStringLiteral("関数を初期化できません。");
    default:
        return QStringLiteral("未知のｴﾗｰです。");
    }
}
