// Writing 100,000 dates through the date pictures, beside QDate::toString with the equivalent format
// string, in one run: month names (d4, "MMMM d, yyyy") and the system's short date (d17, the locale's
// short format with a four-digit year). Each round writes the same 100,000 days; the per-date median of
// the rounds is printed with the ratio picture / QDate::toString.
//
//   bench_dates [ROUNDS]
#include "base/DatePicture.h"
#include "base/Dates.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace zendrel;

namespace {

constexpr int kDates = 100'000;

double medianNanosPerDate(int rounds, const std::function<qsizetype()>& round) {
    std::vector<double> perDate;
    qsizetype sink = 0;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer t;
        t.start();
        sink += round();
        perDate.push_back(static_cast<double>(t.nsecsElapsed()) / kDates);
    }
    std::sort(perDate.begin(), perDate.end());
    if (sink == 0) {
        std::puts("");  // keeps the work from being optimised away
    }
    return perDate[perDate.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    std::vector<int32_t> days(kDates);
    std::vector<QDate> dates(kDates);
    for (int i = 0; i < kDates; ++i) {
        days[i] = dayNumber(QDate(1990, 1, 1)) + (i * 37) % 40'000;
        dates[i] = dateOf(days[i]);
    }
    QString shortFormat = QLocale::system().dateFormat(QLocale::ShortFormat);
    if (!shortFormat.contains(QLatin1String("yyyy"))) {
        shortFormat.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    }
    struct Pair {
        const char* name;
        QString code;
        QString format;
    };
    std::printf("locale %s, %d dates, median of %d rounds\n", qPrintable(QLocale::system().name()), kDates, rounds);
    std::printf("%-6s %-22s %12s %16s %8s\n", "code", "format", "picture ns", "toString ns", "ratio");
    for (const Pair& p : {Pair{"d4", QStringLiteral("d4"), QStringLiteral("MMMM d, yyyy")},
                          Pair{"d17", QStringLiteral("d17"), shortFormat}}) {
        // Both sides warmed once, so that one-time set-up (the locale's names, the compiled form) is not timed.
        formatDate(days[0], p.code);
        dates[0].toString(p.format);
        const double ours = medianNanosPerDate(rounds, [&] {
            qsizetype n = 0;
            for (int32_t d : days) {
                n += formatDate(d, p.code).size();
            }
            return n;
        });
        const double theirs = medianNanosPerDate(rounds, [&] {
            qsizetype n = 0;
            for (const QDate& d : dates) {
                n += d.toString(p.format).size();
            }
            return n;
        });
        std::printf("%-6s %-22s %12.1f %16.1f %8.2f\n", p.name, qPrintable(p.format), ours, theirs, ours / theirs);
    }
    return 0;
}
