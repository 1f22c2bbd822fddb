#include "app/cli/Command.h"
#include "operations/SyncOperations.h"

namespace zendrel::cli {

namespace {

class SyncReceive final : public Command {
public:
    QString name() const override { return QStringLiteral("sync receive"); }
    QString synopsis() const override { return QStringLiteral("sync receive --user NAME --file PATH"); }
    QString summary() const override { return QStringLiteral("take the entries of an exchange file into the user's"); }
    QString usage() const override { return QStringLiteral("sync receive --user NAME --file PATH"); }
    QString description() const override {
        return QStringLiteral(
            "Adds the entries of the exchange file PATH that the user lacks (by name and service) and replaces\n"
            "those whose stored copy is older; nothing is deleted. The file must have been sent under the same\n"
            "login password. Prints the numbers of records added and updated.");
    }
    void declare(QCommandLineParser& p) const override {
        p.addOption(valued(QStringLiteral("user"), QStringLiteral("the user"), QStringLiteral("NAME")));
        p.addOption(valued(QStringLiteral("file"), QStringLiteral("the exchange file"), QStringLiteral("PATH")));
    }
    int run(Context& c, const QCommandLineParser& o, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{QStringLiteral("sync receive takes no arguments")};
        }
        const QString userName = requiredOption(o, QStringLiteral("user"));
        const QString path = requiredOption(o, QStringLiteral("file"));
        const UserRecord user = c.login(userName);
        SyncOperations sync(c.store(), c.messages());
        auto pass = sync.receive(user, path);
        if (!pass) {
            return kRefused;
        }
        while (pass->slice(SyncOperations::kSliceRecords)) {
        }
        pass->finish(false);
        for (const QString& line : pass->summaryLines()) {
            c.out() << str(line) << '\n';
        }
        return c.messagesShown() > 0 ? kRefused : kDone;
    }
};

} // namespace

std::unique_ptr<Command> makeSyncReceive() {
    return std::make_unique<SyncReceive>();
}

} // namespace zendrel::cli
