#include "app/cli/Command.h"

#include "session/Login.h"
#include "operations/PassphraseOperations.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <csignal>
#include <iostream>
#include <iterator>
#include <termios.h>
#include <unistd.h>

namespace zendrel::cli {

std::string str(const QString& s) {
    return s.toStdString();
}

QString listed(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        switch (u) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        default:
            if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0)) {
                out += QStringLiteral("\\x%1").arg(static_cast<int>(u), 2, 16, QLatin1Char('0'));
            } else {
                out += c;
            }
        }
    }
    return out;
}

namespace {

// The terminal as it was before a prompt turned its echo off, put back by a signal that ends the program
// in the middle of the prompt.
termios g_beforePrompt{};
volatile sig_atomic_t g_promptOpen = 0;

void restoreTerminalAndEnd(int signal) {
    if (g_promptOpen) {
        tcsetattr(STDIN_FILENO, TCSANOW, &g_beforePrompt);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

constexpr int kPromptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

} // namespace

// Messages of the store and the operations, one line each on standard error.
class Context::StreamMessages final : public MessageService {
public:
    explicit StreamMessages(std::ostream& err) : m_err(err) {}
    Answer show(const Message& m) override {
        QString text = m.text;
        text.replace(QLatin1Char('|'), QLatin1Char(' '));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        // There is no OK to press on a command line.
        text.remove(QRegularExpression(QStringLiteral("\\s*Press OK to end this application\\.?")));
        m_err << str(m.title) << ": " << str(text.trimmed()) << std::endl;
        ++shown;
        return m.defaultAnswer;
    }
    int shown = 0;

private:
    std::ostream& m_err;
};

Context::Context(const QString& directory, CliIo& io, bool createsData, int passphraseFd)
    : m_directory(directory), m_io(io), m_createsData(createsData),
      m_messages(std::make_unique<StreamMessages>(io.err)), m_passphraseFd(passphraseFd) {
    if (io.clock) {
        m_clock = io.clock;
    } else {
        m_ownClock = std::make_unique<SystemClock>();
        m_clock = m_ownClock.get();
    }
}

Context::~Context() = default;

MessageService& Context::messages() {
    return *m_messages;
}

int Context::messagesShown() const {
    return m_messages->shown;
}

void Context::checkDirectory() const {
    const QFileInfo dir(m_directory);
    if (!dir.isDir() || !dir.isExecutable()) {
        throw Refusal{QStringLiteral("the data directory %1 cannot be opened.").arg(m_directory)};
    }
}

std::optional<QString> Context::passphrase(const char* prompt, bool again) {
    if (m_passphraseFd >= 0) {
        if (again) {
            return std::nullopt;  // a descriptor gives one passphrase
        }
        // Up to the first line end; a passphrase far beyond the longest allowed is cut here and refused.
        std::string text;
        char buffer[4096];
        while (text.size() <= static_cast<size_t>(4 * PassphraseOperations::kMaxLength) &&
               text.find('\n') == std::string::npos) {
            const ssize_t n = ::read(m_passphraseFd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                throw Refusal{QStringLiteral("the passphrase cannot be read from descriptor %1.").arg(m_passphraseFd)};
            }
            if (n == 0) {
                break;
            }
            text.append(buffer, static_cast<size_t>(n));
        }
        if (const size_t end = text.find('\n'); end != std::string::npos) {
            text.resize(end);
        }
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        QString result = QString::fromUtf8(text);
        std::fill(text.begin(), text.end(), '\0');
        return result;
    }
    if (again && !m_io.terminal) {
        return std::nullopt;  // standard input gave a wrong one; another line would be meant for the command
    }
    return readSecret(prompt, "The passphrase");
}

DataStore& Context::store() {
    if (!m_store) {
        checkDirectory();
        const QFileInfo dir(m_directory);
        if (!m_createsData && !QFileInfo::exists(QDir(m_directory).filePath(QStringLiteral("ZD_DATA")))) {
            throw Refusal{
                QStringLiteral("no Zendrel data in %1; `zendrel-cli init` prepares one").arg(m_directory)};
        }
        // Asked before any table opens; a wrong one is said and asked again on a terminal.
        int tries = 0;
        const std::optional<OwnerKeys> keys =
            PassphraseOperations(dir.absoluteFilePath(), *m_messages)
                .open(m_directoryLock, [&](bool again) -> std::optional<QString> {
                    if (++tries > 3) {
                        return std::nullopt;
                    }
                    return passphrase("Passphrase: ", again);
                });
        if (!keys) {
            throw Refusal{};
        }
        // One command reads or writes a little, or streams a list once: a small page cache is enough.
        m_store = std::make_unique<DataStore>(DataStore::Options{dir.absoluteFilePath(), *keys, m_messages.get(),
                                                                 [](const QString&) {}, m_clock, 2048});
    }
    return *m_store;
}

QString Context::readSecret(const char* prompt, const char* what) {
    std::string line;
    if (m_io.terminal) {
        m_io.err << prompt << std::flush;
        termios old{};
        const bool tty = tcgetattr(STDIN_FILENO, &old) == 0;
        struct sigaction previous[std::size(kPromptSignals)] {};
        if (tty) {
            g_beforePrompt = old;
            g_promptOpen = 1;
            struct sigaction restore {};
            restore.sa_handler = restoreTerminalAndEnd;
            for (size_t i = 0; i < std::size(kPromptSignals); ++i) {
                sigaction(kPromptSignals[i], &restore, &previous[i]);
            }
            termios quiet = old;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
        }
        const bool got = static_cast<bool>(std::getline(m_io.in, line));
        if (tty) {
            tcsetattr(STDIN_FILENO, TCSANOW, &old);
            g_promptOpen = 0;
            for (size_t i = 0; i < std::size(kPromptSignals); ++i) {
                sigaction(kPromptSignals[i], &previous[i], nullptr);
            }
            m_io.err << std::endl;
        }
        if (!got) {
            throw Refusal{QStringLiteral("%1 was not given.").arg(QString::fromLatin1(what))};
        }
    } else if (!std::getline(m_io.in, line)) {
        throw Refusal{QStringLiteral("%1 was not given on standard input.").arg(QString::fromLatin1(what))};
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return QString::fromStdString(line);
}

UserRecord Context::login(const QString& name) {
    Login login(store());
    login.ensureDefaultUser();
    auto user = login.findUser(name);
    if (!user) {
        throw Refusal{QStringLiteral("There is no user named %1.").arg(name)};
    }
    if (Login::requiresPassword(*user)) {
        const QString typed = readSecret("Confirm Password: ", "The login password");
        if (Login::confirm(*user, typed, messages()) != Login::Check::Accepted) {
            throw Refusal{};
        }
    }
    return *user;
}

QString Command::help() const {
    QString text = QStringLiteral("Usage: zendrel-cli ") + (usesData() ? QStringLiteral("[--data DIR] ") : QString()) +
                   usage() + QLatin1Char('\n');
    const QString more = description();
    if (!more.isEmpty()) {
        text += QLatin1Char('\n') + more + QLatin1Char('\n');
    }
    return text;
}

const std::vector<std::unique_ptr<Command>>& commands() {
    static const std::vector<std::unique_ptr<Command>> all = [] {
        std::vector<std::unique_ptr<Command>> v;
        for (auto make :
             {makeInit, makeConvert, makeUsersList, makeUsersAdd, makeUsersChange, makeUsersDelete, makeEntriesList,
              makeEntriesSearch, makeEntriesAdd, makeEntriesChange, makeEntriesShow, makeEntriesDelete, makeEntriesClip,
              makeSettingsGet, makeSettingsSet, makeSettingsList, makeSend, makeMonitor, makeWindows, makeGenerate, makeSyncSend, makeSyncReceive, makeExport, makeImport, makeReport, makePassphraseSet,
              makePassphraseChange, makePassphraseRemove}) {
            v.push_back(make());
        }
        return v;
    }();
    return all;
}

int64_t integerOption(const QCommandLineParser& o, const QString& name, int64_t low, int64_t high) {
    bool ok = false;
    const int64_t v = o.value(name).toLongLong(&ok);
    if (!ok || v < low || v > high) {
        throw UsageError{QStringLiteral("--%1 must be a whole number from %2 to %3").arg(name).arg(low).arg(high)};
    }
    return v;
}

QString requiredOption(const QCommandLineParser& o, const QString& name) {
    if (!o.isSet(name)) {
        throw UsageError{QStringLiteral("--%1 is required").arg(name)};
    }
    return o.value(name);
}

QCommandLineOption valued(const QString& name, const QString& description, const QString& valueName) {
    return QCommandLineOption(name, description, valueName);
}

QCommandLineOption flag(const QString& name, const QString& description) {
    return QCommandLineOption(name, description);
}

namespace {

std::atomic<bool> g_stop{false};

void requestStop(int) {
    g_stop = true;
}

} // namespace

const std::atomic<bool>& stopOnSignals() {
    g_stop = false;
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return g_stop;
}

int64_t entryId(const QString& text) {
    bool ok = false;
    const int64_t id = text.toLongLong(&ok);
    if (!ok || id <= 0) {
        throw UsageError{QStringLiteral("%1 is not an entry ID").arg(text)};
    }
    return id;
}

} // namespace zendrel::cli
