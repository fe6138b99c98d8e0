// SPDX-License-Identifier: Apache-2.0
// lumivo-mkdb: makes what the program reads, from files we keep in the repository:
// the number database from a prefix table, and the letter-pair encoded version file.

#include "DecryptAUCG.h"
#include "cDBBuilder.h"
#include "cNumberDB.h"
#include "modAppInfo.h"
#include "modText.h"
#include "modToolIO.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>

#include <optional>

#include <unistd.h>

namespace {

const QString ProgramName = QStringLiteral("lumivo-mkdb");

const QString Description =
    QStringLiteral("Makes what Lumivo reads: the number database and the update server's version\n"
                   "file.\n"
                   "\n"
                   "Commands:\n"
                   "  build    builds a number database from a \"prefix,code\" table\n"
                   "  encode   writes a text in the letter-pair code of the version file\n"
                   "  decode   reads a version file back as plain text, or shows what a\n"
                   "           number database holds besides its records\n"
                   "See \"lumivo-mkdb COMMAND --help\" for the options of a command.\n"
                   "\n"
                   "The --out FILE of build and encode: \"-\" is standard output. A regular file,\n"
                   "or a link to one, is replaced only by the complete new file; a device or a\n"
                   "FIFO, named or linked to, and what a link in /dev or /proc leads to\n"
                   "(/dev/stdout) is written directly, the link kept; a link to a folder or to\n"
                   "nothing is refused.\n"
                   "\n"
                   "Exit status: 0 when the output was written whole (a summary line that cannot\n"
                   "be shown only draws a warning); 2 on any error, with a message.");

// No version file comes near this; anything larger is not one.
constexpr qint64 MaxVersionFileBytes = 64 * 1024;
// Every 9-digit block of the three prefixes, one "prefix,code" line each, is
// 48 MB; a larger table (or a device that never ends) is refused.
constexpr qint64 MaxTableBytes = 64LL * 1024 * 1024;

int Fail(const QString& strMessage) {
    modToolIO::Message(ProgramName + QStringLiteral(": ") + strMessage);
    return 2;
}

// The help, its usage line with a command's name before the command's options
// (Qt writes "[options]" first, where the main program's options would go).
QString HelpText(const QCommandLineParser& parser, const QString& strCommand = QString()) {
    QString text = parser.helpText();
    if (!strCommand.isEmpty())
        text.replace(QStringLiteral(" [options] ") + strCommand,
                     u' ' + strCommand + QStringLiteral(" [options]"));
    return text;
}

// Whether the help was asked for: --help-all too, which adds nothing here (Qt's
// own options are a window program's).
bool HelpAsked(const QCommandLineParser& parser) {
    return parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"));
}

// A command line we cannot run: the reason, the usage line and where to find more.
int UsageError(const QCommandLineParser& parser, const QString& strWhy,
               const QString& strCommand = QString()) {
    const QString strHelp =
        strCommand.isEmpty() ? QStringLiteral("--help") : strCommand + " --help";
    modToolIO::Message(
        QStringLiteral("%1: %2\n%3\nTry \"%1 %4\" for more.")
            .arg(ProgramName, strWhy, HelpText(parser, strCommand).section(u'\n', 0, 0), strHelp));
    return 2;
}

// Standard output that cannot take the bytes (a full disk) is an error, not a
// silently shortened answer.
int WriteOut(const QByteArray& bytData) {
    const QString strWhy = modToolIO::WriteAll(STDOUT_FILENO, bytData);
    return strWhy.isEmpty() ? 0
                            : Fail(QStringLiteral("cannot write to standard output: ") + strWhy);
}

// Opens the file, or standard input for "-", into file and reads it to its end,
// but no more than lngMax + 1 bytes (more than lngMax: it is not what was asked
// for). Nothing, with the reason, when it cannot be opened or a read fails at
// any point: a part is never taken for the whole.
std::optional<QByteArray> ReadInput(QFile& file, const QString& strPath, qint64 lngMax,
                                    QString* pstrWhy) {
    file.setFileName(strPath == u"-" ? QString() : strPath);
    tIoError::ClearLastSystemCode();
    if (!(strPath == u"-" ? file.open(STDIN_FILENO, QIODevice::ReadOnly)
                          : file.open(QIODevice::ReadOnly))) {
        *pstrWhy =
            modToolIO::IoErrorText(tIoError::FromFileDevice(file, tIoError::LastSystemCode()));
        return std::nullopt;
    }
    QByteArray bytes;
    for (qsizetype used = 0; used <= lngMax; used = bytes.size()) {
        const qint64 lngChunk = qMin<qint64>(1 << 20, lngMax + 1 - used);
        bytes.resize(used + lngChunk);
        const qint64 got =
            modToolIO::ReadSome(file.handle(), bytes.data() + used, lngChunk, pstrWhy);
        if (got < 0)
            return std::nullopt;
        bytes.resize(used + got);
        if (got == 0)
            break;
    }
    return bytes;
}

// A command's parser: what it does and the command's name as its first argument.
void DescribeCommand(QCommandLineParser& parser, const QString& strCommand,
                     const QString& strDescription) {
    parser.setApplicationDescription(strDescription);
    parser.addPositionalArgument(strCommand, QStringLiteral("The command."));
}

// Parses a command's own arguments (the command name first). Returns the exit
// status when that is all (a usage error, or the help shown); nothing when the
// command may run.
std::optional<int> ParseCommand(QCommandLineParser& parser, const QStringList& lstArgs) {
    parser.addHelpOption();
    if (!parser.parse(lstArgs))
        return UsageError(parser, parser.errorText(), lstArgs.at(1));
    if (HelpAsked(parser))
        return WriteOut(HelpText(parser, lstArgs.at(1)).toUtf8());
    return std::nullopt;
}

int Build(const QStringList& lstArgs) {
    QCommandLineParser parser;
    DescribeCommand(
        parser, QStringLiteral("build"),
        QStringLiteral("Builds a number database from a table of \"prefix,code\" lines\n"
                       "(prefixes of 6 to 9 digits beginning 090, 080, 070 or 0601 to 0609;\n"
                       "'#' starts a comment line). Lines \"carrier,code,text,area\" name a\n"
                       "carrier the program's own table lacks: a code without a row there,\n"
                       "the text shown (up to 40 characters of code page 932, no comma, at\n"
                       "most 4 digits in a row) and the map area (0 to 10, 99 for none); the\n"
                       "database keeps them where no lookup reads them as a record.\n"
                       "A table that is inconsistent, lists no block or cannot be read to its\n"
                       "end is refused, and so is an --out that is the table itself. An\n"
                       "existing FILE is replaced only by a complete database (see\n"
                       "\"lumivo-mkdb --help\" for devices and links)."));
    const QCommandLineOption table(QStringLiteral("table"),
                                   QStringLiteral("The table to read (\"-\": standard input)."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption date(QStringLiteral("date"),
                                  QStringLiteral("The database date, YYYYMMDD."),
                                  QStringLiteral("YYYYMMDD"));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("The database version, 4 digits."),
                                     QStringLiteral("NNNN"));
    const QCommandLineOption out(
        QStringLiteral("out"),
        QStringLiteral("The database to write (\"-\": standard output; the summary line then "
                       "goes to standard error)."),
        QStringLiteral("FILE"));
    parser.addOptions({table, date, version, out});
    if (const std::optional<int> status = ParseCommand(parser, lstArgs))
        return *status;
    if (parser.positionalArguments().size() != 1)
        return UsageError(parser, QStringLiteral("build takes no arguments besides its options"),
                          QStringLiteral("build"));
    for (const QCommandLineOption& required : {table, date, version, out})
        if (!parser.isSet(required))
            return UsageError(parser,
                              QStringLiteral("build needs --%1").arg(required.names().first()),
                              QStringLiteral("build"));

    const QString tablePath = parser.value(table);
    const QString outPath = parser.value(out);
    QFile file;
    QString strWhy;
    const std::optional<QByteArray> bytes = ReadInput(file, tablePath, MaxTableBytes, &strWhy);
    if (!bytes)
        return Fail(QStringLiteral("cannot read %1: %2").arg(tablePath, strWhy));
    // The same file under any name (a link, or standard input) would be replaced by the database.
    if (modToolIO::SameFile(file.handle(), outPath))
        return Fail(QStringLiteral("%1 is the table itself; the database needs another --out")
                        .arg(outPath));
    if (bytes->size() > MaxTableBytes)
        return Fail(QStringLiteral("%1: larger than %2 bytes, not a prefix table")
                        .arg(tablePath)
                        .arg(MaxTableBytes));
    cDBBuilder builder;
    if (!builder.AddTableText(QString::fromUtf8(*bytes), tablePath))
        return Fail(tablePath + QStringLiteral(": ") + builder.ErrorText());
    const std::optional<QString> text =
        builder.BuildText(parser.value(date), parser.value(version));
    if (!text)
        return Fail(builder.ErrorText());
    bool blnStdout = false;
    if (const QString strWhy =
            modToolIO::WriteOutput(outPath, modText::EncodeCp932(*text), &blnStdout);
        !strWhy.isEmpty())
        return Fail(QStringLiteral("cannot write %1: %2").arg(outPath, strWhy));
    // The database is written: a summary that cannot be shown does not undo that.
    QString strSummary = QStringLiteral("%1: %2 records").arg(outPath).arg(builder.RecordCount());
    if (const qsizetype carriers = builder.Carriers().size())
        strSummary +=
            QStringLiteral(", %1 carrier row%2").arg(carriers).arg(carriers > 1 ? "s" : "");
    if (blnStdout)
        modToolIO::Message(strSummary);
    else if (const QString strWhy =
                 modToolIO::WriteAll(STDOUT_FILENO, (strSummary + u'\n').toUtf8());
             !strWhy.isEmpty())
        modToolIO::Message(
            QStringLiteral("%1: warning: %2 written, but standard output took no summary: %3")
                .arg(ProgramName, outPath, strWhy));
    return 0;
}

int Encode(const QStringList& lstArgs) {
    QCommandLineParser parser;
    DescribeCommand(
        parser, QStringLiteral("encode"),
        QStringLiteral("Writes TEXT, which must not be empty, in the letter-pair code of the\n"
                       "version file, for example\n"
                       "\"130 1001 spring update!host/download/1001.dat \"."));
    parser.addPositionalArgument(QStringLiteral("TEXT"), QStringLiteral("The text to encode."));
    const QCommandLineOption offset(QStringLiteral("offset"),
                                    QStringLiteral("The offset, 0 to 99 (random without it)."),
                                    QStringLiteral("K"));
    const QCommandLineOption out(
        QStringLiteral("out"),
        QStringLiteral("The file to write, the text without a line end (\"-\": standard "
                       "output); without it, the text and a line end go to standard output."),
        QStringLiteral("FILE"));
    parser.addOptions({offset, out});
    if (const std::optional<int> status = ParseCommand(parser, lstArgs))
        return *status;
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
    const QString strText = parser.positionalArguments().at(1);
    // Its code would be the offset and a check digit alone, which decode refuses.
    if (strText.isEmpty())
        return Fail(QStringLiteral("an empty TEXT has no code that decode reads back"));
    const auto encoded = DecryptAUCG::EncodeText(strText, intOffset, QRandomGenerator::global());
    if (!encoded)
        return Fail(QStringLiteral("the text holds a character without a one-byte code"));

    if (!parser.isSet(out))
        return WriteOut(encoded->toLatin1() + '\n');
    const QString outPath = parser.value(out);
    bool blnStdout = false;
    if (const QString strWhy = modToolIO::WriteOutput(outPath, encoded->toLatin1(), &blnStdout);
        !strWhy.isEmpty())
        return Fail(QStringLiteral("cannot write %1: %2").arg(outPath, strWhy));
    return 0;
}

// What decode shows of a number database.
QString DatabaseText(const cNumberDB& db) {
    QString text = QStringLiteral("date %1\nversion %2\n").arg(db.DBDate(), db.DBVersion());
    for (const cCarrierSection::tRow& row : db.Carriers().Rows())
        text += cCarrierSection::TableLine(row) + u'\n';
    return text;
}

int Decode(const QStringList& lstArgs) {
    QCommandLineParser parser;
    DescribeCommand(
        parser, QStringLiteral("decode"),
        QStringLiteral("Decodes a version file as the program does and prints its plain text.\n"
                       "A file whose check digit does not match is an error.\n"
                       "A number database (a file ending in its date and version) is shown\n"
                       "instead: \"date YYYYMMDD\", \"version NNNN\", then each carrier row\n"
                       "it names as a table line \"carrier,code,text,area\"."));
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The version file (standard input without it)."),
                                 QStringLiteral("[FILE]"));
    if (const std::optional<int> status = ParseCommand(parser, lstArgs))
        return *status;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 2)
        return UsageError(parser, QStringLiteral("decode takes at most one FILE"),
                          QStringLiteral("decode"));

    const QString path = positional.size() == 2 ? positional[1] : QStringLiteral("-");
    QFile file;
    QString strWhy;
    const std::optional<QByteArray> bytes = ReadInput(file, path, cNumberDB::MaxFileBytes, &strWhy);
    if (!bytes)
        return Fail(QStringLiteral("cannot read %1: %2").arg(path, strWhy));
    // A version file is letter pairs: it never ends in a date and a version.
    cNumberDB db;
    db.SetBytes(*bytes);
    if (db.HasValidTail())
        return WriteOut(DatabaseText(db).toUtf8());
    if (bytes->size() > MaxVersionFileBytes)
        return Fail(QStringLiteral("%1: larger than %2 bytes without a database's date and "
                                   "version: neither a version file nor a number database")
                        .arg(path)
                        .arg(MaxVersionFileBytes));
    bool blnDigitError = false;
    const QString plain = DecryptAUCG::DecodeText(modText::DecodeCp932(*bytes), &blnDigitError);
    if (blnDigitError)
        return Fail(QStringLiteral("%1: the check digit does not match").arg(path));
    if (plain.isEmpty())
        return Fail(QStringLiteral("%1: holds no letter-pair encoded text").arg(path));
    return WriteOut(plain.toUtf8() + '\n');
}

} // namespace

int main(int argc, char* argv[]) {
    modToolIO::GuardStandardStreams();
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
    parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(app.arguments()))
        return UsageError(parser, parser.errorText());
    if (HelpAsked(parser))
        return WriteOut(HelpText(parser).toUtf8());
    if (parser.isSet(version))
        return WriteOut((ProgramName + u' ' + modAppInfo::VersionLabel() + u'\n').toUtf8());
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
