// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "cCarrierSection.h"
#include "tCarrierCode.h"
#include "tIoError.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <memory>

class cKeyIndex;
class cPageBlock;

// The number database: the bytes of db.dat exactly as in the file, held once
// and replaced as a whole by LoadDB. Lookups search the bytes; only what is
// shown (the code after a key, the tail fields) is decoded from code page 932.
// Every answer is the one a search over the decoded text would give.
class cNumberDB {
public:
    // A database larger than this is refused rather than held in memory; the
    // limit holds for the bytes actually read (a file may grow while it is read).
    static constexpr qint64 MaxFileBytes = 256LL * 1024 * 1024;

    // Reads the file whole, replacing the database. Anything but a regular file
    // (a FIFO, a device, a socket, after following a link) is refused unopened.
    // False when it failed: the database is then empty (no lookups possible)
    // and LastError() tells why.
    bool LoadDB(const QString& strFilePath);
    const tIoError& LastError() const { return m_error; }
    // Whether it holds a database: the last LoadDB succeeded, or one was set.
    bool IsLoaded() const { return m_blnLoaded; }

    void SetBytes(const QByteArray& bytData);
    // The text in code page 932 (a character outside it becomes "?").
    void SetText(const QString& strText);
    qsizetype Size() const { return m_bytDB.size(); }

    // Tail fields, counted from the end of the decoded text; a short text gives shorter fields.
    QString DBDate() const { return m_strTail.mid(0, 8); }
    QString DBVersion() const { return m_strTail.mid(10, 4); }
    // True when the tail holds an 8-digit date and a 4-digit version and the
    // file does not end inside a two-byte character.
    bool HasValidTail() const;

    // The row for a carrier code: the fixed table's, or one the database names
    // for a code the fixed table lacks (cCarrierSection), or the row of every
    // unknown value. Valid until the database is replaced.
    const modCarrierTable::tCarrierRow& CarrierRow(QStringView strCode) const {
        return m_carriers.Lookup(strCode);
    }
    const cCarrierSection& Carriers() const { return m_carriers; }

    // The up to 4 characters after the first occurrence of the key (ASCII letters
    // compared without case), or "0" when the key does not occur.
    QString FindCode(QStringView strKey) const;
    // The same for a key of printable ASCII (0x20-0x7E), without allocating.
    tCarrierCode LookupKey(QByteArrayView bytKey) const;

    // Builds the record key index, for callers with many numbers to look up;
    // FindCode answers exactly as without it. LoadDB and SetBytes drop it.
    void BuildIndex();
    bool HasIndex() const { return m_index != nullptr; }
    // For a number of 7 to 11 ASCII digits with a mobile prefix about to be
    // looked up: asks for its index entries ahead. Changes no answer.
    void Prefetch(QStringView strNumber) const;

    // The first byte position where the key matches, on a character boundary,
    // ASCII letters compared without case; -1 when it does not occur.
    static qsizetype FindKey(QByteArrayView bytData, QByteArrayView bytKey);

private:
    void Adopt(QByteArray bytData, std::shared_ptr<cPageBlock> storage = {});
    tCarrierCode CodeAt(qsizetype lngFrom) const;

    QByteArray m_bytDB; // may point into m_storage
    std::shared_ptr<cPageBlock> m_storage;
    QString m_strTail; // the last 16 characters
    tIoError m_error;  // of the last LoadDB
    bool m_blnLoaded = false;
    std::shared_ptr<const cKeyIndex> m_index;
    cCarrierSection m_carriers;
};
