#pragma once

#include "operations/ReportPainter.h"
#include "platform/PrintJobs.h"

#include <QTemporaryDir>
#include <memory>

namespace zendrel {

// A report on its way to a printer of the system: its pages into a private PDF file (a directory of its own,
// mode 0600: it holds passwords), handed to the print service, then followed until the printer has printed
// it. A job that the printer fails, that the service aborts or cancels, or whose printer stops, is a message
// and never counts as printed; a job whose printer stopped is cancelled, so that it does not come out later
// after the report said it had not.
class ReportPrintJob {
public:
    enum class State { Printing, Printed, Failed, Cancelled };

    // Nothing when the private file cannot be made (its message shown). `layout` and `resolution` as the
    // printer's; `options` the printer's choices (copies, paper, orientation) for the service.
    static std::unique_ptr<ReportPrintJob> create(PrintJobs& jobs, const QString& printer, PrintJobs::Options options,
                                                  MessageService& messages, const QPageLayout& layout, int resolution);
    ~ReportPrintJob();

    QPdfWriter& device() { return m_pdf->device(); }
    DevicePages& output() { return m_pdf->output(); }
    const QString& printer() const { return m_printer; }
    int job() const { return m_job; }
    State state() const { return m_state; }

    // Ends the pages and hands them to the printer under `title`: false after the message that says why not.
    // The private file is wiped either way: the service keeps its own copy.
    bool submit(const QString& title);
    // How the job stands, asked on a timer once submitted: Printing while it goes on, Failed after its
    // message.
    State poll();
    // The user's "Cancel": the job is cancelled (Failed, after the service's message, when it refuses).
    State cancel();
    // Drops the pages before they were submitted.
    void discard();
    // What the job is doing, for the progress window.
    QString stateText() const;

private:
    ReportPrintJob(PrintJobs& jobs, const QString& printer, PrintJobs::Options options, MessageService& messages)
        : m_jobs(jobs), m_printer(printer), m_options(std::move(options)), m_messages(messages) {}
    State fail(const QString& text);
    void wipe();

    PrintJobs& m_jobs;
    QString m_printer;
    PrintJobs::Options m_options;
    MessageService& m_messages;
    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<ReportPdfFile> m_pdf;
    int m_job = 0;
    State m_state = State::Printing;
    PrintJobs::State m_last = PrintJobs::State::Pending;
    int m_unread = 0; // polls in a row that could not read the job
};

} // namespace zendrel
