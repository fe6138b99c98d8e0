// SPDX-License-Identifier: Apache-2.0
#include "modText.h"

#include "modCp932Tables.h"

#include <array>
#include <memory>

namespace modText {

namespace {

int LeadRow(unsigned char lead) {
    return lead < 0xE0 ? lead - 0x81 : lead - 0xE0 + 31;
}

// Code for each UTF-16 code unit; 0xFFFF where there is none (no code is 0xFFFF).
const std::array<quint16, 0x10000>& CodesByUnit() {
    static const auto codes = [] {
        auto table = std::make_unique<std::array<quint16, 0x10000>>();
        table->fill(0xFFFF);
        for (int b = 0; b < 256; ++b)
            if (!IsLeadByte(uchar(b)))
                (*table)[modCp932Tables::Singles[b]] = quint16(b);
        // Pairs from the highest code down, rows 0xED and 0xEE before all others,
        // so that the code that counts is written last.
        auto add = [&](int intLead) {
            for (int trail = 255; trail >= 0; --trail) {
                const char16_t ch = modCp932Tables::Pairs[LeadRow(uchar(intLead)) * 256 + trail];
                if (ch != 0)
                    (*table)[ch] = quint16(intLead << 8 | trail);
            }
        };
        add(0xEE);
        add(0xED);
        for (int lead = 0xFC; lead >= 0x81; --lead)
            if (IsLeadByte(uchar(lead)) && lead != 0xED && lead != 0xEE)
                add(lead);
        return table;
    }();
    return *codes;
}

} // namespace

bool StartsCharacter(QByteArrayView bytData, qsizetype lngPos) {
    const auto* b = reinterpret_cast<const uchar*>(bytData.data());
    qsizetype leads = 0;
    while (leads < lngPos && IsLeadByte(b[lngPos - 1 - leads]))
        ++leads;
    return leads % 2 == 0 || b[lngPos] == 0;
}

QString DecodeCp932(QByteArrayView bytData) {
    QString text(bytData.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    qsizetype n = 0;
    const auto* b = reinterpret_cast<const uchar*>(bytData.data());
    for (qsizetype i = 0; i < bytData.size(); ++i) {
        if (!IsLeadByte(b[i])) {
            out[n++] = modCp932Tables::Singles[b[i]];
        } else if (i + 1 == bytData.size() || b[i + 1] == 0) {
            out[n++] = NoCharacter;
        } else {
            const char16_t ch = modCp932Tables::Pairs[LeadRow(b[i]) * 256 + b[i + 1]];
            out[n++] = ch != 0 ? ch : NoCharacter;
            ++i;
        }
    }
    text.truncate(n);
    return text;
}

QByteArray EncodeCp932(QStringView strText) {
    const auto& codes = CodesByUnit();
    QByteArray bytes;
    bytes.reserve(strText.size());
    for (QChar c : strText) {
        const quint16 code = codes[c.unicode()];
        if (code == 0xFFFF) {
            bytes += '?';
        } else if (code > 0xFF) {
            bytes += char(code >> 8);
            bytes += char(code & 0xFF);
        } else {
            bytes += char(code);
        }
    }
    return bytes;
}

int Cp932Code(char16_t ch) {
    const quint16 code = CodesByUnit()[ch];
    return code == 0xFFFF ? -1 : code;
}

} // namespace modText
