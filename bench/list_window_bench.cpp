// The password list window itself on 100,000 entries of one user, offscreen: opening it (a new data store,
// the window built, counted and drawn), switching its tab (re-sorted and drawn), and the process's peak
// memory after scrolling the list from top to bottom.
#include "BenchData.h"
#include "entries/BrowsePasswords.h"
#include "platform/sim/SimDesktop.h"
#include "support/ScriptedServices.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>


using namespace zendrel;

namespace {

bench::QuietMessages& messages = bench::quietMessages();
SystemClock& systemClock = bench::benchClock();

struct Services {
    sim::SimClipboard clipboard;
    sim::SimDesktop desktop;
    sim::SimShell shell;
    SystemRandom random;
    ScriptedFileDialogs dialogs;
    Settings settings;
};

std::unique_ptr<BrowsePasswords> openList(DataStore& store, Services& s) {
    const auto user = Table<UserRecord>(store).fetch(QStringLiteral("U_:KeyName"), {QStringLiteral("Bench User")});
    UserRecord u;
    if (user) {
        u = *user;
    } else {
        u.name = QStringLiteral("Bench User");
    }
    EntryServices services{store, messages, systemClock, s.clipboard, s.desktop, s.shell, s.random, s.dialogs,
                           nullptr, &s.settings, store.directory()};
    auto list = std::make_unique<BrowsePasswords>(services, ListLink{}, u);
    list->resize(900, 600);
    list->show();
    return list;
}

void BM_OpenListWindow(benchmark::State& state) {
    const QString& dir = bench::hundredThousandEntries();
    Services s;
    // 0: the list's own date picture; 1: month names in the date columns ("October 31, 1959").
    if (state.range(0) == 1) {
        s.settings.dateFormat = QStringLiteral("d4");
    }
    for (auto _ : state) {
        DataStore store({dir, ownerKeys(), &messages, {}, &systemClock});
        auto list = openList(store, s);
        benchmark::DoNotOptimize(list->grab());
    }
}
BENCHMARK(BM_OpenListWindow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Repetitions(9);

void BM_SwitchTabWindow(benchmark::State& state) {
    DataStore store({bench::hundredThousandEntries(), ownerKeys(), &messages, {}, &systemClock});
    Services s;
    auto list = openList(store, s);
    int tab = 0;
    for (auto _ : state) {
        tab = (tab + 1) % 5;
        list->tabs()->setCurrentIndex(tab);
        benchmark::DoNotOptimize(list->grab());
    }
}
BENCHMARK(BM_SwitchTabWindow)->Unit(benchmark::kMillisecond)->Repetitions(9);

void BM_ScrollWindowPeakMemory(benchmark::State& state) {
    DataStore store({bench::hundredThousandEntries(), ownerKeys(), &messages, {}, &systemClock});
    Services s;
    auto list = openList(store, s);
    QScrollBar* bar = list->view()->verticalScrollBar();
    for (auto _ : state) {
        // A screen at a time, each drawn, from the first row to the last.
        for (int v = 0; v <= bar->maximum(); v += bar->pageStep()) {
            bar->setValue(v);
            benchmark::DoNotOptimize(list->view()->viewport()->grab());
        }
    }
    state.counters["peak_MB"] = bench::peakMegabytes();
}
BENCHMARK(BM_ScrollWindowPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
