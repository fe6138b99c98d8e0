// SPDX-License-Identifier: Apache-2.0
// Arbitrary bytes as db.dat: loaded, then searched through the byte search and
// through the key index, against a naive search over the decoded text; the
// numbers are read off key-shaped places in the bytes, so that the steering
// codes lead the search on to the kind G and kind H keys.

#include "cNumberDB.h"
#include "modSearch.h"

#include "modText.h"

#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace {

QString Upper(QString s) {
    for (QChar& c : s)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    return s;
}

QString NaiveCode(const QString& text, const QString& key) {
    const qsizetype p = Upper(text).indexOf(Upper(key));
    return p < 0 ? QStringLiteral("0") : text.mid(p + key.size(), 4);
}

QString NaiveCarrierCode(const QString& text, const QString& number) {
    const auto step = [&](int n) { return NaiveCode(text, modSearch::MakeKey(number.left(n))); };
    QString code = step(6);
    if (code == u"0" && (code = step(7)) == u"C160" && number.size() >= 8 &&
        (code = step(8)) == u"C161" && number.size() >= 9)
        code = step(9);
    return code;
}

// The leading digits a key-shaped text ending at q stands for, or empty.
QString LeadBefore(const QByteArray& bytes, qsizetype q) {
    const int fields = QByteArrayView("AFGH").indexOf(char(bytes[q] & ~0x20)) + 3;
    const qsizetype start = q - 2 * fields - 2;
    if (fields < 3 || start < 0 || bytes[start] != '0' || bytes[start + 1] < '0' ||
        bytes[start + 1] > '2')
        return QString();
    QString lead = QStringList{"090", "080", "070"}[bytes[start + 1] - '0'];
    for (int k = 1; k <= fields; ++k) {
        const QByteArray field = bytes.mid(start + 2 * k, 2);
        bool ok = false;
        const int digit = field.toInt(&ok) - k;
        if (!ok || field[0] < '0' || field[0] > '9' || field[1] < '0' || field[1] > '9' ||
            digit < 0 || digit > 9)
            return QString();
        lead += QChar(u'0' + digit);
    }
    return lead;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // The file lives in memory only: nothing is left behind in any folder.
    const int fd = memfd_create("lumivo-fuzz-db", 0);
    if (fd < 0 || write(fd, data, size) != ssize_t(size))
        abort();
    cNumberDB db;
    const bool loaded = db.LoadDB(QStringLiteral("/proc/self/fd/%1").arg(fd));
    close(fd);
    if (!loaded || db.Size() != bytes.size())
        abort();
    const QString text = modText::DecodeCp932(bytes);
    if (db.DBDate() != text.right(16).mid(0, 8) || db.DBVersion() != text.right(16).mid(10, 4))
        abort();
    (void)db.HasValidTail();

    cNumberDB indexed;
    indexed.SetBytes(bytes);
    indexed.BuildIndex();
    // Any piece of the text as a key, ASCII or not.
    if (!text.isEmpty()) {
        const QString key = text.mid(data[0] % text.size(), 1 + data[size - 1] % 6);
        if (db.FindCode(key) != NaiveCode(text, key))
            abort();
    }
    // Numbers from the first key-shaped places, padded with digits of the input.
    int numbers = 0;
    for (qsizetype q = 8; q < bytes.size() && numbers < 6; ++q) {
        QString number = LeadBefore(bytes, q);
        if (number.isEmpty())
            continue;
        ++numbers;
        while (number.size() < 7 + data[q / 2] % 5)
            number += QChar(u'0' + data[number.size() % size] % 10);
        const QString expected = NaiveCarrierCode(text, number);
        if (modSearch::SearchNumber(db, number).code != expected ||
            modSearch::SearchNumber(indexed, number).code != expected ||
            modSearch::SearchCarrierCode(indexed, number) != expected)
            abort();
    }
    return 0;
}
