#include "app/cli/commands/Display.h"
#include "app/cli/commands/EntryOptions.h"
#include "operations/EntryOperations.h"
#include "operations/SendOperations.h"
#include "platform/x11/PosixShell.h"

namespace zendrel::cli {

namespace {

class Send final : public Command {
public:
    QString name() const override { return QStringLiteral("send"); }
    QString synopsis() const override { return QStringLiteral("send ID --user NAME"); }
    QString summary() const override {
        return QStringLiteral("send an entry into its window, as the password list's Send does");
    }
    QString usage() const override { return QStringLiteral("send ID --user NAME"); }
    QString description() const override {
        return QStringLiteral(
            "Does for one entry what Send does: starts its program, expands its send text, waits its seconds,\n"
            "finds and activates its window (the focused one for a blank title) and types the text with the\n"
            "stored send interval and group size. Needs a desktop: a wlroots Wayland compositor\n"
            "($WAYLAND_DISPLAY) or an X display ($DISPLAY).");
    }
    void declare(QCommandLineParser& p) const override {
        p.addOption(valued(QStringLiteral("user"), QStringLiteral("the user"), QStringLiteral("NAME")));
    }
    int run(Context& c, const QCommandLineParser& o, const QStringList& positional) const override {
        if (positional.size() != 1) {
            throw UsageError{QStringLiteral("send takes one entry ID")};
        }
        const QString userName = requiredOption(o, QStringLiteral("user"));
        const int64_t id = entryId(positional.first());
        const OpenedDesktop desktop = connectDesktop(true);
        const UserRecord user = c.login(userName);
        const PasswordRecord e = userEntry(c, user, id);
        x11::PosixShell shell;
        const SendOutcome outcome = SendOperations(c.store(), c.messages(), c.clock())
                                        .sendNow(e, *desktop.keyboard, *desktop.desktop, shell);
        return outcome == SendOutcome::Sent ? kDone : kRefused;
    }
};

} // namespace

std::unique_ptr<Command> makeSend() {
    return std::make_unique<Send>();
}

} // namespace zendrel::cli
