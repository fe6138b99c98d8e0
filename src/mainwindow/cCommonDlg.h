// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QPointer>
#include <QString>

class QObject;
class cPlatform;

// The platform's save-file dialog behind a set of properties: set what is needed,
// call ShowSave, then read CancelButton and FileName. CancelButton never goes back to
// false, so take a fresh instance for every use.
//
// The dialog is handed a file-name buffer and a title buffer the way the common
// dialog library expects them (NUL-padded, of fixed size); what FileName and
// FileTitle read after a call follows from those buffers.
class cCommonDlg {
public:
    explicit cCommonDlg(cPlatform& platform);

    QString Filter() const { return m_strFilter; }
    void SetFilter(const QString& strNewFilter);
    void SetFlags(qint32 intNewFlags) { m_intFlags = intNewFlags; }
    void SetDialogTitle(const QString& strNewDialogTitle) { m_strDialogTitle = strNewDialogTitle; }
    void ShowSave();
    void SetMaxFileSize(qint32 intNewMaxFileSize) { m_intMaxFileSize = intNewMaxFileSize; }
    void SetInitDir(const QString& strNewInitDir) { m_strInitDir = strNewInitDir; }
    QString FileName() const { return m_strFileName; }
    void SetFileName(const QString& strNewFileName) { m_strFileName = strNewFileName; }
    void SetFilterIndex(qint16 intNewFilterIndex) { m_intFilterIndex = intNewFilterIndex; }
    void SetDefaultExt(const QString& strNewDefaultExt) { m_strDefaultExt = strNewDefaultExt; }
    void SetFileTitle(const QString& strNewFileTitle) { m_strFileTitle = strNewFileTitle; }
    QObject* Form() const { return m_form; }
    void SetForm(QObject* NewForm) { m_form = NewForm; }
    bool CancelError() const { return m_blnCancelError; }
    void SetCancelError(bool blnNewCancelErr) { m_blnCancelError = blnNewCancelErr; }
    qint16 Action() const { return m_intAction; }
    // Stores the kind; 2 shows the save dialog.
    void SetAction(qint16 intNewAction);
    bool CancelButton() const { return m_blnCancelButton; }
    QString ErrDescription() const { return ErrDescriptionFor(m_intErrNumber); }
    qint32 ErrNumber() const { return m_intErrNumber; }

    // The fixed text for an error number; numbers outside the table share one text.
    static QString ErrDescriptionFor(qint32 intErrNumber);

    // Bits of flags, as the common dialog library numbers them. Of these the dialog
    // acts on the overwrite prompt and the path check; the others describe its look.
    static constexpr qint32 OFN_OVERWRITEPROMPT = 2;
    static constexpr qint32 OFN_HIDEREADONLY = 4;
    static constexpr qint32 OFN_PATHMUSTEXIST = 2048;
    static constexpr qint32 OFN_EXPLORER = 524288;
    static constexpr qint32 OFN_LONGNAMES = 2097152;

private:
    // Set when the chosen path does not fit the file-name buffer.
    static constexpr qint32 ErrBufferTooSmall = 20476;

    void ShowDialog(qint16 intKind);

    cPlatform& m_platform;
    QPointer<QObject> m_form;
    QString m_strFilter;
    QString m_strDialogFilter;
    qint32 m_intFlags = 0;
    QString m_strDialogTitle;
    qint32 m_intMaxFileSize = 255;
    QString m_strInitDir;
    QString m_strFileName;
    qint16 m_intFilterIndex = 0;
    QString m_strDefaultExt;
    QString m_strFileTitle;
    bool m_blnCancelError = false;
    bool m_blnCancelButton = false;
    qint16 m_intAction = 0;
    qint32 m_intErrNumber = 0;
    qint32 m_intLastResult = 0;
};
