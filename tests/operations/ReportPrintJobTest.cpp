// A report's print job as the print service answers about it, scripted: what counts as printed, what is a
// message, which jobs are cancelled. The real scheduler's answers are in ReportPrinterTest.
#include "operations/ReportPrintJob.h"

#include "support/PdfText.h"
#include "support/ScriptedServices.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <deque>
#include <gtest/gtest.h>

using namespace zendrel;

namespace {

using State = PrintJobs::State;

class ScriptedJobs final : public PrintJobs {
public:
    Submitted submit(const std::string& printer, const std::string& file, const std::string& title,
                     const Options& options) override {
        submittedPages = test::pdfPages(QString::fromStdString(file));
        return refusal.empty() ? Submitted{7, {}} : Submitted{0, refusal};
    }
    Status status(const std::string&, int job) override {
        EXPECT_EQ(job, 7);
        if (answers.empty()) {
            return {State::Processing, false, {}, {}};
        }
        Status s = answers.front();
        answers.pop_front();
        return s;
    }
    bool cancel(const std::string&, int job, std::string* error) override {
        cancelled.push_back(job);
        if (!cancelRefusal.empty()) {
            *error = cancelRefusal;
            return false;
        }
        return true;
    }

    std::string refusal;
    std::string cancelRefusal;
    std::deque<Status> answers;
    std::vector<int> cancelled;
    int submittedPages = -1; // of the file handed over
};

PrintJobs::Status at(State state, const std::string& reason = {}, bool printerStopped = false) {
    return {state, printerStopped, reason, {}};
}
PrintJobs::Status unread(const std::string& error) {
    return {State::Unknown, false, {}, error};
}

class ReportPrintJobTest : public ::testing::Test {
protected:
    ScriptedJobs jobs;
    ScriptedMessages messages;
    QTemporaryDir temp;
    QByteArray oldTemp = qgetenv("TMPDIR");

    void SetUp() override { qputenv("TMPDIR", QFile::encodeName(temp.path())); }
    void TearDown() override { qputenv("TMPDIR", oldTemp); }

    std::unique_ptr<ReportPrintJob> submitted() {
        auto job = ReportPrintJob::create(jobs, "office", {}, messages, defaultReportPageLayout(), 300);
        if (!job) {
            ADD_FAILURE() << "no job";
            return {};
        }
        ReportPage page;
        job->output().paint(page);
        job->submit("Passwords by Name");
        return job;
    }
    QStringList said() const {
        QStringList l;
        for (const Message& m : messages.shown) {
            l << m.title + " / " + m.text;
        }
        return l;
    }
    // No file under the temporary directory (the job's own directory goes with the job).
    bool noFileLeft() const {
        return !QDirIterator(temp.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories)
                    .hasNext();
    }
    bool tempEmpty() const { return QDir(temp.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot); }
};

} // namespace

TEST_F(ReportPrintJobTest, TheJobCountsAsPrintedOnlyWhenTheServiceSaysItCompleted) {
    const QString prefix = "Print Error / The report could not be printed on office.  Error: ";
    struct Case {
        std::deque<PrintJobs::Status> answers;
        ReportPrintJob::State ends;
        QStringList said;
        std::vector<int> cancelled; // the jobs the report cancelled
    };
    const Case cases[] = {
        {{at(State::Pending), at(State::Processing), at(State::Completed)}, ReportPrintJob::State::Printed, {}, {}},
        // Held jobs wait for someone to release them; the report waits too (its "Cancel" ends that).
        {{at(State::Held), at(State::Held), at(State::Completed)}, ReportPrintJob::State::Printed, {}, {}},
        // A service that restarts for a moment is waited for.
        {{unread("gone"), unread("gone"), at(State::Completed)}, ReportPrintJob::State::Printed, {}, {}},
        {{at(State::Processing), at(State::Aborted, "Out of paper")},
         ReportPrintJob::State::Failed,
         {prefix + "Out of paper."},
         {}},
        {{at(State::Aborted)}, ReportPrintJob::State::Failed, {prefix + "The print job was aborted."}, {}},
        {{at(State::Cancelled, "Cancelled by the administrator!")},
         ReportPrintJob::State::Failed,
         {prefix + "Cancelled by the administrator!"},
         {}},
        {{at(State::Cancelled)}, ReportPrintJob::State::Failed, {prefix + "The print job was cancelled."}, {}},
        // A stopped printer keeps the job for when it is resumed: the report cancels it.
        {{at(State::Processing), at(State::Pending, "Paused", true)},
         ReportPrintJob::State::Failed,
         {prefix + "Paused."},
         {7}},
        {{at(State::Stopped)}, ReportPrintJob::State::Failed, {prefix + "The printer stopped."}, {7}},
        {{unread("a"), unread("b"), unread("c"), unread("d"), unread("Connection refused")},
         ReportPrintJob::State::Failed,
         {"Print Error / Whether the report was printed on office is not known.  Error: Connection refused."},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answers.size());
        messages.shown.clear();
        jobs.cancelled.clear();
        jobs.answers = c.answers;
        auto job = submitted();
        ASSERT_TRUE(job);
        EXPECT_EQ(job->job(), 7);
        EXPECT_EQ(jobs.submittedPages, 1); // a whole PDF file
        // The private file is wiped once the service has the job.
        EXPECT_TRUE(noFileLeft());
        int polls = 0;
        while (job->poll() == ReportPrintJob::State::Printing && polls < 20) {
            ++polls;
        }
        EXPECT_EQ(job->state(), c.ends);
        EXPECT_EQ(said(), c.said);
        EXPECT_EQ(jobs.cancelled, c.cancelled);
        // Once ended, it stays as it ended and is asked no more.
        jobs.answers = {at(State::Completed)};
        EXPECT_EQ(job->poll(), c.ends);
        EXPECT_EQ(jobs.answers.size(), 1u);
        job.reset();
        EXPECT_TRUE(tempEmpty());
        EXPECT_EQ(jobs.cancelled, c.cancelled); // an ended job is not cancelled on the way out
    }
}

TEST_F(ReportPrintJobTest, ARefusedJobIsAMessageAndItsFileIsGone) {
    jobs.refusal = "The printer or class is not accepting jobs.";
    auto job = submitted();
    ASSERT_TRUE(job);
    EXPECT_EQ(job->job(), 0);
    EXPECT_EQ(job->state(), ReportPrintJob::State::Failed);
    EXPECT_EQ(said(), QStringList{"Print Error / The report could not be printed on office.  Error: The printer or "
                                  "class is not accepting jobs."});
    EXPECT_TRUE(noFileLeft());
}

TEST_F(ReportPrintJobTest, CancelEndsTheJobUnlessItHadAlreadyEnded) {
    struct Case {
        std::string refusal; // the service's answer to the cancel
        std::deque<PrintJobs::Status> then;
        ReportPrintJob::State ends;
        QStringList said;
    };
    const Case cases[] = {
        {{}, {}, ReportPrintJob::State::Cancelled, {}},
        // Too late: it printed, and that is what the report says.
        {"The job is already completed.", {at(State::Completed)}, ReportPrintJob::State::Printed, {}},
        {"Forbidden",
         {at(State::Processing)},
         ReportPrintJob::State::Failed,
         {"Print Error / The print job on office could not be cancelled.  Error: Forbidden."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refusal);
        messages.shown.clear();
        jobs.cancelled.clear();
        jobs.cancelRefusal = c.refusal;
        jobs.answers = c.then;
        auto job = submitted();
        ASSERT_TRUE(job);
        EXPECT_EQ(job->cancel(), c.ends);
        EXPECT_EQ(jobs.cancelled, std::vector<int>{7});
        EXPECT_EQ(said(), c.said);
    }
    // A job given up while it still prints (the window gone) is cancelled on the way out.
    jobs.cancelled.clear();
    jobs.cancelRefusal.clear();
    submitted().reset();
    EXPECT_EQ(jobs.cancelled, std::vector<int>{7});
}

TEST_F(ReportPrintJobTest, PagesDroppedBeforeSubmittingNeverReachTheService) {
    auto job = ReportPrintJob::create(jobs, "office", {}, messages, defaultReportPageLayout(), 300);
    ASSERT_TRUE(job);
    ReportPage page;
    job->output().paint(page);
    job->discard();
    EXPECT_TRUE(noFileLeft());
    EXPECT_EQ(jobs.submittedPages, -1);
    EXPECT_FALSE(job->submit("Passwords by Name"));
    job.reset();
    EXPECT_TRUE(tempEmpty());
    EXPECT_TRUE(jobs.cancelled.empty());
    EXPECT_TRUE(messages.shown.isEmpty());
}
