#include "operations/ConversionOperations.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zendrel {

namespace {

// A field of the new table and the old field it comes from.
struct FieldMap {
    int to;
    int from;
};

std::vector<FieldMap> fieldMap(const TableDef& to, const TableDef& from,
                               std::initializer_list<std::pair<const char*, const char*>> names) {
    std::vector<FieldMap> out;
    for (const auto& [t, f] : names) {
        out.push_back({to.fieldIndex(QString::fromLatin1(t)), from.fieldIndex(QString::fromLatin1(f))});
    }
    return out;
}

const std::vector<FieldMap>& userFields() {
    static const std::vector<FieldMap> map = fieldMap(tables::users(), tables::previousUsers(),
                                                      {{"U_:Name", "U_002:Name"},
                                                       {"U_:Password", "U_002:Password"},
                                                       {"U_:ConfirmPassword", "U_002:ConfirmPassword"},
                                                       {"U_:LastDateChanged", "U_002:LastDateChanged"},
                                                       {"U_:LastTimeChanged", "U_002:LastTimeChanged"},
                                                       {"U_:Notes", "U_002:Notes"}});
    return map;
}

const std::vector<FieldMap>& entryFields() {
    static const std::vector<FieldMap> map = fieldMap(tables::passwords(), tables::previousPasswords(),
                                                      {{"P_:User", "P_002:User"},
                                                       {"P_:Service", "P_002:Service"},
                                                       {"P_:URL", "P_002:URL"},
                                                       {"P_:Name", "P_002:Name"},
                                                       {"P_:Password", "P_002:Password"},
                                                       {"P_:ConfirmPassword", "P_002:ConfirmPassword"},
                                                       {"P_:Notes", "P_002:Notes"},
                                                       {"P_:MoreNotes", "P_002:MoreNotes"},
                                                       {"P_:LastChangeDate", "P_002:LastChangeDate"},
                                                       {"P_:LastChangeTime", "P_002:LastChangeTime"},
                                                       {"P_:Monitor", "P_002:Monitor"},
                                                       {"P_:SecondsToWait", "P_002:SecondsToWait"},
                                                       {"P_:WindowTitleToLocate", "P_002:WindowTitleToLocate"},
                                                       {"P_:DoNotRepeatSeconds", "P_002:DoNotRepeatSeconds"},
                                                       {"P_:Paste", "P_002:Paste"}});
    return map;
}

// A value of the old table as a field of the new one holds it: text cut to the field's width, numbers within
// the field's type. A value too large for a byte stays too large, so that its range check refuses it.
Value fitted(const FieldDef& field, const Value& v) {
    if (const auto* s = std::get_if<QString>(&v)) {
        return fitText(*s, field.width);
    }
    if (const auto* n = std::get_if<int64_t>(&v)) {
        const int64_t high = field.type == FieldType::Byte ? 255 : INT32_MAX;
        const int64_t low = field.type == FieldType::Byte ? 0 : INT32_MIN;
        return std::clamp(*n, low, high);
    }
    return v;
}

} // namespace

ConversionOperations::Pass::Pass(ConversionOperations& ops, Source source) : m_ops(ops), m_source(source) {}

ConversionOperations::Pass::~Pass() {
    finish();
}

const TableDef& ConversionOperations::Pass::source() const {
    return m_source == Source::Users ? tables::previousUsers() : tables::previousPasswords();
}

const TableDef& ConversionOperations::Pass::written() const {
    return m_source == Source::Users ? tables::users() : tables::passwords();
}

QString ConversionOperations::Pass::fileWords() const {
    return m_source == Source::Users ? QStringLiteral("Previous Version Users File")
                                     : QStringLiteral("Previous Version Passwords File");
}

QString ConversionOperations::Pass::tableWords() const {
    return m_source == Source::Users ? QStringLiteral("Users") : QStringLiteral("Passwords");
}

DataStore* ConversionOperations::Pass::batchStore() {
    return m_old ? &m_ops.m_store : nullptr;
}

bool ConversionOperations::Pass::open() {
    m_old = std::make_unique<DataStore>(DataStore::Options{m_ops.m_store.directory(), m_ops.m_store.keys(),
                                                           &m_ops.m_messages, [](const QString&) {}, nullptr, 0});
    QString error;
    DataStore::Found found = m_old->openExisting(source(), &error);
    if (found == DataStore::Found::Opened) {
        try {
            m_total = m_old->count(source());
            m_found = true;
            return true;
        } catch (const StoreError& e) {
            found = DataStore::Found::Failed;
            error = e.errorText();
        }
    }
    // A file left without tables by a conversion that ended just before removing it goes now.
    const QString path = m_old->path(source());
    const bool leftOver =
        found == DataStore::Found::Missing && QFileInfo(path).isFile() && m_old->tablesInFile(source()).isEmpty();
    m_old.reset();
    m_over = true;
    if (leftOver) {
        removeFileWhenEmpty(path);
    }
    if (found == DataStore::Found::Failed) {
        m_stopped = true;
        m_ops.m_messages.show(QStringLiteral("ERROR"),
                              QStringLiteral("Error opening file|") + error + QLatin1Char('|') + fileWords());
    }
    return false;
}

Row ConversionOperations::Pass::mapped(const Row& old) const {
    // A cleared record buffer, notes included: every field that is not carried over stays blank or zero.
    Row row = m_source == Source::Users ? toRow(UserRecord{}) : toRow(PasswordRecord{});
    const TableDef& to = written();
    for (const FieldMap& f : m_source == Source::Users ? userFields() : entryFields()) {
        row[static_cast<size_t>(f.to)] = fitted(to.fields[static_cast<size_t>(f.to)], old[static_cast<size_t>(f.from)]);
    }
    return row;
}

bool ConversionOperations::Pass::uniquelyKeyed(const Row& record) const {
    const TableDef& to = written();
    for (const KeyDef& k : to.keys) {
        if (!k.unique() || sql::isRowIdKey(to, k)) {
            continue;
        }
        for (const int f : k.fields) {
            const Value& v = record[static_cast<size_t>(f)];
            if (const auto* text = std::get_if<QString>(&v); text && !text->isEmpty()) {
                return true;
            }
            if (const auto* n = std::get_if<int64_t>(&v); n && *n != 0) {
                return true;
            }
        }
    }
    return false;
}

bool ConversionOperations::Pass::alreadyConverted(const Row& record) {
    // A copy left by a conversion that ended between storing the copy and deleting the old record: same
    // owner, service and name (or user name), and every carried field equal.
    const TableDef& to = written();
    const auto& fields = m_source == Source::Users ? userFields() : entryFields();
    auto equal = [&fields, &record](const Row& stored) {
        return std::all_of(fields.begin(), fields.end(), [&](const FieldMap& f) {
            return stored[static_cast<size_t>(f.to)] == record[static_cast<size_t>(f.to)];
        });
    };
    if (m_source == Source::Users) {
        static const int name = to.fieldIndex(QStringLiteral("U_:Name"));
        static const int key = to.keyIndex(QStringLiteral("U_:KeyName"));
        const Value& n = record[static_cast<size_t>(name)];
        if (std::get<QString>(n).isEmpty()) {
            return false;
        }
        const auto stored = m_ops.m_store.fetch(to, key, {n});
        return stored && equal(stored->first);
    }
    // The address key holds every entry, blank ones too, so an entry without service or name is found as well.
    static const int key = to.keyIndex(QStringLiteral("P_:KeyURL"));
    static const int user = to.fieldIndex(QStringLiteral("P_:User"));
    static const int url = to.fieldIndex(QStringLiteral("P_:URL"));
    static const int name = to.fieldIndex(QStringLiteral("P_:Name"));
    KeyRange same;
    same.prefix = {record[static_cast<size_t>(user)], record[static_cast<size_t>(url)],
                   record[static_cast<size_t>(name)]};
    const auto stored = m_ops.m_store.read(to, key, same);
    return std::any_of(stored.begin(), stored.end(), [&equal](const auto& s) { return equal(s.first); });
}

void ConversionOperations::Pass::process(int records) {
    const auto rows = m_old->readPhysical(source(), m_after, records);
    for (const auto& [old, position] : rows) {
        m_after = position;
        Row record = mapped(old);
        // A copy already converted is found by the key that refuses the insert; a record that no unique key
        // holds (all its components blank) is looked for first.
        if (!uniquelyKeyed(record) && alreadyConverted(record)) {
            m_copied.push_back(position);
            continue;
        }
        DataStore::Quiet quiet;
        int64_t id = 0;
        const WriteResult w = m_ops.m_store.insert(written(), record, id);
        if (!w && w.kind == WriteResult::Duplicate && alreadyConverted(record)) {
            m_copied.push_back(position);
            continue;
        }
        if (!w) {
            // Asked about once the copies before it have committed, so that no question holds the tables.
            m_refused = w;
            return;
        }
        m_copied.push_back(position);
        ++m_sliceConverted;
    }
    if (rows.size() < static_cast<size_t>(records)) {
        m_over = true;
    }
}

void ConversionOperations::Pass::committed() {
    m_done += static_cast<int64_t>(m_copied.size());
    m_converted += std::exchange(m_sliceConverted, 0);
    if (!m_copied.empty()) {
        // Only now that their copies have committed are the old records deleted, in one transaction.
        QString error;
        try {
            DataStore::Quiet quiet;
            if (const WriteResult r = m_old->removeMany(source(), m_copied); !r) {
                error = r.errorText.isEmpty() ? r.text : r.errorText;
            }
        } catch (const StoreError& e) {
            error = e.errorText();
        } catch (const ProgramEnded& e) {
            error = e.reason();
        }
        m_copied.clear();
        if (!error.isEmpty()) {
            // The copies stand and the old records beside them, until a later conversion finds them converted.
            m_ops.m_messages.show(QStringLiteral("ERROR"),
                                  QStringLiteral("Error deleting record|") + error + QLatin1Char('|') + fileWords());
            m_refused.reset();
            m_stopped = true;
            m_over = true;
            return;
        }
    }
    if (m_refused) {
        const WriteResult r = *std::exchange(m_refused, std::nullopt);
        // The duplicate-key text names the key; the store's own words for it say less.
        const QString why = r.kind == WriteResult::Duplicate || r.errorText.isEmpty() ? r.text : r.errorText;
        const Answer a = m_ops.m_messages.show(Message{
            QStringLiteral("ERROR"), QStringLiteral("Error adding record|") + why + QLatin1Char('|') + tableWords(),
            Buttons::YesNo, Answer::Yes, false, MessageKind::Question});
        if (a == Answer::Yes) {
            // The refused record stays in the old table, which therefore stays too.
            ++m_done;
        } else {
            m_over = true;
        }
    }
}

void ConversionOperations::Pass::failed(const QString& errorText, bool atCommit) {
    // Nothing of the slice was kept in the new table, so nothing of it is deleted from the old one.
    m_copied.clear();
    m_sliceConverted = 0;
    m_refused.reset();
    const QString text = atCommit ? QStringLiteral("Error adding record|") + errorText + QLatin1Char('|') + tableWords()
                                  : QStringLiteral("Error reading file|") + errorText + QLatin1Char('|') + fileWords();
    m_ops.m_messages.show(QStringLiteral("ERROR"), text);
}

void ConversionOperations::Pass::finish() {
    if (m_finished) {
        return;
    }
    m_finished = true;
    m_over = true;
    endCheckpoints();
    if (!m_old) {
        return;
    }
    const QString path = m_old->path(source());
    bool fileEmpty = false;
    try {
        m_left = m_old->count(source());
        if (m_left == 0) {
            const QString error = m_old->dropTable(source());
            if (!error.isEmpty()) {
                m_ops.m_messages.show(QStringLiteral("ERROR"),
                                      QStringLiteral("Error removing table|") + error + QLatin1Char('|') + fileWords());
            } else {
                fileEmpty = m_old->tablesInFile(source()).isEmpty();
            }
        }
    } catch (const StoreError& e) {
        m_ops.m_messages.show(QStringLiteral("ERROR"),
                              QStringLiteral("Error reading file|") + e.errorText() + QLatin1Char('|') + fileWords());
    } catch (const ProgramEnded&) {
    }
    // Closing writes the file's log back into it, so that nothing of it is left beside the file.
    m_old.reset();
    if (fileEmpty) {
        removeFileWhenEmpty(path);
    }
}

void ConversionOperations::Pass::removeFileWhenEmpty(const QString& path) {
    for (const QString& p :
         {path + QStringLiteral("-wal"), path + QStringLiteral("-shm"), path + QStringLiteral("-journal"), path}) {
        const QByteArray name = QFile::encodeName(p);
        struct stat st {};
        if (::lstat(name.constData(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) &&
            ::unlink(name.constData()) != 0) {
            m_ops.m_messages.show(QStringLiteral("ERROR"), QStringLiteral("Error removing file|%1 (%2)|")
                                                                   .arg(QString::fromLocal8Bit(std::strerror(errno)))
                                                                   .arg(errno) +
                                                               fileWords());
            return;
        }
    }
}

int ConversionOperations::Pass::percent() const {
    return m_total > 0 ? static_cast<int>(std::min<int64_t>(m_done, m_total) * 100 / m_total) : 0;
}

QString ConversionOperations::Pass::countLine() const {
    return QStringLiteral("%1 out of %2 Processed").arg(m_done).arg(m_total);
}

QStringList ConversionOperations::Pass::summaryLines() const {
    const QString what = m_source == Source::Users ? QStringLiteral("Users") : QStringLiteral("Entries");
    return {QStringLiteral("%1 converted:  %2").arg(what).arg(m_converted),
            QStringLiteral("%1 left in the previous version's file:  %2").arg(what).arg(m_left)};
}

QStringList ConversionOperations::convertAll() {
    QStringList lines;
    for (const Source s : {Source::Users, Source::Entries}) {
        auto p = pass(s);
        if (p->open()) {
            while (p->slice()) {
            }
        }
        p->finish();
        if (p->found()) {
            lines << p->summaryLines();
        }
    }
    return lines;
}

} // namespace zendrel
