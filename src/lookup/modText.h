// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// Text that crosses into files and the network: code page 932 and CR LF line ends.
// The conversion is Windows' own for code page 932 (without best fit), done
// by table on every platform, so the same bytes mean the same text everywhere.
namespace modText {

inline const QString CrLf = QStringLiteral("\r\n");

// The character a byte pair or a lone lead byte without a character stands for.
constexpr char16_t NoCharacter = u'\u30FB';

// Whether the byte starts a two-byte character: 0x81-0x9F and 0xE0-0xFC.
constexpr bool IsLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Whether a character starts at byte p (p < bytes.size()). Every byte but a
// lead byte ends a character (alone or as the second byte of a pair), so the
// lead bytes just before p pair off from a boundary: an odd number leaves the
// last one to take the byte at p with it, unless that byte is 0x00.
bool StartsCharacter(QByteArrayView bytData, qsizetype lngPos);

// The text of code page 932 bytes. A lead byte takes the next byte with it
// unless that is 0x00; a pair without a character, and a lead byte at the end
// or before 0x00, become U+30FB. Every other byte is a character of its own.
QString DecodeCp932(QByteArrayView bytData);

// The bytes of the text in code page 932. A character with two codes takes the
// lowest, the rows 0xED and 0xEE last; a UTF-16 code unit outside the code
// page (each half of a surrogate pair too) becomes one "?".
QByteArray EncodeCp932(QStringView strText);

// The code of one character, or -1 when the code page has none for it.
int Cp932Code(char16_t ch);

} // namespace modText
