#pragma once

#include "platform/Shell.h"

#include <QObject>

class QLabel;
class QLineEdit;
class QWidget;

namespace zendrel {

// "Clipboard Contents:": a line that shows the first 90 characters of the clipboard while it does not
// have the focus, and puts its text on the clipboard when the user has edited it and leaves it.
class ClipboardDisplay : public QObject {
    Q_OBJECT

public:
    ClipboardDisplay(Clipboard& clipboard, QWidget* parent);

    QLabel* prompt() const { return m_prompt; }
    QLineEdit* line() const { return m_line; }
    // Loads the clipboard's text when it changed since the last look, unless the user is editing.
    void refresh();
    void setHidden(bool hidden);
    bool isHidden() const { return m_hidden; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void edited();

    Clipboard& m_clipboard;
    QLabel* m_prompt;
    QLineEdit* m_line;
    uint64_t m_seen = ~uint64_t{0};
    bool m_hidden = false;
};

} // namespace zendrel
