// SPDX-License-Identifier: Apache-2.0
#include "modUpdate.h"

#include "cFileOps.h"
#include "cNumberDB.h"
#include "modDataFolder.h"
#include "modFileIO.h"
#include "modInputCheck.h"

#include <QRandomGenerator>
#include <QTime>

namespace modUpdate {

tVersionText ReadVersionText(const QString& strVersion) {
    tVersionText fields{strVersion.left(3), strVersion.mid(4, 4), std::nullopt};
    // Earlier "!" belong to the free text; the text's last character follows the location.
    const qsizetype bang = strVersion.lastIndexOf(u'!');
    if (bang >= 0) {
        QString location = strVersion.mid(bang + 1);
        location.chop(1);
        fields.strLocation = location;
    }
    return fields;
}

std::optional<int> FieldNumber(QStringView strField) {
    const QStringView digits = strField.trimmed();
    if (digits.isEmpty() || digits.size() > 4 || !modInputCheck::IsAllDigits(digits))
        return std::nullopt;
    return digits.toInt();
}

tDecision Decide(const QString& strVersion, const QString& strLocalVersion, int intProgramVersion) {
    tDecision decision;
    if (strVersion.size() < 8)
        return decision;
    const tVersionText fields = ReadVersionText(strVersion);
    const std::optional<int> software = FieldNumber(fields.strSoftware);
    if (!software)
        return decision;
    if (qint16(*software) != qint16(intProgramVersion)) {
        decision.verdict = eVerdict::SoftwareDiffers;
        return decision;
    }
    if (fields.strDatabase == strLocalVersion) {
        decision.verdict = eVerdict::Same;
        return decision;
    }
    // Compared as numbers: " 999" is no older than "0999".
    const std::optional<int> remote = FieldNumber(fields.strDatabase);
    if (!remote)
        return decision;
    // A database without a readable version counts as older than any.
    if (*remote < FieldNumber(strLocalVersion).value_or(-1)) {
        decision.verdict = eVerdict::Older;
        return decision;
    }
    if (!fields.strLocation || fields.strLocation->isEmpty())
        return decision;
    decision.verdict = eVerdict::Newer;
    decision.intAnnounced = *remote;
    decision.strURL = QStringLiteral("http://") + *fields.strLocation;
    return decision;
}

QString MakeTempName(const QString& strFolder, bool blnBackup) {
    QRandomGenerator rng(quint32(QTime::currentTime().msecsSinceStartOfDay() / 1000));
    const int first = int(rng.generateDouble() * 1000) + 1;
    const QString suffix = blnBackup ? QStringLiteral(".b") : QStringLiteral(".t");
    // From the drawn number on, the first name not in use.
    for (int i = 0; i < 1000; ++i) {
        const int n = (first - 1 + i) % 1000 + 1;
        const QString name = QStringLiteral("%1").arg(n, 4, 10, QLatin1Char('0')) + suffix;
        if (!modFileIO::NameTaken(strFolder + name))
            return name;
    }
    return QString();
}

eCheck CheckDownload(const QByteArray& bytData, qint64 lngMaxBytes, int intAnnounced,
                     QString* pstrFound, QString* pstrDate) {
    if (lngMaxBytes <= 0 || bytData.size() != lngMaxBytes)
        return eCheck::WrongSize;
    cNumberDB downloaded;
    downloaded.SetBytes(bytData);
    if (!downloaded.HasValidTail())
        return eCheck::NotDatabase;
    if (pstrFound)
        *pstrFound = downloaded.DBVersion();
    if (pstrDate)
        *pstrDate = downloaded.DBDate();
    if (FieldNumber(downloaded.DBVersion()) != intAnnounced)
        return eCheck::VersionDiffers;
    return eCheck::Accepted;
}

tIoError SwapIn(cFileOps& files, const QString& strFolder, const QString& strDownloaded) {
    const QString dbPath = modDataFolder::DBPath(strFolder);
    QString backupPath;
    const auto fail = [&](const tIoError& error) {
        files.Remove(strDownloaded);
        if (!backupPath.isEmpty())
            files.Remove(backupPath);
        return error;
    };
    if (modFileIO::NameTaken(dbPath)) {
        const QString backupName = MakeTempName(strFolder, true);
        if (backupName.isEmpty())
            return fail(tIoError::Of(eIoError::NoFreeName));
        if (const tIoError error = files.Link(dbPath, strFolder + backupName); error.Failed())
            return fail(error);
        backupPath = strFolder + backupName;
    }
    if (const tIoError error = files.RenameOver(strDownloaded, dbPath); error.Failed())
        return fail(error);
    // The update is done; a backup that stays is removed at a later start.
    if (!backupPath.isEmpty())
        files.Remove(backupPath);
    return tIoError();
}

} // namespace modUpdate
