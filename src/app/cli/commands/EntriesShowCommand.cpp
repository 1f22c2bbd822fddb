#include "app/cli/commands/EntryOptions.h"
#include "base/Dates.h"

namespace zendrel::cli {

namespace {

class EntriesShow final : public Command {
public:
    QString name() const override { return QStringLiteral("entries show"); }
    QString synopsis() const override { return QStringLiteral("entries show ID"); }
    QString summary() const override { return QStringLiteral("show one entry"); }
    QString usage() const override { return QStringLiteral("entries show ID --user NAME [--show-password]"); }
    void declare(QCommandLineParser& p) const override {
        p.addOption(valued(QStringLiteral("user"), QStringLiteral("the user"), QStringLiteral("NAME")));
        p.addOption(flag(QStringLiteral("show-password"), QStringLiteral("show the password")));
    }
    int run(Context& c, const QCommandLineParser& o, const QStringList& positional) const override {
        if (positional.size() != 1) {
            throw UsageError{QStringLiteral("entries show takes one entry ID")};
        }
        const int64_t id = entryId(positional.first());
        const UserRecord user = c.login(requiredOption(o, QStringLiteral("user")));
        const PasswordRecord e = userEntry(c, user, id);
        auto line = [&c](const char* label, const QString& value) {
            c.out() << label << ": " << str(listed(value)) << '\n';
        };
        line("ID", QString::number(e.id));
        line("User", e.user);
        line("Service", e.service);
        line("URL", e.url);
        line("Name", e.name);
        line("Password", o.isSet(QStringLiteral("show-password")) ? e.password : QStringLiteral("********"));
        line("Expiry Date", e.expiryDate ? dateOf(e.expiryDate).toString(Qt::ISODate) : QString());
        line("Expiry Interval", QString::number(e.expiryInterval));
        line("Last Change", e.lastChangeDate
                                ? longDate(e.lastChangeDate) + QLatin1Char(' ') + shortTime(e.lastChangeTime)
                                : QString());
        line("Monitor", e.monitor ? QStringLiteral("yes") : QStringLiteral("no"));
        line("Seconds To Wait", QString::number(e.secondsToWait));
        line("Window Title", e.windowTitleToLocate);
        line("Window Contents", e.windowContents);
        line("Repeat Interval", QString::number(e.doNotRepeatSeconds));
        line("Send Text", e.paste);
        line("Direct Send", e.directSend ? QStringLiteral("yes") : QStringLiteral("no"));
        line("Program", e.filename);
        line("Attachment", e.encryptedFilename);
        line("Notes", e.notes);
        line("More Notes", e.moreNotes);
        return kDone;
    }
};

} // namespace

std::unique_ptr<Command> makeEntriesShow() {
    return std::make_unique<EntriesShow>();
}

} // namespace zendrel::cli
