#include "app/cli/Command.h"
#include "operations/UserOperations.h"

namespace zendrel::cli {

namespace {

class UsersDelete final : public Command {
public:
    QString name() const override { return QStringLiteral("users delete"); }
    QString synopsis() const override { return QStringLiteral("users delete NAME"); }
    QString summary() const override { return QStringLiteral("delete a user and all his entries"); }
    QString usage() const override { return QStringLiteral("users delete NAME"); }
    QString description() const override {
        return QStringLiteral("\"delete\" removes the user with all his entries; the last user cannot be deleted.");
    }
    int run(Context& c, const QCommandLineParser&, const QStringList& positional) const override {
        if (positional.size() != 1) {
            throw UsageError{QStringLiteral("users delete takes one user name")};
        }
        const UserRecord u = c.login(positional.first());
        // The login above was the password check, and the command itself is the answer to the question.
        const bool removed = UserOperations(c.store(), c.messages(), c.clock())
                                 .remove(
                                     u, [](UserRecord&) { return true; }, UserOperations::Ask::Not);
        return removed ? kDone : kRefused;
    }
};

} // namespace

std::unique_ptr<Command> makeUsersDelete() {
    return std::make_unique<UsersDelete>();
}

} // namespace zendrel::cli
