// SPDX-License-Identifier: Apache-2.0
// lumivo-lookup: the window's search from the command line, for scripts and
// whole lists of numbers. It answers exactly what the result box would show.

#include "cAnswerWriter.h"
#include "cLineReader.h"
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

// %1: the database read by default; %2: the refusals' keywords.
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
    "Numbers are taken as people write them: surrounding blanks and a \"tel:\" in\n"
    "front are dropped; spaces (also U+3000), hyphens and dashes (- \u2010 \u2011 \u2012 "
    "\u2013 \u2014 \u2015\n\u2212 \uFF0D \u30FC \uFF70), dots and parentheses (also full-width) "
    "are "
    "removed,\nfull-width digits folded, and Japan's country code with its international\n"
    "prefix (+81, 010 81, 00 81) is read as 0, a trunk 0 written after it dropped\n"
    "(\"+81 (0)90-1234-5678\" is searched as 09012345678). A number written that way\n"
    "must come to a whole 11-digit mobile number; otherwise it is checked as typed,\n"
    "and refused as the window refuses it (\"090-1234-567\"). Digits alone are\n"
    "checked as the window checks them (7 to 11 digits), but for a whole mobile\n"
    "number dialled from abroad (00819012345678, 010819012345678). --strict\n"
    "checks every number exactly as typed.\n"
    "\n"
    "Without NUMBER, reads numbers from standard input, one per line. A byte order\n"
    "mark decides its encoding; without one, --input-encoding auto reads it as\n"
    "UTF-8 while it is UTF-8 and as code page 932 (Shift_JIS, as Windows and Excel\n"
    "in Japanese write it) otherwise, judged by the first line other than ASCII and\n"
    "what has been read with it, and says on standard error which it took. From a\n"
    "pipe or a terminal each answer is written as soon as its line ends. Every line\n"
    "gets one answer line, a blank one too (refused as the window refuses an empty\n"
    "box). A line longer than 1024 bytes is no number: it is refused and shown as\n"
    "its first 40 characters and \"…\".\n"
    "\n"
    "--column N reads standard input as a CSV list (quoted fields as Excel writes\n"
    "them: commas, doubled quotes and line ends inside quotes) and writes each row\n"
    "back as it came, byte for byte, with two fields appended: the code and the\n"
    "text (below). Its encoding is judged by the first megabyte, and the rows keep\n"
    "it and their line ends unless --encoding names another (UTF-8 keeps the\n"
    "list's byte order mark, and gets one when the list was not UTF-8). With\n"
    "--header the first row is kept, extended by \"code,text\". A row may hold up\n"
    "to 1 MiB.\n"
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
    "result box shows) and \"refusal\": null, or what is wrong with the number as\n"
    "cleaned (with --strict: as typed), one of\n"
    "%2"
    "\n"
    "Examples:\n"
    "  lumivo-lookup \"090 1234 5678\"                  tsv, for scripts\n"
    "  lumivo-lookup --format csv < in.txt > out.csv   csv for a spreadsheet\n"
    "  lumivo-lookup --format jsonl +819012345678      jsonl for programs\n"
    "  lumivo-lookup --column 3 --header < list.csv > answered.csv\n"
    "\n"
    "Exit status: 0 when every number got its answer from the database (found or\n"
    "not); 1 when the answers were written but at least one number was refused; 2\n"
    "when the options are wrong, the database cannot be read or lacks its date and\n"
    "version, standard input cannot be read or the answers cannot be written (each\n"
    "with a message on standard error).";

// One line, as a usage error has.
const char* const UsageLine =
    "Usage: lumivo-lookup [--db FILE] [--allow-no-tail] [--strict] [--verbose]"
    " [--format tsv|csv|jsonl] [--encoding utf-8|cp932]"
    " [--input-encoding auto|utf-8|cp932] [--column N [--header]] [NUMBER ...]\n";

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

// A longer line is no number. It is refused without being held whole (its
// refusal depends only on its first three characters and its length), and
// shown by its first characters.
constexpr qsizetype MaxLineBytes = 1024;
constexpr qsizetype ShownOfLongLine = 40;
// The longest row of a CSV list, quoted line ends inside it included.
constexpr qsizetype MaxRowBytes = 1 << 20;

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

bool IsAscii(QByteArrayView bytText) {
    for (char c : bytText)
        if (uchar(c) >= 0x80)
            return false;
    return true;
}

// Whether the bytes are UTF-8, by Qt's decoder (which refuses overlong forms,
// surrogates and values beyond U+10FFFF); blnMayBeCut: a character cut off at
// the end counts, as a decoder that keeps its state holds it for more bytes.
bool IsUtf8(QByteArrayView bytText, bool blnMayBeCut) {
    QStringDecoder decoder(QStringConverter::Utf8, blnMayBeCut ? QStringConverter::Flag::Default
                                                               : QStringConverter::Flag::Stateless);
    const QString decoded = decoder.decode(bytText);
    return !decoder.hasError();
}

enum class eEncoding { Utf8, Cp932, Unknown };

// How standard input is read: its encoding (Unknown until bytes other than
// ASCII show it, when auto has to judge), and whether a byte order mark said so.
struct tInput {
    eEncoding encoding = eEncoding::Unknown;
    bool blnMarked = false; // a byte order mark
    bool blnOther = false;  // UTF-16 or UTF-32, read as UTF-8
};

// What the command line asks for.
struct tOptions {
    bool blnDBGiven = false; // --db, with strDBPath (which may be empty)
    QString strDBPath;
    bool blnAllowNoTail = false;
    bool blnStrict = false;
    bool blnVerbose = false;
    cAnswerWriter::eFormat format = cAnswerWriter::eFormat::Tsv;
    bool blnCp932 = false;
    eEncoding inputEncoding = eEncoding::Unknown;  // --input-encoding; Unknown: auto
    eEncoding outputEncoding = eEncoding::Unknown; // --encoding when given
    int intColumn = 0;                             // --column; 0: one number per line
    bool blnHeader = false;
    QStringList lstNumbers;
};

// Reads the byte order mark, if any, and tells the reader what to do with it.
// A mark decides; without one the --input-encoding, auto leaving it open.
tInput OpenInput(cLineReader& reader, eEncoding requested) {
    QByteArrayView head = reader.Peek(1);
    for (QByteArrayView more; head.size() < 4 && MayStartByteOrderMark(head) &&
                              (more = reader.Peek(head.size() + 1)).size() > head.size();)
        head = more;
    tInput input;
    input.encoding = requested;
    const std::optional<QStringConverter::Encoding> mark =
        QStringConverter::encodingForData(head.first(qMin<qsizetype>(head.size(), 4)));
    if (!mark)
        return input;
    input.blnMarked = true;
    input.encoding = eEncoding::Utf8;
    if (*mark == QStringConverter::Utf8) {
        reader.Skip(3);
    } else {
        input.blnOther = true;
        reader.SetDecoder(*mark);
    }
    return input;
}

// Judges input without a byte order mark by what is held of it (bytHeld): UTF-8
// when all of it is, code page 932 otherwise; says so on standard error.
eEncoding JudgeEncoding(QByteArrayView bytHeld, bool blnWhole) {
    const bool blnUtf8 = IsUtf8(bytHeld, !blnWhole);
    modToolIO::Message(
        blnUtf8 ? QStringLiteral("lumivo-lookup: warning: standard input has no byte order mark; "
                                 "read as UTF-8 (--input-encoding says otherwise)")
                : QStringLiteral("lumivo-lookup: warning: standard input has no byte order mark "
                                 "and is not UTF-8; read as code page 932 (--input-encoding says "
                                 "otherwise)"));
    return blnUtf8 ? eEncoding::Utf8 : eEncoding::Cp932;
}

QString DecodeText(QByteArrayView bytText, eEncoding encoding) {
    return encoding == eEncoding::Cp932 ? modText::DecodeCp932(bytText)
                                        : QString::fromUtf8(bytText);
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
// usual number, is looked up from a buffer on the stack. A line other than
// ASCII settles an encoding still open by what the reader holds from it on.
void AnswerLine(const cNumberDB& db, cAnswerWriter& writer, bool blnStrict, QByteArrayView bytLine,
                tInput& input, const cLineReader& reader) {
    if (bytLine.endsWith('\r'))
        bytLine.chop(1);
    char16_t wide[64];
    bool ascii = bytLine.size() <= qsizetype(std::size(wide));
    for (qsizetype i = 0; ascii && i < bytLine.size(); ++i)
        ascii = uchar(bytLine[i]) < 0x80;
    if (!ascii && input.encoding == eEncoding::Unknown && !IsAscii(bytLine)) {
        const QByteArrayView held = reader.Held();
        const qsizetype lngLine = held.data() - bytLine.data();
        input.encoding =
            JudgeEncoding(QByteArrayView(bytLine.data(), lngLine + held.size()), reader.AtEnd());
    }
    if (bytLine.size() > MaxLineBytes) {
        const QString text = DecodeText(bytLine.first(MaxLineBytes), input.encoding);
        const qsizetype shown = ShownOfLongLine - text[ShownOfLongLine - 1].isHighSurrogate();
        return AnswerNumber(db, writer, blnStrict, text.left(shown) + u'…');
    }
    if (!ascii)
        return AnswerNumber(db, writer, blnStrict, DecodeText(bytLine, input.encoding));
    bool blnDigits = true;
    for (qsizetype i = 0; i < bytLine.size(); ++i) {
        wide[i] = uchar(bytLine[i]);
        blnDigits = blnDigits && wide[i] >= u'0' && wide[i] <= u'9';
    }
    const QStringView number(wide, bytLine.size());
    if (blnDigits && modNumberForm::DigitsSearchedAsTyped(bytLine))
        return writer.Answer(db, number, number, bytLine);
    AnswerNumber(db, writer, blnStrict, number, bytLine);
}

// Whether standard input is a regular file: then answers go out in large
// blocks; a pipe or a terminal gets each answer as soon as its line is
// complete, so that a caller may write a number and wait for it.
bool InputIsFile() {
    struct stat st;
    return fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode);
}

// Standard input, one number per line, split as bytes (other encodings, named
// by a byte order mark, are turned into UTF-8 first). False, with the reason,
// when it cannot be read.
bool AnswerStream(const cNumberDB& db, cAnswerWriter& writer, bool blnStrict, eEncoding requested,
                  QString* pstrWhy) {
    const bool blnFile = InputIsFile();
    cLineReader reader(STDIN_FILENO, MaxLineBytes, false);
    // Once the answers cannot be written, reading on is of no use.
    reader.SetBeforeRead([&] { return blnFile ? !writer.Failed() : writer.Flush(); });
    tInput input = OpenInput(reader, requested);
    for (;;) {
        QByteArrayView line;
        bool blnCut;
        switch (reader.Next(&line, &blnCut)) {
        case cLineReader::eNext::Line:
            AnswerLine(db, writer, blnStrict, line, input, reader);
            break;
        case cLineReader::eNext::End:
            return true;
        case cLineReader::eNext::Error:
            *pstrWhy = reader.ErrorText();
            return false;
        }
    }
}

// The text of field N (1-based) of a CSV row, its quotes taken off and its
// doubled quotes undone, as bytes; empty when the row has fewer fields.
QByteArray CsvField(QByteArrayView bytRow, int intColumn) {
    qsizetype at = 0;
    for (int field = 1; field < intColumn; ++field) {
        bool quoted = false;
        for (; at < bytRow.size() && (quoted || bytRow[at] != ','); ++at)
            quoted = quoted != (bytRow[at] == '"');
        if (at == bytRow.size())
            return QByteArray();
        ++at; // the comma
    }
    QByteArray text;
    bool quoted = false;
    for (; at < bytRow.size() && (quoted || bytRow[at] != ','); ++at) {
        if (bytRow[at] != '"')
            text += bytRow[at];
        else if (quoted && at + 1 < bytRow.size() && bytRow[at + 1] == '"')
            text += bytRow[at++];
        else
            quoted = !quoted;
    }
    return text;
}

// A CSV list on standard input: every row written back with the answer for its
// column appended, in the list's encoding and line ends unless --encoding
// names one. The exit status.
int AnswerRows(const cNumberDB& db, const tOptions& options) {
    cLineReader reader(STDIN_FILENO, MaxRowBytes, true);
    tInput input = OpenInput(reader, options.inputEncoding);
    if (input.encoding == eEncoding::Unknown) {
        // Rows are judged before the first is answered, by as much as a read holds.
        const QByteArrayView held = reader.Peek(MaxRowBytes);
        input.encoding = IsAscii(held) ? eEncoding::Utf8 : JudgeEncoding(held, reader.AtEnd());
    }
    const eEncoding output =
        options.outputEncoding == eEncoding::Unknown ? input.encoding : options.outputEncoding;
    cAnswerWriter writer(cAnswerWriter::eFormat::Rows, output == eEncoding::Cp932,
                         options.blnStrict);
    const bool blnFile = InputIsFile();
    reader.SetBeforeRead([&] { return blnFile ? !writer.Failed() : writer.Flush(); });
    // UTF-8 keeps the list's byte order mark; a list turned into UTF-8 gets one,
    // so that spreadsheets read it as UTF-8.
    if (output == eEncoding::Utf8 && (input.blnMarked || input.encoding != eEncoding::Utf8))
        writer.Write("\xEF\xBB\xBF");
    const bool blnSame = output == input.encoding && !input.blnOther;
    const auto recode = [&](QByteArrayView bytText) {
        const QString text = DecodeText(bytText, input.encoding);
        return output == eEncoding::Cp932 ? modText::EncodeCp932(text) : text.toUtf8();
    };
    bool blnHeader = options.blnHeader;
    for (qsizetype lngRow = 1;; ++lngRow) {
        QByteArrayView row;
        bool blnCut;
        const cLineReader::eNext next = reader.Next(&row, &blnCut);
        if (next == cLineReader::eNext::End)
            break;
        if (next == cLineReader::eNext::Error)
            row = {};
        QByteArrayView end = reader.LineEnded() ? QByteArrayView("\n") : QByteArrayView();
        if (row.endsWith('\r') && !end.isEmpty()) {
            row.chop(1);
            end = "\r\n";
        }
        // A cut row is longer still.
        if (next == cLineReader::eNext::Error || row.size() > MaxRowBytes) {
            writer.Flush(); // the rows read whole
            return Fail(QStringLiteral("cannot read standard input: %1")
                            .arg(next == cLineReader::eNext::Error
                                     ? reader.ErrorText()
                                     : QStringLiteral("row %1 is longer than %2 bytes")
                                           .arg(lngRow)
                                           .arg(MaxRowBytes)));
        }
        const QByteArray recoded = blnSame ? QByteArray() : recode(row);
        const QByteArrayView out = blnSame ? row : QByteArrayView(recoded);
        if (blnHeader) {
            writer.Write(out);
            writer.Write(cAnswerWriter::HeaderFields()); // ASCII, the same in both encodings
            writer.Write(end);
            blnHeader = false;
            continue;
        }
        const QString given = DecodeText(CsvField(row, options.intColumn), input.encoding);
        QString buffer;
        writer.AnswerRow(db, out, end,
                         options.blnStrict ? QStringView(given)
                                           : modNumberForm::SearchForm(given, buffer));
    }
    if (!writer.Flush())
        return Fail(QStringLiteral("cannot write the answers: %1").arg(writer.ErrorText()));
    return writer.AnyRefused() ? 1 : 0;
}

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
        QString::fromUtf8(Description)
            .arg(QDir::toNativeSeparators(strDefaultDB), modNumberForm::RefusalKeywords()));
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
          QStringLiteral("utf-8 (the default) or cp932 (Shift_JIS; tsv, csv and --column "
                         "only; --column: the list's own by default)."),
          QStringLiteral("ENCODING"), QStringLiteral("utf-8")},
         {QStringLiteral("input-encoding"),
          QStringLiteral("auto (the default), utf-8 or cp932: how standard input is read "
                         "where no byte order mark says it."),
          QStringLiteral("ENCODING"), QStringLiteral("auto")},
         {QStringLiteral("column"),
          QStringLiteral("Reads standard input as a CSV list and looks up field N of each "
                         "row (1 is the first)."),
          QStringLiteral("N")},
         {QStringLiteral("header"),
          QStringLiteral("With --column: the first row is a header, kept and extended.")},
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
    const QString inputEncoding = parser.value(QStringLiteral("input-encoding"));
    if (inputEncoding != u"auto" && inputEncoding != u"utf-8" && inputEncoding != u"cp932")
        return UsageError(QStringLiteral("unknown input encoding '%1'").arg(inputEncoding));
    const bool blnColumn = parser.isSet(QStringLiteral("column"));
    bool blnNumber = false;
    pOptions->intColumn = parser.value(QStringLiteral("column")).toInt(&blnNumber);
    if (blnColumn && (!blnNumber || pOptions->intColumn < 1))
        return UsageError(QStringLiteral("--column needs a field number from 1"));
    if (blnColumn && (parser.isSet(QStringLiteral("format")) && format != u"csv"))
        return UsageError(QStringLiteral("--column writes the list back as CSV"));
    if (blnColumn && !parser.positionalArguments().isEmpty())
        return UsageError(QStringLiteral("--column reads the list from standard input"));
    if (!blnColumn && parser.isSet(QStringLiteral("header")))
        return UsageError(QStringLiteral("--header belongs to --column"));

    pOptions->blnDBGiven = parser.isSet(QStringLiteral("db"));
    pOptions->strDBPath = parser.value(QStringLiteral("db"));
    pOptions->blnAllowNoTail = parser.isSet(QStringLiteral("allow-no-tail"));
    pOptions->blnStrict = parser.isSet(QStringLiteral("strict"));
    pOptions->blnVerbose = parser.isSet(QStringLiteral("verbose"));
    pOptions->format = format == u"csv"     ? cAnswerWriter::eFormat::Csv
                       : format == u"jsonl" ? cAnswerWriter::eFormat::Jsonl
                                            : cAnswerWriter::eFormat::Tsv;
    pOptions->blnCp932 = encoding == u"cp932";
    const auto named = [](const QString& strName) {
        return strName == u"cp932"   ? eEncoding::Cp932
               : strName == u"utf-8" ? eEncoding::Utf8
                                     : eEncoding::Unknown;
    };
    pOptions->inputEncoding = named(inputEncoding);
    if (parser.isSet(QStringLiteral("encoding")))
        pOptions->outputEncoding = named(encoding);
    pOptions->blnHeader = parser.isSet(QStringLiteral("header"));
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
    if (options.intColumn > 0)
        return AnswerRows(db, options);
    cAnswerWriter writer(options.format, options.blnCp932, options.blnStrict);
    QString why;
    if (options.lstNumbers.isEmpty() &&
        !AnswerStream(db, writer, options.blnStrict, options.inputEncoding, &why)) {
        writer.Flush(); // the answers to the lines read whole
        return Fail(QStringLiteral("cannot read standard input: %1").arg(why));
    }
    for (const QString& number : options.lstNumbers)
        AnswerNumber(db, writer, options.blnStrict, number);
    if (!writer.Flush())
        return Fail(QStringLiteral("cannot write the answers: %1").arg(writer.ErrorText()));
    return writer.AnyRefused() ? 1 : 0;
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
