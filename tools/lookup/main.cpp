// lumivo-lookup: the window's search from the command line, for scripts and
// whole lists of numbers. It answers exactly what the result box would show.

#include "cNumberDB.h"
#include "modAppInfo.h"
#include "modDataFolder.h"
#include "modSearch.h"
#include "modToolIO.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringDecoder>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const Description =
    "Looks numbers up in the number database (default: db.dat beside this program).\n"
    "Without NUMBER, reads numbers from standard input, one per line (UTF-8 unless\n"
    "a byte order mark says otherwise); from a pipe or a terminal each answer is\n"
    "written as soon as its line ends. A line longer than 1024 bytes is no number:\n"
    "it is refused and shown as its first 40 characters and \"…\".\n"
    "Prints one line per number, in UTF-8: the number, the final carrier code (\"-\"\n"
    "when the number is refused) and the text the result box shows. As tsv, the\n"
    "three fields are TAB-separated, control and format characters (NUL, direction\n"
    "marks) and \"\\\" written as \\t, \\n, \\r, \\xHH, \\uHHHH, \\\\; as csv, a header\n"
    "line comes first, fields are quoted where needed, control and format characters\n"
    "but TAB, CR and LF are written as \\xHH, \\uHHHH, a field that a spreadsheet\n"
    "would take for a formula (=, +, -, @, TAB or CR first) gets a ' in front, and\n"
    "lines end in CR LF.\n"
    "Exit status: 0 when every answer was written; 2 when the options are wrong,\n"
    "the database cannot be read or lacks its date and version, standard input\n"
    "cannot be read or the answers cannot be written (each with a message on\n"
    "standard error).";

const char* const UsageLine =
    "Usage: lumivo-lookup [--db FILE] [--allow-no-tail] [--format tsv|csv] [NUMBER ...]\n";

// Searching one number reads the database about once or twice; building the
// key index reads it once more slowly. Both grow with the database, so the
// size drops out: measured on a 50 MB database, one number costs 11 ms of
// searching and the index 70 ms, so from 7 numbers on the index is cheaper.
constexpr qsizetype IndexFromNumbers = 7;

// Standard input is read, and answers are written, in blocks of this size.
constexpr qsizetype BlockBytes = 1 << 20;
// A longer line is no number. It is refused without being held whole (its
// refusal depends only on its first three characters and its length), and
// shown by its first characters.
constexpr qsizetype MaxLineBytes = 1024;
constexpr qsizetype ShownOfLongLine = 40;

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

// Answers collected into large blocks, each written to standard output at once.
class cAnswerWriter {
public:
    explicit cAnswerWriter(bool blnCsv) : m_blnCsv(blnCsv) {
        m_buffer.reserve(BlockBytes + 4096);
        // Each text the result box can show, encoded once.
        const QStringList codes = modCarrierTable::AllCodes() << QStringLiteral("0");
        for (const QString& code : codes) {
            const modCarrierTable::tCarrierRow& row = modCarrierTable::LookupCarrier(code);
            m_rowTexts[modCarrierTable::RowIndex(row)] = Field(row.text);
        }
        for (int i = 0; i < RefusalCount; ++i)
            m_refusalTexts[i] = Field(modSearch::RefusalText(modSearch::eRefusal(i)));
        if (m_blnCsv)
            m_buffer += "number,code,text\r\n";
    }

    // The number as typed; the same in UTF-8 when the caller has it at hand.
    void Answer(const cNumberDB& db, QStringView strNumber, QByteArrayView bytUtf8 = {}) {
        const modSearch::tSearchResult result = modSearch::SearchNumber(db, strNumber);
        if (!bytUtf8.isEmpty() && IsPlain(bytUtf8) && !StartsFormula(bytUtf8.front()))
            m_buffer.append(bytUtf8.data(), size_t(bytUtf8.size()));
        else
            Append(Field(strNumber));
        m_buffer += m_blnCsv ? ',' : '\t';
        if (!result.Accepted()) {
            m_buffer += '-';
        } else {
            const QStringView code = result.code.View();
            if (IsPlain(code) && !StartsFormula(code.front().unicode()))
                for (QChar c : code)
                    m_buffer += char(c.unicode());
            else
                Append(Field(code));
        }
        m_buffer += m_blnCsv ? ',' : '\t';
        Append(result.row ? m_rowTexts[modCarrierTable::RowIndex(*result.row)]
                          : m_refusalTexts[int(result.refusal)]);
        m_buffer += m_blnCsv ? "\r\n" : "\n";
        if (m_buffer.size() >= size_t(BlockBytes))
            Flush();
    }

    // Writes the answers so far. False once some output could not be written;
    // nothing more is written then.
    bool Flush() {
        if (!Failed() && !m_buffer.empty())
            m_strError = modToolIO::WriteAll(STDOUT_FILENO, m_buffer);
        m_buffer.clear();
        return !Failed();
    }
    bool Failed() const { return !m_strError.isEmpty(); }
    QString ErrorText() const { return m_strError; }

private:
    static constexpr int RefusalCount = int(modSearch::eRefusal::NotDigits) + 1;

    // Nothing to escape or quote: printable ASCII but for "\\", "," and the quote.
    static bool IsPlainChar(uint c) {
        return c > 0x20 && c < 0x7F && c != '\\' && c != ',' && c != '"';
    }
    static bool IsPlain(QStringView strText) {
        for (QChar c : strText)
            if (!IsPlainChar(c.unicode()))
                return false;
        return true;
    }
    static bool IsPlain(QByteArrayView bytText) {
        for (char c : bytText)
            if (!IsPlainChar(uchar(c)))
                return false;
        return true;
    }

    // A spreadsheet would take a CSV field starting with one of these as a
    // formula (TAB and CR too: it drops them from the front first).
    bool StartsFormula(uint c) const {
        return m_blnCsv && (c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r');
    }

    void Append(const QByteArray& bytData) {
        m_buffer.append(bytData.constData(), size_t(bytData.size()));
    }

    // A character that could break a line or a field, or hide itself (NUL, the
    // direction marks and overrides, which reorder what a viewer shows).
    static bool IsUnsafe(char32_t c) {
        return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == u'\\' || c == 0x2028 || c == 0x2029 ||
               QChar::category(c) == QChar::Other_Format;
    }

    QByteArray Field(QStringView strText) const {
        // Such a field is shown as text: a quote mark first, as spreadsheets take it.
        QByteArray out = !strText.isEmpty() && StartsFormula(strText.front().unicode()) ? "'" : "";
        for (char32_t c : strText.toUcs4()) {
            // CSV carries TAB and line ends inside quotes, and has no escapes of its own.
            const bool csvKeeps = c == u'\t' || c == u'\n' || c == u'\r' || c == u'\\';
            if (!IsUnsafe(c) || (m_blnCsv && csvKeeps))
                out += QString::fromUcs4(&c, 1).toUtf8();
            else if (c == u'\t')
                out += "\\t";
            else if (c == u'\n')
                out += "\\n";
            else if (c == u'\r')
                out += "\\r";
            else if (c == u'\\')
                out += "\\\\";
            else if (c < 0x100)
                out += QByteArray("\\x") + QByteArray::number(uint(c), 16).rightJustified(2, '0');
            else
                out += QByteArray("\\u") + QByteArray::number(uint(c), 16).rightJustified(4, '0');
        }
        if (!m_blnCsv || (!out.contains(',') && !out.contains('"') && !out.contains('\n') &&
                          !out.contains('\r') && out.trimmed() == out && !out.startsWith('\'')))
            return out;
        return '"' + out.replace('"', "\"\"") + '"';
    }

    bool m_blnCsv;
    std::string m_buffer;
    QByteArray m_rowTexts[modCarrierTable::RowIndexCount];
    QByteArray m_refusalTexts[RefusalCount];
    QString m_strError;
};

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

// Standard input, one number per line. Lines are split as UTF-8 bytes (other
// encodings, named by a byte order mark, are turned into UTF-8 first); a short
// ASCII line, the usual number, is looked up from a buffer on the stack. A file
// is answered in large blocks; a pipe or a terminal gets each answer as soon
// as its line is complete, so that a caller may write a number and wait for it.
// False, with the reason, when standard input cannot be read.
bool AnswerStream(const cNumberDB& db, cAnswerWriter& writer, QString* pstrWhy) {
    struct stat st;
    const bool blnFile = fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode);
    char16_t wide[64];
    auto answerLine = [&](QByteArrayView bytLine) {
        if (bytLine.endsWith('\r'))
            bytLine.chop(1);
        if (bytLine.isEmpty())
            return;
        if (bytLine.size() > MaxLineBytes) {
            const QString text = QString::fromUtf8(bytLine.first(MaxLineBytes));
            const qsizetype shown = ShownOfLongLine - text[ShownOfLongLine - 1].isHighSurrogate();
            return writer.Answer(db, text.left(shown) + u'…');
        }
        bool ascii = bytLine.size() <= qsizetype(std::size(wide));
        for (qsizetype i = 0; ascii && i < bytLine.size(); ++i)
            ascii = uchar(bytLine[i]) < 0x80;
        if (!ascii)
            return writer.Answer(db, QString::fromUtf8(bytLine));
        for (qsizetype i = 0; i < bytLine.size(); ++i)
            wide[i] = uchar(bytLine[i]);
        writer.Answer(db, QStringView(wide, bytLine.size()), bytLine);
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

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(Description));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption dbOption(
        QStringLiteral("db"), QStringLiteral("The number database to read."),
        QStringLiteral("FILE"), modDataFolder::DBPath(QCoreApplication::applicationDirPath()));
    const QCommandLineOption allowNoTailOption(
        QStringLiteral("allow-no-tail"),
        QStringLiteral("Reads a database that does not end in its date and version (with a "
                       "warning); without it such a file is refused."));
    const QCommandLineOption formatOption(QStringLiteral("format"),
                                          QStringLiteral("tsv (the default) or csv."),
                                          QStringLiteral("FORMAT"), QStringLiteral("tsv"));
    parser.addOptions({dbOption, allowNoTailOption, formatOption});
    parser.addPositionalArgument(QStringLiteral("NUMBER"), QStringLiteral("Numbers to look up."),
                                 QStringLiteral("[NUMBER ...]"));
    if (!parser.parse(app.arguments())) {
        modToolIO::Message(QStringLiteral("lumivo-lookup: ") + parser.errorText() + u'\n' +
                           QString::fromLatin1(UsageLine).trimmed());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")))
        return PrintOut(parser.helpText());
    if (parser.isSet(QStringLiteral("version")))
        return PrintOut(QStringLiteral("lumivo-lookup %1\n").arg(modAppInfo::VersionLabel()));
    const QString format = parser.value(formatOption);
    if (format != u"tsv" && format != u"csv") {
        modToolIO::Message(QStringLiteral("lumivo-lookup: unknown format '%1'\n").arg(format) +
                           QString::fromLatin1(UsageLine).trimmed());
        return 2;
    }

    const QString dbPath = parser.value(dbOption);
    cNumberDB db;
    if (db.LoadDB(dbPath) != cNumberDB::eLoadResult::Loaded)
        return Fail(
            QStringLiteral("cannot read the number database %1: %2").arg(dbPath, db.ErrorText()));
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

    cAnswerWriter writer(format == u"csv");
    QString why;
    if (numbers.isEmpty() && !AnswerStream(db, writer, &why)) {
        writer.Flush(); // the answers to the lines read whole
        return Fail(QStringLiteral("cannot read standard input: %1").arg(why));
    }
    for (const QString& number : numbers)
        writer.Answer(db, number);
    if (!writer.Flush())
        return Fail(QStringLiteral("cannot write the answers: %1").arg(writer.ErrorText()));
    return 0;
}
