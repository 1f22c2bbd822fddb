#pragma once

#include "platform/Shell.h"

#include <string>
#include <vector>

namespace zendrel::x11 {

// Starts programs detached from this one (they live on when it ends) and opens documents and addresses
// with the desktop's handler, xdg-open. xdg-open ends at once when it fails (no program for the document,
// the document missing) and when the desktop's own opener has taken the document over; a handler that it
// runs itself (a browser, on a desktop without an opener of its own) keeps it running, which counts as
// opened.
class PosixShell final : public Shell {
public:
    bool startProgram(const std::string& commandLine, std::string& error) override;
    bool openDocument(const std::string& target, std::string& error) override;

    // Splits a command line into words: blanks separate, quotes group, a backslash escapes.
    static std::vector<std::string> splitCommandLine(const std::string& commandLine);
    static bool spawnDetached(const std::vector<std::string>& argv, std::string& error);
    // Starts a program detached and waits up to `waitMs` for it to end: false when it cannot be started or
    // ends in that time with a status other than 0 (described in `error` as xdg-open means its statuses),
    // true when it ends with 0 or is still running.
    static bool spawnAndWatch(const std::vector<std::string>& argv, int waitMs, std::string& error);

    // How long the desktop's opener is given to say that it failed.
    static constexpr int kOpenerWaitMs = 2000;
};

} // namespace zendrel::x11
