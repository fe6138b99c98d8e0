// SPDX-License-Identifier: Apache-2.0
#include "cUpdateJob.h"

#include "cFileOps.h"
#include "cNumberDB.h"
#include "modAppInfo.h"
#include "modCheckPath.h"
#include "modDataFolder.h"
#include "modUpdate.h"
#include "ucrAsync.h"

cUpdateJob::cUpdateJob(cNumberDB& db, const QString& strDataDir, cFileOps& files, QObject* parent)
    : QObject(parent), m_db(db), m_strDataDir(modCheckPath::CheckPath(strDataDir)), m_files(files),
      m_reader(new ucrAsync(this)) {
    setObjectName(QStringLiteral("cUpdateJob"));
    connect(m_reader, &ucrAsync::DigitError, this, [this] { m_blnDigitError = true; });
    connect(m_reader, &ucrAsync::RetCheckVer, this, &cUpdateJob::OnVersion);
    connect(m_reader, &ucrAsync::DownloadProgress, this,
            [this](qint32 intCurBytes, qint32 intMaxBytes) {
                emit Progress(eStage::Received, intCurBytes, intMaxBytes);
            });
    connect(m_reader, &ucrAsync::DownloadComplete, this,
            [this](qint32 intMaxBytes, const QString&, const QByteArray& bytData) {
                OnDownloaded(intMaxBytes, bytData);
            });
    connect(m_reader, &ucrAsync::DownloadError, this, [this] { Finish(eOutcome::NoAnswer); });
    connect(m_reader, &ucrAsync::DownloadRefused, this, [this](const QString&, qint64 lngLimit) {
        Finish(eOutcome::TooLarge, tIoError::Limit(lngLimit));
    });
    connect(m_reader, &ucrAsync::ReadNotStarted, this,
            [this](const QString& strCaller, const tIoError& error, const QString& strURL) {
                Finish(strCaller == u"CheckVer" ? eOutcome::CheckNotStarted
                                                : eOutcome::DownloadNotStarted,
                       error, strURL);
            });
}

cUpdateJob::cUpdateJob(cNumberDB& db, const QString& strDataDir, QObject* parent)
    : cUpdateJob(db, strDataDir, cFileOps::Disk(), parent) {}

cUpdateJob::~cUpdateJob() {
    Cancel();
}

bool cUpdateJob::Start() {
    if (m_blnRunning)
        return false;
    m_blnRunning = true;
    m_blnDigitError = false;
    m_intAnnounced = -1;
    m_reader->CheckVer();
    return true;
}

void cUpdateJob::Cancel() {
    // Nothing is on disk while a read runs: the bytes are written only after it.
    m_reader->CancelAll();
    m_blnRunning = false;
}

void cUpdateJob::Finish(eOutcome outcome, const tIoError& error, const QString& strDetail) {
    m_blnRunning = false;
    emit Finished({outcome, error, strDetail});
}

void cUpdateJob::OnVersion(const QString& strVersion) {
    emit Progress(eStage::VersionRead, 0, 0);
    if (m_blnDigitError) {
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
    emit Progress(eStage::Downloading, 0, 0);
    // The bytes are meant for db.dat; they reach it only through the checks and the swap.
    m_reader->StartDownload(decision.strURL, modDataFolder::DBPath(m_strDataDir));
}

void cUpdateJob::OnDownloaded(qint32 intMaxBytes, const QByteArray& bytData) {
    QString strFound;
    switch (modUpdate::CheckDownload(bytData, intMaxBytes, m_intAnnounced, &strFound)) {
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
