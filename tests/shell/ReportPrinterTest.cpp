// Reports sent to printers of a real CUPS scheduler that tests/cups/with-cupsd.sh starts for this program
// alone: one that prints (and keeps what it got), one whose backend fails half-way through a job, one that
// stops on a failure, one slow enough to cancel, one that refuses jobs.
#include "framework/ProgressWindow.h"
#include "platform/cups/CupsPrintJobs.h"
#include "session/Login.h"
#include "shell/ReportWindows.h"
#include "support/PdfText.h"
#include "support/TestStore.h"
#include "support/WindowHelpers.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace zendrel;

namespace {

// The scheduler's jobs, with a look at the file each one is handed while it is still there.
class WatchedJobs final : public PrintJobs {
public:
    Submitted submit(const std::string& printer, const std::string& file, const std::string& title,
                     const Options& options) override {
        struct stat st {};
        fileMode = ::stat(file.c_str(), &st) == 0 ? (st.st_mode & 07777) : -1;
        const std::string dir = file.substr(0, file.rfind('/'));
        dirMode = ::stat(dir.c_str(), &st) == 0 ? (st.st_mode & 07777) : -1;
        submittedFile = QString::fromStdString(file);
        submittedOptions = options;
        const Submitted s = cups.submit(printer, file, title, options);
        jobs.push_back(s.job);
        return s;
    }
    Status status(const std::string& printer, int job) override { return cups.status(printer, job); }
    bool cancel(const std::string& printer, int job, std::string* error) override {
        return cups.cancel(printer, job, error);
    }

    CupsPrintJobs cups;
    std::vector<int> jobs;
    int fileMode = -1;
    int dirMode = -1;
    QString submittedFile;
    Options submittedOptions;
};

struct Shown {
    QString title;
    QString text;
    bool operator==(const Shown&) const = default;
};

void PrintTo(const Shown& s, std::ostream* os) {
    *os << s.title.toStdString() << " / " << s.text.toStdString();
}

class ReportPrinterTest : public ::testing::Test {
protected:
    test::TestStore ts;
    QString out = qEnvironmentVariable("ZENDREL_CUPS_OUT");
    ScriptedFileDialogs dialogs;
    WatchedJobs jobs;
    QTemporaryDir temp;
    QByteArray oldTemp;
    std::unique_ptr<ReportWindows> windows;

    void SetUp() override {
        if (out.isEmpty() || qEnvironmentVariableIsEmpty("CUPS_SERVER")) {
            GTEST_SKIP() << "no test scheduler: run through tests/cups/with-cupsd.sh";
        }
        // The report's private file goes under a temporary directory of this test, to see that it goes.
        oldTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        Table<UserRecord> users(ts.store());
        UserRecord ann = users.prime();
        ann.name = "Ann";
        ann.password = ann.confirmPassword = kNotRequired;
        ASSERT_TRUE(users.insert(ann));
        Table<PasswordRecord> entries(ts.store());
        for (int i = 0; i < 40; ++i) {
            PasswordRecord e = test::entry("Ann", QStringLiteral("Service %1").arg(i, 3, 10, QLatin1Char('0')), "ann");
            e.password = QStringLiteral("Secret%1").arg(i);
            e.id = entries.prime().id;
            ASSERT_TRUE(entries.insert(e));
        }
        windows =
            std::make_unique<ReportWindows>(ts.store(), ts.messages(), &dialogs, ts.clock(), nullptr, nullptr, &jobs);
    }
    void TearDown() override {
        if (!out.isEmpty()) {
            qputenv("TMPDIR", oldTemp);
        }
    }
    void usePrinter(const QString& name) {
        ASSERT_FALSE(QPrinterInfo::printerInfo(name).isNull()) << name.toStdString() << " is not a printer";
        windows->printer().setOutputFormat(QPrinter::NativeFormat);
        windows->printer().setPrinterName(name);
        ASSERT_TRUE(windows->hasPrinter());
    }
    QList<Shown> shown() {
        QList<Shown> l;
        for (const Message& m : ts.messages().shown) {
            l << Shown{m.title, m.text};
        }
        return l;
    }
    QString received(int job) const { return QDir(out).filePath(QStringLiteral("job-%1.pdf").arg(job)); }
    QStringList receivedArguments(int job) const {
        QFile f(QDir(out).filePath(QStringLiteral("job-%1.args").arg(job)));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split('\n') : QStringList();
    }
    // Nothing of a report is left in the temporary directory once it has ended.
    bool privateFilesGone() const {
        return QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty();
    }
    // Presses "Cancel" in the window that follows the print job once `ready` holds for it; the watch ends
    // with the test.
    QTimer watch;
    bool pressed = false;
    QString followTitle;
    void pressCancelWhen(std::function<bool(ProgressWindow*)> ready) {
        QObject::connect(&watch, &QTimer::timeout, [this, ready] {
            auto* w = dynamic_cast<ProgressWindow*>(QApplication::activeModalWidget());
            if (w && ready(w)) {
                watch.stop();
                pressed = true;
                followTitle = w->windowTitle();
                w->cancelButton()->click();
            }
        });
        watch.start(5);
    }
    PrintJobs::State finalState(int job) {
        PrintJobs::State s = PrintJobs::State::Unknown;
        test::waitFor(
            [&] {
                s = jobs.status("", job).state;
                return s == PrintJobs::State::Completed || s == PrintJobs::State::Cancelled ||
                       s == PrintJobs::State::Aborted;
            },
            10000);
        return s;
    }
};

} // namespace

TEST_F(ReportPrinterTest, AGoodJobPrintsWithThePrintersChoicesAndLeavesNoFileBehind) {
    usePrinter("zendrel-good");
    windows->setCopies(2);
    windows->printer().setPageOrientation(QPageLayout::Landscape);
    EXPECT_TRUE(windows->run(ReportKind::Service, {}));
    EXPECT_EQ(shown(), QList<Shown>{});
    ASSERT_EQ(jobs.jobs.size(), 1u);
    const int job = jobs.jobs[0];
    ASSERT_GT(job, 0);
    EXPECT_EQ(finalState(job), PrintJobs::State::Completed);

    // The printer got the report whole, and makes the two copies itself.
    const QString text = test::pdfText(received(job));
    EXPECT_TRUE(text.contains("Passwords by Service")) << text.toStdString();
    EXPECT_TRUE(text.contains("Service 039"));
    EXPECT_TRUE(text.contains("Secret39"));
    EXPECT_EQ(text.count("Passwords by Service"), test::pdfPages(received(job)));
    const QStringList args = receivedArguments(job);
    ASSERT_GE(args.size(), 5);
    EXPECT_EQ(args[2], "Passwords by Service"); // the job's title
    EXPECT_EQ(args[3], "2");                    // copies
    const auto has = [&](const std::string& name) {
        return std::any_of(jobs.submittedOptions.begin(), jobs.submittedOptions.end(),
                           [&](const auto& o) { return o.first == name; });
    };
    EXPECT_TRUE(has("landscape"));
    EXPECT_TRUE(has("media"));

    // The pages went through a private file that no one else could read, and it is gone.
    EXPECT_EQ(jobs.fileMode, 0600);
    EXPECT_EQ(jobs.dirMode, 0700);
    EXPECT_FALSE(QFileInfo::exists(jobs.submittedFile));
    EXPECT_TRUE(privateFilesGone());
}

TEST_F(ReportPrinterTest, AJobThatFailsMidwayIsAMessageAndNeverCountsAsPrinted) {
    struct Case {
        QString printer;
        PrintJobs::State ends; // the job, once the report has given it up
    };
    // "zendrel-fail" aborts the job; "zendrel-stopping" stops the printer and would keep the job for later,
    // so the report cancels it: it must not come out after the report said it was not printed.
    const Case cases[] = {{"zendrel-fail", PrintJobs::State::Aborted},
                          {"zendrel-stopping", PrintJobs::State::Cancelled}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.printer.toStdString());
        ts.messages().shown.clear();
        jobs.jobs.clear();
        usePrinter(c.printer);
        EXPECT_FALSE(windows->run(ReportKind::Name, {}));
        ASSERT_EQ(jobs.jobs.size(), 1u);
        EXPECT_EQ(shown(), QList<Shown>({{"Print Error", "The report could not be printed on " + c.printer +
                                                             ".  Error: The paper jammed after the first page."}}));
        EXPECT_EQ(finalState(jobs.jobs[0]), c.ends);
        EXPECT_FALSE(QFileInfo::exists(received(jobs.jobs[0])));
        EXPECT_TRUE(privateFilesGone());
    }
}

TEST_F(ReportPrinterTest, APrinterThatRefusesTheJobIsAMessage) {
    usePrinter("zendrel-closed");
    EXPECT_FALSE(windows->run(ReportKind::Name, {}));
    ASSERT_EQ(shown().size(), 1);
    EXPECT_EQ(shown()[0].title, "Print Error");
    const QString prefix = "The report could not be printed on zendrel-closed.  Error: ";
    EXPECT_TRUE(shown()[0].text.startsWith(prefix)) << shown()[0].text.toStdString();
    EXPECT_GT(shown()[0].text.size(), prefix.size() + 3); // the scheduler's reason
    EXPECT_TRUE(privateFilesGone());
}

TEST_F(ReportPrinterTest, CancelWhileThePrinterIsPrintingCancelsTheJob) {
    usePrinter("zendrel-slow");
    // "Yes" to "Are you sure ...?" once the printer has started on the job.
    ts.messages().answers = {Answer::Yes};
    pressCancelWhen([](ProgressWindow* w) { return w->upperLine()->text() == "Printing on zendrel-slow"; });
    EXPECT_FALSE(windows->run(ReportKind::Url, {}));
    EXPECT_TRUE(pressed);
    EXPECT_EQ(followTitle, "Printing Report");
    EXPECT_EQ(shown(), QList<Shown>({{"Question", "Are you sure you want to CANCEL this Report?"}}));
    ASSERT_EQ(jobs.jobs.size(), 1u);
    const int job = jobs.jobs[0];
    EXPECT_TRUE(QFileInfo::exists(QDir(out).filePath(QStringLiteral("job-%1.started").arg(job))));
    EXPECT_EQ(finalState(job), PrintJobs::State::Cancelled);
    // The backend was stopped before it could print the job.
    QTest::qWait(300);
    EXPECT_FALSE(QFileInfo::exists(received(job)));
    EXPECT_TRUE(privateFilesGone());
}

TEST_F(ReportPrinterTest, AnsweringNoToTheCancelQuestionLetsTheJobPrint) {
    usePrinter("zendrel-good");
    // The follow window's "Cancel" is pressed at once; "No" keeps the job going to its end.
    ts.messages().answers = {Answer::No};
    pressCancelWhen([](ProgressWindow* w) { return w->upperLine()->text().endsWith("zendrel-good"); });
    EXPECT_TRUE(windows->run(ReportKind::Service, {}));
    EXPECT_TRUE(pressed);
    EXPECT_EQ(shown(), QList<Shown>({{"Question", "Are you sure you want to CANCEL this Report?"}}));
    ASSERT_EQ(jobs.jobs.size(), 1u);
    EXPECT_TRUE(test::pdfText(received(jobs.jobs[0])).contains("Passwords by Service"));
}

TEST_F(ReportPrinterTest, PrintingFromThePreviewSendsThePreviewedPagesAsAFollowedJob) {
    usePrinter("zendrel-good");
    ts.messages().answers = {Answer::Yes}; // to the preview
    int previewed = -1;
    QTimer previewWatch;
    QObject::connect(&previewWatch, &QTimer::timeout, [&] {
        auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        if (!preview) {
            return;
        }
        previewWatch.stop();
        auto* pages = preview->findChild<QPrintPreviewWidget*>();
        test::waitFor([pages] { return pages->pageCount() > 0; });
        previewed = pages->pageCount();
        // The preview's "Print", then the print dialog taken as it is.
        test::whenModal([](QWidget* w) {
            auto* dialog = qobject_cast<QPrintDialog*>(w);
            ASSERT_TRUE(dialog);
            dialog->accept();
        });
        for (QAction* a : preview->findChildren<QAction*>()) {
            if (a->text() == "Print") {
                a->trigger();
                break;
            }
        }
        if (preview->isVisible()) {
            ADD_FAILURE() << "the preview did not end with its print";
            preview->reject();
        }
    });
    previewWatch.start(10);
    EXPECT_TRUE(windows->run(ReportKind::Master, {}));
    ASSERT_EQ(jobs.jobs.size(), 1u);
    EXPECT_EQ(finalState(jobs.jobs[0]), PrintJobs::State::Completed);
    ASSERT_GT(previewed, 1);
    EXPECT_EQ(test::pdfPages(received(jobs.jobs[0])), previewed);
    EXPECT_EQ(test::pdfText(received(jobs.jobs[0])).simplified().count("Master Password Report for Ann"), previewed);
    EXPECT_TRUE(privateFilesGone());
}
