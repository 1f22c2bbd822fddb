#include "entries/ClipboardDisplay.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace zendrel {

namespace {
constexpr int kShown = 90;
}

ClipboardDisplay::ClipboardDisplay(Clipboard& clipboard, QWidget* parent) : QObject(parent), m_clipboard(clipboard) {
    m_prompt = new QLabel(QStringLiteral("Clipboard Contents:"), parent);
    m_line = new QLineEdit(parent);
    m_line->setMaxLength(kShown);
    m_line->setAccessibleName(QStringLiteral("Clipboard Contents"));
    m_prompt->setBuddy(m_line);
    connect(m_line, &QLineEdit::editingFinished, this, &ClipboardDisplay::edited);
    // Any event of the window is a moment to look, as is a short beat while nothing happens.
    parent->installEventFilter(this);
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &ClipboardDisplay::refresh);
    timer->start(300);
    refresh();
}

void ClipboardDisplay::refresh() {
    if (m_line->hasFocus() || m_line->isModified()) {
        return;
    }
    const uint64_t count = m_clipboard.changeCount();
    if (count == m_seen) {
        return;
    }
    m_seen = count;
    m_line->setText(QString::fromStdString(m_clipboard.text()).left(kShown));
    m_line->setCursorPosition(0);
}

void ClipboardDisplay::edited() {
    if (!m_line->isModified()) {
        return;
    }
    m_line->setModified(false);
    m_clipboard.setText(m_line->text().toStdString(), false);
    m_seen = m_clipboard.changeCount();
}

void ClipboardDisplay::setHidden(bool hidden) {
    m_hidden = hidden;
    m_prompt->setHidden(hidden);
    m_line->setHidden(hidden);
}

bool ClipboardDisplay::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() != QEvent::Timer && e->type() != QEvent::Paint) {
        refresh();
    }
    return QObject::eventFilter(watched, e);
}

} // namespace zendrel
