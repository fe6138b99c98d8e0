// SPDX-License-Identifier: Apache-2.0
#include "modTestFiles.h"

#include "cDBBuilder.h"
#include "cNumberDB.h"
#include "modText.h"

#include <QFile>
#include <QStringEncoder>
#include <QtTest>

#if defined(Q_OS_WIN)
#include <windows.h>
#endif
#if defined(Q_OS_LINUX)
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace modTestFiles {

QByteArray ReadFile(const QString& strPath) {
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool WriteFile(const QString& strPath, const QByteArray& bytes) {
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString FileState(const QString& strPath) {
    const QFileInfo info(strPath);
    if (info.isSymLink())
        return "link:" + FileState(info.symLinkTarget());
    if (!info.exists())
        return "none";
    if (info.isDir())
        return "folder";
    if (!info.isFile())
        return "fifo";
    // Without root's override the owner lends itself read permission for a moment.
    const QFile::Permissions mode =
        info.permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    const bool lend = !info.isReadable() && QFile::setPermissions(strPath, mode | QFile::ReadOwner);
    cNumberDB db;
    db.SetBytes(ReadFile(strPath));
    if (lend)
        QFile::setPermissions(strPath, mode);
    return db.HasValidTail() ? db.DBVersion() : "notail";
}

void SetPermissionOverride(bool blnOn) {
#if defined(Q_OS_LINUX)
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    syscall(SYS_capget, &header, data);
    const unsigned bits = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
    data[0].effective = blnOn ? data[0].effective | bits : data[0].effective & ~bits;
    syscall(SYS_capset, &header, data);
#else
    Q_UNUSED(blnOn);
#endif
}

QByteArray SystemCp932(const QString& strText) {
#if defined(Q_OS_WIN)
    const auto* units = reinterpret_cast<const wchar_t*>(strText.utf16());
    const int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, units, int(strText.size()),
                                      nullptr, 0, nullptr, nullptr);
    QByteArray bytes(n, '\0');
    WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, units, int(strText.size()), bytes.data(), n,
                        nullptr, nullptr);
    return bytes;
#else
    return QStringEncoder("windows-31j").encode(strText);
#endif
}

QByteArray DBBytes(const QString& strVersion, const QString& strDate, const QString& strCode) {
    cDBBuilder builder;
    builder.AddEntry("090123", strCode);
    return modText::EncodeCp932(builder.BuildText(strDate, strVersion).value());
}

QString LeftoverKinds(const QString& strFolder) {
    static const QRegularExpression kind("\\.[bt](?=(\\.\\w{6})?$)");
    QStringList kinds;
    for (const QString& name : QDir(strFolder).entryList(QDir::Files | QDir::System))
        if (const auto m = kind.match(name); m.hasMatch())
            kinds.append(m.captured());
    kinds.sort();
    return kinds.join(',');
}

bool MakeFifo(const QString& strPath) {
#if defined(Q_OS_LINUX)
    return ::mkfifo(QFile::encodeName(strPath).constData(), 0600) == 0;
#else
    Q_UNUSED(strPath);
    return false;
#endif
}

namespace {

// "\n", "\r" and "\t" written in a field stand for the characters, "\\" for a backslash,
// "\uXXXX" for one UTF-16 code unit (U+0000 and lone surrogates too).
QString Unescape(const QString& strField) {
    QString out;
    for (qsizetype i = 0; i < strField.size(); ++i) {
        if (strField[i] != u'\\' || i + 1 == strField.size()) {
            out += strField[i];
            continue;
        }
        const QChar next = strField[++i];
        if (next == u'u' && i + 4 < strField.size()) {
            out += QChar(strField.mid(i + 1, 4).toUShort(nullptr, 16));
            i += 4;
            continue;
        }
        out += next == u'n' ? u'\n' : next == u'r' ? u'\r' : next == u't' ? u'\t' : next;
    }
    return out;
}

} // namespace

QList<QStringList> DataRows(const QString& strPath) {
    QList<QStringList> rows;
    for (QString line : QString::fromUtf8(ReadFile(strPath)).split(u'\n'))
        if (!line.remove(u'\r').isEmpty() && !line.startsWith(u'#')) {
            QStringList fields = line.split(u'\t');
            for (QString& field : fields)
                field = Unescape(field);
            rows.append(fields);
        }
    return rows;
}

void AddDataRows(const QString& strPath) {
    QTest::addColumn<QStringList>("row");
    const QList<QStringList> rows = DataRows(strPath);
    QVERIFY2(!rows.isEmpty(), qPrintable(strPath));
    for (const QStringList& row : rows)
        QTest::newRow(qPrintable(row[0])) << row;
}

tIoError ErrorOf(const QString& strText) {
    const QStringList words = strText.split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return tIoError();
    if (words[0] == u"limit")
        return tIoError::Limit(words.value(1).toLongLong());
    // The names in their order in eIoError and eOldFile.
    static const QStringList kinds = {"None",       "NotFound", "PermissionDenied", "NoSpace",
                                      "ReadOnly",   "IsFolder", "NotRegularFile",   "TooLarge",
                                      "BadContent", "NoMemory", "NoFreeName",       "BadAddress",
                                      "NotHttp",    "Other"},
                             oldFiles = {"Untouched", "Restored", "TailLeft", "PartlyRewritten"};
    const qsizetype kind = kinds.indexOf(words[0]),
                    old = oldFiles.indexOf(words.value(2, "Untouched"));
    if (kind < 0 || old < 0)
        qFatal("no such error in a test data file: %s", qPrintable(strText));
    tIoError error = tIoError::Of(eIoError(kind), words.value(1).toInt());
    error.oldFile = eOldFile(old);
    return error;
}

} // namespace modTestFiles
