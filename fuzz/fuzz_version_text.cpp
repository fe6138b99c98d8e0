// SPDX-License-Identifier: Apache-2.0
// Reading the version text that the update server sends: its fields, the last
// "!" and the download location, and the decision taken on it. The bytes are
// read as plain version text (so that every field is reached) and, as the
// download does, as the letter-pair file that decodes to one.

#include "DecryptAUCG.h"
#include "modUpdate.h"

#include "modText.h"

#include <cstdlib>

namespace {

void Check(const QString& text) {
    const modUpdate::tVersionText fields = modUpdate::ReadVersionText(text);
    if (fields.strSoftware != text.left(3) || fields.strDatabase != text.mid(4, 4))
        abort();
    // The location follows the last "!" and never holds one; only the text's very
    // last character lies between it and the end.
    const qsizetype bang = text.lastIndexOf(u'!');
    if (fields.strLocation.has_value() != (bang >= 0))
        abort();
    if (fields.strLocation) {
        if (fields.strLocation->contains(u'!') ||
            bang + 1 + fields.strLocation->size() != qMax(bang + 1, text.size() - 1) ||
            !text.mid(bang + 1).startsWith(*fields.strLocation))
            abort();
    }

    for (const QString& local : {QStringLiteral("1000"), text.mid(4, 4), QString()}) {
        const modUpdate::tDecision decision = modUpdate::Decide(text, local, 130);
        const bool newer = decision.verdict == modUpdate::eVerdict::Newer;
        // Only a newer database is fetched, from a location the text names.
        if (newer != !decision.strURL.isEmpty() || newer != (decision.intAnnounced >= 0))
            abort();
        if (newer && (decision.intAnnounced > 9999 || !fields.strLocation ||
                      decision.strURL != QStringLiteral("http://") + *fields.strLocation ||
                      fields.strLocation->isEmpty() || fields.strDatabase == local))
            abort();
        // The same text as the local version is never fetched again.
        if (text.size() >= 8 && fields.strDatabase == local &&
            (decision.verdict == modUpdate::eVerdict::Newer ||
             decision.verdict == modUpdate::eVerdict::Older))
            abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (qint64(size) > modUpdate::MaxVersionFileBytes)
        return 0;
    const QString text =
        modText::DecodeCp932(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    Check(text);
    Check(DecryptAUCG::DecodeText(text));
    return 0;
}
