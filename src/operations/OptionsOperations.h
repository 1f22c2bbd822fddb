#pragma once

#include "data/DataStore.h"
#include "session/ConfigStore.h"
#include "session/ReportFont.h"

#include <vector>

namespace zendrel {

// One numeric value of the options window: what the store held when the window opened (after the
// corrections written back on opening) and what the window shows and edits.
struct OptionValue {
    QString stored;         // the text read
    int64_t read = 0;       // that text as a number
    bool readFailed = false; // the store could not read it (and said so)
    int64_t value = 0;      // shown, edited

    // A check box's state: a flag left as it was keeps its stored number, whatever non-zero one it is.
    void setFlag(bool on);
    bool changed() const { return value != read; }
    // The text "&Ok" writes: the stored text when the value is still the one it reads as, so that opening
    // and closing the window never rewrites a value the user left alone; otherwise the value in decimal.
    QString textToWrite() const;
};

// What the options window shows and edits.
struct OptionsValues {
    OptionValue skip;              // ZD_Skip
    OptionValue clearSeconds;      // ZD_CI
    OptionValue inactivityMinutes; // ZD_IT
    OptionValue hideClipboard;     // ZD_HC
    OptionValue sendInterval;      // ZD_GD
    OptionValue groupSize;         // ZD_BS
    OptionValue monitorActive;     // ZD_MA
    QString dateCode;              // the program's date picture code when the window opened
    QString dateChoice;            // the text of the date list: an entry, or the code itself
    ReportFont::Texts font;        // the report font's four texts
    ReportFont::Texts openedFont;  // ... as the window opened with them
};

// The program-wide options: reading them into the options window with the window's corrections, writing
// them back on "&Ok" and refreshing the program's copies; and the list of every setting.
class OptionsOperations {
public:
    explicit OptionsOperations(DataStore& store) : m_store(store), m_config(store) {}

    // Opening: the font and the date code from the program's copies, then ZD_Skip, ZD_CI, ZD_IT, ZD_HC,
    // ZD_GD, ZD_BS and ZD_MA from the store in that order. A send interval below 20 becomes 20 and is
    // written back; a group size of 0 (or none) becomes 7, written back with ZD_MA 1.
    OptionsValues open(const Settings& program);

    // "&Ok": the seven values and ZD_Version written in that order and read back into the program's
    // copies (ZD_Tray too); then "DateFormat" and the four font values where the user changed them, the
    // font read back as well. The copies are what the frame's timers, the send engine and the windows use.
    void accept(const OptionsValues& values, Settings& program);

    // The date list's text for a code: its entry, or the code itself when it has none.
    static QString dateChoiceText(const QString& code);
    // The code of a date list text: its entry's code; a text the list does not know keeps `current`.
    static QString dateCodeOf(const QString& text, const QString& current);

    // Every setting with its value, in name order.
    std::vector<std::pair<QString, QString>> allSettings();

private:
    OptionValue readValue(const char* name);
    void writeValue(const char* name, const OptionValue& v);

    DataStore& m_store;
    ConfigStore m_config;
};

} // namespace zendrel
