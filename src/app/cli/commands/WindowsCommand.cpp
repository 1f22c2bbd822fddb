#include "app/cli/Command.h"
#include "app/cli/commands/Display.h"
#include "platform/x11/X11Desktop.h"

#include <cstdio>

namespace zendrel::cli {

namespace {

class Windows final : public Command {
public:
    QString name() const override { return QStringLiteral("windows"); }
    QString summary() const override { return QStringLiteral("list the desktop's top-level windows, front to back"); }
    QString usage() const override { return QStringLiteral("windows"); }
    QString description() const override {
        return QStringLiteral(
            "Lists the top-level windows of the X display, front to back: the window id, a tab, the title.");
    }
    bool usesData() const override { return false; }
    int run(Context& c, const QCommandLineParser&, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{QStringLiteral("windows takes no arguments")};
        }
        auto display = connectDisplay();
        x11::X11Desktop desktop(*display);
        for (const WindowInfo& w : desktop.topLevelWindows()) {
            char id[32];
            std::snprintf(id, sizeof id, "0x%08llx", static_cast<unsigned long long>(w.id));
            c.out() << id << '\t' << str(listed(QString::fromStdString(w.text))) << '\n';
        }
        return kDone;
    }
};

} // namespace

std::unique_ptr<Command> makeWindows() {
    return std::make_unique<Windows>();
}

} // namespace zendrel::cli
