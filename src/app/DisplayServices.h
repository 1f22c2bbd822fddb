#pragma once

// What both programs open on the display at start: the sending thread's keyboard and desktop, and this
// thread's own view of the desktop; and how the data layer ends a program.
#include "base/MessageService.h"
#include "monitor/MonitorWorker.h"
#include "platform/x11/X11Connection.h"

#include <memory>

namespace zendrel {

// The keyboard and desktop of the display, opened on the sending thread; without an X display the sender
// finds no windows and says so.
SendBackends displayBackends();

// The desktop as this thread sees it (the window titles the entry form offers), through a connection of its
// own; an empty desktop without a display.
struct ThreadDesktop {
    std::unique_ptr<x11::X11Connection> connection;
    std::unique_ptr<Desktop> desktop;
};
ThreadDesktop threadDesktop();

// Ends the program after a fatal message of the data layer, naming it on standard error.
TerminateHandler endProgram(const char* program);

} // namespace zendrel
