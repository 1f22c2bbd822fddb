// The longest timer slice of each synchronization pass over 100,000 entries (notes of 200 characters), as
// the progress window runs them: the window must answer between slices, so none may take long.
//   bench_sync_slices [ENTRIES]
#include "BenchData.h"
#include "operations/SyncOperations.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

using namespace zendrel;

namespace {

bench::SliceFigures drive(SyncOperations::Pass& pass) {
    const bench::SliceFigures f = bench::driveSlices(pass);
    pass.finish(false);
    return f;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    QTemporaryDir home;
    QTemporaryDir office;
    QTemporaryDir stick;
    auto& messages = bench::quietMessages();
    auto& clock = bench::benchClock();
    DataStore a({home.path(), ownerKeys(), &messages, {}, &clock});
    DataStore b({office.path(), ownerKeys(), &messages, {}, &clock});
    UserRecord user = Table<UserRecord>(a).prime();
    user.name = QStringLiteral("Bench User");
    user.password = user.confirmPassword = QStringLiteral("bench");
    Table<UserRecord>(a).insert(user);
    Table<UserRecord>(b).insert(user);
    for (int done = 0; done < count;) {
        std::vector<Row> rows;
        for (int i = 0; i < 1000 && done < count; ++i, ++done) {
            PasswordRecord e = bench::benchEntry(done);
            e.id = done + 1;
            e.notes = QString(200, QLatin1Char('n'));
            rows.push_back(toRow(e));
        }
        a.insertMany(tables::passwords(), rows);
    }
    const QString file = QDir(stick.path()).filePath(QStringLiteral("bench.syn"));
    SyncOperations out(a, messages);
    const bench::SliceFigures send = drive(*out.send(user, file));
    SyncOperations in(b, messages);
    const bench::SliceFigures receive = drive(*in.receive(user, file));
    for (const auto& [name, f] : {std::pair<const char*, const bench::SliceFigures&>{"send:   ", send}, {"receive:", receive}}) {
        std::printf("%s %.2f s, %lld slices, median %.1f ms, 99th %.1f ms, longest %lld ms, %lld over 50 ms\n", name,
                    f.seconds, static_cast<long long>(f.slices), static_cast<double>(f.percentile(0.5)) / 1000.0,
                    static_cast<double>(f.percentile(0.99)) / 1000.0, static_cast<long long>(f.longestMs),
                    static_cast<long long>(f.over50));
    }
    return 0;
}
