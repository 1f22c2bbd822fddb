#include "platform/x11/PosixShell.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zendrel::x11 {

std::vector<std::string> PosixShell::splitCommandLine(const std::string& commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (size_t i = 0; i < commandLine.size(); ++i) {
        const char c = commandLine[i];
        if (quote) {
            if (c == quote) {
                quote = 0;
            } else if (c == '\\' && quote == '"' && i + 1 < commandLine.size()) {
                word += commandLine[++i];
            } else {
                word += c;
            }
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == '\\' && i + 1 < commandLine.size()) {
            word += commandLine[++i];
            inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

bool PosixShell::spawnDetached(const std::vector<std::string>& argv, std::string& error) {
    if (argv.empty()) {
        error = "empty command";
        return false;
    }
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return false;
    }
    // An intermediate child starts the program in a session of its own and ends at once, so the program
    // is nobody's zombie and outlives this one.
    const pid_t child = fork();
    if (child < 0) {
        error = std::strerror(errno);
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (child == 0) {
        close(report[0]);
        setsid();
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        pid_t pid = 0;
        const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
        const ssize_t written = write(report[1], &rc, sizeof rc);
        (void)written;
        _exit(0);
    }
    close(report[1]);
    int rc = -1;
    ssize_t got = -1;
    do {
        got = read(report[0], &rc, sizeof rc);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (got != sizeof rc) {
        error = "the program could not be started";
        return false;
    }
    if (rc != 0) {
        error = std::strerror(rc);
        return false;
    }
    return true;
}

bool PosixShell::startProgram(const std::string& commandLine, std::string& error) {
    // A document (not a program) is opened with its handler, as a double-click would.
    struct stat st {};
    if (stat(commandLine.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(commandLine.c_str(), X_OK) != 0) {
        return openDocument(commandLine, error);
    }
    if (stat(commandLine.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        return spawnDetached({commandLine}, error);
    }
    return spawnDetached(splitCommandLine(commandLine), error);
}

bool PosixShell::openDocument(const std::string& target, std::string& error) {
    return spawnDetached({"xdg-open", target}, error);
}

} // namespace zendrel::x11
