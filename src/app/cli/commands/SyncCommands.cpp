#include "app/cli/Command.h"
#include "operations/SyncOperations.h"

namespace zendrel::cli {

namespace {

// `sync send` and `sync receive`: one pass of the exchange file each, run to its end without a window.
class SyncPassCommand final : public Command {
public:
    enum class Direction { Send, Receive };
    explicit SyncPassCommand(Direction d) : m_send(d == Direction::Send) {}

    QString name() const override { return m_send ? QStringLiteral("sync send") : QStringLiteral("sync receive"); }
    QString synopsis() const override { return name() + QStringLiteral(" --user NAME --file PATH"); }
    QString summary() const override {
        return m_send ? QStringLiteral("write the user's entries into an exchange file")
                      : QStringLiteral("take the entries of an exchange file into the user's");
    }
    QString usage() const override { return synopsis(); }
    QString description() const override {
        return m_send
                   ? QStringLiteral(
                         "Replaces the exchange file PATH with all entries of the user, notes and attached files "
                         "included,\nbound to his login password; `sync receive` on another data directory takes "
                         "them in. Prints the\nnumber of records written.")
                   : QStringLiteral(
                         "Adds the entries of the exchange file PATH that the user lacks (by name and service) and "
                         "replaces\nthose whose stored copy is older; nothing is deleted. The file must have been "
                         "sent under the same\nlogin password. Prints the numbers of records added and updated.");
    }
    void declare(QCommandLineParser& p) const override {
        p.addOption(valued(QStringLiteral("user"), QStringLiteral("the user"), QStringLiteral("NAME")));
        p.addOption(valued(QStringLiteral("file"), QStringLiteral("the exchange file"), QStringLiteral("PATH")));
    }
    int run(Context& c, const QCommandLineParser& o, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{name() + QStringLiteral(" takes no arguments")};
        }
        const QString userName = requiredOption(o, QStringLiteral("user"));
        const QString path = requiredOption(o, QStringLiteral("file"));
        const UserRecord user = c.login(userName);
        SyncOperations sync(c.store(), c.messages());
        auto pass = m_send ? sync.send(user, path) : sync.receive(user, path);
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

private:
    bool m_send;
};

} // namespace

std::unique_ptr<Command> makeSyncSend() {
    return std::make_unique<SyncPassCommand>(SyncPassCommand::Direction::Send);
}

std::unique_ptr<Command> makeSyncReceive() {
    return std::make_unique<SyncPassCommand>(SyncPassCommand::Direction::Receive);
}

} // namespace zendrel::cli
