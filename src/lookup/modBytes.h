// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QByteArrayView>

// Finding bytes in bytes: the C library's memmem where it has one (glibc's is
// much faster than a plain search), a portable search elsewhere and for tests.
namespace modBytes {

enum class eWay { System, Portable };

// The first position of needle in hay, or -1; an empty needle is found at 0.
qsizetype Find(QByteArrayView bytHay, QByteArrayView bytNeedle, eWay way = eWay::System);

} // namespace modBytes
