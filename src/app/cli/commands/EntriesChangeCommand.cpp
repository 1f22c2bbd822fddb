#include "app/cli/commands/EntryOptions.h"

namespace zendrel::cli {

namespace {

class EntriesChange final : public Command {
public:
    QString name() const override { return QStringLiteral("entries change"); }
    QString synopsis() const override { return QStringLiteral("entries change ID"); }
    QString summary() const override { return QStringLiteral("change fields of one entry"); }
    QString usage() const override {
        return QStringLiteral("entries change ID --user NAME [--service TEXT] [--name TEXT] [--password] ") +
               entryFieldsUsage() + QStringLiteral(" [--no-monitor] [--no-direct]");
    }
    QString description() const override {
        return QStringLiteral(
            "\"change\" changes only the fields given; with --password it reads the entry's new password from\n"
            "the line after the login password. The entry is checked as the entry form checks it.");
    }
    void declare(QCommandLineParser& p) const override {
        p.addOption(valued(QStringLiteral("user"), QStringLiteral("the user"), QStringLiteral("NAME")));
        declareEntryFields(p, true);
    }
    int run(Context& c, const QCommandLineParser& o, const QStringList& positional) const override {
        if (positional.size() != 1) {
            throw UsageError{QStringLiteral("entries change takes one entry ID")};
        }
        const int64_t id = entryId(positional.first());
        // The options are checked before the login is asked for.
        PasswordRecord scratch;
        if (!applyEntryFields(o, scratch, c.messages())) {
            return kRefused;
        }
        const UserRecord user = c.login(requiredOption(o, QStringLiteral("user")));
        EntryOperations entries(c.store(), c.messages(), c.clock());
        PasswordRecord e = userEntry(c, user, id);
        const uint8_t openingMonitor = e.monitor;
        if (o.isSet(QStringLiteral("password"))) {
            e.password = c.readSecret("Entry password: ", "The entry's password");
        }
        e.confirmPassword = e.password;
        if (!applyEntryFields(o, e, c.messages())) {
            return kRefused;
        }
        return saved(entries.save(e, EntryOperations::Request::Change, openingMonitor));
    }
};

} // namespace

std::unique_ptr<Command> makeEntriesChange() {
    return std::make_unique<EntriesChange>();
}

} // namespace zendrel::cli
