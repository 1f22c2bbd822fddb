#include "app/cli/Command.h"
#include "app/cli/commands/Display.h"

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
            "Lists the top-level windows of the desktop, front to back: the window id, a tab, the title. The first\n"
            "line names the desktop typed into: \"desktop: wayland\" (a wlroots compositor, its own windows in the\n"
            "order they were last activated) or \"desktop: x11\" (an X display; on a Wayland session only its\n"
            "XWayland windows).");
    }
    bool usesData() const override { return false; }
    int run(Context& c, const QCommandLineParser&, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{QStringLiteral("windows takes no arguments")};
        }
        const OpenedDesktop desktop = connectDesktop(false);
        c.out() << "desktop: " << str(desktopKindName(desktop.kind)) << '\n';
        for (const WindowInfo& w : desktop.desktop->topLevelWindows()) {
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
