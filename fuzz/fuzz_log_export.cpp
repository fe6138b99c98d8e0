// SPDX-License-Identifier: Apache-2.0
// The log export on arbitrary log lines and an arbitrary database date and
// version: both files must be built without a crash, one CR LF-ended line per
// log line, in code page 932 (whose trail bytes are never CR or LF).

#include "modLogExport.h"

#include <cstdlib>

namespace {

qsizetype CountLineEnds(const QByteArray& bytes) {
    return bytes.count(QByteArrayView("\r\n"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Raw 16-bit characters, so lone surrogates and characters outside the code
    // page reach the encoder. The first line stands for the database's date, the
    // second for its version.
    QString input(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
    input.remove(u'\r');
    QStringList lines = input.split(u'\n');
    const QString date = lines.takeFirst();
    const QString version = lines.isEmpty() ? QString() : lines.takeFirst();

    const QByteArray txt = modLogExport::BuildLogFile(lines, date, version, false);
    const QByteArray csv = modLogExport::BuildLogFile(lines, date, version, true);
    // Header, the lines, one empty line; the CSV adds its column line.
    if (CountLineEnds(txt) != lines.size() + 2 || CountLineEnds(csv) != lines.size() + 3)
        abort();
    if (!txt.endsWith("\r\n\r\n") || !csv.endsWith("\r\n\r\n"))
        abort();
    return 0;
}
