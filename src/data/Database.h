#pragma once

#include "data/Schema.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <stdexcept>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace zendrel {

// A failure reported by the record store, with its code and description.
class StoreError : public std::runtime_error {
public:
    StoreError(int code, const QString& text, const QString& detail = {});
    int code() const { return m_code; }
    int primaryCode() const { return m_code & 0xff; }
    // "<description> (<code>)", the error text of the messages.
    QString errorText() const { return m_text; }
    QString detail() const { return m_detail; }

private:
    int m_code;
    QString m_text;
    QString m_detail;
};

class Statement;

// One connection to one store file. Not thread-safe by itself: the data store serialises access.
class Connection {
public:
    enum class Mode { ReadWrite, ReadOnly };

    // Opens the file (which must exist), keys it with the raw key (empty for a plain file) and checks
    // that it can be read. Throws StoreError.
    Connection(const QString& path, Mode mode, const QByteArray& rawKey);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return m_db; }
    bool readOnly() const;
    void exec(const QString& sql);
    Statement& prepare(const QString& sql);  // cached by its text
    int64_t lastInsertRowId() const;
    int changes() const;
    [[noreturn]] void fail(int rc) const;
    void clearCache();
    // A page of the file failed its check (or the file is not ours) at some point of this connection's life.
    bool sawDamage() const { return m_sawDamage; }

private:
    void open(const QString& path, Mode mode, const QByteArray& rawKey, bool immutable);
    [[noreturn]] void throwError(int rc, const QString& message) const;

    sqlite3* m_db = nullptr;
    mutable bool m_sawDamage = false;
    // By the text itself: turning it into bytes first would cost a bulk pass more than its statement does.
    std::unordered_map<QString, std::unique_ptr<Statement>> m_cache;
};

class Statement {
public:
    Statement(Connection& c, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void reset();
    void bind(int index, const Value& v);
    void bind(int index, int64_t v);
    void bind(int index, const QString& v);
    bool step();  // true while there is a row
    void run();   // steps to the end
    int64_t integer(int column) const;
    QString text(int column) const;
    QByteArray blob(int column) const;
    bool isNull(int column) const;

private:
    Connection& m_conn;
    sqlite3_stmt* m_stmt = nullptr;
};

// Holds a write transaction (BEGIN IMMEDIATE); rolls back unless committed. Inside a transaction already
// open on the connection (a slice of a bulk pass) it is a savepoint, so that one refused write is undone
// alone and the others of the slice stay.
class Transaction {
public:
    explicit Transaction(Connection& c);
    ~Transaction();
    void commit();

private:
    Connection& m_conn;
    bool m_nested = false;
    bool m_done = false;
};

// The 32-byte key and 16-byte salt under which a file is enciphered, derived once from its owner password.
QByteArray deriveRawKey(const QString& ownerPassword);
// The raw key as the store takes it: x'<hex key and salt>'.
QByteArray keyLiteral(const QByteArray& rawKey);

// Registers the case-folding collation used by every key.
int registerCollation(sqlite3* db);
constexpr const char* kCollation = "ZFOLD";

} // namespace zendrel
