// SPDX-License-Identifier: Apache-2.0
#include "modBytes.h"

#include <algorithm>
#include <functional>

#if defined(__GLIBC__)
#include <string.h>
#endif

namespace modBytes {

qsizetype Find(QByteArrayView hay, QByteArrayView needle, eWay way) {
    if (needle.isEmpty())
        return 0;
#if defined(__GLIBC__)
    if (way == eWay::System) {
        const void* hit =
            memmem(hay.data(), size_t(hay.size()), needle.data(), size_t(needle.size()));
        return hit ? static_cast<const char*>(hit) - hay.data() : -1;
    }
#else
    Q_UNUSED(way);
#endif
    const auto hit = std::search(hay.begin(), hay.end(),
                                 std::boyer_moore_horspool_searcher(needle.begin(), needle.end()));
    return hit == hay.end() ? -1 : hit - hay.begin();
}

} // namespace modBytes
