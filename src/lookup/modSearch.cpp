// SPDX-License-Identifier: Apache-2.0
#include "modSearch.h"

#include "cNumberDB.h"
#include "modCarrierTable.h"
#include "modInputCheck.h"
#include "modRecordKey.h"

namespace modSearch {

QString MakeKey(const QString& strLead) {
    return modRecordKey::KeyText(strLead);
}

QString SearchDB6(const cNumberDB& db, const QString& strLead) {
    return db.FindCode(MakeKey(strLead.left(6)));
}
QString SearchDB7(const cNumberDB& db, const QString& strLead) {
    return db.FindCode(MakeKey(strLead.left(7)));
}
QString SearchDB8(const cNumberDB& db, const QString& strLead) {
    return db.FindCode(MakeKey(strLead.left(8)));
}
QString SearchDB9(const cNumberDB& db, const QString& strLead) {
    return db.FindCode(MakeKey(strLead.left(9)));
}

QString SearchCarrierCode(const cNumberDB& db, const QString& strNumber) {
    return FindCarrierCode(db, strNumber).toString();
}

tCarrierCode FindCarrierCode(const cNumberDB& db, QStringView strNumber) {
    // One buffer for the four keys: each step writes its last field over the
    // letter of the step before, then its own letter.
    using namespace modRecordKey;
    char key[MaxKeyLength];
    WritePrefix(key, PrefixCode(strNumber));
    auto field = [&](int intField) {
        WriteField(key, intField, strNumber[2 + intField].unicode() - u'0');
    };
    db.Prefetch(strNumber);
    field(1);
    field(2);
    auto step = [&](qsizetype lngLead) {
        const int fields = FieldsForLead(lngLead);
        field(fields);
        return db.LookupKey(QByteArrayView(key, WriteLetter(key, fields)));
    };
    tCarrierCode code = step(6);
    if (code != u"0")
        return code;
    code = step(7);
    if (code == modCarrierTable::NeedsEightDigits && strNumber.size() >= 8) {
        code = step(8);
        if (code == modCarrierTable::NeedsNineDigits && strNumber.size() >= 9)
            code = step(9);
    }
    return code;
}

QStringView RefusalText(eRefusal refusal) {
    switch (refusal) {
    case eRefusal::None:
        break;
    case eRefusal::NoDatabase:
        return u"db.datを読み込めませんでした";
    case eRefusal::Prefix:
        return u"090,080,070から入力して下さい";
    case eRefusal::TooShort:
        return u"最低7桁入力して下さい";
    case eRefusal::TooLong:
        return u"番号11桁を入力して下さい";
    case eRefusal::NotDigits:
        return u"数字のみ入力して下さい";
    }
    return {};
}

bool tSearchResult::Logged() const {
    return Accepted() && code != modCarrierTable::NeedsEightDigits &&
           code != modCarrierTable::NeedsNineDigits;
}

tSearchResult SearchNumber(const cNumberDB& db, QStringView strNumber, bool blnDBLoaded) {
    tSearchResult result;
    result.refusal = modInputCheck::CheckNumber(strNumber);
    if (result.refusal == eRefusal::None && !blnDBLoaded)
        result.refusal = eRefusal::NoDatabase;
    if (result.refusal != eRefusal::None)
        return result;
    result.code = FindCarrierCode(db, strNumber);
    result.row = &db.CarrierRow(result.code.View());
    return result;
}

} // namespace modSearch
