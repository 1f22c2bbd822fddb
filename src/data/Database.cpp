#define SQLITE_HAS_CODEC 1
#include "data/Database.h"

#include "base/Secrets.h"

#include <sqlcipher/sqlite3.h>

#include <QCryptographicHash>
#include <QFileInfo>
#include <QUrl>

#include <cstring>

namespace zendrel {

StoreError::StoreError(int code, const QString& text, const QString& detail)
    : std::runtime_error(text.toStdString() + (detail.isEmpty() ? "" : ": " + detail.toStdString())), m_code(code),
      m_text(text), m_detail(detail) {}

namespace {

QString describe(int rc) {
    return QString::fromUtf8(sqlite3_errstr(rc)) + QStringLiteral(" (%1)").arg(rc & 0xff);
}

int foldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

// Keys compare text without regard to case, by Unicode case folding; plain ASCII takes a fast path. Keys
// of one table share long beginnings ("Service 0001", "Service 0002"), so equal bytes are stepped over
// first: an equal beginning folds alike.
int foldCompare(void*, int n1, const void* p1, int n2, const void* p2) {
    const auto* a = static_cast<const unsigned char*>(p1);
    const auto* b = static_cast<const unsigned char*>(p2);
    const int n = n1 < n2 ? n1 : n2;
    int i = 0;
    for (;;) {
        while (i < n && a[i] == b[i]) {
            ++i;
        }
        if (i == n) {
            break;
        }
        if ((a[i] | b[i]) & 0x80) {
            // Back to the start of the character that differs: the equal part before it folds alike.
            while (i > 0 && ((a[i] & 0xC0) == 0x80 || (b[i] & 0xC0) == 0x80)) {
                --i;
            }
            const QString sa = QString::fromUtf8(reinterpret_cast<const char*>(a + i), n1 - i);
            const QString sb = QString::fromUtf8(reinterpret_cast<const char*>(b + i), n2 - i);
            const int r = sa.compare(sb, Qt::CaseInsensitive);
            return r < 0 ? -1 : (r > 0 ? 1 : 0);
        }
        const int ca = foldAscii(a[i]);
        const int cb = foldAscii(b[i]);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
        ++i;
    }
    return n1 == n2 ? 0 : (n1 < n2 ? -1 : 1);
}

} // namespace

int registerCollation(sqlite3* db) {
    return sqlite3_create_collation_v2(db, kCollation, SQLITE_UTF8, nullptr, foldCompare, nullptr);
}

QByteArray deriveRawKey(const QString& ownerPassword) {
    Wiped<QByteArray> password(ownerPassword.toUtf8());
    QCryptographicHash key(QCryptographicHash::Sha256);
    key.addData(QByteArrayView("zendrel table key\0", 18));
    key.addData(*password);
    // The salt is fixed too: a file that two programs key at the same moment, while it is still empty,
    // must not get two different salts.
    QCryptographicHash salt(QCryptographicHash::Sha256);
    salt.addData(QByteArrayView("zendrel table salt\0", 19));
    salt.addData(*password);
    QByteArray raw;
    raw.reserve(48);
    lockMemory(raw);
    raw.append(key.resultView());
    raw.append(salt.resultView().first(16));
    return raw;
}

QByteArray keyLiteral(const QByteArray& rawKey) {
    QByteArray literal;
    literal.reserve(2 * rawKey.size() + 3);
    lockMemory(literal);
    literal.append("x'");
    static constexpr char kHex[] = "0123456789abcdef";
    for (const char c : rawKey) {
        literal.append(kHex[(static_cast<unsigned char>(c) >> 4) & 15]).append(kHex[c & 15]);
    }
    literal.append('\'');
    return literal;
}

Connection::Connection(const QString& path, Mode mode, const QByteArray& rawKey) {
    try {
        open(path, mode, rawKey, false);
    } catch (const StoreError& e) {
        // A file kept with a write-ahead log cannot be read where its directory cannot be written (or the
        // disk is full); read it as it stands on disk instead, but only while its log holds no changes:
        // those could not be applied, and older data would be shown as current.
        const int primary = e.primaryCode();
        if (mode != Mode::ReadOnly || (primary != SQLITE_CANTOPEN && primary != SQLITE_IOERR)) {
            throw;
        }
        if (QFileInfo(path + QStringLiteral("-wal")).size() > 0) {
            throw StoreError(SQLITE_CANTOPEN, QStringLiteral("its latest changes, kept in %1-wal, cannot be read "
                                                             "where the file cannot be written (14)")
                                                  .arg(QFileInfo(path).fileName()));
        }
        open(path, mode, rawKey, true);
    }
}

void Connection::open(const QString& path, Mode mode, const QByteArray& rawKey, bool immutable) {
    int flags = (mode == Mode::ReadWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
    QByteArray p = path.toUtf8();
    if (immutable) {
        flags |= SQLITE_OPEN_URI;
        p = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded() + "?immutable=1";
    }
    int rc = sqlite3_open_v2(p.constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const int code = m_db ? sqlite3_extended_errcode(m_db) : rc;
        sqlite3_close(m_db);
        m_db = nullptr;
        throw StoreError(code, describe(code));
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, 10'000);
    if (!rawKey.isEmpty()) {
        Wiped<QByteArray> literal(keyLiteral(rawKey));
        rc = sqlite3_key(m_db, literal->constData(), static_cast<int>(literal->size()));
        if (rc == SQLITE_OK) {
            // Files are written in the version 3 format so that newer libraries open them too.
            rc = sqlite3_exec(m_db, "PRAGMA cipher_compatibility = 3", nullptr, nullptr, nullptr);
        }
        if (rc != SQLITE_OK) {
            const int code = sqlite3_extended_errcode(m_db) ? sqlite3_extended_errcode(m_db) : rc;
            sqlite3_close(m_db);
            m_db = nullptr;
            throw StoreError(code, describe(code));
        }
    }
    if (registerCollation(m_db) != SQLITE_OK) {
        sqlite3_close(m_db);
        m_db = nullptr;
        throw StoreError(SQLITE_NOMEM, describe(SQLITE_NOMEM));
    }
    // Key pages stay in memory, so that bulk writes into a large table are not bound by enciphering and
    // re-reading them.
    sqlite3_exec(m_db, "PRAGMA cache_size = -32768", nullptr, nullptr, nullptr);
    try {
        // Reading the schema proves that the key is right and the file is a store file at all.
        exec("SELECT count(*) FROM sqlite_master");
    } catch (...) {
        sqlite3_close(m_db);
        m_db = nullptr;
        throw;
    }
}

Connection::~Connection() {
    m_cache.clear();
    if (m_db) {
        sqlite3_close(m_db);
    }
}

bool Connection::readOnly() const {
    return sqlite3_db_readonly(m_db, "main") == 1;
}

void Connection::throwError(int rc, const QString& message) const {
    int code = sqlite3_extended_errcode(m_db) ? sqlite3_extended_errcode(m_db) : rc;
    // The cipher reports a page that fails its check as a bare SQLITE_ERROR with the generic text; the program's
    // own statements are fixed, so their SQL errors always come with a message of their own. Such a page is
    // damage, never a passing failure.
    // A schema page that fails it leaves the schema "malformed", also under SQLITE_ERROR.
    if ((code & 0xff) == SQLITE_ERROR && (message == QLatin1String(sqlite3_errstr(SQLITE_ERROR)) ||
                                          message.startsWith(QLatin1String("malformed database schema")))) {
        code = SQLITE_CORRUPT;
    }
    if ((code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB) {
        m_sawDamage = true;
    }
    throw StoreError(code, describe(code), message);
}

void Connection::fail(int rc) const {
    throwError(rc, QString::fromUtf8(sqlite3_errmsg(m_db)));
}

void Connection::exec(const QString& sql) {
    const QByteArray s = sql.toUtf8();
    char* err = nullptr;
    const int rc = sqlite3_exec(m_db, s.constData(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        const QString detail = err ? QString::fromUtf8(err) : QString();
        sqlite3_free(err);
        throwError(rc, detail);
    }
}

Statement& Connection::prepare(const QString& sql) {
    auto it = m_cache.find(sql);
    if (it == m_cache.end()) {
        it = m_cache.emplace(sql, std::make_unique<Statement>(*this, sql)).first;
    }
    it->second->reset();
    return *it->second;
}

void Connection::clearCache() {
    m_cache.clear();
}

int64_t Connection::lastInsertRowId() const {
    return sqlite3_last_insert_rowid(m_db);
}

int Connection::changes() const {
    return sqlite3_changes(m_db);
}

Statement::Statement(Connection& c, const QString& sql) : m_conn(c) {
    const QByteArray s = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(c.handle(), s.constData(), static_cast<int>(s.size()), &m_stmt, nullptr);
    if (rc != SQLITE_OK) {
        c.fail(rc);
    }
}

Statement::~Statement() {
    sqlite3_finalize(m_stmt);
}

void Statement::reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

void Statement::bind(int index, int64_t v) {
    sqlite3_bind_int64(m_stmt, index, v);
}

void Statement::bind(int index, const QString& v) {
    // The record store takes its own copy; this one may be a password.
    Wiped<QByteArray> u(v.toUtf8());
    sqlite3_bind_text(m_stmt, index, u->constData(), static_cast<int>(u->size()), SQLITE_TRANSIENT);
}

void Statement::bind(int index, const Value& v) {
    if (const auto* n = std::get_if<int64_t>(&v)) {
        bind(index, *n);
    } else if (const auto* s = std::get_if<QString>(&v)) {
        bind(index, *s);
    } else {
        const auto& b = std::get<QByteArray>(v);
        sqlite3_bind_blob(m_stmt, index, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
    }
}

bool Statement::step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    sqlite3_reset(m_stmt);
    m_conn.fail(rc);
}

void Statement::run() {
    while (step()) {
    }
}

int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

QString Statement::text(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return p ? QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, column)) : QString();
}

QByteArray Statement::blob(int column) const {
    const void* p = sqlite3_column_blob(m_stmt, column);
    return p ? QByteArray(static_cast<const char*>(p), sqlite3_column_bytes(m_stmt, column)) : QByteArray();
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

Transaction::Transaction(Connection& c) : m_conn(c), m_nested(sqlite3_get_autocommit(c.handle()) == 0) {
    m_conn.exec(m_nested ? "SAVEPOINT zendrel_write" : "BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
    if (!m_done) {
        try {
            m_conn.exec(m_nested ? "ROLLBACK TO zendrel_write; RELEASE zendrel_write" : "ROLLBACK");
        } catch (...) {
        }
    }
}

void Transaction::commit() {
    m_conn.exec(m_nested ? "RELEASE zendrel_write" : "COMMIT");
    m_done = true;
}

} // namespace zendrel
