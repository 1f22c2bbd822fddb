#include "app/cli/Command.h"
#include "operations/SyncOperations.h"

namespace zendrel::cli {

namespace {

class SyncSend final : public Command {
public:
    QString name() const override { return QStringLiteral("sync send"); }
    QString synopsis() const override { return QStringLiteral("sync send --user NAME --file PATH"); }
    QString summary() const override { return QStringLiteral("write the user's entries into an exchange file"); }
    QString usage() const override { return QStringLiteral("sync send --user NAME --file PATH"); }
    QString description() const override {
        return QStringLiteral(
            "Replaces the exchange file PATH with all entries of the user, notes and attached files included,\n"
            "bound to his login password; `sync receive` on another data directory takes them in. Prints the\n"
            "number of records written.");
    }
    void declare(QCommandLineParser& p) const override {
        p.addOption(valued(QStringLiteral("user"), QStringLiteral("the user"), QStringLiteral("NAME")));
        p.addOption(valued(QStringLiteral("file"), QStringLiteral("the exchange file"), QStringLiteral("PATH")));
    }
    int run(Context& c, const QCommandLineParser& o, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{QStringLiteral("sync send takes no arguments")};
        }
        const QString userName = requiredOption(o, QStringLiteral("user"));
        const QString path = requiredOption(o, QStringLiteral("file"));
        const UserRecord user = c.login(userName);
        SyncOperations sync(c.store(), c.messages());
        auto pass = sync.send(user, path);
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

std::unique_ptr<Command> makeSyncSend() {
    return std::make_unique<SyncSend>();
}

} // namespace zendrel::cli
