// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QString>

namespace modCheckPath {

// The platform's folder separator: "/" here, "\" on Windows.
QChar PathSeparator();
// The folder path with the separator at its end; a path that already ends in one is unchanged.
QString CheckPath(const QString& strPath);

} // namespace modCheckPath
