#pragma once

#include "data/DataStore.h"
#include "session/ConfigStore.h"
#include "session/ReportFont.h"

#include <QStringList>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace zendrel {

// The five printed lists of one user's entries.
enum class ReportKind { Service, Url, Name, DateChanged, Master };

// The texts of the progress window and of the report questions, from "CPCSRPTS.INI" in the data directory
// (section "DISPLAY STRINGS 2.0"), each key with its default; "|" in a text is a line break.
class ReportStrings {
public:
    ReportStrings();
    // The file's texts over the defaults. A missing, unreadable or damaged file, and a missing key, give the
    // default; a value is taken whole, commas and all.
    static ReportStrings read(const QString& path);
    // The file of the data directory; one of the store's own files is never opened.
    static ReportStrings load(const DataStore& store);

    // The text of a key ("ProgWinTitlePrvw"), line breaks made; blank for a key that has none.
    QString text(const QString& key) const;
    // Every key with its default, in the file's order.
    static const std::vector<std::pair<QString, QString>>& defaults();

private:
    std::map<QString, QString> m_texts; // by key in upper case
};

// What the options give every report: the date picture code and the report font's four texts.
struct ReportOptions {
    QString dateCode;
    ReportFont::Texts font;

    static ReportOptions of(const Settings& program);
    // Read from the store, for a program that holds no copies of the settings (the command line).
    static ReportOptions read(ConfigStore& config);
};

// A report's fixed parts: heading, column captions, footer, and the font the options chose.
struct ReportLayout {
    ReportKind kind = ReportKind::Service;
    QString heading;
    QStringList captions; // the column header band; none for the master report
    QList<int> widths;    // each column's picture width in characters
    QString pageCaption;  // "Page", or "Page:" in the master report
    QString startedDate;  // the master report's footer: when it started ("D3" and "T3")
    QString startedTime;
    ReportFont::Texts font;
    bool headingInReportFont = true; // the master report's heading keeps its own font
};

// One entry's band, its values already in their pictures.
struct ReportDetail {
    QStringList cells;  // the list reports: one per caption
    QStringList blocks; // notes, printed whole as wrapped text
    // The master report.
    struct Field {
        QString caption;
        QString text;
    };
    std::vector<Field> fields; // "Service", "URL", "Name", "Password"
    QString changedDate;       // "Last Changed:"
    QString changedTime;
    bool monitor = false; // "Settings for Send:"
    QString wait;
    QString title;
    QString noRepeat;
    QString send;
};

// Where the bands of a pass go: the page layout of the printing side.
class ReportSink {
public:
    virtual ~ReportSink() = default;
    // False when the output failed (its message shown): the pass ends.
    virtual bool detail(const ReportDetail& band) = 0;
};

// The reports: the entries of one user, matched without regard to letter case, read in the report's key
// order, turned into bands through the report's pictures, in slices so that a progress window can drive the
// pass on its timer and "Cancel" is answered between slices.
class ReportOperations {
public:
    static constexpr int kEntriesPerTick = 25;

    ReportOperations(DataStore& store, MessageService& messages) : m_store(store), m_messages(messages) {}

    // Whether the report asks "Do you wish to PREVIEW this Report?".
    static bool offersPreview(ReportKind kind);
    // The words of `zendrel-cli report --kind` ("service", "url", "name", "date", "master").
    static std::optional<ReportKind> kindNamed(const QString& word);
    static QStringList kindNames();

    // A value through a report picture ("s30", "n3B", "d4b", "t3"): text cut to the picture's width; a number,
    // date or time blank for zero where the picture ends in "b" or "B" (a date or time always); a date picture
    // takes the options' code when that is one of the codes, else keeps its own.
    static QString pictureText(const QString& text, const QString& picture);
    static QString pictureText(int64_t value, const QString& picture, const QString& dateCode);

    class Pass {
    public:
        const ReportLayout& layout() const { return m_layout; }
        // Reads the first entry: false when the user has none, the pass then complete and empty (or when it could
        // not be read: stopped, that message shown).
        bool begin();
        // Up to `entries` bands into the sink; false once the pass is over (every entry printed, the sink
        // failed, a read failed, or cancelled).
        bool slice(ReportSink& sink, int entries = kEntriesPerTick);
        void cancel() { m_over = true; }
        bool completed() const { return m_completed; }
        // A read failed and its message was shown.
        bool stopped() const { return m_stopped; }

        // Bands printed, and the progress bar's total: the whole password table.
        int64_t printed() const { return m_printed; }
        int64_t total() const { return m_total; }
        // The progress window's text: entries printed plus one against the total, at most 100, in "N3" form,
        // and "% Completed".
        QString progressText(const ReportStrings& strings) const;

    private:
        friend class ReportOperations;
        Pass(DataStore& store, MessageService& messages, ReportKind kind, const UserRecord& user);
        bool read(int limit);
        ReportDetail band(const Row& entry) const;
        void failed(const StoreError& e);

        DataStore& m_store;
        MessageService& m_messages;
        ReportKind m_kind;
        ReportLayout m_layout;
        QString m_dateCode;
        int m_key = 0;
        KeyRange m_range;
        std::vector<std::pair<Row, int64_t>> m_ahead; // read, not yet printed
        size_t m_next = 0;
        bool m_atEnd = false;
        bool m_over = false;
        bool m_completed = false;
        bool m_stopped = false;
        int64_t m_printed = 0;
        int64_t m_total = 0;
    };

    // The pass of a report for a user; `day` and `time` are when it started (the master report's footer).
    // Nothing when the entries cannot be reached ("View Open Error" shown).
    std::unique_ptr<Pass> start(ReportKind kind, const UserRecord& user, const ReportOptions& options, int32_t day,
                                int32_t time);

    // "Nothing to Preview." or "Nothing to Print." titled "NOTE...".
    static void showNothing(MessageService& messages, const ReportStrings& strings, bool previewing);

private:
    DataStore& m_store;
    MessageService& m_messages;
};

} // namespace zendrel
