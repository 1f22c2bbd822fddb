// The password list's model on 100,000 entries of one user: opening (count and the first screen of rows)
// and switching to another order; then the process's peak memory after scrolling through every row.
#include "BenchData.h"
#include "entries/PasswordListModel.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>


using namespace zendrel;

namespace {

bench::QuietMessages& messages = bench::quietMessages();
SystemClock& systemClock = bench::benchClock();

const QString& dataDirectory() {
    return bench::hundredThousandEntries();
}

void firstScreen(PasswordListModel& m) {
    for (int r = 0; r < 50 && r < m.rowCount(); ++r) {
        for (int c = 0; c < 6; ++c) {
            benchmark::DoNotOptimize(m.data(m.index(r, c)));
        }
    }
}

void BM_OpenListFirstScreen(benchmark::State& state) {
    const QString& dir = dataDirectory();
    for (auto _ : state) {
        DataStore store({dir, ownerKeys(), &messages, {}, &systemClock});
        PasswordListModel model(store, systemClock);
        model.setUser(QStringLiteral("Bench User"));
        firstScreen(model);
    }
}
BENCHMARK(BM_OpenListFirstScreen)->Unit(benchmark::kMillisecond)->Repetitions(9);

void BM_SwitchTab(benchmark::State& state) {
    DataStore store({dataDirectory(), ownerKeys(), &messages, {}, &systemClock});
    PasswordListModel model(store, systemClock);
    model.setUser(QStringLiteral("Bench User"));
    const PasswordListModel::Order orders[] = {PasswordListModel::Order::Url, PasswordListModel::Order::Name,
                                               PasswordListModel::Order::Date, PasswordListModel::Order::Expired,
                                               PasswordListModel::Order::Service};
    int i = 0;
    for (auto _ : state) {
        model.setOrder(orders[i++ % 5]);
        firstScreen(model);
    }
}
BENCHMARK(BM_SwitchTab)->Unit(benchmark::kMillisecond)->Repetitions(9);

void BM_ScrollEveryRowPeakMemory(benchmark::State& state) {
    DataStore store({dataDirectory(), ownerKeys(), &messages, {}, &systemClock});
    PasswordListModel model(store, systemClock);
    model.setUser(QStringLiteral("Bench User"));
    for (auto _ : state) {
        for (int r = 0; r < model.rowCount(); ++r) {
            benchmark::DoNotOptimize(model.data(model.index(r, 0)));
        }
    }
    state.counters["peak_MB"] = bench::peakMegabytes();
}
BENCHMARK(BM_ScrollEveryRowPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
