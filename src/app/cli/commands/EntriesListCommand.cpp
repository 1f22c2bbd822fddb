#include "app/cli/commands/EntryOptions.h"

namespace zendrel::cli {

namespace {

const QMap<QString, PasswordListModel::Order>& orders() {
    static const QMap<QString, PasswordListModel::Order> o = {{"service", PasswordListModel::Order::Service},
                                                              {"url", PasswordListModel::Order::Url},
                                                              {"name", PasswordListModel::Order::Name},
                                                              {"date", PasswordListModel::Order::Date},
                                                              {"expired", PasswordListModel::Order::Expired}};
    return o;
}

class EntriesList final : public Command {
public:
    QString name() const override { return QStringLiteral("entries list"); }
    QString summary() const override { return QStringLiteral("list a user's password entries"); }
    QString usage() const override {
        return QStringLiteral("entries list --user NAME [--order service|url|name|date|expired]");
    }
    QString description() const override {
        return QStringLiteral(
            "A user with a login password must give it: prompted for on a terminal, else read from the first\n"
            "line of standard input. \"list\" prints ID, service, name and URL separated by tabs.");
    }
    void declare(QCommandLineParser& p) const override {
        p.addOption(valued(QStringLiteral("user"), QStringLiteral("the user"), QStringLiteral("NAME")));
        p.addOption(valued(QStringLiteral("order"), QStringLiteral("the order"), QStringLiteral("ORDER")));
    }
    int run(Context& c, const QCommandLineParser& o, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{QStringLiteral("entries list takes only options")};
        }
        const QString order =
            o.isSet(QStringLiteral("order")) ? o.value(QStringLiteral("order")).toLower() : QStringLiteral("service");
        if (!orders().contains(order)) {
            throw UsageError{QStringLiteral("--order is one of service, url, name, date, expired")};
        }
        const UserRecord user = c.login(requiredOption(o, QStringLiteral("user")));
        EntryOperations(c.store(), c.messages(), c.clock())
            .forEach(user.name, orders().value(order), [&c](const PasswordRecord& e) {
                printListLine(c.out(), e);
                return true;
            });
        return kDone;
    }
};

} // namespace

std::unique_ptr<Command> makeEntriesList() {
    return std::make_unique<EntriesList>();
}

} // namespace zendrel::cli
