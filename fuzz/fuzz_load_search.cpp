// Arbitrary bytes as db.dat: loaded in small pieces (the decoded text must be
// that of the whole file at once), then searched with the plain search, the
// key index and a naive reference, which must all agree.

#include "lookup/cNumberDB.h"
#include "lookup/modSearch.h"

#include <QFile>
#include <QStringDecoder>

#include <cstdlib>
#include <unistd.h>

namespace {

qsizetype NaiveFind(const QString& text, const QString& key) {
    auto upper = [](char16_t c) { return (c >= 'a' && c <= 'z') ? char16_t(c - 32) : c; };
    for (qsizetype p = 0; p + key.size() <= text.size(); ++p) {
        qsizetype i = 0;
        while (i < key.size() && upper(text[p + i].unicode()) == upper(key[i].unicode()))
            ++i;
        if (i == key.size())
            return p;
    }
    return -1;
}

const QString& DbPath() {
    static const QString path = QStringLiteral("/tmp/lumivo-fuzz-%1.dat").arg(getpid());
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first bytes choose the number and the piece size; all bytes are the file.
    if (size < 2)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile file(DbPath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            abort();
    }
    cNumberDB db;
    db.SetReadChunkBytes(1 + data[0] % 13);
    if (db.LoadDB(DbPath()) != cNumberDB::eLoadResult::Loaded)
        abort();
    if (db.Text() != QStringDecoder("windows-31j").decode(bytes))
        abort();
    (void)db.DBDate();
    (void)db.DBVersion();
    (void)db.HasValidTail();

    // Numbers from digits found in the text, so that keys do occur.
    static const char* const heads[] = {"090", "080", "070"};
    const QString& text = db.Text();
    cNumberDB indexed;
    indexed.SetText(text);
    indexed.BuildIndex();
    for (int round = 0; round < 4; ++round) {
        QString number = QString::fromLatin1(heads[(data[1] + round) % 3]);
        for (qsizetype i = round * 7; number.size() < 11 && i < text.size(); ++i)
            if (text[i].isDigit() && text[i].unicode() < 128)
                number += text[i];
        while (number.size() < 11)
            number += QChar(char16_t(u'0' + (data[1] + number.size()) % 10));
        if (modSearch::SearchCarrierCode(db, number) !=
            modSearch::SearchCarrierCode(indexed, number))
            abort();
        for (qsizetype n = 6; n <= 9; ++n) {
            const QString key = modSearch::MakeKey(number.left(n));
            const qsizetype expected = NaiveFind(text, key);
            if (cNumberDB::FindKey(text, key) != expected ||
                cNumberDB::FindKeyNarrow(text, key) != expected)
                abort();
            if (indexed.FindCode(key) != db.FindCode(key))
                abort();
        }
    }
    return 0;
}
