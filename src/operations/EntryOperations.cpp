#include "operations/EntryOperations.h"

#include "base/Secrets.h"
#include "entries/Attachment.h"

#include "base/Dates.h"

namespace zendrel {

const QString& EntryOperations::defaultSendText() {
    static const QString t = QStringLiteral("[Name][Tab][Password][Enter]");
    return t;
}

const QStringList& EntryOperations::defaultScripts() {
    static const QStringList s = {"[Name][Tab][Password][Enter]",   "[Name][Tab]",
                                  "[Password][Enter]",              "[URL][Tab]",
                                  "[Service][Enter][Password][Enter]", "[Name][Enter][Password][Enter]",
                                  "[Notes][Tab]",                   "[Password][Tab]"};
    return s;
}

void EntryOperations::prime(PasswordRecord& entry, const QString& userName) const {
    entry.user = userName;
    entry.moreNotes = QStringLiteral("Added ") + longDate(m_clock.today()) + QStringLiteral("  ") +
                      shortTime(m_clock.clock());
    entry.paste = defaultSendText();
    entry.secondsToWait = 2;
    entry.doNotRepeatSeconds = 0;
}

QString EntryOperations::findAddress(const QStringList& texts) {
    for (const char* marker : {"http:", "www."}) {
        for (const QString& t : texts) {
            const qsizetype at = t.toLower().indexOf(QLatin1String(marker));
            if (at < 0) {
                continue;
            }
            QString url = t.mid(at);
            if (const qsizetype space = url.indexOf(QLatin1Char(' ')); space >= 0) {
                url.truncate(space);
            }
            if (const qsizetype quote = url.indexOf(QLatin1Char('"')); quote >= 0) {
                url.truncate(quote);
            }
            return url;
        }
    }
    return {};
}

void EntryOperations::open(PasswordRecord& entry, Request request, const UserRecord& user, const QStringList& windowTitles,
                     const QString& clipboard) {
    if (fitText(entry.paste, width::kPaste).isEmpty()) {
        entry.paste = defaultSendText();
    }
    Table<ScriptPasteRecord> scripts(m_store);
    if (scripts.count() == 0) {
        for (const QString& s : defaultScripts()) {
            ScriptPasteRecord r;
            r.paste = s;
            scripts.insert(r);
        }
    }
    if (request != Request::Insert) {
        return;
    }
    if (fitText(entry.name, width::kName).isEmpty()) {
        entry.name = user.lastNameUsed;
    }
    if (fitText(entry.url, width::kUrl).isEmpty()) {
        entry.url = findAddress(windowTitles);
    }
    if (fitText(entry.url, width::kUrl).isEmpty()) {
        entry.url = findAddress({clipboard});
    }
}

bool EntryOperations::duplicates(const PasswordRecord& e, const QString& key) const {
    Table<PasswordRecord> entries(m_store);
    const KeyDef& k = tables::passwords().key(key);
    const Row row = toRow(e);
    std::vector<Value> components;
    for (int f : k.fields) {
        components.push_back(row[static_cast<size_t>(f)]);
    }
    KeyRange r;
    r.prefix = components;
    r.limit = 2;
    for (const PasswordRecord& other : entries.read(key, r)) {
        if (other.rowId != e.rowId) {
            return true;
        }
    }
    return false;
}

EntryOperations::Outcome EntryOperations::save(PasswordRecord& e, Request request, uint8_t openingMonitor,
                                               FormVariant variant) {
    const bool monitorForm = variant == FormVariant::Monitor;
    Outcome out;
    auto refuse = [&](const QString& title, const QString& text, Focus focus) {
        m_messages.show(title, text);
        out.focus = focus;
        return out;
    };
    if (fitText(e.password, width::kPassword) != fitText(e.confirmPassword, width::kPassword)) {
        return refuse(monitorForm ? QStringLiteral("Cannot Save Changes") : QStringLiteral("Error"),
                      QStringLiteral("Passwords do not match."), Focus::OkButton);
    }
    wipe(e.confirmPassword);  // its own copy of the typed password, which would otherwise be let go as it is
    e.confirmPassword = e.password;
    auto stamp = [&] {
        e.lastChangeDate = m_clock.today();
        e.lastChangeTime = m_clock.clock();
    };
    if (monitorForm) {
        stamp();
    }
    if (fitText(e.service, width::kService).isEmpty()) {
        return refuse(QStringLiteral("Error"), QStringLiteral("To identify this record, a service must be entered.|"),
                      Focus::Service);
    }
    if (fitText(e.name, width::kName).isEmpty()) {
        return refuse(QStringLiteral("Error"), QStringLiteral("To identify this record, a name must be entered.|"),
                      Focus::Name);
    }
    const QString dup = QStringLiteral("This entry duplicates another already entered.|");
    if (duplicates(e, QStringLiteral("P_:KeyService"))) {
        return refuse(QStringLiteral("Error"), dup + QStringLiteral("Service:  ") + fitText(e.service, width::kService) + QLatin1Char('.'),
                      Focus::Service);
    }
    if (duplicates(e, QStringLiteral("P_:KeyName"))) {
        return refuse(QStringLiteral("Error"), dup + QStringLiteral("Name:  ") + fitText(e.name, width::kName) + QLatin1Char('.'),
                      Focus::Name);
    }
    if (duplicates(e, QStringLiteral("P_:KeyURL"))) {
        return refuse(QStringLiteral("Error"), dup + QStringLiteral("URL:  ") + fitText(e.url, width::kUrl) + QLatin1Char('.'),
                      Focus::Url);
    }
    // A watched entry needs a window to watch for.
    if (e.monitor && fitText(e.windowTitleToLocate, width::kWindowTitle).isEmpty()) {
        return refuse(QStringLiteral("Information Required"),
                      QStringLiteral("If you check the Monitor checkbox, you must enter a Window Title."),
                      Focus::WindowTitle);
    }
    // Paths are kept whole or not at all.
    for (const QString* path : {&e.filename, &e.encryptedFilename}) {
        if (const auto tooLong = Attachment::pathTooLong(fitText(*path, 0))) {
            return refuse(QStringLiteral("Error"), *tooLong, Focus::Program);
        }
    }
    // The owner may have been renamed or deleted by another program since the form opened: an entry stored
    // under a name no user has would drop out of every list.
    if (!Table<UserRecord>(m_store).fetch(QStringLiteral("U_:KeyName"), {e.user})) {
        return refuse(QStringLiteral("Cannot Save"),
                      QStringLiteral("The user %1 was renamed or deleted elsewhere, so this entry was not saved.")
                          .arg(fitText(e.user, width::kUserName)),
                      Focus::None);
    }
    if (!monitorForm) {
        stamp();
    }
    Table<PasswordRecord> entries(m_store);
    const WriteResult w = request == Request::Insert ? entries.insert(e) : entries.change(e);
    if (!w) {
        // The store's message has been shown; the form stays open with its values.
        return out;
    }
    out.saved = true;
    out.monitorChanged = !monitorForm && (e.monitor != 0 || e.monitor != openingMonitor);
    Table<UserRecord> users(m_store);
    if (auto fresh = users.fetch(QStringLiteral("U_:KeyName"), {e.user})) {
        fresh->lastNameUsed = fitText(e.name, width::kName).left(width::kLastNameUsed);
        users.change(*fresh);
    }
    return out;
}

bool EntryOperations::copyField(const PasswordRecord& entry, const QString& field, Clipboard& clipboard) {
    auto text = fieldText(entry, field);
    if (!text) {
        return false;
    }
    // Every field of an entry is kept out of clipboard histories, not only its password: a name with its
    // address, or a note, is as much a secret as the password beside it.
    const Wiped<std::string> copy(secretUtf8(*text));
    clipboard.setText(*copy, true);
    wipe(*text);
    return true;
}

bool EntryOperations::remove(const PasswordRecord& entry) {
    return static_cast<bool>(Table<PasswordRecord>(m_store).remove(entry));
}

std::optional<EntryOperations::Refusal> EntryOperations::secondsToWaitRefusal(int64_t seconds) {
    const TableDef& t = tables::passwords();
    const int index = t.fieldIndex(QStringLiteral("P_:SecondsToWait"));
    for (const RangeCheck& r : t.ranges) {
        if (r.field == index && (seconds < r.low || seconds > r.high)) {
            return Refusal{QStringLiteral("Range Error"),
                           QStringLiteral("The value of %1 must be between %2.").arg(r.label, r.range)};
        }
    }
    return std::nullopt;
}

std::optional<PasswordRecord> EntryOperations::find(const QString& user, int64_t id) {
    if (id <= 0) {
        return std::nullopt;
    }
    auto e = Table<PasswordRecord>(m_store).get(id);
    if (!e || e->user.compare(fitText(user, width::kUserName), Qt::CaseInsensitive) != 0) {
        return std::nullopt;
    }
    return e;
}

void EntryOperations::forEach(const QString& user, PasswordListModel::Order order,
                              const std::function<bool(const PasswordRecord&)>& visit) {
    constexpr int kPage = 500;
    Table<PasswordRecord> entries(m_store);
    const QString key = PasswordListModel::keyOf(order);
    const KeyRange whole = PasswordListModel::rangeOf(fitText(user, width::kUserName), order, m_clock.today());
    KeyRange r = whole;
    for (;;) {
        r.limit = kPage;
        const std::vector<PasswordRecord> page = entries.read(key, r);
        for (const PasswordRecord& e : page) {
            if (!visit(e)) {
                return;
            }
        }
        if (page.size() < static_cast<size_t>(kPage)) {
            return;
        }
        // On behind the last entry read, along the key.
        r = whole;
        PasswordListModel::startAt(r, order, page.back());
        r.fromExclusive = true;
    }
}

void EntryOperations::search(const QString& user, const QString& text,
                             const std::function<bool(const PasswordRecord&)>& visit) {
    const QString wanted = text.trimmed();
    forEach(user, PasswordListModel::Order::Service, [&](const PasswordRecord& e) {
        for (const QString* field : {&e.service, &e.name, &e.url}) {
            if (field->contains(wanted, Qt::CaseInsensitive)) {
                return visit(e);
            }
        }
        return true;
    });
}

const QStringList& EntryOperations::copyableFields() {
    static const QStringList fields = {"Name", "Password", "URL", "Notes", "More Notes", "Service"};
    return fields;
}

std::optional<QString> EntryOperations::fieldText(const PasswordRecord& entry, const QString& field) {
    const QString f = field.trimmed();
    auto is = [&f](const char* caption) { return f.compare(QLatin1String(caption), Qt::CaseInsensitive) == 0; };
    if (is("Name")) {
        return fitText(entry.name, width::kName);
    }
    if (is("Password")) {
        return fitText(entry.password, width::kPassword);
    }
    if (is("URL")) {
        return fitText(entry.url, width::kUrl);
    }
    if (is("Notes")) {
        return entry.notes;
    }
    if (is("More Notes")) {
        return entry.moreNotes;
    }
    if (is("Service")) {
        return fitText(entry.service, width::kService);
    }
    return std::nullopt;
}

bool EntryOperations::addToDefaults(const QString& sendText) {
    const QString text = fitText(sendText, width::kPaste);
    if (text.isEmpty()) {
        return false;
    }
    Table<ScriptPasteRecord> scripts(m_store);
    if (scripts.fetch(QStringLiteral("SP_:KeyPaste"), {text})) {
        return false;
    }
    ScriptPasteRecord r;
    r.paste = text;
    return static_cast<bool>(scripts.insert(r));
}

} // namespace zendrel
