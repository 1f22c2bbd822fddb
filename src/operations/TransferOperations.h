#pragma once

#include "data/DataStore.h"
#include "framework/DelimitedText.h"
#include "operations/SlicedPass.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zendrel {

// Import and export of one user's entries through comma-separated text files: the 20 fields that travel,
// the checks of both windows, the import file as the assignment window shows it, and the two passes, which
// run in slices so that a progress window can drive them and cancel between lines; the command line runs
// the slices in a loop.
class TransferOperations {
public:
    // The fields that travel, in their order, with the picture export gives each by default.
    struct Field {
        QString name;
        QString picture;
    };
    static const std::vector<Field>& fields();
    // The position of a field in fields() by its name (without regard to case), or -1.
    static int fieldNumber(const QString& name);

    // One field of an entry as text: text as stored, numbers in decimal.
    static QString valueOf(const Row& entry, int field);
    struct Refusal {
        QString title;
        QString text;
    };
    // Stores a value read from a file: text cut to the field's width, numbers taken as numbers (text that is
    // no number is 0). A number the field cannot hold is refused with the range message, never wrapped.
    static std::optional<Refusal> setValue(Row& entry, int field, const QString& value);

    TransferOperations(DataStore& store, MessageService& messages) : m_store(store), m_messages(messages) {}

    // "&OK" with nothing chosen: the message, and false.
    bool checkExportFields(int count);
    bool checkImportAssigned(const std::vector<int>& assignment);

    // One row of "Export Fields".
    struct ExportField {
        QString name;
        QString picture;
    };

    class Export {
    public:
        // One slice: entries until about `bytes` bytes of lines were written. False once the export is over.
        bool slice(int64_t bytes = 1000);
        void cancel() { m_over = true; }
        // Closes the file; false when what was pending could not be written.
        bool finish();
        // Entries handed to the file so far, and those whose lines have reached it whole.
        int64_t done() const { return m_done; }
        int64_t written() const { return std::max<int64_t>(0, m_text.linesWritten() - (m_header ? 1 : 0)); }
        int64_t total() const { return m_total; }
        bool stopped() const { return m_stopped; }

    private:
        friend class TransferOperations;
        static constexpr int kPage = 256;  // entries read at once
        Export(TransferOperations& ops, DelimitedText& text) : m_ops(ops), m_text(text) {}
        TransferOperations& m_ops;
        DelimitedText& m_text;
        QString m_user;
        std::vector<std::pair<int, QString>> m_columns;  // field number and picture
        int64_t m_after = 0;
        std::vector<std::pair<Row, int64_t>> m_page;
        size_t m_pageAt = 0;
        int64_t m_done = 0;
        bool m_header = false;
        int64_t m_total = 0;
        bool m_over = false;
        bool m_stopped = false;
        bool m_finished = false;
    };
    // Creates the file (the save dialog when the path is empty) and writes the header line when asked;
    // nothing when the file could not be made (its message was shown).
    std::unique_ptr<Export> startExport(DelimitedText& text, const UserRecord& user,
                                        const std::vector<ExportField>& chosen, bool header, const QString& path);

    // One column of the import file as the assignment window shows it.
    struct Column {
        QString name;     // "Field_1"
        QString picture;  // "@S1000", or "@N30.9" for a column unquoted in the second line
        QString value;    // in the line shown, first 100 characters
    };
    // The import file under the assignment window: its columns from the first line and the lines after.
    class Source {
    public:
        std::vector<Column>& columns() { return m_columns; }
        const std::vector<Column>& columns() const { return m_columns; }
        // "&Next": the next line's values (a column beyond a shorter line keeps its value); false at the end.
        bool next();
        // "Rec#": 1 for the first line.
        int record() const { return m_record; }
        // "A&uto": every target without a column gets the first column whose shown value is its field's name
        // (letter case significant, trailing blanks not). How many were assigned.
        int autoAssign(std::vector<int>& assignment) const;

    private:
        friend class TransferOperations;
        explicit Source(DelimitedText& text) : m_text(text) {}
        DelimitedText& m_text;
        std::vector<Column> m_columns;
        int m_record = 1;
    };
    // Opens the file (the open dialog when the path is empty) and reads its first lines; nothing when no
    // file was opened or it holds no line.
    std::unique_ptr<Source> openSource(DelimitedText& text, const QString& path);

    // The import pass: lines of the file added as entries, the lines of each slice in one transaction.
    class Import final : public SlicedPass {
    public:
        // One slice of up to `lines` lines. False once the import is over.
        bool slice(int lines = 25) { return SlicedPass::slice(lines); }
        int64_t added() const { return m_added; }
        // The bytes read as a share of the file, at most 100.
        int percent() const;
        // Called after every entry added: it counts as the user's activity.
        std::function<void()> onAdded;

    protected:
        DataStore* batchStore() override { return &m_ops.m_store; }
        const TableDef& written() const override;
        void process(int lines) override;
        void committed() override;
        void failed(const QString& errorText, bool atCommit) override;

    private:
        friend class TransferOperations;
        Import(TransferOperations& ops, DelimitedText& text) : m_ops(ops), m_text(text) {}
        bool addLine();
        bool add(Row& entry);
        void stop(const QString& title, const QString& text);
        TransferOperations& m_ops;
        DelimitedText& m_text;
        UserRecord m_user;
        Row m_blank;  // a new record's values
        std::vector<QString> m_pictures;
        std::vector<std::vector<int>> m_targets;  // per column, the fields it feeds
        int64_t m_lineBytes = 0;
        int64_t m_nextId = 0;
        int64_t m_added = 0;
        int64_t m_sliceAdded = 0;
    };
    // `assignment` holds, for each of the 20 fields, the column (from 0) that feeds it or -1.
    std::unique_ptr<Import> startImport(DelimitedText& text, const UserRecord& user, const std::vector<Column>& columns,
                                        const std::vector<int>& assignment, bool stripHeader);

private:
    DataStore& m_store;
    MessageService& m_messages;
};

} // namespace zendrel
