#include "app/cli/commands/EntryOptions.h"

namespace zendrel::cli {

namespace {

class EntriesSearch final : public Command {
public:
    QString name() const override { return QStringLiteral("entries search"); }
    QString synopsis() const override { return QStringLiteral("entries search TEXT"); }
    QString summary() const override {
        return QStringLiteral("list the entries whose service, name or URL holds a text");
    }
    QString usage() const override { return QStringLiteral("entries search TEXT --user NAME"); }
    QString description() const override {
        return QStringLiteral(
            "\"search\" lists, as \"list\" does and in service order, the entries whose service, name or URL\n"
            "contains the text, without regard to case.");
    }
    void declare(QCommandLineParser& p) const override {
        p.addOption(valued(QStringLiteral("user"), QStringLiteral("the user"), QStringLiteral("NAME")));
    }
    int run(Context& c, const QCommandLineParser& o, const QStringList& positional) const override {
        if (positional.size() != 1) {
            throw UsageError{QStringLiteral("entries search takes one text")};
        }
        const UserRecord user = c.login(requiredOption(o, QStringLiteral("user")));
        EntryOperations(c.store(), c.messages(), c.clock())
            .search(user.name, positional.first(), [&c](const PasswordRecord& e) {
                printListLine(c.out(), e);
                return true;
            });
        return kDone;
    }
};

} // namespace

std::unique_ptr<Command> makeEntriesSearch() {
    return std::make_unique<EntriesSearch>();
}

} // namespace zendrel::cli
