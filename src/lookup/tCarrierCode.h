// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QString>
#include <QStringView>

// A carrier code as a lookup returns it: up to 4 characters, "0" when the key
// does not occur. Held in place, so that a batch of lookups allocates nothing.
struct tCarrierCode {
    char16_t ch[4] = {u'0'};
    qint8 len = 1;

    QStringView View() const { return QStringView(ch, len); }
    QString toString() const { return View().toString(); }
    friend bool operator==(const tCarrierCode& a, QStringView strOther) {
        if (a.len != strOther.size())
            return false;
        for (qint8 i = 0; i < a.len; ++i)
            if (a.ch[i] != strOther[i].unicode())
                return false;
        return true;
    }
};
