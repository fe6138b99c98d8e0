// SPDX-License-Identifier: Apache-2.0
// DecodeText on whatever the update server might send: the bytes are turned
// into text as the download does (code page 932), then decoded.

#include "DecryptAUCG.h"

#include "modText.h"

#include <cstdlib>

namespace {

void Check(const QString& text) {
    bool blnDigitError = false;
    const QString plain = DecryptAUCG::DecodeText(text, &blnDigitError);
    // A failed check digit never comes with a decoded text.
    if (blnDigitError && !plain.isEmpty())
        abort();
    // Whatever decodes must encode back to something that decodes the same.
    if (!plain.isEmpty()) {
        const auto again = DecryptAUCG::EncodeText(plain, 0);
        if (again) {
            bool blnAgainError = false;
            if (DecryptAUCG::DecodeText(*again, &blnAgainError) != plain || blnAgainError)
                abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // As the download turns bytes into text, and as raw 16-bit characters
    // (any QChar, lone surrogates included).
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    Check(modText::DecodeCp932(bytes));
    Check(QString(reinterpret_cast<const QChar*>(data), qsizetype(size / 2)));
    return 0;
}
