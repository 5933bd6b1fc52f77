// The record dataset of a large journal: TDM.OpenUserQuery with every lookup
// field against a plain fetch of the same SELECT's rows in the same run, the
// memory the dataset holds per row, and one save of an existing record.
//
// Site (bench/LargeSite): 200,000 records with a ten-column extension table,
// three reference fields, the equipment field OBJECT, 100,000 equipment
// items; built at the first run and kept. SQLite always; PostgreSQL when
// LOGDESK_TEST_PG holds connection words.
//
//   build/bench/bench_records --benchmark_counters_tabular=true

#include "DMUnit.h"
#include "LargeSite.h"
#include "MagCommon.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <map>

// The bench targets compile their bench_*.cpp alone; the generator of the
// large site comes with this one.

using namespace platform;

namespace
{

const bench::LargeSiteSize kSize;
constexpr int kSavedRecord = 100000;

// The data modules by backend; destroyed before the application object.
std::map<bool, std::unique_ptr<database::TDM>>& sites()
{
    static std::map<bool, std::unique_ptr<database::TDM>> modules;
    return modules;
}

// The data module on one backend, connected, with the reference cache loaded
// as after a log-on.
database::TDM& site(bool postgres)
{
    static QTemporaryDir profile;
    std::unique_ptr<database::TDM>& dm = sites()[postgres];
    if (!dm) {
        qputenv("USERPROFILE", profile.path().toUtf8());
        dm = std::make_unique<database::TDM>(postgres ? "bench /RDA" : "bench /BDE");
        dm->Timer1->stop();
        bench::ConfigureLargeSite(*dm->currentServer(), kSize);
        dm->currentServer()->open();
        catalogue::CreateRefList(*dm);
        dm->ConformsTable->open();
    }
    return *dm;
}

size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

void openJournal(database::TDM& dm, const QString& conditions = {})
{
    dm.OpenUserQuery(bench::kLargeJournal, bench::kLargeExtTable, QString(), false, conditions, {});
}

void BM_OpenUserQuery(benchmark::State& state, bool postgres)
{
    database::TDM& dm = site(postgres);
    double bytesPerRow = 0;
    int rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        dm.GRQuery->close();
        malloc_trim(0);
        const size_t before = heapInUse();
        state.ResumeTiming();
        openJournal(dm);
        state.PauseTiming();
        rows = dm.GRQuery->recordCount();
        bytesPerRow = double(heapInUse() - before) / rows;
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
    state.counters["bytes_per_row"] = bytesPerRow;
    state.counters["fields"] = dm.GRQuery->fieldCount();
}

// What an open costs besides the fetch: the column lists, the probe and the
// lookup lists (100,000 equipment items for E_OBJECT and C_OBJECT).
void BM_OpenUserQueryEmpty(benchmark::State& state, bool postgres)
{
    database::TDM& dm = site(postgres);
    for (auto _ : state)
        dm.OpenUserQuery(bench::kLargeJournal, bench::kLargeExtTable, QString(), true, QString(),
                         {});
    dm.GRQuery->close();
}

// The same SELECT (text and values) fetched with the driver alone, reading
// every column of every row.
void BM_PlainFetch(benchmark::State& state, bool postgres)
{
    database::TDM& dm = site(postgres);
    openJournal(dm);
    const QString text = dm.GRQuery->sqlText();
    SqlStatement prefix;
    prefix.startsWith(QStringLiteral("fullpath"), bench::kLargeJournal);
    dm.GRQuery->close();
    int rows = 0;
    for (auto _ : state) {
        QSqlQuery q = dm.currentServer()->execute(text, prefix.values());
        const int columns = q.record().count();
        rows = 0;
        while (q.next()) {
            for (int c = 0; c < columns; ++c)
                benchmark::DoNotOptimize(q.value(c));
            ++rows;
        }
    }
    state.counters["rows"] = rows;
}

// Every lookup text of every row, as a grid showing all rows reads them.
void BM_ReadLookupTexts(benchmark::State& state, bool postgres)
{
    database::TDM& dm = site(postgres);
    openJournal(dm);
    std::vector<const Field*> lookups;
    for (int i = 0; i < dm.GRQuery->fieldCount(); ++i)
        if (dm.GRQuery->field(i)->isLookup())
            lookups.push_back(dm.GRQuery->field(i));
    for (auto _ : state) {
        const int rows = dm.GRQuery->recordCount();
        for (int r = 0; r < rows; ++r)
            for (const Field* f : lookups)
                benchmark::DoNotOptimize(dm.GRQuery->valueAt(r, f));
    }
    state.counters["lookup_fields"] = double(lookups.size());
    dm.GRQuery->close();
}

void BM_UsrModifyExisting(benchmark::State& state, bool postgres)
{
    database::TDM& dm = site(postgres);
    database::LogOn().CurrentUID = 1;
    openJournal(dm,
                QStringLiteral(" and (coretable.RecID=") + QString::number(kSavedRecord) + u')');
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        dm.GRQuery->edit();
        dm.GRQuery->fieldByName(QStringLiteral("COMMENT"))
            ->setValue(QStringLiteral("Изменено %1").arg(++n));
        dm.GRQuery->fieldByName(QStringLiteral("N1"))->setValue(n);
        state.ResumeTiming();
        dm.UsrModify();
    }
    dm.GRQuery->close();
}

void registerAll(const char* backend, bool postgres)
{
    auto name = [&](const char* what) { return std::string(what) + "/" + backend; };
    benchmark::RegisterBenchmark(name("PlainFetch").c_str(), BM_PlainFetch, postgres)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark(name("OpenUserQuery").c_str(), BM_OpenUserQuery, postgres)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark(name("OpenUserQueryEmpty").c_str(), BM_OpenUserQueryEmpty,
                                 postgres)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    benchmark::RegisterBenchmark(name("ReadLookupTexts").c_str(), BM_ReadLookupTexts, postgres)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark(name("UsrModifyExisting").c_str(), BM_UsrModifyExisting, postgres)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(50);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    registerAll("SQLite", false);
    if (bench::LargeSitePostgresAvailable())
        registerAll("PostgreSQL", true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    sites().clear();
    return 0;
}
