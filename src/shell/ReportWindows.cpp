#include "shell/ReportWindows.h"

#include "framework/ProgressWindow.h"
#include "framework/WindowPlacement.h"
#include "framework/WindowPositions.h"
#include "session/LoginWindows.h"

#include <QPaintEngine>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

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

} // namespace

// Printed pages on their way: to the printer of the system, or into a PDF file.
class ReportWindows::Destination {
public:
    Destination(QPrinter& printer, MessageService& messages) : m_printer(&printer), m_messages(messages) {
        m_pages = std::make_unique<DevicePages>(printer);
    }
    Destination(std::unique_ptr<ReportPdfFile> pdf, MessageService& messages)
        : m_pdf(std::move(pdf)), m_messages(messages) {}

    QPaintDevice& device() { return m_pdf ? static_cast<QPaintDevice&>(m_pdf->device()) : *m_printer; }
    DevicePages& output() { return m_pdf ? m_pdf->output() : *m_pages; }

    // Ends the job; false after the message of a failure.
    bool finish() {
        if (m_pdf) {
            return m_pdf->finish();
        }
        if (!m_pages->finish() || m_printer->printerState() == QPrinter::Error) {
            m_messages.show(QStringLiteral("Print Error"),
                            QStringLiteral("The report could not be printed on %1.").arg(m_printer->printerName()));
            return false;
        }
        return true;
    }
    // Nothing of the job comes out.
    void discard() {
        if (m_pdf) {
            m_pdf->discard();
            return;
        }
        m_printer->abort();
        m_pages.reset();
    }

private:
    QPrinter* m_printer = nullptr;
    std::unique_ptr<DevicePages> m_pages;
    std::unique_ptr<ReportPdfFile> m_pdf;
    MessageService& m_messages;
};

ReportWindows::ReportWindows(DataStore& store, MessageService& messages, FileDialogs* dialogs, Clock& clock,
                             WindowPositions* positions, QWidget* parent)
    : m_store(store), m_messages(messages), m_dialogs(dialogs), m_clock(clock), m_positions(positions),
      m_parent(parent), m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
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
        return std::make_unique<Destination>(std::move(pdf), m_messages);
    }
    return std::make_unique<Destination>(*m_printer, m_messages);
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
    return destination->finish();
}

void ReportWindows::preview(const std::vector<ReportPage>& pages, const ReportStrings& strings) {
    QPrintPreviewDialog dialog(m_printer.get(), m_parent);
    dialog.setWindowTitle(QStringLiteral("Print Preview"));
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
        printPages(pages, printer->supportsMultipleCopies() ? 1 : std::max(printer->copyCount(), 1), strings);
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
}

void ReportWindows::run(ReportKind kind, const ReportOptions& options) {
    const ReportStrings strings = ReportStrings::load(m_store);
    const int copies = m_copies;
    m_printer->setCopyCount(1);
    bool previewing = false;
    if (ReportOperations::offersPreview(kind)) {
        const Answer a =
            m_messages.show(strings.text(QStringLiteral("AskPrvwDialogTitle")),
                            strings.text(QStringLiteral("AskPrvwDialogText")), Buttons::YesNoCancel, Answer::Yes);
        if (a != Answer::Yes && a != Answer::No) {
            return;
        }
        previewing = a == Answer::Yes;
    }
    const auto user = SelectUsers::choose(m_store, m_messages, m_positions, LoginVariant::Main, m_parent);
    if (!user) {
        return;
    }
    ReportOperations reports(m_store, m_messages);
    auto pass = reports.start(kind, *user, options, m_clock.today(), m_clock.clock());
    if (!pass) {
        return; // "View Open Error": the report ends without output
    }

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
    progress.setWindowTitle(
        strings.text(previewing ? QStringLiteral("ProgWinTitlePrvw") : QStringLiteral("ProgWinTitlePrnt")));
    progress.setAccessibleName(progress.windowTitle());
    progress.setLines(pass->progressText(strings), userText);
    progress.setProgress(0, pass->total());
    if (m_positions) {
        restorePlacement(&progress, *m_positions, kProgressProcedure);
    }
    progress.setCancelCheck([&] {
        const Answer sure =
            m_messages.show(strings.text(QStringLiteral("CancelAreYouSureTitle")),
                            strings.text(QStringLiteral("CancelAreYouSureText")), Buttons::YesNo, Answer::No);
        if (sure != Answer::Yes) {
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
    if (progress.run() != QDialog::Accepted) {
        pass->cancel();
    }
    if (m_positions) {
        savePlacement(&progress, *m_positions, kProgressProcedure);
    }

    if (declined || pass->stopped()) {
        if (destination) {
            destination->discard();
        }
        return;
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
        return;
    }
    if (painter && !painter->finish()) {
        if (destination) {
            destination->discard();
        }
        return;
    }
    if (destination) {
        destination->finish();
        return;
    }
    if (list.pages.empty()) {
        ReportOperations::showNothing(m_messages, strings, previewing);
        return;
    }
    if (previewing) {
        preview(list.pages, strings);
    } else {
        printPages(list.pages, copies, strings);
    }
}

} // namespace zendrel
