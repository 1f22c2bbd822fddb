#pragma once

#include "data/DataStore.h"
#include "data/Passphrase.h"

#include <functional>
#include <optional>

namespace zendrel {

// The optional passphrase of a data directory: asking for it before any table opens, and setting,
// changing and removing it, with their checks and messages, for the windows and the command line alike.
class PassphraseOperations {
public:
    static constexpr int kMaxLength = 1024;

    PassphraseOperations(const QString& directory, MessageService& messages)
        : m_directory(directory), m_messages(messages) {}
    // For a program that holds the directory's store and its shared lock: a change takes the lock alone,
    // closes the store's files for the switch and keys them anew.
    PassphraseOperations(DataStore& store, DirectoryLock& lock)
        : m_directory(store.directory()), m_messages(store.messages()), m_store(&store), m_lock(&lock) {}

    // Opening: takes the directory's shared lock (kept in `lock` for the program's run), finishes an
    // interrupted change and reads the header. Refused after its message: the program ends.
    enum class Opening { Ready, NeedsPassphrase, Refused };
    Opening begin(DirectoryLock& lock);
    // Whether a typed passphrase is the directory's; a wrong one is found before any file is touched, and
    // said so. After the right one, keys() serves the data files.
    bool tryPassphrase(const QString& typed);
    // The owner keys of the tables: the passphrase's key in place of the run-time key where one was given.
    OwnerKeys keys() const;

    // The whole opening: begin(), then `ask` until it gives the right passphrase or nothing (cancelled).
    // `ask` is told whether it asks again after a wrong one.
    std::optional<OwnerKeys> open(DirectoryLock& lock, const std::function<std::optional<QString>(bool again)>& ask);

    // Whether the directory has a header (damaged or not).
    bool isProtected() const;
    // Each refuses while another program has the directory open, and says what it did.
    bool set(const QString& passphrase, const QString& confirmation);
    bool change(const QString& current, const QString& passphrase, const QString& confirmation);
    bool remove(const QString& current);

private:
    bool refuse(const QString& text);
    bool acceptable(const QString& passphrase);
    // The raw key the current passphrase gives, checked against the header; empty after a message.
    QByteArray currentKey(const QString& current);
    // A new header and key for a new passphrase, then the whole directory re-keyed from oldKey.
    bool replace(const QByteArray& oldKey, const QString& passphrase, const QString& confirmation, const QString& done);
    bool rekey(const QByteArray& oldKey, const QByteArray& newKey, const QByteArray& header, const QString& done);

    Rekey::Outcome rekeyHeld(const QByteArray& oldKey, const QByteArray& newKey, const QByteArray& header);

    QString m_directory;
    MessageService& m_messages;
    DataStore* m_store = nullptr;
    DirectoryLock* m_lock = nullptr;
    PassphraseHeader m_header;
    QByteArray m_key;
};

} // namespace zendrel
