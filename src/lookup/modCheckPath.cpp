#include "lookup/modCheckPath.h"

namespace modCheckPath {

QChar PathSeparator() {
#ifdef Q_OS_WIN
    return u'\\';
#else
    return u'/';
#endif
}

QString CheckPath(const QString& strPath) {
    if (strPath.endsWith(PathSeparator()))
        return strPath;
    return strPath + PathSeparator();
}

} // namespace modCheckPath
