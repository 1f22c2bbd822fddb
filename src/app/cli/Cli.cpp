#include "app/cli/Cli.h"

#include "data/DataStore.h"
#include "data/Dates.h"
#include "session/ConfigStore.h"
#include "session/Login.h"
#include "session/OwnerKeys.h"
#include "platform/x11/PosixShell.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11Keyboard.h"
#include "entries/PasswordGenerator.h"
#include "monitor/MonitorEngine.h"
#include "send/Sender.h"

#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <csignal>
#include <iostream>
#include <map>
#include <set>
#include <termios.h>
#include <unistd.h>

namespace zendrel {

namespace {

constexpr int kRefused = 1;
constexpr int kUsage = 2;

const char* const kMainHelp = R"(Usage: zendrel-cli [--data DIR] COMMAND ...

The command-line companion of Zendrel, working on the tables of a data directory
(the current directory unless --data names one).

Commands:
  init                 prepare the data directory as the main program's start does
  users list           list the users, one name per line, in name order
  users add NAME       add a user; his login password is read from standard input
  entries list         list a user's password entries
  entries add          add a password entry
  entries show ID      show one entry
  entries delete ID    delete one entry
  settings get NAME    print a setting
  settings set NAME VALUE
                       change a setting
  send ID --user NAME  send an entry into its window, as the password list's Send does
  monitor --user NAME  type the user's monitored entries whenever their windows appear
  windows              list the desktop's top-level windows, front to back
  generate             print a password made by the password generator

Run "zendrel-cli COMMAND --help" for the options of a command.
Exit status: 0 done, 1 refused (the reason on standard error), 2 wrong usage.
)";

const char* const kUsersHelp = R"(Usage: zendrel-cli [--data DIR] users list
       zendrel-cli [--data DIR] users add NAME

"list" prints one user name per line in name order; an empty store first gets "Default User".
"add" reads the new user's login password from the first line of standard input; an empty line
means that the user needs no password ("Not Required").
)";

const char* const kEntriesHelp = R"(Usage: zendrel-cli [--data DIR] entries list --user NAME [--order service|url|name|date|expired]
       zendrel-cli [--data DIR] entries add --user NAME --service TEXT --name TEXT [--url TEXT]
              [--paste TEXT] [--title TEXT] [--contents TEXT] [--wait SECONDS] [--repeat SECONDS]
              [--monitor] [--direct] [--program PATH] [--expiry YYYY-MM-DD] [--notes TEXT]
       zendrel-cli [--data DIR] entries show ID --user NAME [--show-password]
       zendrel-cli [--data DIR] entries delete ID --user NAME

A user with a login password must give it: prompted for on a terminal, else read from the first
line of standard input. "entries add" then reads the entry's password from the next line and
prints the new entry's ID. "list" prints ID, service, name and URL separated by tabs.
)";

const char* const kSettingsHelp = R"(Usage: zendrel-cli [--data DIR] settings get NAME
       zendrel-cli [--data DIR] settings set NAME VALUE
)";

const char* const kSendHelp = R"(Usage: zendrel-cli [--data DIR] send ID --user NAME

Does for one entry what Send does: starts its program, expands its send text, waits its seconds,
finds and activates its window (the focused one for a blank title) and types the text with the
stored send interval and group size. Needs an X display ($DISPLAY).
)";

const char* const kWindowsHelp = R"(Usage: zendrel-cli windows

Lists the top-level windows of the X display, front to back: the window id, a tab, the title.
)";

const char* const kMonitorHelp = R"(Usage: zendrel-cli [--data DIR] monitor --user NAME [--seconds N]

The monitor without a window of its own: loads the user's entries marked for monitoring and, every
half second, types each one into its window when that window is present (again after the entry's
repeat interval, once when it is 0), with the stored send settings. Prints one line per send, and
stops after N seconds or on Ctrl+C or SIGTERM. Needs an X display ($DISPLAY).
)";

const char* const kGenerateHelp = R"(Usage: zendrel-cli [--data DIR] generate [--user NAME] [--type TYPE] [--size N]
                                          [--joint plus|hyphen|number]

Prints one password made by the password generator's rules and saves nothing. TYPE is one of
"Word", "Concatenated Words", "Alphabet Only", "Alphanumeric", "All Characters". What is not given
is taken as the generator window takes it for the user when it opens (his preferences, then his
saved settings), or a random size of 6 to 12 and "Alphanumeric" without a user.
)";

const char* const kInitHelp = R"(Usage: zendrel-cli [--data DIR] init

Prepares the data directory as the main program's start does: creates the tables, writes the
first-run settings with their corrections, and adds "Default User" to an empty user table.
)";

std::string str(const QString& s) {
    return s.toStdString();
}

// Messages of the store and the login, one line each on standard error.
class StreamMessages final : public MessageService {
public:
    explicit StreamMessages(std::ostream& err) : m_err(err) {}
    Answer show(const Message& m) override {
        QString text = m.text;
        text.replace(QLatin1Char('|'), QLatin1Char(' '));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        m_err << str(m.title) << ": " << str(text.trimmed()) << std::endl;
        ++count;
        return m.defaultAnswer;
    }
    int count = 0;

private:
    std::ostream& m_err;
};

struct UsageError {
    QString text;
};

struct Refusal {
    QString text;
};

// Options after the subcommand: "--name value", "--name=value" and flags.
class Options {
public:
    Options(const QStringList& args, const QStringList& valued, const QStringList& flags) {
        for (qsizetype i = 0; i < args.size(); ++i) {
            QString a = args[i];
            if (!a.startsWith(QLatin1String("--"))) {
                positional << a;
                continue;
            }
            QString name = a.mid(2);
            QString value;
            bool hasValue = false;
            if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
                value = name.mid(eq + 1);
                name = name.left(eq);
                hasValue = true;
            }
            if (flags.contains(name)) {
                if (hasValue) {
                    throw UsageError{QStringLiteral("option --%1 takes no value").arg(name)};
                }
                m_flags.insert(name);
            } else if (valued.contains(name)) {
                if (!hasValue) {
                    if (i + 1 >= args.size()) {
                        throw UsageError{QStringLiteral("option --%1 needs a value").arg(name)};
                    }
                    value = args[++i];
                }
                m_values[name] = value;
            } else {
                throw UsageError{QStringLiteral("unknown option --%1").arg(name)};
            }
        }
    }
    bool has(const QString& name) const { return m_values.count(name) != 0; }
    bool flag(const QString& name) const { return m_flags.count(name) != 0; }
    QString value(const QString& name) const {
        auto it = m_values.find(name);
        return it == m_values.end() ? QString() : it->second;
    }
    QString required(const QString& name) const {
        if (!has(name)) {
            throw UsageError{QStringLiteral("--%1 is required").arg(name)};
        }
        return value(name);
    }
    QStringList positional;

private:
    std::map<QString, QString> m_values;
    std::set<QString> m_flags;
};

int64_t integerOption(const Options& o, const QString& name, int64_t low, int64_t high) {
    bool ok = false;
    const int64_t v = o.value(name).toLongLong(&ok);
    if (!ok || v < low || v > high) {
        throw UsageError{QStringLiteral("--%1 must be a whole number from %2 to %3").arg(name).arg(low).arg(high)};
    }
    return v;
}

class Session {
public:
    Session(const QString& directory, CliIo& io)
        : m_io(io), m_messages(io.err),
          m_store(DataStore::Options{directory, ownerKeys(), &m_messages, [](const QString&) {}, &m_clock}) {}

    DataStore& store() { return m_store; }
    MessageService& messages() { return m_messages; }
    Clock& clock() { return m_clock; }

    // One line of standard input, without its line end; a prompt without echo on a terminal.
    QString readSecret(const char* prompt, const char* what) {
        std::string line;
        if (m_io.terminal) {
            m_io.err << prompt << std::flush;
            termios old{};
            const bool tty = tcgetattr(STDIN_FILENO, &old) == 0;
            if (tty) {
                termios quiet = old;
                quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
                tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
            }
            const bool got = static_cast<bool>(std::getline(m_io.in, line));
            if (tty) {
                tcsetattr(STDIN_FILENO, TCSANOW, &old);
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

    // The named user, after his login password where he has one.
    UserRecord login(const QString& name) {
        Login login(m_store);
        login.ensureDefaultUser();
        auto user = login.findUser(name);
        if (!user) {
            throw Refusal{QStringLiteral("There is no user named %1.").arg(name)};
        }
        if (Login::requiresPassword(*user)) {
            const QString typed = readSecret("Confirm Password: ", "The login password");
            if (Login::confirm(*user, typed, m_messages) != Login::Check::Accepted) {
                throw Refusal{};
            }
        }
        return *user;
    }

private:
    CliIo& m_io;
    StreamMessages m_messages;
    SystemClock m_clock;
    DataStore m_store;
};

int usersCommand(Session& s, const QStringList& args, CliIo& io) {
    if (args.isEmpty() || args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        (args.isEmpty() ? io.err : io.out) << kUsersHelp;
        return args.isEmpty() ? kUsage : 0;
    }
    const QString verb = args.first();
    Options o(args.mid(1), {}, {});
    Login login(s.store());
    if (verb == QLatin1String("list")) {
        if (!o.positional.isEmpty()) {
            throw UsageError{QStringLiteral("users list takes no arguments")};
        }
        login.ensureDefaultUser();
        for (const auto& u : login.usersByName()) {
            io.out << str(u.name) << '\n';
        }
        return 0;
    }
    if (verb == QLatin1String("add")) {
        if (o.positional.size() != 1) {
            throw UsageError{QStringLiteral("users add takes one user name")};
        }
        const QString name = fitText(o.positional.first(), 128);
        if (name.trimmed().isEmpty()) {
            throw Refusal{QStringLiteral("A user needs a name.")};
        }
        QString password = fitText(s.readSecret("Password: ", "The new user's password"), 128);
        if (password.isEmpty()) {
            password = kNotRequired;
        }
        Table<UserRecord> users(s.store());
        UserRecord u = users.prime();
        u.name = name;
        u.password = password;
        u.confirmPassword = password;
        u.lastDateChanged = s.clock().today();
        u.lastTimeChanged = s.clock().clock();
        return users.insert(u) ? 0 : kRefused;
    }
    throw UsageError{QStringLiteral("unknown users command %1").arg(verb)};
}

const QMap<QString, QString>& orderKeys() {
    static const QMap<QString, QString> keys = {{"service", "P_:KeyService"}, {"url", "P_:KeyURL"},
                                                {"name", "P_:KeyName"},       {"date", "P_:KeyDateChanged"},
                                                {"expired", "P_:KeyExpiryDate"}};
    return keys;
}

PasswordRecord entryOf(Session& s, const UserRecord& user, const QString& idText) {
    bool ok = false;
    const int id = idText.toInt(&ok);
    if (!ok || id <= 0) {
        throw UsageError{QStringLiteral("%1 is not an entry ID").arg(idText)};
    }
    Table<PasswordRecord> entries(s.store());
    auto e = entries.get(id);
    if (!e || e->user.compare(user.name, Qt::CaseInsensitive) != 0) {
        throw Refusal{QStringLiteral("User %1 has no entry %2.").arg(user.name).arg(id)};
    }
    return *e;
}

int entriesCommand(Session& s, const QStringList& args, CliIo& io) {
    if (args.isEmpty() || args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        (args.isEmpty() ? io.err : io.out) << kEntriesHelp;
        return args.isEmpty() ? kUsage : 0;
    }
    const QString verb = args.first();
    const QStringList rest = args.mid(1);
    if (verb == QLatin1String("list")) {
        Options o(rest, {"user", "order"}, {});
        const QString order = o.has("order") ? o.value("order").toLower() : QStringLiteral("service");
        if (!orderKeys().contains(order)) {
            throw UsageError{QStringLiteral("--order is one of service, url, name, date, expired")};
        }
        const UserRecord user = s.login(o.required("user"));
        Table<PasswordRecord> entries(s.store());
        KeyRange range;
        range.prefix = {user.name};
        if (order == QLatin1String("expired")) {
            // Entries that have an expiry date, today or earlier.
            range.from = {int64_t{1}};
            range.to = {int64_t{s.clock().today()}};
        }
        for (const auto& e : entries.read(orderKeys().value(order), range)) {
            io.out << e.id << '\t' << str(e.service) << '\t' << str(e.name) << '\t' << str(e.url) << '\n';
        }
        return 0;
    }
    if (verb == QLatin1String("add")) {
        Options o(rest,
                  {"user", "service", "name", "url", "paste", "title", "contents", "wait", "repeat", "program", "expiry",
                   "notes"},
                  {"monitor", "direct"});
        const QString userName = o.required("user");
        const QString service = o.required("service");
        const QString name = o.required("name");
        const TableDef& t = tables::passwords();
        int64_t wait = 2;
        if (o.has("wait")) {
            bool ok = false;
            wait = o.value("wait").toLongLong(&ok);
            if (!ok) {
                throw UsageError{QStringLiteral("--wait must be a whole number")};
            }
            const RangeCheck& r = t.ranges.front();
            if (wait < r.low || wait > r.high) {
                s.messages().show(QStringLiteral("Range Error"),
                                  QStringLiteral("The value of %1 must be between %2.").arg(r.label, r.range));
                return kRefused;
            }
        }
        const int64_t repeat = o.has("repeat") ? integerOption(o, "repeat", 0, INT32_MAX) : 0;
        int32_t expiry = 0;
        if (o.has("expiry")) {
            const QDate d = QDate::fromString(o.value("expiry"), Qt::ISODate);
            if (!d.isValid() || d.year() < 1801 || d.year() > 2099) {
                throw UsageError{QStringLiteral("--expiry must be a date YYYY-MM-DD between 1801 and 2099")};
            }
            expiry = dayNumber(d);
        }
        const UserRecord user = s.login(userName);
        const QString password = s.readSecret("Entry password: ", "The entry's password");

        Table<PasswordRecord> entries(s.store());
        PasswordRecord e = entries.prime();
        // Primed as the entry form primes a new entry.
        const int32_t today = s.clock().today();
        const int32_t now = s.clock().clock();
        e.user = user.name;
        e.moreNotes = QStringLiteral("Added ") + longDate(today) + QStringLiteral("  ") + shortTime(now);
        // A blank send text becomes the default, as the entry form makes it.
        e.paste = fitText(o.value("paste"), 255).isEmpty() ? QStringLiteral("[Name][Tab][Password][Enter]")
                                                           : o.value("paste");
        e.secondsToWait = static_cast<uint8_t>(wait);
        e.doNotRepeatSeconds = static_cast<int32_t>(repeat);
        e.service = service;
        e.name = name;
        e.url = o.value("url");
        e.password = password;
        e.confirmPassword = password;
        e.windowTitleToLocate = o.value("title");
        e.windowContents = o.value("contents");
        e.monitor = o.flag("monitor") ? 1 : 0;
        e.directSend = o.flag("direct") ? 1 : 0;
        e.filename = o.value("program");
        e.expiryDate = expiry;
        e.notes = o.value("notes");
        e.lastChangeDate = today;
        e.lastChangeTime = now;
        if (fitText(e.service, 128).isEmpty()) {
            s.messages().show(QStringLiteral("Error"), QStringLiteral("To identify this record, a service must be entered."));
            return kRefused;
        }
        if (fitText(e.name, 128).isEmpty()) {
            s.messages().show(QStringLiteral("Error"), QStringLiteral("To identify this record, a name must be entered."));
            return kRefused;
        }
        if (!entries.insert(e)) {
            return kRefused;
        }
        io.out << e.id << '\n';
        return 0;
    }
    if (verb == QLatin1String("show")) {
        Options o(rest, {"user"}, {"show-password"});
        if (o.positional.size() != 1) {
            throw UsageError{QStringLiteral("entries show takes one entry ID")};
        }
        const UserRecord user = s.login(o.required("user"));
        const PasswordRecord e = entryOf(s, user, o.positional.first());
        auto line = [&io](const char* label, const QString& value) { io.out << label << ": " << str(value) << '\n'; };
        line("ID", QString::number(e.id));
        line("User", e.user);
        line("Service", e.service);
        line("URL", e.url);
        line("Name", e.name);
        line("Password", o.flag("show-password") ? e.password : QStringLiteral("********"));
        line("Expiry Date", e.expiryDate ? dateOf(e.expiryDate).toString(Qt::ISODate) : QString());
        line("Expiry Interval", QString::number(e.expiryInterval));
        line("Last Change", e.lastChangeDate ? longDate(e.lastChangeDate) + QLatin1Char(' ') + shortTime(e.lastChangeTime)
                                             : QString());
        line("Monitor", e.monitor ? QStringLiteral("yes") : QStringLiteral("no"));
        line("Seconds To Wait", QString::number(e.secondsToWait));
        line("Window Title", e.windowTitleToLocate);
        line("Window Contents", e.windowContents);
        line("Repeat Interval", QString::number(e.doNotRepeatSeconds));
        line("Send Text", e.paste);
        line("Direct Send", e.directSend ? QStringLiteral("yes") : QStringLiteral("no"));
        line("Program", e.filename);
        line("Attachment", e.encryptedFilename);
        line("Notes", QString(e.notes).replace(QLatin1Char('\n'), QLatin1String("\\n")));
        line("More Notes", QString(e.moreNotes).replace(QLatin1Char('\n'), QLatin1String("\\n")));
        return 0;
    }
    if (verb == QLatin1String("delete")) {
        Options o(rest, {"user"}, {});
        if (o.positional.size() != 1) {
            throw UsageError{QStringLiteral("entries delete takes one entry ID")};
        }
        const UserRecord user = s.login(o.required("user"));
        const PasswordRecord e = entryOf(s, user, o.positional.first());
        Table<PasswordRecord> entries(s.store());
        return entries.remove(e) ? 0 : kRefused;
    }
    throw UsageError{QStringLiteral("unknown entries command %1").arg(verb)};
}

int settingsCommand(Session& s, const QStringList& args, CliIo& io) {
    if (args.isEmpty() || args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        (args.isEmpty() ? io.err : io.out) << kSettingsHelp;
        return args.isEmpty() ? kUsage : 0;
    }
    ConfigStore config(s.store());
    const QString verb = args.first();
    if (verb == QLatin1String("get") && args.size() == 2) {
        io.out << str(config.read(args[1])) << '\n';
        return 0;
    }
    if (verb == QLatin1String("set") && args.size() == 3) {
        if (ConfigStore::settingName(args[1]).isEmpty()) {
            throw UsageError{QStringLiteral("a setting needs a name")};
        }
        // A first setting written here must not stand in for the main program's first run.
        if (config.count() == 0) {
            initialiseSettings(s.store(), config);
        }
        return config.write(args[1], args[2]) ? 0 : kRefused;
    }
    throw UsageError{QStringLiteral("settings get NAME | settings set NAME VALUE")};
}

std::unique_ptr<x11::X11Connection> connectDisplay() {
    auto c = x11::X11Connection::open();
    if (!c) {
        throw Refusal{QStringLiteral("There is no X display to work on (DISPLAY is \"%1\").")
                          .arg(QString::fromLocal8Bit(qgetenv("DISPLAY")))};
    }
    return c;
}

int sendCommand(Session& s, const QStringList& args, CliIo& io) {
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        io.out << kSendHelp;
        return 0;
    }
    Options o(args, {"user"}, {});
    if (o.positional.size() != 1) {
        throw UsageError{QStringLiteral("send takes one entry ID")};
    }
    const QString userName = o.required("user");
    auto display = connectDisplay();
    const UserRecord user = s.login(userName);
    const PasswordRecord e = entryOf(s, user, o.positional.first());

    ConfigStore config(s.store());
    SendSettings settings;
    settings.interval = std::max<int64_t>(config.readNumber(QStringLiteral("ZD_GD")), 0);
    const int64_t group = config.readNumber(QStringLiteral("ZD_BS"));
    settings.groupSize = group <= 0 || group > 255 ? 7 : static_cast<int>(group);

    x11::PosixShell shell;
    startEntryProgram(e.filename, shell, s.messages());
    const ExpandedText text = expandSendText(e.paste, e);
    x11::X11Desktop desktop(*display);
    x11::X11Keyboard keyboard(*display);
    Typist(keyboard, s.clock(), settings).waitHundredths(int64_t{e.secondsToWait} * 100);
    // The program just started may need its wait to show its window; the layout may have changed.
    keyboard.refresh();
    Sender sender(keyboard, desktop, s.clock(), settings);
    const SendOutcome outcome =
        sender.send({e.windowTitleToLocate, e.windowContents, text, e.directSend != 0}, Activation::Main);
    if (outcome != SendOutcome::Sent) {
        s.messages().show(QStringLiteral("Cannot Send"), cannotSendText(outcome, e.windowTitleToLocate));
        return kRefused;
    }
    return 0;
}

int generateCommand(Session& s, const QStringList& args, CliIo& io) {
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        io.out << kGenerateHelp;
        return 0;
    }
    Options o(args, {"user", "type", "size", "joint"}, {});
    if (!o.positional.isEmpty()) {
        throw UsageError{QStringLiteral("generate takes only options")};
    }
    if (o.has("type") && !PasswordGenerator::types().contains(o.value("type"))) {
        throw UsageError{QStringLiteral("--type is one of \"%1\"").arg(PasswordGenerator::types().join("\", \""))};
    }
    const QMap<QString, QString> joints = {{"plus", "Plus Sign"}, {"hyphen", "Hyphen"}, {"number", "Number"}};
    if (o.has("joint") && !joints.contains(o.value("joint").toLower())) {
        throw UsageError{QStringLiteral("--joint is one of plus, hyphen, number")};
    }
    SystemRandom random;
    PasswordGenerator generator(s.store(), random, s.messages());
    ConfigStore config(s.store());
    UserRecord user;
    if (o.has("user")) {
        user = s.login(o.value("user"));
    }
    GeneratorChoice choice = generator.initialChoice(user, config);
    if (o.has("size")) {
        choice.size = integerOption(o, "size", 3, 128);
    }
    if (o.has("type")) {
        choice.type = o.value("type");
    }
    if (o.has("joint")) {
        choice.joint = joints.value(o.value("joint").toLower());
    }
    ensureWords(s.store());
    const auto password = generator.generate(choice);
    if (!password) {
        return kRefused;
    }
    io.out << str(*password) << '\n';
    return 0;
}

std::atomic<bool> g_stop{false};

void requestStop(int) {
    g_stop = true;
}

int monitorCommand(Session& s, const QStringList& args, CliIo& io) {
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        io.out << kMonitorHelp;
        return 0;
    }
    Options o(args, {"user", "seconds"}, {});
    if (!o.positional.isEmpty()) {
        throw UsageError{QStringLiteral("monitor takes no entry")};
    }
    const QString userName = o.required("user");
    const int64_t seconds = o.has("seconds") ? integerOption(o, "seconds", 0, INT32_MAX) : -1;
    auto display = connectDisplay();
    ConfigStore config(s.store());
    const auto settings = loadMonitorSettings(s.store(), config);
    if (!settings) {
        throw Refusal{QStringLiteral("You must run the main Zendrel program before you can use the Zendrel Monitor.")};
    }
    const UserRecord user = s.login(userName);

    x11::X11Desktop desktop(*display);
    x11::X11Keyboard keyboard(*display);
    MonitorEngine::Callbacks cb;
    cb.message = [&s](const QString& t, const QString& x) { s.messages().show(t, x); };
    cb.sent = [&io](const MonitorRow& r, const QString& window) {
        io.out << "typed " << str(r.service) << " into " << str(window) << std::endl;
    };
    g_stop = false;
    MonitorEngine engine(EngineProgram::Monitor, s.store(), keyboard, desktop, s.clock(),
                         SendSettings{static_cast<int>(settings->groupSize), settings->sendInterval, &g_stop}, cb);
    engine.selectUser(user.name);

    struct sigaction action {};
    action.sa_handler = requestStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    const int64_t end = s.clock().monotonic() + seconds * 100;
    int64_t nextTick = s.clock().monotonic();
    while (!g_stop && (seconds < 0 || s.clock().monotonic() < end)) {
        if (s.clock().monotonic() >= nextTick) {
            engine.tick();
            nextTick = s.clock().monotonic() + 50;
        }
        s.clock().sleep(5);
    }
    return 0;
}

int windowsCommand(const QStringList& args, CliIo& io) {
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        io.out << kWindowsHelp;
        return 0;
    }
    if (!args.isEmpty()) {
        throw UsageError{QStringLiteral("windows takes no arguments")};
    }
    auto display = connectDisplay();
    x11::X11Desktop desktop(*display);
    for (const WindowInfo& w : desktop.topLevelWindows()) {
        char id[32];
        std::snprintf(id, sizeof id, "0x%08llx", static_cast<unsigned long long>(w.id));
        io.out << id << '\t' << w.text << '\n';
    }
    return 0;
}

int initCommand(Session& s, const QStringList& args, CliIo& io) {
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        io.out << kInitHelp;
        return 0;
    }
    if (!args.isEmpty()) {
        throw UsageError{QStringLiteral("init takes no arguments")};
    }
    ConfigStore config(s.store());
    loadMainSettings(s.store(), config);
    Login(s.store()).ensureDefaultUser();
    return 0;
}

} // namespace

int runCli(const QStringList& arguments, CliIo& io) {
    QStringList args = arguments;
    QString directory = QDir::currentPath();
    try {
        while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
            const QString a = args.takeFirst();
            if (a == QLatin1String("--help")) {
                io.out << kMainHelp;
                return 0;
            }
            if (a == QLatin1String("--data")) {
                if (args.isEmpty()) {
                    throw UsageError{QStringLiteral("--data needs a directory")};
                }
                directory = args.takeFirst();
            } else if (a.startsWith(QLatin1String("--data="))) {
                directory = a.mid(7);
            } else {
                throw UsageError{QStringLiteral("unknown option %1").arg(a)};
            }
        }
        if (args.isEmpty()) {
            io.err << kMainHelp;
            return kUsage;
        }
        const QString command = args.takeFirst();
        if (command == QLatin1String("windows")) {
            return windowsCommand(args, io);
        }
        const QFileInfo dir(directory);
        if (!dir.isDir() || !dir.isExecutable()) {
            io.err << "zendrel-cli: the data directory " << str(directory) << " cannot be opened." << std::endl;
            return kRefused;
        }
        Session s(dir.absoluteFilePath(), io);
        if (command == QLatin1String("users")) {
            return usersCommand(s, args, io);
        }
        if (command == QLatin1String("entries")) {
            return entriesCommand(s, args, io);
        }
        if (command == QLatin1String("settings")) {
            return settingsCommand(s, args, io);
        }
        if (command == QLatin1String("init")) {
            return initCommand(s, args, io);
        }
        if (command == QLatin1String("send")) {
            return sendCommand(s, args, io);
        }
        if (command == QLatin1String("monitor")) {
            return monitorCommand(s, args, io);
        }
        if (command == QLatin1String("generate")) {
            return generateCommand(s, args, io);
        }
        throw UsageError{QStringLiteral("unknown command %1").arg(command)};
    } catch (const UsageError& e) {
        io.err << "zendrel-cli: " << str(e.text) << " (see zendrel-cli --help)" << std::endl;
        return kUsage;
    } catch (const Refusal& e) {
        if (!e.text.isEmpty()) {
            io.err << "zendrel-cli: " << str(e.text) << std::endl;
        }
        return kRefused;
    } catch (const ProgramEnded&) {
        return kRefused;
    } catch (const StoreError& e) {
        io.err << "zendrel-cli: " << str(e.errorText()) << std::endl;
        return kRefused;
    }
}

} // namespace zendrel
