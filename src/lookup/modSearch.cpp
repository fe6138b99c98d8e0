#include "lookup/modSearch.h"

#include "lookup/cNumberDB.h"
#include "lookup/modCarrierTable.h"
#include "lookup/modInputCheck.h"

namespace modSearch {

namespace {

QString PrefixCode(QStringView head) {
    if (head == u"090")
        return QStringLiteral("00");
    if (head == u"080")
        return QStringLiteral("01");
    if (head == u"070")
        return QStringLiteral("02");
    return QString();
}

constexpr char16_t KindLetter(qsizetype leadLength) {
    switch (leadLength) {
    case 6:
        return u'A';
    case 7:
        return u'F';
    case 8:
        return u'G';
    default:
        return u'H';
    }
}

} // namespace

QString MakeKey(const QString& strLead) {
    // Written out by hand: a list of a million numbers makes several million
    // keys, and QString::arg took half of that time.
    QString key = PrefixCode(QStringView(strLead).left(3));
    key.reserve(key.size() + 2 * qMax<qsizetype>(strLead.size() - 3, 0) + 1);
    for (qsizetype k = 1; 3 + k <= strLead.size(); ++k) {
        const int field = strLead[2 + k].digitValue() + int(k);
        if (field < 100) {
            key += QChar(u'0' + field / 10);
            key += QChar(u'0' + field % 10);
        } else {
            key += QString::number(field);
        }
    }
    key += QChar(KindLetter(strLead.size()));
    return key;
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
    char key[15];
    key[0] = '0';
    key[1] = char('0' + (strNumber[1] == u'9' ? 0 : strNumber[1] == u'8' ? 1 : 2));
    auto field = [&](qsizetype k) {
        const int value = int(strNumber[2 + k].unicode() - u'0') + int(k);
        key[2 * k] = char('0' + value / 10);
        key[2 * k + 1] = char('0' + value % 10);
    };
    db.Prefetch(strNumber);
    field(1);
    field(2);
    auto step = [&](qsizetype lead) {
        field(lead - 3);
        const qsizetype n = 2 * (lead - 3) + 3;
        key[n - 1] = char(KindLetter(lead));
        return db.LookupKey(QByteArrayView(key, n));
    };
    tCarrierCode code = step(6);
    if (code != u"0")
        return code;
    code = step(7);
    if (code == u"C160" && strNumber.size() >= 8) {
        code = step(8);
        if (code == u"C161" && strNumber.size() >= 9)
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
    return Accepted() && code != u"C160" && code != u"C161";
}

tSearchResult SearchNumber(const cNumberDB& db, QStringView strNumber, bool blnDBLoaded) {
    tSearchResult result;
    result.refusal = modInputCheck::CheckNumber(strNumber);
    if (result.refusal == eRefusal::None && !blnDBLoaded)
        result.refusal = eRefusal::NoDatabase;
    if (result.refusal != eRefusal::None)
        return result;
    result.code = FindCarrierCode(db, strNumber);
    result.row = &modCarrierTable::LookupCarrier(result.code.View());
    return result;
}

} // namespace modSearch
