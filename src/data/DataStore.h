#pragma once

#include "data/Database.h"
#include "data/Records.h"
#include "data/Schema.h"
#include "data/StoreSql.h"
#include "base/MessageService.h"
#include "base/Secrets.h"
#include "platform/Clock.h"

#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace zendrel {

// Thrown once a fatal message has been shown and the terminate handler returned (in tests).
class ProgramEnded : public std::runtime_error {
public:
    explicit ProgramEnded(const QString& reason) : std::runtime_error(reason.toStdString()), m_reason(reason) {}
    QString reason() const { return m_reason; }

private:
    QString m_reason;
};

// The outcome of a write.
struct WriteResult {
    enum Kind { Ok, Duplicate, Range, Refused, NotFound, Error };
    Kind kind = Ok;
    QString title;      // of the message shown
    QString text;
    QString errorText;  // the store's description of the failure, when it failed
    explicit operator bool() const { return kind == Ok; }
};

// The owner passwords of the tables, built once at start-up.
struct OwnerKeys {
    QString runtimeKey;
    QString wordPassword;
    QString previousVersionPassword;
    // The raw key derived from the data directory's passphrase, when it has one: it then keys every file the
    // run-time key would, exchange files aside.
    QByteArray passphraseKey;

    // Copies share their text; the last one to go overwrites it.
    ~OwnerKeys() {
        wipe(runtimeKey);
        wipe(wordPassword);
        wipe(previousVersionPassword);
        wipe(passphraseKey);
    }
};

// The tables of one data directory, opened by the rules of the table manager: deferred until first use,
// created when missing, read-only after "Access Denied", keys rebuilt after "Invalid Key". Thread-safe:
// every caller works on its own record buffers while the files are shared.
class DataStore {
public:
    struct Options {
        QString directory;
        OwnerKeys keys;
        MessageService* messages = nullptr;
        TerminateHandler terminate;
        Clock* clock = nullptr;
        // The page cache of each file in KiB; 0 keeps the large default that bulk writes need. A program that
        // reads a whole key once and ends (the command line) keeps its memory small with a few MB.
        int cacheKiB = 0;
    };

    explicit DataStore(Options options);
    ~DataStore();
    DataStore(const DataStore&) = delete;
    DataStore& operator=(const DataStore&) = delete;

    // Table manager open: counts the use; the file is opened at the first read or write.
    void open(const TableDef& t);
    // Safe open: opens now, asks before rebuilding keys, ends the program on failure.
    void safeOpen(const TableDef& t);
    void close(const TableDef& t);
    bool isReadOnly(const TableDef& t);
    QString path(const TableDef& t) const;
    // The table's name in messages: "ZD_DATA\\!Users", or the file name of a table that has a file alone.
    QString displayName(const TableDef& t) const;
    QString directory() const { return m_options.directory; }
    // Whether a path is one of the store's own files or their logs (same device and inode, however it is
    // named). Readers by path refuse these: opening one and closing it again would drop this process's
    // locks on it, and another program would then think itself alone with the file.
    bool holdsFile(const QString& path) const;
    // Whether a file name is one the store keeps tables in, or their logs ("ZD_DATA", "ZD_DATA-wal", ...).
    static bool isStoreFileName(const QString& name);
    // The files of the data directory that the run-time key or, in its place, the passphrase keys.
    static QStringList keyedFileNames();
    MessageService& messages() { return *m_options.messages; }
    Clock& clock() { return *m_options.clock; }
    // For the synchronization file, whose name is chosen at run time.
    void setFileName(const TableDef& t, const QString& fileName);

    // While one lives on a thread, write failures are returned without showing their message, for callers
    // that report them in words of their own.
    class Quiet {
    public:
        Quiet();
        ~Quiet();
    };

    // The owner passwords this store keys its files with.
    const OwnerKeys& keys() const { return m_options.keys; }
    // Shows a fatal message and ends the program with every file left closed.
    [[noreturn]] void endProgram(const QString& title, const QString& text);
    // Closes every file as the program's end does and runs `work` while none is open (other threads' calls
    // wait); the files open again at their next use, under the keys `work` gives, or the old ones.
    void withFilesClosed(const std::function<std::optional<OwnerKeys>()>& work);

    // Opens a table whose file the user chose (the exchange file of synchronization), or one the program can
    // do without (the tips), never by the fatal path: a file that is missing, damaged, truncated, not a table of ours
    // or enciphered under another key gives the table layer's message for it, unshown, and the program goes on. Writing
    // creates the file when missing; reading never creates it, never writes to it and checks it whole first, so that a
    // damaged file is refused before anything is taken from it.
    enum class Chosen { Write, Read };
    WriteResult openChosen(const TableDef& t, Chosen how);

    // Opens, for reading and writing, a table that another program left in the directory (the previous
    // version's), never creating its file or the table and never by the fatal path. Its keys are neither
    // checked nor rebuilt: such a table is read in physical order and its records deleted by position.
    enum class Found { Opened, Missing, NotOurs, Failed };
    Found openExisting(const TableDef& t, QString* errorText = nullptr);
    // Whether this store created the table since the last time it was asked (only one program creates a
    // table, so only one sees this).
    bool takeCreated(const TableDef& t);
    // Removes a table from its file; empty on success, else the store's error text.
    QString dropTable(const TableDef& t);
    // The names of the tables that the file of `t` holds, the store's own bookkeeping aside (none while the file
    // is not open).
    QStringList tablesInFile(const TableDef& t);

    // One write transaction on a table's file held across many writes: the records of one slice of a bulk
    // pass commit together. Writes of other threads wait until it ends; without commit() it rolls back.
    // A write inside it that fails is undone alone.
    class Batch {
    public:
        // A durable batch is on the disk when commit() returns, even should the power fail just after (the
        // file's other commits may wait for the next checkpoint): for writes that something else relies on.
        enum class Sync { Normal, Durable };
        Batch(DataStore& store, const TableDef& t, Sync sync = Sync::Normal);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        // Empty when committed, else the store's error text; nothing of the batch is kept then.
        QString commit();

    private:
        std::unique_lock<std::recursive_mutex> m_lock;
        Connection* m_conn = nullptr;
        bool m_durable = false;
        std::unique_ptr<Transaction> m_tx;
    };

    // A long pass writes the log of a table's file back into the file as a step of its own between batches,
    // so that no batch's commit carries that work and each step stays short. While this lives, commits
    // only count the pages of the log; afterwards the store writes it back by itself again.
    class DeferredCheckpoints {
    public:
        DeferredCheckpoints(DataStore& store, const TableDef& t);
        ~DeferredCheckpoints();
        DeferredCheckpoints(const DeferredCheckpoints&) = delete;
        DeferredCheckpoints& operator=(const DeferredCheckpoints&) = delete;
        // The batches committed since the last write-back have put this many pages or more into the log.
        bool due(int pages = 1000) const { return m_pages - m_pagesWrittenBack >= pages; }
        // Writes the log back as far as readers allow. A write-back that cannot run now is tried again by
        // the next one: nothing is lost, the log only stays longer.
        void run();

    private:
        static int counted(void* self, sqlite3*, const char*, int pages);
        DataStore& m_store;
        const TableDef& m_table;
        sqlite3* m_db = nullptr;
        int m_pages = 0;
        int m_pagesWrittenBack = 0;
    };

    // Full check of a table's file; a damaged key is rebuilt after the "Invalid Key" notice.
    bool verify(const TableDef& t);

    // Generic record operations; Table<R> below wraps them with typed records.
    Row prime(const TableDef& t);
    WriteResult insert(const TableDef& t, Row& row, int64_t& rowId);
    WriteResult change(const TableDef& t, Row& row, int64_t rowId);
    WriteResult remove(const TableDef& t, int64_t rowId);
    std::optional<std::pair<Row, int64_t>> get(const TableDef& t, int64_t rowId);
    std::optional<std::pair<Row, int64_t>> fetch(const TableDef& t, int key, const std::vector<Value>& components);
    std::vector<std::pair<Row, int64_t>> read(const TableDef& t, int key, const KeyRange& range);
    std::vector<std::pair<Row, int64_t>> readPhysical(const TableDef& t, int64_t afterRowId, int limit,
                                                      bool backward = false);
    int64_t count(const TableDef& t);
    int64_t count(const TableDef& t, int key, const std::vector<Value>& prefix);
    // The records of a range (its limit and offset aside).
    int64_t count(const TableDef& t, int key, const KeyRange& range);
    // Inserts many records in one transaction per call; stops at the first refusal.
    WriteResult insertMany(const TableDef& t, std::vector<Row>& rows);
    // Deletes records by position in one transaction, all or none; only for a table that is no parent of a
    // relation (a record gone already is no failure).
    WriteResult removeMany(const TableDef& t, const std::vector<int64_t>& rowIds);

    struct File;
    struct TableState;

private:
    void closeFiles();
    enum class Condition { Opened, NotFound, AccessDenied, Locked, KeysInvalid, InvalidFile, Other };
    struct Outcome {
        Condition condition;
        QString errorText;
    };

    TableState& state(const TableDef& t);
    File& fileOf(const TableDef& t);
    File& ensureOpen(const TableDef& t);
    // The two ways a table is opened: by the table manager on its first use, and by the safe open at
    // start-up, which asks before rebuilding keys, tries a locked file twice and names the file by its path.
    enum class OpenWay { FirstUse, Safe };
    // One set of rules from each outcome to the next step, for both ways; ends the program when the table
    // cannot be opened.
    File& openBy(TableState& ts, OpenWay way);
    Outcome tryOpen(TableState& ts);
    void makePrivate(File& f, bool quietly = false);
    Outcome classify(const StoreError& e, bool wantWrite);
    Outcome prepareFile(File& f);
    QString createTable(TableState& ts);  // empty on success, else the error text
    QString rebuildKeys(TableState& ts);  // likewise
    [[noreturn]] void fatal(const QString& title, const QString& text, const QString& reason);
    void notice(const QString& title, const QString& text);
    void report(const WriteResult& r);
    WriteResult storeFailure(const TableDef& t, const StoreError& e, const QString& what, const Row* row,
                             int64_t rowId);
    QString duplicatedKey(const TableDef& t, Connection& c, const Row& row, int64_t rowId);
    WriteResult checkRanges(const TableDef& t, const Row& row);
    void normalise(const TableDef& t, Row& row) const;
    int64_t countOf(const TableDef& t, const sql::Query& q);
    std::vector<std::unique_ptr<Transaction>> openChildren(const TableDef& t, File& f);
    WriteResult writeRelations(const TableDef& t, Connection& c, const Row& oldRow, const Row& newRow, bool deleting);
    WriteResult refuseReadOnly(const TableDef& t);
    bool writable(const TableDef& t, File& f);
    WriteResult insertLocked(const TableDef& t, File& f, Row& row, int64_t& rowId);

    Options m_options;
    mutable std::recursive_mutex m_mutex;
    std::map<QString, std::unique_ptr<File>> m_files;  // by file name
    std::map<const TableDef*, std::unique_ptr<TableState>> m_tables;
    std::map<const TableDef*, QString> m_fileNames;
};

// Typed access to one table with record buffers of type R.
template <class R> class Table {
public:
    // A table counts as opened for the life of its store: a record buffer may outlive a window, never
    // the store.
    explicit Table(DataStore& store) : m_store(store) { m_store.open(R::table()); }

    const TableDef& def() const { return R::table(); }
    int key(const QString& name) const { return def().keyIndex(name); }

    R prime() { return fromRow<R>(m_store.prime(def()), 0); }
    WriteResult insert(R& r) {
        Row row = toRow(r);
        int64_t id = 0;
        WriteResult res = m_store.insert(def(), row, id);
        if (res) {
            r = fromRow<R>(row, id);
        }
        return res;
    }
    WriteResult change(R& r) {
        Row row = toRow(r);
        WriteResult res = m_store.change(def(), row, r.rowId);
        if (res) {
            r = fromRow<R>(row, r.rowId);
        }
        return res;
    }
    WriteResult remove(const R& r) { return m_store.remove(def(), r.rowId); }
    std::optional<R> get(int64_t rowId) { return typed(m_store.get(def(), rowId)); }
    std::optional<R> fetch(const QString& keyName, const std::vector<Value>& components) {
        return typed(m_store.fetch(def(), key(keyName), components));
    }
    std::vector<R> read(const QString& keyName, const KeyRange& range) {
        return typed(m_store.read(def(), key(keyName), range));
    }
    std::vector<R> readPhysical(int64_t afterRowId = 0, int limit = -1, bool backward = false) {
        return typed(m_store.readPhysical(def(), afterRowId, limit, backward));
    }
    int64_t count() { return m_store.count(def()); }
    int64_t count(const QString& keyName, const std::vector<Value>& prefix) {
        return m_store.count(def(), key(keyName), prefix);
    }
    int64_t count(const QString& keyName, const KeyRange& range) { return m_store.count(def(), key(keyName), range); }

private:
    static std::optional<R> typed(const std::optional<std::pair<Row, int64_t>>& r) {
        if (!r) {
            return std::nullopt;
        }
        return fromRow<R>(r->first, r->second);
    }
    static std::vector<R> typed(const std::vector<std::pair<Row, int64_t>>& rows) {
        std::vector<R> out;
        out.reserve(rows.size());
        for (const auto& r : rows) {
            out.push_back(fromRow<R>(r.first, r.second));
        }
        return out;
    }

    DataStore& m_store;
};


} // namespace zendrel
