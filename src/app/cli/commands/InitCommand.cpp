#include "app/cli/Command.h"
#include "operations/ConversionOperations.h"
#include "session/ConfigStore.h"
#include "session/Login.h"

namespace zendrel::cli {

namespace {

class Init final : public Command {
public:
    bool createsData() const override { return true; }
    QString name() const override { return QStringLiteral("init"); }
    QString summary() const override {
        return QStringLiteral("prepare the data directory as the main program's start does");
    }
    QString usage() const override { return QStringLiteral("init"); }
    QString description() const override {
        return QStringLiteral(
            "Prepares the data directory as the main program's start does: creates the tables, writes the\n"
            "first-run settings with their corrections, converts the users and entries of version 2.1 found in\n"
            "the file ZDDATA (a refused record is named on standard error and kept there; the counts are\n"
            "printed), and adds \"Default User\" to an empty user table.");
    }
    int run(Context& c, const QCommandLineParser&, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{QStringLiteral("init takes no arguments")};
        }
        ConfigStore config(c.store());
        QStringList converted;
        loadMainSettings(c.store(), config,
                         [&] { converted = ConversionOperations(c.store(), c.messages()).convertAll(); });
        for (const QString& line : converted) {
            c.out() << str(line) << '\n';
        }
        Login(c.store()).ensureDefaultUser();
        // The first-run settings report a failed write with a message and go on: the command has failed.
        return c.messagesShown() == 0 ? kDone : kRefused;
    }
};

} // namespace

std::unique_ptr<Command> makeInit() {
    return std::make_unique<Init>();
}

} // namespace zendrel::cli
