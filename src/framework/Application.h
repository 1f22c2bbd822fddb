#pragma once

#include "base/MessageService.h"

#include <QApplication>

namespace zendrel {

// The programs' application object. A table that fails while a window reads it (a disk error, a file
// locked for longer than the waiting time) ends the event being handled with a message instead of
// ending the program: the window stays as it was and the user may try again.
class Application : public QApplication {
public:
    Application(int& argc, char** argv) : QApplication(argc, argv) {}
    void setMessages(MessageService* messages) { m_messages = messages; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    MessageService* m_messages = nullptr;
    bool m_reporting = false;
};

} // namespace zendrel
