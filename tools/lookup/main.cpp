// SPDX-License-Identifier: Apache-2.0
// lumivo-lookup: the window's search from the command line, for scripts and
// whole lists of numbers. It answers exactly what the result box would show.

#include "cAnswerWriter.h"
#include "cNumberDB.h"
#include "modAppInfo.h"
#include "modDataFolder.h"
#include "modNumberForm.h"
#include "modText.h"
#include "modToolIO.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QStringDecoder>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// %1: the database read by default.
const char* const Description =
    "Looks numbers up in the number database, exactly as the Lumivo window searches.\n"
    "\n"
    "Database: by default the one the window reads: your own copy in your data\n"
    "folder (where the window's updates go), made from the db.dat beside this\n"
    "program and made again when that one is newer. A copy run from a folder of its\n"
    "own (a build folder, an unpacked archive) keeps its database beside itself.\n"
    "Before reading, the folder is prepared exactly as the window prepares it: what\n"
    "an update cut off is settled (a missing db.dat restored from its backup) and\n"
    "your copy is made. With --db nothing is copied or written.\n"
    "Default here: %1\n"
    "\n"
    "Numbers are taken as people write them: surrounding blanks are dropped; spaces\n"
    "(also U+3000), hyphens and dashes (- \u2010 \u2011 \u2012 \u2013 \u2014 \u2015 \u2212 \uFF0D "
    "\u30FC \uFF70), dots and\n"
    "parentheses (also full-width) are removed, full-width digits folded, and +81 or\n"
    "0081 before 90, 80 or 70 is read as 0 (\"+81 90-1234-5678\" is searched as\n"
    "09012345678). A number written that way must come to a whole 11-digit mobile\n"
    "number; otherwise it is checked as typed, and refused as the window refuses it\n"
    "(\"090-1234-567\"). Digits alone are checked as the window checks them (7 to 11\n"
    "digits). --strict checks every number exactly as typed.\n"
    "\n"
    "Without NUMBER, reads numbers from standard input, one per line (UTF-8 unless\n"
    "a byte order mark says otherwise); from a pipe or a terminal each answer is\n"
    "written as soon as its line ends. Every line gets one answer line, a blank one\n"
    "too (refused as the window refuses an empty box). A line longer than 1024 bytes\n"
    "is no number: it is refused and shown as its first 40 characters and \"…\".\n"
    "\n"
    "tsv and csv: one line per number: the number as given, the final carrier code\n"
    "(\"-\" when the number is refused) and the text the result box shows. As tsv,\n"
    "the three fields are TAB-separated, control and format characters (NUL,\n"
    "direction marks) and \"\\\" written as \\t, \\n, \\r, \\xHH, \\uHHHH, \\\\; as csv, a\n"
    "header line comes first, fields are quoted where needed, control and format\n"
    "characters but TAB, CR and LF are written as \\xHH, \\uHHHH, a field that a\n"
    "spreadsheet would take for a formula (=, +, -, @, TAB or CR first) gets a ' in\n"
    "front, and lines end in CR LF. A character beyond U+FFFF is escaped as JSON\n"
    "does, as two \\uHHHH (a UTF-16 surrogate pair: \\udb40\\udc01 for U+E0001).\n"
    "Both are UTF-8, csv with a byte order mark first (so that spreadsheets read it\n"
    "as UTF-8); --encoding cp932 writes them in Shift_JIS instead (a character it\n"
    "lacks becomes \"?\").\n"
    "jsonl: one JSON object per line, in UTF-8: \"number\" as given, \"searched\" (the\n"
    "text checked and searched), \"code\" (null when refused), \"text\" (what the\n"
    "result box shows) and \"refusal\" (null, or prefix, too-short, too-long or\n"
    "not-digits).\n"
    "\n"
    "Examples:\n"
    "  lumivo-lookup \"090 1234 5678\"                  tsv, for scripts\n"
    "  lumivo-lookup --format csv < in.txt > out.csv   csv for a spreadsheet\n"
    "  lumivo-lookup --format jsonl +819012345678      jsonl for programs\n"
    "\n"
    "Exit status: 0 when every answer was written; 2 when the options are wrong,\n"
    "the database cannot be read or lacks its date and version, standard input\n"
    "cannot be read or the answers cannot be written (each with a message on\n"
    "standard error).";

// One line, as a usage error has.
const char* const UsageLine =
    "Usage: lumivo-lookup [--db FILE] [--allow-no-tail] [--strict] [--verbose]"
    " [--format tsv|csv|jsonl] [--encoding utf-8|cp932] [NUMBER ...]\n";

// A command line that cannot run: the reason and the usage.
int UsageError(const QString& strWhy) {
    modToolIO::Message(QStringLiteral("lumivo-lookup: ") + strWhy + u'\n' +
                       QString::fromLatin1(UsageLine).trimmed());
    return 2;
}

// Searching one number reads the database about once or twice; building the
// key index reads it once more slowly. Both grow with the database, so the
// size drops out: measured on a 50 MB database, one number costs 11 ms of
// searching and the index 70 ms, so from 7 numbers on the index is cheaper.
constexpr qsizetype IndexFromNumbers = 7;

// Standard input is read in blocks of this size.
constexpr qsizetype BlockBytes = 1 << 20;
// A longer line is no number. It is refused without being held whole (its
// refusal depends only on its first three characters and its length), and
// shown by its first characters.
constexpr qsizetype MaxLineBytes = 1024;
constexpr qsizetype ShownOfLongLine = 40;

// Why the user's copy is passed over or was not made, for --verbose.
QString CopyProblemText(const modDataFolder::tDataFolder& data) {
    using enum modDataFolder::eCopyProblem;
    const char* const what = data.problem == OwnUnreadable         ? "passing over the user's copy"
                             : data.problem == FolderNotMade       ? "cannot make the user's folder"
                             : data.problem == InstalledUnreadable ? "cannot copy"
                                                                   : "cannot write the user's copy";
    return QStringLiteral("lumivo-lookup: %1 %2: %3")
        .arg(QLatin1StringView(what), QDir::toNativeSeparators(data.strPath),
             modToolIO::IoErrorText(data.error));
}

int Fail(const QString& strWhy) {
    modToolIO::Message(QStringLiteral("lumivo-lookup: ") + strWhy);
    return 2;
}

// Help and version: standard output that cannot take them is an error too.
int PrintOut(const QString& strText) {
    const QString strWhy = modToolIO::WriteAll(STDOUT_FILENO, strText.toUtf8());
    return strWhy.isEmpty() ? 0
                            : Fail(QStringLiteral("cannot write to standard output: ") + strWhy);
}

// Whether these first bytes could still grow into a byte order mark.
bool MayStartByteOrderMark(QByteArrayView bytHead) {
    const QByteArrayView marks[] = {QByteArrayView("\xEF\xBB\xBF"), QByteArrayView("\xFE\xFF"),
                                    QByteArrayView("\xFF\xFE\0\0", 4),
                                    QByteArrayView("\0\0\xFE\xFF", 4)};
    for (QByteArrayView mark : marks)
        if (bytHead.size() < mark.size() && mark.startsWith(bytHead))
            return true;
    return false;
}

// Answers one number as given (bytUtf8: the same in UTF-8, when at hand):
// as written, or in the form people's ways of writing it come down to.
void AnswerNumber(const cNumberDB& db, cAnswerWriter& writer, bool blnStrict, QStringView strGiven,
                  QByteArrayView bytUtf8 = {}) {
    QString buffer;
    writer.Answer(db, strGiven, blnStrict ? strGiven : modNumberForm::SearchForm(strGiven, buffer),
                  bytUtf8);
}

// Answers one line of standard input, without its line end: every line, a
// blank one too, so that answers and lines pair up. A short ASCII line, the
// usual number, is looked up from a buffer on the stack.
void AnswerLine(const cNumberDB& db, cAnswerWriter& writer, bool blnStrict,
                QByteArrayView bytLine) {
    if (bytLine.endsWith('\r'))
        bytLine.chop(1);
    if (bytLine.size() > MaxLineBytes) {
        const QString text = QString::fromUtf8(bytLine.first(MaxLineBytes));
        const qsizetype shown = ShownOfLongLine - text[ShownOfLongLine - 1].isHighSurrogate();
        return AnswerNumber(db, writer, blnStrict, text.left(shown) + u'…');
    }
    char16_t wide[64];
    bool ascii = bytLine.size() <= qsizetype(std::size(wide));
    for (qsizetype i = 0; ascii && i < bytLine.size(); ++i)
        ascii = uchar(bytLine[i]) < 0x80;
    if (!ascii)
        return AnswerNumber(db, writer, blnStrict, QString::fromUtf8(bytLine));
    for (qsizetype i = 0; i < bytLine.size(); ++i)
        wide[i] = uchar(bytLine[i]);
    AnswerNumber(db, writer, blnStrict, QStringView(wide, bytLine.size()), bytLine);
}

// Answers every line that ends in these UTF-8 bytes, the first one after the
// part of it held in *pbytPending; the part after the last line end waits
// there. Of a long line only as much is held as shows that it is long.
void AnswerEndedLines(const cNumberDB& db, cAnswerWriter& writer, bool blnStrict,
                      QByteArrayView bytUtf8, QByteArray* pbytPending) {
    const auto keep = [pbytPending](QByteArrayView bytPart) {
        pbytPending->append(
            bytPart.first(qMin(bytPart.size(), MaxLineBytes + 2 - pbytPending->size())));
    };
    const char* from = bytUtf8.data();
    const char* const end = from + bytUtf8.size();
    for (const char* nl;
         from != end && (nl = static_cast<const char*>(memchr(from, '\n', size_t(end - from))));
         from = nl + 1) {
        if (pbytPending->isEmpty()) {
            AnswerLine(db, writer, blnStrict, QByteArrayView(from, nl - from));
            continue;
        }
        keep(QByteArrayView(from, nl - from));
        AnswerLine(db, writer, blnStrict, *pbytPending);
        pbytPending->clear();
    }
    keep(QByteArrayView(from, end - from));
}

// Standard input, one number per line. Lines are split as UTF-8 bytes (other
// encodings, named by a byte order mark, are turned into UTF-8 first). A file
// is answered in large blocks; a pipe or a terminal gets each answer as soon
// as its line is complete, so that a caller may write a number and wait for it.
// False, with the reason, when standard input cannot be read.
bool AnswerStream(const cNumberDB& db, cAnswerWriter& writer, bool blnStrict, QString* pstrWhy) {
    struct stat st;
    const bool blnFile = fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode);
    QByteArray pending; // the line not yet ended
    QByteArray block(BlockBytes, Qt::Uninitialized);
    QByteArray head; // the first bytes, until they show their encoding
    bool blnEncodingKnown = false;
    std::optional<QStringDecoder> decoder; // for an encoding other than UTF-8
    for (;;) {
        const qint64 got = modToolIO::ReadSome(STDIN_FILENO, block.data(), BlockBytes, pstrWhy);
        if (got < 0)
            return false;
        QByteArrayView bytes(block.constData(), got);
        if (!blnEncodingKnown) {
            head += bytes;
            if (got > 0 && MayStartByteOrderMark(head))
                continue;
            blnEncodingKnown = true;
            const auto encoding = QStringConverter::encodingForData(head);
            if (encoding && *encoding != QStringConverter::Utf8)
                decoder.emplace(*encoding);
            bytes = head;
            if (!decoder && bytes.startsWith("\xEF\xBB\xBF"))
                bytes = bytes.sliced(3);
        }
        if (decoder)
            AnswerEndedLines(db, writer, blnStrict,
                             decoder->decode(bytes).operator QString().toUtf8(), &pending);
        else
            AnswerEndedLines(db, writer, blnStrict, bytes, &pending);
        head.clear();
        if (got == 0) {
            if (!pending.isEmpty()) // a last line without a line end
                AnswerLine(db, writer, blnStrict, pending);
            return true;
        }
        // Once the answers cannot be written, reading on is of no use.
        if (blnFile ? writer.Failed() : !writer.Flush())
            return true;
    }
}

// What the command line asks for.
struct tOptions {
    bool blnDBGiven = false; // --db, with strDBPath (which may be empty)
    QString strDBPath;
    bool blnAllowNoTail = false;
    bool blnStrict = false;
    bool blnVerbose = false;
    cAnswerWriter::eFormat format = cAnswerWriter::eFormat::Tsv;
    bool blnCp932 = false;
    QStringList lstNumbers;
};

// The database read without --db, as the help names it: found without
// preparing anything; where the copy is due, the copy.
QString DefaultDBPath(const QString& strProgramDir) {
    const modDataFolder::tDataFolder window = modDataFolder::WindowDataFolder(strProgramDir);
    return modDataFolder::DBPath(window.blnCopy ? modDataFolder::UserDataFolder()
                                                : window.strFolder);
}

// The options and arguments, in the order the help lists them.
void DescribeCommandLine(QCommandLineParser& parser, const QString& strDefaultDB) {
    parser.setApplicationDescription(
        QString::fromUtf8(Description).arg(QDir::toNativeSeparators(strDefaultDB)));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions(
        {{QStringLiteral("db"),
          QStringLiteral("The number database to read (default: the window's, see above)."),
          QStringLiteral("FILE")},
         {QStringLiteral("allow-no-tail"),
          QStringLiteral("Reads a database that does not end in its date and version (with a "
                         "warning); without it such a file is refused.")},
         {QStringLiteral("strict"),
          QStringLiteral("Checks each number exactly as typed, as the window's box does.")},
         {QStringLiteral("format"), QStringLiteral("tsv (the default), csv or jsonl."),
          QStringLiteral("FORMAT"), QStringLiteral("tsv")},
         {QStringLiteral("encoding"),
          QStringLiteral("utf-8 (the default) or cp932 (Shift_JIS; tsv and csv only)."),
          QStringLiteral("ENCODING"), QStringLiteral("utf-8")},
         {QStringLiteral("verbose"),
          QStringLiteral("Tells on standard error which database file is read.")}});
    parser.addPositionalArgument(QStringLiteral("NUMBER"), QStringLiteral("Numbers to look up."),
                                 QStringLiteral("[NUMBER ...]"));
}

// Reads the command line into *pOptions. Returns the exit status when that is
// all (a usage error, or the help or the version shown); nothing when numbers
// are to be looked up.
std::optional<int> ParseOptions(const QStringList& lstArgs, const QString& strDefaultDB,
                                tOptions* pOptions) {
    QCommandLineParser parser;
    DescribeCommandLine(parser, strDefaultDB);
    if (!parser.parse(lstArgs))
        return UsageError(parser.errorText());
    // Qt's --help-all adds only Qt's options of a window program, which this is not.
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        return PrintOut(parser.helpText());
    if (parser.isSet(QStringLiteral("version")))
        return PrintOut(QStringLiteral("lumivo-lookup %1\n").arg(modAppInfo::VersionLabel()));
    const QString format = parser.value(QStringLiteral("format"));
    const QString encoding = parser.value(QStringLiteral("encoding"));
    if (format != u"tsv" && format != u"csv" && format != u"jsonl")
        return UsageError(QStringLiteral("unknown format '%1'").arg(format));
    if (encoding != u"utf-8" && encoding != u"cp932")
        return UsageError(QStringLiteral("unknown encoding '%1'").arg(encoding));
    if (format == u"jsonl" && encoding != u"utf-8")
        return UsageError(QStringLiteral("jsonl is written in UTF-8 only"));

    pOptions->blnDBGiven = parser.isSet(QStringLiteral("db"));
    pOptions->strDBPath = parser.value(QStringLiteral("db"));
    pOptions->blnAllowNoTail = parser.isSet(QStringLiteral("allow-no-tail"));
    pOptions->blnStrict = parser.isSet(QStringLiteral("strict"));
    pOptions->blnVerbose = parser.isSet(QStringLiteral("verbose"));
    pOptions->format = format == u"csv"     ? cAnswerWriter::eFormat::Csv
                       : format == u"jsonl" ? cAnswerWriter::eFormat::Jsonl
                                            : cAnswerWriter::eFormat::Tsv;
    pOptions->blnCp932 = encoding == u"cp932";
    pOptions->lstNumbers = parser.positionalArguments();
    return std::nullopt;
}

// The database file to read: --db, or the window's, whose folder is recovered
// and copied as the window's start does, so that both read one file.
QString ChooseDatabase(const tOptions& options, const QString& strProgramDir) {
    QString dbPath = options.strDBPath;
    if (!options.blnDBGiven) {
        const modDataFolder::tDataFolder data =
            modDataFolder::PrepareDataFolder(strProgramDir, modDataFolder::UserDataFolder());
        dbPath = modDataFolder::DBPath(data.strFolder);
        if (options.blnVerbose && data.problem != modDataFolder::eCopyProblem::None)
            modToolIO::Message(CopyProblemText(data));
    }
    if (options.blnVerbose)
        modToolIO::Message(QStringLiteral("lumivo-lookup: reading ") +
                           QDir::toNativeSeparators(dbPath));
    return dbPath;
}

// Loads the database. Returns the exit status when it cannot be used; nothing
// when it is loaded.
std::optional<int> LoadDatabase(cNumberDB& db, const QString& strPath, bool blnAllowNoTail) {
    if (!db.LoadDB(strPath))
        return Fail(QStringLiteral("cannot read the number database %1: %2")
                        .arg(strPath, modToolIO::IoErrorText(db.LastError())));
    if (!db.HasValidTail()) {
        // Any file loads; without its tail it is most likely not a database at all.
        const QString strWhy =
            QStringLiteral("%1 does not end in a database date and version").arg(strPath);
        if (!blnAllowNoTail)
            return Fail(strWhy + QStringLiteral(" (--allow-no-tail reads it anyway)"));
        modToolIO::Message(QStringLiteral("lumivo-lookup: warning: ") + strWhy);
    }
    return std::nullopt;
}

// Answers the numbers given, or else every line of standard input; the exit status.
int AnswerAll(cNumberDB& db, const tOptions& options) {
    if (options.lstNumbers.isEmpty() || options.lstNumbers.size() >= IndexFromNumbers)
        db.BuildIndex();
    cAnswerWriter writer(options.format, options.blnCp932);
    QString why;
    if (options.lstNumbers.isEmpty() && !AnswerStream(db, writer, options.blnStrict, &why)) {
        writer.Flush(); // the answers to the lines read whole
        return Fail(QStringLiteral("cannot read standard input: %1").arg(why));
    }
    for (const QString& number : options.lstNumbers)
        AnswerNumber(db, writer, options.blnStrict, number);
    if (!writer.Flush())
        return Fail(QStringLiteral("cannot write the answers: %1").arg(writer.ErrorText()));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    modToolIO::GuardStandardStreams();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumivo-lookup"));
    QCoreApplication::setApplicationVersion(modAppInfo::VersionLabel());

    const QString programDir = modDataFolder::ProgramFolder();
    tOptions options;
    if (const std::optional<int> status =
            ParseOptions(app.arguments(), DefaultDBPath(programDir), &options))
        return *status;
    cNumberDB db;
    if (const std::optional<int> status =
            LoadDatabase(db, ChooseDatabase(options, programDir), options.blnAllowNoTail))
        return *status;
    return AnswerAll(db, options);
}
