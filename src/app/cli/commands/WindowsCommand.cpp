#include "app/cli/Command.h"
#include "app/cli/commands/Display.h"
#include "operations/SendOperations.h"

#include <cstdio>

namespace zendrel::cli {

namespace {

class Windows final : public Command {
public:
    QString name() const override { return QStringLiteral("windows"); }
    QString summary() const override { return QStringLiteral("list the desktop's top-level windows, front to back"); }
    QString synopsis() const override { return QStringLiteral("windows [--texts TITLE]"); }
    QString usage() const override { return QStringLiteral("windows [--texts TITLE]"); }
    QString description() const override {
        return QStringLiteral(
            "Lists the top-level windows of the desktop, front to back: the window id, a tab, the title. The first\n"
            "line names the desktop typed into: \"desktop: wayland\" (a wlroots compositor, its own windows in the\n"
            "order they were last activated) or \"desktop: x11\" (an X display; on a Wayland session only its\n"
            "XWayland windows).\n"
            "With --texts, prints instead the texts shown in the frontmost window whose title matches TITLE\n"
            "by an entry's title rules, one per line: what an entry's window contents text is looked for in.");
    }
    bool usesData() const override { return false; }
    void declare(QCommandLineParser& p) const override {
        p.addOption(valued(QStringLiteral("texts"), QStringLiteral("the texts of the window with this title"),
                           QStringLiteral("TITLE")));
    }
    int run(Context& c, const QCommandLineParser& o, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{QStringLiteral("windows takes no arguments")};
        }
        const OpenedDesktop desktop = connectDesktop(false);
        if (o.isSet(QStringLiteral("texts"))) {
            const WindowTexts texts = windowTexts(*desktop.desktop, o.value(QStringLiteral("texts")));
            if (!texts.found) {
                throw Refusal{texts.message};
            }
            for (const QString& line : texts.lines) {
                c.out() << str(listed(line)) << '\n';
            }
            if (texts.lines.isEmpty()) {
                c.io().err << str(texts.message) << '\n';
            }
            return kDone;
        }
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
