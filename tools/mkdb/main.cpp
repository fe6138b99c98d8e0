// lumivo-mkdb: makes what the program reads, from files we keep in the repository:
// the number database from a prefix table, and the letter-pair encoded version file.

#include "lookup/DecryptAUCG.h"
#include "lookup/cDBBuilder.h"
#include "lookup/modAppInfo.h"
#include "lookup/modFileIO.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const QString ProgramName = QStringLiteral("lumivo-mkdb");

const QString Description = QStringLiteral(
    "Makes what Lumivo reads: the number database and the update server's version file.\n"
    "\n"
    "Commands:\n"
    "  build    builds a number database from a \"prefix,code\" table\n"
    "  encode   writes a text in the letter-pair code of the version file\n"
    "  decode   reads a version file back as plain text\n"
    "See \"lumivo-mkdb COMMAND --help\" for the options of a command.\n"
    "Exit status: 0 on success, 2 on any error (nothing is written then).");

// No version file comes near this; anything larger is not one.
constexpr qint64 MaxVersionFileBytes = 64 * 1024;
// Every 9-digit block of the three prefixes, one "prefix,code" line each, is
// 48 MB; a larger table (or a device that never ends) is refused.
constexpr qint64 MaxTableBytes = 64LL * 1024 * 1024;

int Fail(const QString& strMessage) {
    QTextStream(stderr) << ProgramName << ": " << strMessage << Qt::endl;
    return 2;
}

// A command line we cannot run: the reason, the usage line and where to find more.
int UsageError(const QCommandLineParser& parser, const QString& strWhy,
               const QString& strCommand = QString()) {
    const QString strHelp =
        strCommand.isEmpty() ? QStringLiteral("--help") : strCommand + " --help";
    QTextStream(stderr) << ProgramName << ": " << strWhy << '\n'
                        << parser.helpText().section(u'\n', 0, 0) << '\n'
                        << "Try \"" << ProgramName << ' ' << strHelp << "\" for more." << Qt::endl;
    return 2;
}

// Standard output that cannot take the bytes (a full disk) is an error, not a
// silently shortened answer.
int WriteOut(const QByteArray& bytes) {
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()) ||
        std::fflush(stdout) != 0)
        return Fail(QStringLiteral("cannot write to standard output: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno ? errno : EIO))));
    return 0;
}

// A command's parser: what it does and the command's name as its first argument.
void DescribeCommand(QCommandLineParser& parser, const QString& strCommand,
                     const QString& strDescription) {
    parser.setApplicationDescription(strDescription);
    parser.addPositionalArgument(strCommand, QStringLiteral("The command."));
}

// Parses a command's own arguments (the command name first); help exits here.
// Returns the usage error's status, or 0 when the command may run.
int ParseCommand(QCommandLineParser& parser, const QStringList& args) {
    const QCommandLineOption help = parser.addHelpOption();
    if (!parser.parse(args))
        return UsageError(parser, parser.errorText(), args.at(1));
    if (parser.isSet(help))
        parser.showHelp(0);
    return 0;
}

int Build(const QStringList& args) {
    QCommandLineParser parser;
    DescribeCommand(
        parser, QStringLiteral("build"),
        QStringLiteral("Builds a number database from a table of \"prefix,code\" lines (prefixes "
                       "of 6 to 9 digits beginning 090, 080 or 070; '#' starts a comment line).\n"
                       "A table that is inconsistent or lists no block is refused; an existing "
                       "FILE is replaced only by a complete database."));
    const QCommandLineOption table(QStringLiteral("table"), QStringLiteral("The table to read."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption date(QStringLiteral("date"),
                                  QStringLiteral("The database date, YYYYMMDD."),
                                  QStringLiteral("YYYYMMDD"));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("The database version, 4 digits."),
                                     QStringLiteral("NNNN"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("The database to write."),
                                 QStringLiteral("FILE"));
    parser.addOptions({table, date, version, out});
    if (const int status = ParseCommand(parser, args))
        return status;
    if (parser.positionalArguments().size() != 1)
        return UsageError(parser, QStringLiteral("build takes no arguments besides its options"),
                          QStringLiteral("build"));
    for (const QCommandLineOption& required : {table, date, version, out})
        if (!parser.isSet(required))
            return UsageError(parser,
                              QStringLiteral("build needs --%1").arg(required.names().first()),
                              QStringLiteral("build"));

    const QString tablePath = parser.value(table);
    QFile file(tablePath);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("cannot read %1: %2").arg(tablePath, file.errorString()));
    QByteArray bytes;
    while (bytes.size() <= MaxTableBytes) {
        const QByteArray chunk = file.read(1 << 20);
        if (chunk.isEmpty())
            break;
        bytes += chunk;
    }
    if (bytes.size() > MaxTableBytes)
        return Fail(QStringLiteral("%1: larger than %2 bytes, not a prefix table")
                        .arg(tablePath)
                        .arg(MaxTableBytes));
    cDBBuilder builder;
    if (!builder.AddTableText(QString::fromUtf8(bytes), tablePath))
        return Fail(tablePath + QStringLiteral(": ") + builder.ErrorText());
    const QString outPath = parser.value(out);
    if (!builder.BuildFile(outPath, parser.value(date), parser.value(version)))
        return Fail(builder.ErrorText());
    return WriteOut(
        QStringLiteral("%1: %2 records\n").arg(outPath).arg(builder.RecordCount()).toUtf8());
}

int Encode(const QStringList& args) {
    QCommandLineParser parser;
    DescribeCommand(
        parser, QStringLiteral("encode"),
        QStringLiteral("Writes TEXT in the letter-pair code of the version file, for example\n"
                       "\"130 1001 spring update!host/download/1001.dat \"."));
    parser.addPositionalArgument(QStringLiteral("TEXT"), QStringLiteral("The text to encode."));
    const QCommandLineOption offset(QStringLiteral("offset"),
                                    QStringLiteral("The offset, 0 to 99 (random without it)."),
                                    QStringLiteral("K"));
    const QCommandLineOption out(
        QStringLiteral("out"),
        QStringLiteral("The file to write (standard output without it); an existing file is "
                       "replaced only by the complete text."),
        QStringLiteral("FILE"));
    parser.addOptions({offset, out});
    if (const int status = ParseCommand(parser, args))
        return status;
    if (parser.positionalArguments().size() != 2)
        return UsageError(parser, QStringLiteral("encode takes exactly one TEXT"),
                          QStringLiteral("encode"));

    int intOffset = QRandomGenerator::global()->bounded(100);
    if (parser.isSet(offset)) {
        bool ok = false;
        intOffset = parser.value(offset).toInt(&ok);
        if (!ok || intOffset < 0 || intOffset > 99)
            return UsageError(parser, QStringLiteral("the offset must be a number from 0 to 99"),
                              QStringLiteral("encode"));
    }
    const auto encoded = DecryptAUCG::EncodeText(parser.positionalArguments().at(1), intOffset,
                                                 QRandomGenerator::global());
    if (!encoded)
        return Fail(QStringLiteral("the text holds a character without a one-byte code"));

    if (!parser.isSet(out))
        return WriteOut(encoded->toLatin1() + '\n');
    const QString outPath = parser.value(out);
    const QString strWhy = modFileIO::WriteFileWhole(outPath, encoded->toLatin1());
    if (!strWhy.isEmpty())
        return Fail(QStringLiteral("cannot write %1: %2").arg(outPath, strWhy));
    return 0;
}

int Decode(const QStringList& args) {
    QCommandLineParser parser;
    DescribeCommand(
        parser, QStringLiteral("decode"),
        QStringLiteral("Decodes a version file as the program does and prints its plain text.\n"
                       "A file whose check digit does not match is an error."));
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The version file (standard input without it)."),
                                 QStringLiteral("[FILE]"));
    if (const int status = ParseCommand(parser, args))
        return status;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 2)
        return UsageError(parser, QStringLiteral("decode takes at most one FILE"),
                          QStringLiteral("decode"));

    const QString path = positional.size() == 2 ? positional[1] : QStringLiteral("-");
    const bool blnStdin = path == u"-";
    QFile file(blnStdin ? QString() : path);
    const bool opened =
        blnStdin ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    if (!opened)
        return Fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.read(MaxVersionFileBytes + 1);
    if (bytes.size() > MaxVersionFileBytes)
        return Fail(QStringLiteral("%1: larger than %2 bytes, not a version file")
                        .arg(path)
                        .arg(MaxVersionFileBytes));
    bool blnDigitError = false;
    const QString plain =
        DecryptAUCG::DecodeText(QStringDecoder("windows-31j").decode(bytes), &blnDigitError);
    if (blnDigitError)
        return Fail(QStringLiteral("%1: the check digit does not match").arg(path));
    if (plain.isEmpty())
        return Fail(QStringLiteral("%1: holds no letter-pair encoded text").arg(path));
    return WriteOut(plain.toUtf8() + '\n');
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(ProgramName);
    QCoreApplication::setApplicationVersion(modAppInfo::VersionLabel());

    QCommandLineParser parser;
    parser.setApplicationDescription(Description);
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("build, encode or decode."),
                                 QStringLiteral("COMMAND [ARGUMENTS]"));
    // Everything after the command is the command's own.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(app.arguments()))
        return UsageError(parser, parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return UsageError(parser, QStringLiteral("no command given"));

    const QStringList commandArgs = QStringList(app.arguments().first()) + positional;
    const QString& command = positional.first();
    if (command == u"build")
        return Build(commandArgs);
    if (command == u"encode")
        return Encode(commandArgs);
    if (command == u"decode")
        return Decode(commandArgs);
    return UsageError(parser, QStringLiteral("unknown command \"%1\"").arg(command));
}
