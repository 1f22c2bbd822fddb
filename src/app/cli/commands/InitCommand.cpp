#include "app/cli/Command.h"
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
            "first-run settings with their corrections, and adds \"Default User\" to an empty user table.");
    }
    int run(Context& c, const QCommandLineParser&, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{QStringLiteral("init takes no arguments")};
        }
        ConfigStore config(c.store());
        loadMainSettings(c.store(), config);
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
