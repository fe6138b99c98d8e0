// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "cCarrierSection.h"
#include "tIoError.h"

#include <QList>
#include <QMap>
#include <QString>
#include <optional>

// Produces a database text from a table of number prefixes (6 to 9 digits)
// and carrier codes. Longer prefixes win over a shorter one they lie under;
// where longer blocks split a 7- or 8-digit block, steering records
// (modCarrierTable::NeedsEightDigits, NeedsNineDigits) send the lookup on to
// the longer key. The result is checked so that no key can be found anywhere
// but at the start of its own record.
class cDBBuilder {
public:
    // One table line: "prefix,code", or "carrier,code,text,area" for a carrier
    // the fixed table lacks (cCarrierSection). Blank lines, lines starting with
    // "#" and a "prefix,code" header are skipped. Returns false with ErrorText()
    // on a bad line.
    bool AddTableText(const QString& strTable, const QString& strSourceName = QString());
    bool AddEntry(const QString& strPrefix, const QString& strCode, int intLine = 0);
    bool AddCarrier(const QString& strCode, const QString& strText, int intArea, int intLine = 0);

    // The database text with its 16-character tail, or nothing with ErrorText()
    // (also when no block was added).
    std::optional<QString> BuildText(const QString& strDate, const QString& strVersion);
    // Builds and writes the file in code page 932; an existing file is replaced
    // only once the new one is complete, and kept when the disk is full.
    // A failed write is told by FileError().
    bool BuildFile(const QString& strPath, const QString& strDate, const QString& strVersion);

    QString ErrorText() const { return m_strError; }
    const tIoError& FileError() const { return m_fileError; }
    // Kind A/F/G/H records written by the last build (steering records included).
    int RecordCount() const { return m_intRecords; }
    // Carrier rows added, each written once, in the order first added.
    const QList<cCarrierSection::tRow>& Carriers() const { return m_carriers; }

    // Where the text holds something a lookup would take for a record key:
    // positions and lengths, in text order.
    static QList<std::pair<qsizetype, qsizetype>> KeyOccurrences(QStringView strText);

private:
    struct tEntry {
        QString code;
        int line;
    };
    bool Fail(const QString& strMessage);

    QMap<QString, tEntry> m_entries;
    QList<cCarrierSection::tRow> m_carriers;
    QList<int> m_carrierLines;
    QString m_strSource;
    QString m_strError;
    tIoError m_fileError;
    int m_intRecords = 0;
};
