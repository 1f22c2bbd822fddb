#pragma once

#include "data/DataStore.h"

#include <optional>
#include <vector>

namespace zendrel {

// The tips: short help texts kept in the TipOfTheDay table ("ZNDRL_T"), read one at a time in the About
// window and kept with "Browse Tips". The table is one the program can do without: a tips file that cannot
// be used is reported once and the program goes on without tips.
class TipOperations {
public:
    // Characters of a tip that are shown and edited.
    static constexpr int kShown = 1000;
    // Characters of a tip that the tips list shows.
    static constexpr int kListed = 255;

    TipOperations(DataStore& store, MessageService& messages) : m_store(store), m_messages(messages) {}

    // Opens the table, making it when missing and then filling it with Zendrel's own tips (a table the user
    // emptied stays empty). False after the message of a tips file that cannot be used.
    bool open();
    bool available() const { return m_available; }

    // Every tip in the order of its number.
    std::vector<TipRecord> all();
    // Positioned reading by the tip's number; nothing when there is no such tip or no table.
    std::optional<TipRecord> first();
    std::optional<TipRecord> last();
    std::optional<TipRecord> after(int64_t tipId);
    std::optional<TipRecord> before(int64_t tipId);

    // A new tip, numbered next above the highest in use.
    TipRecord prime();
    // Adds or changes a tip; its text is kept to 1,000 characters. False after the store's message.
    bool save(TipRecord& tip, bool inserting);
    // After the "Confirm Delete" question; false when it was answered No or the delete failed.
    bool remove(const TipRecord& tip);

    // The tips a new table starts with: Zendrel's own features in the words of its guide.
    static const QStringList& ownTips();
    // What the tips list shows of a tip: its first 255 characters, on one line.
    static QString listed(const TipRecord& tip);
    // What the About window and the tip form show of a tip.
    static QString shown(const TipRecord& tip) { return tip.tipDesc.left(kShown); }

private:
    std::optional<TipRecord> one(const KeyRange& range);
    // A tips table that cannot be read is said and read as empty: the program goes on without tips.
    void readFailed(const StoreError& e);

    DataStore& m_store;
    MessageService& m_messages;
    bool m_available = false;
};

// The tip reading of the About window. It steps through the tips by their numbers and keeps two marks: at
// start, set on opening and when a step back finds nothing; at end, set when a step forward finds nothing
// (and on opening when there is no tip). A step that finds nothing leaves the tip shown as it was.
class TipReader {
public:
    explicit TipReader(TipOperations& tips) : m_tips(tips) {}

    // The first tip, read a second time from the start when the first read fails.
    void start();
    void next();
    void previous();

    bool atStart() const { return m_atStart; }
    bool atEnd() const { return m_atEnd; }
    bool previousEnabled() const { return !m_atStart; }
    bool nextEnabled() const { return !m_atEnd; }
    // The tip in the buffer: the last one read, blank before any.
    QString shown() const { return m_tip ? TipOperations::shown(*m_tip) : QString(); }

private:
    TipOperations& m_tips;
    std::optional<TipRecord> m_tip;
    bool m_atStart = true;
    bool m_atEnd = true;
};

} // namespace zendrel
