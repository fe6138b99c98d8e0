#include "lookup/modAppInfo.h"

namespace modAppInfo {

QString AppTitle() {
    return QStringLiteral("Lumivo");
}
int VersionMajor() {
    return LUMIVO_VERSION_MAJOR;
}
int VersionMinor() {
    return LUMIVO_VERSION_MINOR;
}
int VersionRevision() {
    return LUMIVO_VERSION_PATCH;
}

int VersionNumber() {
    // 16-bit arithmetic, as the version file stores three digits.
    return static_cast<qint16>(VersionMajor() * 100 + VersionMinor() * 10 + VersionRevision());
}

QString VersionLabel() {
    return QString::number(VersionMajor()) + u'.' + QString::number(VersionMinor()) +
           QString::number(VersionRevision());
}

} // namespace modAppInfo
