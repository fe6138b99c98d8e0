#include "lookup/cNumberDB.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringMatcher>

namespace {

bool IsAsciiDigits(QStringView s, qsizetype n)
{
    if (s.size() != n)
        return false;
    for (QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

bool EqualsIgnoringAsciiCase(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i].unicode()) != AsciiUpper(b[i].unicode()))
            return false;
    return true;
}

} // namespace

cNumberDB::eLoadResult cNumberDB::LoadDB(const QString& strFilePath)
{
    m_strText.clear();
    m_strError.clear();

    QFile file(strFilePath);
    if (!file.exists()) {
        m_strError = QStringLiteral("file not found");
        return eLoadResult::Missing;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        m_strError = file.errorString();
        return eLoadResult::Unreadable;
    }
    if (file.size() > MaxFileBytes) {
        m_strError = QStringLiteral("file is larger than %1 bytes").arg(MaxFileBytes);
        return eLoadResult::TooLarge;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_strError = file.errorString();
        return eLoadResult::Unreadable;
    }

    QStringDecoder decoder("windows-31j");
    m_strText = decoder.decode(bytes);
    return eLoadResult::Loaded;
}

QString cNumberDB::DBDate() const { return m_strText.right(16).mid(0, 8); }

QString cNumberDB::DBVersion() const { return m_strText.right(16).mid(10, 4); }

bool cNumberDB::HasValidTail() const
{
    return m_strText.size() >= 16 && IsAsciiDigits(DBDate(), 8) && IsAsciiDigits(DBVersion(), 4);
}

QString cNumberDB::FindCode(QStringView key) const
{
    if (key.isEmpty())
        return QStringLiteral("0");

    // Keys are digits ending in one letter: find the letter-free head exactly,
    // then confirm the whole key without regard to letter case.
    qsizetype headLen = 0;
    while (headLen < key.size() && !IsAsciiLetter(key[headLen].unicode()))
        ++headLen;

    const QStringView text(m_strText);
    qsizetype found = -1;
    if (headLen == 0) {
        for (qsizetype p = 0; p + key.size() <= text.size(); ++p)
            if (EqualsIgnoringAsciiCase(text.mid(p, key.size()), key)) {
                found = p;
                break;
            }
    } else {
        const QStringMatcher matcher(key.left(headLen), Qt::CaseSensitive);
        for (qsizetype p = matcher.indexIn(text, 0); p >= 0; p = matcher.indexIn(text, p + 1)) {
            if (p + key.size() > text.size())
                break;
            if (EqualsIgnoringAsciiCase(text.mid(p + headLen, key.size() - headLen),
                                        key.mid(headLen))) {
                found = p;
                break;
            }
        }
    }
    if (found < 0)
        return QStringLiteral("0");
    return text.mid(found + key.size(), 4).toString();
}
