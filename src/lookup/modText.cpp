#include "lookup/modText.h"

#include <QStringEncoder>

#include <optional>

namespace modText {

QByteArray EncodeCp932(QStringView strText) {
    std::optional<QStringEncoder> encoder(std::in_place, "windows-31j");
    QByteArray bytes = encoder->encode(strText);
    if (!encoder->hasError())
        return bytes;
    // A character outside the code page becomes "?", as the system's own conversion
    // writes it, rather than whatever filler the converter picks. An encoder stays in
    // error once it met one, so each error takes a fresh one.
    bytes.clear();
    encoder.emplace("windows-31j");
    for (qsizetype i = 0; i < strText.size();) {
        const bool blnPair = strText[i].isHighSurrogate() && i + 1 < strText.size() &&
                             strText[i + 1].isLowSurrogate();
        const qsizetype n = blnPair ? 2 : 1;
        // A lone surrogate never reaches the converter: it would hold it back
        // waiting for its pair and swallow the next character with it.
        const bool blnLone = !blnPair && strText[i].isSurrogate();
        const QByteArray part = blnLone ? QByteArray() : encoder->encode(strText.mid(i, n));
        if (blnLone || encoder->hasError()) {
            bytes += '?';
            if (!blnLone)
                encoder.emplace("windows-31j");
        } else {
            bytes += part;
        }
        i += n;
    }
    return bytes;
}

} // namespace modText
