#include "framework/Application.h"

#include "data/Database.h"

#include <cstdio>

namespace zendrel {

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const StoreError& e) {
        const QString text = QStringLiteral("The data files could not be read or written:|") + e.errorText() +
                             (e.detail().isEmpty() ? QString() : QStringLiteral("|") + e.detail());
        std::fprintf(stderr, "zendrel: %s\n", qPrintable(text));
        // A message box runs events of its own; a failure among them is not reported again on top of it.
        if (m_messages && !m_reporting) {
            m_reporting = true;
            m_messages->show(Message{QStringLiteral("File Access Error"), text, Buttons::Ok, Answer::Ok, true});
            m_reporting = false;
        }
        return false;
    }
}

} // namespace zendrel
