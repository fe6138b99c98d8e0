// lumivo-mkdb: makes what the program reads, from files we keep in the repository:
// the number database from a prefix table, and the letter-pair encoded version file.

#include "lookup/DecryptAUCG.h"
#include "lookup/cDBBuilder.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStringEncoder>
#include <QTextStream>

namespace {

const char* const Usage =
    "Usage:\n"
    "  lumivo-mkdb build --table FILE --date YYYYMMDD --version NNNN --out FILE\n"
    "      Builds a number database from a table of \"prefix,code\" lines (prefixes of\n"
    "      6 to 9 digits beginning 090, 080 or 070; '#' starts a comment line).\n"
    "      Nothing is written when the table is inconsistent.\n"
    "  lumivo-mkdb encode [--offset K] [--out FILE] TEXT\n"
    "      Writes TEXT in the letter-pair code of the version file (to standard output\n"
    "      without --out). K (0-99) is the offset; a random one is taken without it.\n"
    "      The version file's text is, for example: \"130 1001 new numbers!host/path/db.dat \"\n";

int Fail(const QString& message) {
    QTextStream(stderr) << "lumivo-mkdb: " << message << Qt::endl;
    return 2;
}

// "--name value" pairs; anything else is positional.
struct tArgs {
    QMap<QString, QString> options;
    QStringList positional;
};

std::optional<tArgs> ParseArgs(const QStringList& args, const QStringList& known, QString* error) {
    tArgs parsed;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i].startsWith(QStringLiteral("--"))) {
            if (!known.contains(args[i]) || i + 1 >= args.size()) {
                *error = QStringLiteral("unknown option or missing value: %1").arg(args[i]);
                return std::nullopt;
            }
            parsed.options.insert(args[i], args[i + 1]);
            ++i;
        } else {
            parsed.positional.append(args[i]);
        }
    }
    return parsed;
}

int Build(const QStringList& args) {
    QString error;
    const auto parsed =
        ParseArgs(args, {u"--table"_qs, u"--date"_qs, u"--version"_qs, u"--out"_qs}, &error);
    if (!parsed)
        return Fail(error);
    for (const QString& required : {u"--table"_qs, u"--date"_qs, u"--version"_qs, u"--out"_qs})
        if (!parsed->options.contains(required))
            return Fail(QStringLiteral("build needs %1").arg(required));

    const QString tablePath = parsed->options.value(u"--table"_qs);
    QFile table(tablePath);
    if (!table.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("cannot read %1: %2").arg(tablePath, table.errorString()));
    cDBBuilder builder;
    if (!builder.AddTableText(QString::fromUtf8(table.readAll()), tablePath))
        return Fail(tablePath + QStringLiteral(": ") + builder.ErrorText());
    const QString outPath = parsed->options.value(u"--out"_qs);
    if (!builder.BuildFile(outPath, parsed->options.value(u"--date"_qs),
                           parsed->options.value(u"--version"_qs)))
        return Fail(builder.ErrorText());
    QTextStream(stdout) << outPath << ": " << builder.RecordCount() << " records" << Qt::endl;
    return 0;
}

int Encode(const QStringList& args) {
    QString error;
    const auto parsed = ParseArgs(args, {u"--offset"_qs, u"--out"_qs}, &error);
    if (!parsed)
        return Fail(error);
    if (parsed->positional.size() != 1)
        return Fail(QStringLiteral("encode takes exactly one TEXT"));

    int offset = QRandomGenerator::global()->bounded(100);
    if (parsed->options.contains(u"--offset"_qs)) {
        bool ok = false;
        offset = parsed->options.value(u"--offset"_qs).toInt(&ok);
        if (!ok || offset < 0 || offset > 99)
            return Fail(QStringLiteral("the offset must be a number from 0 to 99"));
    }
    const auto encoded =
        DecryptAUCG::EncodeText(parsed->positional.first(), offset, QRandomGenerator::global());
    if (!encoded)
        return Fail(QStringLiteral("the text holds a character without a one-byte code"));

    if (!parsed->options.contains(u"--out"_qs)) {
        QTextStream(stdout) << *encoded << Qt::endl;
        return 0;
    }
    const QString outPath = parsed->options.value(u"--out"_qs);
    QSaveFile out(outPath);
    const QByteArray bytes = encoded->toLatin1();
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        return Fail(QStringLiteral("cannot write %1: %2").arg(outPath, out.errorString()));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.first() == u"--help" || args.first() == u"-h") {
        QTextStream(args.isEmpty() ? stderr : stdout) << Usage;
        return args.isEmpty() ? 2 : 0;
    }
    const QString command = args.takeFirst();
    if (command == u"build")
        return Build(args);
    if (command == u"encode")
        return Encode(args);
    return Fail(QStringLiteral("unknown command %1 (see --help)").arg(command));
}
