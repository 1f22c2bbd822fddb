#define SQLITE_HAS_CODEC 1
#include "data/DataStore.h"

#include "data/StoreFiles.h"
#include "data/StoreMessages.h"

#include "base/Files.h"
#include "base/Secrets.h"

#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zendrel {

using namespace sql;


namespace {

thread_local int quietDepth = 0;

} // namespace

DataStore::Quiet::Quiet() {
    ++quietDepth;
}

DataStore::Quiet::~Quiet() {
    --quietDepth;
}

DataStore::DataStore(Options options) : m_options(std::move(options)) {
    if (!m_options.terminate) {
        m_options.terminate = [](const QString&) { std::exit(1); };
    }
}

DataStore::~DataStore() {
    std::lock_guard lock(m_mutex);
    closeFiles();
}

void DataStore::closeFiles() {
    for (auto& [name, f] : m_files) {
        if (f->conn && !f->readOnly && !f->checkPending && !f->conn->sawDamage() && f->lockFd >= 0 &&
            flock(f->lockFd, LOCK_EX | LOCK_NB) == 0) {
            // The last program to leave marks the file as closed cleanly, unless a page of it failed its check
            // or the check that an abnormal end calls for has not passed yet: then the next program checks it.
            try {
                f->conn->clearCache();
                f->conn->exec("UPDATE zendrel_state SET value = 0 WHERE name = 'open'");
            } catch (...) {
            }
        }
        f->conn.reset();
        if (f->lockFd >= 0) {
            ::close(f->lockFd);
        }
    }
    m_files.clear();
    for (auto& [def, ts] : m_tables) {
        ts->open = false;
    }
}

void DataStore::endProgram(const QString& title, const QString& text) {
    std::lock_guard lock(m_mutex);
    closeFiles();
    fatal(title, text, title);
}

void DataStore::withFilesClosed(const std::function<std::optional<OwnerKeys>()>& work) {
    std::lock_guard lock(m_mutex);
    closeFiles();
    if (std::optional<OwnerKeys> keys = work()) {
        m_options.keys = std::move(*keys);
    }
}

void DataStore::setFileName(const TableDef& t, const QString& fileName) {
    std::lock_guard lock(m_mutex);
    m_fileNames[&t] = fileName;
    auto it = m_tables.find(&t);
    if (it != m_tables.end()) {
        it->second->open = false;
        it->second->file = nullptr;
    }
}

QString DataStore::displayName(const TableDef& t) const {
    std::lock_guard lock(m_mutex);
    auto it = m_fileNames.find(&t);
    return it != m_fileNames.end() ? it->second : t.displayName();
}

QString DataStore::path(const TableDef& t) const {
    std::lock_guard lock(m_mutex);
    auto it = m_fileNames.find(&t);
    const QString name = it != m_fileNames.end() ? it->second : t.fileName;
    return QDir(m_options.directory).filePath(name);
}

DataStore::TableState& DataStore::state(const TableDef& t) {
    auto& s = m_tables[&t];
    if (!s) {
        s = std::make_unique<TableState>();
        s->def = &t;
    }
    return *s;
}

DataStore::File& DataStore::fileOf(const TableDef& t) {
    const QString p = path(t);
    auto& f = m_files[p];
    if (!f) {
        f = std::make_unique<File>();
        f->name = QFileInfo(p).fileName();
        f->path = p;
        f->owner = t.owner;
    }
    return *f;
}

void DataStore::open(const TableDef& t) {
    std::lock_guard lock(m_mutex);
    ++state(t).useCount;
}

void DataStore::close(const TableDef& t) {
    std::lock_guard lock(m_mutex);
    auto& s = state(t);
    if (s.useCount > 0) {
        --s.useCount;
    }
}

bool DataStore::isReadOnly(const TableDef& t) {
    std::lock_guard lock(m_mutex);
    File& f = ensureOpen(t);
    return f.readOnly || state(t).mode == Connection::Mode::ReadOnly;
}

void DataStore::report(const WriteResult& r) {
    if (quietDepth == 0) {
        m_options.messages->show(r.title, r.text);
    }
}

void DataStore::notice(const QString& title, const QString& text) {
    m_options.messages->show(title, text);
}

void DataStore::fatal(const QString& title, const QString& text, const QString& reason) {
    m_options.messages->show(Message{title, text, Buttons::Ok, Answer::Ok, false, MessageKind::Fatal});
    m_options.terminate(reason);
    throw ProgramEnded(reason);
}

void DataStore::makePrivate(File& f, bool quietly) {
    // Tables are the owner's alone, however the file came here (a copy from a backup, a touch): the file and
    // its log are made private before they are written. chmod opens nothing, so no lock is disturbed.
    bool loosened = false;
    for (const QString& p : {f.path, f.path + QStringLiteral("-wal"), f.path + QStringLiteral("-shm")}) {
        struct stat st {};
        const QByteArray name = QFile::encodeName(p);
        if (::stat(name.constData(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0 &&
            ::chmod(name.constData(), st.st_mode & 0700) == 0) {
            loosened = true;
        }
    }
    if (loosened && !quietly) {
        notice(QStringLiteral("File Permissions"),
               QStringLiteral("%1 could be read by other users; it is now readable by you alone.").arg(f.name));
    }
}

DataStore::Outcome DataStore::tryOpen(TableState& ts) {
    const TableDef& t = *ts.def;
    File& f = fileOf(t);
    if (!QFileInfo::exists(f.path)) {
        f.conn.reset();
        return {Condition::NotFound, errorText(2, QStringLiteral("File Not Found"))};
    }
    if (!isRegularFile(f.path)) {
        // A device, a FIFO or a directory in the data file's place (a link to /dev/null, say) is never opened:
        // the store would write its journal beside it, or wait on it for ever.
        f.conn.reset();
        return {Condition::InvalidFile, errorText(kNotRegularFile, QStringLiteral("Not a regular file"))};
    }
    const bool wantWrite = ts.mode == Connection::Mode::ReadWrite;
    if (f.conn && wantWrite && f.readOnly) {
        return {Condition::AccessDenied, errorText(5, QStringLiteral("Access Denied"))};
    }
    const QByteArray p = QFile::encodeName(f.path);
    if (!f.conn) {
        const QByteArray dir = QFile::encodeName(QFileInfo(f.path).absolutePath());
        // The write-ahead log lives beside the file, so writing needs the directory too.
        if (wantWrite && (::access(p.constData(), W_OK) != 0 || ::access(dir.constData(), W_OK) != 0)) {
            return {Condition::AccessDenied, errorText(5, QStringLiteral("Access Denied"))};
        }
        Wiped<QByteArray> key;
        switch (f.owner) {
        case OwnerPassword::None:
            break;
        case OwnerPassword::RuntimeKey:
            *key = m_options.keys.passphraseKey.isEmpty() ? deriveRawKey(m_options.keys.runtimeKey)
                                                          : m_options.keys.passphraseKey;
            break;
        case OwnerPassword::ExchangeKey:
            *key = deriveRawKey(m_options.keys.runtimeKey);
            break;
        case OwnerPassword::WordPassword:
            *key = deriveRawKey(m_options.keys.wordPassword);
            break;
        case OwnerPassword::PreviousVersion:
            *key = deriveRawKey(m_options.keys.previousVersionPassword);
            break;
        }
        try {
            f.conn = std::make_unique<Connection>(f.path, ts.mode, *key);
            if (m_options.cacheKiB > 0) {
                f.conn->exec(QStringLiteral("PRAGMA cache_size = -%1").arg(m_options.cacheKiB));
            }
            f.readOnly = !wantWrite;
            f.prepared = false;
        } catch (const StoreError& e) {
            f.conn.reset();
            return classify(e, wantWrite);
        }
    }

    try {
        // The table inside the file, checked before anything is written to a file that may not be ours.
        Statement& s = f.conn->prepare("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?");
        s.bind(1, t.tableName);
        s.step();
        const bool exists = s.integer(0) != 0;
        s.reset();
        if (exists) {
            QStringList columns;
            Statement& info = f.conn->prepare(QStringLiteral("PRAGMA table_info(") + quoted(t.tableName) + ')');
            while (info.step()) {
                columns << info.text(1);
            }
            QStringList expected;
            for (const auto& fd : t.fields) {
                expected << fd.column;
            }
            if (columns != expected) {
                f.conn.reset();
                return {Condition::InvalidFile,
                        errorText(kLayoutMismatch, QStringLiteral("Invalid Record Declaration"))};
            }
        }
        if (!f.prepared) {
            if (Outcome o = prepareFile(f); o.condition != Condition::Opened) {
                return o;
            }
        }
        if (!exists) {
            return {Condition::NotFound, errorText(2, QStringLiteral("File Not Found"))};
        }
        for (const auto& k : t.keys) {
            if (isRowIdKey(t, k) || !ts.checkKeys) {
                continue;
            }
            Statement& ix = f.conn->prepare("SELECT sql FROM sqlite_master WHERE type = 'index' AND name = ?");
            ix.bind(1, indexName(t, k));
            const bool same = ix.step() && ix.text(0) == createIndex(t, k);
            ix.reset();
            if (!same) {
                return {Condition::KeysInvalid, errorText(kKeysInvalid, QStringLiteral("Key file must be rebuilt"))};
            }
        }
    } catch (const StoreError& e) {
        const Outcome o = classify(e, wantWrite);
        if (o.condition == Condition::InvalidFile) {
            f.conn.reset();
        }
        return o;
    }
    if (wantWrite && !f.readOnly && !f.madePrivate) {
        f.madePrivate = true;
        makePrivate(f);
    }
    ts.open = true;
    return {Condition::Opened, {}};
}

bool DataStore::holdsFile(const QString& path) const {
    struct stat target {};
    if (::stat(QFile::encodeName(path).constData(), &target) != 0) {
        return false;
    }
    const QDir dir(m_options.directory);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        struct stat st {};
        if (isStoreFileName(name) && ::stat(QFile::encodeName(dir.filePath(name)).constData(), &st) == 0 &&
            st.st_dev == target.st_dev && st.st_ino == target.st_ino) {
            return true;
        }
    }
    return false;
}

namespace {

const std::vector<const TableDef*>& allTables() {
    static const std::vector<const TableDef*> all = {
        &tables::users(), &tables::passwords(), &tables::configuration(), &tables::levels(),
        &tables::tips(),  &tables::words(),     &tables::scriptPaste(),   &tables::syncFile(),
        &tables::previousUsers(), &tables::previousPasswords()};
    return all;
}

} // namespace

QStringList DataStore::keyedFileNames() {
    QStringList names;
    for (const TableDef* t : allTables()) {
        if (t->owner == OwnerPassword::RuntimeKey && !names.contains(t->fileName)) {
            names << t->fileName;
        }
    }
    return names;
}

bool DataStore::isStoreFileName(const QString& name) {
    for (const TableDef* t : allTables()) {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
            if (name.compare(t->fileName + QLatin1String(suffix), Qt::CaseInsensitive) == 0) {
                return true;
            }
        }
    }
    return false;
}

DataStore::Outcome DataStore::classify(const StoreError& e, bool wantWrite) {
    switch (e.primaryCode()) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_FORMAT:
        return {Condition::InvalidFile, e.errorText()};
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return {Condition::Locked, e.errorText()};
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_AUTH:
    case SQLITE_FULL:
    case SQLITE_IOERR:
        // A full disk, like a read-only one, still lets the tables be read: read only, after the notice.
        return {wantWrite ? Condition::AccessDenied : Condition::Other, e.errorText()};
    default:
        return {Condition::Other, e.errorText()};
    }
}

namespace {

// Problems that rebuilding the keys mends; anything else means a damaged file.
bool onlyKeyProblems(const QStringList& problems) {
    return std::all_of(problems.begin(), problems.end(), [](const QString& line) {
        return line.contains(QLatin1String("index"), Qt::CaseInsensitive);
    });
}

QStringList integrityProblems(Connection& c) {
    QStringList problems;
    Statement& s = c.prepare("PRAGMA integrity_check");
    while (s.step()) {
        // A report may come as one text of many lines, headed by the name of the database.
        for (const QString& line : s.text(0).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (line != QLatin1String("ok") && !line.startsWith(QLatin1String("***"))) {
                problems << line.trimmed();
            }
        }
    }
    return problems;
}

bool isDamage(const StoreError& e) {
    return e.primaryCode() == SQLITE_CORRUPT || e.primaryCode() == SQLITE_NOTADB;
}


} // namespace

DataStore::Outcome DataStore::prepareFile(File& f) {
    const QByteArray p = QFile::encodeName(f.path);
    if (!f.readOnly) {
        // Changing the journal mode does not wait for other programs opening the file at the same moment;
        // retry for the recovery time instead.
        for (int tries = 0;; ++tries) {
            try {
                Statement& mode = f.conn->prepare("PRAGMA journal_mode");
                const bool wal = mode.step() && mode.text(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
                mode.reset();
                if (!wal) {
                    f.conn->exec("PRAGMA journal_mode = WAL");
                }
                break;
            } catch (const StoreError& e) {
                if (e.primaryCode() != SQLITE_BUSY || tries >= 1000) {
                    throw;
                }
                usleep(10'000);
            }
        }
        f.conn->exec("PRAGMA synchronous = NORMAL");
        f.conn->exec("CREATE TABLE IF NOT EXISTS zendrel_state (name TEXT PRIMARY KEY, value INTEGER)");
    }
    // Each program holds a shared lock on the file while it has it open; one that gets the lock
    // exclusively is alone and may judge how the previous program left the file.
    bool alone = false;
    if (f.lockFd < 0) {
        f.lockFd = ::open(p.constData(), O_RDONLY | O_CLOEXEC);
        alone = f.lockFd >= 0 && flock(f.lockFd, LOCK_EX | LOCK_NB) == 0;
        if (f.lockFd >= 0 && !alone) {
            flock(f.lockFd, LOCK_SH);
        }
    }
    if (alone && !f.checked) {
        QStringList problems;
        try {
            Statement& s = f.conn->prepare("SELECT value FROM zendrel_state WHERE name = 'open'");
            f.checkPending = s.step() && s.integer(0) != 0;
            s.reset();
            if (f.checkPending) {
                // A file left open by a program that ended abnormally gets a full check.
                problems = integrityProblems(*f.conn);
            }
        } catch (const StoreError& e) {
            if (!isDamage(e)) {
                // A read-only file that this program never wrote has no state yet; anything else is the
                // open's own failure.
                if (f.readOnly && e.primaryCode() == SQLITE_ERROR) {
                    problems.clear();
                } else {
                    flock(f.lockFd, LOCK_SH);
                    throw;
                }
            } else {
                flock(f.lockFd, LOCK_SH);
                f.checkPending = true;
                f.conn.reset();
                return {Condition::InvalidFile, e.errorText()};
            }
        }
        if (!problems.isEmpty()) {
            flock(f.lockFd, LOCK_SH);
            if (!onlyKeyProblems(problems)) {
                f.conn.reset();
                // The first problem stands for all: one damaged page may drag hundreds of others into the report.
                return {Condition::InvalidFile, errorText(SQLITE_CORRUPT, problems.first())};
            }
            return {Condition::KeysInvalid, errorText(kKeysInvalid, problems.first())};
        }
        if (f.checkPending) {
            f.checked = true;
            f.checkPending = false;
        }
    }
    if (!f.readOnly) {
        f.conn->exec("INSERT OR REPLACE INTO zendrel_state (name, value) VALUES ('open', 1)");
    }
    if (alone) {
        flock(f.lockFd, LOCK_SH);
    }
    f.prepared = true;
    return {Condition::Opened, {}};
}

QString DataStore::createTable(TableState& ts) {
    const TableDef& t = *ts.def;
    File& f = fileOf(t);
    if (!QFileInfo::exists(f.path)) {
        f.conn.reset();
        const QByteArray p = QFile::encodeName(f.path);
        // Data files are private to their owner from the first byte on.
        const int fd = ::open(p.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
        } else if (errno != EEXIST) {  // another program may just have created it
            return errorText(errno, QString::fromLocal8Bit(std::strerror(errno)));
        }
    }
    if (!f.conn) {
        Outcome o = tryOpen(ts);
        if (o.condition == Condition::Opened) {
            return {};
        }
        if (o.condition != Condition::NotFound || !f.conn) {
            return o.errorText;
        }
    }
    try {
        Transaction tx(*f.conn);
        // Another program may have created it since we looked.
        Statement& s = f.conn->prepare("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?");
        s.bind(1, t.tableName);
        s.step();
        const bool exists = s.integer(0) != 0;
        s.reset();
        if (!exists) {
            f.conn->exec(sql::createTable(t));
            for (const auto& k : t.keys) {
                if (!isRowIdKey(t, k)) {
                    f.conn->exec(createIndex(t, k));
                }
            }
        }
        tx.commit();
        ts.created = ts.created || !exists;
    } catch (const StoreError& e) {
        return e.errorText();
    }
    return {};
}

QString DataStore::rebuildKeys(TableState& ts) {
    const TableDef& t = *ts.def;
    File& f = fileOf(t);
    if (!f.conn) {
        return errorText(kKeysInvalid, QStringLiteral("Key file must be rebuilt"));
    }
    // Statements still open on the file would hold its tables locked against the rebuild.
    f.conn->clearCache();
    try {
        Transaction tx(*f.conn);
        for (const auto& k : t.keys) {
            if (isRowIdKey(t, k)) {
                continue;
            }
            f.conn->exec(QStringLiteral("DROP INDEX IF EXISTS ") + quoted(indexName(t, k)));
            f.conn->exec(createIndex(t, k));
        }
        tx.commit();
        f.conn->clearCache();
        f.checked = true;
    } catch (const StoreError& e) {
        return e.errorText();
    }
    return {};
}

DataStore::File& DataStore::ensureOpen(const TableDef& t) {
    TableState& ts = state(t);
    if (ts.open && ts.file && ts.file->conn) {
        return *ts.file;
    }
    File& f = fileOf(t);
    ts.file = &f;
    if (ts.open && f.conn) {
        return f;
    }
    return openBy(ts, OpenWay::FirstUse);
}

void DataStore::safeOpen(const TableDef& t) {
    std::lock_guard lock(m_mutex);
    TableState& ts = state(t);
    File& f = fileOf(t);
    ++ts.useCount;
    if (ts.open && f.conn) {
        return;
    }
    openBy(ts, OpenWay::Safe);
}

bool DataStore::verify(const TableDef& t) {
    std::lock_guard lock(m_mutex);
    File& f = ensureOpen(t);
    QStringList problems;
    try {
        problems = integrityProblems(*f.conn);
    } catch (const StoreError& e) {
        problems << e.errorText();
        if (e.primaryCode() != SQLITE_CORRUPT && e.primaryCode() != SQLITE_NOTADB) {
            // Busy or unreadable just now: nothing is known to be wrong with the file.
            m_options.messages->show(storeMessages::fileAccessTitle(),
                                     QStringLiteral("File (%1) could not be checked.  Error: %2.")
                                         .arg(displayName(t), e.errorText()));
            return false;
        }
    }
    if (problems.isEmpty()) {
        return true;
    }
    const QString file = displayName(t);
    if (!onlyKeyProblems(problems)) {
        fatal(QStringLiteral("Invalid File"),
              storeMessages::accessing(errorText(SQLITE_CORRUPT, problems.first()), file) +
                  QStringLiteral("  Press OK to end this application."),
              QStringLiteral("Invalid File!"));
    }
    notice(QStringLiteral("Invalid Key"), QStringLiteral("%1 key file is invalid. Key must be rebuilt.").arg(file));
    const QString err = rebuildKeys(state(t));
    if (!err.isEmpty()) {
        fatal(QStringLiteral("Key was not built"),
              QStringLiteral("Error: (%1) repairing key for %2.  Press OK to end this application").arg(err, file),
              QStringLiteral("Key was not built"));
    }
    return true;
}

WriteResult DataStore::openChosen(const TableDef& t, Chosen how) {
    std::lock_guard lock(m_mutex);
    TableState& ts = state(t);
    File& f = fileOf(t);
    const bool reading = how == Chosen::Read;
    ts.mode = reading ? Connection::Mode::ReadOnly : Connection::Mode::ReadWrite;
    Outcome o = tryOpen(ts);
    if (o.condition == Condition::NotFound && !reading) {
        const QString err = createTable(ts);
        o = err.isEmpty() ? tryOpen(ts) : Outcome{Condition::Other, err};
    }
    if (o.condition == Condition::KeysInvalid && !reading) {
        const QString err = rebuildKeys(ts);
        o = err.isEmpty() ? tryOpen(ts) : Outcome{Condition::Other, err};
    }
    if (o.condition == Condition::Opened && reading) {
        // Read whole once: a file cut short or damaged halfway is refused before any of it is taken.
        try {
            Statement& s = f.conn->prepare("PRAGMA quick_check");
            while (s.step()) {
                const QString line = s.text(0).split(QLatin1Char('\n')).first().trimmed();
                if (line != QLatin1String("ok")) {
                    o = {Condition::InvalidFile, errorText(SQLITE_CORRUPT, line)};
                    break;
                }
            }
            s.reset();
        } catch (const StoreError& e) {
            o = classify(e, false);
        }
    }
    if (o.condition == Condition::Opened) {
        ++ts.useCount;
        return {};
    }
    ts.open = false;
    f.conn.reset();
    const QString file = displayName(t);
    if (o.condition == Condition::InvalidFile) {
        return {WriteResult::Error, QStringLiteral("Invalid File"),
                storeMessages::accessing(o.errorText, file), o.errorText};
    }
    return {WriteResult::Error, storeMessages::fileAccessTitle(), storeMessages::cannotOpen(file, o.errorText),
            o.errorText};
}

DataStore::Found DataStore::openExisting(const TableDef& t, QString* errorText) {
    std::lock_guard lock(m_mutex);
    TableState& ts = state(t);
    File& f = fileOf(t);
    ts.mode = Connection::Mode::ReadWrite;
    ts.checkKeys = false;
    auto outcome = [errorText](Found found, const QString& text) {
        if (errorText) {
            *errorText = text;
        }
        return found;
    };
    if (QFileInfo::exists(f.path) && !isRegularFile(f.path)) {
        // A directory or a device in the file's place is no file of another layout: something is wrong.
        return outcome(Found::Failed, zendrel::errorText(kNotRegularFile, QStringLiteral("Not a regular file")));
    }
    // Made private without a notice once it proves ours: it came from another program, not from the user.
    f.madePrivate = true;
    const Outcome o = tryOpen(ts);
    switch (o.condition) {
    case Condition::Opened:
        makePrivate(f, true);
        ++ts.useCount;
        return outcome(Found::Opened, {});
    case Condition::NotFound:
        ts.open = false;
        return outcome(Found::Missing, o.errorText);
    case Condition::InvalidFile:
        ts.open = false;
        f.conn.reset();
        return outcome(Found::NotOurs, o.errorText);
    default:
        ts.open = false;
        f.conn.reset();
        return outcome(Found::Failed, o.errorText);
    }
}

bool DataStore::takeCreated(const TableDef& t) {
    std::lock_guard lock(m_mutex);
    return std::exchange(state(t).created, false);
}

QString DataStore::dropTable(const TableDef& t) {
    std::lock_guard lock(m_mutex);
    File& f = ensureOpen(t);
    if (!writable(t, f)) {
        return QString::fromUtf8(sqlite3_errstr(SQLITE_READONLY)) + QStringLiteral(" (8)");
    }
    // Statements still open on the table would hold it against the drop.
    f.conn->clearCache();
    try {
        Transaction tx(*f.conn);
        f.conn->exec(QStringLiteral("DROP TABLE ") + quoted(t.tableName));
        tx.commit();
    } catch (const StoreError& e) {
        return e.errorText();
    }
    f.conn->clearCache();
    state(t).open = false;
    return {};
}

QStringList DataStore::tablesInFile(const TableDef& t) {
    std::lock_guard lock(m_mutex);
    File& f = fileOf(t);
    QStringList names;
    if (!f.conn) {
        return names;
    }
    Statement& s = f.conn->prepare("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' "
                                   "AND name <> 'zendrel_state' ORDER BY name");
    while (s.step()) {
        names << s.text(0);
    }
    return names;
}

DataStore::Batch::Batch(DataStore& store, const TableDef& t, Sync sync) : m_lock(store.m_mutex) {
    File& f = store.ensureOpen(t);
    if (store.writable(t, f)) {
        m_conn = f.conn.get();
        // Only outside a transaction may the connection's syncing change.
        m_durable = sync == Sync::Durable && sqlite3_get_autocommit(m_conn->handle()) != 0;
        if (m_durable) {
            m_conn->exec("PRAGMA synchronous = FULL");
        }
        m_tx = std::make_unique<Transaction>(*f.conn);
    }
}

DataStore::Batch::~Batch() {
    m_tx.reset();
    if (m_durable) {
        try {
            m_conn->exec("PRAGMA synchronous = NORMAL");
        } catch (const StoreError&) {
        }
    }
}

QString DataStore::Batch::commit() {
    if (!m_tx) {
        return {};
    }
    try {
        m_tx->commit();
    } catch (const StoreError& e) {
        return e.errorText();
    }
    return {};
}

DataStore::DeferredCheckpoints::DeferredCheckpoints(DataStore& store, const TableDef& t)
    : m_store(store), m_table(t) {
    std::lock_guard lock(store.m_mutex);
    File& f = store.ensureOpen(t);
    if (f.conn && store.writable(t, f)) {
        m_db = f.conn->handle();
        sqlite3_wal_hook(m_db, &DeferredCheckpoints::counted, this);
    }
}

DataStore::DeferredCheckpoints::~DeferredCheckpoints() {
    std::lock_guard lock(m_store.m_mutex);
    // Only on the connection the hook was set on: a file closed and opened again meanwhile has its own.
    const File& f = m_store.fileOf(m_table);
    if (m_db && f.conn && f.conn->handle() == m_db) {
        sqlite3_wal_autocheckpoint(m_db, 1000);  // the store's usual threshold
    }
}

int DataStore::DeferredCheckpoints::counted(void* self, sqlite3*, const char*, int pages) {
    auto* me = static_cast<DeferredCheckpoints*>(self);
    // The log starts again from its beginning once it has been written back whole.
    if (pages < me->m_pages) {
        me->m_pagesWrittenBack = 0;
    }
    me->m_pages = pages;
    return SQLITE_OK;
}

void DataStore::DeferredCheckpoints::run() {
    std::lock_guard lock(m_store.m_mutex);
    const File& f = m_store.fileOf(m_table);
    if (!m_db || !f.conn || f.conn->handle() != m_db) {
        return;
    }
    int logged = 0;
    int written = 0;
    if (sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_PASSIVE, &logged, &written) == SQLITE_OK) {
        m_pagesWrittenBack = m_pages;
    }
}

void DataStore::normalise(const TableDef& t, Row& row) const {
    for (size_t i = 0; i < t.fields.size() && i < row.size(); ++i) {
        const FieldDef& f = t.fields[i];
        if (f.isText()) {
            row[i] = fitText(std::get<QString>(row[i]), f.width);
        }
    }
}

Row DataStore::prime(const TableDef& t) {
    Row row;
    for (const auto& f : t.fields) {
        if (f.isText()) {
            row.emplace_back(QString());
        } else if (f.type == FieldType::Blob) {
            row.emplace_back(QByteArray());
        } else {
            row.emplace_back(int64_t{0});
        }
    }
    if (t.levelField >= 0) {
        row[static_cast<size_t>(t.levelField)] = int64_t{4000};
    }
    if (t.dateAddedField >= 0 && m_options.clock) {
        row[static_cast<size_t>(t.dateAddedField)] = int64_t{m_options.clock->today()};
    }
    if (t.autoNumber && t.rowIdField >= 0) {
        std::lock_guard lock(m_mutex);
        File& f = ensureOpen(t);
        Statement& s = f.conn->prepare(QStringLiteral("SELECT coalesce(max(rowid), 0) + 1 FROM ") + quoted(t.tableName));
        s.step();
        row[static_cast<size_t>(t.rowIdField)] = s.integer(0);
        // A statement left open would hold an old snapshot that a later write could not build on.
        s.reset();
    }
    return row;
}

WriteResult DataStore::checkRanges(const TableDef& t, const Row& row) {
    for (const auto& r : t.ranges) {
        const int64_t v = std::get<int64_t>(row[static_cast<size_t>(r.field)]);
        if (v < r.low || v > r.high) {
            WriteResult res{WriteResult::Range, QStringLiteral("Range Error"),
                            QStringLiteral("The value of %1 must be between %2.").arg(r.label, r.range)};
            report(res);
            return res;
        }
    }
    return {};
}

QString DataStore::duplicatedKey(const TableDef& t, Connection& c, const Row& row, int64_t rowId) {
    // The first unique key, in declaration order, that another record already holds.
    for (const auto& k : t.keys) {
        if (!k.unique()) {
            continue;
        }
        QStringList terms;
        bool allEmpty = true;
        for (int f : k.fields) {
            const FieldDef& fd = t.fields[static_cast<size_t>(f)];
            terms << quoted(fd.column) + QStringLiteral(" = ?");
            const Value& v = row[static_cast<size_t>(f)];
            if (const auto* n = std::get_if<int64_t>(&v); n && *n != 0) {
                allEmpty = false;
            } else if (const auto* str = std::get_if<QString>(&v); str && !str->isEmpty()) {
                allEmpty = false;
            }
        }
        if (allEmpty && !k.includeEmpty) {
            continue;
        }
        if (!k.includeEmpty) {
            terms << presentCondition(t, k);
        }
        Statement& s = c.prepare(QStringLiteral("SELECT 1 FROM ") + quoted(t.tableName) + QStringLiteral(" WHERE ") +
                                 terms.join(QStringLiteral(" AND ")) + QStringLiteral(" AND rowid <> ? LIMIT 1"));
        int i = 1;
        for (int f : k.fields) {
            s.bind(i++, row[static_cast<size_t>(f)]);
        }
        s.bind(i, rowId);
        const bool found = s.step();
        s.reset();
        if (found) {
            return k.description;
        }
    }
    return t.keys.empty() ? QString() : t.keys.front().description;
}

WriteResult DataStore::storeFailure(const TableDef& t, const StoreError& e, const QString& what, const Row* row,
                                    int64_t rowId) {
    if ((e.code() == SQLITE_CONSTRAINT_UNIQUE || e.code() == SQLITE_CONSTRAINT_PRIMARYKEY) && row) {
        QString description;
        try {
            description = duplicatedKey(t, *fileOf(t).conn, *row, rowId);
        } catch (const StoreError&) {
        }
        WriteResult res{WriteResult::Duplicate, QStringLiteral("Duplicate Key Error"),
                        QStringLiteral("Adding this record creates a duplicate entry for the key: %1").arg(description),
                        e.errorText()};
        report(res);
        return res;
    }
    WriteResult res{WriteResult::Error, QStringLiteral("File Error"),
                    QStringLiteral("Error: (%1) %2 %3.").arg(e.errorText(), what, displayName(t)), e.errorText()};
    report(res);
    return res;
}

namespace {

void bindRow(Statement& s, const Row& row, int first = 1) {
    for (size_t i = 0; i < row.size(); ++i) {
        s.bind(first + static_cast<int>(i), row[i]);
    }
}

Row readRow(const TableDef& t, Statement& s, int first = 1) {
    Row row;
    row.reserve(t.fields.size());
    for (size_t i = 0; i < t.fields.size(); ++i) {
        const int c = first + static_cast<int>(i);
        const FieldDef& f = t.fields[i];
        if (f.isText()) {
            row.emplace_back(s.text(c));
        } else if (f.type == FieldType::Blob) {
            row.emplace_back(s.blob(c));
        } else {
            row.emplace_back(s.integer(c));
        }
    }
    return row;
}

} // namespace

WriteResult DataStore::refuseReadOnly(const TableDef& t) {
    const QString err = QString::fromUtf8(sqlite3_errstr(SQLITE_READONLY)) + QStringLiteral(" (8)");
    WriteResult res{WriteResult::Error, QStringLiteral("File Error"),
                    QStringLiteral("Error: (%1) writing %2.").arg(err, displayName(t)), err};
    report(res);
    return res;
}

bool DataStore::writable(const TableDef& t, File& f) {
    return !f.readOnly && state(t).mode == Connection::Mode::ReadWrite;
}

WriteResult DataStore::insertLocked(const TableDef& t, File& f, Row& row, int64_t& rowId) {
    if (t.autoNumber && t.rowIdField >= 0) {
        auto& id = std::get<int64_t>(row[static_cast<size_t>(t.rowIdField)]);
        bool taken = id <= 0;
        if (!taken) {
            Statement& s = f.conn->prepare(sql::rowIdTaken(t));
            s.bind(1, id);
            taken = s.step();
            s.reset();
        }
        if (taken) {
            // The number primed for the form may have been used meanwhile by another program.
            Statement& s =
                f.conn->prepare(QStringLiteral("SELECT coalesce(max(rowid), 0) + 1 FROM ") + quoted(t.tableName));
            s.step();
            id = s.integer(0);
            s.reset();
        }
    }
    Statement& s = f.conn->prepare(sql::insert(t));
    bindRow(s, row);
    s.run();
    rowId = f.conn->lastInsertRowId();
    return {};
}

WriteResult DataStore::insert(const TableDef& t, Row& row, int64_t& rowId) {
    normalise(t, row);
    if (auto r = checkRanges(t, row); !r) {
        return r;
    }
    std::lock_guard lock(m_mutex);
    File& f = ensureOpen(t);
    if (!writable(t, f)) {
        return refuseReadOnly(t);
    }
    try {
        if (sqlite3_get_autocommit(f.conn->handle()) == 0) {
            // Inside a slice's transaction: one INSERT that is refused is undone alone by the record store, so
            // no savepoint is needed, and none is paid for (it copies every page the insert touches).
            insertLocked(t, f, row, rowId);
        } else {
            Transaction tx(*f.conn);
            insertLocked(t, f, row, rowId);
            tx.commit();
        }
    } catch (const StoreError& e) {
        return storeFailure(t, e, QStringLiteral("adding to"), &row, 0);
    }
    return {};
}

WriteResult DataStore::removeMany(const TableDef& t, const std::vector<int64_t>& rowIds) {
    std::lock_guard lock(m_mutex);
    File& f = ensureOpen(t);
    if (!writable(t, f)) {
        return refuseReadOnly(t);
    }
    for (const RelationDef& r : tables::relations()) {
        if (r.parent == &t) {
            throw std::logic_error("removeMany on a table with relations: " + t.label.toStdString());
        }
    }
    try {
        Transaction tx(*f.conn);
        Statement& s =
            f.conn->prepare(QStringLiteral("DELETE FROM ") + quoted(t.tableName) + QStringLiteral(" WHERE rowid = ?"));
        for (const int64_t id : rowIds) {
            s.bind(1, id);
            s.run();
            s.reset();
        }
        tx.commit();
    } catch (const StoreError& e) {
        return storeFailure(t, e, QStringLiteral("deleting from"), nullptr, 0);
    }
    return {};
}

WriteResult DataStore::insertMany(const TableDef& t, std::vector<Row>& rows) {
    for (auto& row : rows) {
        normalise(t, row);
        if (auto r = checkRanges(t, row); !r) {
            return r;
        }
    }
    std::lock_guard lock(m_mutex);
    File& f = ensureOpen(t);
    if (!writable(t, f)) {
        return refuseReadOnly(t);
    }
    const Row* current = nullptr;
    try {
        Transaction tx(*f.conn);
        for (auto& row : rows) {
            int64_t id = 0;
            current = &row;
            insertLocked(t, f, row, id);
        }
        tx.commit();
    } catch (const StoreError& e) {
        return storeFailure(t, e, QStringLiteral("adding to"), current, 0);
    }
    return {};
}

WriteResult DataStore::change(const TableDef& t, Row& row, int64_t rowId) {
    normalise(t, row);
    if (auto r = checkRanges(t, row); !r) {
        return r;
    }
    std::lock_guard lock(m_mutex);
    File& f = ensureOpen(t);
    if (!writable(t, f)) {
        return refuseReadOnly(t);
    }
    try {
        auto childTx = openChildren(t, f);
        Transaction tx(*f.conn);
        Statement& get = f.conn->prepare(sql::select(t) + QStringLiteral(" WHERE rowid = ?"));
        get.bind(1, rowId);
        if (!get.step()) {
            WriteResult res{WriteResult::NotFound, QStringLiteral("Record Not Found"),
                            QStringLiteral("The record to change in %1 no longer exists.").arg(displayName(t))};
            report(res);
            return res;
        }
        const Row oldRow = readRow(t, get);
        get.reset();
        if (t.rowIdField >= 0) {
            row[static_cast<size_t>(t.rowIdField)] = rowId;
        }
        QStringList sets;
        for (const auto& fd : t.fields) {
            sets << quoted(fd.column) + QStringLiteral(" = ?");
        }
        Statement& s = f.conn->prepare(QStringLiteral("UPDATE ") + quoted(t.tableName) + QStringLiteral(" SET ") +
                                       sets.join(QStringLiteral(", ")) + QStringLiteral(" WHERE rowid = ?"));
        bindRow(s, row);
        s.bind(static_cast<int>(row.size()) + 1, rowId);
        s.run();
        // A renamed parent takes its children along, in the same transaction.
        if (auto r = writeRelations(t, *f.conn, oldRow, row, false); !r) {
            return r;
        }
        for (auto& c : childTx) {
            c->commit();
        }
        tx.commit();
    } catch (const StoreError& e) {
        return storeFailure(t, e, QStringLiteral("changing"), &row, rowId);
    }
    return {};
}

WriteResult DataStore::remove(const TableDef& t, int64_t rowId) {
    std::lock_guard lock(m_mutex);
    File& f = ensureOpen(t);
    if (!writable(t, f)) {
        return refuseReadOnly(t);
    }
    try {
        auto childTx = openChildren(t, f);
        Transaction tx(*f.conn);
        Statement& get = f.conn->prepare(sql::select(t) + QStringLiteral(" WHERE rowid = ?"));
        get.bind(1, rowId);
        if (!get.step()) {
            WriteResult res{WriteResult::NotFound, QStringLiteral("Record Not Found"),
                            QStringLiteral("The record to delete from %1 no longer exists.").arg(displayName(t))};
            report(res);
            return res;
        }
        const Row oldRow = readRow(t, get);
        get.reset();
        if (auto r = writeRelations(t, *f.conn, oldRow, oldRow, true); !r) {
            report(r);
            return r;
        }
        Statement& s = f.conn->prepare(QStringLiteral("DELETE FROM ") + quoted(t.tableName) +
                                       QStringLiteral(" WHERE rowid = ?"));
        s.bind(1, rowId);
        s.run();
        for (auto& c : childTx) {
            c->commit();
        }
        tx.commit();
    } catch (const StoreError& e) {
        return storeFailure(t, e, QStringLiteral("deleting from"), nullptr, rowId);
    }
    return {};
}

std::optional<std::pair<Row, int64_t>> DataStore::get(const TableDef& t, int64_t rowId) {
    std::lock_guard lock(m_mutex);
    File& f = ensureOpen(t);
    Statement& s = f.conn->prepare(sql::select(t) + QStringLiteral(" WHERE rowid = ?"));
    s.bind(1, rowId);
    if (!s.step()) {
        return std::nullopt;
    }
    auto r = std::make_pair(readRow(t, s), s.integer(0));
    s.reset();
    return r;
}

std::optional<std::pair<Row, int64_t>> DataStore::fetch(const TableDef& t, int key,
                                                        const std::vector<Value>& components) {
    const KeyDef& k = t.keys.at(static_cast<size_t>(key));
    KeyRange r;
    r.prefix = components;
    r.prefix.resize(k.fields.size(), int64_t{0});
    for (size_t i = components.size(); i < k.fields.size(); ++i) {
        if (t.fields[static_cast<size_t>(k.fields[i])].isText()) {
            r.prefix[i] = QString();
        }
    }
    for (size_t i = 0; i < r.prefix.size(); ++i) {
        if (auto* s = std::get_if<QString>(&r.prefix[i])) {
            *s = fitText(*s, t.fields[static_cast<size_t>(k.fields[i])].width);
        }
    }
    r.limit = 1;
    auto rows = read(t, key, r);
    if (rows.empty()) {
        return std::nullopt;
    }
    return rows.front();
}


std::vector<std::pair<Row, int64_t>> DataStore::read(const TableDef& t, int key, const KeyRange& range) {
    const sql::Query q = sql::readRange(t, t.keys.at(static_cast<size_t>(key)), range);
    std::lock_guard lock(m_mutex);
    File& f = ensureOpen(t);
    Statement& s = f.conn->prepare(q.text);
    for (size_t i = 0; i < q.binds.size(); ++i) {
        s.bind(static_cast<int>(i) + 1, q.binds[i]);
    }
    std::vector<std::pair<Row, int64_t>> out;
    while (s.step()) {
        out.emplace_back(readRow(t, s), s.integer(0));
    }
    return out;
}

std::vector<std::pair<Row, int64_t>> DataStore::readPhysical(const TableDef& t, int64_t afterRowId, int limit,
                                                             bool backward) {
    const sql::Query q = sql::readPhysical(t, afterRowId, limit, backward);
    std::lock_guard lock(m_mutex);
    File& f = ensureOpen(t);
    Statement& s = f.conn->prepare(q.text);
    for (size_t i = 0; i < q.binds.size(); ++i) {
        s.bind(static_cast<int>(i) + 1, q.binds[i]);
    }
    std::vector<std::pair<Row, int64_t>> out;
    while (s.step()) {
        out.emplace_back(readRow(t, s), s.integer(0));
    }
    return out;
}

int64_t DataStore::count(const TableDef& t) {
    std::lock_guard lock(m_mutex);
    File& f = ensureOpen(t);
    Statement& s = f.conn->prepare(QStringLiteral("SELECT count(*) FROM ") + quoted(t.tableName));
    s.step();
    const int64_t n = s.integer(0);
    s.reset();
    return n;
}

int64_t DataStore::count(const TableDef& t, int key, const KeyRange& range) {
    return countOf(t, sql::countRange(t, t.keys.at(static_cast<size_t>(key)), range));
}

int64_t DataStore::count(const TableDef& t, int key, const std::vector<Value>& prefix) {
    return countOf(t, sql::countPrefix(t, t.keys.at(static_cast<size_t>(key)), prefix));
}

int64_t DataStore::countOf(const TableDef& t, const sql::Query& q) {
    std::lock_guard lock(m_mutex);
    File& f = ensureOpen(t);
    Statement& s = f.conn->prepare(q.text);
    for (size_t i = 0; i < q.binds.size(); ++i) {
        s.bind(static_cast<int>(i) + 1, q.binds[i]);
    }
    s.step();
    const int64_t n = s.integer(0);
    s.reset();
    return n;
}

} // namespace zendrel
