#pragma once

#include "data/DataStore.h"

#include <functional>
#include <optional>

namespace zendrel {

// Named settings in the Configuration table, shared by both programs.
class ConfigStore {
public:
    explicit ConfigStore(DataStore& store);

    // The setting's text; blank when it does not exist or cannot be read (after the "Error!" message).
    // `failed`, when given, tells the second case from the first.
    QString read(const QString& name, bool* failed = nullptr);
    // Decimal text read as a number; blank or non-numeric text reads as 0.
    int64_t readNumber(const QString& name);
    // False after a failure, which has been reported with the "Error!" message.
    bool write(const QString& name, const QString& value);
    bool write(const QString& name, int64_t value);
    int64_t count();
    // Every setting, in name order.
    std::vector<ConfigRecord> all();

    // Setting names are cut to the field's 40 characters.
    static QString settingName(const QString& name);
    // "SaveSize", "SaveType", "SaveConc" followed by the user's name, cut to 40 characters.
    static QString perUserName(const QString& word, const QString& user);

private:
    DataStore& m_store;
    Table<ConfigRecord> m_table;
};

// The program-wide copies of the settings that each program holds.
struct Settings {
    QString version;
    int64_t skip = 0;    // ZD_Skip
    int64_t clearSeconds = 0;     // ZD_CI
    int64_t inactivityMinutes = 0; // ZD_IT
    int64_t tray = 0;    // ZD_Tray
    int64_t hideClipboard = 0;    // ZD_HC
    int64_t sendInterval = 0;     // ZD_GD
    int64_t groupSize = 0;        // ZD_BS
    int64_t monitorActive = 0;    // ZD_MA
    int64_t stayOnTop = 0;        // ZD_SOT
    int64_t askEveryRestore = 0;  // ZD_ASK
    int64_t askAtStart = 0;       // ZD_ASKIMM
    QString dateFormat;           // up to 4 characters, such as "d17"
    QString fontType;
    QString fontSize;
    QString fontColour;
    QString fontStyle;
};

constexpr const char* kProgramVersion = "2.7";
// The section of WIN.INI (in the data directory) where the previous version kept its settings.
constexpr const char* kPreviousVersionSection = "Zendrel";

// The main program's pace of typing: 50 to 250 hundredths of a second between groups of characters.
int64_t mainSendInterval(int64_t stored);
// The pace where the options window and the monitor read it: below 20 is used as 20, at most 250.
int64_t sendIntervalFrom20(int64_t stored);
// Characters typed in one group: 7 when the stored value is none, at most 10.
int64_t sendGroupSize(int64_t stored);
// The numeric settings are read within the ranges their use can take (the options window's): a value
// beyond them reads as the nearest end, so no countdown or pace can wrap however the value was written.
int64_t clearSeconds(int64_t stored);
int64_t inactivityMinutes(int64_t stored);
// The values a numeric setting's type can hold ("ZD_IT" a 32-bit integer, "ZD_BS" a byte); nothing for a
// setting of text or one not known.
std::optional<std::pair<int64_t, int64_t>> settingTypeRange(const QString& name);

// ZD_Skip, ZD_CI, ZD_IT, ZD_Tray and ZD_HC, in that order, into the program's copies, as their use takes them.
void readWindowSettings(ConfigStore& config, Settings& s);
// "FontColour", "FontStyle", "FontSize" and "FontType" into the program's copies, each cut to 32 characters.
void readReportFont(ConfigStore& config, Settings& s);

// The main program's loading at start: first-run initialisation of an empty table, the version written,
// every setting read with its corrections and their write-backs. On the first run, when the previous
// version's settings admit it, `convertPrevious` converts the previous version's tables, after the first
// settings are written (the layers above hold the conversion and its window).
Settings loadMainSettings(DataStore& store, ConfigStore& config, const std::function<void()>& convertPrevious = {});

// The monitor's loading; nothing when the main program has never run on these files.
std::optional<Settings> loadMonitorSettings(DataStore& store, ConfigStore& config);

// Writes the first-run values, taking the previous version's settings from WIN.INI when present. True when
// the previous version's ZD_Version there admits converting its tables.
bool initialiseSettings(DataStore& store, ConfigStore& config);

// Whether the previous version's ZD_Version, read as a decimal number, lies below this program's version:
// a missing or unreadable one reads as 0 and so admits the conversion, which finds nothing where no
// previous version ever ran.
bool previousVersionNeedsConversion(const QString& previousVersion);

} // namespace zendrel
