// SPDX-License-Identifier: Apache-2.0
#include "cUpdateJob.h"

#include "DecryptAUCG.h"
#include "cFileOps.h"
#include "cNumberDB.h"
#include "modAppInfo.h"
#include "modCheckPath.h"
#include "modText.h"
#include "modUpdate.h"

cUpdateJob::cUpdateJob(cNumberDB& db, const QString& strDataDir, cFileOps& files, QObject* parent)
    : QObject(parent), m_db(db), m_strDataDir(modCheckPath::CheckPath(strDataDir)), m_files(files),
      m_reader(new ucrAsync(this)) {
    setObjectName(QStringLiteral("cUpdateJob"));
    connect(m_reader, &ucrAsync::Finished, this, &cUpdateJob::OnRead);
    // Bytes are shown only once the download runs, and only against a known size.
    connect(m_reader, &ucrAsync::Progress, this, [this](qint64 lngCurBytes, qint64 lngAnnounced) {
        if (m_read == eRead::Database && lngAnnounced != 0)
            emit Progress(eStage::Received, lngCurBytes, lngAnnounced);
    });
}

cUpdateJob::cUpdateJob(cNumberDB& db, const QString& strDataDir, QObject* parent)
    : cUpdateJob(db, strDataDir, cFileOps::Disk(), parent) {}

cUpdateJob::~cUpdateJob() {
    Cancel();
}

bool cUpdateJob::Start() {
    if (Running())
        return false;
    m_intAnnounced = -1;
    m_read = eRead::Version;
    m_reader->CheckVer(LimitsOf(eRead::Version));
    return true;
}

void cUpdateJob::Cancel() {
    // Nothing is on disk while a read runs: the bytes are written only after it.
    m_reader->CancelAll();
    m_read = eRead::None;
}

void cUpdateJob::Finish(eOutcome outcome, const tIoError& error, const QString& strDetail) {
    m_read = eRead::None;
    emit Finished({outcome, error, strDetail});
}

ucrAsync::tReadLimits cUpdateJob::LimitsOf(eRead read) const {
    const bool blnVersion = read == eRead::Version;
    return {blnVersion ? modUpdate::MaxVersionFileBytes : cNumberDB::MaxFileBytes,
            blnVersion ? m_limits.intCheckDeadlineMs : m_limits.intDownloadDeadlineMs,
            m_limits.intRateWindowMs, m_limits.lngMinBytesPerWindow, m_limits.intMaxRedirects};
}

void cUpdateJob::OnRead(const ucrAsync::tReadResult& result) {
    const bool blnVersion = m_read == eRead::Version;
    switch (result.status) {
    case ucrAsync::eStatus::NotStarted:
        Finish(blnVersion ? eOutcome::CheckNotStarted : eOutcome::DownloadNotStarted, result.error,
               result.strURL);
        return;
    case ucrAsync::eStatus::TooLarge:
        Finish(eOutcome::TooLarge, result.error);
        return;
    case ucrAsync::eStatus::NoAnswer:
        Finish(eOutcome::NoAnswer);
        return;
    case ucrAsync::eStatus::Received:
        break;
    }
    // Neither file can be checked without its announced size: no answer.
    if (result.lngAnnounced == 0)
        Finish(eOutcome::NoAnswer);
    else if (blnVersion)
        OnVersion(result.bytData);
    else
        OnDownloaded(result.bytData, result.lngAnnounced);
}

void cUpdateJob::OnVersion(const QByteArray& bytData) {
    emit Progress(eStage::VersionRead, 0, 0);
    bool blnDigitError = false;
    const QString strVersion =
        DecryptAUCG::DecodeText(modText::DecodeCp932(bytData), &blnDigitError);
    if (blnDigitError) {
        Finish(eOutcome::DigitError);
        return;
    }
    const modUpdate::tDecision decision =
        modUpdate::Decide(strVersion, m_db.DBVersion(), modAppInfo::VersionNumber());
    switch (decision.verdict) {
    case modUpdate::eVerdict::SoftwareDiffers:
        Finish(eOutcome::SoftwareDiffers);
        return;
    case modUpdate::eVerdict::Same:
        Finish(eOutcome::UpToDate);
        return;
    case modUpdate::eVerdict::Older:
        Finish(eOutcome::LocalNewer);
        return;
    case modUpdate::eVerdict::Unusable:
        Finish(eOutcome::Unusable);
        return;
    case modUpdate::eVerdict::Newer:
        break;
    }
    // The program reads the installed database only when the user's copy cannot
    // be read; the installed folder is still not the update's to write, even for root.
    if (modAppInfo::IsInstalledFolder(m_strDataDir)) {
        Finish(eOutcome::InstalledFolder);
        return;
    }
    m_intAnnounced = decision.intAnnounced;
    m_read = eRead::Database;
    emit Progress(eStage::Downloading, 0, 0);
    // The bytes are meant for db.dat; they reach it only through the checks and the swap.
    m_reader->StartDownload(decision.strURL, LimitsOf(eRead::Database));
}

void cUpdateJob::OnDownloaded(const QByteArray& bytData, qint64 lngAnnounced) {
    QString strFound;
    switch (modUpdate::CheckDownload(bytData, lngAnnounced, m_intAnnounced, &strFound)) {
    case modUpdate::eCheck::WrongSize:
        Finish(eOutcome::WrongSize);
        return;
    case modUpdate::eCheck::NotDatabase:
        Finish(eOutcome::NotDatabase, tIoError::Of(eIoError::BadContent));
        return;
    case modUpdate::eCheck::VersionDiffers:
        Finish(eOutcome::VersionDiffers, tIoError::Of(eIoError::BadContent), strFound);
        return;
    case modUpdate::eCheck::Accepted:
        break;
    }
    // The name is taken just before the write, so that no other file can take it meanwhile.
    const QString tempName = modUpdate::MakeTempName(m_strDataDir, false);
    if (tempName.isEmpty()) {
        Finish(eOutcome::NoTempName, tIoError::Of(eIoError::NoFreeName));
        return;
    }
    const QString tempPath = m_strDataDir + tempName;
    // The whole content or nothing: a failed write leaves nothing under the name.
    if (const tIoError error = m_files.WriteWhole(tempPath, bytData); error.Failed()) {
        Finish(eOutcome::NotWritten, error);
        return;
    }
    // The swap removes the download and the backup whatever happens.
    if (const tIoError error = modUpdate::SwapIn(m_files, m_strDataDir, tempPath); error.Failed()) {
        Finish(eOutcome::SwapFailed, error);
        return;
    }
    // db.dat now holds exactly these bytes: the program searches them from here on.
    m_db.SetBytes(bytData);
    Finish(eOutcome::Updated);
}
