#include "session/ConfigStore.h"
#include "support/TestStore.h"

#include <QFile>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace zendrel;

namespace {

class ConfigStoreTest : public ::testing::Test {
protected:
    test::TestStore ts;
    ConfigStore config{ts.store()};

    QString stored(const char* name) { return config.read(QString::fromLatin1(name)); }
};

TEST_F(ConfigStoreTest, TheFirstRunWritesTheDefaultsAndTheMainStartCorrectsThem) {
    Table<ConfigRecord> table(ts.store());
    initialiseSettings(ts.store(), config);
    EXPECT_EQ(stored("ZD_Skip"), "1");
    for (const char* n : {"ZD_CI", "ZD_IT", "ZD_Tray", "ZD_HC", "ZD_GD", "ZD_BS", "ZD_MA"}) {
        EXPECT_EQ(stored(n), "0") << n;
    }
    // Records added by writing a setting carry no creation date.
    for (const auto& r : table.readPhysical()) {
        EXPECT_EQ(r.dateAdded, 0);
    }

    const Settings s = loadMainSettings(ts.store(), config);
    EXPECT_EQ(s.sendInterval, 50);
    EXPECT_EQ(s.groupSize, 7);
    EXPECT_EQ(s.monitorActive, 1);
    EXPECT_EQ(s.skip, 1);
    EXPECT_EQ(stored("ZD_GD"), "50");
    EXPECT_EQ(stored("ZD_BS"), "7");
    EXPECT_EQ(stored("ZD_MA"), "1");
    EXPECT_EQ(stored("ZD_Version"), "2.7");
    EXPECT_TRUE(ts.messages().shown.isEmpty());
}

TEST_F(ConfigStoreTest, TheFirstRunTakesThePreviousVersionsSettingsFromWinIni) {
    QFile ini(ts.file("WIN.INI"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[windows]\nZD_CI=99\n[Zendrel]\nZD_Version=2.1\nzd_ci=30\nZD_IT = 5\nZD_GD=80\nZD_BS=4\nZD_MA=0\n");
    ini.close();
    const Settings s = loadMainSettings(ts.store(), config);
    EXPECT_EQ(s.clearSeconds, 30);
    EXPECT_EQ(s.inactivityMinutes, 5);
    EXPECT_EQ(s.sendInterval, 80);
    EXPECT_EQ(s.groupSize, 4);
    EXPECT_EQ(s.monitorActive, 0);
}

// The previous version's number is read as a decimal number, a missing or unreadable one as 0; every
// release below this one admits the conversion, which finds nothing where no version 2.1 tables are.
TEST(PreviousVersionTest, ReleasesBelowThisOneAreConverted) {
    EXPECT_TRUE(previousVersionNeedsConversion("2.1"));
    EXPECT_TRUE(previousVersionNeedsConversion(" 2.5 "));
    EXPECT_TRUE(previousVersionNeedsConversion("2.69"));
    EXPECT_TRUE(previousVersionNeedsConversion("2.1b"));
    EXPECT_FALSE(previousVersionNeedsConversion("2.7"));
    EXPECT_FALSE(previousVersionNeedsConversion("2.70"));
    EXPECT_FALSE(previousVersionNeedsConversion("10"));
    EXPECT_TRUE(previousVersionNeedsConversion("2.0"));
    EXPECT_TRUE(previousVersionNeedsConversion(""));
    EXPECT_TRUE(previousVersionNeedsConversion("abc"));
}

TEST_F(ConfigStoreTest, EachProgramCorrectsTheSendIntervalByItsOwnRule) {
    loadMainSettings(ts.store(), config);
    config.write("ZD_GD", int64_t{30});
    config.write("ZD_BS", int64_t{0});
    auto monitor = loadMonitorSettings(ts.store(), config);
    ASSERT_TRUE(monitor);
    EXPECT_EQ(monitor->sendInterval, 30);
    EXPECT_EQ(monitor->groupSize, 7);
    EXPECT_EQ(stored("ZD_BS"), "0") << "the monitor writes nothing back";

    config.write("ZD_GD", int64_t{5});
    EXPECT_EQ(loadMonitorSettings(ts.store(), config)->sendInterval, 20);
    EXPECT_EQ(loadMainSettings(ts.store(), config).sendInterval, 50);
    EXPECT_EQ(stored("ZD_GD"), "50");
}

TEST_F(ConfigStoreTest, TheMonitorWillNotStartBeforeTheMainProgramHasRun) {
    EXPECT_FALSE(loadMonitorSettings(ts.store(), config));
}

TEST_F(ConfigStoreTest, NamesAreCutToFortyCharactersSoLongUserNamesShareSettings) {
    const QString a = QString(32, 'u') + "-first";
    const QString b = QString(32, 'u') + "-second";
    EXPECT_EQ(ConfigStore::perUserName("SaveSize", a), "SaveSize" + QString(32, 'u'));
    config.write(ConfigStore::perUserName("SaveSize", a), int64_t{14});
    EXPECT_EQ(config.readNumber(ConfigStore::perUserName("SaveSize", b)), 14);
    EXPECT_EQ(config.read("savesize" + QString(32, 'U')), "14") << "names compare without case";
}

TEST_F(ConfigStoreTest, NumbersReadFromTextAndMissingSettingsReadBlank) {
    EXPECT_EQ(config.read("Nothing"), "");
    EXPECT_EQ(config.readNumber("Nothing"), 0);
    config.write("ZD_CI", QStringLiteral("abc"));
    EXPECT_EQ(config.readNumber("ZD_CI"), 0);
    config.write("ZD_CI", QStringLiteral("45 seconds"));
    EXPECT_EQ(config.readNumber("ZD_CI"), 45);
    config.write("ZD_CI", QStringLiteral("99999999999999999999999"));
    EXPECT_EQ(config.readNumber("ZD_CI"), 0);
}

TEST_F(ConfigStoreTest, ReadingWhileTheTableIsClosedOpensIt) {
    config.write("DateFormat", QStringLiteral("d4"));
    ts.reopen();
    ConfigStore fresh(ts.store());
    EXPECT_EQ(fresh.read("DateFormat"), "d4");
}

TEST_F(ConfigStoreTest, AFailedReadIsBlankAndAFailedFetchWritesNothing) {
    config.write("ZD_CI", int64_t{30});
    config.write("ZD_IT", int64_t{5});
    EXPECT_EQ(config.read("ZD_CI"), "30");
    // Another program makes the table unreadable behind this one's back.
    {
        test::TestStore other(ts.dir());
        Table<ConfigRecord> t(other.store());
        t.count();
        other.closeStore();
    }
    Connection raw(ts.file("ZD_DATA"), Connection::Mode::ReadWrite, deriveRawKey(buildRuntimeKey()));
    raw.exec("ALTER TABLE Settings RENAME TO Settings_gone");

    EXPECT_EQ(config.read("ZD_IT"), "");
    ASSERT_EQ(ts.messages().shown.size(), 1);
    EXPECT_EQ(ts.messages().shown[0].title, "Error!");
    EXPECT_TRUE(ts.messages().shown[0].text.startsWith("Error retrieving configuration information code ZD_IT" +
                                                       QString(35, ' ') + " - "));
    config.write("ZD_IT", int64_t{9});
    ASSERT_EQ(ts.messages().shown.size(), 2);
    EXPECT_TRUE(ts.messages().shown[1].text.startsWith("Error writing configuration information.  Code ZD_IT"));
    raw.exec("ALTER TABLE Settings_gone RENAME TO Settings");
    EXPECT_EQ(Table<ConfigRecord>(ts.store()).count(), 2);
}

// A FIFO (or a device) named WIN.INI would hold the first start for ever: only a regular file is read.
TEST_F(ConfigStoreTest, AWinIniThatIsNoRegularFileIsPassedOver) {
    ASSERT_EQ(mkfifo(QFile::encodeName(ts.file("WIN.INI")).constData(), 0600), 0);
    initialiseSettings(ts.store(), config);
    EXPECT_EQ(stored("ZD_CI"), "0");
    EXPECT_EQ(stored("ZD_Skip"), "1");
}

// Values written by hand or by the command line beyond what their use can take read as the nearest sensible
// value: an inactivity of 2^63-1 minutes would wrap the countdown into the past.
TEST_F(ConfigStoreTest, NumericSettingsReadWithinTheRangesOfTheirUse) {
    initialiseSettings(ts.store(), config);
    for (const auto& [name, value] : std::vector<std::pair<const char*, const char*>>{
             {"ZD_IT", "9223372036854775807"}, {"ZD_CI", "-5"}, {"ZD_GD", "100000"}, {"ZD_BS", "300"}}) {
        ASSERT_TRUE(config.write(QString::fromLatin1(name), QString::fromLatin1(value)));
    }
    const Settings s = loadMainSettings(ts.store(), config);
    EXPECT_EQ(s.inactivityMinutes, 120);
    EXPECT_EQ(s.clearSeconds, 0);
    EXPECT_EQ(s.sendInterval, 250);
    EXPECT_EQ(s.groupSize, 10);
    EXPECT_EQ(stored("ZD_IT"), "9223372036854775807") << "reading changes nothing stored";
    const auto monitor = loadMonitorSettings(ts.store(), config);
    ASSERT_TRUE(monitor);
    EXPECT_EQ(monitor->inactivityMinutes, 120);
    EXPECT_EQ(monitor->sendInterval, 250);
    EXPECT_EQ(monitor->groupSize, 10);

    EXPECT_EQ(settingTypeRange("zd_it"), (std::pair<int64_t, int64_t>{INT32_MIN, INT32_MAX}));
    EXPECT_EQ(settingTypeRange("ZD_BS"), (std::pair<int64_t, int64_t>{0, 255}));
    EXPECT_FALSE(settingTypeRange("DateFormat"));
}

} // namespace
