#include "app/cli/commands/EntryOptions.h"

#include "app/DesktopChoice.h"
#include "base/Secrets.h"
#include "session/ConfigStore.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <iostream>

namespace zendrel::cli {

namespace {

class EntriesClip final : public Command {
public:
    QString name() const override { return QStringLiteral("entries clip"); }
    QString synopsis() const override { return QStringLiteral("entries clip ID"); }
    QString summary() const override {
        return QStringLiteral("put one field of an entry on the clipboard for a while");
    }
    QString usage() const override {
        return QStringLiteral("entries clip ID --user NAME [--field name|password|url|notes|\"more notes\"|service]");
    }
    QString description() const override {
        return QStringLiteral(
            "\"clip\" puts the field (the password when none is named) on the clipboard, a password marked for\n"
            "clipboard managers as a secret, and clears it after the seconds of the clipboard setting (ZD_CI),\n"
            "or 10 when that is 0, or on Ctrl+C. It waits until then. Needs a display: a Wayland compositor with\n"
            "the data-control protocol ($WAYLAND_DISPLAY), or an X display ($DISPLAY).");
    }
    void declare(QCommandLineParser& p) const override {
        p.addOption(valued(QStringLiteral("user"), QStringLiteral("the user"), QStringLiteral("NAME")));
        p.addOption(valued(QStringLiteral("field"), QStringLiteral("the field"), QStringLiteral("FIELD")));
    }
    int run(Context& c, const QCommandLineParser& o, const QStringList& positional) const override {
        if (positional.size() != 1) {
            throw UsageError{QStringLiteral("entries clip takes one entry ID")};
        }
        const int64_t id = entryId(positional.first());
        const QString field =
            o.isSet(QStringLiteral("field")) ? o.value(QStringLiteral("field")) : QStringLiteral("password");
        PasswordRecord probe;
        if (!EntryOperations::fieldText(probe, field)) {
            throw UsageError{
                QStringLiteral("--field is one of %1").arg(EntryOperations::copyableFields().join(", ").toLower())};
        }
        const std::unique_ptr<Clipboard> clipboard = openClipboard();
        if (!clipboard) {
            throw Refusal{QStringLiteral("There is no display whose clipboard could hold the field (DISPLAY is \"%1\", "
                                         "WAYLAND_DISPLAY is \"%2\").")
                              .arg(QString::fromLocal8Bit(qgetenv("DISPLAY")),
                                   QString::fromLocal8Bit(qgetenv("WAYLAND_DISPLAY")))};
        }
        const UserRecord user = c.login(requiredOption(o, QStringLiteral("user")));
        const PasswordRecord e = userEntry(c, user, id);
        int64_t seconds = clearSeconds(ConfigStore(c.store()).readNumber(QStringLiteral("ZD_CI")));
        if (seconds == 0) {
            seconds = 10;  // a clip is always cleared, also where the programs never clear
        }
        EntryOperations::copyField(e, field, *clipboard);
        const Wiped<std::string> copied(clipboard->text());
        c.io().err << "On the clipboard for " << seconds << " seconds." << std::endl;

        const std::atomic<bool>& stop = stopOnSignals();
        QEventLoop loop;
        QElapsedTimer elapsed;
        elapsed.start();
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (stop || elapsed.elapsed() >= seconds * 1000) {
                loop.quit();
            }
        });
        poll.start(100);
        loop.exec();
        // Cleared only while it still holds the field: a later copy of the user's own stays.
        Wiped<std::string> now(clipboard->text());
        if (*now == *copied) {
            clipboard->setText(std::string(), false);
        }
        return kDone;
    }
};

} // namespace

std::unique_ptr<Command> makeEntriesClip() {
    return std::make_unique<EntriesClip>();
}

} // namespace zendrel::cli
