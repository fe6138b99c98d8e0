// SPDX-License-Identifier: Apache-2.0
#include "modAppInfo.h"

#include "modCheckPath.h"
#include "modFileIO.h"
#include "modVersion.h"

namespace modAppInfo {

QString AppTitle() {
    return QStringLiteral("Lumivo");
}
int VersionMajor() {
    return modVersion::Major;
}
int VersionMinor() {
    return modVersion::Minor;
}
int VersionRevision() {
    return modVersion::Revision;
}

int VersionNumber() {
    // 16-bit arithmetic, as the version file stores three digits.
    return static_cast<qint16>(VersionMajor() * 100 + VersionMinor() * 10 + VersionRevision());
}

QString VersionLabel() {
    return QString::number(VersionMajor()) + u'.' + QString::number(VersionMinor()) +
           QString::number(VersionRevision());
}

QString InstalledMarkerName() {
    return QStringLiteral("lumivo.installed");
}

bool IsInstalledFolder(const QString& strFolder) {
    return modFileIO::NameTaken(modCheckPath::CheckPath(strFolder) + InstalledMarkerName());
}

} // namespace modAppInfo
