// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "tIoError.h"
#include "ucrAsync.h"

#include <QObject>
#include <QString>
#include <QStringList>

class cFileOps;
class cNumberDB;

// The database update from start to end, below the windows: reads the version
// text, decides, downloads the database into memory, checks the bytes there
// (size, tail, announced version) before anything is written, writes them to a
// temporary file beside db.dat, swaps it in, and puts the new database into the
// cNumberDB it was given, so that the next search uses it. One update at a
// time; it tells how far it is with Progress and how it ended with Finished.
// Given a public key, it also reads each file's signature (its URL followed by
// ".minisig") and goes on only when the signature holds and its trusted
// comment names that very file.
class cUpdateJob : public QObject {
    Q_OBJECT

public:
    enum class eOutcome {
        Updated,
        UpToDate,        // the same database version
        LocalNewer,      // the offered version is lower
        SoftwareDiffers, // the version text is for another software version
        Unusable,        // the version text could not be read
        DigitError,      // the version text failed its check digit
        NoAnswer,        // a read brought nothing
        TooLarge,        // a read went beyond its limit (error.lngLimit)
        CheckNotStarted, // the version check could not start (error; strDetail: the URL)
        DownloadNotStarted,
        InstalledFolder, // db.dat is the installed program's, not the user's
        NoTempName,      // all thousand temporary names are taken
        WrongSize,       // fewer or more bytes than announced
        NotDatabase,     // the bytes have no date and version tail
        VersionDiffers,  // the tail's version (strDetail) is not the announced one
        NotWritten,      // the temporary file could not be written (error)
        SwapFailed,      // a step of the swap failed (error); db.dat is the old one
        // The signature of the version text or of the database is missing or does not
        // hold (strDetail: why, as "missing", "too large", "malformed", "key",
        // "signature" or "comment"; "no key" when the job's key cannot be read).
        VersionNotSigned,
        DatabaseNotSigned,
    };
    Q_ENUM(eOutcome)
    struct tResult {
        eOutcome outcome = eOutcome::NoAnswer;
        // What failed, where the outcome comes from a failed operation.
        tIoError error;
        // What the outcome names: the URL that could not be read, or the
        // version the download holds.
        QString strDetail;
    };
    enum class eStage {
        VersionRead, // the version text has arrived
        Downloading, // a newer database is on offer and its download has started
        Received,    // lngCurBytes of lngMaxBytes have arrived (never before the size is known)
    };
    Q_ENUM(eStage)

    // What each read may take: the version file a few hundred bytes, the database up
    // to cNumberDB::MaxFileBytes, each with its own deadline. Tests shorten the times.
    struct tLimits {
        int intCheckDeadlineMs = 2 * 60 * 1000;
        // A 50 MB database passes at 14 KB/s.
        int intDownloadDeadlineMs = 60 * 60 * 1000;
        // 1 KiB/s, counting the wait for the server's first byte.
        int intRateWindowMs = 60 * 1000;
        qint64 lngMinBytesPerWindow = 60 * 1024;
        int intMaxRedirects = 3;
    };

    // db: the database the program searches; strDataDir: the folder of its
    // db.dat. files: the disk's, or one a test makes fail.
    cUpdateJob(cNumberDB& db, const QString& strDataDir, cFileOps& files,
               QObject* parent = nullptr);
    cUpdateJob(cNumberDB& db, const QString& strDataDir, QObject* parent = nullptr);
    // strPublicKey: the key line of a minisign .pub file ("RW..."); empty, updates
    // are taken unsigned as above. A key that cannot be read lets no update through.
    cUpdateJob(cNumberDB& db, const QString& strDataDir, const QString& strPublicKey,
               cFileOps& files, QObject* parent = nullptr);
    ~cUpdateJob() override;

    // The key this build was configured with (LUMIVO_UPDATE_PUBKEY); empty: none.
    static const QString BuildPublicKey;

    // Starts an update; false, and nothing starts, while one is running.
    bool Start();
    // Ends the running update without a Finished; what it made is removed.
    void Cancel();
    bool Running() const { return m_read != eRead::None; }
    // For updates started from now on.
    void SetLimits(const tLimits& limits) { m_limits = limits; }

    const cNumberDB& Database() const { return m_db; }
    // The reads; tests point them at a loopback server.
    ucrAsync& Reader() { return *m_reader; }

signals:
    void Progress(cUpdateJob::eStage stage, qint64 lngCurBytes, qint64 lngMaxBytes);
    void Finished(cUpdateJob::tResult result);

private:
    // The read under way.
    enum class eRead { None, Version, VersionSignature, Database, DatabaseSignature };

    ucrAsync::tReadLimits LimitsOf(eRead read) const;
    void OnRead(const ucrAsync::tReadResult& result);
    void OnVersion(const QByteArray& bytData, const QString& strURL);
    void UseVersion(const QByteArray& bytData);
    void OnVersionSigned(const QByteArray& bytSignature);
    void OnDownloaded(const QByteArray& bytData, qint64 lngAnnounced);
    void OnDatabaseSigned(const QByteArray& bytSignature);
    void WriteDatabase(const QByteArray& bytData);
    // Starts reading the signature of the file read from strURL.
    void ReadSignature(eRead read, const QString& strURL);
    // Why the signature fails for bytData; empty when it holds.
    QString SignatureFault(const QByteArray& bytSignature, const QByteArray& bytData,
                           const QStringList& lstNeeded) const;
    void Finish(eOutcome outcome, const tIoError& error = tIoError(),
                const QString& strDetail = QString());

    cNumberDB& m_db;
    QString m_strDataDir;
    cFileOps& m_files;
    ucrAsync* m_reader;
    tLimits m_limits;
    eRead m_read = eRead::None;
    // The database version the version text announced, where it lies, and the
    // date its tail gives once downloaded.
    int m_intAnnounced = -1;
    QString m_strDatabaseURL;
    QString m_strDatabaseDate;
    // Empty without a key; read afresh for each signature.
    QString m_strPublicKey;
    // A file that waits for its signature.
    QByteArray m_bytPending;
};
