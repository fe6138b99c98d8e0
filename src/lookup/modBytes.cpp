// SPDX-License-Identifier: Apache-2.0
#include "modBytes.h"

#include <algorithm>
#include <functional>

#if defined(__GLIBC__)
#include <string.h>
#endif

namespace modBytes {

qsizetype Find(QByteArrayView bytHay, QByteArrayView bytNeedle, eWay way) {
    if (bytNeedle.isEmpty())
        return 0;
#if defined(__GLIBC__)
    if (way == eWay::System) {
        const void* hit = memmem(bytHay.data(), size_t(bytHay.size()), bytNeedle.data(),
                                 size_t(bytNeedle.size()));
        return hit ? static_cast<const char*>(hit) - bytHay.data() : -1;
    }
#else
    Q_UNUSED(way);
#endif
    const auto hit =
        std::search(bytHay.begin(), bytHay.end(),
                    std::boyer_moore_horspool_searcher(bytNeedle.begin(), bytNeedle.end()));
    return hit == bytHay.end() ? -1 : hit - bytHay.begin();
}

} // namespace modBytes
