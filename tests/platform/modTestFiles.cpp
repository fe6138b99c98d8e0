#include "modTestFiles.h"

#include <QFile>
#include <QtTest>

namespace modTestFiles {

QByteArray ReadFile(const QString& strPath) {
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool WriteFile(const QString& strPath, const QByteArray& bytes) {
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QList<QStringList> DataRows(const QString& strPath) {
    QList<QStringList> rows;
    for (QString line : QString::fromUtf8(ReadFile(strPath)).split(u'\n'))
        if (!line.remove(u'\r').isEmpty() && !line.startsWith(u'#'))
            rows.append(line.replace("\\r\\n", "\r\n").split(u'\t'));
    return rows;
}

void AddDataRows(const QString& strPath) {
    QTest::addColumn<QStringList>("row");
    const QList<QStringList> rows = DataRows(strPath);
    QVERIFY2(!rows.isEmpty(), qPrintable(strPath));
    for (const QStringList& row : rows)
        QTest::newRow(qPrintable(row[0])) << row;
}

} // namespace modTestFiles
