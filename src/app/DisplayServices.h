#pragma once

// What both programs open on the display at start: the sending thread's keyboard and desktop, and this
// thread's own view of the desktop; and how the data layer ends a program.
#include "base/MessageService.h"
#include "monitor/MonitorWorker.h"

#include <memory>

namespace zendrel {

// The keyboard and desktop of the display (Wayland or X11, as chosen at start), opened on the sending thread;
// without either the sender finds no windows and says so.
SendBackends displayBackends();

// The desktop as this thread sees it (the window titles the entry form offers), through a connection of its
// own; an empty desktop without a display.
struct ThreadDesktop {
    std::shared_ptr<void> owner;  // the connection the desktop works through
    std::unique_ptr<Desktop> desktop;
    QString note;  // what the status bar says once about the choice of desktop, blank for nothing
};
ThreadDesktop threadDesktop();

// Ends the program after a fatal message of the data layer, naming it on standard error.
TerminateHandler endProgram(const char* program);

} // namespace zendrel
