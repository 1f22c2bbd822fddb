#pragma once

#include "data/DataStore.h"
#include "operations/SlicedPass.h"
#include "session/OwnerKeys.h"

#include <QElapsedTimer>

#include <algorithm>
#include <vector>
#include <QString>
#include <QTemporaryDir>

#include <sys/resource.h>

namespace zendrel::bench {

// A pass run to its end in the slices its progress window runs: how long in all, how many, the longest.
struct SliceFigures {
    double seconds = 0;
    qint64 slices = 0;
    qint64 longestMs = 0;
    qint64 over50 = 0;
    std::vector<qint64> micros;
    qint64 percentile(double p) const {
        std::vector<qint64> sorted = micros;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0 : sorted[static_cast<size_t>(p * static_cast<double>(sorted.size() - 1))];
    }
};

inline SliceFigures driveSlices(SlicedPass& pass) {
    SliceFigures f;
    QElapsedTimer whole;
    whole.start();
    for (bool more = true; more;) {
        QElapsedTimer one;
        one.start();
        more = pass.slice();
        f.longestMs = std::max(f.longestMs, one.elapsed());
        f.over50 += one.elapsed() > 50 ? 1 : 0;
        f.micros.push_back(one.nsecsElapsed() / 1000);
        ++f.slices;
    }
    f.seconds = static_cast<double>(whole.nsecsElapsed()) / 1e9;
    return f;
}

// The most memory the process has held so far, in megabytes.
inline double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// An entry of the benchmark user; the same rows go through Zendrel and through the shell.
inline PasswordRecord benchEntry(int i) {
    PasswordRecord e;
    e.user = QStringLiteral("Bench User");
    e.service = QStringLiteral("Service %1").arg((i * 7919) % 100000, 6, 10, QLatin1Char('0'));
    e.url = QStringLiteral("https://site%1.example/login").arg(i % 5000);
    e.name = QStringLiteral("account%1").arg(i);
    e.password = e.confirmPassword = QStringLiteral("pw-%1-xyzzy").arg(i * 31);
    e.lastChangeDate = 81000 + i % 900;
    e.lastChangeTime = (i * 137) % 8640000 + 1;
    e.expiryDate = i % 3 ? 0 : 81000 + i % 400;
    e.level = 4000;
    e.secondsToWait = 2;
    e.paste = QStringLiteral("[Name][Tab][Password][Enter]");
    e.windowTitleToLocate = QStringLiteral("*Login*");
    e.notes = QStringLiteral("Notes of entry %1").arg(i);
    return e;
}

class QuietMessages final : public MessageService {
public:
    Answer show(const Message& m) override { return m.defaultAnswer; }
};

inline QuietMessages& quietMessages() {
    static QuietMessages m;
    return m;
}

inline SystemClock& benchClock() {
    static SystemClock c;
    return c;
}

// A data directory holding 100,000 entries of the benchmark user, made once per run.
inline const QString& hundredThousandEntries() {
    static QTemporaryDir dir;
    static const QString path = [] {
        DataStore store({dir.path(), ownerKeys(), &quietMessages(), {}, &benchClock()});
        for (int slice = 0; slice < 100; ++slice) {
            std::vector<Row> rows;
            for (int i = slice * 1000; i < (slice + 1) * 1000; ++i) {
                rows.push_back(toRow(benchEntry(i)));
            }
            store.insertMany(tables::passwords(), rows);
        }
        return dir.path();
    }();
    return path;
}

} // namespace zendrel::bench
