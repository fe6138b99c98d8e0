#pragma once

#include <QByteArray>
#include <QString>

// Writing a whole file so that a failure never leaves it half-written.
namespace modFileIO {

// Writes the bytes through a temporary file beside the target, so an existing
// file is replaced only once the new content is on disk whole. Returns why it
// failed, or the empty text.
// With blnDirectWriteFallback, a folder that takes no new file (the user may
// write the file but not the folder) gets the file overwritten in place, as a
// plain save would; a failure there can leave the file cut short.
QString WriteFileWhole(const QString& strPath, const QByteArray& content,
                       bool blnDirectWriteFallback = false);

} // namespace modFileIO
