#include "lookup/modFileIO.h"

#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace modFileIO {

QString WriteFileWhole(const QString& strPath, const QByteArray& content,
                       bool blnDirectWriteFallback) {
    QSaveFile file(strPath);
    file.setDirectWriteFallback(blnDirectWriteFallback);
    // Unbuffered, so a write cut short (disk full, file size limit) shows in the count
    // written instead of passing unnoticed at commit.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return QStringLiteral("ファイルを作成できません。（%1）").arg(file.errorString());
    errno = 0;
    const qint64 lngWritten = file.write(content);
    const int intErrno = errno;
    if (lngWritten != content.size()) {
        const QString strWhy = file.error() != QFileDevice::NoError ? file.errorString()
                               : intErrno != 0 ? QString::fromLocal8Bit(std::strerror(intErrno))
                                               : QStringLiteral("途中までしか書き込めませんでした");
        file.cancelWriting();
        return QStringLiteral("ファイルに書き込めません。（%1）").arg(strWhy);
    }
    if (!file.commit())
        return QStringLiteral("ファイルに書き込めません。（%1）").arg(file.errorString());
    return QString();
}

} // namespace modFileIO
