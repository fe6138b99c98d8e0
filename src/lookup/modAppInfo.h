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

} // namespace modAppInfo
