// lumivo-lookup: the window's search from the command line, for scripts and
// whole lists of numbers. It answers exactly what the result box would show.

#include "lookup/cNumberDB.h"
#include "lookup/modCheckPath.h"
#include "lookup/modSearch.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

namespace {

const char* const Usage =
    "Usage: lumivo-lookup [--db FILE] [NUMBER ...]\n"
    "Looks numbers up in the number database (default: db.dat beside this program).\n"
    "Without NUMBER, reads numbers from standard input, one per line.\n"
    "Prints one line per number: the number, TAB, the final carrier code (\"-\" when\n"
    "the number is refused), TAB, the text the result box shows. Output is UTF-8.\n"
    "Exit status: 0 when the database was read, 2 when it could not be.\n";

void Answer(QTextStream& out, const cNumberDB& db, const QString& number)
{
    const modSearch::tSearchResult result = modSearch::SearchNumber(db, number);
    out << number << '\t' << (result.accepted ? result.code : QStringLiteral("-")) << '\t'
        << result.text << '\n';
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QTextStream err(stderr);

    QString dbPath = modCheckPath::CheckPath(QCoreApplication::applicationDirPath()) +
                     QStringLiteral("db.dat");
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
        err << "lumivo-lookup: cannot read the number database " << dbPath << ": "
            << db.ErrorText() << Qt::endl;
        return 2;
    }
    if (!db.HasValidTail())
        err << "lumivo-lookup: warning: " << dbPath
            << " does not end in a database date and version" << Qt::endl;

    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    if (!numbers.isEmpty()) {
        for (const QString& number : numbers)
            Answer(out, db, number);
        return 0;
    }
    QTextStream in(stdin);
    in.setEncoding(QStringConverter::Utf8);
    QString line;
    while (in.readLineInto(&line)) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.isEmpty())
            Answer(out, db, line);
    }
    return 0;
}
