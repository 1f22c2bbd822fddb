#include "app/cli/commands/EntryOptions.h"

namespace zendrel::cli {

namespace {

class EntriesDelete final : public Command {
public:
    QString name() const override { return QStringLiteral("entries delete"); }
    QString synopsis() const override { return QStringLiteral("entries delete ID"); }
    QString summary() const override { return QStringLiteral("delete one entry"); }
    QString usage() const override { return QStringLiteral("entries delete ID --user NAME"); }
    void declare(QCommandLineParser& p) const override {
        p.addOption(valued(QStringLiteral("user"), QStringLiteral("the user"), QStringLiteral("NAME")));
    }
    int run(Context& c, const QCommandLineParser& o, const QStringList& positional) const override {
        if (positional.size() != 1) {
            throw UsageError{QStringLiteral("entries delete takes one entry ID")};
        }
        const int64_t id = entryId(positional.first());
        const UserRecord user = c.login(requiredOption(o, QStringLiteral("user")));
        EntryOperations entries(c.store(), c.messages(), c.clock());
        return entries.remove(userEntry(c, user, id)) ? kDone : kRefused;
    }
};

} // namespace

std::unique_ptr<Command> makeEntriesDelete() {
    return std::make_unique<EntriesDelete>();
}

} // namespace zendrel::cli
