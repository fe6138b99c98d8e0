// lumivo-lookup: the window's search from the command line, for scripts and
// whole lists of numbers. It answers exactly what the result box would show.

#include "lookup/cNumberDB.h"
#include "lookup/modAppInfo.h"
#include "lookup/modCheckPath.h"
#include "lookup/modSearch.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QStringDecoder>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* const Description =
    "Looks numbers up in the number database (default: db.dat beside this program).\n"
    "Without NUMBER, reads numbers from standard input, one per line (UTF-8 unless\n"
    "a byte order mark says otherwise).\n"
    "Prints one line per number, in UTF-8: the number, the final carrier code (\"-\"\n"
    "when the number is refused) and the text the result box shows. As tsv, the\n"
    "three fields are TAB-separated, control characters and \"\\\" written as \\t,\n"
    "\\n, \\r, \\xHH, \\uHHHH, \\\\; as csv, a header line comes first, fields are\n"
    "quoted where needed, a field that a spreadsheet would take for a formula\n"
    "(=, +, -, @ first) gets a ' in front, and lines end in CR LF.\n"
    "Exit status: 0 when every answer was written; 2 when the options are wrong,\n"
    "the database cannot be read or the answers cannot be written (each with a\n"
    "message on standard error).";

const char* const UsageLine = "Usage: lumivo-lookup [--db FILE] [--format tsv|csv] [NUMBER ...]\n";

// Searching one number reads the database about once or twice; building the
// key index reads it once more slowly. Both grow with the database, so the
// size drops out: measured on a 50 MB database, one number costs 11 ms of
// searching and the index 70 ms, so from 7 numbers on the index is cheaper.
constexpr qsizetype IndexFromNumbers = 7;

// Answers written as they come, in large blocks, through one unbuffered handle,
// so that a failed write (a full disk) is seen.
class cAnswerWriter {
public:
    explicit cAnswerWriter(bool blnCsv) : m_blnCsv(blnCsv) {
        m_out.open(fileno(stdout), QIODevice::WriteOnly | QIODevice::Unbuffered);
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
    void Answer(const cNumberDB& db, QStringView number, QByteArrayView utf8 = {}) {
        const modSearch::tSearchResult result = modSearch::SearchNumber(db, number);
        if (!utf8.isEmpty() && IsPlain(utf8) && !StartsFormula(utf8.front()))
            m_buffer.append(utf8.data(), size_t(utf8.size()));
        else
            Append(Field(number));
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

    // False, with the reason, when some output could not be written.
    bool Finish(QString* pstrWhy) {
        Flush();
        *pstrWhy = m_strError;
        return m_strError.isEmpty();
    }

private:
    static constexpr qsizetype BlockBytes = 1 << 20;
    static constexpr int RefusalCount = int(modSearch::eRefusal::NotDigits) + 1;

    // Nothing to escape or quote: printable ASCII but for "\\", "," and the quote.
    static bool IsPlainChar(uint c) {
        return c > 0x20 && c < 0x7F && c != '\\' && c != ',' && c != '"';
    }
    static bool IsPlain(QStringView s) {
        for (QChar c : s)
            if (!IsPlainChar(c.unicode()))
                return false;
        return true;
    }
    static bool IsPlain(QByteArrayView s) {
        for (char c : s)
            if (!IsPlainChar(uchar(c)))
                return false;
        return true;
    }

    // A spreadsheet would take a CSV field starting with one of these as a formula.
    bool StartsFormula(uint c) const {
        return m_blnCsv && (c == '=' || c == '+' || c == '-' || c == '@');
    }

    void Append(const QByteArray& bytes) {
        m_buffer.append(bytes.constData(), size_t(bytes.size()));
    }

    // A character that could break a line or a field, or hide itself.
    static bool IsUnsafe(char32_t c) {
        return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == u'\\' || c == 0x2028 || c == 0x2029 ||
               QChar::category(c) == QChar::Other_Format;
    }

    QByteArray Field(QStringView s) const {
        if (!m_blnCsv) {
            QByteArray out;
            for (char32_t c : s.toUcs4()) {
                if (!IsUnsafe(c))
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
                    out +=
                        QByteArray("\\x") + QByteArray::number(uint(c), 16).rightJustified(2, '0');
                else
                    out +=
                        QByteArray("\\u") + QByteArray::number(uint(c), 16).rightJustified(4, '0');
            }
            return out;
        }
        // Such a field is shown as text: a quote mark first, as spreadsheets take it.
        const QByteArray utf8 =
            (!s.isEmpty() && StartsFormula(s.front().unicode()) ? "'" : "") + s.toUtf8();
        if (!utf8.contains(',') && !utf8.contains('"') && !utf8.contains('\n') &&
            !utf8.contains('\r') && utf8.trimmed() == utf8 && !utf8.startsWith('\''))
            return utf8;
        return '"' + QByteArray(utf8).replace('"', "\"\"") + '"';
    }

    void Flush() {
        if (m_buffer.empty() || !m_strError.isEmpty()) {
            m_buffer.clear();
            return;
        }
        if (m_out.write(m_buffer.data(), qint64(m_buffer.size())) != qint64(m_buffer.size()))
            m_strError = m_out.errorString();
        m_buffer.clear();
    }

    bool m_blnCsv;
    QFile m_out;
    std::string m_buffer;
    QByteArray m_rowTexts[modCarrierTable::RowIndexCount];
    QByteArray m_refusalTexts[RefusalCount];
    QString m_strError;
};

// Standard input, one number per line, read and answered in large blocks. Lines
// are split as UTF-8 bytes (other encodings, named by a byte order mark, are
// turned into UTF-8 first); a short ASCII line, the usual number, is looked up
// from a buffer on the stack.
bool AnswerStream(const cNumberDB& db, cAnswerWriter& writer, QString* pstrWhy) {
    QFile in;
    if (!in.open(fileno(stdin), QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        *pstrWhy = in.errorString();
        return false;
    }
    QByteArray block = in.read(1 << 20);
    const auto encoding = QStringConverter::encodingForData(block);
    QStringDecoder decoder(encoding.value_or(QStringConverter::Utf8));
    const bool utf8 = !encoding || *encoding == QStringConverter::Utf8;
    if (utf8 && block.startsWith("\xEF\xBB\xBF"))
        block.remove(0, 3);
    char16_t wide[64];
    auto answerLine = [&](QByteArrayView line) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            return;
        bool ascii = line.size() <= qsizetype(std::size(wide));
        for (qsizetype i = 0; ascii && i < line.size(); ++i)
            ascii = uchar(line[i]) < 0x80;
        if (!ascii)
            return writer.Answer(db, QString::fromUtf8(line));
        for (qsizetype i = 0; i < line.size(); ++i)
            wide[i] = uchar(line[i]);
        writer.Answer(db, QStringView(wide, line.size()), line);
    };
    QByteArray pending;
    for (;;) {
        pending += utf8 ? block : decoder.decode(block).operator QString().toUtf8();
        const char* const begin = pending.constData();
        const char* from = begin;
        const char* const end = begin + pending.size();
        for (const char* nl;
             (nl = static_cast<const char*>(memchr(from, '\n', size_t(end - from)))); from = nl + 1)
            answerLine(QByteArrayView(from, nl - from));
        pending.remove(0, from - begin);
        if (block.isEmpty()) {
            answerLine(pending); // a last line without a line end
            return true;
        }
        block = in.read(1 << 20);
        if (in.error() != QFileDevice::NoError) {
            *pstrWhy = in.errorString();
            return false;
        }
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumivo-lookup"));
    QCoreApplication::setApplicationVersion(modAppInfo::VersionLabel());
    auto fail = [](const QString& strWhy) {
        fprintf(stderr, "lumivo-lookup: %s\n", qPrintable(strWhy));
        return 2;
    };

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(Description));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption dbOption(
        QStringLiteral("db"), QStringLiteral("The number database to read."),
        QStringLiteral("FILE"),
        modCheckPath::CheckPath(QCoreApplication::applicationDirPath()) + QStringLiteral("db.dat"));
    const QCommandLineOption formatOption(QStringLiteral("format"),
                                          QStringLiteral("tsv (the default) or csv."),
                                          QStringLiteral("FORMAT"), QStringLiteral("tsv"));
    parser.addOption(dbOption);
    parser.addOption(formatOption);
    parser.addPositionalArgument(QStringLiteral("NUMBER"), QStringLiteral("Numbers to look up."),
                                 QStringLiteral("[NUMBER ...]"));
    if (!parser.parse(app.arguments())) {
        fprintf(stderr, "lumivo-lookup: %s\n%s", qPrintable(parser.errorText()), UsageLine);
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        printf("lumivo-lookup %s\n", qPrintable(modAppInfo::VersionLabel()));
        return 0;
    }
    const QString format = parser.value(formatOption);
    if (format != u"tsv" && format != u"csv") {
        fprintf(stderr, "lumivo-lookup: unknown format '%s'\n%s", qPrintable(format), UsageLine);
        return 2;
    }

    const QString dbPath = parser.value(dbOption);
    cNumberDB db;
    if (db.LoadDB(dbPath) != cNumberDB::eLoadResult::Loaded)
        return fail(
            QStringLiteral("cannot read the number database %1: %2").arg(dbPath, db.ErrorText()));
    if (!db.HasValidTail())
        fprintf(stderr, "lumivo-lookup: warning: %s does not end in a database date and version\n",
                qPrintable(dbPath));

    const QStringList numbers = parser.positionalArguments();
    if (numbers.isEmpty() || numbers.size() >= IndexFromNumbers)
        db.BuildIndex();

    cAnswerWriter writer(format == u"csv");
    QString why;
    if (numbers.isEmpty() && !AnswerStream(db, writer, &why))
        return fail(QStringLiteral("cannot read standard input: %1").arg(why));
    for (const QString& number : numbers)
        writer.Answer(db, number);
    if (!writer.Finish(&why))
        return fail(QStringLiteral("cannot write the answers: %1").arg(why));
    return 0;
}
