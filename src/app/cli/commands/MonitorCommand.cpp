#include "app/cli/Command.h"
#include "app/cli/commands/Display.h"
#include "monitor/MonitorEngine.h"
#include "operations/MonitorOperations.h"
#include "session/ConfigStore.h"

#include <iostream>

namespace zendrel::cli {

namespace {

class Monitor final : public Command {
public:
    QString name() const override { return QStringLiteral("monitor"); }
    QString synopsis() const override { return QStringLiteral("monitor --user NAME"); }
    QString summary() const override {
        return QStringLiteral("type the user's monitored entries whenever their windows appear");
    }
    QString usage() const override { return QStringLiteral("monitor --user NAME [--seconds N]"); }
    QString description() const override {
        return QStringLiteral(
            "The monitor without a window of its own: loads the user's entries marked for monitoring and, every\n"
            "half second, types each one into its window when that window is present (again after the entry's\n"
            "repeat interval, once when it is 0), with the stored send settings. Prints one line per send, and\n"
            "stops after N seconds or on Ctrl+C or SIGTERM. Needs a desktop (Wayland or X11).");
    }
    void declare(QCommandLineParser& p) const override {
        p.addOption(valued(QStringLiteral("user"), QStringLiteral("the user"), QStringLiteral("NAME")));
        p.addOption(valued(QStringLiteral("seconds"), QStringLiteral("how long to watch"), QStringLiteral("N")));
    }
    int run(Context& c, const QCommandLineParser& o, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{QStringLiteral("monitor takes no entry")};
        }
        const QString userName = requiredOption(o, QStringLiteral("user"));
        const int64_t seconds =
            o.isSet(QStringLiteral("seconds")) ? integerOption(o, QStringLiteral("seconds"), 0, INT32_MAX) : -1;
        const OpenedDesktop desktop = connectDesktop(true);
        ConfigStore config(c.store());
        const auto settings = loadMonitorSettings(c.store(), config);
        if (!settings) {
            throw Refusal{MonitorOperations::kMainNeverRun};
        }
        const UserRecord user = c.login(userName);

        MonitorEngine::Callbacks cb;
        cb.message = [&c](const QString& t, const QString& x) { c.messages().show(t, x); };
        cb.sent = [&c](const MonitorRow& r, const QString& window) {
            c.out() << "typed " << str(r.service) << " into " << str(window) << std::endl;
        };
        const std::atomic<bool>& stop = stopOnSignals();
        MonitorEngine engine(EngineProgram::Monitor, c.store(), *desktop.keyboard, *desktop.desktop, c.clock(),
                             SendSettings{static_cast<int>(settings->groupSize), settings->sendInterval, &stop}, cb);
        engine.selectUser(user.name);

        Clock& clock = c.clock();
        const int64_t end = clock.monotonic() + seconds * 100;
        int64_t nextTick = clock.monotonic();
        while (!stop && (seconds < 0 || clock.monotonic() < end)) {
            if (clock.monotonic() >= nextTick) {
                engine.tick();
                nextTick = clock.monotonic() + 50;
            }
            clock.sleep(5);
        }
        return kDone;
    }
};

} // namespace

std::unique_ptr<Command> makeMonitor() {
    return std::make_unique<Monitor>();
}

} // namespace zendrel::cli
