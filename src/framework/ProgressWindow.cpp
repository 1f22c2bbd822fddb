#include "framework/ProgressWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <utility>

namespace zendrel {

ProgressWindow::ProgressWindow(Slice slice, QWidget* parent) : QDialog(parent), m_slice(std::move(slice)) {
    setWindowTitle(QStringLiteral("Progress..."));
    setAccessibleName(windowTitle());
    setModal(true);

    m_bar = new QProgressBar(this);
    m_bar->setAccessibleName(QStringLiteral("Progress"));
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    m_upper = new QLabel(this);
    m_lower = new QLabel(this);
    m_upper->setAlignment(Qt::AlignCenter);
    m_lower->setAlignment(Qt::AlignCenter);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setAccessibleName(QStringLiteral("Cancel"));
    m_cancel->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_bar);
    layout->addWidget(m_upper);
    layout->addWidget(m_lower);
    layout->addLayout(buttons);
    setMinimumWidth(300);

    connect(m_cancel, &QPushButton::clicked, this, [this] { reject(); });
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, [this] { runSlice(); });
}

int ProgressWindow::run() {
    m_cancelled = false;
    m_error = nullptr;
    m_timer.start();
    const int result = exec();
    m_timer.stop();
    if (m_error) {
        std::rethrow_exception(std::exchange(m_error, nullptr));
    }
    return result;
}

void ProgressWindow::runSlice() {
    // A slice that shows a message runs a nested event loop, in which this timer would fire again.
    if (m_inSlice) {
        return;
    }
    m_timer.stop();
    m_inSlice = true;
    bool more = false;
    try {
        more = m_slice(*this);
    } catch (...) {
        // Exceptions must not cross Qt's event loop; run() rethrows it once the window is closed.
        m_error = std::current_exception();
        more = false;
    }
    m_inSlice = false;
    if (m_cancelled || !isVisible()) {
        return;
    }
    if (m_error) {
        done(QDialog::Rejected);
    } else if (more) {
        m_timer.start();
    } else {
        accept();
    }
}

void ProgressWindow::setProgress(qint64 done, qint64 total) {
    total = std::max<qint64>(total, 0);
    done = std::clamp<qint64>(done, 0, total);
    // QProgressBar counts in int.
    const qint64 scale = total > INT_MAX ? total / INT_MAX + 1 : 1;
    const int maximum = static_cast<int>(total / scale);
    m_bar->setRange(0, std::max(maximum, 1));
    m_bar->setValue(static_cast<int>(done / scale));
}

void ProgressWindow::setLines(const QString& upper, const QString& lower) {
    m_upper->setText(upper);
    m_upper->setAccessibleName(upper);
    m_lower->setText(lower);
    m_lower->setAccessibleName(lower);
}

void ProgressWindow::reject() {
    if (m_asking) {
        return;
    }
    if (m_cancelCheck) {
        // No slice runs while the question is open.
        m_timer.stop();
        m_asking = true;
        const bool end = m_cancelCheck();
        m_asking = false;
        if (!end) {
            if (isVisible() && !m_inSlice) {
                m_timer.start();
            }
            return;
        }
    }
    m_cancelled = true;
    m_timer.stop();
    QDialog::reject();
}

} // namespace zendrel
