#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// Text that crosses into files and the network: code page 932 and CR LF line ends.
namespace modText {

inline const QString CrLf = QStringLiteral("\r\n");

// The bytes of the text in code page 932; a character outside the code page
// (a lone surrogate included) becomes one "?".
QByteArray EncodeCp932(QStringView strText);

} // namespace modText
