#include "operations/TipOperations.h"

namespace zendrel {

namespace {

int tipKey() {
    static const int key = tables::tips().keyIndex(QStringLiteral("TIP:KeyTipID"));
    return key;
}

} // namespace

bool TipOperations::open() {
    const TableDef& t = tables::tips();
    const WriteResult r = m_store.openChosen(t, DataStore::Chosen::Write);
    m_available = static_cast<bool>(r);
    if (!m_available) {
        m_messages.show(r.title, r.text);
        return false;
    }
    if (m_store.takeCreated(t)) {
        std::vector<Row> rows;
        for (const QString& text : ownTips()) {
            TipRecord tip;
            tip.tipDesc = text;
            rows.push_back(toRow(tip));
        }
        // Without them the table is merely empty, as a user may leave it; the store has said why.
        m_store.insertMany(t, rows);
    }
    return true;
}

void TipOperations::readFailed(const StoreError& e) {
    m_messages.show(QStringLiteral("File Error"),
                    QStringLiteral("Error: (%1) reading %2.").arg(e.errorText(), m_store.displayName(tables::tips())));
}

std::optional<TipRecord> TipOperations::one(const KeyRange& range) {
    if (!m_available) {
        return std::nullopt;
    }
    try {
        const auto rows = m_store.read(tables::tips(), tipKey(), range);
        if (rows.empty()) {
            return std::nullopt;
        }
        return fromRow<TipRecord>(rows.front().first, rows.front().second);
    } catch (const StoreError& e) {
        readFailed(e);
        return std::nullopt;
    }
}

std::optional<TipRecord> TipOperations::first() {
    KeyRange r;
    r.limit = 1;
    return one(r);
}

std::optional<TipRecord> TipOperations::last() {
    KeyRange r;
    r.backward = true;
    r.limit = 1;
    return one(r);
}

std::optional<TipRecord> TipOperations::after(int64_t tipId) {
    KeyRange r;
    r.from = {tipId};
    r.fromExclusive = true;
    r.limit = 1;
    return one(r);
}

std::optional<TipRecord> TipOperations::before(int64_t tipId) {
    KeyRange r;
    r.from = {tipId};
    r.fromExclusive = true;
    r.backward = true;
    r.limit = 1;
    return one(r);
}

std::vector<TipRecord> TipOperations::all() {
    std::vector<TipRecord> out;
    if (!m_available) {
        return out;
    }
    try {
        for (const auto& [row, rowId] : m_store.read(tables::tips(), tipKey(), KeyRange{})) {
            out.push_back(fromRow<TipRecord>(row, rowId));
        }
    } catch (const StoreError& e) {
        readFailed(e);
    }
    return out;
}

TipRecord TipOperations::prime() {
    return m_available ? fromRow<TipRecord>(m_store.prime(tables::tips()), 0) : TipRecord{};
}

bool TipOperations::save(TipRecord& tip, bool inserting) {
    if (!m_available) {
        return false;
    }
    Table<TipRecord> tips(m_store);
    return static_cast<bool>(inserting ? tips.insert(tip) : tips.change(tip));
}

bool TipOperations::remove(const TipRecord& tip) {
    if (!m_available || !confirmDelete(m_messages)) {
        return false;
    }
    return static_cast<bool>(Table<TipRecord>(m_store).remove(tip));
}

QString TipOperations::listed(const TipRecord& tip) {
    QString text = tip.tipDesc.left(kListed);
    for (QChar& c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t')) {
            c = QLatin1Char(' ');
        }
    }
    return text;
}

const QStringList& TipOperations::ownTips() {
    static const QStringList tips = {
        QStringLiteral("An entry marked for monitoring is typed automatically whenever a window with its title "
                       "appears. Tick Monitor on the page Settings for Send and give the entry a window title. "
                       "While the monitor is on and the user's list is open, Zendrel types the entry whenever a "
                       "window with that title appears."),
        QStringLiteral("The monitor button on the toolbar switches monitoring on or off. Turning it off forgets "
                       "all waiting entries; turning it on again loads the monitored entries of all open lists "
                       "afresh. The * marker on the toolbar shows that the monitor is on and entries are waiting."),
        QStringLiteral("Each monitored entry has a repeat interval in seconds. With 0 the entry is typed once, the "
                       "first time its window shows up. With a number N above 0, it is typed again into a matching "
                       "window no sooner than N seconds after the previous time."),
        QStringLiteral("zdmon, the monitor, is a small program that lives as an icon in the desktop's notification "
                       "area and types one chosen user's monitored entries. It can only be used after the main "
                       "program has run at least once on the same data."),
        QStringLiteral("A send text mixes literal text with tokens in square brackets, such as "
                       "[Name][Tab][Password][Enter]. The tokens [Password], [Name], [URL], [Service], [Notes] and "
                       "[MoreNotes] are replaced by the entry's fields. Tokens are not case-sensitive."),
        QStringLiteral("Write a key name in brackets to press that key, for example [Tab] or [F5]. [+Tab] presses "
                       "Shift+Tab, [^c] presses Ctrl+C and [%F4] presses Alt+F4. List All Keys on the entry form "
                       "shows every key name."),
        QStringLiteral("[WAIT=n] waits n hundredths of a second and types nothing: [WAIT=200] waits two seconds. "
                       "If a program misses keystrokes, raise the send interval or lower the group size."),
        QStringLiteral("The window title decides where the text goes: an exact title matches regardless of letter "
                       "case; *text matches any title containing the text; text* matches titles beginning with it; "
                       "a blank title types into whatever window has the focus when the wait is over."),
        QStringLiteral("Filter Clipboard Contents in the Edit menu tidies text you have copied, for example an "
                       "account number copied from a web page: it removes line breaks, tabs and other control "
                       "characters, and shrinks runs of spaces to a single space."),
        QStringLiteral("When the setting \"Clear clipboard contents after how many seconds:\" is above 0, Zendrel "
                       "empties the clipboard that many seconds after its text last changed. Passwords copied by "
                       "Zendrel are kept out of clipboard managers' history."),
        QStringLiteral("Synchronize in the File menu securely synchronizes two Zendrel databases through an "
                       "encrypted file, for users who wish to keep a copy of their passwords both at home and at "
                       "work. The user receiving the file must have the same password as the user that created it."),
        QStringLiteral("zendrel-cli, the command-line companion, lists and adds users and entries, changes "
                       "settings, sends an entry and monitors windows from a terminal. zendrel-cli --help lists "
                       "the commands."),
    };
    return tips;
}

void TipReader::start() {
    m_tip = m_tips.first();
    if (!m_tip) {
        m_tip = m_tips.first();
    }
    m_atStart = true;
    m_atEnd = !m_tip;
}

void TipReader::next() {
    if (m_atEnd) {
        return;
    }
    if (m_atStart) {
        if (auto t = m_tips.first()) {
            m_tip = t;
        }
    }
    auto t = m_tip ? m_tips.after(m_tip->tipId) : std::nullopt;
    if (!t) {
        m_atEnd = true;
        return;
    }
    m_tip = t;
    m_atStart = false;
}

void TipReader::previous() {
    if (m_atStart) {
        return;
    }
    if (m_atEnd) {
        if (auto t = m_tips.last()) {
            m_tip = t;
        }
    }
    auto t = m_tip ? m_tips.before(m_tip->tipId) : std::nullopt;
    if (!t) {
        m_atStart = true;
        return;
    }
    m_tip = t;
    m_atEnd = false;
}

} // namespace zendrel
