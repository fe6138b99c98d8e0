// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <functional>
#include <optional>

// Reads a file descriptor line by line into one buffer of fixed size: a line
// is handed out as a view of the buffer where it lies, and only the unfinished
// line at the end of a block is moved to the front before the next read. A
// line longer than the limit is handed out cut, and the rest of it skipped, so
// the memory held never depends on the input.
class cLineReader {
public:
    enum class eNext { Line, End, Error };

    // lngMaxLine: the longest line handed out whole, not counting a CR before
    // its LF. blnCsv: a LF between double quotes (RFC 4180) does not end a line.
    cLineReader(int intFd, qsizetype lngMaxLine, bool blnCsv);

    // Called before each read that waits for more input; returning false ends
    // the input there, as if it ended.
    void SetBeforeRead(std::function<bool()> beforeRead) { m_beforeRead = std::move(beforeRead); }

    // Input in another encoding (UTF-16, UTF-32) is turned into UTF-8 first,
    // what is already held (a byte order mark, which goes) included.
    void SetDecoder(QStringConverter::Encoding encoding);

    // Reads until at least lngBytes are held or the input ends; what is held
    // from the next line on. An error is kept for the next Next().
    QByteArrayView Peek(qsizetype lngBytes);
    // Drops the first lngBytes of what Peek showed (a byte order mark).
    void Skip(qsizetype lngBytes) { m_begin += lngBytes; }

    // The next line without its LF (a CR before it kept), or the first
    // lngMaxLine + 2 bytes of a longer one, with *pblnCut set.
    eNext Next(QByteArrayView* pbytLine, bool* pblnCut);

    // What is held after the line handed out last.
    QByteArrayView Held() const {
        return QByteArrayView(m_buffer.constData() + m_begin, m_end - m_begin);
    }
    // Whether the input has ended (all of it is held).
    bool AtEnd() const { return m_blnAtEnd; }
    // Whether the line handed out last ended in a LF (the last line may not).
    bool LineEnded() const { return m_blnLineEnded; }

    // Why the input could not be read, after eNext::Error.
    QString ErrorText() const { return m_strError; }

private:
    bool Fill();
    qsizetype FindLineEnd();

    int m_intFd;
    qsizetype m_lngMaxLine;
    bool m_blnCsv;
    QByteArray m_buffer;
    qsizetype m_begin = 0;      // the next line's first byte
    qsizetype m_end = 0;        // after the last byte read
    qsizetype m_scan = 0;       // where the search for the line's end goes on
    bool m_blnQuoted = false;   // m_scan lies between double quotes
    bool m_blnSkipping = false; // in the rest of a line handed out cut
    bool m_blnAtEnd = false;
    bool m_blnLineEnded = false;
    bool m_blnFailed = false;
    QString m_strError;
    std::function<bool()> m_beforeRead;
    std::optional<QStringDecoder> m_decoder;
    QByteArray m_raw; // held before the decoder came, still to be decoded
};
