// SPDX-License-Identifier: Apache-2.0
// lumivo-bench: how long loading db.dat and one search command take, on the
// bundled database and on a synthetic one of about 50 MB, next to memmem of the
// same keys over the same bytes (what a byte search can do at best).
//
//   lumivo-bench [--benchmark_filter=REGEX] [--benchmark_repetitions=N]
//   LUMIVO_BENCH_DB=/path/to/other.dat lumivo-bench   (adds a third database)

#include "cDBBuilder.h"
#include "cNumberDB.h"
#include "modSearch.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// The leading digits a record key stands for (the inverse of MakeKey).
QString LeadForKey(QStringView key) {
    static const char16_t* const heads[] = {u"090", u"080", u"070"};
    QString lead = QString::fromUtf16(heads[key[1].digitValue()]);
    const qsizetype fields = (key.size() - 3) / 2;
    for (qsizetype k = 1; k <= fields; ++k)
        lead += QChar(u'0' + (key.mid(2 * k, 2).toInt() - int(k)));
    return lead;
}

// The keys the search command asks for, in its order, for one number.
std::vector<std::string> KeysSearched(const cNumberDB& db, const QString& number) {
    std::vector<std::string> keys;
    auto ask = [&](qsizetype n) {
        const QString key = modSearch::MakeKey(number.left(n));
        keys.push_back(key.toStdString());
        return db.FindCode(key);
    };
    if (ask(6) != u"0")
        return keys;
    if (ask(7) == u"C160" && number.size() >= 8 && ask(8) == u"C161" && number.size() >= 9)
        ask(9);
    return keys;
}

struct tCase {
    std::string name;
    QString number;
    std::vector<std::string> keys;
};

struct tDatabase {
    std::string name;
    QString path;
    QByteArray bytes; // the file as it lies on disk, for the memmem baseline
    QString text;     // decoded, to pick the numbers from
    cNumberDB db;
    cNumberDB indexed; // the same text, with the key index lumivo-lookup builds for lists
    std::vector<tCase> cases;
};

// A found number (the last kind A record of the text, the longest scan that
// still finds it), an absent one, and one that needs the kind H key (the last
// kind H record), all read off the database itself.
void PickCases(tDatabase& d) {
    const QString& text = d.text;
    const auto occurrences = cDBBuilder::KeyOccurrences(text);
    QString lastA, lastH;
    for (const auto& [pos, len] : occurrences) {
        if (len == 9)
            lastA = text.mid(pos, len);
        else if (len == 15)
            lastH = text.mid(pos, len);
    }
    auto add = [&](const char* name, const QString& number) {
        d.cases.push_back({name, number, KeysSearched(d.db, number)});
    };
    if (!lastA.isEmpty())
        add("found", LeadForKey(lastA) + QStringLiteral("00000"));
    for (const char* head : {"070", "080", "090"}) {
        bool done = false;
        for (int block = 999; block >= 0 && !done; --block) {
            const QString number = QString::asprintf("%s%03d00000", head, block);
            if (modSearch::SearchCarrierCode(d.db, number) == u"0" &&
                KeysSearched(d.db, number).size() == 2) {
                add("absent", number);
                done = true;
            }
        }
        if (done)
            break;
    }
    if (!lastH.isEmpty())
        add("kindH", LeadForKey(lastH) + QStringLiteral("00"));
}

void BM_LoadDB(benchmark::State& state, const tDatabase* d) {
    cNumberDB db;
    for (auto _ : state) {
        if (!db.LoadDB(d->path))
            state.SkipWithError("db.dat could not be read");
        benchmark::DoNotOptimize(db.Size());
    }
    state.SetBytesProcessed(state.iterations() * d->bytes.size());
}

void BM_Search(benchmark::State& state, const tDatabase* d, const tCase* c) {
    for (auto _ : state) {
        QString code = modSearch::SearchCarrierCode(d->db, c->number);
        benchmark::DoNotOptimize(code);
    }
    state.SetLabel(c->number.toStdString() + " -> " +
                   modSearch::SearchCarrierCode(d->db, c->number).toStdString());
}

void BM_IndexedSearch(benchmark::State& state, const tDatabase* d, const tCase* c) {
    for (auto _ : state) {
        QString code = modSearch::SearchCarrierCode(d->indexed, c->number);
        benchmark::DoNotOptimize(code);
    }
    if (modSearch::SearchCarrierCode(d->indexed, c->number) !=
        modSearch::SearchCarrierCode(d->db, c->number))
        state.SkipWithError("the index answers differently");
}

void BM_BuildIndex(benchmark::State& state, const tDatabase* d) {
    cNumberDB db;
    db.SetBytes(d->bytes);
    for (auto _ : state)
        db.BuildIndex();
}

void BM_Memmem(benchmark::State& state, const tDatabase* d, const tCase* c) {
    for (auto _ : state) {
        for (const std::string& key : c->keys) {
            const void* hit =
                memmem(d->bytes.constData(), size_t(d->bytes.size()), key.data(), key.size());
            benchmark::DoNotOptimize(hit);
        }
    }
    state.SetLabel(std::to_string(c->keys.size()) + " key(s)");
}

std::vector<std::unique_ptr<tDatabase>> g_databases;

void AddDatabase(const std::string& name, const QString& path) {
    auto d = std::make_unique<tDatabase>();
    d->name = name;
    d->path = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !d->db.LoadDB(path)) {
        fprintf(stderr, "lumivo-bench: skipping %s: cannot read %s\n", name.c_str(),
                qPrintable(path));
        return;
    }
    d->bytes = file.readAll();
    d->text = QStringDecoder("windows-31j").decode(d->bytes);
    d->indexed.SetBytes(d->bytes);
    d->indexed.BuildIndex();
    PickCases(*d);

    const tDatabase* dp = d.get();
    benchmark::RegisterBenchmark(("LoadDB/" + name).c_str(), BM_LoadDB, dp)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("BuildIndex/" + name).c_str(), BM_BuildIndex, dp)
        ->Unit(benchmark::kMillisecond);
    for (const tCase& c : d->cases) {
        benchmark::RegisterBenchmark(("Search/" + name + "/" + c.name).c_str(), BM_Search, dp, &c)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("Memmem/" + name + "/" + c.name).c_str(), BM_Memmem, dp, &c)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("IndexedSearch/" + name + "/" + c.name).c_str(),
                                     BM_IndexedSearch, dp, &c)
            ->Unit(benchmark::kMicrosecond);
    }
    g_databases.push_back(std::move(d));
}

// The databases are read and their benchmarks registered before main runs.
const bool g_registered = [] {
    AddDatabase("bundled", QStringLiteral(LUMIVO_BUNDLED_DB));
    AddDatabase("synthetic50MB", QStringLiteral(LUMIVO_SYNTHETIC_DB));
    if (const char* extra = getenv("LUMIVO_BENCH_DB"))
        AddDatabase(QFileInfo(QString::fromLocal8Bit(extra)).fileName().toStdString(),
                    QString::fromLocal8Bit(extra));
    return true;
}();

} // namespace

BENCHMARK_MAIN();
