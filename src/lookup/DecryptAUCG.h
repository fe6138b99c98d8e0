// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QList>
#include <QString>
#include <optional>

class QRandomGenerator;

// The letter-pair code of the update server's version file: pairs of the letters
// A, U, C and G stand for digits; the digits are a two-digit offset K, one
// three-digit group per character (its code plus K) and a check digit.
// The same pair table serves the decoder here and the producer's encoder.
namespace DecryptAUCG {

// The digit a pair stands for, or nothing for a pair outside the table.
std::optional<char16_t> PairDigit(QChar first, QChar second);
// Every pair ("AU", ...) that stands for the digit.
QList<QString> PairsForDigit(int intDigit);

// Mod-10 check digit with weights 3 and 1 from the right (as in EAN-13).
int CalcCheckDigit(const QString& strDigits);

// The plain text, or the empty text when the check digit does not match (then
// *pblnDigitError is set, and the caller tells the user "DigitError.") or the
// digits do not form valid character codes.
QString DecodeText(const QString& strEncoded, bool* pblnDigitError = nullptr);

// The encoded form of a text, or nothing when a character has no single-byte
// code in code page 932 or its code plus K exceeds 999. K must lie in 0..99.
// Where a digit has several pairs, the generator picks one (the first without one).
std::optional<QString> EncodeText(const QString& strPlain, int intOffset,
                                  QRandomGenerator* rng = nullptr);

} // namespace DecryptAUCG
