#include "app/cli/Command.h"
#include "session/Login.h"

namespace zendrel::cli {

namespace {

class UsersList final : public Command {
public:
    QString name() const override { return QStringLiteral("users list"); }
    QString summary() const override { return QStringLiteral("list the users, one name per line, in name order"); }
    QString usage() const override { return QStringLiteral("users list"); }
    QString description() const override {
        return QStringLiteral(
            "\"list\" prints one user name per line in name order; an empty store first gets \"Default User\".");
    }
    int run(Context& c, const QCommandLineParser&, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{QStringLiteral("users list takes no arguments")};
        }
        Login login(c.store());
        login.ensureDefaultUser();
        for (const auto& u : login.usersByName()) {
            c.out() << str(listed(u.name)) << '\n';
        }
        return kDone;
    }
};

} // namespace

std::unique_ptr<Command> makeUsersList() {
    return std::make_unique<UsersList>();
}

} // namespace zendrel::cli
