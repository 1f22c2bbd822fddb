#pragma once

#include "base/FileDialogs.h"
#include "data/DataStore.h"
#include "operations/ReportOperations.h"
#include "operations/ReportPainter.h"
#include "operations/ReportPrintJob.h"
#include "platform/Clock.h"
#include "platform/PrintJobs.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

class QPrinter;
class QWidget;

namespace zendrel {

class ProgressWindow;
class WindowPositions;

// The reports as the main program runs them from its "&Print" menu: the preview question where the report
// offers one, "Select User", the progress window that drives the pass on its timer and asks before a cancel,
// then the preview ("Print Preview") or the printer; and "Print &Setup ...", whose choices every report uses.
// A printer of the system gets the pages as a print job that is followed until it has printed them.
class ReportWindows {
public:
    // `jobs` the print service (the system's when none is given).
    ReportWindows(DataStore& store, MessageService& messages, FileDialogs* dialogs, Clock& clock,
                  WindowPositions* positions, QWidget* parent = nullptr, PrintJobs* jobs = nullptr);
    ~ReportWindows();

    // Runs a report from its question to its end; nothing is left behind (the page list is emptied). True
    // when its pages were printed: the printer's job ended printed, or the PDF file was written whole.
    bool run(ReportKind kind, const ReportOptions& options);
    // "Print &Setup ...": the printer set-up dialog on the program's one printer.
    void printSetup();

    // The program's one printer; tests make it a PDF file.
    QPrinter& printer() { return *m_printer; }
    // The copies every report prints (the set-up dialog's choice).
    int copies() const { return m_copies; }
    void setCopies(int copies) { m_copies = std::max(copies, 1); }
    // Called on each tick of a report's pass: the entries it prints count as the user's activity.
    void setActivity(std::function<void()> activity) { m_activity = std::move(activity); }
    // Whether the printer is one: a printer of the system, or a PDF file.
    bool hasPrinter() const;

    // While a preview shows: the pages it shows.
    const std::vector<ReportPage>* previewedPages() const { return m_previewed; }

private:
    class Destination;
    // Where printed pages go: the printer, its PDF file, or, with no printer, a PDF file the user chooses
    // after the question that says so. Nothing when the user declines or the file cannot be made.
    std::unique_ptr<Destination> openDestination(const ReportStrings& strings);
    // The page list printed `copies` times; false when that failed (its message shown).
    bool printPages(const std::vector<ReportPage>& pages, int copies, const ReportStrings& strings);
    // True when the preview's own print command printed the pages.
    bool preview(const std::vector<ReportPage>& pages, const ReportStrings& strings);
    // Ends the pages: the file written, or the job handed to the printer and followed to its end.
    bool finish(Destination& destination, const ReportStrings& strings);
    // A print job followed in a progress window until it ends; its "Cancel" cancels the job.
    bool follow(ReportPrintJob& job, const ReportStrings& strings);
    // "Are you sure you want to CANCEL this Report?" answered "Yes".
    bool sureToCancel(const ReportStrings& strings);
    // A report's progress window under its title, where it was left, its place kept when it closes.
    int runProgress(ProgressWindow& progress, const QString& title);
    // The printer's choices (copies, paper, orientation, sides, its own properties) for the print service.
    PrintJobs::Options jobOptions() const;

    DataStore& m_store;
    MessageService& m_messages;
    FileDialogs* m_dialogs;
    Clock& m_clock;
    WindowPositions* m_positions;
    QWidget* m_parent;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<PrintJobs> m_ownJobs;
    PrintJobs* m_jobs;
    QString m_jobTitle; // the running report's heading, the print job's name
    int m_copies = 1;
    std::function<void()> m_activity;
    const std::vector<ReportPage>* m_previewed = nullptr;
};

} // namespace zendrel
