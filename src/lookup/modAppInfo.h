// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QString>

// The program's identity, taken from the build (the version is set once, in CMake).
namespace modAppInfo {

QString AppTitle();
int VersionMajor();
int VersionMinor();
int VersionRevision();
// Major * 100 + Minor * 10 + Revision: what the update compares with the server.
int VersionNumber();
// "1.30" for 1.3.0: minor and revision written next to each other.
QString VersionLabel();

// The file that the install step puts beside the installed program and its
// database (cmake/LumivoInstall.cmake names it too). A folder holding it belongs
// to the package manager: the program keeps its database in the user's folder
// and writes nothing there, whoever runs it. A build folder has no such file.
QString InstalledMarkerName();
bool IsInstalledFolder(const QString& strFolder);

} // namespace modAppInfo
