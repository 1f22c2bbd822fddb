#include "app/cli/Command.h"
#include "operations/UserOperations.h"

namespace zendrel::cli {

namespace {

class UsersChange final : public Command {
public:
    QString name() const override { return QStringLiteral("users change"); }
    QString synopsis() const override { return QStringLiteral("users change NAME"); }
    QString summary() const override { return QStringLiteral("rename a user or change his login password"); }
    QString usage() const override { return QStringLiteral("users change NAME [--rename NEW] [--password]"); }
    QString description() const override {
        return QStringLiteral(
            "\"change\" renames the user (his entries go with him) and, with --password, reads his new login\n"
            "password from the next line of standard input (an empty line: \"Not Required\").");
    }
    void declare(QCommandLineParser& p) const override {
        p.addOption(valued(QStringLiteral("rename"), QStringLiteral("the user's new name"), QStringLiteral("NEW")));
        p.addOption(flag(QStringLiteral("password"), QStringLiteral("read a new login password")));
    }
    int run(Context& c, const QCommandLineParser& o, const QStringList& positional) const override {
        if (positional.size() != 1) {
            throw UsageError{QStringLiteral("users change takes one user name")};
        }
        if (!o.isSet(QStringLiteral("rename")) && !o.isSet(QStringLiteral("password"))) {
            throw UsageError{QStringLiteral("users change needs --rename or --password")};
        }
        UserRecord u = c.login(positional.first());
        if (o.isSet(QStringLiteral("rename"))) {
            u.name = o.value(QStringLiteral("rename"));
        }
        if (o.isSet(QStringLiteral("password"))) {
            u.password = c.readSecret("New password: ", "The new login password");
            u.confirmPassword = u.password;
        } else {
            u.confirmPassword = u.password;
        }
        UserOperations::Focus focus;
        return UserOperations(c.store(), c.messages(), c.clock()).save(u, UserOperations::Request::Change, focus)
                   ? kDone
                   : kRefused;
    }
};

} // namespace

std::unique_ptr<Command> makeUsersChange() {
    return std::make_unique<UsersChange>();
}

} // namespace zendrel::cli
