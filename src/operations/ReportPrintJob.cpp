#include "operations/ReportPrintJob.h"

#include "base/Files.h"

#include <QDir>

namespace zendrel {

namespace {

const QString kTitle = QStringLiteral("Print Error");
// Polls in a row that may fail to read the job (the service restarting) before the report gives up on it.
constexpr int kUnreadPolls = 5;

QString sentence(QString s) {
    s = s.trimmed();
    if (!s.isEmpty() && !s.endsWith(QLatin1Char('.')) && !s.endsWith(QLatin1Char('!'))) {
        s += QLatin1Char('.');
    }
    return s;
}

QString cannotPrint(const QString& printer, const QString& why) {
    return QStringLiteral("The report could not be printed on %1.  Error: %2").arg(printer, sentence(why));
}

} // namespace

std::unique_ptr<ReportPrintJob> ReportPrintJob::create(PrintJobs& jobs, const QString& printer,
                                                       PrintJobs::Options options, MessageService& messages,
                                                       const QPageLayout& layout, int resolution) {
    std::unique_ptr<ReportPrintJob> job(new ReportPrintJob(jobs, printer, std::move(options), messages));
    if (!job->m_dir.isValid()) {
        messages.show(kTitle, cannotPrint(printer, job->m_dir.errorString()));
        return {};
    }
    job->m_path = QDir(job->m_dir.path()).filePath(QStringLiteral("report.pdf"));
    job->m_pdf = ReportPdfFile::create(job->m_path, nullptr, messages, layout, resolution);
    if (!job->m_pdf) {
        return {};
    }
    return job;
}

ReportPrintJob::~ReportPrintJob() {
    if (m_job > 0 && m_state == State::Printing) {
        cancel();
    }
    wipe();
}

void ReportPrintJob::wipe() {
    if (m_pdf) {
        m_pdf->discard(); // overwrites and removes what was written so far
        m_pdf.reset();
    }
    if (!m_path.isEmpty()) {
        wipeAndRemove(m_path);
    }
}

ReportPrintJob::State ReportPrintJob::fail(const QString& text) {
    m_state = State::Failed;
    m_messages.show(kTitle, text);
    return m_state;
}

void ReportPrintJob::discard() {
    m_state = State::Cancelled;
    wipe();
}

bool ReportPrintJob::submit(const QString& title) {
    if (!m_pdf || m_job > 0) {
        return false;
    }
    if (!m_pdf->finish()) {
        m_state = State::Failed;
        wipe();
        return false;
    }
    const PrintJobs::Submitted sent =
        m_jobs.submit(m_printer.toStdString(), QFile::encodeName(m_path).toStdString(), title.toStdString(), m_options);
    // ReportPdfFile::finish left the file whole: wipe it now, the service holds its own copy.
    m_pdf.reset();
    wipeAndRemove(m_path);
    if (sent.job <= 0) {
        fail(cannotPrint(m_printer, QString::fromStdString(sent.error)));
        return false;
    }
    m_job = sent.job;
    return true;
}

ReportPrintJob::State ReportPrintJob::poll() {
    if (m_state != State::Printing || m_job <= 0) {
        return m_state;
    }
    const PrintJobs::Status s = m_jobs.status(m_printer.toStdString(), m_job);
    if (!s.error.empty()) {
        if (++m_unread < kUnreadPolls) {
            return m_state;
        }
        return fail(QStringLiteral("Whether the report was printed on %1 is not known.  Error: %2")
                        .arg(m_printer, sentence(QString::fromStdString(s.error))));
    }
    m_unread = 0;
    m_last = s.state;
    const QString reason = QString::fromStdString(s.reason);
    auto stopped = [&] {
        // A job its printer stopped on would come out whenever someone resumes the printer, after the report
        // said it was not printed: it goes.
        std::string ignored;
        m_jobs.cancel(m_printer.toStdString(), m_job, &ignored);
        return fail(cannotPrint(m_printer, reason.isEmpty() ? QStringLiteral("The printer stopped") : reason));
    };
    switch (s.state) {
    case PrintJobs::State::Completed:
        m_state = State::Printed;
        return m_state;
    case PrintJobs::State::Aborted:
        return fail(cannotPrint(m_printer, reason.isEmpty() ? QStringLiteral("The print job was aborted") : reason));
    case PrintJobs::State::Cancelled:
        return fail(cannotPrint(m_printer, reason.isEmpty() ? QStringLiteral("The print job was cancelled") : reason));
    case PrintJobs::State::Stopped:
        return stopped();
    case PrintJobs::State::Pending:
    case PrintJobs::State::Held:
    case PrintJobs::State::Processing:
        return s.printerStopped ? stopped() : m_state;
    case PrintJobs::State::Unknown:
        break;
    }
    return m_state;
}

ReportPrintJob::State ReportPrintJob::cancel() {
    if (m_job <= 0 || m_state != State::Printing) {
        discard();
        return m_state;
    }
    std::string error;
    if (!m_jobs.cancel(m_printer.toStdString(), m_job, &error)) {
        // Already ended: how it ended decides.
        if (poll() != State::Printing) {
            return m_state;
        }
        return fail(QStringLiteral("The print job on %1 could not be cancelled.  Error: %2")
                        .arg(m_printer, sentence(QString::fromStdString(error))));
    }
    m_state = State::Cancelled;
    return m_state;
}

QString ReportPrintJob::stateText() const {
    switch (m_last) {
    case PrintJobs::State::Processing:
        return QStringLiteral("Printing on %1").arg(m_printer);
    case PrintJobs::State::Held:
        return QStringLiteral("Held on %1").arg(m_printer);
    default:
        return QStringLiteral("Waiting for %1").arg(m_printer);
    }
}

} // namespace zendrel
