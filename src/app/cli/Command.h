#pragma once

#include "app/cli/Cli.h"
#include "data/DataStore.h"
#include "data/Passphrase.h"
#include "platform/Clock.h"

#include <QCommandLineParser>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zendrel::cli {

constexpr int kDone = 0;
constexpr int kRefused = 1;
constexpr int kUsage = 2;

// Wrong usage: one line on standard error, exit status 2.
struct UsageError {
    QString text;
};

// A refusal whose message, if any, has not been shown yet: exit status 1.
struct Refusal {
    QString text;
};

std::string str(const QString& s);
// A stored text as one field of one line: backslash, tab, line ends and the other control characters
// (C0, DEL, C1) written as escapes, so that no value can make a line or a column of its own.
QString listed(const QString& s);

// What every command works with: the data directory's store, opened on first use, the messages of the
// store and the operations as one line each on standard error, and the login of a user.
class Context {
public:
    // passphraseFd: the descriptor the data directory's passphrase is read from, or -1 to read it as the
    // other secrets are read.
    Context(const QString& directory, CliIo& io, bool createsData = true, int passphraseFd = -1);
    ~Context();

    CliIo& io() { return m_io; }
    QString directory() const { return m_directory; }
    std::ostream& out() { return m_io.out; }
    DataStore& store();
    // Refuses a data directory that is not there.
    void checkDirectory() const;
    // The data directory's passphrase as given (from the descriptor once, else the terminal or standard
    // input); nothing when no more can be had.
    std::optional<QString> passphrase(const char* prompt, bool again);
    MessageService& messages();
    // How many messages the store and the operations have shown.
    int messagesShown() const;
    Clock& clock() { return *m_clock; }

    // One line of standard input, without its line end; a prompt without echo on a terminal.
    QString readSecret(const char* prompt, const char* what);
    // The named user, after his login password where he has one.
    UserRecord login(const QString& name);

private:
    class StreamMessages;
    QString m_directory;
    CliIo& m_io;
    bool m_createsData;
    std::unique_ptr<StreamMessages> m_messages;
    std::unique_ptr<Clock> m_ownClock;
    Clock* m_clock;
    int m_passphraseFd;
    DirectoryLock m_directoryLock;  // before the store: released after it
    std::unique_ptr<DataStore> m_store;
};

// One command: its words ("entries add"), its help and its options. Options are parsed by
// QCommandLineParser; the parse's faults become usage errors in the program's own words.
class Command {
public:
    virtual ~Command() = default;
    virtual QString name() const = 0;
    // The line under "Commands:" in the main help: the command with its arguments, and what it does.
    virtual QString synopsis() const { return name(); }
    virtual QString summary() const = 0;
    // What follows "Usage: zendrel-cli [--data DIR] " (continuation lines indented by the caller's
    // layout), and the paragraphs after it.
    virtual QString usage() const = 0;
    virtual QString description() const { return {}; }
    // Whether the command works on a data directory.
    virtual bool usesData() const { return true; }
    // Whether the command may make the data files of an empty directory (init and the commands that add);
    // every other one refuses a directory without them, so that a mistyped --data creates nothing.
    virtual bool createsData() const { return false; }
    // Whether the arguments are options and positional ones; false takes them all as they are (a value
    // such as "-5" is not an option).
    virtual bool parsesOptions() const { return true; }
    virtual void declare(QCommandLineParser&) const {}
    virtual int run(Context& c, const QCommandLineParser& options, const QStringList& positional) const = 0;

    QString help() const;
};

// Every command, in the order of the main help.
const std::vector<std::unique_ptr<Command>>& commands();

// A whole number option within a range, or a usage error naming the range.
int64_t integerOption(const QCommandLineParser& o, const QString& name, int64_t low, int64_t high);
// A required option's value, or a usage error.
QString requiredOption(const QCommandLineParser& o, const QString& name);
QCommandLineOption valued(const QString& name, const QString& description, const QString& valueName = "VALUE");
QCommandLineOption flag(const QString& name, const QString& description);

// For a command that waits: clears the flag and makes Ctrl+C and SIGTERM set it.
const std::atomic<bool>& stopOnSignals();

// The entry ID of an argument; a usage error when it is none.
int64_t entryId(const QString& text);

// The factories of the commands, one file each.
std::unique_ptr<Command> makeInit();
std::unique_ptr<Command> makeConvert();
std::unique_ptr<Command> makeUsersList();
std::unique_ptr<Command> makeUsersAdd();
std::unique_ptr<Command> makeUsersChange();
std::unique_ptr<Command> makeUsersDelete();
std::unique_ptr<Command> makeEntriesList();
std::unique_ptr<Command> makeEntriesSearch();
std::unique_ptr<Command> makeEntriesAdd();
std::unique_ptr<Command> makeEntriesChange();
std::unique_ptr<Command> makeEntriesShow();
std::unique_ptr<Command> makeEntriesDelete();
std::unique_ptr<Command> makeEntriesClip();
std::unique_ptr<Command> makeSettingsGet();
std::unique_ptr<Command> makeSettingsSet();
std::unique_ptr<Command> makeSettingsList();
std::unique_ptr<Command> makeSend();
std::unique_ptr<Command> makeMonitor();
std::unique_ptr<Command> makeWindows();
std::unique_ptr<Command> makeGenerate();
std::unique_ptr<Command> makeSyncSend();
std::unique_ptr<Command> makeSyncReceive();
std::unique_ptr<Command> makeExport();
std::unique_ptr<Command> makeImport();
std::unique_ptr<Command> makeReport();
std::unique_ptr<Command> makePassphraseSet();
std::unique_ptr<Command> makePassphraseChange();
std::unique_ptr<Command> makePassphraseRemove();

} // namespace zendrel::cli
