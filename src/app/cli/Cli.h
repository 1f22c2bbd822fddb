#pragma once

#include <QStringList>

#include <iosfwd>

namespace zendrel {

struct CliIo {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool terminal = false;  // standard input is a terminal: passwords are prompted for without echo
};

// Runs one command of the command-line companion; returns its exit status (0 done, 1 refused, 2 usage).
int runCli(const QStringList& arguments, CliIo& io);

} // namespace zendrel
