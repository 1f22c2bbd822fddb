#pragma once

#include "platform/Shell.h"

#include <string>
#include <vector>

namespace zendrel::x11 {

// Starts programs detached from this one (they live on when it ends) and opens documents and addresses
// with the desktop's handler, xdg-open.
class PosixShell final : public Shell {
public:
    bool startProgram(const std::string& commandLine, std::string& error) override;
    bool openDocument(const std::string& target, std::string& error) override;

    // Splits a command line into words: blanks separate, quotes group, a backslash escapes.
    static std::vector<std::string> splitCommandLine(const std::string& commandLine);
    static bool spawnDetached(const std::vector<std::string>& argv, std::string& error);
};

} // namespace zendrel::x11
