#include "operations/SyncOperations.h"

#include "data/StoreMessages.h"
#include "entries/Attachment.h"
#include "session/Login.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zendrel {

namespace {

const QString kAddFailed = QStringLiteral("Disk error adding password record.");
const QString kUpdateFailed = QStringLiteral("Disk error updating password record.");

int64_t number(const Row& row, int field) {
    return std::get<int64_t>(row[static_cast<size_t>(field)]);
}

QString text(const Row& row, int field) {
    return std::get<QString>(row[static_cast<size_t>(field)]);
}

// The first field of the record proper, after P_:ID in an entry.
constexpr size_t kEntryFirst = 1;
constexpr size_t kExchangeFirst = 0;

} // namespace

void SyncOperations::copyFields(const Row& from, size_t fromFirst, Row& to, size_t toFirst, size_t count) {
    for (size_t i = 0; i < count && fromFirst + i < from.size() && toFirst + i < to.size(); ++i) {
        to[toFirst + i] = from[fromFirst + i];
    }
}

void SyncOperations::toExchange(const Row& entry, Row& exchange) {
    // The record, then both notes and the attachment, which follow it in both layouts.
    copyFields(entry, kEntryFirst, exchange, kExchangeFirst, kRecordFields + 3);
}

void SyncOperations::toEntry(const Row& exchange, Row& entry) {
    copyFields(exchange, kExchangeFirst, entry, kEntryFirst, kRecordFields + 3);
}

bool SyncOperations::attachmentFits(const QByteArray& bytes) {
    return bytes.size() <= Attachment::kLimit;
}

SyncOperations::Pass::Pass(SyncOperations& ops, const UserRecord& user, const QString& path, bool sending)
    : m_ops(ops), m_user(user), m_path(path), m_sending(sending) {}

SyncOperations::Pass::~Pass() {
    // The write-back's hook lives on the exchange file's connection, which goes with this pass.
    endCheckpoints();
}

const TableDef& SyncOperations::Pass::written() const {
    return m_sending ? tables::syncFile() : tables::passwords();
}

void SyncOperations::Pass::stop(const QString& title, const QString& text) {
    m_ops.m_messages.show(title, text);
    m_stopped = true;
    m_over = true;
}

void SyncOperations::Pass::recordFailed(const QString& file, const WriteResult& r, const QString& what) {
    const QString why = r.errorText.isEmpty() ? r.text : r.errorText;
    m_ops.m_messages.show(QStringLiteral("ERROR"), file + QLatin1Char('\n') + why + QLatin1Char('\n') + what);
}

DataStore* SyncOperations::Pass::batchStore() {
    if (!m_file) {
        return nullptr;
    }
    return m_sending ? m_file.get() : &m_ops.m_store;
}

void SyncOperations::Pass::committed() {
    m_added += std::exchange(m_sliceAdded, 0);
    m_updated += std::exchange(m_sliceUpdated, 0);
}

void SyncOperations::Pass::failed(const QString& errorText, bool atCommit) {
    m_sliceAdded = 0;
    m_sliceUpdated = 0;
    if (atCommit) {
        const QString file = m_sending ? m_path : m_ops.m_store.displayName(written());
        stop(QStringLiteral("ERROR"), file + QLatin1Char('\n') + errorText + QLatin1Char('\n') + kAddFailed);
    } else {
        stop(QStringLiteral("ERROR"), m_path + QLatin1Char('\n') + errorText);
    }
}

void SyncOperations::Pass::finish(bool showSummary) {
    if (m_finished) {
        return;
    }
    m_finished = true;
    m_over = true;
    endCheckpoints();
    // Closing the file writes its log back into it: the file is whole when the pass returns.
    m_file.reset();
    if (!showSummary) {
        return;
    }
    if (m_sending && m_added > 0) {
        m_ops.m_messages.show(QStringLiteral("Done"), summaryLines().first());
    } else if (!m_sending && m_added + m_updated > 0) {
        const QStringList lines = summaryLines();
        m_ops.m_messages.show(QStringLiteral("Done"), lines[0] + QStringLiteral("\n\n") + lines[1]);
    }
}

QStringList SyncOperations::Pass::summaryLines() const {
    if (m_sending) {
        return {QStringLiteral("Records added to the synchonization file:  %1").arg(m_added)};
    }
    return {QStringLiteral("Records added:  %1").arg(m_added), QStringLiteral("Records updated:  %1").arg(m_updated)};
}

// The user's entries in the order of their change dates into the new exchange file, each carrying the
// user's login password in SF_:User.
class SyncOperations::Sending final : public Pass {
public:
    Sending(SyncOperations& ops, const UserRecord& user, const QString& path) : Pass(ops, user, path, true) {
        m_range.prefix = {user.name};
    }

protected:
    void process(int records) override {
        const TableDef& p = tables::passwords();
        const TableDef& x = tables::syncFile();
        static const int key = p.keyIndex(QStringLiteral("P_:KeyDateChanged"));
        static const int date = p.fieldIndex(QStringLiteral("P_:LastChangeDate"));
        static const int time = p.fieldIndex(QStringLiteral("P_:LastChangeTime"));
        static const int service = p.fieldIndex(QStringLiteral("P_:Service"));
        static const int file = x.fieldIndex(QStringLiteral("SF_:EncryptedFile"));
        KeyRange r = m_range;
        r.limit = records;
        const auto rows = m_ops.m_store.read(p, key, r);
        for (const auto& [entry, rowId] : rows) {
            m_range.from = {entry[static_cast<size_t>(date)], entry[static_cast<size_t>(time)],
                            entry[static_cast<size_t>(service)]};
            m_range.fromRowId = rowId;
            m_range.fromExclusive = true;
            ++m_done;
            Row out = m_file->prime(x);
            toExchange(entry, out);
            out[kExchangeFirst] = m_user.password;
            if (!attachmentFits(std::get<QByteArray>(out[static_cast<size_t>(file)]))) {
                recordFailed(m_path,
                             {WriteResult::Refused, {}, QStringLiteral("The file is larger than 65,535 bytes.")},
                             kAddFailed);
                continue;
            }
            DataStore::Quiet quiet;
            int64_t id = 0;
            if (const WriteResult w = m_file->insert(x, out, id)) {
                ++m_sliceAdded;
            } else {
                recordFailed(m_path, w, kAddFailed);
            }
        }
        if (rows.size() < static_cast<size_t>(records)) {
            m_over = true;
        }
    }
};

// The exchange file's records in the order of their services, each added to the user's entries or
// replacing an older one of the same name and service.
class SyncOperations::Receiving final : public Pass {
public:
    Receiving(SyncOperations& ops, const UserRecord& user, const QString& path) : Pass(ops, user, path, false) {}

protected:
    void process(int records) override {
        const TableDef& p = tables::passwords();
        const TableDef& x = tables::syncFile();
        static const int key = x.keyIndex(QStringLiteral("SF_:KeyService"));
        static const int lookup = p.keyIndex(QStringLiteral("P_:KeyName"));
        static const int owner = x.fieldIndex(QStringLiteral("SF_:User"));
        static const int service = x.fieldIndex(QStringLiteral("SF_:Service"));
        static const int name = x.fieldIndex(QStringLiteral("SF_:Name"));
        static const int date = x.fieldIndex(QStringLiteral("SF_:LastChangeDate"));
        static const int time = x.fieldIndex(QStringLiteral("SF_:LastChangeTime"));
        static const int file = x.fieldIndex(QStringLiteral("SF_:EncryptedFile"));
        static const int user = p.fieldIndex(QStringLiteral("P_:User"));
        static const int storedDate = p.fieldIndex(QStringLiteral("P_:LastChangeDate"));
        static const int storedTime = p.fieldIndex(QStringLiteral("P_:LastChangeTime"));
        DataStore& store = m_ops.m_store;
        const QString table = store.displayName(p);
        const QString password = fitText(m_user.password, width::kPassword);
        if (!m_ownerKnown) {
            // The records of one owner are read with the owner held equal, so that each slice seeks to its
            // place in the key instead of walking it from the start; the next owner in key order, if the
            // file holds another at all, comes after.
            KeyRange next;
            next.limit = 1;
            if (m_ownerSeen) {
                next.from = {m_owner};
                next.fromExclusive = true;
            }
            const auto first = m_file->read(x, key, next);
            if (first.empty()) {
                m_over = true;
                return;
            }
            m_owner = first.front().first[static_cast<size_t>(owner)];
            m_ownerKnown = m_ownerSeen = true;
            m_range = KeyRange{};
            m_range.prefix = {m_owner};
        }
        KeyRange r = m_range;
        r.limit = records;
        const auto rows = m_file->read(x, key, r);
        if (rows.size() < static_cast<size_t>(records)) {
            m_ownerKnown = false;
        }
        for (const auto& [in, rowId] : rows) {
            m_range.from = {in[static_cast<size_t>(service)], in[static_cast<size_t>(name)]};
            m_range.fromRowId = rowId;
            m_range.fromExclusive = true;
            ++m_done;
            // Exact characters: a file made under another password, if only in a letter's case, is refused.
            if (fitText(text(in, owner), width::kPassword) != password) {
                stop(QStringLiteral("Password mismatch"),
                     QStringLiteral("The user receiving the synchronization file must have the same password as "
                                    "the user that created the file."));
                return;
            }
            const bool fits = attachmentFits(std::get<QByteArray>(in[static_cast<size_t>(file)]));
            const WriteResult tooLarge{
                WriteResult::Refused, {}, QStringLiteral("The file is larger than 65,535 bytes.")};
            const auto found =
                store.fetch(p, lookup, {m_user.name, in[static_cast<size_t>(name)], in[static_cast<size_t>(service)]});
            DataStore::Quiet quiet;
            if (!found) {
                if (!fits) {
                    recordFailed(table, tooLarge, kAddFailed);
                    continue;
                }
                Row entry = store.prime(p);
                toEntry(in, entry);
                entry[static_cast<size_t>(user)] = m_user.name;
                int64_t id = 0;
                if (const WriteResult w = store.insert(p, entry, id)) {
                    ++m_sliceAdded;
                } else {
                    recordFailed(table, w, kAddFailed);
                }
                continue;
            }
            const Row& stored = found->first;
            const auto storedAt = std::make_pair(number(stored, storedDate), number(stored, storedTime));
            const auto incomingAt = std::make_pair(number(in, date), number(in, time));
            if (!(storedAt < incomingAt)) {
                continue;
            }
            if (!fits) {
                recordFailed(table, tooLarge, kUpdateFailed);
                continue;
            }
            Row entry = stored;
            toEntry(in, entry);
            entry[static_cast<size_t>(user)] = m_user.name;
            if (const WriteResult w = store.change(p, entry, found->second)) {
                ++m_sliceUpdated;
            } else {
                recordFailed(table, w, kUpdateFailed);
            }
        }
    }

private:
    Value m_owner;
    bool m_ownerKnown = false;
    bool m_ownerSeen = false;
};

std::unique_ptr<DataStore> SyncOperations::openExchange(const QString& path, DataStore::Chosen how) {
    const QFileInfo info(path);
    auto refuse = [&](const QString& why) {
        m_messages.show(storeMessages::fileAccessTitle(), storeMessages::cannotOpen(path, why));
        return std::unique_ptr<DataStore>();
    };
    if (path.trimmed().isEmpty()) {
        return refuse(QStringLiteral("File Not Found (2)"));
    }
    // Never opened: closing it again would drop this program's locks on the store's file.
    if (m_store.holdsFile(path)) {
        return refuse(QStringLiteral("It is one of Zendrel's own data files"));
    }
    if (how == DataStore::Chosen::Write) {
        // The old file goes, with what the store keeps beside it; only ordinary files and links are ever removed
        // (a link itself, never what it points to).
        for (const QString& p :
             {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm"), path + QStringLiteral("-journal")}) {
            const QByteArray name = QFile::encodeName(p);
            struct stat st {};
            if (::lstat(name.constData(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) &&
                ::unlink(name.constData()) != 0) {
                return refuse(QStringLiteral("%1 (%2)").arg(QString::fromLocal8Bit(std::strerror(errno))).arg(errno));
            }
        }
    }
    auto file = std::make_unique<DataStore>(
        DataStore::Options{info.absolutePath(), m_store.keys(), &m_messages, [](const QString&) {}, nullptr, 0});
    file->setFileName(tables::syncFile(), info.absoluteFilePath());
    if (const WriteResult r = file->openChosen(tables::syncFile(), how); !r) {
        m_messages.show(r.title, r.text);
        return {};
    }
    return file;
}

bool SyncOperations::CommandLine::complete() const {
    return !user.trimmed().isEmpty() && !password.trimmed().isEmpty() && !file.trimmed().isEmpty();
}

SyncOperations::CommandLine SyncOperations::parseCommandLine(const QStringList& arguments) {
    auto named = [&arguments](const char* name) {
        const QString prefix = QString::fromLatin1(name) + QLatin1Char('=');
        for (const QString& a : arguments) {
            if (a.startsWith(prefix)) {
                return a.mid(prefix.size());
            }
        }
        return QString();
    };
    auto stands = [&arguments](std::initializer_list<const char*> switches) {
        for (const char* s : switches) {
            if (arguments.contains(QString::fromLatin1(s))) {
                return true;
            }
        }
        return false;
    };
    auto position = [&arguments](qsizetype n) { return n <= arguments.size() ? arguments[n - 1] : QString(); };
    auto first = [](std::initializer_list<QString> values) {
        for (const QString& v : values) {
            if (!v.isEmpty()) {
                return v;
            }
        }
        return QString();
    };

    CommandLine line;
    QString sync = first({named("Sync"), named("SYNC")});
    if (sync.isEmpty()) {
        if (stands({"/SyncIn", "/SYNCIN", "/Syncin"})) {
            sync = QStringLiteral("I");
        }
        if (stands({"/SyncOut", "/Syncout", "/SYNCOUT"})) {
            sync = QStringLiteral("O");
        }
    }
    if (!sync.isEmpty()) {
        line.direction = sync.front();
    }
    line.user = first({named("User"), named("Name"), named("NAME"), position(2)});
    line.password = first({named("Password"), named("PASSWORD"), position(3)});
    line.file = first({named("File"), position(4), named("FILE")});
    return line;
}

std::optional<UserRecord> SyncOperations::commandLineUser(const CommandLine& line) {
    Login login(m_store);
    std::optional<UserRecord> user = line.complete() ? login.findUser(line.user) : std::nullopt;
    if (!user) {
        m_messages.show(QStringLiteral("Synchonization cancelled"),
                        QStringLiteral("Synchonization parameters incorrect.  Check command line."));
        return std::nullopt;
    }
    if (Login::requiresPassword(*user) && Login::confirm(*user, line.password, m_messages) != Login::Check::Accepted) {
        return std::nullopt;
    }
    return user;
}

std::unique_ptr<SyncOperations::Pass> SyncOperations::send(const UserRecord& user, const QString& path) {
    auto file = openExchange(path, DataStore::Chosen::Write);
    if (!file) {
        return {};
    }
    auto pass = std::make_unique<Sending>(*this, user, path);
    pass->m_file = std::move(file);
    pass->m_total = m_store.count(tables::passwords());
    return pass;
}

std::unique_ptr<SyncOperations::Pass> SyncOperations::receive(const UserRecord& user, const QString& path) {
    auto file = openExchange(path, DataStore::Chosen::Read);
    if (!file) {
        return {};
    }
    auto pass = std::make_unique<Receiving>(*this, user, path);
    pass->m_total = file->count(tables::syncFile());
    pass->m_file = std::move(file);
    return pass;
}

} // namespace zendrel
