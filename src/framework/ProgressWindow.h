#pragma once

#include <QDialog>
#include <QTimer>
#include <exception>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace zendrel {

// The modal "Progress..." window of the long passes (synchronization, import, export, reports): a bar,
// an upper and a lower text line and "Cancel". The pass runs in slices on a 0-ms timer, one slice per
// timer event, so the window repaints and answers "Cancel" between slices.
class ProgressWindow : public QDialog {
public:
    // Processes one slice of records; returns false when the pass is done.
    using Slice = std::function<bool(ProgressWindow&)>;

    explicit ProgressWindow(Slice slice, QWidget* parent = nullptr);

    // Shows the window and runs slices until the pass is done (QDialog::Accepted) or the user cancels
    // (QDialog::Rejected). An exception thrown by a slice ends the pass and is rethrown here.
    int run();

    // Counts may exceed the bar's int range (bytes of a large file); they are scaled to fit.
    void setProgress(qint64 done, qint64 total);
    void setLines(const QString& upper, const QString& lower);
    bool cancelled() const { return m_cancelled; }
    // Asked when the user cancels (Cancel, Escape, the close box), between slices: false goes on with the pass.
    void setCancelCheck(std::function<bool()> check) { m_cancelCheck = std::move(check); }
    // The pause between slices: 0 for a pass over records, longer for one that waits on something else (a
    // print job) and only looks at it now and then.
    void setInterval(int milliseconds) { m_timer.setInterval(milliseconds); }

    QProgressBar* bar() const { return m_bar; }
    QLabel* upperLine() const { return m_upper; }
    QLabel* lowerLine() const { return m_lower; }
    QPushButton* cancelButton() const { return m_cancel; }

    // Cancel, Escape and the close box all end the pass.
    void reject() override;

private:
    void runSlice();

    Slice m_slice;
    QTimer m_timer;
    QProgressBar* m_bar = nullptr;
    QLabel* m_upper = nullptr;
    QLabel* m_lower = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_cancelled = false;
    bool m_inSlice = false;
    bool m_asking = false;
    std::function<bool()> m_cancelCheck;
    std::exception_ptr m_error;
};

} // namespace zendrel
