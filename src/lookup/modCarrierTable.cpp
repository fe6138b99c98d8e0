// SPDX-License-Identifier: Apache-2.0
#include "modCarrierTable.h"

#include <functional>
#include <iterator>

namespace modCarrierTable {

namespace {

// Every code the database may hold, with the text shown and the map area.
// Codes are compared exactly, letter case included.
constexpr tCarrierRow CarrierRows[] = {
    {u"C100", u"au関西", 0},
    {u"C101", u"au関東", 1},
    {u"C102", u"au九州", 2},
    {u"C103", u"au四国", 3},
    {u"C104", u"au中国", 4},
    {u"C105", u"au中部", 5},
    {u"C106", u"au東北", 6},
    {u"C107", u"au北陸", 7},
    {u"C108", u"au北海道", 8},
    {u"C109", u"沖縄セルラー", 9},
    {u"C110", u"ボーダフォン関西", 0},
    {u"C111", u"ボーダフォン関東・甲信", 1},
    {u"C112", u"ボーダフォン九州・沖縄", 10},
    {u"C113", u"ボーダフォン四国", 3},
    {u"C114", u"ボーダフォン中国", 4},
    {u"C115", u"ボーダフォン東海", 5},
    {u"C116", u"ボーダフォン東北・新潟", 6},
    {u"C117", u"ボーダフォン北陸", 7},
    {u"C118", u"ボーダフォン北海道", 8},
    {u"C120", u"ツーカーホン関西", 0},
    {u"C121", u"ツーカーセルラー東海", 5},
    {u"C122", u"ツーカーセルラー東京", 1},
    {u"C130", u"ドコモ関西", 0},
    {u"C131", u"ドコモ九州", 10},
    {u"C132", u"ドコモ四国", 3},
    {u"C133", u"ドコモ(中央)", 1},
    {u"C134", u"ドコモ中国", 4},
    {u"C135", u"ドコモ東海", 5},
    {u"C136", u"ドコモ東北", 6},
    {u"C137", u"ドコモ北陸", 7},
    {u"C138", u"ドコモ北海道", 8},
    {u"C150", u"au<不明>", 99},
    {u"C151", u"ボーダフォン<不明>", 99},
    {u"C152", u"ツーカーセルラー<不明>", 99},
    {u"C153", u"ドコモ<不明>", 99},
    {u"C154", u"vodafone<不明>", 99},
    {u"P100", u"DDIポケット関西", 0},
    {u"P101", u"DDIポケット九州", 2},
    {u"P102", u"DDIポケット四国", 3},
    {u"P103", u"DDIポケット中国", 4},
    {u"P104", u"DDIポケット東海", 5},
    {u"P105", u"DDIポケット東京", 1},
    {u"P106", u"DDIポケット東北", 6},
    {u"P107", u"DDIポケット北陸", 7},
    {u"P108", u"DDIポケット北海道", 8},
    {u"P110", u"アステル沖縄", 9},
    {u"P111", u"アステル関西", 0},
    {u"P112", u"アステル九州", 2},
    {u"P113", u"アステル四国", 3},
    {u"P114", u"アステル中国", 4},
    {u"P115", u"アステル中部", 5},
    {u"P116", u"アステル東京", 1},
    {u"P117", u"アステル東北", 6},
    {u"P118", u"アステル北陸", 7},
    {u"P119", u"アステル北海道", 8},
    {u"P120", u"ドコモ関西", 0},
    {u"P121", u"ドコモ九州", 10},
    {u"P122", u"ドコモ四国", 3},
    {u"P123", u"ドコモ(中央)", 1},
    {u"P124", u"ドコモ中国", 4},
    {u"P125", u"ドコモ東海", 5},
    {u"P126", u"ドコモ東北", 6},
    {u"P127", u"ドコモ北陸", 7},
    {u"P128", u"ドコモ北海道", 8},
    {u"C160", u"このエリアは8桁入力が必要です", 99},
    {u"C161", u"このエリアは9桁入力が必要です", 99},
};

constexpr tCarrierRow UnknownRow = {u"", u"未使用or未確認", AreaNone};

constexpr qsizetype RowCount = qsizetype(std::size(CarrierRows));
static_assert(RowCount < 255);

// Every code is "C" or "P" and three digits: the row number for each of those
// 2000 texts (255 for none), so a lookup is one array read.
struct tDirect {
    quint8 row[2][1000] = {};
    constexpr tDirect() {
        for (auto& family : row)
            for (quint8& r : family)
                r = 255;
        for (qsizetype i = 0; i < RowCount; ++i) {
            const QStringView code = CarrierRows[i].code;
            const int digits = (code[1].unicode() - u'0') * 100 + (code[2].unicode() - u'0') * 10 +
                               (code[3].unicode() - u'0');
            row[code[0] == u'P'][digits] = quint8(i);
        }
    }
};
constexpr tDirect Direct;

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

const tCarrierRow& LookupCarrier(QStringView strCode) {
    if (strCode.size() != 4 || (strCode[0] != u'C' && strCode[0] != u'P') || !IsDigit(strCode[1]) ||
        !IsDigit(strCode[2]) || !IsDigit(strCode[3]))
        return UnknownRow;
    const int digits = (strCode[1].unicode() - u'0') * 100 + (strCode[2].unicode() - u'0') * 10 +
                       (strCode[3].unicode() - u'0');
    const quint8 r = Direct.row[strCode[0] == u'P'][digits];
    return r == 255 ? UnknownRow : CarrierRows[r];
}

int RowIndex(const tCarrierRow& row) {
    if (&row == &UnknownRow)
        return int(RowCount);
    const std::less<const tCarrierRow*> before;
    if (before(&row, std::begin(CarrierRows)) || !before(&row, std::end(CarrierRows)))
        return -1;
    return int(&row - CarrierRows);
}

bool IsUnknown(const tCarrierRow& row) {
    return &row == &UnknownRow;
}

QStringList AllCodes() {
    QStringList codes;
    for (const tCarrierRow& row : CarrierRows)
        codes.append(row.code.toString());
    return codes;
}

} // namespace modCarrierTable
