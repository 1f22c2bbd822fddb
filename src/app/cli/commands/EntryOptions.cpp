#include "app/cli/commands/EntryOptions.h"

#include "base/Dates.h"

#include <ostream>

namespace zendrel::cli {

namespace {

const QStringList kTextFields = {"service", "name", "url", "paste", "title", "contents", "program", "notes"};

} // namespace

void declareEntryFields(QCommandLineParser& p, bool changing) {
    for (const QString& f : kTextFields) {
        p.addOption(valued(f, f, QStringLiteral("TEXT")));
    }
    p.addOption(valued(QStringLiteral("wait"), QStringLiteral("seconds to wait"), QStringLiteral("SECONDS")));
    p.addOption(valued(QStringLiteral("repeat"), QStringLiteral("repeat interval"), QStringLiteral("SECONDS")));
    p.addOption(valued(QStringLiteral("expiry"), QStringLiteral("expiry date"), QStringLiteral("YYYY-MM-DD")));
    p.addOption(flag(QStringLiteral("monitor"), QStringLiteral("watch for the window")));
    p.addOption(flag(QStringLiteral("direct"), QStringLiteral("direct send")));
    if (changing) {
        p.addOption(flag(QStringLiteral("no-monitor"), QStringLiteral("stop watching for the window")));
        p.addOption(flag(QStringLiteral("no-direct"), QStringLiteral("no direct send")));
        p.addOption(flag(QStringLiteral("password"), QStringLiteral("read a new password")));
    }
}

QString entryFieldsUsage() {
    return QStringLiteral(
        "[--url TEXT] [--paste TEXT] [--title TEXT] [--contents TEXT] [--wait SECONDS]\n"
        "              [--repeat SECONDS] [--monitor] [--direct] [--program PATH] [--expiry YYYY-MM-DD]\n"
        "              [--notes TEXT]");
}

bool applyEntryFields(const QCommandLineParser& o, PasswordRecord& e, MessageService& messages) {
    if (o.isSet(QStringLiteral("wait"))) {
        bool ok = false;
        const int64_t wait = o.value(QStringLiteral("wait")).toLongLong(&ok);
        if (!ok) {
            throw UsageError{QStringLiteral("--wait must be a whole number")};
        }
        if (const auto refusal = EntryOperations::secondsToWaitRefusal(wait)) {
            messages.show(refusal->title, refusal->text);
            return false;
        }
        e.secondsToWait = static_cast<uint8_t>(wait);
    }
    if (o.isSet(QStringLiteral("repeat"))) {
        e.doNotRepeatSeconds = static_cast<int32_t>(integerOption(o, QStringLiteral("repeat"), 0, INT32_MAX));
    }
    if (o.isSet(QStringLiteral("expiry"))) {
        const QDate d = QDate::fromString(o.value(QStringLiteral("expiry")), Qt::ISODate);
        if (!d.isValid() || d.year() < 1801 || d.year() > 2099) {
            throw UsageError{QStringLiteral("--expiry must be a date YYYY-MM-DD between 1801 and 2099")};
        }
        e.expiryDate = dayNumber(d);
    }
    QString* const targets[] = {&e.service,        &e.name,     &e.url,  &e.paste, &e.windowTitleToLocate,
                                &e.windowContents, &e.filename, &e.notes};
    for (qsizetype i = 0; i < kTextFields.size(); ++i) {
        if (o.isSet(kTextFields[i])) {
            *targets[i] = o.value(kTextFields[i]);
        }
    }
    // A blank send text becomes the default, as the entry form makes it when it opens.
    if (fitText(e.paste, width::kPaste).isEmpty()) {
        e.paste = EntryOperations::defaultSendText();
    }
    if (o.isSet(QStringLiteral("monitor"))) {
        e.monitor = 1;
    }
    if (o.isSet(QStringLiteral("direct"))) {
        e.directSend = 1;
    }
    if (o.optionNames().contains(QStringLiteral("no-monitor"))) {
        e.monitor = 0;
    }
    if (o.optionNames().contains(QStringLiteral("no-direct"))) {
        e.directSend = 0;
    }
    return true;
}

PasswordRecord userEntry(Context& c, const UserRecord& user, int64_t id) {
    const auto e = EntryOperations(c.store(), c.messages(), c.clock()).find(user.name, id);
    if (!e) {
        throw Refusal{QStringLiteral("User %1 has no entry %2.").arg(user.name).arg(id)};
    }
    return *e;
}

void printListLine(std::ostream& out, const PasswordRecord& e) {
    out << e.id << '\t' << str(listed(e.service)) << '\t' << str(listed(e.name)) << '\t' << str(listed(e.url)) << '\n';
}

int saved(const EntryOperations::Outcome& outcome) {
    return outcome.saved ? kDone : kRefused;
}

} // namespace zendrel::cli
