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

// Standard input, one number per line. Lines are split as UTF-8 bytes (other
// encodings, named by a byte order mark, are turned into UTF-8 first); a short
// ASCII line, the usual number, is looked up from a buffer on the stack. A file
// is answered in large blocks; a pipe or a terminal gets each answer as soon
// as its line is complete, so that a caller may write a number and wait for it.
// False, with the reason, when standard input cannot be read.
bool AnswerStream(const cNumberDB& db, cAnswerWriter& writer, bool blnStrict, QString* pstrWhy) {
    struct stat st;
    const bool blnFile = fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode);
    char16_t wide[64];
    // Every bytLine is answered, a blank one too, so that answers and lines pair up.
    auto answerLine = [&](QByteArrayView bytLine) {
        if (bytLine.endsWith('\r'))
            bytLine.chop(1);
        if (bytLine.size() > MaxLineBytes) {
            const QString text = QString::fromUtf8(bytLine.first(MaxLineBytes));
            const qsizetype shown = ShownOfLongLine - text[ShownOfLongLine - 1].isHighSurrogate();
            return AnswerNumber(db, writer, blnStrict, text.left(shown) + u'…');
        }
        bool ascii = bytLine.size() <= qsizetype(std::size(wide));
        for (qsizetype i = 0; ascii && i < bytLine.size(); ++i)
            ascii = uchar(bytLine[i]) < 0x80;
        if (!ascii)
            return AnswerNumber(db, writer, blnStrict, QString::fromUtf8(bytLine));
        for (qsizetype i = 0; i < bytLine.size(); ++i)
            wide[i] = uchar(bytLine[i]);
        AnswerNumber(db, writer, blnStrict, QStringView(wide, bytLine.size()), bytLine);
    };
    // The line not yet ended; of a long one only as much as shows that it is long.
    QByteArray pending;
    auto keep = [&](QByteArrayView bytPart) {
        pending.append(bytPart.first(qMin(bytPart.size(), MaxLineBytes + 2 - pending.size())));
    };
    auto split = [&](QByteArrayView bytUtf8) {
        const char* from = bytUtf8.data();
        const char* const end = from + bytUtf8.size();
        for (const char* nl;
             from != end && (nl = static_cast<const char*>(memchr(from, '\n', size_t(end - from))));
             from = nl + 1) {
            if (pending.isEmpty()) {
                answerLine(QByteArrayView(from, nl - from));
                continue;
            }
            keep(QByteArrayView(from, nl - from));
            answerLine(pending);
            pending.clear();
        }
        keep(QByteArrayView(from, end - from));
    };

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
            split(decoder->decode(bytes).operator QString().toUtf8());
        else
            split(bytes);
        head.clear();
        if (got == 0) {
            if (!pending.isEmpty())
                answerLine(pending); // a last line without a line end
            return true;
        }
        // Once the answers cannot be written, reading on is of no use.
        if (blnFile ? writer.Failed() : !writer.Flush())
            return true;
    }
}

} // namespace

int main(int argc, char* argv[]) {
    modToolIO::GuardStandardStreams();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumivo-lookup"));
    QCoreApplication::setApplicationVersion(modAppInfo::VersionLabel());

    // The help names the default without preparing anything: where the copy is due, the copy.
    const QString programDir = modDataFolder::ProgramFolder();
    const modDataFolder::tDataFolder window = modDataFolder::WindowDataFolder(programDir);
    const QString defaultDB =
        modDataFolder::DBPath(window.blnCopy ? modDataFolder::UserDataFolder() : window.strFolder);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QString::fromUtf8(Description).arg(QDir::toNativeSeparators(defaultDB)));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption dbOption(
        QStringLiteral("db"),
        QStringLiteral("The number database to read (default: the window's, see above)."),
        QStringLiteral("FILE"));
    const QCommandLineOption allowNoTailOption(
        QStringLiteral("allow-no-tail"),
        QStringLiteral("Reads a database that does not end in its date and version (with a "
                       "warning); without it such a file is refused."));
    const QCommandLineOption strictOption(
        QStringLiteral("strict"),
        QStringLiteral("Checks each number exactly as typed, as the window's box does."));
    const QCommandLineOption formatOption(QStringLiteral("format"),
                                          QStringLiteral("tsv (the default), csv or jsonl."),
                                          QStringLiteral("FORMAT"), QStringLiteral("tsv"));
    const QCommandLineOption encodingOption(
        QStringLiteral("encoding"),
        QStringLiteral("utf-8 (the default) or cp932 (Shift_JIS; tsv and csv only)."),
        QStringLiteral("ENCODING"), QStringLiteral("utf-8"));
    const QCommandLineOption verboseOption(
        QStringLiteral("verbose"),
        QStringLiteral("Tells on standard error which database file is read."));
    parser.addOptions(
        {dbOption, allowNoTailOption, strictOption, formatOption, encodingOption, verboseOption});
    parser.addPositionalArgument(QStringLiteral("NUMBER"), QStringLiteral("Numbers to look up."),
                                 QStringLiteral("[NUMBER ...]"));
    if (!parser.parse(app.arguments()))
        return UsageError(parser.errorText());
    // Qt's --help-all adds only Qt's options of a window program, which this is not.
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        return PrintOut(parser.helpText());
    if (parser.isSet(QStringLiteral("version")))
        return PrintOut(QStringLiteral("lumivo-lookup %1\n").arg(modAppInfo::VersionLabel()));
    const QString format = parser.value(formatOption);
    const QString encoding = parser.value(encodingOption);
    if (format != u"tsv" && format != u"csv" && format != u"jsonl")
        return UsageError(QStringLiteral("unknown format '%1'").arg(format));
    if (encoding != u"utf-8" && encoding != u"cp932")
        return UsageError(QStringLiteral("unknown encoding '%1'").arg(encoding));
    if (format == u"jsonl" && encoding != u"utf-8")
        return UsageError(QStringLiteral("jsonl is written in UTF-8 only"));

    const bool blnVerbose = parser.isSet(verboseOption);
    QString dbPath = parser.value(dbOption);
    if (!parser.isSet(dbOption)) {
        // Recovered and copied as the window's start does, so that both read one file.
        const modDataFolder::tDataFolder data =
            modDataFolder::PrepareDataFolder(programDir, modDataFolder::UserDataFolder());
        dbPath = modDataFolder::DBPath(data.strFolder);
        if (blnVerbose && data.problem != modDataFolder::eCopyProblem::None)
            modToolIO::Message(CopyProblemText(data));
    }
    if (blnVerbose)
        modToolIO::Message(QStringLiteral("lumivo-lookup: reading ") +
                           QDir::toNativeSeparators(dbPath));
    cNumberDB db;
    if (!db.LoadDB(dbPath))
        return Fail(QStringLiteral("cannot read the number database %1: %2")
                        .arg(dbPath, modToolIO::IoErrorText(db.LastError())));
    if (!db.HasValidTail()) {
        // Any file loads; without its tail it is most likely not a database at all.
        const QString strWhy =
            QStringLiteral("%1 does not end in a database date and version").arg(dbPath);
        if (!parser.isSet(allowNoTailOption))
            return Fail(strWhy + QStringLiteral(" (--allow-no-tail reads it anyway)"));
        modToolIO::Message(QStringLiteral("lumivo-lookup: warning: ") + strWhy);
    }

    const QStringList numbers = parser.positionalArguments();
    if (numbers.isEmpty() || numbers.size() >= IndexFromNumbers)
        db.BuildIndex();

    const bool blnStrict = parser.isSet(strictOption);
    cAnswerWriter writer(format == u"csv"     ? cAnswerWriter::eFormat::Csv
                         : format == u"jsonl" ? cAnswerWriter::eFormat::Jsonl
                                              : cAnswerWriter::eFormat::Tsv,
                         encoding == u"cp932");
    QString why;
    if (numbers.isEmpty() && !AnswerStream(db, writer, blnStrict, &why)) {
        writer.Flush(); // the answers to the lines read whole
        return Fail(QStringLiteral("cannot read standard input: %1").arg(why));
    }
    for (const QString& number : numbers)
        AnswerNumber(db, writer, blnStrict, number);
    if (!writer.Flush())
        return Fail(QStringLiteral("cannot write the answers: %1").arg(writer.ErrorText()));
    return 0;
}
