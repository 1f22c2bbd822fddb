#include "platform/x11/PosixShell.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
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

namespace {

// What the intermediate child reports about the program it started.
struct WatchReport {
    int spawnError = 0; // errno of the start, 0 when started
    int finished = 0;   // 1 when the program ended within the wait
    int status = 0;     // its wait status then
};

// Starts a program through an intermediate child that puts it in a session of its own, waits up to `waitMs`
// for its end, reports and ends at once, so the program is nobody's zombie and outlives this one. False
// when nothing could be reported; the report says how the start went.
bool spawnReporting(const std::vector<std::string>& argv, int waitMs, WatchReport& r, std::string& error) {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return false;
    }
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
        WatchReport mine;
        mine.spawnError = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
        for (int waited = 0; mine.spawnError == 0 && waited < waitMs; waited += 10) {
            int status = 0;
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid) {
                mine.finished = 1;
                mine.status = status;
                break;
            }
            if (done < 0 && errno != EINTR) {
                break;
            }
            const timespec tick{0, 10 * 1000 * 1000};
            nanosleep(&tick, nullptr);
        }
        const ssize_t written = write(report[1], &mine, sizeof mine);
        (void)written;
        _exit(0);
    }
    close(report[1]);
    ssize_t got = -1;
    do {
        got = read(report[0], &r, sizeof r);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (got != sizeof r) {
        error = "the program could not be started";
        return false;
    }
    return true;
}

// xdg-open's exit statuses, as its manual gives them.
std::string openerFailure(const std::string& program, int status) {
    if (WIFSIGNALED(status)) {
        return program + " was stopped by signal " + std::to_string(WTERMSIG(status));
    }
    switch (WEXITSTATUS(status)) {
    case 1:
        return program + " did not understand its command line";
    case 2:
        return "the file does not exist";
    case 3:
        return "no program to open it is installed";
    case 4:
        return "the program that opens it failed";
    default:
        return program + " ended with status " + std::to_string(WEXITSTATUS(status));
    }
}

} // namespace

bool PosixShell::spawnDetached(const std::vector<std::string>& argv, std::string& error) {
    if (argv.empty()) {
        error = "empty command";
        return false;
    }
    WatchReport r;
    if (!spawnReporting(argv, 0, r, error)) {
        return false;
    }
    if (r.spawnError != 0) {
        error = std::strerror(r.spawnError);
        return false;
    }
    return true;
}

bool PosixShell::spawnAndWatch(const std::vector<std::string>& argv, int waitMs, std::string& error) {
    if (argv.empty()) {
        error = "empty command";
        return false;
    }
    WatchReport r;
    if (!spawnReporting(argv, waitMs, r, error)) {
        return false;
    }
    if (r.spawnError == ENOENT) {
        error = argv[0] + " is not installed";
        return false;
    }
    if (r.spawnError != 0) {
        error = argv[0] + ": " + std::strerror(r.spawnError);
        return false;
    }
    if (r.finished && !(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 0)) {
        error = openerFailure(argv[0], r.status);
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
    return spawnAndWatch({"xdg-open", target}, kOpenerWaitMs, error);
}

} // namespace zendrel::x11
