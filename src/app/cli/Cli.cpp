#include "app/cli/Cli.h"

#include "app/cli/Command.h"

#include <QDir>

#include <iostream>

namespace zendrel {

using namespace cli;

namespace {

QString mainHelp() {
    QString text = QStringLiteral(R"(Usage: zendrel-cli [--data DIR] [--passphrase-fd N] COMMAND ...

The command-line companion of Zendrel, working on the tables of a data directory
(the current directory unless --data names one). The passphrase of a protected
directory is read from descriptor N when --passphrase-fd is given, else from the
terminal without echo (or as the first line of standard input).

Commands:
)");
    for (const auto& c : commands()) {
        const QString left = QStringLiteral("  ") + c->synopsis();
        if (left.size() < 23) {
            text += left.leftJustified(23) + c->summary() + QLatin1Char('\n');
        } else {
            text += left + QLatin1Char('\n') + QString(23, QLatin1Char(' ')) + c->summary() + QLatin1Char('\n');
        }
    }
    text += QStringLiteral(R"(
Run "zendrel-cli COMMAND --help" for the options of a command.
Exit status: 0 done, 1 refused (the reason on standard error), 2 wrong usage.
)");
    return text;
}

// The help of a group of commands ("users", "entries", "settings"): each one's usage, then what they do.
QString groupHelp(const QString& group) {
    QStringList usages;
    QStringList descriptions;
    for (const auto& c : commands()) {
        if (c->name().section(QLatin1Char(' '), 0, 0) != group) {
            continue;
        }
        usages << QStringLiteral("zendrel-cli [--data DIR] ") + c->usage();
        if (!c->description().isEmpty()) {
            descriptions << c->description();
        }
    }
    QString text = QStringLiteral("Usage: ") + usages.join(QStringLiteral("\n       ")) + QLatin1Char('\n');
    if (!descriptions.isEmpty()) {
        text += QLatin1Char('\n') + descriptions.join(QStringLiteral("\n\n")) + QLatin1Char('\n');
    }
    return text;
}

bool wantsHelp(const QStringList& args) {
    return args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"));
}

// The option parser's faults in the program's own words.
[[noreturn]] void parseFault(const QCommandLineParser& p) {
    if (!p.unknownOptionNames().isEmpty()) {
        throw UsageError{QStringLiteral("unknown option --%1").arg(p.unknownOptionNames().first())};
    }
    const QString e = p.errorText();
    const qsizetype open = e.indexOf(QLatin1Char('\''));
    const qsizetype close = e.lastIndexOf(QLatin1Char('\''));
    const QString option = open >= 0 && close > open ? e.mid(open + 1, close - open - 1) : QString();
    if (e.startsWith(QLatin1String("Missing value"))) {
        throw UsageError{QStringLiteral("option %1 needs a value").arg(option)};
    }
    if (e.startsWith(QLatin1String("Unexpected value"))) {
        throw UsageError{QStringLiteral("option %1 takes no value").arg(option)};
    }
    throw UsageError{e};
}

int runCommand(const Command& command, const QStringList& args, const QString& directory, int passphraseFd,
               CliIo& io) {
    if (wantsHelp(args)) {
        io.out << str(command.help());
        return kDone;
    }
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    command.declare(parser);
    QStringList positional = args;
    if (command.parsesOptions()) {
        if (!parser.parse(QStringList{QStringLiteral("zendrel-cli")} + args)) {
            parseFault(parser);
        }
        positional = parser.positionalArguments();
    }
    Context context(directory, io, command.createsData(), passphraseFd);
    const int rc = command.run(context, parser, positional);
    // Output that did not arrive (a full disk, a closed pipe) is a failure, even when the work was done.
    io.out.flush();
    if (!io.out) {
        io.err << "zendrel-cli: the output could not be written." << std::endl;
        return kRefused;
    }
    return rc;
}

// The command's words: the first two arguments that are not options (nor the value of --data).
QString commandWords(const QStringList& arguments) {
    QStringList words;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--data") || a == QLatin1String("--passphrase-fd")) {
            ++i;
        } else if (!a.startsWith(QLatin1Char('-'))) {
            words << a;
        }
        if (words.size() == 2) {
            break;
        }
    }
    return words.join(QLatin1Char(' '));
}

} // namespace

bool cliNeedsClipboard(const QStringList& arguments) {
    return commandWords(arguments) == QLatin1String("entries clip");
}

bool cliLaysOutPages(const QStringList& arguments) {
    return commandWords(arguments).section(QLatin1Char(' '), 0, 0) == QLatin1String("report");
}

int runCli(const QStringList& arguments, CliIo& io) {
    QStringList args = arguments;
    QString directory = QDir::currentPath();
    int passphraseFd = -1;
    auto descriptor = [](const QString& text) {
        bool ok = false;
        const int fd = text.toInt(&ok);
        if (!ok || fd < 0) {
            throw UsageError{QStringLiteral("--passphrase-fd needs a descriptor number")};
        }
        return fd;
    };
    try {
        while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
            const QString a = args.takeFirst();
            if (a == QLatin1String("--help")) {
                io.out << str(mainHelp()) << std::flush;
                return io.out ? kDone : kRefused;
            }
            if (a == QLatin1String("--data")) {
                if (args.isEmpty()) {
                    throw UsageError{QStringLiteral("--data needs a directory")};
                }
                directory = args.takeFirst();
            } else if (a.startsWith(QLatin1String("--data="))) {
                directory = a.mid(7);
            } else if (a == QLatin1String("--passphrase-fd")) {
                passphraseFd = descriptor(args.isEmpty() ? QString() : args.takeFirst());
            } else if (a.startsWith(QLatin1String("--passphrase-fd="))) {
                passphraseFd = descriptor(a.mid(16));
            } else {
                throw UsageError{QStringLiteral("unknown option %1").arg(a)};
            }
        }
        if (args.isEmpty()) {
            io.err << str(mainHelp());
            return kUsage;
        }
        const QString first = args.takeFirst();
        bool isGroup = false;
        for (const auto& c : commands()) {
            if (c->name() == first) {
                return runCommand(*c, args, directory, passphraseFd, io);
            }
            isGroup = isGroup || c->name().startsWith(first + QLatin1Char(' '));
        }
        if (!isGroup) {
            throw UsageError{QStringLiteral("unknown command %1").arg(first)};
        }
        if (args.isEmpty() || args.first().startsWith(QLatin1Char('-'))) {
            const bool help = wantsHelp(args);
            (help ? io.out : io.err) << str(groupHelp(first));
            return help ? kDone : kUsage;
        }
        const QString words = first + QLatin1Char(' ') + args.first();
        for (const auto& c : commands()) {
            if (c->name() == words) {
                return runCommand(*c, args.mid(1), directory, passphraseFd, io);
            }
        }
        throw UsageError{QStringLiteral("unknown %1 command %2").arg(first, args.first())};
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
