#include "app/cli/Command.h"
#include "operations/UserOperations.h"
#include "session/Login.h"

namespace zendrel::cli {

namespace {

class UsersAdd final : public Command {
public:
    bool createsData() const override { return true; }
    QString name() const override { return QStringLiteral("users add"); }
    QString synopsis() const override { return QStringLiteral("users add NAME"); }
    QString summary() const override {
        return QStringLiteral("add a user; his login password is read from standard input");
    }
    QString usage() const override { return QStringLiteral("users add NAME"); }
    QString description() const override {
        return QStringLiteral(
            "\"add\" reads the new user's login password from the first line of standard input; an empty line\n"
            "means that the user needs no password (\"Not Required\").");
    }
    int run(Context& c, const QCommandLineParser&, const QStringList& positional) const override {
        if (positional.size() != 1) {
            throw UsageError{QStringLiteral("users add takes one user name")};
        }
        const QString password = c.readSecret("Password: ", "The new user's password");
        Table<UserRecord> users(c.store());
        UserRecord u = users.prime();
        u.name = positional.first();
        u.password = password;
        u.confirmPassword = password;
        UserOperations::Focus focus;
        return UserOperations(c.store(), c.messages(), c.clock()).save(u, UserOperations::Request::Insert, focus)
                   ? kDone
                   : kRefused;
    }
};

} // namespace

std::unique_ptr<Command> makeUsersAdd() {
    return std::make_unique<UsersAdd>();
}

} // namespace zendrel::cli
