// SPDX-License-Identifier: Apache-2.0
#include "modCheckPath.h"

#include <QDir>

namespace modCheckPath {

QChar PathSeparator() {
#ifdef Q_OS_WIN
    return u'\\';
#else
    return u'/';
#endif
}

QString CheckPath(const QString& strPath) {
    // In the system's own spelling throughout, so that a path shown in a message
    // never mixes separators (Qt hands out "C:/..." on Windows too).
    const QString strNative = QDir::toNativeSeparators(strPath);
    if (strNative.endsWith(PathSeparator()))
        return strNative;
    return strNative + PathSeparator();
}

} // namespace modCheckPath
