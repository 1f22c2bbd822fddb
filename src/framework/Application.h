#pragma once

#include "base/MessageService.h"

#include <QApplication>
#include <QIcon>

namespace zendrel {

// The programs' application object. A table that fails while a window reads it (a disk error, a file
// locked for longer than the waiting time) ends the event being handled with a message instead of
// ending the program: the window stays as it was and the user may try again.
//
// Every window of the program carries the program's icon.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    void setMessages(MessageService* messages) { m_messages = messages; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    MessageService* m_messages = nullptr;
    bool m_reporting = false;
};

// The program's icon from the given SVG file (the one built into the program by default). Without a reader
// for SVG files (Qt's SVG plugins are missing) or a readable file, a padlock drawn here instead.
QIcon applicationIcon(const QString& svg = QString());

} // namespace zendrel
