// lumivo-lookup: the window's search from the command line, for scripts and
// whole lists of numbers. It answers exactly what the result box would show.

#include "lookup/cNumberDB.h"
#include "lookup/modCheckPath.h"
#include "lookup/modSearch.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QTextStream>

namespace {

const char* const Usage =
    "Usage: lumivo-lookup [--db FILE] [NUMBER ...]\n"
    "Looks numbers up in the number database (default: db.dat beside this program).\n"
    "Without NUMBER, reads numbers from standard input, one per line.\n"
    "Prints one line per number: the number, TAB, the final carrier code (\"-\" when\n"
    "the number is refused), TAB, the text the result box shows. Output is UTF-8.\n"
    "Exit status: 0 when the database was read, 2 when it could not be.\n";

// From this many numbers on the command line, the key index is built.
constexpr qsizetype IndexFromNumbers = 16;

void Answer(QTextStream& out, const cNumberDB& db, const QString& number) {
    const modSearch::tSearchResult result = modSearch::SearchNumber(db, number);
    out << number << '\t' << (result.Accepted() ? result.code : QStringLiteral("-")) << '\t'
        << result.Text() << '\n';
}

// Standard input to standard output for long lists: lines are split and the
// answers written in large blocks; each answer is SearchNumber's, as above.
// UTF-8 unless a byte order mark says otherwise, as QTextStream would read it.
void AnswerStream(const cNumberDB& db) {
    QFile in, out;
    if (!in.open(stdin, QIODevice::ReadOnly) || !out.open(stdout, QIODevice::WriteOnly))
        return;
    // The few texts the result box can show, each encoded once.
    QHash<QString, QByteArray> utf8Texts;
    QByteArray answers;
    QString pending, number;
    auto answerLine = [&](QStringView line) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty())
            return;
        number = line.toString();
        const modSearch::tSearchResult result = modSearch::SearchNumber(db, number);
        auto text = utf8Texts.constFind(result.Text().toString());
        if (text == utf8Texts.constEnd())
            text = utf8Texts.insert(result.Text().toString(), result.Text().toUtf8());
        answers += number.toUtf8();
        answers += '\t';
        answers += result.Accepted() ? result.code.toUtf8() : QByteArrayLiteral("-");
        answers += '\t';
        answers += *text;
        answers += '\n';
    };
    QByteArray block = in.read(1 << 20);
    QStringDecoder decoder(
        QStringConverter::encodingForData(block).value_or(QStringConverter::Utf8));
    for (;;) {
        pending += decoder.decode(block);
        qsizetype from = 0;
        for (qsizetype end; (end = pending.indexOf(u'\n', from)) >= 0; from = end + 1)
            answerLine(QStringView(pending).sliced(from, end - from));
        pending.remove(0, from);
        if (block.isEmpty())
            answerLine(pending); // a last line without a line end
        if (answers.size() >= (1 << 20) || block.isEmpty()) {
            out.write(answers);
            answers.clear();
        }
        if (block.isEmpty())
            break;
        block = in.read(1 << 20);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QTextStream err(stderr);

    QString dbPath =
        modCheckPath::CheckPath(QCoreApplication::applicationDirPath()) + QStringLiteral("db.dat");
    QStringList numbers;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == u"--help" || args[i] == u"-h") {
            QTextStream(stdout) << Usage;
            return 0;
        }
        if (args[i] == u"--db") {
            if (i + 1 >= args.size()) {
                err << "lumivo-lookup: --db needs a file name" << Qt::endl;
                return 2;
            }
            dbPath = args[++i];
        } else {
            numbers.append(args[i]);
        }
    }

    cNumberDB db;
    if (db.LoadDB(dbPath) != cNumberDB::eLoadResult::Loaded) {
        err << "lumivo-lookup: cannot read the number database " << dbPath << ": " << db.ErrorText()
            << Qt::endl;
        return 2;
    }
    if (!db.HasValidTail())
        err << "lumivo-lookup: warning: " << dbPath
            << " does not end in a database date and version" << Qt::endl;

    // A list of numbers pays for the key index (built once, about 13 MB) many
    // times over; it answers exactly as the plain search does.
    if (numbers.isEmpty() || numbers.size() > IndexFromNumbers)
        db.BuildIndex();

    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    if (!numbers.isEmpty()) {
        for (const QString& number : numbers)
            Answer(out, db, number);
        return 0;
    }
    out.flush();
    AnswerStream(db);
    return 0;
}
