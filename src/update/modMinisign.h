// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <optional>

// Checks a file against a signature in minisign's format, so that publishers
// make keys and signatures with Debian's minisign. Only prehashed signatures
// (algorithm "ED": Ed25519 over the file's BLAKE2b-512) are taken, each with its
// trusted comment, which the global signature covers. Verifying only: nothing
// here can sign.
namespace modMinisign {

// A signature file is four short lines; anything larger is refused unread.
constexpr qint64 MaxSignatureFileBytes = 4096;

struct tPublicKey {
    QByteArray bytKeyId; // 8 bytes
    QByteArray bytKey;   // 32 bytes, Ed25519
};
// The base64 line of a minisign .pub file ("RW..."); nothing when it is not one.
std::optional<tPublicKey> ReadPublicKey(QByteArrayView bytLine);

struct tSignature {
    QByteArray bytAlgorithm; // "ED" or the legacy "Ed"
    QByteArray bytKeyId;
    QByteArray bytSignature; // 64 bytes
    QByteArray bytTrustedComment;
    QByteArray bytGlobalSignature; // 64 bytes, over bytSignature and the trusted comment
};
// The four lines of a .minisig file: untrusted comment, signature, trusted
// comment, global signature. Nothing when the file is not laid out so.
std::optional<tSignature> ReadSignature(const QByteArray& bytFile);

enum class eCheck {
    Verified,
    Malformed,      // not a prehashed minisign signature
    OtherKey,       // made with a key of another id
    BadSignature,   // the file or the trusted comment is not what was signed
    CommentDiffers, // a valid signature, but for another file
};

// Verifies bytSignatureFile for bytData with key. lstNeeded: words such as
// "file:1001.dat" that the trusted comment must hold, each key (before ':')
// once; the comment's words are separated by blanks or tabs, any others are
// ignored. The comment is read only once both signatures hold.
eCheck Verify(const tPublicKey& key, const QByteArray& bytSignatureFile, const QByteArray& bytData,
              const QStringList& lstNeeded);

// Whether the trusted comment names each of lstNeeded, and each of their keys once.
bool CommentNames(QByteArrayView bytComment, const QStringList& lstNeeded);

} // namespace modMinisign
