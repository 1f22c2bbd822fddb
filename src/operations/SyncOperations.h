#pragma once

#include "data/DataStore.h"
#include "operations/SlicedPass.h"

#include <QStringList>
#include <memory>
#include <optional>

namespace zendrel {

// Synchronization: one user's entries carried from one data directory to another through an exchange file,
// a table file of its own keyed with the run-time key, so that any installation can read it. Both passes run
// in slices (some records in one transaction each), so that a progress window can drive them on its timer
// and cancel between records; the command line runs the slices in a loop.
class SyncOperations {
public:
    // Field n of the exchange record is field n+1 of the entry, for the 22 fields from SF_:User (P_:User)
    // to SF_:EncryptedFilename; the notes and the attachment follow the record in both layouts.
    static constexpr size_t kRecordFields = 22;
    static constexpr int kSliceRecords = SlicedPass::kSliceRecords;

    SyncOperations(DataStore& store, MessageService& messages) : m_store(store), m_messages(messages) {}

    // The one copy between the two layouts, used by both directions: `count` fields positionally from
    // `from` (starting at `fromFirst`) to `to` (starting at `toFirst`). Never a copy by name.
    static void copyFields(const Row& from, size_t fromFirst, Row& to, size_t toFirst, size_t count);
    // The 22 fields, both notes and the attachment of an entry into an exchange record and back.
    static void toExchange(const Row& entry, Row& exchange);
    static void toEntry(const Row& exchange, Row& entry);

    class Pass : public SlicedPass {
    public:
        ~Pass() override;
        // Closes the exchange file and, when `showSummary` and something was counted, shows the summary
        // titled "Done". Called once, also after a cancel or a stop.
        void finish(bool showSummary = true);

        // The summary, also for zero: one line for a send, two for a receive.
        QStringList summaryLines() const;
        int64_t added() const { return m_added; }
        int64_t updated() const { return m_updated; }
        // Records seen so far and the total of the progress bar (for a send the whole password table, as
        // the bar has always shown it, so it need not reach its end).
        int64_t done() const { return m_done; }
        int64_t total() const { return m_total; }
        // The progress window's upper line.
        QString upperLine() const { return m_sending ? QStringLiteral("Sending") : QString(); }

    protected:
        Pass(SyncOperations& ops, const UserRecord& user, const QString& path, bool sending);
        DataStore* batchStore() override;
        const TableDef& written() const override;
        void committed() override;
        void failed(const QString& errorText, bool atCommit) override;
        void stop(const QString& title, const QString& text);
        // "ERROR": the failing table's file name, the store's error text, what failed.
        void recordFailed(const QString& file, const WriteResult& r, const QString& what);

        SyncOperations& m_ops;
        UserRecord m_user;
        QString m_path;
        bool m_sending;
        std::unique_ptr<DataStore> m_file; // the exchange file, alone in a store of its own
        KeyRange m_range;
        bool m_finished = false;
        int64_t m_added = 0;
        int64_t m_updated = 0;
        int64_t m_done = 0;
        int64_t m_total = 0;
        int64_t m_sliceAdded = 0;
        int64_t m_sliceUpdated = 0;

        friend class SyncOperations;
    };

    // Sending: the old file at `path` is removed and a new one written with the user's entries in the order
    // of their change dates. Nothing when the file cannot be made (its message was shown).
    std::unique_ptr<Pass> send(const UserRecord& user, const QString& path);
    // Receiving into the user's entries: nothing when the file cannot be read (its message was shown).
    std::unique_ptr<Pass> receive(const UserRecord& user, const QString& path);

    // What the command line of the main program asks for: a direction ('I' receives, 'O' sends; anything
    // else is no synchronization) and the user, password and file. Every argument after the program name is
    // one parameter, counted from 1, named ones ("User=ann") included; names match exactly as spelled.
    struct CommandLine {
        QChar direction;
        QString user;
        QString password;
        QString file;
        bool requested() const { return direction == QLatin1Char('I') || direction == QLatin1Char('O'); }
        bool complete() const;
    };
    static CommandLine parseCommandLine(const QStringList& arguments);
    // The user a complete command line names, found without regard to case, after his login password by
    // the login's rule; nothing after the message that refuses it ("Synchonization cancelled" for an
    // unknown user or missing values, "Access Denied" for a wrong password).
    std::optional<UserRecord> commandLineUser(const CommandLine& line);

    // Whether an attachment is within the one limit entries keep, on both sides.
    static bool attachmentFits(const QByteArray& bytes);

private:
    class Sending;
    class Receiving;
    std::unique_ptr<DataStore> openExchange(const QString& path, DataStore::Chosen how);

    DataStore& m_store;
    MessageService& m_messages;
};

} // namespace zendrel
