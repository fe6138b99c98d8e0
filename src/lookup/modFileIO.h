#pragma once

#include <QByteArray>
#include <QString>

// Writing a whole file so that a failure never leaves it half-written.
namespace modFileIO {

// Writes the bytes through a temporary file beside the target, so an existing
// file is replaced only once the new content is on disk whole. Returns why it
// failed, or the empty text.
QString WriteFileWhole(const QString& strPath, const QByteArray& content);

} // namespace modFileIO
