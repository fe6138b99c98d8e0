#pragma once

#include <QString>
#include <QStringView>

#include <memory>

class cKeyIndex;

// The database text: the whole of db.dat, decoded from code page 932, held once
// by the program and replaced as a whole by LoadDB. Lookups are substring
// searches over it; the last 16 characters carry the database date and version.
class cNumberDB {
public:
    enum class eLoadResult { Loaded, Missing, Unreadable, TooLarge };

    // A database file larger than this is refused rather than held in memory.
    static constexpr qint64 MaxFileBytes = 256LL * 1024 * 1024;

    // Reads the file whole, replacing the text. On failure the text is empty
    // (no lookups possible) and ErrorText() tells why.
    eLoadResult LoadDB(const QString& strFilePath);
    QString ErrorText() const { return m_strError; }

    const QString& Text() const { return m_strText; }
    void SetText(const QString& strText);

    // LoadDB reads and decodes the file in pieces of this many bytes, so that
    // the file's bytes and its text are never held whole at the same time.
    // The text is the same for any piece size; tests make it small.
    void SetReadChunkBytes(qsizetype intBytes) { m_intChunkBytes = intBytes > 0 ? intBytes : 1; }

    // Tail fields, counted from the end of the text; a short text gives shorter fields.
    QString DBDate() const;
    QString DBVersion() const;
    // True when the tail holds an 8-digit date and a 4-digit version.
    bool HasValidTail() const;

    // The up to 4 characters after the first occurrence of the key (ASCII letters
    // compared without case), or "0" when the key does not occur.
    QString FindCode(QStringView key) const;

    // Builds the record key index over the current text, for callers with many
    // numbers to look up; FindCode answers exactly as without it. About 13 MB.
    // LoadDB and SetText drop it.
    void BuildIndex();
    bool HasIndex() const { return m_index != nullptr; }

    // Where FindCode's search starts: the first position of the key in the
    // text, ASCII letters compared without case; -1 when it does not occur.
    static qsizetype FindKey(QStringView text, QStringView key);
    // The same search as on processors without AVX2; tests compare both.
    static qsizetype FindKeyNarrow(QStringView text, QStringView key);

private:
    QString m_strText;
    QString m_strError;
    qsizetype m_intChunkBytes = 1 << 20;
    std::shared_ptr<const cKeyIndex> m_index;
};
