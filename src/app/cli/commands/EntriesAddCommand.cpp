#include "app/cli/commands/EntryOptions.h"

namespace zendrel::cli {

namespace {

class EntriesAdd final : public Command {
public:
    bool createsData() const override { return true; }
    QString name() const override { return QStringLiteral("entries add"); }
    QString summary() const override { return QStringLiteral("add a password entry"); }
    QString usage() const override {
        return QStringLiteral("entries add --user NAME --service TEXT --name TEXT ") + entryFieldsUsage();
    }
    QString description() const override {
        return QStringLiteral(
            "\"add\" reads the entry's password from the line after the login password and prints the new\n"
            "entry's ID; the entry is checked as the entry form checks it.");
    }
    void declare(QCommandLineParser& p) const override {
        p.addOption(valued(QStringLiteral("user"), QStringLiteral("the user"), QStringLiteral("NAME")));
        declareEntryFields(p, false);
    }
    int run(Context& c, const QCommandLineParser& o, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{QStringLiteral("entries add takes only options")};
        }
        const QString userName = requiredOption(o, QStringLiteral("user"));
        requiredOption(o, QStringLiteral("service"));
        requiredOption(o, QStringLiteral("name"));
        // The options are checked before the login is asked for.
        EntryOperations entries(c.store(), c.messages(), c.clock());
        PasswordRecord e = Table<PasswordRecord>(c.store()).prime();
        entries.prime(e, userName);
        if (!applyEntryFields(o, e, c.messages())) {
            return kRefused;
        }
        const UserRecord user = c.login(userName);
        const QString password = c.readSecret("Entry password: ", "The entry's password");
        e.user = user.name;
        e.password = password;
        e.confirmPassword = password;
        const auto outcome = entries.save(e, EntryOperations::Request::Insert, 0);
        if (outcome.saved) {
            c.out() << e.id << '\n';
        }
        return saved(outcome);
    }
};

} // namespace

std::unique_ptr<Command> makeEntriesAdd() {
    return std::make_unique<EntriesAdd>();
}

} // namespace zendrel::cli
