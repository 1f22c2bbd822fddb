// Opening a data directory of 100,000 entries cold and reading the first 50 of one user in service order,
// and changing one entry.
#include "BenchData.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

using namespace zendrel;

namespace {

bench::QuietMessages& messages = bench::quietMessages();
SystemClock& systemClock = bench::benchClock();

const QString& dataDirectory() {
    return bench::hundredThousandEntries();
}

void BM_ColdOpenFirst50InServiceOrder(benchmark::State& state) {
    const QString& dir = dataDirectory();
    for (auto _ : state) {
        DataStore store({dir, ownerKeys(), &messages, {}, &systemClock});
        Table<PasswordRecord> entries(store);
        KeyRange r;
        r.prefix = {QStringLiteral("Bench User")};
        r.limit = 50;
        auto page = entries.read(QStringLiteral("P_:KeyService"), r);
        if (page.size() != 50) {
            state.SkipWithError("short page");
        }
        benchmark::DoNotOptimize(page);
    }
}
BENCHMARK(BM_ColdOpenFirst50InServiceOrder)->Unit(benchmark::kMillisecond)->Repetitions(15);

void BM_ChangeOneEntry(benchmark::State& state) {
    DataStore store({dataDirectory(), ownerKeys(), &messages, {}, &systemClock});
    Table<PasswordRecord> entries(store);
    auto e = entries.get(50000);
    int n = 0;
    for (auto _ : state) {
        e->notes = QStringLiteral("changed %1").arg(++n);
        if (!entries.change(*e)) {
            state.SkipWithError("change refused");
        }
    }
}
BENCHMARK(BM_ChangeOneEntry)->Unit(benchmark::kMillisecond)->Repetitions(5);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
