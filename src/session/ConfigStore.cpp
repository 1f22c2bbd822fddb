#include "session/ConfigStore.h"

#include "base/Files.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

namespace zendrel {

namespace {

QString padded(const QString& name) {
    return name.leftJustified(width::kSettingName, QLatin1Char(' '));
}

int64_t leadingNumber(const QString& text) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+'))) {
        ++i;
    }
    while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128) {
        ++i;
    }
    bool ok = false;
    const int64_t n = t.left(std::min<qsizetype>(i, 19)).toLongLong(&ok);
    return ok ? n : 0;
}

// The entries of one section of an initialisation file; names compared without case.
QMap<QString, QString> iniSection(const QString& path, const QString& section) {
    QMap<QString, QString> out;
    QFile f(path);
    if (!isRegularFile(path) || !f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return out;
    }
    QTextStream in(&f);
    bool inSection = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            inSection = line.mid(1, line.size() - 2).trimmed().compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (inSection && eq > 0 && !line.startsWith(QLatin1Char(';'))) {
            out.insert(line.left(eq).trimmed().toLower(), line.mid(eq + 1).trimmed());
        }
    }
    return out;
}

} // namespace

ConfigStore::ConfigStore(DataStore& store) : m_store(store), m_table(store) {}

QString ConfigStore::settingName(const QString& name) {
    return fitText(name, width::kSettingName);
}

QString ConfigStore::perUserName(const QString& word, const QString& user) {
    return settingName(word + fitText(user, width::kUserName));
}

int64_t ConfigStore::count() {
    return m_table.count();
}

QString ConfigStore::read(const QString& name, bool* failed) {
    const QString key = settingName(name);
    if (failed) {
        *failed = false;
    }
    try {
        if (auto r = m_table.fetch(QStringLiteral("CF:KeyDataType"), {key})) {
            return r->dataValue;
        }
        return {};
    } catch (const StoreError& e) {
        // A setting that cannot be read is blank, never the value of another setting.
        if (failed) {
            *failed = true;
        }
        m_store.messages().show(QStringLiteral("Error!"), QStringLiteral("Error retrieving configuration information code ") +
                                                              padded(key) + QStringLiteral(" - ") + e.errorText());
        return {};
    }
}

std::vector<ConfigRecord> ConfigStore::all() {
    return m_table.read(QStringLiteral("CF:KeyDataType"), KeyRange{});
}

int64_t ConfigStore::readNumber(const QString& name) {
    return leadingNumber(read(name));
}

bool ConfigStore::write(const QString& name, const QString& value) {
    const QString key = settingName(name);
    auto failed = [&](const QString& error) {
        m_store.messages().show(QStringLiteral("Error!"), QStringLiteral("Error writing configuration information.  Code ") +
                                                              padded(key) + QStringLiteral(" - ") + error);
    };
    std::optional<ConfigRecord> existing;
    try {
        existing = m_table.fetch(QStringLiteral("CF:KeyDataType"), {key});
    } catch (const StoreError& e) {
        // Without knowing whether the setting exists, writing could add a second record or lose one.
        failed(e.errorText());
        return false;
    }
    DataStore::Quiet quiet;
    WriteResult res;
    if (existing) {
        existing->dataValue = value;
        res = m_table.change(*existing);
    } else {
        ConfigRecord r;
        r.dataType = key;
        r.dataValue = value;
        res = m_table.insert(r);
        if (res.kind == WriteResult::Duplicate) {
            // Another program added the setting meanwhile; the last writer wins.
            try {
                existing = m_table.fetch(QStringLiteral("CF:KeyDataType"), {key});
            } catch (const StoreError&) {
            }
            if (existing) {
                existing->dataValue = value;
                res = m_table.change(*existing);
            }
        }
    }
    if (!res) {
        failed(res.errorText.isEmpty() ? res.text : res.errorText);
        return false;
    }
    return true;
}

bool ConfigStore::write(const QString& name, int64_t value) {
    return write(name, QString::number(value));
}

bool previousVersionNeedsConversion(const QString& previousVersion) {
    // The leading decimal number, as "2.1", "2.1b" or " 2 " give it; anything else is 0.
    static const QRegularExpression number(QStringLiteral("^\\s*[+-]?(\\d+(\\.\\d*)?|\\.\\d+)"));
    const QRegularExpressionMatch m = number.match(previousVersion);
    const double v = m.hasMatch() ? m.captured(0).trimmed().toDouble() : 0.0;
    return v < QString::fromLatin1(kProgramVersion).toDouble();
}

bool initialiseSettings(DataStore& store, ConfigStore& config) {
    const auto old = iniSection(QDir(store.directory()).filePath(QStringLiteral("WIN.INI")),
                                QString::fromLatin1(kPreviousVersionSection));
    auto number = [&old](const char* name) { return leadingNumber(old.value(QString::fromLatin1(name).toLower())); };
    config.write(QStringLiteral("ZD_Skip"), int64_t{1});
    for (const char* name : {"ZD_CI", "ZD_IT", "ZD_Tray", "ZD_HC", "ZD_GD", "ZD_BS", "ZD_MA"}) {
        config.write(QString::fromLatin1(name), number(name));
    }
    return previousVersionNeedsConversion(old.value(QStringLiteral("zd_version")));
}

int64_t mainSendInterval(int64_t stored) {
    return std::clamp<int64_t>(stored, 50, 250);
}

int64_t sendIntervalFrom20(int64_t stored) {
    return std::clamp<int64_t>(stored, 20, 250);
}

int64_t sendGroupSize(int64_t stored) {
    return stored <= 0 ? 7 : std::min<int64_t>(stored, 10);
}

int64_t clearSeconds(int64_t stored) {
    return std::clamp<int64_t>(stored, 0, 9999);
}

int64_t inactivityMinutes(int64_t stored) {
    return std::clamp<int64_t>(stored, 0, 120);
}

std::optional<std::pair<int64_t, int64_t>> settingTypeRange(const QString& name) {
    const QString n = ConfigStore::settingName(name).toUpper();
    for (const char* word : {"ZD_CI", "ZD_IT", "ZD_GD", "ZD_TRAY"}) {
        if (n == QLatin1String(word)) {
            return std::pair<int64_t, int64_t>{INT32_MIN, INT32_MAX};
        }
    }
    for (const char* byte : {"ZD_BS", "ZD_SKIP", "ZD_HC", "ZD_MA", "ZD_SOT", "ZD_ASK", "ZD_ASKIMM"}) {
        if (n == QLatin1String(byte)) {
            return std::pair<int64_t, int64_t>{0, 255};
        }
    }
    return std::nullopt;
}

void readWindowSettings(ConfigStore& config, Settings& s) {
    s.skip = config.readNumber(QStringLiteral("ZD_Skip"));
    s.clearSeconds = clearSeconds(config.readNumber(QStringLiteral("ZD_CI")));
    s.inactivityMinutes = inactivityMinutes(config.readNumber(QStringLiteral("ZD_IT")));
    s.tray = config.readNumber(QStringLiteral("ZD_Tray"));
    s.hideClipboard = config.readNumber(QStringLiteral("ZD_HC"));
}

void readReportFont(ConfigStore& config, Settings& s) {
    s.fontColour = config.read(QStringLiteral("FontColour")).left(32);
    s.fontStyle = config.read(QStringLiteral("FontStyle")).left(32);
    s.fontSize = config.read(QStringLiteral("FontSize")).left(32);
    s.fontType = config.read(QStringLiteral("FontType")).left(32);
}

Settings loadMainSettings(DataStore& store, ConfigStore& config, const std::function<void()>& convertPrevious) {
    store.safeOpen(tables::configuration());
    if (config.count() == 0 && initialiseSettings(store, config) && convertPrevious) {
        convertPrevious();
    }
    Settings s;
    s.version = QString::fromLatin1(kProgramVersion);
    config.write(QStringLiteral("ZD_Version"), s.version);
    readWindowSettings(config, s);
    s.dateFormat = config.read(QStringLiteral("DateFormat")).left(4);
    readReportFont(config, s);
    const int64_t interval = config.readNumber(QStringLiteral("ZD_GD"));
    s.sendInterval = mainSendInterval(interval);
    if (interval < s.sendInterval) {
        config.write(QStringLiteral("ZD_GD"), s.sendInterval);
    }
    const int64_t group = config.readNumber(QStringLiteral("ZD_BS"));
    s.groupSize = sendGroupSize(group);
    if (group <= 0) {
        config.write(QStringLiteral("ZD_BS"), s.groupSize);
        config.write(QStringLiteral("ZD_MA"), int64_t{1});
    }
    s.monitorActive = config.readNumber(QStringLiteral("ZD_MA"));
    return s;
}

std::optional<Settings> loadMonitorSettings(DataStore& store, ConfigStore& config) {
    store.safeOpen(tables::configuration());
    if (config.count() == 0) {
        return std::nullopt;
    }
    Settings s;
    s.version = QString::fromLatin1(kProgramVersion);
    s.stayOnTop = config.readNumber(QStringLiteral("ZD_SOT"));
    s.skip = config.readNumber(QStringLiteral("ZD_Skip"));
    s.clearSeconds = clearSeconds(config.readNumber(QStringLiteral("ZD_CI")));
    s.inactivityMinutes = inactivityMinutes(config.readNumber(QStringLiteral("ZD_IT")));
    s.tray = config.readNumber(QStringLiteral("ZD_Tray"));
    s.askEveryRestore = config.readNumber(QStringLiteral("ZD_ASK"));
    s.askAtStart = config.readNumber(QStringLiteral("ZD_ASKIMM"));
    s.hideClipboard = config.readNumber(QStringLiteral("ZD_HC"));
    s.sendInterval = sendIntervalFrom20(config.readNumber(QStringLiteral("ZD_GD")));
    s.groupSize = sendGroupSize(config.readNumber(QStringLiteral("ZD_BS")));
    return s;
}

} // namespace zendrel
