#include "shell/ReportWindows.h"

#include "framework/ProgressWindow.h"
#include "framework/WindowPlacement.h"
#include "framework/WindowPositions.h"
#include "platform/cups/CupsPrintJobs.h"
#include "session/LoginWindows.h"

#include <QChildEvent>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPaintEngine>
#include <QPrintDialog>
#include <QPrintEngine>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <string>

namespace zendrel {

namespace {

// Where the report's windows keep their places in the position file.
const QString kProgressProcedure = QStringLiteral("ReportProgress");
const QString kPreviewProcedure = QStringLiteral("ReportPreview");
const QString kMaximized = QStringLiteral("Maximized");

// Whether the printer is drawing the preview's pages rather than printing them: the preview puts a recording
// engine of its own in place of the printer's while it draws.
bool drawsPreview(QPrinter& printer) {
    const QPaintEngine* engine = printer.paintEngine();
    return engine && engine->type() == QPaintEngine::Picture;
}

// The choices of a CUPS printer's own properties in Qt's print dialog: the print engine's property for them.
const auto kCupsOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);
// How often a print job is asked how it goes.
constexpr int kJobPollMilliseconds = 200;

// Qt's print dialog tries the file chosen for "Print to File" by opening it and closing it again before it
// accepts: on one of the store's own files that would drop this program's locks on it. The choice is checked
// first, the way every report file is, and the dialog stays open after a refusal. Guards a print dialog, or
// the ones a window (the preview) opens.
class PrintDialogGuard final : public QObject {
public:
    PrintDialogGuard(QWidget* window, const DataStore& store, MessageService& messages)
        : m_store(store), m_messages(messages) {
        if (auto* dialog = qobject_cast<QPrintDialog*>(window)) {
            guard(dialog);
        } else {
            window->installEventFilter(this);
        }
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::ChildPolished) {
            if (auto* dialog = qobject_cast<QPrintDialog*>(static_cast<QChildEvent*>(event)->child())) {
                guard(dialog);
            }
        }
        return false;
    }

private:
    void guard(QPrintDialog* dialog) {
        static const char* const kGuarded = "zendrelOutputFileChecked";
        if (dialog->property(kGuarded).toBool()) {
            return;
        }
        auto* buttons = dialog->findChild<QDialogButtonBox*>(QString(), Qt::FindDirectChildrenOnly);
        auto* file = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
        // Qt's own check runs on "OK"; it runs after ours instead.
        if (!buttons || !file || !QObject::disconnect(buttons, SIGNAL(accepted()), dialog, SLOT(_q_checkFields()))) {
            return;
        }
        dialog->setProperty(kGuarded, true);
        const DataStore* store = &m_store;
        MessageService* messages = &m_messages;
        QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, [dialog, file, store, messages] {
            if (file->isEnabled() && !file->text().isEmpty() &&
                !ReportPdfFile::acceptable(file->text(), store, *messages)) {
                return;
            }
            QMetaObject::invokeMethod(dialog, "_q_checkFields");
        });
    }

    const DataStore& m_store;
    MessageService& m_messages;
};

} // namespace

// Printed pages on their way: to a printer of the system as a print job, or into a PDF file.
class ReportWindows::Destination {
public:
    explicit Destination(std::unique_ptr<ReportPrintJob> job) : m_job(std::move(job)) {}
    explicit Destination(std::unique_ptr<ReportPdfFile> pdf) : m_pdf(std::move(pdf)) {}

    QPaintDevice& device() { return m_pdf ? static_cast<QPaintDevice&>(m_pdf->device()) : m_job->device(); }
    DevicePages& output() { return m_pdf ? m_pdf->output() : m_job->output(); }
    ReportPdfFile* pdf() { return m_pdf.get(); }
    ReportPrintJob* job() { return m_job.get(); }

    // Nothing of the job comes out.
    void discard() {
        if (m_pdf) {
            m_pdf->discard();
        } else {
            m_job->discard();
        }
    }

private:
    std::unique_ptr<ReportPrintJob> m_job;
    std::unique_ptr<ReportPdfFile> m_pdf;
};

ReportWindows::ReportWindows(DataStore& store, MessageService& messages, FileDialogs* dialogs, Clock& clock,
                             WindowPositions* positions, QWidget* parent, PrintJobs* jobs)
    : m_store(store), m_messages(messages), m_dialogs(dialogs), m_clock(clock), m_positions(positions),
      m_parent(parent), m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)), m_jobs(jobs) {
    if (!m_jobs) {
        m_ownJobs = std::make_unique<CupsPrintJobs>();
        m_jobs = m_ownJobs.get();
    }
    if (!hasPrinter()) {
        // The page a PDF of the command line gets, so that both count the same pages.
        m_printer->setPageLayout(defaultReportPageLayout());
    } else {
        m_printer->setPageMargins(defaultReportPageLayout().margins(), QPageLayout::Millimeter);
    }
}

ReportWindows::~ReportWindows() = default;

bool ReportWindows::hasPrinter() const {
    if (m_printer->outputFormat() == QPrinter::PdfFormat) {
        return !m_printer->outputFileName().isEmpty();
    }
    return !m_printer->printerName().isEmpty() && !QPrinterInfo::printerInfo(m_printer->printerName()).isNull();
}

void ReportWindows::printSetup() {
    QPrintDialog dialog(m_printer.get(), m_parent);
    dialog.setWindowTitle(QStringLiteral("Print Setup"));
    dialog.setAccessibleName(dialog.windowTitle());
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize |
                      QAbstractPrintDialog::PrintCollateCopies);
    PrintDialogGuard guard(&dialog, m_store, m_messages);
    if (dialog.exec() == QDialog::Accepted) {
        setCopies(m_printer->copyCount());
    }
}

std::unique_ptr<ReportWindows::Destination> ReportWindows::openDestination(const ReportStrings& strings) {
    if (m_printer->outputFormat() == QPrinter::PdfFormat || !hasPrinter()) {
        QString path = m_printer->outputFileName();
        if (!hasPrinter()) {
            // No printer: say so, and offer the pages as a PDF file instead of ending as if they were printed.
            const Answer a = m_messages.show(Message{strings.text(QStringLiteral("NoDfltPrtrTitle")),
                                                     strings.text(QStringLiteral("NoDfltPrtrText")), Buttons::YesNo,
                                                     Answer::Yes, false, MessageKind::Warning});
            if (a != Answer::Yes || !m_dialogs) {
                return {};
            }
            const auto chosen =
                m_dialogs->saveFile(strings.text(QStringLiteral("AsciiOutTitle")),
                                    QStringLiteral("PDF|*.PDF|All Files|*.*"), QStringLiteral("report.pdf"));
            if (!chosen || chosen->trimmed().isEmpty()) {
                return {};
            }
            path = *chosen;
        }
        auto pdf = ReportPdfFile::create(path, &m_store, m_messages, m_printer->pageLayout(), m_printer->resolution());
        if (!pdf) {
            return {};
        }
        return std::make_unique<Destination>(std::move(pdf));
    }
    auto job = ReportPrintJob::create(*m_jobs, m_printer->printerName(), jobOptions(), m_messages,
                                      m_printer->pageLayout(), m_printer->resolution());
    if (!job) {
        return {};
    }
    return std::make_unique<Destination>(std::move(job));
}

PrintJobs::Options ReportWindows::jobOptions() const {
    PrintJobs::Options options;
    const QPageLayout layout = m_printer->pageLayout();
    options.emplace_back("media", layout.pageSize().key().toStdString());
    const int copies = m_printer->copyCount();
    if (copies > 1) {
        options.emplace_back("copies", std::to_string(copies));
        if (m_printer->collateCopies()) {
            options.emplace_back("Collate", "True");
        }
    }
    switch (m_printer->duplex()) {
    case QPrinter::DuplexNone:
        options.emplace_back("sides", "one-sided");
        break;
    case QPrinter::DuplexAuto:
        options.emplace_back("sides", layout.orientation() == QPageLayout::Portrait ? "two-sided-long-edge"
                                                                                    : "two-sided-short-edge");
        break;
    case QPrinter::DuplexLongSide:
        options.emplace_back("sides", "two-sided-long-edge");
        break;
    case QPrinter::DuplexShortSide:
        options.emplace_back("sides", "two-sided-short-edge");
        break;
    }
    if (layout.orientation() == QPageLayout::Landscape) {
        options.emplace_back("landscape", "");
    }
    // What was chosen in the printer's own properties in the print dialog, as name and value in turn.
    if (QPrintEngine* engine = m_printer->printEngine()) {
        const QStringList chosen = engine->property(kCupsOptions).toStringList();
        for (qsizetype i = 0; i + 1 < chosen.size(); i += 2) {
            options.emplace_back(chosen[i].toStdString(), chosen[i + 1].toStdString());
        }
    }
    return options;
}

bool ReportWindows::finish(Destination& destination, const ReportStrings& strings) {
    if (ReportPdfFile* pdf = destination.pdf()) {
        return pdf->finish();
    }
    ReportPrintJob& job = *destination.job();
    return job.submit(m_jobTitle) && follow(job, strings);
}

bool ReportWindows::follow(ReportPrintJob& job, const ReportStrings& strings) {
    const QString userText = strings.text(QStringLiteral("ProgWinUsrText"));
    ProgressWindow progress(
        [&](ProgressWindow& w) {
            const bool printing = job.poll() == ReportPrintJob::State::Printing;
            w.setLines(job.stateText(), userText);
            return printing;
        },
        m_parent);
    progress.setInterval(kJobPollMilliseconds);
    progress.setProgress(1, 1);
    progress.setLines(job.stateText(), userText);
    progress.setCancelCheck([&] {
        if (!sureToCancel(strings)) {
            return false;
        }
        job.cancel();
        return true;
    });
    runProgress(progress, strings.text(QStringLiteral("ProgWinTitlePrnt")));
    return job.state() == ReportPrintJob::State::Printed;
}

bool ReportWindows::sureToCancel(const ReportStrings& strings) {
    return m_messages.show(strings.text(QStringLiteral("CancelAreYouSureTitle")),
                           strings.text(QStringLiteral("CancelAreYouSureText")), Buttons::YesNo,
                           Answer::No) == Answer::Yes;
}

int ReportWindows::runProgress(ProgressWindow& progress, const QString& title) {
    progress.setWindowTitle(title);
    progress.setAccessibleName(title);
    if (m_positions) {
        restorePlacement(&progress, *m_positions, kProgressProcedure);
    }
    const int result = progress.run();
    if (m_positions) {
        savePlacement(&progress, *m_positions, kProgressProcedure);
    }
    return result;
}

bool ReportWindows::printPages(const std::vector<ReportPage>& pages, int copies, const ReportStrings& strings) {
    auto destination = openDestination(strings);
    if (!destination) {
        return false;
    }
    for (int c = 0; c < copies; ++c) {
        for (const ReportPage& page : pages) {
            if (!destination->output().paint(page)) {
                break;
            }
        }
    }
    return finish(*destination, strings);
}

bool ReportWindows::preview(const std::vector<ReportPage>& pages, const ReportStrings& strings) {
    bool printed = false;
    QPrintPreviewDialog dialog(m_printer.get(), m_parent);
    dialog.setWindowTitle(QStringLiteral("Print Preview"));
    PrintDialogGuard guard(&dialog, m_store, m_messages);
    dialog.setAccessibleName(dialog.windowTitle());
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* printer) {
        if (drawsPreview(*printer)) {
            DevicePages out(*printer);
            for (const ReportPage& page : pages) {
                out.paint(page);
            }
            out.finish();
            return;
        }
        // The print asked for from the preview, on the printer or into the file chosen in the print dialog: the
        // way every report prints, so that a file or printer that fails says so. Copies the printer does not
        // make are painted here.
        printed = printPages(pages, printer->supportsMultipleCopies() ? 1 : std::max(printer->copyCount(), 1), strings);
    });
    m_previewed = &pages;
    // The size it was left at, or the whole screen the first time.
    const bool placed = m_positions && restorePlacement(&dialog, *m_positions, kPreviewProcedure);
    if (!placed || (m_positions && m_positions->value(kPreviewProcedure, kMaximized) == "1")) {
        dialog.setWindowState(Qt::WindowMaximized);
    }
    dialog.exec();
    if (m_positions) {
        savePlacement(&dialog, *m_positions, kPreviewProcedure);
        m_positions->setValue(kPreviewProcedure, kMaximized, dialog.isMaximized() ? "1" : "0");
    }
    m_previewed = nullptr;
    return printed;
}

bool ReportWindows::run(ReportKind kind, const ReportOptions& options) {
    const ReportStrings strings = ReportStrings::load(m_store);
    const int copies = m_copies;
    m_printer->setCopyCount(1);
    bool previewing = false;
    if (ReportOperations::offersPreview(kind)) {
        const Answer a =
            m_messages.show(strings.text(QStringLiteral("AskPrvwDialogTitle")),
                            strings.text(QStringLiteral("AskPrvwDialogText")), Buttons::YesNoCancel, Answer::Yes);
        if (a != Answer::Yes && a != Answer::No) {
            return false;
        }
        previewing = a == Answer::Yes;
    }
    const auto user = SelectUsers::choose(m_store, m_messages, m_positions, LoginVariant::Main, m_parent);
    if (!user) {
        return false;
    }
    ReportOperations reports(m_store, m_messages);
    auto pass = reports.start(kind, *user, options, m_clock.today(), m_clock.clock());
    if (!pass) {
        return false; // "View Open Error": the report ends without output
    }
    m_jobTitle = pass->layout().heading;

    // Pages are kept for a preview, and for copies that the printer does not make; otherwise they go to the
    // printer as they are made.
    const bool collecting = previewing || (copies > 1 && !m_printer->supportsMultipleCopies());
    PageList list;
    std::unique_ptr<Destination> destination;
    std::unique_ptr<ReportPainter> painter;
    bool declined = false; // no output wanted after all (no printer, no file)
    bool partial = false;  // cancelled, and what was made is to be previewed

    const QString userText = strings.text(QStringLiteral("ProgWinUsrText"));
    ProgressWindow progress(
        [&](ProgressWindow& w) {
            if (!painter) {
                if (!pass->begin()) {
                    return false;
                }
                if (collecting) {
                    painter = std::make_unique<ReportPainter>(pass->layout(), *m_printer, list);
                } else {
                    // Pages go straight to the printer, which makes the copies itself.
                    m_printer->setCopyCount(copies);
                    destination = openDestination(strings);
                    if (!destination) {
                        declined = true;
                        return false;
                    }
                    painter =
                        std::make_unique<ReportPainter>(pass->layout(), destination->device(), destination->output());
                }
            }
            if (m_activity) {
                m_activity();
            }
            const bool more = pass->slice(*painter);
            w.setProgress(pass->printed(), pass->total());
            w.setLines(pass->progressText(strings), userText);
            return more;
        },
        m_parent);
    progress.setLines(pass->progressText(strings), userText);
    progress.setProgress(0, pass->total());
    progress.setCancelCheck([&] {
        if (!sureToCancel(strings)) {
            return false;
        }
        if (previewing && painter && (painter->pages() > 0 || painter->pageOpen())) {
            const Answer part = m_messages.show(strings.text(QStringLiteral("CancelPrvwPartialTitle")),
                                                strings.text(QStringLiteral("CancelPrvwPartialText")),
                                                Buttons::YesNoIgnore, Answer::Yes);
            if (part == Answer::Ignore) {
                return false;
            }
            partial = part == Answer::Yes;
        }
        return true;
    });
    const QString title =
        strings.text(previewing ? QStringLiteral("ProgWinTitlePrvw") : QStringLiteral("ProgWinTitlePrnt"));
    if (runProgress(progress, title) != QDialog::Accepted) {
        pass->cancel();
    }

    if (declined || pass->stopped()) {
        if (destination) {
            destination->discard();
        }
        return false;
    }
    const bool made = pass->completed() || partial;
    if (!made) {
        if (destination) {
            destination->discard();
        }
        // Cancelled: a preview says there is nothing to preview; printing ends without output.
        if (previewing) {
            ReportOperations::showNothing(m_messages, strings, previewing);
        }
        return false;
    }
    if (painter && !painter->finish()) {
        if (destination) {
            destination->discard();
        }
        return false;
    }
    if (destination) {
        return finish(*destination, strings);
    }
    if (list.pages.empty()) {
        ReportOperations::showNothing(m_messages, strings, previewing);
        return false;
    }
    if (previewing) {
        return preview(list.pages, strings);
    }
    return printPages(list.pages, copies, strings);
}

} // namespace zendrel
