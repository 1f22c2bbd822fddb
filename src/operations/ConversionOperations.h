#pragma once

#include "data/DataStore.h"
#include "operations/SlicedPass.h"

#include <QStringList>
#include <memory>

namespace zendrel {

// The move of version 2.1's users and entries into Users and Passwords. Version 2.1 kept them in the tables
// "US" and "PW" of the file "ZDDATA" in the data directory, keyed with the fixed previous-version password.
// Each old record is inserted through the data layer, so that entries are numbered and keys checked, and is
// deleted from the old table only after its copy has committed: a conversion ended at any moment loses
// nothing, and at worst leaves a record in both places. A record whose insert is refused stays in the old
// table. An old table left empty is removed, and the file once it holds no table.
class ConversionOperations {
public:
    enum class Source { Users, Entries };

    ConversionOperations(DataStore& store, MessageService& messages) : m_store(store), m_messages(messages) {}

    class Pass final : public SlicedPass {
    public:
        Pass(ConversionOperations& ops, Source source);
        ~Pass() override;

        // Opens the old table. False when there is nothing to convert: no file or no table, or a file that is
        // not one of ours (another key, another layout), all without a word; or any other failure, after the
        // "ERROR" message "Error opening file".
        bool open();
        // Closes the old table, removing it when it is empty and the file when it holds no table any more.
        void finish();

        // Whether open() found the old table.
        bool found() const { return m_found; }
        // Records processed (converted, found already converted, or kept after a refusal) out of the total
        // the old table held when it was opened.
        int64_t done() const { return m_done; }
        int64_t total() const { return m_total; }
        int64_t converted() const { return m_converted; }
        int percent() const;
        // "12 out of 40 Processed".
        QString countLine() const;
        // What the command line prints once the pass is finished: how many came over, how many stay behind.
        QStringList summaryLines() const;

    protected:
        DataStore* batchStore() override;
        const TableDef& written() const override;
        void process(int records) override;
        // The copies are on the disk before their old records are deleted: not even a power failure between
        // the two loses a record.
        bool durableSlices() const override { return true; }
        void committed() override;
        void failed(const QString& errorText, bool atCommit) override;

    private:
        const TableDef& source() const;
        QString fileWords() const;
        QString tableWords() const;
        Row mapped(const Row& old) const;
        bool alreadyConverted(const Row& record);
        // Whether a unique key of the new table holds the record (not all of its components are blank).
        bool uniquelyKeyed(const Row& record) const;
        void removeFileWhenEmpty(const QString& path);

        ConversionOperations& m_ops;
        Source m_source;
        std::unique_ptr<DataStore> m_old; // the previous version's file, alone in a store of its own
        bool m_found = false;
        bool m_finished = false;
        int64_t m_after = 0; // the last old record read, by its position
        int64_t m_total = 0;
        int64_t m_done = 0;
        int64_t m_converted = 0;
        int64_t m_left = 0; // records the old table still held when the pass finished
        // The slice's work: old records whose copies stand in the new table, and a refused insert to ask about
        // once the slice has committed.
        std::vector<int64_t> m_copied;
        int64_t m_sliceConverted = 0;
        std::optional<WriteResult> m_refused;
    };

    std::unique_ptr<Pass> pass(Source source) { return std::make_unique<Pass>(*this, source); }
    // Users, then entries, each run to its end without a window (the command line): a refused record is
    // asked about through the messages, whose default answer goes on. The summary lines of the tables found.
    QStringList convertAll();

private:
    DataStore& m_store;
    MessageService& m_messages;
};

} // namespace zendrel
