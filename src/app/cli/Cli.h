#pragma once

#include <QStringList>

#include <iosfwd>

namespace zendrel {

class Clock;

struct CliIo {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool terminal = false;  // standard input is a terminal: passwords are prompted for without echo
    Clock* clock = nullptr;  // the system clock when none is given (tests give a virtual one)
};

// Runs one command of the command-line companion; returns its exit status (0 done, 1 refused, 2 usage).
int runCli(const QStringList& arguments, CliIo& io);
// Whether the command of these arguments works with the clipboard, for which the program needs a GUI
// application.
bool cliNeedsClipboard(const QStringList& arguments);
// Whether the command lays out pages (a report), for which the program needs the fonts of a GUI application.
bool cliLaysOutPages(const QStringList& arguments);

} // namespace zendrel
