#pragma once

// The store's own view of its files and tables, shared by the files that implement DataStore.
#include "data/DataStore.h"

namespace zendrel {

// "Access Denied (5)": a condition's words with its number, as the store's messages give them.
inline QString errorText(int code, const QString& what) {
    return what + QStringLiteral(" (%1)").arg(code);
}

constexpr int kLayoutMismatch = 47;
constexpr int kKeysInvalid = 46;
constexpr int kNotRegularFile = 48;

struct DataStore::File {
    QString name;
    QString path;
    OwnerPassword owner = OwnerPassword::RuntimeKey;
    std::unique_ptr<Connection> conn;
    bool readOnly = false;
    bool accessNoticeShown = false;
    bool madePrivate = false;  // the file and its log were checked for looser modes, once it proved ours
    bool checked = false;  // the integrity check after an unclean end has run
    bool checkPending = false;  // left open by a program that ended abnormally, and not yet found sound
    bool prepared = false; // write-ahead log and state set up for this connection
    int lockFd = -1;       // a shared flock while this store has the file open
};

struct DataStore::TableState {
    const TableDef* def = nullptr;
    int useCount = 0;
    bool open = false;
    Connection::Mode mode = Connection::Mode::ReadWrite;
    bool checkKeys = true; // false for a table only read in physical order (another program's)
    bool created = false;  // this store made the table, and no one has asked about it since
    File* file = nullptr;  // found by its path once; a bulk pass asks for it on every record
};

} // namespace zendrel
