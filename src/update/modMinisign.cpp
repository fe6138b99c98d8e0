// SPDX-License-Identifier: Apache-2.0
#include "modMinisign.h"

#include <QList>

#include <sodium.h>

namespace modMinisign {

namespace {

constexpr qsizetype KeyIdBytes = 8;
constexpr qsizetype SignatureLineBytes = 2 + KeyIdBytes + crypto_sign_BYTES;
constexpr qsizetype PublicKeyLineBytes = 2 + KeyIdBytes + crypto_sign_PUBLICKEYBYTES;

// The bytes of a base64 line of exactly intBytes, written the one canonical way.
std::optional<QByteArray> Base64Line(QByteArrayView bytLine, qsizetype intBytes) {
    const auto decoded = QByteArray::fromBase64Encoding(bytLine.toByteArray(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != intBytes || decoded.decoded.toBase64() != bytLine)
        return std::nullopt;
    return decoded.decoded;
}

// A line without its line end, CR LF or LF.
QByteArrayView Chomp(QByteArrayView bytLine) {
    return bytLine.endsWith('\r') ? bytLine.chopped(1) : bytLine;
}

} // namespace

std::optional<tPublicKey> ReadPublicKey(QByteArrayView bytLine) {
    const auto bytes = Base64Line(bytLine, PublicKeyLineBytes);
    if (!bytes || !bytes->startsWith("Ed"))
        return std::nullopt;
    return tPublicKey{bytes->mid(2, KeyIdBytes), bytes->mid(2 + KeyIdBytes)};
}

std::optional<tSignature> ReadSignature(const QByteArray& bytFile) {
    QList<QByteArray> lines = bytFile.split('\n');
    // One line end after the last line is usual; none is fine too.
    if (lines.size() == 5 && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() != 4)
        return std::nullopt;
    const QByteArrayView untrusted = Chomp(lines[0]), trusted = Chomp(lines[2]);
    if (!untrusted.startsWith("untrusted comment: ") || !trusted.startsWith("trusted comment: "))
        return std::nullopt;
    const auto signature = Base64Line(Chomp(lines[1]), SignatureLineBytes);
    const auto global = Base64Line(Chomp(lines[3]), crypto_sign_BYTES);
    if (!signature || !global)
        return std::nullopt;
    return tSignature{
        signature->left(2), signature->mid(2, KeyIdBytes), signature->mid(2 + KeyIdBytes),
        trusted.sliced(qsizetype(sizeof "trusted comment: ") - 1).toByteArray(), *global};
}

bool CommentNames(QByteArrayView bytComment, const QStringList& lstNeeded) {
    QList<QByteArrayView> words;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= bytComment.size(); ++i) {
        if (i == bytComment.size() || bytComment[i] == ' ' || bytComment[i] == '\t') {
            if (i > start)
                words.append(bytComment.sliced(start, i - start));
            start = i + 1;
        }
    }
    for (const QString& strWord : lstNeeded) {
        const QByteArray needed = strWord.toUtf8();
        const QByteArray key = needed.left(needed.indexOf(':') + 1);
        int intSameKey = 0;
        bool blnFound = false;
        for (const QByteArrayView word : words) {
            intSameKey += word.startsWith(key);
            blnFound = blnFound || word == needed;
        }
        // Two "file:" words could name two files: neither counts.
        if (!blnFound || intSameKey != 1)
            return false;
    }
    return true;
}

eCheck Verify(const tPublicKey& key, const QByteArray& bytSignatureFile, const QByteArray& bytData,
              const QStringList& lstNeeded) {
    const std::optional<tSignature> signature = ReadSignature(bytSignatureFile);
    if (!signature || signature->bytAlgorithm != "ED" ||
        key.bytKey.size() != crypto_sign_PUBLICKEYBYTES)
        return eCheck::Malformed;
    if (signature->bytKeyId != key.bytKeyId)
        return eCheck::OtherKey;
    if (sodium_init() < 0)
        return eCheck::BadSignature;
    const auto* pk = reinterpret_cast<const unsigned char*>(key.bytKey.constData());
    unsigned char hash[crypto_generichash_BYTES_MAX];
    crypto_generichash(hash, sizeof hash,
                       reinterpret_cast<const unsigned char*>(bytData.constData()),
                       quint64(bytData.size()), nullptr, 0);
    if (crypto_sign_verify_detached(
            reinterpret_cast<const unsigned char*>(signature->bytSignature.constData()), hash,
            sizeof hash, pk) != 0)
        return eCheck::BadSignature;
    const QByteArray signedComment = signature->bytSignature + signature->bytTrustedComment;
    if (crypto_sign_verify_detached(
            reinterpret_cast<const unsigned char*>(signature->bytGlobalSignature.constData()),
            reinterpret_cast<const unsigned char*>(signedComment.constData()),
            quint64(signedComment.size()), pk) != 0)
        return eCheck::BadSignature;
    return CommentNames(signature->bytTrustedComment, lstNeeded) ? eCheck::Verified
                                                                 : eCheck::CommentDiffers;
}

} // namespace modMinisign
