// The master report over many entries (notes of 200 characters):
//   bench_report make DIR [ENTRIES]   a data directory whose user "Bench User" (no login password) has the
//                                     entries, and DIR/plain.txt: the master report's fields as plain text
//   bench_report ticks DIR [preview|printing]
//                                     the report's pass in the ticks of its progress window (25 entries each),
//                                     once into the page list of a preview and once straight into a PDF file
//                                     (or only the one named): the longest tick, how many take over 50 ms, and
//                                     the peak memory so far
//   bench_report window DIR           the page list of a preview, then the preview window's own recording of
//                                     every page that it shows: the peak memory after each
#include "BenchData.h"
#include "operations/ReportOperations.h"
#include "operations/ReportPainter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QApplication>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace zendrel;

namespace {

UserRecord benchUser(DataStore& store) {
    UserRecord user = Table<UserRecord>(store).prime();
    user.name = QStringLiteral("Bench User");
    user.password = user.confirmPassword = QStringLiteral("Not Required");
    return user;
}

int make(const QString& dir, int count) {
    DataStore store({dir, ownerKeys(), &bench::quietMessages(), {}, &bench::benchClock()});
    UserRecord user = benchUser(store);
    Table<UserRecord>(store).insert(user);
    QFile plain(QDir(dir).filePath(QStringLiteral("plain.txt")));
    if (!plain.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return 1;
    }
    QTextStream text(&plain);
    for (int done = 0; done < count;) {
        std::vector<Row> rows;
        for (int i = 0; i < 1000 && done < count; ++i, ++done) {
            PasswordRecord e = bench::benchEntry(done);
            e.id = done + 1;
            e.notes = QString(200, QLatin1Char('n'));
            rows.push_back(toRow(e));
            // The same fields as the master report prints them, one a line.
            text << "Service " << e.service << "\nURL " << e.url << "\nName " << e.name << "\nPassword " << e.password
                 << "\nLast Changed: " << ReportOperations::pictureText(e.lastChangeDate, "d4b", {}) << ' '
                 << ReportOperations::pictureText(e.lastChangeTime, "t3b", {})
                 << "\nSettings for Send: Monitor\nWait: " << ReportOperations::pictureText(e.secondsToWait, "n3B", {})
                 << "\nNo Repeat:\nTitle: " << e.windowTitleToLocate << "\nSend: " << e.paste << '\n'
                 << e.notes.left(80) << '\n'
                 << e.notes.mid(80, 80) << '\n'
                 << e.notes.mid(160) << "\n\n";
        }
        store.insertMany(tables::passwords(), rows);
    }
    return 0;
}

struct Ticks {
    std::vector<qint64> micros;
    int pages = 0;
    double seconds = 0;
    qint64 longest() const { return micros.empty() ? 0 : *std::max_element(micros.begin(), micros.end()); }
    qint64 over(qint64 ms) const {
        return std::count_if(micros.begin(), micros.end(), [ms](qint64 us) { return us > ms * 1000; });
    }
    qint64 percentile(double p) const {
        std::vector<qint64> sorted = micros;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0 : sorted[static_cast<size_t>(p * static_cast<double>(sorted.size() - 1))];
    }
};

// The ticks as the progress window runs them: the first one reads the first entries and opens the output.
Ticks drive(DataStore& store, bool preview, const QString& pdfPath) {
    Ticks t;
    ReportOperations reports(store, bench::quietMessages());
    auto pass = reports.start(ReportKind::Master, benchUser(store), {}, bench::benchClock().today(),
                              bench::benchClock().clock());
    PageList list;
    std::unique_ptr<ReportPdfFile> pdf;
    std::unique_ptr<ReportPainter> painter;
    QElapsedTimer whole;
    whole.start();
    for (bool more = true; more;) {
        QElapsedTimer one;
        one.start();
        if (!painter) {
            pass->begin();
            // A preview lays pages out on the printer's metrics and keeps them; printing paints them at once.
            pdf = ReportPdfFile::create(pdfPath, &store, bench::quietMessages());
            painter = std::make_unique<ReportPainter>(pass->layout(), pdf->device(),
                                                      preview ? static_cast<PageOutput&>(list) : pdf->output());
        }
        more = pass->slice(*painter);
        t.micros.push_back(one.nsecsElapsed() / 1000);
    }
    painter->finish();
    t.pages = preview ? static_cast<int>(list.pages.size()) : pdf->output().pages();
    if (!preview) {
        pdf->finish();
    } else {
        pdf->discard();
    }
    t.seconds = static_cast<double>(whole.nsecsElapsed()) / 1e9;
    return t;
}

int ticks(const QString& dir, const QString& only) {
    DataStore store({dir, ownerKeys(), &bench::quietMessages(), {}, &bench::benchClock()});
    QTemporaryDir out;
    const QString pdf = QDir(out.path()).filePath(QStringLiteral("ticks.pdf"));
    for (const bool preview : {true, false}) {
        if (!only.isEmpty() && only != (preview ? QLatin1String("preview") : QLatin1String("printing"))) {
            continue;
        }
        const Ticks t = drive(store, preview, pdf);
        std::printf("%s %.2f s, %d pages, %zu ticks, median %.1f ms, 99th %.1f ms, longest %.1f ms, %lld over 50 ms, "
                    "peak %.0f MB\n",
                    preview ? "preview (page list):" : "printing (streamed): ", t.seconds, t.pages, t.micros.size(),
                    static_cast<double>(t.percentile(0.5)) / 1000.0, static_cast<double>(t.percentile(0.99)) / 1000.0,
                    static_cast<double>(t.longest()) / 1000.0, static_cast<long long>(t.over(50)),
                    bench::peakMegabytes());
    }
    return 0;
}

int window(const QString& dir) {
    DataStore store({dir, ownerKeys(), &bench::quietMessages(), {}, &bench::benchClock()});
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageLayout(defaultReportPageLayout());
    ReportOperations reports(store, bench::quietMessages());
    auto pass = reports.start(ReportKind::Master, benchUser(store), {}, bench::benchClock().today(),
                              bench::benchClock().clock());
    pass->begin();
    PageList list;
    ReportPainter painter(pass->layout(), printer, list);
    while (pass->slice(painter)) {
    }
    painter.finish();
    std::printf("page list: %zu pages, peak %.0f MB\n", list.pages.size(), bench::peakMegabytes());
    QPrintPreviewWidget preview(&printer);
    QObject::connect(&preview, &QPrintPreviewWidget::paintRequested, [&list](QPrinter* p) {
        DevicePages out(*p);
        for (const ReportPage& page : list.pages) {
            out.paint(page);
        }
        out.finish();
    });
    QElapsedTimer t;
    t.start();
    preview.updatePreview();
    std::printf("preview window: %d pages drawn in %.2f s, peak %.0f MB\n", preview.pageCount(),
                static_cast<double>(t.nsecsElapsed()) / 1e9, bench::peakMegabytes());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() >= 3 && args[1] == QLatin1String("make")) {
        return make(args[2], args.size() > 3 ? std::max(1, args[3].toInt()) : 100000);
    }
    if (args.size() >= 3 && args[1] == QLatin1String("ticks")) {
        return ticks(args[2], args.value(3));
    }
    if (args.size() >= 3 && args[1] == QLatin1String("window")) {
        return window(args[2]);
    }
    std::fprintf(stderr, "usage: bench_report make DIR [ENTRIES] | ticks DIR [preview|printing] | window DIR\n");
    return 2;
}
