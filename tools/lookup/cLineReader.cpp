// SPDX-License-Identifier: Apache-2.0
#include "cLineReader.h"

#include "modToolIO.h"

#include <cstring>

namespace {

// One read takes at most this much.
constexpr qsizetype BlockBytes = 1 << 20;

} // namespace

cLineReader::cLineReader(int intFd, qsizetype lngMaxLine, bool blnCsv)
    : m_intFd(intFd), m_lngMaxLine(lngMaxLine), m_blnCsv(blnCsv) {
    // Room for a whole block after the longest unfinished line.
    m_buffer.resize(BlockBytes + lngMaxLine + 2);
}

void cLineReader::SetDecoder(QStringConverter::Encoding encoding) {
    m_decoder.emplace(encoding);
    m_raw = Held().toByteArray(); // decoded by the next reads
    m_end = m_begin;
    m_scan = m_begin;
}

// Moves what is held to the front and reads once more. False at the end of
// the input or on an error.
bool cLineReader::Fill() {
    if (m_blnAtEnd || m_blnFailed)
        return false;
    if (m_beforeRead && !m_beforeRead()) {
        m_blnAtEnd = true;
        return false;
    }
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, size_t(m_end - m_begin));
        m_end -= m_begin;
        m_scan -= m_begin;
        m_begin = 0;
    }
    qint64 got;
    if (m_decoder) {
        // UTF-8 takes at most 3 bytes where UTF-16 takes 2. What was held when
        // the decoder came is decoded first.
        const qsizetype room = qMin<qsizetype>(BlockBytes, m_buffer.size() - m_end) / 2;
        QByteArray raw;
        if (!m_raw.isEmpty()) {
            raw = m_raw.first(qMin(room, m_raw.size()));
            m_raw.remove(0, raw.size());
            got = raw.size();
        } else {
            raw.resize(room);
            got = modToolIO::ReadSome(m_intFd, raw.data(), raw.size(), &m_strError);
        }
        if (got > 0) {
            const QByteArray utf8 =
                QString(m_decoder->decode(QByteArrayView(raw.constData(), got))).toUtf8();
            std::memcpy(m_buffer.data() + m_end, utf8.constData(), size_t(utf8.size()));
            m_end += utf8.size();
        }
    } else {
        got = modToolIO::ReadSome(m_intFd, m_buffer.data() + m_end, m_buffer.size() - m_end,
                                  &m_strError);
        if (got > 0)
            m_end += got;
    }
    if (got < 0)
        m_blnFailed = true;
    else if (got == 0)
        m_blnAtEnd = true;
    return got > 0;
}

QByteArrayView cLineReader::Peek(qsizetype lngBytes) {
    while (m_end - m_begin < lngBytes && m_end < m_buffer.size() && Fill()) {
    }
    return QByteArrayView(m_buffer.constData() + m_begin, m_end - m_begin);
}

// The position of the LF that ends the line, or -1 when it is not yet held.
qsizetype cLineReader::FindLineEnd() {
    const char* const data = m_buffer.constData();
    if (!m_blnCsv) {
        const void* nl = std::memchr(data + m_scan, '\n', size_t(m_end - m_scan));
        m_scan = nl ? static_cast<const char*>(nl) - data : m_end;
        return nl ? m_scan : -1;
    }
    for (; m_scan < m_end; ++m_scan) {
        const char c = data[m_scan];
        if (c == '"')
            m_blnQuoted = !m_blnQuoted;
        else if (c == '\n' && !m_blnQuoted)
            return m_scan;
    }
    return -1;
}

cLineReader::eNext cLineReader::Next(QByteArrayView* pbytLine, bool* pblnCut) {
    *pblnCut = false;
    m_blnLineEnded = false;
    for (;;) {
        if (m_scan < m_begin)
            m_scan = m_begin;
        const qsizetype nl = FindLineEnd();
        if (m_blnSkipping) {
            // The rest of a line already answered by its first bytes.
            m_begin = nl >= 0 ? nl + 1 : m_end;
            m_blnSkipping = nl < 0;
            if (nl >= 0)
                continue;
        } else if (nl >= 0) {
            *pbytLine = QByteArrayView(m_buffer.constData() + m_begin, nl - m_begin);
            m_begin = nl + 1;
            m_blnLineEnded = true;
            return eNext::Line;
        } else if (m_end - m_begin >= m_lngMaxLine + 2) {
            // Longer than any line handed out whole, whatever ends it.
            *pbytLine = QByteArrayView(m_buffer.constData() + m_begin, m_lngMaxLine + 2);
            *pblnCut = true;
            m_begin = m_end;
            m_blnSkipping = true;
            return eNext::Line;
        }
        if (!Fill()) {
            if (m_blnFailed)
                return eNext::Error;
            if (m_end > m_begin && !m_blnSkipping) { // a last line without its LF
                *pbytLine = QByteArrayView(m_buffer.constData() + m_begin, m_end - m_begin);
                m_begin = m_end;
                return eNext::Line;
            }
            return eNext::End;
        }
    }
}
