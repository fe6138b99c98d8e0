#pragma once

#include <QByteArray>
#include <QString>

// Small file helpers every test program shares.
namespace modTestFiles {

// The file's bytes, or "<missing>" when it cannot be read.
QByteArray ReadFile(const QString& strPath);
// Writes the bytes whole; false when that failed.
bool WriteFile(const QString& strPath, const QByteArray& bytes);

} // namespace modTestFiles
