// SPDX-License-Identifier: Apache-2.0
#include "cUpdateJob.h"

#include "DecryptAUCG.h"
#include "cFileOps.h"
#include "cNumberDB.h"
#include "modAppInfo.h"
#include "modCheckPath.h"
#include "modMinisign.h"
#include "modText.h"
#include "modUpdate.h"
#include "modUpdateHost.h"

#include <QUrl>

const QString cUpdateJob::BuildPublicKey = QString::fromLatin1(modUpdateHost::PublicKey);

cUpdateJob::cUpdateJob(cNumberDB& db, const QString& strDataDir, cFileOps& files, QObject* parent)
    : cUpdateJob(db, strDataDir, QString(), files, parent) {}

cUpdateJob::cUpdateJob(cNumberDB& db, const QString& strDataDir, const QString& strPublicKey,
                       cFileOps& files, QObject* parent)
    : QObject(parent), m_db(db), m_strDataDir(modCheckPath::CheckPath(strDataDir)), m_files(files),
      m_reader(new ucrAsync(this)), m_strPublicKey(strPublicKey) {
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
    m_bytPending.clear();
}

void cUpdateJob::Finish(eOutcome outcome, const tIoError& error, const QString& strDetail) {
    m_read = eRead::None;
    m_bytPending.clear();
    emit Finished({outcome, error, strDetail});
}

ucrAsync::tReadLimits cUpdateJob::LimitsOf(eRead read) const {
    const bool blnDatabase = read == eRead::Database;
    const qint64 lngMaxBytes = read == eRead::Version ? modUpdate::MaxVersionFileBytes
                               : blnDatabase          ? cNumberDB::MaxFileBytes
                                                      : modMinisign::MaxSignatureFileBytes;
    return {lngMaxBytes, blnDatabase ? m_limits.intDownloadDeadlineMs : m_limits.intCheckDeadlineMs,
            m_limits.intRateWindowMs, m_limits.lngMinBytesPerWindow, m_limits.intMaxRedirects};
}

void cUpdateJob::ReadSignature(eRead read, const QString& strURL) {
    m_read = read;
    m_reader->Start({strURL + QStringLiteral(".minisig"), LimitsOf(read)});
}

QString cUpdateJob::SignatureFault(const QByteArray& bytSignature, const QByteArray& bytData,
                                   const QStringList& lstNeeded) const {
    const auto key = modMinisign::ReadPublicKey(m_strPublicKey.toLatin1());
    if (!key)
        return QStringLiteral("no key");
    switch (modMinisign::Verify(*key, bytSignature, bytData, lstNeeded)) {
    case modMinisign::eCheck::Verified:
        return QString();
    case modMinisign::eCheck::Malformed:
        return QStringLiteral("malformed");
    case modMinisign::eCheck::OtherKey:
        return QStringLiteral("key");
    case modMinisign::eCheck::BadSignature:
        return QStringLiteral("signature");
    case modMinisign::eCheck::CommentDiffers:
        break;
    }
    return QStringLiteral("comment");
}

void cUpdateJob::OnRead(const ucrAsync::tReadResult& result) {
    if (m_read == eRead::VersionSignature || m_read == eRead::DatabaseSignature) {
        const eOutcome notSigned = m_read == eRead::VersionSignature ? eOutcome::VersionNotSigned
                                                                     : eOutcome::DatabaseNotSigned;
        // Whatever kept the signature away, the file cannot be trusted.
        if (result.status != ucrAsync::eStatus::Received)
            Finish(notSigned, tIoError(),
                   result.status == ucrAsync::eStatus::TooLarge ? QStringLiteral("too large")
                                                                : QStringLiteral("missing"));
        else if (m_read == eRead::VersionSignature)
            OnVersionSigned(result.bytData);
        else
            OnDatabaseSigned(result.bytData);
        return;
    }
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
        OnVersion(result.bytData, result.strURL);
    else
        OnDownloaded(result.bytData, result.lngAnnounced);
}

void cUpdateJob::OnVersion(const QByteArray& bytData, const QString& strURL) {
    emit Progress(eStage::VersionRead, 0, 0);
    if (m_strPublicKey.isEmpty()) {
        UseVersion(bytData);
        return;
    }
    // Not even decoded before its signature holds.
    m_bytPending = bytData;
    ReadSignature(eRead::VersionSignature, strURL);
}

void cUpdateJob::OnVersionSigned(const QByteArray& bytSignature) {
    const QByteArray bytVersion = m_bytPending;
    if (const QString fault =
            SignatureFault(bytSignature, bytVersion, {QStringLiteral("file:latestver.txt")});
        !fault.isEmpty()) {
        Finish(eOutcome::VersionNotSigned, tIoError(), fault);
        return;
    }
    UseVersion(bytVersion);
}

void cUpdateJob::UseVersion(const QByteArray& bytData) {
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
    m_strDatabaseURL = decision.strURL;
    m_read = eRead::Database;
    emit Progress(eStage::Downloading, 0, 0);
    // The bytes are meant for db.dat; they reach it only through the checks and the swap.
    m_reader->StartDownload(decision.strURL, LimitsOf(eRead::Database));
}

void cUpdateJob::OnDownloaded(const QByteArray& bytData, qint64 lngAnnounced) {
    QString strFound;
    switch (modUpdate::CheckDownload(bytData, lngAnnounced, m_intAnnounced, &strFound,
                                     &m_strDatabaseDate)) {
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
    if (m_strPublicKey.isEmpty()) {
        WriteDatabase(bytData);
        return;
    }
    m_bytPending = bytData;
    ReadSignature(eRead::DatabaseSignature, m_strDatabaseURL);
}

void cUpdateJob::OnDatabaseSigned(const QByteArray& bytSignature) {
    const QByteArray bytData = m_bytPending;
    // What was asked for and what the tail says: a valid signature of another
    // file, version or date cannot stand in for this one.
    const QStringList needed = {
        QStringLiteral("file:") + QUrl(m_strDatabaseURL).fileName(),
        QStringLiteral("version:%1").arg(m_intAnnounced, 4, 10, QLatin1Char('0')),
        QStringLiteral("date:") + m_strDatabaseDate};
    if (const QString fault = SignatureFault(bytSignature, bytData, needed); !fault.isEmpty()) {
        Finish(eOutcome::DatabaseNotSigned, tIoError(), fault);
        return;
    }
    WriteDatabase(bytData);
}

void cUpdateJob::WriteDatabase(const QByteArray& bytData) {
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
