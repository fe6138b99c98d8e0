// SPDX-License-Identifier: Apache-2.0
// Pasted text as a number: the input check must decide without a crash, accept
// only what the lookup can take, and the search must then run.

#include "cNumberDB.h"
#include "modInputCheck.h"
#include "modSearch.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString number = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString refusal = modSearch::RefusalText(modInputCheck::CheckNumber(number)).toString();
    static const cNumberDB db = [] {
        cNumberDB d;
        d.SetText(QStringLiteral("0002040608FC160000204060810GC16100020406081012HP1050102AC130"
                                 "20261206  1000\r\n"));
        return d;
    }();
    if (!refusal.isEmpty()) {
        const modSearch::tSearchResult result = modSearch::SearchNumber(db, number);
        if (result.Accepted() || result.Text() != refusal)
            abort();
        return 0;
    }
    const QStringView head = QStringView(number).left(3);
    const bool is060 =
        head == u"060" && number.size() > 3 && number[3] >= u'1' && number[3] <= u'9';
    if (number.size() < 7 || number.size() > 11 ||
        (head != u"090" && head != u"080" && head != u"070" && !is060))
        abort();
    for (QChar c : number)
        if (c < u'0' || c > u'9')
            abort();
    const modSearch::tSearchResult result = modSearch::SearchNumber(db, number);
    if (!result.Accepted() || result.code.View().isEmpty() || result.Text().isEmpty())
        abort();
    return 0;
}
